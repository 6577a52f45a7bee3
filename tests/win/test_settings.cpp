// The settings dialog of pelorin.exe, driven from outside as a user drives it: its windows
// found by caption, fields filled, buttons pressed and message boxes answered through window
// messages. What it writes is checked byte for byte, and what a band made afterwards reads
// from it through the platform's own profile functions.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "band_host.h"
#include "bar/bar_window.h"
#include "bar/texts.h"
#include "search/search_engine.h"
#include "services/config_list.h"
#include "services/kept_text.h"
#include "settings/settings_lists.h"
#include "settings/settings_resource.h"
#include "support/bar_process.h"
#include "support/test_env.h"
#include "support/watch_probe.h"

namespace {

std::string BesideIniPath() { return BuildDir() + "\\pelorin.ini"; }

// The user's pelorin.ini as the dialog names it (the path is ASCII here).
std::wstring UserIniPathText() {
    std::string path = AppDataIniPath();
    return std::wstring(path.begin(), path.end());
}

// Forgets what the profile functions of this process hold of a file, as the band reads it anew.
void ForgetProfile(const std::string& path) { WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str()); }

struct FoundWindow {
    DWORD process;
    std::wstring caption;
    HWND window;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM lParam) {
    auto* found = reinterpret_cast<FoundWindow*>(lParam);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    wchar_t className[16] = L"", caption[256] = L"";
    GetClassNameW(window, className, 16);
    GetWindowTextW(window, caption, 256);
    if (process == found->process && lstrcmpW(className, L"#32770") == 0 && IsWindowVisible(window) &&
        found->caption == caption) {
        found->window = window;
        return FALSE;
    }
    return TRUE;
}

// A dialog of the process with this caption, once it is shown.
HWND WaitForDialog(DWORD process, const std::wstring& caption, DWORD timeoutMs = 15000) {
    FoundWindow found = {process, caption, nullptr};
    PumpUntil([&] {
        EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&found));
        return found.window != nullptr;
    }, timeoutMs);
    return found.window;
}

// The text of the process's next message box, answered with the button given; empty when
// none came.
std::wstring Answer(DWORD process, int button, DWORD timeoutMs = 15000) {
    HWND box = WaitForDialog(process, Text(TextId::Caption), timeoutMs);
    if (!box) return L"";
    wchar_t text[2048] = L"";
    GetDlgItemTextW(box, 0xFFFF, text, 2048);
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
    PumpUntil([&] { return !IsWindow(box); }, 5000);
    return text;
}

bool NoBoxWithin(DWORD process, DWORD ms) { return WaitForDialog(process, Text(TextId::Caption), ms) == nullptr; }

