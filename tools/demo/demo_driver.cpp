// demo_driver.exe --part PART --shots FOLDER: takes the band through one part of a short
// session, as a user would, and prints what happened. The parts:
//   browser  the band in a browser window (the 32-bit driver: a 32-bit browser);
//   taskbar  the band in the taskbar, with no browser (the 64-bit driver: 64-bit Explorer);
//   stay     the band stays open in a browser window until the window is closed, so a person
//            can click and type;
//   removed  after Pelorin was removed: nothing of its registration is left in either registry
//            view, nor its files or installed-programs entry; the user's pelorin.ini and
//            record of seen pages are.
//
// The band comes through COM in the band host (tools/bandhost), and each part names the DLL
// that the host loaded and the bitness its version resource gives. The driver clicks watch
// buttons, types into the search box and presses Enter through the band's
// TranslateAcceleratorIO, and "browses": every navigation the band asks of the host's
// recording browser is fetched from the demo site and its text shown below the band, as a
// browser would show the page. What the site and the search service received comes from the
// site's log (tools/demo/site.py). Screenshots of the host window go to FOLDER as .bmp files.
//
// Texts are handled in code page 932, like the band's; the transcript is printed in UTF-8.
#include <windows.h>
#include <commctrl.h>
#include <wininet.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <io.h>
#include <memory>
#include <string>
#include <vector>

#include "band_host.h"

