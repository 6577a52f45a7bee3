#include "demo_common.h"

#include <commctrl.h>
#include <wininet.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

void Write(const std::string& cp932) {
    int wide = MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), &w[0], wide);
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), wide, &utf8[0], n, nullptr, nullptr);
    std::fwrite(utf8.data(), 1, utf8.size(), stdout);
    std::fflush(stdout);
}

size_t g_siteCursor = 0;

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

RECT Union(RECT a, RECT b) {
    RECT u;
    UnionRect(&u, &a, &b);
    return u;
}

HWND FindDescendant(HWND parent, const char* className) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        char name[64] = "";
        GetClassNameA(child, name, sizeof name);
        if (lstrcmpiA(name, className) == 0) return child;
        if (HWND found = FindDescendant(child, className)) return found;
    }
    return nullptr;
}

const char* ImageName(int image) {
    switch (image) {
    case 0: return "Pending";
    case 1: return "Checking";
    case 2: return "Changed";
    case 3: return "Seen";
    }
    return "?";
}

// The tooltip text of a button, asked of the toolbar's tooltip control, which asks the pane.
std::string ButtonTitle(HWND toolbar, int position) {
    TBBUTTON button = {};
    SendMessageA(toolbar, TB_GETBUTTON, position, reinterpret_cast<LPARAM>(&button));
    HWND tips = reinterpret_cast<HWND>(SendMessageA(toolbar, TB_GETTOOLTIPS, 0, 0));
    char text[300] = "";
    if (tips) {
        TTTOOLINFOA tool = {};
        tool.cbSize = TTTOOLINFOA_V2_SIZE;
        tool.hwnd = toolbar;
        tool.uId = static_cast<UINT_PTR>(button.idCommand);
        tool.lpszText = text;
        SendMessageA(tips, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
    }
    return text[0] ? std::string(text) : "button " + std::to_string(position + 1);
}

HWND g_view = nullptr;
WNDPROC g_hostProc = nullptr;
HFONT g_viewFont = nullptr;

void LayOutView(HWND host) {
    if (!g_view) return;
    RECT client = {}, rebar = {};
    GetClientRect(host, &client);
    HWND bar = FindWindowExA(host, nullptr, REBARCLASSNAMEA, nullptr);
    if (bar) {
        GetWindowRect(bar, &rebar);
        MapWindowPoints(nullptr, host, reinterpret_cast<POINT*>(&rebar), 2);
    }
    MoveWindow(g_view, 0, rebar.bottom, client.right, client.bottom - rebar.bottom, TRUE);
}

LRESULT CALLBACK HostWithViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = CallWindowProcA(g_hostProc, window, message, wParam, lParam);
    if (message == WM_SIZE) LayOutView(window);
    return result;
}

// The text of an HTML page, roughly as a browser shows it.
std::string PageText(const std::string& html) {
    std::string text;
    bool inTag = false;
    for (size_t i = 0; i < html.size(); ++i) {
        char c = html[i];
        if (html.compare(i, 6, "<title") == 0) {  // the title bar's text, not the page's
            size_t end = html.find("</title>", i);
            if (end != std::string::npos) {
                i = end + 7;
                continue;
            }
        }
        if (inTag) {
            if (c == '>') inTag = false;
            continue;
        }
        if (c == '<') {
            // Block elements start a new line.
            static const char* breaks[] = {"<p", "<h1", "<li", "<tr", "</h1", "<br", "<table"};
            for (const char* b : breaks)
                if (html.compare(i, std::strlen(b), b) == 0 && !text.empty() && text.back() != '\n') text += "\r\n";
            if (html.compare(i, 4, "<td>") == 0 && !text.empty() && text.back() != '\n') text += "  ";
            inTag = true;
            continue;
        }
        if (c == '\n' || c == '\r') continue;
        if (c == '&') {
            static const std::pair<const char*, char> entities[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'},
                                                                    {"&quot;", '"'}, {"&#x27;", '\''}};
            bool matched = false;
            for (const auto& e : entities) {
                size_t n = std::strlen(e.first);
                if (html.compare(i, n, e.first) == 0) {
                    text += e.second;
                    i += n - 1;
                    matched = true;
                    break;
                }
            }
            if (matched) continue;
        }
        text += c;
    }
    return text;
}