void SetField(HWND dialog, int id, const std::wstring& text) {
    SendMessageW(GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::wstring Field(HWND dialog, int id) {
    wchar_t text[1024] = L"";
    SendMessageW(GetDlgItem(dialog, id), WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

// Posted, as a click is: a button that opens a modal editor does not return until it closes.
void Press(HWND dialog, int id) {
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

int Rows(HWND dialog, int list) { return static_cast<int>(SendDlgItemMessageW(dialog, list, LVM_GETITEMCOUNT, 0, 0)); }

int SelectedRow(HWND dialog, int list) {
    return static_cast<int>(SendDlgItemMessageW(dialog, list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

// Selects a row with the keyboard, as a user does.
void SelectRow(HWND dialog, int list, int row) {
    HWND control = GetDlgItem(dialog, list);
    SendMessageW(control, WM_KEYDOWN, VK_HOME, 0);
    for (int i = 0; i < row; ++i) SendMessageW(control, WM_KEYDOWN, VK_DOWN, 0);
}

HWND OpenEditor(HWND settings, DWORD process, int button, TextId caption) {
    Press(settings, button);
    return WaitForDialog(process, Text(caption));
}

bool Gone(HWND window) {
    return PumpUntil([&] { return !IsWindow(window); }, 10000);
}

int WatchButtons(HWND container) {
    HWND toolbar = container ? FindWatchToolbar(container) : nullptr;
    return toolbar ? static_cast<int>(SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0)) : -1;
}

class SettingsDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_FIXTURE();
        RemoveFiles();
    }
    void TearDown() override { RemoveFiles(); }
    static void RemoveFiles() {
        std::string user = AppDataIniPath();
        for (const std::string& path : {user, user + ".bak", user + ".bak2", BesideIniPath()}) {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
            ForgetProfile(path);
        }
    }
    // pelorin.exe /settings with no bar running: the dialog alone.
    static HWND OpenAlone(Bar* program) {
        if (!program->started()) return nullptr;
        return WaitForDialog(program->pid(), Text(TextId::SettingsCaption));
    }
    // Files the dialog's writes left in the user's folder besides pelorin.ini.
    static std::vector<std::string> LeftoversBesideIni() {
        std::string folder = AppDataIniPath().substr(0, AppDataIniPath().rfind('\\'));
        std::vector<std::string> names;
        WIN32_FIND_DATAA found;
        HANDLE search = FindFirstFileA((folder + "\\pel*.tmp").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return names;
        do names.push_back(found.cFileName);
        while (FindNextFileA(search, &found));
        FindClose(search);
        return names;
    }
};

const char kFourPages[] =
    "; Pelorin pages\r\n"
    "[watch]\r\n"
    "interval=0\r\n"
    "item1=One,1,http://127.0.0.1/page/one text\r\n"
    "item2=Two,1,http://127.0.0.1/page/two text\r\n"
    "item3=Three,1,http://127.0.0.1/page/three\r\n"
    "item4=Four,1,HTTP://127.0.0.1:80/page/four text-no-numbers\r\n"
    "\r\n"
    "[other]\r\n"
    "keep = this\r\n"
    "[search]\r\n"
    "url1=http://127.0.0.1/get-search\r\n"
    "form1=q=\r\n";

// 新着 & 話題, as the page gives it in UTF-8 with a character reference, and in code page 932.
const char kTitledPage[] =
    "<html><head><meta charset=\"utf-8\"><title>\xE6\x96\xB0\xE7\x9D\x80 &amp; \xE8\xA9\xB1\xE9\xA1\x8C</title></head>"
    "<body>news</body></html>";
const wchar_t kTitledWide[] = L"\u65B0\u7740 & \u8A71\u984C";
const char kTitledCp932[] = "\x90\x56\x92\x85 & \x98\x62\x91\xE8";

TEST_F(SettingsDialogTest, TheListsWrittenAreWhatTheBarShowsAtOnceAndWhatANewBandShowsAndSearches) {
    WriteAppDataIni(kFourPages);
    ASSERT_EQ(FixturePost("/_ctl/set/titled", kTitledPage).status, 200);
    // Texts kept as the band keeps them, under the address the band makes of each line.
    ClearKeptTexts();
    const char kDigest[] = "0123456789ABCDEF0123456789ABCDEF";
    for (const char* page : {"one", "two", "three", "four"}) {
        ASSERT_TRUE(KeepSeenText(std::string("http://127.0.0.1/page/") + page, kDigest, page));
    }
    Bar bar;
    ASSERT_NE(bar.WaitForBand(), nullptr);
    HWND firstBand = bar.container();
    EXPECT_EQ(WatchButtons(firstBand), 5);  // four pages and the maker's

    // pelorin.exe /settings opens the running bar's dialog and ends.
    Bar asking(std::string(), "/settings");
    EXPECT_EQ(asking.WaitForExit(), 0u);
    HWND settings = WaitForDialog(bar.pid(), Text(TextId::SettingsCaption));
    ASSERT_NE(settings, nullptr);
    ASSERT_EQ(Rows(settings, IDC_PAGES), 4);
    ASSERT_EQ(Rows(settings, IDC_SERVICES), 1);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(settings, IDC_APPLY)));

    SelectRow(settings, IDC_PAGES, 1);
    ASSERT_EQ(SelectedRow(settings, IDC_PAGES), 1);
    Press(settings, IDC_PAGE_REMOVE);
    ASSERT_TRUE(PumpUntil([&] { return Rows(settings, IDC_PAGES) == 3; }, 5000));
    SelectRow(settings, IDC_PAGES, 2);
    Press(settings, IDC_PAGE_REMOVE);
    ASSERT_TRUE(PumpUntil([&] { return Rows(settings, IDC_PAGES) == 2; }, 5000));

    // A page added by its address: its title comes from the page, in the background.
    HWND page = OpenEditor(settings, bar.pid(), IDC_PAGE_ADD, TextId::PageCaption);
    ASSERT_NE(page, nullptr);
    SetField(page, IDC_ADDRESS, L"http://127.0.0.1/page/titled");
    ASSERT_TRUE(PumpUntil([&] { return !Field(page, IDC_TITLE).empty(); }, 20000));
    EXPECT_EQ(Field(page, IDC_TITLE), kTitledWide);
    EXPECT_EQ(Field(page, IDC_FETCHED_AS), Text(TextId::FetchedAs, {L"http://127.0.0.1/page/titled"}));
    SendDlgItemMessageW(page, IDC_COMPARISON, CB_SETCURSEL, static_cast<WPARAM>(Comparison::Markup), 0);
    Press(page, IDOK);
    ASSERT_TRUE(Gone(page));
    ASSERT_EQ(Rows(settings, IDC_PAGES), 3);
    ASSERT_EQ(SelectedRow(settings, IDC_PAGES), 2);
    Press(settings, IDC_PAGE_UP);
    ASSERT_TRUE(PumpUntil([&] { return SelectedRow(settings, IDC_PAGES) == 1; }, 5000));

    HWND service = OpenEditor(settings, bar.pid(), IDC_SERVICE_ADD, TextId::ServiceCaption);
    ASSERT_NE(service, nullptr);
    SetField(service, IDC_ADDRESS, L"http://127.0.0.1/post-search");
    SendDlgItemMessageW(service, IDC_LANGUAGE, CB_SETCURSEL, 2, 0);  // Japanese
    SendDlgItemMessageW(service, IDC_METHOD, CB_SETCURSEL, 1, 0);    // POST
    SetField(service, IDC_FORM, L"hl=ja&q=");
    Press(service, IDOK);
    ASSERT_TRUE(Gone(service));
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(settings, IDC_APPLY)));

    Press(settings, IDC_APPLY);
    // Every other line as it was; the lists numbered from 1 where they stood.
    const std::string expected = std::string(
        "; Pelorin pages\r\n"
        "[watch]\r\n"
        "interval=0\r\n"
        "item1=One,1,http://127.0.0.1/page/one text\r\n"
        "item2=") + kTitledCp932 + ",1,http://127.0.0.1/page/titled\r\n"
        "item3=Three,1,http://127.0.0.1/page/three\r\n"
        "\r\n"
        "[other]\r\n"
        "keep = this\r\n"
        "[search]\r\n"
        "url1=http://127.0.0.1/get-search\r\n"
        "form1=q=\r\n"
        "url2=http://127.0.0.1/post-search\r\n"
        "cond2=jpn\r\n"
        "method2=post\r\n"
        "form2=hl=ja&q=\r\n";
    ASSERT_TRUE(PumpUntil([&] { return ReadBytes(AppDataIniPath()) == expected; }, 10000)) << ReadBytes(AppDataIniPath());
    // The bar has made its band anew from the file.
    ASSERT_TRUE(PumpUntil([&] { return bar.container() != firstBand && WatchButtons(bar.container()) == 4; }, 15000));
    EXPECT_TRUE(LeftoversBesideIni().empty());
    // The texts of the pages that left went with them (and Three's, which is not compared by
    // its text); One's stays.
    std::string text;
    EXPECT_TRUE(ReadKeptText("http://127.0.0.1/page/one", kDigest, &text));
    EXPECT_EQ(text, "one");
    EXPECT_EQ(KeptTextFiles().size(), 1u);
    ClearKeptTexts();
    Press(settings, IDCANCEL);
    EXPECT_TRUE(Gone(settings));
    EXPECT_EQ(bar.Close(), 0u);

    // A band made afterwards in a browser shows exactly those pages and searches those services.
    ForgetProfile(AppDataIniPath());
    BandHost host(HostMode::Browser);
    ASSERT_EQ(host.CreateBand(), S_OK);
    HWND pane = FindWatchPane(host.bandWindow());
    HWND toolbar = FindWatchToolbar(host.bandWindow());
    ASSERT_EQ(ButtonCount(toolbar), 4);
    std::vector<std::string> titles;
    for (int i = 0; i < 3; ++i) titles.push_back(TooltipText(pane, static_cast<UINT_PTR>(CommandIdAt(toolbar, i))));
    EXPECT_EQ(titles, (std::vector<std::string>{"One", kTitledCp932, "Three"}));
    HWND edit = FindWindowExA(FindSearchPane(host.bandWindow()), nullptr, "Edit", nullptr);
    ASSERT_NE(edit, nullptr);
    SetWindowTextA(edit, "\x82\xA0");  // あ: both services take it
    MSG enter = {edit, WM_KEYDOWN, VK_RETURN, 1};
    host.DeliverKey(enter);
    ASSERT_EQ(host.browser().navigations.size(), 2u);
    EXPECT_EQ(host.browser().navigations[0].url, "http://127.0.0.1/get-search?q=%82%A0");
    EXPECT_EQ(host.browser().navigations[1].url, "http://127.0.0.1/post-search");
    EXPECT_EQ(host.browser().navigations[1].postData, "hl=ja&q=%82%A0");
    host.CloseBand();
}

TEST_F(SettingsDialogTest, TheFileBesideTheDllIsCopiedWholeAndTheBarLoadsItsDllAnewToReadTheCopy) {
    const std::string beside =
        "; written by the administrator\r\n[watch]\r\nitem1=Old,0,http://127.0.0.1/page/old\r\n"
        "item2=Kept,1,http://127.0.0.1/page/kept\r\n; end of the list\r\n";
    WriteBytes(BesideIniPath(), beside);
    Bar bar;
    ASSERT_NE(bar.WaitForBand(), nullptr);
    ASSERT_EQ(WatchButtons(bar.container()), 3);
    PostMessageW(bar.window(), WM_COMMAND, kCommandSettings, 0);
    HWND settings = WaitForDialog(bar.pid(), Text(TextId::SettingsCaption));
    ASSERT_NE(settings, nullptr);
    SelectRow(settings, IDC_PAGES, 0);
    Press(settings, IDC_PAGE_REMOVE);
    ASSERT_TRUE(PumpUntil([&] { return Rows(settings, IDC_PAGES) == 1; }, 5000));
    Press(settings, IDOK);
    ASSERT_TRUE(Gone(settings));

    EXPECT_EQ(ReadBytes(AppDataIniPath()),
              "; written by the administrator\r\n[watch]\r\nitem1=Kept,1,http://127.0.0.1/page/kept\r\n"
              "; end of the list\r\n");
    EXPECT_EQ(ReadBytes(BesideIniPath()), beside);
    // Only a DLL loaded anew finds the user's file: the one beside it still lists two pages.
    EXPECT_TRUE(PumpUntil([&] { return WatchButtons(bar.container()) == 2; }, 15000));
    EXPECT_EQ(bar.Close(), 0u);
}

TEST_F(SettingsDialogTest, WhatTheBandCannotReadIsRefusedByFieldAndReasonAndNothingIsWritten) {
    const std::string start = "[watch]\r\nitem1=One,0,http://127.0.0.1/page/one\r\n";
    WriteAppDataIni(start);
    Bar program(std::string(), "/settings");
    HWND settings = OpenAlone(&program);
    ASSERT_NE(settings, nullptr);

    HWND page = OpenEditor(settings, program.pid(), IDC_PAGE_ADD, TextId::PageCaption);
    ASSERT_NE(page, nullptr);
    auto refusal = [](TextId field, TextId reason, const std::wstring& detail = L"") {
        return Text(field) + L": " + Text(reason, {detail});
    };
    const std::wstring ok = L"http://127.0.0.1/page/x";
    struct Case {
        std::wstring title, address, expected;
    } cases[] = {
        {L"", ok, refusal(TextId::FieldTitle, TextId::RefuseEmpty)},
        {L"a,b", ok, refusal(TextId::FieldTitle, TextId::RefuseComma)},
        {L"price \u20AC", ok, refusal(TextId::FieldTitle, TextId::RefuseNoCodePage932, L"\u20AC")},
        {L"smile \U0001F600", ok, refusal(TextId::FieldTitle, TextId::RefuseNoCodePage932, L"\U0001F600")},
        {L"t", L"", refusal(TextId::FieldAddress, TextId::RefuseEmpty)},
        {L"t", L"127.0.0.1/page/x", refusal(TextId::FieldAddress, TextId::RefuseUnreadable)},
        {L"t", L"ftp://127.0.0.1/x", refusal(TextId::FieldAddress, TextId::RefuseScheme)},
        {L"t", L"http://127.0.0.1:8080/x", refusal(TextId::FieldAddress, TextId::RefusePort, L"8080")},
        {L"t", L"https://127.0.0.1:8443/x", refusal(TextId::FieldAddress, TextId::RefusePort, L"8443")},
        {L"t", L"http://127.0.0.1/a b", refusal(TextId::FieldAddress, TextId::RefuseBlank)},
        // The whole item line counts, the word of a new page's comparison too: 200 + 3 + 70 + 5
        // (" text") bytes.
        {std::wstring(200, L'a'), L"http://127.0.0.1/" + std::wstring(53, L'p'),
         refusal(TextId::FieldTitle, TextId::RefuseTooLong, L"278")},
        // A double-byte character is two bytes once written: 100 + 3 + 152 + 5 = 260.
        {std::wstring(50, L'\u30C6'), L"http://127.0.0.1/" + std::wstring(135, L'p'),
         refusal(TextId::FieldAddress, TextId::RefuseTooLong, L"260")},
    };
    for (const Case& c : cases) {
        SetField(page, IDC_TITLE, c.title);
        SetField(page, IDC_ADDRESS, c.address);
        Press(page, IDOK);
        EXPECT_EQ(Answer(program.pid(), IDOK), c.expected) << c.address;
        ASSERT_TRUE(IsWindow(page));  // the editor stays, with what the user typed
    }
    // The longest line the band reads whole, and https, which the band reaches through the
    // site's redirect, are taken.
    SetField(page, IDC_TITLE, std::wstring(50, L'\u30C6'));
    SetField(page, IDC_ADDRESS, L"https://127.0.0.1/" + std::wstring(133, L'p'));
    ASSERT_TRUE(PumpUntil([&] { return Field(page, IDC_FETCHED_AS).find(L"http://127.0.0.1/ppp") != std::wstring::npos; },
                          5000));
    EXPECT_EQ(Field(page, IDC_FETCHED_AS), Text(TextId::FetchedAsHttps, {L"http://127.0.0.1/" + std::wstring(133, L'p')}));
    Press(page, IDOK);
    ASSERT_TRUE(Gone(page));
    EXPECT_EQ(Rows(settings, IDC_PAGES), 2);

    HWND service = OpenEditor(settings, program.pid(), IDC_SERVICE_ADD, TextId::ServiceCaption);
    ASSERT_NE(service, nullptr);
    struct ServiceCase {
        std::wstring url, form, expected;
    } services[] = {
        {L"", L"q=", refusal(TextId::FieldUrl, TextId::RefuseEmpty)},
        {L"not an address", L"q=", refusal(TextId::FieldUrl, TextId::RefuseUnreadable)},
        {L"file:///C:/x", L"q=", refusal(TextId::FieldUrl, TextId::RefuseScheme)},
        {L"http://127.0.0.1/s", L"q=\u20AC", refusal(TextId::FieldForm, TextId::RefuseNoCodePage932, L"\u20AC")},
        {L"http://127.0.0.1/s", std::wstring(260, L'f'), refusal(TextId::FieldForm, TextId::RefuseTooLong, L"260")},
    };
    for (const ServiceCase& c : services) {
        SetField(service, IDC_ADDRESS, c.url);
        // The edit box takes no more than the band reads; a longer text reaches the check only
        // when it is set around that limit, as here.
        SendDlgItemMessageW(service, IDC_FORM, EM_LIMITTEXT, 1000, 0);
        SetField(service, IDC_FORM, c.form);
        Press(service, IDOK);
        EXPECT_EQ(Answer(program.pid(), IDOK), c.expected) << c.url;
        ASSERT_TRUE(IsWindow(service));
    }
    Press(service, IDCANCEL);
    ASSERT_TRUE(Gone(service));

    // Cancel writes nothing.
    Press(settings, IDCANCEL);
    EXPECT_EQ(program.WaitForExit(), 0u);
    EXPECT_EQ(ReadBytes(AppDataIniPath()), start);
}

TEST_F(SettingsDialogTest, AnEntryInTheFileThatTheBandCannotReadIsNamedBeforeAnythingIsWritten) {
    // The first title is an NEC-selected IBM extension (纊), which the band reads although code
    // page 932 writes that character with other bytes: it is no reason to refuse, and it is
    // written back as it was.
    const std::string start =
        "[watch]\r\nitem1=\xED\x40,0,http://127.0.0.1/a\r\nitem2=Elsewhere,0,http://127.0.0.1:8080/b\r\n";
    WriteAppDataIni(start);
    Bar program(std::string(), "/settings");
    HWND settings = OpenAlone(&program);
    ASSERT_NE(settings, nullptr);
    Press(settings, IDOK);
    std::wstring entry = Text(TextId::EntryPage, {L"2"});
    EXPECT_EQ(Answer(program.pid(), IDOK),
              Text(TextId::RefusalLine, {entry, Text(TextId::FieldAddress), Text(TextId::RefusePort, {L"8080"})}));
    EXPECT_EQ(SelectedRow(settings, IDC_PAGES), 1);
    EXPECT_TRUE(IsWindow(settings));
    EXPECT_EQ(ReadBytes(AppDataIniPath()), start);

    Press(settings, IDC_PAGE_REMOVE);
    ASSERT_TRUE(PumpUntil([&] { return Rows(settings, IDC_PAGES) == 1; }, 5000));
    Press(settings, IDOK);
    EXPECT_EQ(program.WaitForExit(), 0u);
    EXPECT_EQ(ReadBytes(AppDataIniPath()), "[watch]\r\nitem1=\xED\x40,0,http://127.0.0.1/a\r\n");
}

// The control that has the keyboard in the process's dialog thread.
HWND FocusOf(HWND window) {
    GUITHREADINFO info = {sizeof info};
    return GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) ? info.hwndFocus : nullptr;
}

// A key as the keyboard gives it, through the program's own loop: Alt with a letter comes as
// WM_SYSKEYDOWN and WM_SYSCHAR, Tab, Enter and Esc as WM_KEYDOWN, which the dialog handling
// takes before any control sees it.
void Key(HWND window, WPARAM key, bool alt = false) {
    HWND focus = FocusOf(window);
    LPARAM bits = 1 | (static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(key), 0)) << 16) | (alt ? 1L << 29 : 0);
    PostMessageW(focus, alt ? WM_SYSKEYDOWN : WM_KEYDOWN, key, bits);
    if (alt) PostMessageW(focus, WM_SYSCHAR, towlower(static_cast<wint_t>(key)), bits);
    PostMessageW(focus, alt ? WM_SYSKEYUP : WM_KEYUP, key, bits | (3L << 30));
    PumpMessages(200);
}