namespace {

// ---------------------------------------------------------------------------------------
// Transcript

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

void Say(const char* format, ...) {
    char buffer[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    Write(std::string(buffer) + "\n");
}

struct StepResult {
    std::string name;
    bool ok;
};
std::vector<StepResult> g_results;

bool Check(bool ok, const char* what) {
    g_results.push_back({what, ok});
    Say("  %s %s", ok ? "[ok]    " : "[FAILED]", what);
    return ok;
}

// ---------------------------------------------------------------------------------------
// HTTP, for the driver's own use: following navigations and asking the demo site.

struct HttpReply {
    DWORD status = 0;
    std::string body;
};

HttpReply Http(const std::string& url, const std::string& body = std::string(),
               const std::string& headers = std::string(), bool post = false) {
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

// The site's control requests are not logged, so asking never disturbs what is observed.
std::string Control(const std::string& command) { return Http("http://pages.test/_demo/" + command).body; }

struct SiteEntry {
    std::string kind, method, host, path, status, agent, contentType, raw;
    std::vector<std::string> params;  // name=text, the text decoded as code page 932
};

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

// What the site logged since the last call.
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

// ---------------------------------------------------------------------------------------
// Screenshots: what the display shows where the host window is, saved as a 24-bit BMP.

std::string g_shots;
std::vector<std::string> g_shotNames;

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

RECT Union(RECT a, RECT b) {
    RECT u;
    UnionRect(&u, &a, &b);
    return u;
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
// The band's windows, found the way a user's tools (Spy++) would.

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

int ButtonCount(HWND toolbar) { return static_cast<int>(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0)); }

int ButtonImage(HWND toolbar, int position) {
    TBBUTTONINFOA info = {};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_BYINDEX | TBIF_IMAGE;
    SendMessageA(toolbar, TB_GETBUTTONINFOA, position, reinterpret_cast<LPARAM>(&info));
    return info.iImage;
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

struct Band {
    HWND toolbar = nullptr;
    HWND edit = nullptr;
    std::vector<std::string> titles;

    std::string States() const {
        std::string line;
        for (int i = 0; i < ButtonCount(toolbar); ++i) {
            if (i) line += ", ";
            line += (i < static_cast<int>(titles.size()) ? titles[i] : std::string("?")) + " " +
                    ImageName(ButtonImage(toolbar, i));
        }
        return line;
    }
    int Find(const std::string& title) const {
        for (size_t i = 0; i < titles.size(); ++i)
            if (titles[i] == title) return static_cast<int>(i);
        return -1;
    }
    RECT ButtonArea(int position) const {
        RECT r = {};
        SendMessageA(toolbar, TB_GETITEMRECT, position, reinterpret_cast<LPARAM>(&r));
        MapWindowPoints(toolbar, nullptr, reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
};

// ---------------------------------------------------------------------------------------
// The page view below the band: what a browser would show of each page it is asked to open.

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

// Does what the browser would do with each navigation the band asked for since `from`.
size_t Browse(BandHost& host, size_t from, bool quiet = false) {
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
// Running the host's message loop while waiting.

BandHost* g_host = nullptr;

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
// The user's actions.

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

std::string SeenValue(const std::string& address) {
    HKEY key = nullptr;
    std::string value;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Vorna\\Pelorin", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        char data[300] = "";
        DWORD size = sizeof data - 1, type = 0;
        if (RegQueryValueExA(key, address.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size) ==
            ERROR_SUCCESS) {
            data[size] = '\0';
            value = data;
        } else {
            value = "(none)";
        }
        RegCloseKey(key);
    } else {
        value = "(no key)";
    }
    return value;
}

// ---------------------------------------------------------------------------------------
// Message boxes: found from a second thread, recorded, shown a moment, photographed, closed.

struct SeenBox {
    std::string caption, text;
    std::string shot;
};
CRITICAL_SECTION g_boxLock;
std::vector<SeenBox> g_boxes;
HANDLE g_boxStop = nullptr;
RECT g_boxBackdrop = {};  // the host window's area, photographed with the box

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

std::vector<SeenBox> Boxes() {
    EnterCriticalSection(&g_boxLock);
    std::vector<SeenBox> copy = g_boxes;
    LeaveCriticalSection(&g_boxLock);
    return copy;
}

// ---------------------------------------------------------------------------------------
// The session.

const char kNews[] = "ニュース";
const char kGone[] = "閉鎖されたページ";
const char kNotice[] = "お知らせ";
const char kWeather[] = "天気予報";
const char kMaker[] = "ツールバー情報";

bool Attach(BandHost& host, Band& band) {
    band.toolbar = FindDescendant(host.bandWindow(), "ToolbarWindow32");
    band.edit = FindDescendant(host.bandWindow(), "Edit");
    if (!band.toolbar || !band.edit) return false;
    band.titles.clear();
    for (int i = 0; i < ButtonCount(band.toolbar); ++i) band.titles.push_back(ButtonTitle(band.toolbar, i));
    return true;
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

// Which DLL the host process loaded, and whether its bitness is the host's: a 64-bit host
// (the taskbar's Explorer) can only load the 64-bit band, a 32-bit browser the 32-bit one.
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

void SearchIn(BandHost& host, const Band& band, const std::string& query, const char* label, size_t& browsed) {
    std::string typed = Type(band, query);
    Check(typed == query, (std::string("typed \"") + query + "\" into the search box (" + label + ")").c_str());
    size_t before = host.browser().navigations.size();
    HRESULT hr = PressEnter(host, band);
    Say("  Enter offered through TranslateAcceleratorIO: %s", hr == S_OK ? "S_OK (the band took it)" : "not taken");
    Pump(200);
    size_t after = host.browser().navigations.size();
    Say("  the band asked the browser for %u navigation(s)", static_cast<unsigned>(after - before));
    browsed = Browse(host, browsed);
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

void BrowserSession() {
    Say("");
    Say("== 1. The band in a %s browser window", sizeof(void*) == 8 ? "64-bit" : "32-bit");
    // The third page answers slowly this once, so that the first pass can be caught midway.
    Control("delay/4/notice.html");
    SiteNews();
    std::unique_ptr<BandHost> host = OpenHost(HostMode::Browser);
    HRESULT hr = host->CreateBand();
    if (!Check(SUCCEEDED(hr), "the browser host created the band through COM (CLSID_Pelorband, Pelorin.Pelorin)")) {
        Say("  CreateBand: 0x%08lX; is pelorin.beta.dll registered?", static_cast<unsigned long>(hr));
        return;
    }
    AddView(host->hostWindow());
    SetWindowTextA(g_view, "\r\n\r\nPelorin: ボタンをクリックするとページがここに表示されます。");
    Band band;
    Check(Attach(*host, band), "the band holds the watch toolbar and the search box");
    SayWhichBand("browser");
    Say("  band size from GetBandInfo: min %ld x %ld", host->bandInfo().ptMinSize.x, host->bandInfo().ptMinSize.y);
    std::string titles;
    for (const std::string& t : band.titles) titles += (titles.empty() ? "" : ", ") + t;
    Say("  watch buttons (tooltips): %s", titles.c_str());
    Check(band.titles.size() == 5 && band.titles.back() == kMaker,
          "five buttons: the four configured pages, then the built-in ツールバー情報");

    Say("");
    Say("== 2. The first pass");
    int notice = band.Find(kNotice);
    bool midway = PumpUntil([&] { return notice >= 0 && ButtonImage(band.toolbar, notice) == 1; }, 8000);
    Say("  midway: %s", band.States().c_str());
    if (midway) {
        RECT area = WindowArea(host->hostWindow());
        Shot("band-checking", area, "the first pass midway: Changed, Seen, Checking and Pending side by side");
        static const char* const names[] = {"button-changed", "button-seen", "button-checking", "button-pending"};
        for (int i = 0; i < 4; ++i) SaveRect(names[i], band.ButtonArea(i));
    }
    Check(midway && ButtonImage(band.toolbar, 0) == 2 && ButtonImage(band.toolbar, 1) == 3 &&
              ButtonImage(band.toolbar, 3) == 0,
          "midway: ニュース Changed, 閉鎖されたページ Seen (404), お知らせ Checking, 天気予報 Pending");
    bool passed = PumpUntil(
        [&] {
            for (int i = 0; i < ButtonCount(band.toolbar); ++i)
                if (ButtonImage(band.toolbar, i) < 2) return false;
            return true;
        },
        10000);
    Say("  after the pass: %s", band.States().c_str());
    Check(passed && ButtonImage(band.toolbar, band.Find(kGone)) == 3 &&
              ButtonImage(band.toolbar, band.Find(kNews)) == 2 && ButtonImage(band.toolbar, band.Find(kMaker)) == 2,
          "never-opened pages show Changed; the page answering 404 shows Seen");
    int pelorinFetches = 0;
    for (const SiteEntry& e : SiteNews()) pelorinFetches += e.agent == "Pelorin";
    Say("  the site served %d page requests from agent \"Pelorin\"", pelorinFetches);
    Hover(band, band.Find(kNews));
    bool tip = PumpUntil(
        [&] {
            HWND tips = reinterpret_cast<HWND>(SendMessageA(band.toolbar, TB_GETTOOLTIPS, 0, 0));
            return tips && IsWindowVisible(tips);
        },
        5000);
    Pump(300);
    Say("  the pointer rests on the first button: %s", tip ? "its tooltip shows its title" : "no tooltip showed");
    Shot("band-first-pass", WindowArea(host->hostWindow()), "after the first pass, a tooltip naming the first page");
    SendMessageA(band.toolbar, WM_MOUSELEAVE, 0, 0);
    SetCursorPos(0, 0);

    Say("");
    Say("== 3. Opening ニュース from its button");
    int news = band.Find(kNews);
    size_t browsed = host->browser().navigations.size();
    Click(band, news);
    Pump(100);
    bool navigated = host->browser().navigations.size() == browsed + 1 &&
                     host->browser().navigations.back().url == "http://pages.test/news.html";
    Check(navigated, "the click asked the browser to open http://pages.test/news.html");
    Check(ButtonImage(band.toolbar, news) == 3, "the button turned Seen at once");
    std::string seen = SeenValue("http://pages.test/news.html");
    Say("  seen store: HKCU\\Software\\Vorna\\Pelorin \"http://pages.test/news.html\" = %s", seen.c_str());
    Check(seen.size() == 32, "the page's digest was recorded as seen");
    browsed = Browse(*host, browsed);
    Pump(200);
    Shot("band-opened", WindowArea(host->hostWindow()), "ニュース opened: its button grey, the page below");

    Say("");
    Say("== 4. ニュース changes on the site");
    std::string edition = Control("edition");
    DWORD start = GetTickCount();
    bool changedAgain = PumpUntil([&] { return ButtonImage(band.toolbar, news) == 2; }, 20000);
    Say("  the site now serves edition %s (it was %s); %s", Control("edition").c_str(), edition.c_str(),
        band.States().c_str());
    char waited[64];
    std::snprintf(waited, sizeof waited, " %.1f s later", (GetTickCount() - start) / 1000.0);
    Check(changedAgain, (std::string("ニュース turned Changed again") + (changedAgain ? waited : "")).c_str());
    Shot("band-changed-again", WindowArea(host->hostWindow()), "ニュース yellow again after the page changed");

    Say("");
    Say("== 5. 天気予報: only its markup changes, and its item ignores markup");
    int weather = band.Find(kWeather);
    Click(band, weather);
    Pump(100);
    browsed = Browse(*host, browsed);
    SiteNews();
    bool refetched = PumpUntil(
        [&] {
            for (const SiteEntry& e : SiteNews())
                if (e.path == "/weather.html" && e.agent == "Pelorin") return true;
            return false;
        },
        15000);
    PumpUntil([&] { return ButtonImage(band.toolbar, weather) != 1; }, 5000);
    Say("  after the next check: %s", band.States().c_str());
    Check(refetched && ButtonImage(band.toolbar, weather) == 3,
          "天気予報 fetched again with new markup and still Seen");

    Say("");
    Say("== 6. An English search");
    SiteNews();
    SearchIn(*host, band, "pelorin toolbar", "single-byte", browsed);
    Pump(300);
    std::vector<SiteEntry> english = SiteNews();
    PrintSearches(english);
    Check(CountSearches(english, "GET") == 1 && CountSearches(english, "POST") == 1 &&
              HasParam(english, "q=pelorin toolbar") && HasParam(english, "query=pelorin toolbar"),
          "sent by GET to the eng service and by POST to the service for every text; not to the jpn one");
    Shot("search-english", WindowArea(host->hostWindow()), "an English search, the service's answer below");

    Say("");
    Say("== 7. A Japanese search");
    SearchIn(*host, band, "東京 天気", "double-byte", browsed);
    Pump(300);
    std::vector<SiteEntry> japanese = SiteNews();
    PrintSearches(japanese);
    Check(CountSearches(japanese, "GET") == 1 && CountSearches(japanese, "POST") == 1 &&
              HasParam(japanese, "kw=東京 天気") && HasParam(japanese, "query=東京 天気"),
          "sent by GET to the jpn service and by POST to the service for every text, in code page 932");
    // The last navigation is the POST service's page; show the Japanese service's answer,
    // which names the query.
    Shot("search-japanese", WindowArea(host->hostWindow()), "a Japanese search typed into the box");

    host->CloseBand();
    host.reset();
    g_host = nullptr;
    g_view = nullptr;
}

void TaskbarSession() {
    Say("");
    Say("== 8. The band in the taskbar of %s Windows (no browser)", sizeof(void*) == 8 ? "64-bit" : "32-bit");
    std::unique_ptr<BandHost> host = OpenHost(HostMode::Taskbar);
    g_boxBackdrop = WindowArea(host->hostWindow());
    HRESULT hr = host->CreateBand();
    if (!Check(SUCCEEDED(hr), "the taskbar host created the band, offering no browser")) return;
    SayWhichBand("taskbar");
    Band band;
    Attach(*host, band);
    PumpUntil(
        [&] {
            for (int i = 0; i < ButtonCount(band.toolbar); ++i)
                if (ButtonImage(band.toolbar, i) < 2) return false;
            return true;
        },
        15000);
    Say("  after its first pass: %s", band.States().c_str());
    Shot("taskbar-band", WindowArea(host->hostWindow()), "the band in the taskbar after its first pass");
    SiteNews();
    Click(band, band.Find(kNotice));
    bool opened = PumpUntil(
        [&] {
            for (const SiteEntry& e : SiteNews())
                if (e.path == "/notice.html" && e.agent == "Pelorin demo opener") return true;
            return false;
        },
        10000);
    Check(opened, "お知らせ opened through the shell's \"open\" (the default browser fetched it)");

    SiteNews();
    std::string typed = Type(band, "pelorin");
    Check(typed == "pelorin", "typed \"pelorin\" into the search box");
    PressEnter(*host, band);
    bool refused = PumpUntil([] { return !Boxes().empty(); }, 10000);
    std::vector<SiteEntry> entries;
    bool searched = PumpUntil(
        [&] {
            for (const SiteEntry& e : SiteNews()) entries.push_back(e);
            return CountSearches(entries, "GET") >= 1;
        },
        10000);
    for (const SeenBox& box : Boxes())
        Say("  message box \"%s\": %s%s%s", box.caption.c_str(), box.text.c_str(), box.shot.empty() ? "" : "  (screenshot ",
            box.shot.empty() ? "" : (box.shot + ".png)").c_str());
    if (!Boxes().empty() && !Boxes()[0].shot.empty()) g_shotNames.push_back(Boxes()[0].shot);
    PrintSearches(entries);
    Check(refused && Boxes().size() == 1 && Boxes()[0].caption == "Pelorin" &&
              Boxes()[0].text == "タスクバーからPOSTはできません。",
          "the POST service was refused with \"タスクバーからPOSTはできません。\"");
    Check(searched && CountSearches(entries, "GET") == 1 && CountSearches(entries, "POST") == 0 &&
              HasParam(entries, "q=pelorin"),
          "the GET service was opened through the shell; nothing was POSTed");
    host->CloseBand();
    host.reset();
    g_host = nullptr;
}

// Whether a key exists in one registry view (KEY_WOW64_32KEY or KEY_WOW64_64KEY).
bool KeyExists(HKEY root, const std::string& path, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool ValueExists(HKEY root, const std::string& path, const char* name, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    bool found = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
}

// After removal: nothing of the band's registration is left in either view, and the record
// of seen pages, which is the user's, stays.
void RemovedSession() {
    Say("");
    Say("== 9. After removing Pelorin");
    const std::string kClass = "CLSID\\{408EA957-CF17-4D81-93AB-FDDA7ACDA90F}";
    const char kToolbar[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
    const char kClassId[] = "{408EA957-CF17-4D81-93AB-FDDA7ACDA90F}";
    static const struct {
        REGSAM view;
        const char* name;
    } kViews[] = {{KEY_WOW64_64KEY, "64-bit"}, {KEY_WOW64_32KEY, "32-bit"}};
    for (const auto& v : kViews) {
        bool left = KeyExists(HKEY_CLASSES_ROOT, kClass, v.view) ||
                    ValueExists(HKEY_LOCAL_MACHINE, kToolbar, kClassId, v.view) ||
                    KeyExists(HKEY_CLASSES_ROOT, "Pelorin.Pelorin", v.view);
        Check(!left, (std::string("the ") + v.name +
                      " registry view holds no class, ProgID or browser toolbar entry of Pelorin")
                         .c_str());
    }
    bool filesGone = GetFileAttributesA("C:\\Program Files\\Vorna\\Pelorin") == INVALID_FILE_ATTRIBUTES;
    bool entryGone = !KeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelorin",
                                KEY_WOW64_64KEY);
    Check(filesGone && entryGone,
          "C:\\Program Files\\Vorna\\Pelorin and the installed-programs entry are gone");
    char appData[MAX_PATH] = "";
    GetEnvironmentVariableA("APPDATA", appData, sizeof appData);
    std::string ini = std::string(appData) + "\\pelorin.ini";
    Check(GetFileAttributesA(ini.c_str()) != INVALID_FILE_ATTRIBUTES, ("the user's " + ini + " stays").c_str());
    Say("  the record of seen pages stays, HKCU\\Software\\Vorna\\Pelorin:");
    int values = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Vorna\\Pelorin", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        for (DWORD i = 0;; ++i) {
            char name[300] = "";
            char data[300] = "";
            DWORD nameSize = sizeof name, dataSize = sizeof data - 1;
            if (RegEnumValueA(key, i, name, &nameSize, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &dataSize) !=
                ERROR_SUCCESS)
                break;
            data[dataSize] = '\0';
            Say("    %s = %s", name, data);
            ++values;
        }
        RegCloseKey(key);
    }
    Check(values > 0, "the seen pages' values are still there");
}

void Stay() {
    Say("");
    Say("The band stays open in a browser window: click its buttons, type into its box and press");
    Say("Enter; close the window, and Pelorin is removed.");
    std::unique_ptr<BandHost> host = OpenHost(HostMode::Browser);
    if (FAILED(host->CreateBand())) return;
    AddView(host->hostWindow());
    SetWindowTextA(g_view, "\r\n\r\nPelorin: ボタンをクリックするとページがここに表示されます。");
    size_t browsed = 0;
    SetTimer(host->hostWindow(), 1, 300, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == host->hostWindow()) {
            browsed = Browse(*host, browsed);
            continue;
        }
        host->Dispatch(msg);
    }
    host->CloseBand();
    host.reset();
    g_host = nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);  // the transcript is UTF-8, written as it is
    static const char kUsage[] = "usage: demo_driver --part browser|taskbar|stay|removed --shots FOLDER\n";
    std::string part;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--shots") == 0) {
            g_shots = argv[i + 1];
        } else if (std::strcmp(argv[i], "--part") == 0) {
            part = argv[i + 1];
        } else {
            break;
        }
    }
    if (argc % 2 == 0 || g_shots.empty() ||
        (part != "browser" && part != "taskbar" && part != "stay" && part != "removed")) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }
    CreateDirectoryA(g_shots.c_str(), nullptr);
    if (Control("ping") != "pong") {
        Say("The demo site does not answer on pages.test:80; run the demo through scripts/demo.");
        return 1;
    }
    if (part == "stay") {
        Stay();
        return 0;
    }
    InitializeCriticalSection(&g_boxLock);
    g_boxStop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE boxes = CreateThread(nullptr, 0, WatchBoxes, nullptr, 0, nullptr);

    if (part == "browser") BrowserSession();
    if (part == "taskbar") TaskbarSession();
    if (part == "removed") RemovedSession();

    SetEvent(g_boxStop);
    WaitForSingleObject(boxes, 5000);
    CloseHandle(boxes);

    int happened = 0;
    for (const StepResult& r : g_results) happened += r.ok;
    Say("");
    Say("== %s: %d of %d steps happened as expected", part.c_str(), happened, static_cast<int>(g_results.size()));
    for (const StepResult& r : g_results)
        if (!r.ok) Say("  did not happen: %s", r.name.c_str());
    std::string shots;
    for (const std::string& s : g_shotNames) shots += (shots.empty() ? "" : " ") + s + ".png";
    if (!shots.empty()) Say("  screenshots: %s", shots.c_str());
    return happened == static_cast<int>(g_results.size()) ? 0 : 1;
}
