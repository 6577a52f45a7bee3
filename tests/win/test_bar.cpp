// The Pelorin bar, pelorin.exe, run as a user runs it: a program of its own that hosts the
// band from the DLL beside it with no registration, docks through the shell's app bar
// protocol (Wine's explorer), and hands what the band opens to the default browser
// (winebrowser, then a recorder or Debian's chromium). The test looks at it from outside, as
// the shell and the user do: its windows, the app bar list, the registry, the fixture's log.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "bar/bar_window.h"
#include "support/bar_process.h"
#include "support/registry_views.h"
#include "support/test_env.h"
#include "support/watch_probe.h"

namespace {

const char kBarKey[] = "Software\\Vorna\\Pelorin\\Bar";
const char kBrowserKey[] = "Software\\Wine\\WineBrowser";

std::string Unix(const char* variable) {
    const char* value = std::getenv(variable);
    return value ? value : "";
}

// The bar's band reads this: one watched page on the fixture, compared by its text, and
// search services by GET and by POST on the fixture too (by address, since the browser
// resolves no test host names).
const char kConfig[] =
    "[watch]\r\n"
    "item1=Bar page,1,http://127.0.0.1/page/bar text\r\n"
    "[search]\r\n"
    "url1=http://127.0.0.1/get-search\r\nform1=q=\r\n"
    "url2=http://127.0.0.1/post-search\r\nmethod2=post\r\nform2=hl=ja&q=\r\n";

RECT WindowRect(HWND window) {
    RECT r = {};
    GetWindowRect(window, &r);
    return r;
}

// Whether the shell's list of app bars holds the window: a second ABM_NEW for a window on the
// list fails. A window that was not on it is taken off again at once.
bool OnAppBarList(HWND window) {
    APPBARDATA abd = {sizeof abd, window};
    abd.uCallbackMessage = WM_APP;
    if (!SHAppBarMessage(ABM_NEW, &abd)) return true;
    SHAppBarMessage(ABM_REMOVE, &abd);
    return false;
}

// The default browser: winebrowser runs the first program of this list. Each of ours writes
// what it was given to browser-opened.txt in the build folder.
void SetBrowser(const std::string& script) {
    std::string program = Unix("PELORIN_SOURCE") + "/tests/win/browsers/" + script;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kBrowserKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(key, "Browsers", 0, REG_SZ, reinterpret_cast<const BYTE*>(program.c_str()),
                   static_cast<DWORD>(program.size() + 1));
    RegCloseKey(key);
}

std::vector<std::string> Lines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadBytes(path));
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

bool WaitForLines(const std::string& path, size_t n, DWORD timeoutMs) {
    return PumpUntil([&] { return Lines(path).size() >= n; }, timeoutMs);
}

// The fixture's requests whose line starts with `prefix`.
std::vector<LoggedRequest> Requests(const std::string& prefix) {
    std::vector<LoggedRequest> found;
    for (const LoggedRequest& r : FixtureLog()) {
        if (r.line.compare(0, prefix.size(), prefix) == 0) found.push_back(r);
    }
    return found;
}

// Percent escapes decoded ('+' too): what a server reads of an address or a form. Wine's
// handling of an address on its way to the browser decodes the escapes of letters and digits,
// which stand for the same address.
std::string Decoded(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size()) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// A form body's fields, decoded: what any form reader makes of it.
std::vector<std::pair<std::string, std::string>> FormFields(const std::string& body) {
    std::vector<std::pair<std::string, std::string>> fields;
    std::istringstream in(body);
    std::string piece;
    while (std::getline(in, piece, '&')) {
        size_t equals = piece.find('=');
        fields.emplace_back(Decoded(piece.substr(0, equals)),
                            equals == std::string::npos ? "" : Decoded(piece.substr(equals + 1)));
    }
    return fields;
}

std::vector<std::string> LocalPagesLeft() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::vector<std::string> pages;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(temp) + "pelorin-*.html").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return pages;
    do pages.push_back(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
    return pages;
}