// Characters typed into the control that has the keyboard.
void Type(HWND window, const std::wstring& text) {
    for (wchar_t c : text) {
        HWND focus = FocusOf(window);
        PostMessageW(focus, WM_CHAR, c, 1);
    }
    PumpMessages(300);
}

// A list view cell of the dialog's process: the list view writes into a buffer of its own
// process, so the buffer is made there.
std::wstring CellText(HWND dialog, int list, int row, int column) {
    HWND control = GetDlgItem(dialog, list);
    DWORD pid = 0;
    GetWindowThreadProcessId(control, &pid);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return L"(process not opened)";
    const size_t chars = 256;
    auto* remote = static_cast<char*>(
        VirtualAllocEx(process, nullptr, sizeof(LVITEMW) + chars * sizeof(wchar_t), MEM_COMMIT, PAGE_READWRITE));
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof item);
    item.cchTextMax = static_cast<int>(chars);
    std::wstring text(chars, L'\0');
    LRESULT n = 0;
    if (remote && WriteProcessMemory(process, remote, &item, sizeof item, nullptr)) {
        n = SendMessageW(control, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote));
        ReadProcessMemory(process, remote + sizeof item, &text[0], chars * sizeof(wchar_t), nullptr);
    }
    text.resize(n > 0 && static_cast<size_t>(n) < chars ? static_cast<size_t>(n) : 0);
    if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return text;
}