void ShowPage(const std::string& url, const HttpReply& reply) {
    if (!g_view) return;
    std::string text = url + "\r\n" + (reply.status ? "" : "(no answer)\r\n") + "\r\n" + PageText(reply.body);
    SetWindowTextA(g_view, text.c_str());
}

BandHost* g_host = nullptr;

HANDLE g_boxThread = nullptr;
CRITICAL_SECTION g_boxLock;
std::vector<SeenBox> g_boxes;
HANDLE g_boxStop = nullptr;

BOOL CALLBACK FindBox(HWND window, LPARAM found) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char name[16] = "";
    GetClassNameA(window, name, sizeof name);
    if (process == GetCurrentProcessId() && std::strcmp(name, "#32770") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK LongestStatic(HWND child, LPARAM best) {
    char name[16] = "", text[512] = "";
    GetClassNameA(child, name, sizeof name);
    if (lstrcmpiA(name, "Static") == 0) {
        GetWindowTextA(child, text, sizeof text);
        std::string& current = *reinterpret_cast<std::string*>(best);
        if (std::strlen(text) > current.size()) current = text;
    }
    return TRUE;
}

DWORD WINAPI WatchBoxes(void*) {
    while (WaitForSingleObject(g_boxStop, 50) == WAIT_TIMEOUT) {
        HWND box = nullptr;
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&box));
        if (!box) continue;
        Sleep(800);  // let it be drawn, and seen by anyone watching
        SeenBox seen;
        char caption[256] = "";
        GetWindowTextA(box, caption, sizeof caption);
        seen.caption = caption;
        EnumChildWindows(box, LongestStatic, reinterpret_cast<LPARAM>(&seen.text));
        EnterCriticalSection(&g_boxLock);
        seen.shot = g_boxes.empty() ? "taskbar-post-refused" : "";
        LeaveCriticalSection(&g_boxLock);
        if (!seen.shot.empty() && !SaveRect(seen.shot, Union(g_boxBackdrop, WindowArea(box)))) seen.shot.clear();
        EnterCriticalSection(&g_boxLock);
        g_boxes.push_back(seen);
        LeaveCriticalSection(&g_boxLock);
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(20);
    }
    return 0;
}

// The version resource's FileDescription of a file, which names its bitness.
std::string FileDescription(const std::string& path) {
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0) return std::string();
    std::vector<char> data(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, data.data())) return std::string();
    struct Translation {
        WORD language, codePage;
    }* translations = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(data.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translations),
                        &length) ||
        length < sizeof *translations)
        return std::string();
    char query[64];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\FileDescription", translations->language,
                  translations->codePage);
    char* text = nullptr;
    if (!VerQueryValueA(data.data(), query, reinterpret_cast<void**>(&text), &length) || !text) return std::string();
    return text;
}

}  // namespace

std::vector<StepResult> g_results;
std::string g_shots;
std::vector<std::string> g_shotNames;

RECT g_boxBackdrop = {};

const char kNews[] = "ニュース";
const char kGone[] = "閉鎖されたページ";
const char kNotice[] = "お知らせ";
const char kWeather[] = "天気予報";
const char kMaker[] = "ツールバー情報";

// ---------------------------------------------------------------------------------------
// Transcript