// Whether a balloon on screen shows `part` (code page 932 bytes).
bool BalloonShows(const std::string& part) {
    for (HWND tip = nullptr; (tip = FindWindowExA(nullptr, tip, "tooltips_class32", nullptr));) {
        if (!(GetWindowLongW(tip, GWL_STYLE) & TTS_BALLOON)) continue;
        char text[512] = "";
        SendMessageA(tip, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        if (std::string(text).find(part) != std::string::npos) return true;
    }
    return false;
}

class BarTest : public ::testing::Test {
protected:
    // Nothing registered: the bar must find its band by itself.
    static void SetUpTestSuite() {
        // The regsvr32 of this program's bitness: a 32-bit program's System32 is the 32-bit one.
        ASSERT_EQ(RunProgram("regsvr32 /u /s \"" + DllPath() + "\""), 0);
        WriteAppDataIni(kConfig);
    }
    static void TearDownTestSuite() {
        RemoveAppDataIni();
        RegDeleteTreeA(HKEY_CURRENT_USER, kBrowserKey);
        EXPECT_EQ(RunProgram("regsvr32 /s \"" + DllPath() + "\""), 0);
    }
    void SetUp() override {
        REQUIRE_FIXTURE();
        RegDeleteTreeA(HKEY_CURRENT_USER, kBarKey);
        log_ = BuildDir() + "\\browser-opened.txt";
        DeleteFileA(log_.c_str());
        SetBrowser("record-browser");
        FixtureGet("/_ctl/reset");
        ASSERT_EQ(FixturePost("/_ctl/set/bar", "<html>a page</html>").status, 200);
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, kBarKey); }

    // Gives the search box the keyboard as a click would, through the bar's own queue.
    static HWND FocusSearchBox(HWND bar) {
        HWND search = FindWindowExA(FindWindowExA(bar, nullptr, "Pelorin", nullptr), nullptr, "Pelorin-Search", nullptr);
        HWND edit = FindWindowExA(search, nullptr, "Edit", nullptr);
        SetForegroundWindow(bar);
        PostMessageA(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
        PostMessageA(edit, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
        PumpUntil([&] {
            GUITHREADINFO info = {sizeof info};
            return GetGUIThreadInfo(GetWindowThreadProcessId(bar, nullptr), &info) && info.hwndFocus == edit;
        }, 5000);
        return edit;
    }
    // Each key waits for its effect, as a user's next key comes after the last one's
    // character: a character the bar's loop makes from a key goes to the back of its queue.
    static void Type(HWND edit, const std::string& text) {
        for (char c : text) {
            std::string before = EditText(edit);
            PostMessageA(edit, WM_CHAR, static_cast<unsigned char>(c), 1);
            PumpUntil([&] { return EditText(edit) != before; }, 5000);
        }
    }
    static void Key(HWND edit, WPARAM key) {
        std::string before = EditText(edit);
        LPARAM bits = 1 | (static_cast<LPARAM>(MapVirtualKeyA(static_cast<UINT>(key), 0)) << 16);
        PostMessageA(edit, WM_KEYDOWN, key, bits);
        PostMessageA(edit, WM_KEYUP, key, bits | (3L << 30));
        PumpUntil([&] { return EditText(edit) != before; }, key == VK_BACK ? 5000 : 300);
    }
    static std::string EditText(HWND edit) {
        char text[1024] = "";
        SendMessageA(edit, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        return text;
    }

    std::string log_;
};

TEST_F(BarTest, HostsTheBandWithoutRegistrationDockedAcrossTheTopAsTallAsTheBand) {
    ASSERT_FALSE(Exists(HKEY_CLASSES_ROOT, kClassKey));
    Bar bar;
    ASSERT_TRUE(bar.started());
    HWND window = bar.WaitForBand();
    ASSERT_NE(window, nullptr);
    HWND container = bar.container();
    HWND watch = FindWindowExA(container, nullptr, "Pelorin-Watch", nullptr);
    HWND search = FindWindowExA(container, nullptr, "Pelorin-Search", nullptr);
    ASSERT_NE(watch, nullptr);
    ASSERT_NE(search, nullptr);

    // The panes are laid out to the band's height, which is the bar's.
    RECT bar_rect = WindowRect(window), pane = WindowRect(watch);
    EXPECT_GT(pane.bottom - pane.top, 0);
    EXPECT_EQ(bar_rect.left, 0);
    EXPECT_EQ(bar_rect.top, 0);
    EXPECT_EQ(bar_rect.right, GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(bar_rect.bottom - bar_rect.top, pane.bottom - pane.top);
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_TRUE(OnAppBarList(window));

    EXPECT_EQ(bar.Close(), 0u);
    EXPECT_FALSE(OnAppBarList(window));
}

TEST_F(BarTest, DocksAtTheBottomOrFloatsAndComesBackWhereTheUserLeftIt) {
    int screenWidth = GetSystemMetrics(SM_CXSCREEN), screenHeight = GetSystemMetrics(SM_CYSCREEN);
    LONG height = 0;
    {
        Bar bar;
        HWND window = bar.WaitForBand();
        ASSERT_NE(window, nullptr);
        height = WindowRect(window).bottom - WindowRect(window).top;
        SendMessageW(window, WM_COMMAND, kCommandDockBottom, 0);
        RECT r = WindowRect(window);
        EXPECT_EQ(r.bottom, screenHeight);
        EXPECT_EQ(r.top, screenHeight - height);
        EXPECT_EQ(r.right - r.left, screenWidth);
        EXPECT_TRUE(OnAppBarList(window));
        ASSERT_EQ(bar.Close(), 0u);
    }
    {
        Bar bar;
        HWND window = bar.WaitForBand();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(WindowRect(window).bottom, screenHeight);

        // Floating: a small tool window with a caption, off the app bar list.
        SendMessageW(window, WM_COMMAND, kCommandFloat, 0);
        RECT r = WindowRect(window);
        EXPECT_LT(r.right - r.left, screenWidth / 2);
        EXPECT_GT(r.bottom - r.top, height);
        EXPECT_TRUE(GetWindowLongW(window, GWL_STYLE) & WS_CAPTION);
        EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
        EXPECT_FALSE(OnAppBarList(window));
        // Where the user dragged it.
        SetWindowPos(window, nullptr, 300, 400, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ASSERT_EQ(bar.Close(), 0u);
    }
    {
        Bar bar;
        HWND window = bar.WaitForBand();
        ASSERT_NE(window, nullptr);
        RECT r = WindowRect(window);
        EXPECT_EQ(r.left, 300);
        EXPECT_EQ(r.top, 400);
        ASSERT_EQ(bar.Close(), 0u);
    }
    // The monitor it was on is gone: it comes back on the primary one.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kBarKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    DWORD gone = 5000;
    RegSetValueExA(key, "FloatLeft", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&gone), sizeof gone);
    RegCloseKey(key);
    {
        Bar bar;
        HWND window = bar.WaitForBand();
        ASSERT_NE(window, nullptr);
        RECT r = WindowRect(window);
        EXPECT_GE(r.left, 0);
        EXPECT_LE(r.right, screenWidth);
        EXPECT_GE(r.top, 0);
        EXPECT_LE(r.bottom, screenHeight);
        ASSERT_EQ(bar.Close(), 0u);
    }
    // Values of the wrong type, or a placement it does not know: the top, as at first.
    for (int odd = 0; odd < 2; ++odd) {
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kBarKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
        if (odd == 0) {
            RegSetValueExA(key, "Placement", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&gone), sizeof gone);
        } else {
            RegSetValueExA(key, "Placement", 0, REG_SZ, reinterpret_cast<const BYTE*>("sideways"), 9);
        }
        RegCloseKey(key);
        Bar bar;
        HWND window = bar.WaitForBand();
        ASSERT_NE(window, nullptr);
        RECT r = WindowRect(window);
        EXPECT_EQ(r.top, 0) << odd;
        EXPECT_EQ(r.right - r.left, screenWidth) << odd;
        ASSERT_EQ(bar.Close(), 0u);
    }
}

TEST_F(BarTest, TakesItsPlaceBelowAnAppBarAlreadyAtTheTopAndTellsOtherBarsWhenItGoes) {
    // Another app bar, registered first, holds the top 30 pixels. Its callback messages come to
    // this thread's window.
    HWND other = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "other bar", WS_POPUP, 0, 0, 100, 30, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    const UINT callback = WM_APP + 7;
    APPBARDATA abd = {sizeof abd, other};
    abd.uCallbackMessage = callback;
    ASSERT_TRUE(SHAppBarMessage(ABM_NEW, &abd));
    abd.uEdge = ABE_TOP;
    abd.rc = {0, 0, GetSystemMetrics(SM_CXSCREEN), 30};
    SHAppBarMessage(ABM_SETPOS, &abd);

    int notices = 0;
    auto countNotices = [&] {
        MSG msg;
        while (PeekMessageA(&msg, other, callback, callback, PM_REMOVE)) {
            if (msg.wParam == ABN_POSCHANGED) ++notices;
        }
    };
    {
        Bar bar;
        HWND window = bar.WaitForBand();
        ASSERT_NE(window, nullptr);
        RECT r = WindowRect(window);
        LONG height = WindowRect(FindWindowExA(bar.container(), nullptr, "Pelorin-Watch", nullptr)).bottom -
                      WindowRect(FindWindowExA(bar.container(), nullptr, "Pelorin-Watch", nullptr)).top;
        EXPECT_EQ(r.top, 30);
        EXPECT_EQ(r.bottom, 30 + height);
        PumpUntil([&] { countNotices(); return notices >= 1; }, 5000);
        EXPECT_GE(notices, 1) << "the bar's ABM_SETPOS tells the other bars";
        notices = 0;
        ASSERT_EQ(bar.Close(), 0u);
    }
    PumpUntil([&] { countNotices(); return notices >= 1; }, 5000);
    EXPECT_GE(notices, 1) << "the bar's ABM_REMOVE tells the other bars";
    SHAppBarMessage(ABM_REMOVE, &abd);
    DestroyWindow(other);
}

TEST_F(BarTest, AClickAndAGetSearchReachTheDefaultBrowserInOrderAndAPostIsNeverRefused) {
    Bar bar;
    HWND window = bar.WaitForBand();
    ASSERT_NE(window, nullptr);
    HWND watch = FindWindowExA(bar.container(), nullptr, "Pelorin-Watch", nullptr);
    PostMessageA(watch, WM_COMMAND, 1, 0);
    ASSERT_TRUE(WaitForLines(log_, 1, 20000));

    HWND edit = FocusSearchBox(window);
    Type(edit, "ab");
    Key(edit, VK_RETURN);
    // The GET service's address and the local page that posts to the POST service. The bar
    // asks for them in that order, but each goes through a winebrowser process of its own,
    // which may reach the browser first.
    ASSERT_TRUE(WaitForLines(log_, 3, 20000));
    std::vector<std::string> opened = Lines(log_);
    EXPECT_EQ(opened[0], "http://127.0.0.1/page/bar");
    std::vector<std::string> search(opened.begin() + 1, opened.end());
    std::sort(search.begin(), search.end());  // "file:///..." before "http://..."
    EXPECT_EQ(search[0].compare(0, 8, "file:///"), 0) << search[0];
    EXPECT_NE(search[0].find("pelorin-"), std::string::npos) << search[0];
    EXPECT_EQ(Decoded(search[1]), "http://127.0.0.1/get-search?q=ab");
    ASSERT_EQ(LocalPagesLeft().size(), 1u);

    // The page goes with the bar at the latest.
    EXPECT_EQ(bar.Close(), 0u);
    EXPECT_TRUE(LocalPagesLeft().empty());
}

TEST_F(BarTest, TypingBackspaceEnterAndEscThroughTheBarsOwnLoop) {
    Bar bar;
    HWND window = bar.WaitForBand();
    ASSERT_NE(window, nullptr);
    HWND edit = FocusSearchBox(window);
    Type(edit, "abx");
    Key(edit, VK_BACK);
    Type(edit, "c");
    Key(edit, VK_LEFT);
    Type(edit, "-");
    ASSERT_TRUE(PumpUntil([&] { return EditText(edit) == "ab-c"; }, 5000)) << EditText(edit);
    Key(edit, VK_RETURN);
    ASSERT_TRUE(WaitForLines(log_, 2, 20000));
    std::vector<std::string> opened = Lines(log_);
    EXPECT_TRUE(std::any_of(opened.begin(), opened.end(),
                            [](const std::string& line) { return Decoded(line) == "http://127.0.0.1/get-search?q=ab-c"; }))
        << opened[0] << " " << opened[1];
    // Enter leaves the text and the focus where they were; Esc takes the focus out of the band.
    EXPECT_EQ(EditText(edit), "ab-c");
    Key(edit, VK_ESCAPE);
    GUITHREADINFO info = {sizeof info};
    EXPECT_TRUE(PumpUntil([&] {
        return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus != edit;
    }, 5000));
    EXPECT_EQ(bar.Close(), 0u);
}

TEST_F(BarTest, SearchesInEnglishAndJapaneseReachTheServicesThroughARealBrowser) {
    SetBrowser("headless-chromium");
    Bar bar;
    HWND window = bar.WaitForBand();
    ASSERT_NE(window, nullptr);
    HWND edit = FocusSearchBox(window);
    struct Case {
        const char* query;
        const char* encoded;
    } cases[] = {
        {"ab cd", "%61%62%20%63%64"},
        {"\x83\x5C\x95\x5C", "%83%5C%95%5C"},  // ソ表, whose second bytes are backslashes
    };
    size_t round = 0;
    for (const Case& c : cases) {
        ++round;
        SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(c.query));
        Key(edit, VK_RETURN);
        ASSERT_TRUE(PumpUntil([&] { return Requests("POST /post-search").size() >= round &&
                                           Requests("GET /get-search").size() >= round; }, 40000))
            << "the browser sent nothing for " << c.encoded;
        EXPECT_EQ(Decoded(Requests("GET /get-search")[round - 1].line),
                  Decoded(std::string("GET /get-search?q=") + c.encoded + " HTTP/1.1"));
        LoggedRequest post = Requests("POST /post-search")[round - 1];
        EXPECT_EQ(post.Header("Content-Type"), "application/x-www-form-urlencoded");
        // The fields the band's body holds, decoded, whatever the browser chose to escape.
        EXPECT_EQ(FormFields(post.body), FormFields(std::string("hl=ja&q=") + c.encoded)) << post.body;
    }
    EXPECT_EQ(bar.Close(), 0u);
    EXPECT_TRUE(LocalPagesLeft().empty());
}

TEST_F(BarTest, ALongJapaneseGetSearchOpensThroughALocalPageAndTheBarLivesOn) {
    // An address past what Wine's ShellExecute can take: a long service address and a
    // 259-byte query, 777 characters once encoded.
    std::string path = "/long/" + std::string(230, 'x');
    WriteAppDataIni("[search]\r\nurl1=http://127.0.0.1" + path + "\r\nform1=q=\r\n");
    SetBrowser("headless-chromium");
    Bar bar;
    HWND window = bar.WaitForBand();
    ASSERT_NE(window, nullptr);
    HWND edit = FocusSearchBox(window);
    std::string query, encoded;
    for (int i = 0; i < 129; ++i) query += "\x95\x5C", encoded += "%95%5C";  // 表
    query += "a", encoded += "%61";
    ASSERT_EQ(query.size(), 259u);
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(query.c_str()));
    Key(edit, VK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return !Requests("GET /long/").empty(); }, 40000));
    EXPECT_EQ(Decoded(Requests("GET /long/")[0].line), Decoded("GET " + path + "?q=" + encoded + " HTTP/1.1"));
    EXPECT_EQ(Lines(log_).size(), 1u);
    EXPECT_EQ(Lines(log_)[0].compare(0, 8, "file:///"), 0);
    EXPECT_EQ(bar.WaitForExit(0), static_cast<DWORD>(STILL_ACTIVE));
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(bar.Close(), 0u);
    WriteAppDataIni(kConfig);
}