TEST_F(SettingsDialogTest, TheComparisonChosenIsWrittenAsItsWordShownInTheListAndANewPageComparesVisibleText) {
    // An odd flag the user never touches stays as it was.
    WriteAppDataIni("[watch]\r\nitem1=One,5,http://127.0.0.1/page/one\r\nitem2=Two,0,http://127.0.0.1/page/two\r\n");
    Bar program(std::string(), "/settings");
    HWND settings = OpenAlone(&program);
    ASSERT_NE(settings, nullptr);
    ASSERT_EQ(Rows(settings, IDC_PAGES), 2);
    EXPECT_EQ(CellText(settings, IDC_PAGES, 0, 1), Text(TextId::ComparisonMarkup));
    EXPECT_EQ(CellText(settings, IDC_PAGES, 1, 1), Text(TextId::ComparisonWholeBody));

    SelectRow(settings, IDC_PAGES, 1);
    HWND page = OpenEditor(settings, program.pid(), IDC_PAGE_EDIT, TextId::PageCaption);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(SendDlgItemMessageW(page, IDC_COMPARISON, CB_GETCURSEL, 0, 0), static_cast<LRESULT>(Comparison::WholeBody));
    EXPECT_EQ(Field(page, IDC_COMPARISON_NOTE), Text(TextId::AboutWholeBody));
    SendDlgItemMessageW(page, IDC_COMPARISON, WM_KEYDOWN, VK_END, 0);  // the last: numbers ignored
    EXPECT_EQ(Field(page, IDC_COMPARISON_NOTE), Text(TextId::AboutTextNoNumbers));
    Press(page, IDOK);
    ASSERT_TRUE(Gone(page));

    page = OpenEditor(settings, program.pid(), IDC_PAGE_ADD, TextId::PageCaption);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(SendDlgItemMessageW(page, IDC_COMPARISON, CB_GETCURSEL, 0, 0), static_cast<LRESULT>(Comparison::Text));
    EXPECT_EQ(Field(page, IDC_COMPARISON_NOTE), Text(TextId::AboutText));
    SetField(page, IDC_TITLE, L"Three");
    SetField(page, IDC_ADDRESS, L"http://127.0.0.1/page/three");
    Press(page, IDOK);
    ASSERT_TRUE(Gone(page));
    ASSERT_EQ(Rows(settings, IDC_PAGES), 3);
    EXPECT_EQ(CellText(settings, IDC_PAGES, 1, 1), Text(TextId::ComparisonTextNoNumbers));
    EXPECT_EQ(CellText(settings, IDC_PAGES, 2, 1), Text(TextId::ComparisonText));

    Press(settings, IDOK);
    EXPECT_EQ(program.WaitForExit(), 0u);
    EXPECT_EQ(ReadBytes(AppDataIniPath()),
              "[watch]\r\nitem1=One,5,http://127.0.0.1/page/one\r\n"
              "item2=Two,1,http://127.0.0.1/page/two text-no-numbers\r\n"
              "item3=Three,1,http://127.0.0.1/page/three text\r\n");
}