void Say(const char* format, ...) {
    char buffer[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    Write(std::string(buffer) + "\n");
}


bool Check(bool ok, const char* what) {
    g_results.push_back({what, ok});
    Say("  %s %s", ok ? "[ok]    " : "[FAILED]", what);
    return ok;
}

// ---------------------------------------------------------------------------------------
// HTTP and the demo site

HttpReply Http(const std::string& url, const std::string& body, const std::string& headers, bool post) {
    HttpReply reply;
    char host[260] = "", path[2048] = "";
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof path;
    char extra[2048] = "";
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = sizeof extra;
    if (!InternetCrackUrlA(url.c_str(), 0, 0, &parts)) return reply;
    std::string object = std::string(path) + extra;
    HINTERNET root = InternetOpenA("Pelorin demo browser", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!root) return reply;
    DWORD timeout = 10000;
    HINTERNET connection = InternetConnectA(root, host, parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (connection) {
        InternetSetOptionA(connection, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
        HINTERNET request = HttpOpenRequestA(connection, post ? "POST" : "GET", object.c_str(), "HTTP/1.0",
                                             nullptr, nullptr,
                                             INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                                 INTERNET_FLAG_NO_COOKIES,
                                             0);
        if (request) {
            InternetSetOptionA(request, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
            if (HttpSendRequestA(request, headers.empty() ? nullptr : headers.c_str(),
                                 static_cast<DWORD>(headers.size()),
                                 body.empty() ? nullptr : const_cast<char*>(body.data()),
                                 static_cast<DWORD>(body.size()))) {
                DWORD size = sizeof reply.status;
                HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &reply.status, &size,
                               nullptr);
                char buffer[8192];
                DWORD read = 0;
                while (InternetReadFile(request, buffer, sizeof buffer, &read) && read > 0)
                    reply.body.append(buffer, read);
            }
            InternetCloseHandle(request);
        }
        InternetCloseHandle(connection);
    }
    InternetCloseHandle(root);
    return reply;
}

std::string Control(const std::string& command) { return Http("http://pages.test/_demo/" + command).body; }

std::vector<SiteEntry> SiteNews() {
    std::vector<SiteEntry> entries;
    std::string text = Control("since/" + std::to_string(g_siteCursor));
    for (const std::string& line : Split(text, '\n')) {
        if (line.empty()) continue;
        std::vector<std::string> f = Split(line, '\t');
        if (f.size() < 8) continue;
        SiteEntry e{f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], {}};
        for (size_t i = 8; i < f.size(); ++i) e.params.push_back(f[i]);
        entries.push_back(e);
        ++g_siteCursor;
    }
    return entries;
}

bool WaitForSiteRequest(const std::string& path, const std::string& agent, DWORD timeoutMs) {
    return PumpUntil(
        [&] {
            for (const SiteEntry& e : SiteNews())
                if (e.path == path && e.agent == agent) return true;
            return false;
        },
        timeoutMs);
}

void PrintSearches(const std::vector<SiteEntry>& entries) {
    for (const SiteEntry& e : entries) {
        if (e.kind != "search") continue;
        std::string params;
        for (const std::string& p : e.params) params += (params.empty() ? "" : ", ") + p;
        Say("  search service received %s %s (%s)%s%s: %s", e.method.c_str(), e.path.c_str(), e.agent.c_str(),
            e.contentType.empty() ? "" : ", ", e.contentType.c_str(), params.c_str());
    }
}

int CountSearches(const std::vector<SiteEntry>& entries, const std::string& method) {
    int n = 0;
    for (const SiteEntry& e : entries) n += e.kind == "search" && e.method == method;
    return n;
}

bool HasParam(const std::vector<SiteEntry>& entries, const std::string& param) {
    for (const SiteEntry& e : entries)
        for (const std::string& p : e.params)
            if (p == param) return true;
    return false;
}

// ---------------------------------------------------------------------------------------
// Screenshots

bool SaveRect(const std::string& name, RECT r) {
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        GdiFlush();
        SelectObject(memory, old);
        DWORD stride = ((static_cast<DWORD>(w) * 3 + 3) & ~3u);
        DWORD imageSize = stride * static_cast<DWORD>(h);
        BITMAPFILEHEADER file = {};
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof file + sizeof info.bmiHeader;
        file.bfSize = file.bfOffBits + imageSize;
        std::string path = g_shots + "\\" + name + ".bmp";
        HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            ok = WriteFile(out, &file, sizeof file, &written, nullptr) &&
                 WriteFile(out, &info.bmiHeader, sizeof info.bmiHeader, &written, nullptr) &&
                 WriteFile(out, bits, imageSize, &written, nullptr);
            CloseHandle(out);
        }
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

RECT WindowArea(HWND window) {
    RECT r = {};
    GetWindowRect(window, &r);
    return r;
}

void Shot(const std::string& name, RECT area, const char* what) {
    if (SaveRect(name, area)) {
        g_shotNames.push_back(name);
        Say("  screenshot %s.png: %s", name.c_str(), what);
    } else {
        Say("  screenshot %s could not be saved", name.c_str());
    }
}

// ---------------------------------------------------------------------------------------
// The band's windows

int ButtonCount(HWND toolbar) { return static_cast<int>(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0)); }

int ButtonImage(HWND toolbar, int position) {
    TBBUTTONINFOA info = {};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_BYINDEX | TBIF_IMAGE;
    SendMessageA(toolbar, TB_GETBUTTONINFOA, position, reinterpret_cast<LPARAM>(&info));
    return info.iImage;
}

std::string Band::States() const {
    std::string line;
    for (int i = 0; i < ButtonCount(toolbar); ++i) {
        if (i) line += ", ";
        line += (i < static_cast<int>(titles.size()) ? titles[i] : std::string("?")) + " " +
                ImageName(ButtonImage(toolbar, i));
    }
    return line;
}

int Band::Find(const std::string& title) const {
    for (size_t i = 0; i < titles.size(); ++i)
        if (titles[i] == title) return static_cast<int>(i);
    return -1;
}

RECT Band::ButtonArea(int position) const {
    RECT r = {};
    SendMessageA(toolbar, TB_GETITEMRECT, position, reinterpret_cast<LPARAM>(&r));
    MapWindowPoints(toolbar, nullptr, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool Attach(BandHost& host, Band& band) {
    band.toolbar = FindDescendant(host.bandWindow(), "ToolbarWindow32");
    band.edit = FindDescendant(host.bandWindow(), "Edit");
    if (!band.toolbar || !band.edit) return false;
    band.titles.clear();
    for (int i = 0; i < ButtonCount(band.toolbar); ++i) band.titles.push_back(ButtonTitle(band.toolbar, i));
    return true;
}

bool WaitForPass(const Band& band, DWORD timeoutMs) {
    return PumpUntil(
        [&] {
            for (int i = 0; i < ButtonCount(band.toolbar); ++i)
                if (ButtonImage(band.toolbar, i) < 2) return false;
            return true;
        },
        timeoutMs);
}

// ---------------------------------------------------------------------------------------
// The page view

void AddView(HWND host) {
    if (!g_viewFont)
        g_viewFont = CreateFontA(-14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "IPAPGothic");
    g_view = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "",
                             WS_CHILD | WS_VISIBLE | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, 0, 0,
                             10, 10, host, nullptr, GetModuleHandleA(nullptr), nullptr);
    SendMessageA(g_view, WM_SETFONT, reinterpret_cast<WPARAM>(g_viewFont), TRUE);
    g_hostProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(host, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HostWithViewProc)));
    LayOutView(host);
    SetWindowTextA(g_view, "\r\n\r\nPelorin: ボタンをクリックするとページがここに表示されます。");
}