// Whether the shell's notification area holds the bar's icon: a change of nothing succeeds
// only for an icon that is there.
bool IconShown(HWND bar) {
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof data;
    data.hWnd = bar;
    data.uID = 1;
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

std::string Title(HWND window) {
    char text[256] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

TEST_F(BarTest, ItsIconComesAndGoesWithTheBarAndComesBackWhenExplorerRestarts) {
    Bar bar;
    HWND window = bar.WaitForBand();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return IconShown(window); }, 5000));
    // Explorer restarted: its notification area lost every icon, and it says so to all.
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = 1;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    ASSERT_FALSE(IconShown(window));
    SendMessageW(window, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_TRUE(IconShown(window));
    // A click on the icon hides the bar, which then keeps no strip of the screen; another
    // brings it back.
    SendMessageW(window, kTrayCallback, 0, MAKELPARAM(NIN_SELECT, 1));
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_FALSE(OnAppBarList(window));
    SendMessageW(window, kTrayCallback, 0, MAKELPARAM(NIN_SELECT, 1));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(OnAppBarList(window));
    EXPECT_EQ(WindowRect(window).top, 0);
    EXPECT_EQ(bar.Close(), 0u);
    EXPECT_FALSE(IconShown(window));
}

TEST_F(BarTest, CountsThePagesShowingChangedAndAnnouncesEachThatTurnsChanged) {
    ClearSeenStore();
    Bar bar;
    HWND window = bar.WaitForBand();
    ASSERT_NE(window, nullptr);
    HWND watch = FindWindowExA(bar.container(), nullptr, "Pelorin-Watch", nullptr);
    // Never opened: the page and the built-in one.
    const std::string pages = " \x83y\x81[\x83W\x82\xAA\x8DX\x90V\x82\xB3\x82\xEA\x82\xC4\x82\xA2\x82\xDC\x82\xB7";
    EXPECT_TRUE(PumpUntil([&] { return Title(window) == "Pelorin - 2" + pages; }, 20000)) << Title(window);
    // The balloon names the page: 「Bar page」が更新されました.
    const std::string balloon = "\x81u" "Bar page\x81v\x82\xAA\x8DX\x90V\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD";
    EXPECT_TRUE(PumpUntil([&] { return BalloonShows(balloon); }, 10000));

    PostMessageA(watch, WM_COMMAND, 1, 0);  // opened: one left
    EXPECT_TRUE(PumpUntil([&] { return Title(window) == "Pelorin - 1" + pages; }, 10000)) << Title(window);
    // It changes, and Check now finds it; then it comes back to what the user saw. A check
    // asked for while a pass runs is that pass, so it is asked again until it shows.
    auto checkUntil = [&](const std::string& title) {
        return PumpUntil([&] {
            SendMessageW(window, WM_COMMAND, kCommandCheckNow, 0);
            PumpMessages(300);
            return Title(window) == title;
        }, 20000);
    };
    ASSERT_EQ(FixturePost("/_ctl/set/bar", "<html>another page</html>").status, 200);
    EXPECT_TRUE(checkUntil("Pelorin - 2" + pages)) << Title(window);
    // What is new in it, under its line: 新: another page.
    EXPECT_TRUE(PumpUntil([&] { return BalloonShows(balloon + "\r\n\x90\x56: another page"); }, 10000));
    ASSERT_EQ(FixturePost("/_ctl/set/bar", "<html>a page</html>").status, 200);
    EXPECT_TRUE(checkUntil("Pelorin - 1" + pages)) << Title(window);
    EXPECT_EQ(bar.Close(), 0u);
    ClearSeenStore();
}

