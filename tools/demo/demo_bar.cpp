// The Pelorin bar, as a Windows 11 user meets it: started from its Start-menu link, docked at
// the top of the screen with its icon in the taskbar's notification area, a click that opens
// a page in the default browser, the page's next change announced by a balloon that names
// its new headline, a search that reaches the POST service through a real browser (Debian's
// chromium, headless, behind winebrowser), and a page added in the settings dialog. The
// driver runs in the same Wine virtual desktop as the bar and looks at it from outside, as
// the shell and the user do.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "bar/bar_window.h"
#include "settings/settings_resource.h"
#include "demo_common.h"

namespace {

const char kBrowserAgent[] = "HeadlessChrome";

bool IconShown(HWND bar) {
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof data;
    data.hWnd = bar;
    data.uID = 1;
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

std::string TitleOf(HWND window) {
    char text[256] = "";
    GetWindowTextA(window, text, sizeof text);
    return text;
}

RECT Screen() { return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

// The bar's balloon, when the notification area shows one.
std::string BalloonText() {
    for (HWND tip = nullptr; (tip = FindWindowExA(nullptr, tip, "tooltips_class32", nullptr));) {
        if (!(GetWindowLongW(tip, GWL_STYLE) & TTS_BALLOON) || !IsWindowVisible(tip)) continue;
        char text[512] = "";
        SendMessageA(tip, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        if (*text) return text;
    }
    return std::string();
}

bool SeenByBrowser(const std::vector<SiteEntry>& entries, const std::string& path) {
    for (const SiteEntry& e : entries)
        if (e.path == path && e.agent.find(kBrowserAgent) != std::string::npos) return true;
    return false;
}

// A dialog of the bar's, by its caption (code page 932), once it is shown.
HWND WaitForDialog(const char* caption) {
    HWND found = nullptr;
    PumpUntil([&] { return (found = FindWindowA("#32770", caption)) && IsWindowVisible(found); }, 15000);
    return found;
}

void Press(HWND dialog, int id) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

int WatchButtons(HWND bar) {
    HWND container = FindWindowExA(bar, nullptr, "Pelorin", nullptr);
    HWND watch = container ? FindWindowExA(container, nullptr, "Pelorin-Watch", nullptr) : nullptr;
    HWND toolbar = watch ? FindWindowExA(watch, nullptr, TOOLBARCLASSNAMEA, nullptr) : nullptr;
    return toolbar ? static_cast<int>(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0)) : -1;
}

// The settings dialog from the bar's menu: the site's front page added by its address alone,
// its title proposed from the page, and the bar showing its button at once.
void AddPageInSettings(HWND bar) {
    int before = WatchButtons(bar);
    PostMessageW(bar, WM_COMMAND, kCommandSettings, 0);
    HWND settings = WaitForDialog("Pelorin の設定");
    if (!Check(settings != nullptr, "設定... in the bar's menu opened the settings dialog")) return;
    Pump(500);
    Shot("settings-dialog", WindowArea(settings), "the settings dialog: the watched pages and the search services");
    Press(settings, IDC_PAGE_ADD);
    HWND page = WaitForDialog("監視するページ");
    if (!Check(page != nullptr, "追加 opened the editor of a page")) return;
    SendMessageA(GetDlgItem(page, IDC_ADDRESS), WM_SETTEXT, 0, reinterpret_cast<LPARAM>("http://pages.test/"));
    char title[256] = "";
    PumpUntil([&] { return GetDlgItemTextA(page, IDC_TITLE, title, sizeof title) > 0; }, 20000);
    Say("  proposed title: %s", title);
    Check(std::string(title) == "Pelorin デモサイト", "the page's own title was proposed, fetched in the background");
    Pump(300);
    Shot("settings-page", WindowArea(page), "a page added by its address, its title proposed");
    Press(page, IDOK);
    PumpUntil([&] { return !IsWindow(page); }, 5000);
    Press(settings, IDOK);
    bool shown = PumpUntil([&] { return !IsWindow(settings) && WatchButtons(bar) == before + 1; }, 15000);
    Check(shown, "after OK the bar showed the new page's button at once");
    Pump(1000);
    Shot("settings-applied", Screen(), "the bar with the page added in the settings dialog");
}

}  // namespace

void BarSession() {
    Say("");
    Say("== 9. The Pelorin bar, where no browser or taskbar shows the band (Windows 11)");
    char programs[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, 0, programs);
    std::string link = std::string(programs) + "\\Pelorin\\Pelorin.lnk";
    Say("  started from the Start menu: %s", link.c_str());
    ShellExecuteA(nullptr, "open", link.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    HWND bar = nullptr, container = nullptr;
    PumpUntil(
        [&] {
            bar = FindWindowW(kBarClassName, nullptr);
            container = bar ? FindWindowExA(bar, nullptr, "Pelorin", nullptr) : nullptr;
            return container && IsWindowVisible(container);
        },
        20000);
    if (!Check(container != nullptr, "the bar shows the band, with nothing registered for it")) return;
    RECT r = WindowArea(bar);
    Say("  the bar: (%ld, %ld) to (%ld, %ld) on a screen %d wide", r.left, r.top, r.right, r.bottom,
        GetSystemMetrics(SM_CXSCREEN));
    Check(r.top == 0 && r.left == 0 && r.right == GetSystemMetrics(SM_CXSCREEN), "docked across the top of the screen");
    Check(FindWindowA("Shell_TrayWnd", nullptr) && PumpUntil([&] { return IconShown(bar); }, 5000),
          "its icon is in the taskbar's notification area");
    PumpUntil([&] { return TitleOf(bar).find(" - ") != std::string::npos; }, 15000);
    Say("  after the first pass: \"%s\"", TitleOf(bar).c_str());
    Pump(2500);  // the first balloon comes about two seconds after the pass
    Shot("bar-docked", Screen(), "the bar at the top, its icon and its first balloon in the taskbar");

    // A click on ニュース: the default browser (chromium) opens it, the button turns grey.
    SiteNews();
    HWND watch = FindWindowExA(container, nullptr, "Pelorin-Watch", nullptr);
    PostMessageA(watch, WM_COMMAND, 1, 0);
    std::vector<SiteEntry> entries;
    bool opened = PumpUntil(
        [&] {
            for (const SiteEntry& e : SiteNews()) entries.push_back(e);
            return SeenByBrowser(entries, "/news.html");
        },
        30000);
    Check(opened, "a click on ニュース opened the page in the default browser (chromium fetched it)");

    // The site publishes the next edition; a check finds it and the balloon names the page.
    std::string edition = Control("edition");
    PumpUntil([&] { return Control("edition") != edition; }, 20000);
    std::string balloon;
    bool announced = PumpUntil(
        [&] {
            SendMessageW(bar, WM_COMMAND, kCommandCheckNow, 0);
            Pump(500);
            balloon = BalloonText();
            return balloon.find(kNews) != std::string::npos;
        },
        30000);
    Say("  the balloon: %s", balloon.c_str());
    Check(announced, "the next edition of ニュース was announced by a balloon naming it");
    Check(balloon.find("新: 第") != std::string::npos, "under the page's line, the balloon names the new headline");
    Shot("bar-balloon", Screen(), "the balloon of the page that changed, with its new headline");

    // A Japanese search: the POST service gets it through the browser, as a form.
    HWND search = FindWindowExA(container, nullptr, "Pelorin-Search", nullptr);
    HWND edit = FindWindowExA(search, nullptr, "Edit", nullptr);
    SetForegroundWindow(bar);
    PostMessageA(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    PostMessageA(edit, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
    Pump(300);
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("ソ表"));
    SiteNews();
    entries.clear();
    LPARAM bits = 1 | (static_cast<LPARAM>(MapVirtualKeyA(VK_RETURN, 0)) << 16);
    PostMessageA(edit, WM_KEYDOWN, VK_RETURN, bits);
    PostMessageA(edit, WM_KEYUP, VK_RETURN, bits | (3L << 30));
    bool posted = PumpUntil(
        [&] {
            for (const SiteEntry& e : SiteNews()) entries.push_back(e);
            return CountSearches(entries, "POST") >= 1 && CountSearches(entries, "GET") >= 1;
        },
        30000);
    PrintSearches(entries);
    Check(posted && HasParam(entries, "query=ソ表"),
          "\"ソ表\" reached the POST service through the browser, in Shift_JIS as typed");
    Shot("bar-search", Screen(), "after the search");

    AddPageInSettings(bar);

    PostMessageW(bar, WM_CLOSE, 0, 0);
    Check(PumpUntil([&] { return !IsWindow(bar); }, 15000), "the bar ended when asked to close");
}