size_t Browse(BandHost& host, size_t from, bool quiet) {
    std::vector<NavigateCall>& calls = host.browser().navigations;
    for (; from < calls.size(); ++from) {
        const NavigateCall& call = calls[from];
        bool post = call.postDataType == (VT_ARRAY | VT_UI1);
        HttpReply reply = Http(call.url, call.postData, call.headers, post);
        if (!quiet)
            Say("  browser: Navigate %s %s%s%s -> %lu", post ? "POST" : "GET", call.url.c_str(),
                post ? " body " : "", post ? call.postData.c_str() : "", static_cast<unsigned long>(reply.status));
        ShowPage(call.url, reply);
    }
    return from;
}

// ---------------------------------------------------------------------------------------
// The host and its message loop

// A browser window near the top left; the taskbar along the bottom of the screen.
std::unique_ptr<BandHost> OpenHost(HostMode mode) {
    std::unique_ptr<BandHost> host(new BandHost(mode));
    g_host = host.get();
    if (mode == HostMode::Browser) {
        MoveWindow(host->hostWindow(), 20, 20, 720, 330, TRUE);
    } else {
        int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
        MoveWindow(host->hostWindow(), 0, height - 80, width, 80, TRUE);
    }
    return host;
}

void CloseHost(std::unique_ptr<BandHost>& host) {
    host->CloseBand();
    host.reset();
    g_host = nullptr;
    g_view = nullptr;  // gone with the host window
}