TEST_F(BarTest, StartAtSignInIsTheUsersOwnValueOrTheirMarkOnTheMachinesOne) {
    const char run[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    const char approved[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
    Bar bar;
    HWND window = bar.WaitForBand();
    ASSERT_NE(window, nullptr);
    // Unpacked from the zip: the user's own Run value, the bar's own path.
    SendMessageW(window, WM_COMMAND, kCommandStartAtSignIn, 0);
    EXPECT_EQ(Read(HKEY_CURRENT_USER, run, "Pelorin"), "\"" + BuildDir() + "\\pelorin.exe\"");
    SendMessageW(window, WM_COMMAND, kCommandStartAtSignIn, 0);
    EXPECT_EQ(Read(HKEY_CURRENT_USER, run, "Pelorin"), kMissing);

    // Installed: the setup's value reaches every user; this user turns it off and on again.
    HKEY machine = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, run, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &machine, nullptr),
              ERROR_SUCCESS);
    const char command[] = "\"C:\\Program Files\\Vorna\\Pelorin\\pelorin.exe\"";
    RegSetValueExA(machine, "Pelorin", 0, REG_SZ, reinterpret_cast<const BYTE*>(command), sizeof command);
    auto mark = [&] {
        HKEY key = nullptr;
        BYTE data[12] = {};
        DWORD size = sizeof data;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, approved, 0, KEY_READ, &key) != ERROR_SUCCESS) return -1;
        LONG result = RegQueryValueExA(key, "Pelorin", nullptr, nullptr, data, &size);
        RegCloseKey(key);
        return result == ERROR_SUCCESS ? int(data[0]) : -1;
    };
    SendMessageW(window, WM_COMMAND, kCommandStartAtSignIn, 0);
    EXPECT_EQ(mark(), 3);
    EXPECT_EQ(Read(HKEY_CURRENT_USER, run, "Pelorin"), kMissing);
    SendMessageW(window, WM_COMMAND, kCommandStartAtSignIn, 0);
    EXPECT_EQ(mark(), 2);
    EXPECT_EQ(Read(HKEY_CURRENT_USER, run, "Pelorin"), kMissing);
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, run, "Pelorin"), command);

    RegDeleteValueA(machine, "Pelorin");
    RegCloseKey(machine);
    RegDeleteTreeA(HKEY_CURRENT_USER, approved);
    EXPECT_EQ(bar.Close(), 0u);
}

