#!/usr/bin/env python3
"""Writes page histories for bench/false_changes: one folder per page, each holding the page's
captures in time order (0001.html, 0002.html, ...), as a watcher polling it would have fetched
them. The pages do what real pages do between two polls (per-request script nonces, JSON
state in scripts, cache-busting ?v= addresses, a clock, a visitor counter, "N minutes ago",
rotating teasers) and now and then change for real; Japanese ones come in Shift_JIS, EUC-JP
and UTF-8. The same seed writes the same files.

usage: make_histories.py DIR [CAPTURES]   (default 30 captures a page)
"""
import os
import random
import sys

NAV = ["ホーム", "ニュース", "天気", "スポーツ", "経済", "エンタメ", "地域", "お問い合わせ"]
NAV_EN = ["Home", "World", "Business", "Technology", "Science", "Health", "Sports", "Contact"]


def token(rng, n=16):
    return "".join(rng.choice("0123456789abcdef") for _ in range(n))


def head(title, charset, rng, build):
    meta = '<meta charset="%s">' % charset if charset else ""
    return (
        "<!DOCTYPE html><html lang=ja><head>%s<title>%s</title>"
        '<link rel=stylesheet href="/static/site.css?v=%s">'
        '<script src="/static/app.js?v=%s" defer></script>'
        '<script nonce="%s">window.__csrf="%s";window.dataLayer=window.dataLayer||[];</script>'
        "<style>.nav li{display:inline;margin:0 4px}.teaser{color:#333}</style></head>"
        % (meta, title, build, build, token(rng), token(rng, 32))
    )


def nav(items):
    return "<nav><ul class=nav>%s</ul></nav>" % "".join(
        '<li><a href="/%d/" class="nav-item">%s</a></li>' % (k, t) for k, t in enumerate(items))


def footer(rng):
    links = "".join('<li><a href="/f/%d">Link %d</a></li>' % (k, k) for k in range(40))
    return ("<footer><ul>%s</ul><p>&copy; 2024 Example&nbsp;Co.</p>"
            "<!-- served by web-%d in %d ms --></footer>" % (links, rng.randint(1, 40), rng.randint(5, 300)))


def state_script(rng, n):
    items = ",".join('{"id":%d,"rev":"%s","ts":%d}' % (k, token(rng, 8), 1700000000 + rng.randint(0, 10**6))
                     for k in range(n))
    return '<script id="__NEXT_DATA__" type="application/json">{"buildId":"%s","items":[%s]}</script>' % (
        token(rng, 20), items)


def articles(rng, topics, count, edition):
    out = []
    for k in range(count):
        topic = topics[(k + edition) % len(topics)] if k < 3 else topics[k % len(topics)]
        body = " ".join(rng.choice(WORDS) for _ in range(60))
        out.append('<article class="story" data-id="%d"><h2><a href="/a/%d?utm=%s">%s</a></h2>'
                   "<p>%s</p></article>" % (k, k, token(rng, 6), topic, body))
    return "".join(out)


WORDS = ("the of and to in is was for on that with as by at from an be this have are or which "
         "market city council report season weather school river train station museum festival").split()
WORDS_JA = ("東京 大阪 市場 天気 予報 電車 学校 祭り 博物館 川 駅 会議 報告 選手 試合 "
            "新しい 発表 予定 開催 結果").split()


