#!/usr/bin/env python3
"""The demo's web: a small site to watch and a search service, on one server (port 80).

Which of the two answers depends on the Host header:

  pages.test           the site. Pages in code page 932:
                         /              an index of the pages
                         /news.html     gains a headline every --period seconds (and at
                                        /_demo/bump)
                         /notice.html   never changes
                         /weather.html  its text never changes; its markup (a time stamp in
                                        a tag and a comment) changes on every request
                         /gone.html     404, like a page that was taken down
  www.vorna.example    the maker's site: /toolbar/ (the built-in watch item's page)
  search.test          the search service. Any path, by GET or POST: it decodes every
                       parameter of the query part (GET) or of the form body (POST) from
                       %XX bytes as code page 932 text, shows what it received and logs it.

Every request is logged as one JSON object per line to --log (the demo reads it):
  {"host", "method", "path", "agent", "status", "kind": "page" | "search" | "other",
   "raw": the query part or body as received (ASCII), "params": [[name, text], ...],
   "content_type"}

Control, on any host (not logged):
  GET /_demo/ping                "pong"
  GET /_demo/bump                /news.html changes now
  GET /_demo/edition             the edition number /news.html shows now
  GET /_demo/delay/SECONDS/PATH  the next request for /PATH on pages.test answers late
  GET /_demo/log                 the log so far (JSON lines, UTF-8)
  GET /_demo/since/N             log entries from the N-th (0-based) on, one per line in
                                 code page 932 for a Windows reader, tab-separated:
                                 kind, method, host, path, status, agent, content type,
                                 raw data, then name=text for each decoded parameter
"""
import argparse
import html
import json
import sys
import threading
import time
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from urllib.parse import parse_qsl

lock = threading.Lock()
state = {"bumps": 0, "period": 6.0, "log": [], "log_file": None, "started": time.time(),
         "delays": {}}


def page(title, body):
    """A small HTML page in code page 932, as a Japanese site of the time would serve it."""
    text = ("<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"
            f"<title>{html.escape(title)}</title></head>\n<body>\n<h1>{html.escape(title)}</h1>\n"
            f"{body}\n</body></html>\n")
    return text.encode("cp932")