TEST_F(BarTest, ASecondStartLeavesOneBarAndTaskkillEndsItCleanly) {
    Bar first;
    HWND window = first.WaitForBand();
    ASSERT_NE(window, nullptr);
    Bar second;
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.WaitForExit(), 0u);
    int bars = 0;
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, kBarClassName, nullptr));) ++bars;
    EXPECT_EQ(bars, 1);
    EXPECT_TRUE(IsWindow(window));

    // taskkill without /f asks the bar's windows to close, as sign-out does.
    EXPECT_EQ(RunProgram("taskkill /im pelorin.exe"), 0);
    EXPECT_EQ(first.WaitForExit(), 0u);
    EXPECT_FALSE(OnAppBarList(window));
}

TEST_F(BarTest, AFetchStillRunningDoesNotHoldTheBarsEndLong) {
    // The watched page never answers while the bar ends.
    FixtureGet("/_ctl/hold/bar");
    Bar bar;
    HWND window = bar.WaitForBand();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(PumpUntil([] { return FixtureGet("/_ctl/count/bar").body != "0"; }, 10000));
    // The fetch itself would go on for minutes; the bar gives the DLL a few seconds.
    EXPECT_EQ(bar.Close(15000), 0u);
    EXPECT_FALSE(OnAppBarList(window));
    FixtureGet("/_ctl/release/bar");
}