TEST_F(SettingsDialogTest, UsableByKeyboardAloneMnemonicsTabEnterAndEsc) {
    WriteAppDataIni("[watch]\r\nitem1=One,0,http://127.0.0.1/page/one\r\n");
    ASSERT_EQ(FixturePost("/_ctl/set/titled", kTitledPage).status, 200);
    Bar program(std::string(), "/settings");
    HWND settings = OpenAlone(&program);
    ASSERT_NE(settings, nullptr);
    SetForegroundWindow(settings);
    ASSERT_TRUE(PumpUntil([&] { return FocusOf(settings) != nullptr; }, 5000));

    Key(settings, 'A', true);  // 追加(&A)
    HWND page = WaitForDialog(program.pid(), Text(TextId::PageCaption));
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return FocusOf(page) == GetDlgItem(page, IDC_ADDRESS); }, 5000));
    Type(page, L"http://127.0.0.1/page/titled");
    ASSERT_TRUE(PumpUntil([&] { return Field(page, IDC_TITLE) == kTitledWide; }, 20000));
    Key(page, VK_TAB);
    EXPECT_EQ(FocusOf(page), GetDlgItem(page, IDC_TITLE));
    Key(page, 'C', true);  // 比べ方(&C): the list after the label
    EXPECT_EQ(FocusOf(page), GetDlgItem(page, IDC_COMPARISON));
    Key(page, VK_UP);  // from the visible text to the markup removed
    EXPECT_EQ(SendDlgItemMessageW(page, IDC_COMPARISON, CB_GETCURSEL, 0, 0), static_cast<LRESULT>(Comparison::Markup));
    EXPECT_EQ(Field(page, IDC_COMPARISON_NOTE), Text(TextId::AboutMarkup));
    Key(page, VK_RETURN);  // OK
    ASSERT_TRUE(Gone(page));
    ASSERT_EQ(Rows(settings, IDC_PAGES), 2);

    Key(settings, 'Y', true);  // 適用(&Y)
    const std::string saved = std::string("[watch]\r\nitem1=One,0,http://127.0.0.1/page/one\r\nitem2=") + kTitledCp932 +
                              ",1,http://127.0.0.1/page/titled\r\n";
    EXPECT_TRUE(PumpUntil([&] { return ReadBytes(AppDataIniPath()) == saved; }, 10000)) << ReadBytes(AppDataIniPath());
    // Apply goes grey once saved, and hands the keyboard on rather than losing it.
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(settings, IDC_APPLY)));
    EXPECT_EQ(FocusOf(settings), GetDlgItem(settings, IDOK));
    Key(settings, VK_ESCAPE);  // キャンセル: the dialog, and with it the program, ends
    EXPECT_EQ(program.WaitForExit(), 0u);
    EXPECT_EQ(ReadBytes(AppDataIniPath()), saved);
}