def news_edition():
    with lock:
        elapsed = time.time() - state["started"]
        return int(elapsed // state["period"]) + state["bumps"] + 1


def site_page(path):
    if path in ("/", "/index.html"):
        return 200, page("Pelorin デモサイト", "<ul>\n"
                         "<li><a href=\"/news.html\">ニュース</a> (数秒ごとに更新)</li>\n"
                         "<li><a href=\"/notice.html\">お知らせ</a> (更新なし)</li>\n"
                         "<li><a href=\"/weather.html\">天気予報</a> (タグだけが変わる)</li>\n"
                         "</ul>")
    if path == "/news.html":
        # Each edition adds its headline at the top; the oldest of five leaves.
        n = news_edition()
        return 200, page("ニュース", "\n".join(f"<p>第{k}版: 今日の話題 その{k}。</p>"
                                              for k in range(n, max(n - 5, 0), -1)))
    if path == "/notice.html":
        return 200, page("お知らせ", "<p>年末年始は休業いたします。</p>")
    if path == "/weather.html":
        # Only the markup changes: a watch item that ignores markup sees the same page.
        stamp = time.strftime("%H:%M:%S") + f".{int(time.time() * 1000) % 1000:03d}"
        return 200, page("天気予報",
                         f"<!-- generated {stamp} -->\n<p class=\"t{stamp}\">東京: 晴れ、最高気温 12 度。</p>")
    return 404, page("見つかりません", f"<p>{html.escape(path)} はありません。</p>")


def maker_page(path):
    if path == "/toolbar/":
        return 200, page("Pelorin ツールバー情報", "<p>Pelorin beta をお使いいただきありがとうございます。</p>")
    return 404, page("見つかりません", "")


def search_page(method, path, raw, params):
    rows = "\n".join(f"<p>{html.escape(k)} = 「{html.escape(v)}」</p>" for k, v in params)
    body = (f"<p>{method} {html.escape(path)}</p>\n<p>受け取ったデータ: {html.escape(raw)}</p>\n"
            f"<p>検索語:</p>\n{rows}")
    return 200, page("検索サービス", body)


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    server_version = "PelorinDemo/1.0"

    def log_message(self, fmt, *args):  # the JSON log below replaces the default one
        pass

    def host(self):
        return (self.headers.get("Host") or "").split(":")[0].lower()

    def answer(self, code, body, ctype="text/html; charset=Shift_JIS"):
        self.send_response(code)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-cache")
        self.send_header("Connection", "close")
        self.end_headers()
        if self.command != "HEAD":
            self.wfile.write(body)

    def record(self, kind, status, raw="", params=()):
        entry = {"host": self.host(), "method": self.command, "path": self.path,
                 "agent": self.headers.get("User-Agent", ""), "status": status, "kind": kind,
                 "raw": raw, "params": [list(p) for p in params],
                 "content_type": self.headers.get("Content-Type", "")}
        with lock:
            state["log"].append(entry)
            if state["log_file"]:
                state["log_file"].write(json.dumps(entry, ensure_ascii=False) + "\n")
                state["log_file"].flush()

    def control(self):
        command = self.path[len("/_demo/"):]
        if command == "ping":
            return self.answer(200, b"pong", "text/plain")
        if command == "bump":
            with lock:
                state["bumps"] += 1
            return self.answer(200, b"ok", "text/plain")
        if command == "edition":
            return self.answer(200, str(news_edition()).encode(), "text/plain")
        if command.startswith("delay/"):
            seconds, _, path = command[len("delay/"):].partition("/")
            with lock:
                state["delays"]["/" + path] = float(seconds)
            return self.answer(200, b"ok", "text/plain")
        if command.startswith("since/"):
            with lock:
                entries = state["log"][int(command[len("since/"):]):]
            lines = []
            for e in entries:
                fields = [e["kind"], e["method"], e["host"], e["path"], str(e["status"]), e["agent"],
                          e["content_type"], e["raw"]] + [f"{k}={v}" for k, v in e["params"]]
                lines.append("\t".join(f.replace("\t", " ").replace("\n", " ") for f in fields))
            text = "".join(line + "\n" for line in lines)
            return self.answer(200, text.encode("cp932", errors="replace"), "text/plain; charset=Shift_JIS")
        if command == "log":
            with lock:
                text = "".join(json.dumps(e, ensure_ascii=False) + "\n" for e in state["log"])
            return self.answer(200, text.encode("utf-8"), "text/plain; charset=utf-8")
        return self.answer(404, b"unknown control", "text/plain")

    def handle_any(self, body=b""):
        if self.path.startswith("/_demo/"):
            return self.control()
        host = self.host()
        if host == "search.test":
            path, _, query = self.path.partition("?")
            raw = body.decode("latin-1") if self.command == "POST" else query
            # %XX bytes are code page 932 text; a byte that is not stays visible as U+FFFD.
            params = parse_qsl(raw, keep_blank_values=True, encoding="cp932", errors="replace")
            status, reply = search_page(self.command, path, raw, params)
            self.record("search", status, raw, params)
            return self.answer(status, reply)
        if host == "pages.test":
            with lock:
                delay = state["delays"].pop(self.path, 0)
            time.sleep(delay)
            status, reply = site_page(self.path)
        elif host == "www.vorna.example":
            status, reply = maker_page(self.path)
        else:
            status, reply = 404, page("見つかりません", "")
        self.record("page" if status == 200 else "other", status)
        return self.answer(status, reply)

    def do_GET(self):
        self.handle_any()

    def do_HEAD(self):
        self.handle_any()

    def do_POST(self):
        length = int(self.headers.get("Content-Length") or 0)
        self.handle_any(self.rfile.read(length) if length else b"")


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=80)
    parser.add_argument("--period", type=float, default=6.0,
                        help="seconds between two editions of /news.html")
    parser.add_argument("--log")
    args = parser.parse_args()
    state["period"] = args.period
    if args.log:
        state["log_file"] = open(args.log, "a", encoding="utf-8")
    server = Server(("127.0.0.1", args.port), Handler)
    print(f"demo site listening on 127.0.0.1:{args.port}", flush=True)
    server.serve_forever()


if __name__ == "__main__":
    sys.exit(main())