def news_utf8(i, rng, stable):
    """A news front page: nonces, JSON state, ?v=, rotating teasers, and a real change each 10th."""
    edition = i // 10
    build = "b%d" % (i // 15)
    topics = ["Rain expected in the capital", "Council approves budget", "Museum reopens",
              "Train line extended", "Festival draws record crowds", "Schools adopt new plan"]
    teaser = topics[rng.randint(0, 5)]  # "recommended for you": differs on every poll
    page = head("Daily News", "utf-8", rng, build) + "<body>" + nav(NAV_EN)
    page += "<main><h1>Top stories</h1>" + articles(stable, topics, 25, edition) + "</main>"
    page += '<aside class=teaser><h3>Recommended</h3><p>%s</p></aside>' % teaser
    page += state_script(rng, 200) + footer(rng) + "</body></html>"
    return page.encode("utf-8")


def weather_sjis(i, rng, stable):
    """A Shift_JIS weather page with a clock in its header; the forecast changes twice."""
    forecast = ["晴れ", "くもり時々雨", "雨"][i * 3 // CAPTURES]
    clock = "%02d:%02d" % (9 + i // 6, (i * 10) % 60)
    page = head("天気予報", "Shift_JIS", rng, "w1") + "<body>" + nav(NAV)
    page += "<header><p class=clock>現在時刻 %s 更新</p></header>" % clock
    page += "<main><h1>東京の天気</h1><p>今日は%s。</p>" % forecast
    page += "".join("<p>%s</p>" % " ".join(stable.choice(WORDS_JA) for _ in range(40)) for _ in range(30))
    page += "</main>" + footer(rng) + "</body></html>"
    return page.encode("cp932")


def counter_eucjp(i, rng, stable):
    """An EUC-JP personal page with a visitor counter; its text changes once."""
    visits = 123450 + i * rng.randint(3, 20)
    news = "お知らせ: 掲示板を移転しました。" if i >= CAPTURES * 2 // 3 else "お知らせ: 特になし。"
    page = '<html><head><meta http-equiv="Content-Type" content="text/html; charset=EUC-JP">'
    page += "<title>趣味のページ</title></head><body><table><tr><td>"
    page += "<p>あなたは %d 人目のお客様です</p><p>%s</p>" % (visits, news)
    page += "".join("<p>%s</p>" % " ".join(stable.choice(WORDS_JA) for _ in range(30)) for _ in range(20))
    page += "</td></tr></table></body></html>"
    return page.encode("euc_jp")


def shop_utf8(i, rng, stable):
    """A shop's product page: nonces and tracking state; the price changes once, for real."""
    price = "1,280" if i < CAPTURES // 2 else "1,480"
    page = head("緑茶 100g | お茶の店", "utf-8", rng, "s%d" % (i // 20)) + "<body>" + nav(NAV)
    page += "<main><h1>緑茶 100g</h1><p class=price>価格 ¥%s (税込)</p>" % price
    page += "".join("<p>%s</p>" % " ".join(stable.choice(WORDS_JA) for _ in range(30)) for _ in range(15))
    page += "</main>" + state_script(rng, 50) + footer(rng) + "</body></html>"
    return page.encode("utf-8")


def portal_utf8(i, rng, stable):
    """A portal with "N minutes ago" beside each headline and full-width digits in a ranking."""
    page = head("ポータル", None, rng, "p1") + "<body>" + nav(NAV)  # declares nothing: UTF-8 by its bytes
    page += "<main><ul>"
    for k in range(30):
        page += "<li><a href=/n/%d>%s</a> <span>%d分前</span></li>" % (
            k, " ".join(stable.choice(WORDS_JA) for _ in range(8)), (k * 7 + i * 5) % 60 + 1)
    page += "</ul><ol>%s</ol>" % "".join(
        "<li>第%s位</li>" % "０１２３４５６７８９"[(k + i) % 10] for k in range(5))
    page += "</main>" + footer(rng) + "</body></html>"
    return page.encode("utf-8")


def blog_sjis(i, rng, stable):
    """A Shift_JIS blog whose text never changes; its markup carries time stamps."""
    page = '<html><head><meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS">'
    page += '<title>日記</title><link rel=stylesheet href="/s.css?t=%d"></head><body>' % (1700000000 + i * 600)
    page += "".join("<div class=entry><h2>%d月%d日</h2><p>%s</p></div>" % (
        1 + k % 12, 1 + k % 28, " ".join(stable.choice(WORDS_JA) for _ in range(50))) for k in range(25))
    page += "<!-- page generated at %d -->" % (1700000000 + i * 600)
    page += "</body></html>"
    return page.encode("cp932")


def stats_utf8(i, rng, stable):
    """A statistics page: numbers are the content, and they change every fifth poll."""
    period = i // 5
    page = head("Statistics", "utf-8", rng, "t1") + "<body><h1>Monthly figures</h1><table>"
    page += "".join("<tr><td>Region %d</td><td>%d</td><td>%.1f%%</td></tr>" % (
        k, 1000 + (k * 37 + period * 11) % 500, ((k + period) * 3.7) % 100) for k in range(60))
    page += "</table>" + footer(rng) + "</body></html>"
    return page.encode("utf-8")


PAGES = [news_utf8, weather_sjis, counter_eucjp, shop_utf8, portal_utf8, blog_sjis, stats_utf8]
CAPTURES = 30


def main():
    global CAPTURES
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    root = sys.argv[1]
    if len(sys.argv) > 2:
        CAPTURES = int(sys.argv[2])
    for index, make in enumerate(PAGES):
        folder = os.path.join(root, make.__name__.replace("_", "-"))
        os.makedirs(folder, exist_ok=True)
        rng = random.Random(1000 + index)
        for i in range(CAPTURES):
            # What stays from poll to poll comes from a generator started afresh each time.
            stable = random.Random(index)
            with open(os.path.join(folder, "%04d.html" % (i + 1)), "wb") as out:
                out.write(make(i, rng, stable))
    print("%d pages of %d captures in %s" % (len(PAGES), CAPTURES, root))


if __name__ == "__main__":
    main()