// A file as Notepad writes it today, with a title in Japanese and a comment with a character
// that code page 932 cannot hold.
struct Encoded {
    const char* name;
    std::string bytes;
};

std::string Utf16Le(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

TEST_F(SettingsDialogTest, AFileInUtf8OrUtf16IsConvertedOnlyWhenTheUserAgreesAndTheOriginalIsKept) {
    const std::wstring text = L"; costs 5 \u20AC\r\n[watch]\r\nitem1=\u30CB\u30E5\u30FC\u30B9,0,http://127.0.0.1/news\r\n";
    const std::string utf8 = "; costs 5 \xE2\x82\xAC\r\n[watch]\r\nitem1=\xE3\x83\x8B\xE3\x83\xA5\xE3\x83\xBC\xE3\x82\xB9"
                             ",0,http://127.0.0.1/news\r\n";
    const std::string cp932 = "; costs 5 ?\r\n[watch]\r\nitem1=\x83\x6a\x83\x85\x81\x5b\x83\x58,0,http://127.0.0.1/news\r\n";
    const Encoded files[] = {
        {"UTF-8", utf8},
        {"UTF-8 (BOM)", "\xEF\xBB\xBF" + utf8},
        {"UTF-16 LE", Utf16Le(text)},
    };
    const std::wstring path = UserIniPathText();
    for (const Encoded& file : files) {
        SCOPED_TRACE(file.name);
        RemoveFiles();
        WriteAppDataIni(file.bytes);
        std::wstring encoding(file.name, file.name + strlen(file.name));
        std::wstring question =
            Text(TextId::FileInOtherEncoding, {encoding, path}) + Text(TextId::FileUnmappable, {L"\u20AC"});
        {
            // No: nothing written, nothing shown.
            Bar program(std::string(), "/settings");
            EXPECT_EQ(Answer(program.pid(), IDNO), question);
            EXPECT_EQ(Answer(program.pid(), IDOK), Text(TextId::FileNotConverted));
            EXPECT_EQ(program.WaitForExit(), 0u);
            EXPECT_EQ(ReadBytes(AppDataIniPath()), file.bytes);
            EXPECT_EQ(GetFileAttributesA((AppDataIniPath() + ".bak").c_str()), INVALID_FILE_ATTRIBUTES);
        }
        Bar program(std::string(), "/settings");
        EXPECT_EQ(Answer(program.pid(), IDYES), question);
        EXPECT_EQ(Answer(program.pid(), IDOK), Text(TextId::FileConverted, {path + L".bak"}));
        HWND settings = OpenAlone(&program);
        ASSERT_NE(settings, nullptr);
        EXPECT_EQ(Rows(settings, IDC_PAGES), 1);
        EXPECT_EQ(ReadBytes(AppDataIniPath()), cp932);
        EXPECT_EQ(ReadBytes(AppDataIniPath() + ".bak"), file.bytes);
        Press(settings, IDCANCEL);
        EXPECT_EQ(program.WaitForExit(), 0u);
    }
    // An older backup is the user's too: the next one takes a name of its own.
    WriteAppDataIni(utf8);
    Bar program(std::string(), "/settings");
    Answer(program.pid(), IDYES);
    EXPECT_EQ(Answer(program.pid(), IDOK), Text(TextId::FileConverted, {path + L".bak2"}));
    ASSERT_NE(OpenAlone(&program), nullptr);
    EXPECT_EQ(ReadBytes(AppDataIniPath() + ".bak"), Utf16Le(text));
    EXPECT_EQ(ReadBytes(AppDataIniPath() + ".bak2"), utf8);
    PostMessageW(OpenAlone(&program), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(program.WaitForExit(), 0u);
}

class SavingDialog : public SettingsDialogTest {
protected:
    void SetUp() override {
        SettingsDialogTest::SetUp();
        WriteAppDataIni(kStart);
        program_ = std::make_unique<Bar>(std::string(), "/settings");
        settings_ = OpenAlone(program_.get());
        ASSERT_NE(settings_, nullptr);
        SelectRow(settings_, IDC_PAGES, 0);
        Press(settings_, IDC_PAGE_REMOVE);
        ASSERT_TRUE(PumpUntil([&] { return Rows(settings_, IDC_PAGES) == 1; }, 5000));
    }
    void TearDown() override {
        if (IsWindow(settings_)) Press(settings_, IDCANCEL);
        EXPECT_EQ(program_->WaitForExit(), 0u);
        SettingsDialogTest::TearDown();
    }
    DWORD pid() const { return program_->pid(); }
    std::wstring UserPath() const { return UserIniPathText(); }

    static constexpr const char* kStart = "[watch]\r\nitem1=A,0,http://127.0.0.1/a\r\nitem2=B,0,http://127.0.0.1/b\r\n";
    static constexpr const char* kSaved = "[watch]\r\nitem1=B,0,http://127.0.0.1/b\r\n";
    std::unique_ptr<Bar> program_;
    HWND settings_ = nullptr;
};

TEST_F(SavingDialog, AReadOnlyFileIsNamedAndTheChangesStayInTheDialog) {
    SetFileAttributesA(AppDataIniPath().c_str(), FILE_ATTRIBUTE_READONLY);
    Press(settings_, IDC_APPLY);
    EXPECT_EQ(Answer(pid(), IDOK), Text(TextId::FileReadOnly, {UserPath()}));
    EXPECT_EQ(ReadBytes(AppDataIniPath()), kStart);
    EXPECT_EQ(Rows(settings_, IDC_PAGES), 1);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(settings_, IDC_APPLY)));

    // Writable again, the same dialog saves what it kept.
    SetFileAttributesA(AppDataIniPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    Press(settings_, IDC_APPLY);
    EXPECT_TRUE(PumpUntil([&] { return ReadBytes(AppDataIniPath()) == kSaved; }, 10000));
    EXPECT_TRUE(NoBoxWithin(pid(), 500));
}

TEST_F(SavingDialog, AFileChangedByAnotherProgramIsOverwrittenOnlyWhenTheUserSaysSo) {
    // The user's editor saved the file meanwhile: a line more, and a later time.
    const std::string edited = std::string(kStart) + "; my note\r\n";
    Sleep(20);
    WriteBytes(AppDataIniPath(), edited);
    Press(settings_, IDC_APPLY);
    EXPECT_EQ(Answer(pid(), IDNO), Text(TextId::FileChanged, {UserPath()}));
    EXPECT_EQ(ReadBytes(AppDataIniPath()), edited);
    Press(settings_, IDC_APPLY);
    EXPECT_EQ(Answer(pid(), IDYES), Text(TextId::FileChanged, {UserPath()}));
    EXPECT_TRUE(PumpUntil([&] { return ReadBytes(AppDataIniPath()) == kSaved; }, 10000));
    // Saved, the dialog knows the file as it wrote it: the next save asks nothing.
    SelectRow(settings_, IDC_PAGES, 0);
    Press(settings_, IDC_PAGE_REMOVE);
    ASSERT_TRUE(PumpUntil([&] { return Rows(settings_, IDC_PAGES) == 0; }, 5000));
    Press(settings_, IDC_APPLY);
    EXPECT_TRUE(PumpUntil([&] { return ReadBytes(AppDataIniPath()) == "[watch]\r\n"; }, 10000));
    EXPECT_TRUE(NoBoxWithin(pid(), 500));
}

TEST_F(SavingDialog, AWriteThatCannotReplaceTheFileLeavesTheOldOneWholeAndNoCopyBehind) {
    // Another program holds the file open and lets nobody replace it.
    HANDLE held = CreateFileA(AppDataIniPath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    Press(settings_, IDC_APPLY);
    std::wstring text = Answer(pid(), IDOK);
    CloseHandle(held);
    std::wstring expectedStart = Text(TextId::FileNotWritten, {UserPath(), L""});
    EXPECT_EQ(text.compare(0, expectedStart.size(), expectedStart), 0) << std::string(text.begin(), text.end());
    EXPECT_GT(text.size(), expectedStart.size());  // and the system's reason
    EXPECT_EQ(ReadBytes(AppDataIniPath()), kStart);
    EXPECT_TRUE(LeftoversBesideIni().empty());
    EXPECT_EQ(Rows(settings_, IDC_PAGES), 1);
}

// Title, comparison and address of each item line: the address and the word after it are
// the blank-separated words after the second comma (the word in any case), and without a word
// the flag names the comparison.
using Page = std::tuple<std::string, Comparison, std::string>;
std::vector<Page> PagesOf(const std::vector<std::string>& items) {
    std::vector<Page> pages;
    for (const std::string& item : items) {
        size_t first = item.find(','), second = first == std::string::npos ? first : item.find(',', first + 1);
        std::string flag = first == std::string::npos ? "" : item.substr(first + 1, second - first - 1);
        std::istringstream rest(second == std::string::npos ? "" : item.substr(second + 1));
        std::string address, word;
        rest >> address >> word;
        for (char& c : word) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        Comparison comparison = word == "text"            ? Comparison::Text
                              : word == "text-no-numbers" ? Comparison::TextNoNumbers
                              : atoi(flag.c_str()) != 0   ? Comparison::Markup
                                                          : Comparison::WholeBody;
        pages.emplace_back(item.substr(0, first), comparison, address);
    }
    return pages;
}
std::vector<Page> Pages(const SettingsLists& lists) {
    std::vector<Page> pages;
    for (const WatchEntry& entry : lists.watch) pages.emplace_back(entry.title, entry.comparison, entry.address);
    return pages;
}

// The dialog reads the file's bytes itself; what it shows must be what the profile functions
// give the band, for files as people write them.
TEST(SettingsReader, ReadsTheListsAsTheProfileFunctionsReadThem) {
    const std::string files[] = {
        "[watch]\r\nitem1=a,0,http://a/\r\nitem2=b,1,http://b/\r\n",
        "[Watch]\nITEM1 = spaced , 1 , http://a/  \nitem2=\"quoted\"\n",
        "[watch]\r\nitem1=first,0,http://a/\r\nitem1=second,0,http://b/\r\n",
        "[watch]\r\nitem1=a,0,x\r\n[watch]\r\nitem2=b,0,y\r\n",
        " [ watch ] \r\n\titem1\t=\ttabbed,0,http://a/\r\n",
        "[watch]\r\nitem1=" + std::string(300, 'x') + "\r\n",
        "[watch]\r\nitem1=\"unclosed,0,http://a/\r\nitem2='single',0,http://b/'\r\n",
        "[search]\r\nurl1=http://s/\r\ncond1=ENG\r\nmethod1=Post\r\nform1=q=\r\nurl2=http://t/\r\nform3=x\r\n",
        "[\x83\x5d\x83\x43]\r\nitem1=x\r\n[watch]\r\nitem1=\x83\x5c,0,http://a/\r\n",  // ]-trail bytes
        "item1=outside,0,http://a/\r\n[watch]\r\nitem1=inside,0,http://b/\r\n",
        "[watch]\r\n;item1=comment,0,http://a/\r\nitem1=real,0,http://b/\r\n",
        "[watch]\ritem1=cr only,0,http://a/\r\n",
        "[watch]\r\nitem1=a,1,http://a/ TEXT\r\nitem2=b,0, http://b/\ttext-no-numbers more\r\nitem3=c,5,http://c/ x\r\n",
    };
    std::string path = MakeScratchDir("settings-reader") + "\\pelorin.ini";
    for (const std::string& bytes : files) {
        WriteBytes(path, bytes);
        ForgetProfile(path);
        SettingsLists lists = ReadSettingsLists(bytes);
        std::vector<std::string> items = ReadNumberedList("watch", "item", -1, path.c_str());
        EXPECT_EQ(Pages(lists), PagesOf(items)) << bytes;
        std::vector<SearchEngine> engines = LoadSearchEngines(path.c_str());
        ASSERT_EQ(lists.search.size(), engines.size()) << bytes;
        for (size_t i = 0; i < engines.size(); ++i) {
            EXPECT_EQ(lists.search[i].url, engines[i].url) << bytes;
            EXPECT_EQ(lists.search[i].cond, engines[i].cond) << bytes;
            EXPECT_EQ(lists.search[i].method, engines[i].method) << bytes;
            EXPECT_EQ(lists.search[i].form, engines[i].form) << bytes;
        }
        // And written back, the profile functions read the same lists from the new bytes.
        std::string written = WriteSettingsLists(bytes, lists);
        WriteBytes(path, written);
        ForgetProfile(path);
        EXPECT_EQ(Pages(ReadSettingsLists(written)), PagesOf(ReadNumberedList("watch", "item", -1, path.c_str())))
            << written;
        EXPECT_EQ(Pages(ReadSettingsLists(written)), Pages(lists)) << written;
    }
}

}  // namespace