TEST_F(BarTest, ABandThatCannotAppearIsNamedInOneMessageAndTheBarEndsWithNothingLeft) {
    // A folder with the bar and no DLL; then a DLL that is no DLL at all.
    std::string folder = MakeScratchDir("bar-alone");
    ASSERT_TRUE(CopyFileA((BuildDir() + "\\pelorin.exe").c_str(), (folder + "\\pelorin.exe").c_str(), FALSE));
    for (int round = 0; round < 2; ++round) {
        if (round == 1) WriteBytes(folder + "\\pelorin.beta.dll", "MZ but nothing else");
        Bar bar(folder + "\\pelorin.exe");
        ASSERT_TRUE(bar.started());
        MessageBoxCatcher boxes(bar.pid());
        ASSERT_TRUE(boxes.WaitFor(1, 15000));
        DWORD code = bar.WaitForExit();
        EXPECT_EQ(code, 2u);
        ASSERT_EQ(boxes.Boxes().size(), 1u);
        EXPECT_EQ(boxes.Boxes()[0].caption, "Pelorin");
        const std::string text = boxes.Boxes()[0].text;
        EXPECT_NE(text.find(folder + "\\pelorin.beta.dll"), std::string::npos) << text;
        // "ファイルがありません" (the file is missing) for the first, an error number for the second.
        if (round == 0) {
            EXPECT_NE(text.find("\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1"),
                      std::string::npos) << text;
        } else {
            EXPECT_NE(text.find("(\x83\x47\x83\x89\x81\x5B "), std::string::npos) << text;
        }
        EXPECT_EQ(FindWindowW(kBarClassName, nullptr), nullptr);
    }
    RemoveTree(folder);
}

}  // namespace