// A 64-bit host (the taskbar's Explorer) can only load the 64-bit band, a 32-bit browser the
// 32-bit one.
void SayWhichBand(const char* where) {
    const bool host64 = sizeof(void*) == 8;
    char path[MAX_PATH] = "";
    HMODULE band = GetModuleHandleA("pelorin.beta.dll");
    if (band) GetModuleFileNameA(band, path, sizeof path);
    std::string description = band ? FileDescription(path) : std::string();
    Say("  the %s is a %s process; it loaded %s", where, host64 ? "64-bit" : "32-bit", band ? path : "no band");
    Say("  that DLL's version resource: \"%s\"", description.c_str());
    Check(description.find(host64 ? "(64-bit, x64)" : "(32-bit, x86)") != std::string::npos,
          host64 ? "the 64-bit band, in a 64-bit host" : "the 32-bit band, in a 32-bit host");
}

void Pump(DWORD milliseconds) {
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                PostQuitMessage(static_cast<int>(msg.wParam));
                return;
            }
            if (g_host) g_host->Dispatch(msg);
            else {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    } while (GetTickCount() - start < milliseconds);
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs) return done();
        Pump(20);
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// The user's actions

// Rests the mouse pointer on a button, so that its tooltip shows.
void Hover(const Band& band, int position) {
    RECT r = {};
    SendMessageA(band.toolbar, TB_GETITEMRECT, position, reinterpret_cast<LPARAM>(&r));
    POINT at = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    POINT screen = at;
    ClientToScreen(band.toolbar, &screen);
    SetCursorPos(screen.x, screen.y);
    PostMessageA(band.toolbar, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
}

void Click(const Band& band, int position) {
    RECT r = {};
    SendMessageA(band.toolbar, TB_GETITEMRECT, position, reinterpret_cast<LPARAM>(&r));
    LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    SendMessageA(band.toolbar, WM_MOUSEMOVE, 0, at);
    SendMessageA(band.toolbar, WM_LBUTTONDOWN, MK_LBUTTON, at);
    SendMessageA(band.toolbar, WM_LBUTTONUP, 0, at);
    SendMessageA(band.toolbar, WM_MOUSELEAVE, 0, 0);  // the pointer moves on
}

// Types code page 932 text into the box, one character at a time at the caret: a
// single-byte character as the keyboard sends it, a double-byte one as an input method
// commits it, one UTF-16 WM_CHAR.
std::string Type(const Band& band, const std::string& text) {
    SetFocus(band.edit);
    SetWindowTextA(band.edit, "");
    for (size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (IsDBCSLeadByteEx(932, c) && i + 1 < text.size()) {
            wchar_t character = 0;
            MultiByteToWideChar(932, 0, text.data() + i++, 2, &character, 1);
            PostMessageW(band.edit, WM_CHAR, character, 1);
            Pump(10);
        } else {
            PostMessageA(band.edit, WM_CHAR, c, 1);
            Pump(10);
        }
    }
    Pump(300);
    char typed[300] = "";
    GetWindowTextA(band.edit, typed, sizeof typed);
    return typed;
}

// Enter, offered to the band as a browser offers keys while the band has the focus.
HRESULT PressEnter(BandHost& host, const Band& band) {
    MSG msg = {};
    msg.hwnd = band.edit;
    msg.message = WM_KEYDOWN;
    msg.wParam = VK_RETURN;
    msg.lParam = 0x001C0001;
    msg.time = GetTickCount();
    return host.DeliverKey(msg);
}

// ---------------------------------------------------------------------------------------
// Message boxes

void StartWatchingBoxes() {
    InitializeCriticalSection(&g_boxLock);
    g_boxStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_boxThread = CreateThread(nullptr, 0, WatchBoxes, nullptr, 0, nullptr);
}

void StopWatchingBoxes() {
    SetEvent(g_boxStop);
    WaitForSingleObject(g_boxThread, 5000);
    CloseHandle(g_boxThread);
}

std::vector<SeenBox> Boxes() {
    EnterCriticalSection(&g_boxLock);
    std::vector<SeenBox> copy = g_boxes;
    LeaveCriticalSection(&g_boxLock);
    return copy;
}
