#include "bar_window.h"

#include <shellapi.h>
#include <windowsx.h>
#include <algorithm>
#include <cstring>

#include "common/unique_handle.h"
#include "settings/settings_dialog.h"
#include "sign_in.h"
#include "texts.h"

namespace {

// The bar's own settings, beside the record of seen pages.
const wchar_t kSettingsKey[] = L"Software\\Vorna\\Pelorin\\Bar";
const UINT_PTR kSweepTimer = 1;  // while local pages wait to be removed
// Pages that turn Changed in one pass are announced in one balloon, which the shell would
// otherwise replace page by page before the user could read it.
const UINT_PTR kBalloonTimer = 2;
const DWORD kBalloonGatherMs = 500;
// How long the bar waits at its end for the band's DLL to let go (a fetch may still run).
const DWORD kUnloadWaitMs = 3000;

const DWORD kDockedStyle = WS_POPUP | WS_CLIPCHILDREN;
const DWORD kFloatingStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
const DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST;
// The icons in the program's resources.
const int kIconNormal = 1;
const int kIconChanged = 2;

HICON SmallIcon(HINSTANCE instance, int id) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(id), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR | LR_SHARED));
}

// The bar's settings under kSettingsKey; a value that is missing or of another type reads as
// absent.
bool ReadDword(const wchar_t* name, DWORD* value) {
    DWORD size = sizeof *value;
    return RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, name, RRF_RT_REG_DWORD, nullptr, value, &size) == ERROR_SUCCESS;
}

void WriteValue(const wchar_t* name, DWORD type, const void* data, DWORD size) {
    RegKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr) ==
        ERROR_SUCCESS) {
        RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), size);
    }
}

void WriteDword(const wchar_t* name, DWORD value) { WriteValue(name, REG_DWORD, &value, sizeof value); }

std::wstring ProgramPath() {
    wchar_t path[MAX_PATH * 2] = L"";
    GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    return path;
}

BarRect ToBarRect(const RECT& r) {
    BarRect b;
    b.left = r.left;
    b.top = r.top;
    b.right = r.right;
    b.bottom = r.bottom;
    return b;
}

RECT ToRect(const BarRect& b) { return RECT{b.left, b.top, b.right, b.bottom}; }

MONITORINFO PrimaryMonitor() {
    MONITORINFO info = {sizeof info};
    POINT origin = {0, 0};
    GetMonitorInfoW(MonitorFromPoint(origin, MONITOR_DEFAULTTOPRIMARY), &info);
    return info;
}

void ShowFailure(const BandFailure& failure, const std::wstring& file) {
    std::wstring text = failure.detail.empty() ? Text(failure.text, {file}) : Text(failure.text, {failure.detail, file});
    MessageBoxW(nullptr, text.c_str(), Text(TextId::Caption).c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace

int BarWindow::Create(HINSTANCE instance) {
    WNDCLASSEXW wc = {sizeof wc};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kIconNormal));
    wc.lpszClassName = kBarClassName;
    RegisterClassExW(&wc);

    instance_ = instance;
    LoadPlacement();
    window_ = CreateWindowExW(kExStyle, kBarClassName, L"Pelorin", dock_ == Dock::Float ? kFloatingStyle : kDockedStyle,
                              0, 0, 0, 0, nullptr, nullptr, instance, this);
    if (!window_) return 1;

    std::wstring dll = HostedBand::DllBesideProgram();
    BandFailure failure;
    pages_.SweepWith(window_, kSweepTimer);
    ComPtr<DefaultBrowser> browser;
    browser.attach(new DefaultBrowser(&pages_));
    site_.attach(new BarSite(window_, browser.get(), [this](bool changed, const std::wstring& address,
                                                             const std::wstring& title) {
        OnPageNotice(changed, address, title);
    }));
    if (!band_.Create(dll, &failure) || !band_.Site(static_cast<IInputObjectSite*>(site_.get()), &failure)) {
        band_.Close();
        // Before the window goes: its WM_DESTROY posts the quit that would end the box at once.
        ShowFailure(failure, dll);
        DestroyWindow(window_);
        band_.Unload(kUnloadWaitMs);
        return failure.exitCode;
    }
    Place();
    // A bar started at sign-in does not take the keyboard from what the user opened first.
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    band_.Show(true);
    DWORD balloons = 1;
    balloons_ = !ReadDword(L"Balloons", &balloons) || balloons != 0;
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
    tray_.Attach(window_, kTrayCallback, SmallIcon(instance, kIconNormal), SmallIcon(instance, kIconChanged));
    tray_.Add();
    return 0;
}

bool BarWindow::PreTranslate(MSG* msg) {
    if (msg->message < WM_KEYFIRST || msg->message > WM_KEYLAST) return false;
    if (!site_ || !site_->BandHasFocus() || !band_.HasFocus()) return false;
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_TAB || msg->wParam == VK_ESCAPE)) {
        LeaveBand();
        return true;
    }
    return band_.TranslateAccelerator(msg) == S_OK;
}

void BarWindow::Unload() { band_.Unload(kUnloadWaitMs); }

LRESULT CALLBACK BarWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<BarWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<BarWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self) return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->Handle(message, wParam, lParam);
}

LRESULT BarWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    // Explorer started again: its notification area knows nothing of us.
    if (message == taskbarCreated_ && taskbarCreated_) {
        tray_.Add();
        tray_.ShowChangedCount(changedPages_.size());
        return 0;
    }
    switch (message) {
    case WM_SIZE:
        LayOutBand();
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) {
            HWND other = reinterpret_cast<HWND>(lParam);
            if (other && other != window_) previousActive_ = other;
        }
        if (appBar_) {
            APPBARDATA abd = {sizeof abd, window_};
            SHAppBarMessage(ABM_ACTIVATE, &abd);
        }
        break;
    case WM_WINDOWPOSCHANGED:
        if (appBar_) {
            APPBARDATA abd = {sizeof abd, window_};
            SHAppBarMessage(ABM_WINDOWPOSCHANGED, &abd);
        }
        break;
    case WM_EXITSIZEMOVE:
        if (dock_ == Dock::Float) SavePlacement();
        return 0;
    case WM_DISPLAYCHANGE:
        Place();
        return 0;
    case WM_SETTINGCHANGE:
        if (wParam == SPI_SETWORKAREA) Place();
        return 0;
    case kAppBarCallback:
        switch (wParam) {
        case ABN_POSCHANGED:
            Place();
            break;
        case ABN_FULLSCREENAPP:
            // A full-screen program in front: step aside until it is gone.
            SetWindowPos(window_, lParam ? HWND_BOTTOM : HWND_TOPMOST, 0, 0, 0, 0,
                         SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            break;
        }
        return 0;
    case kShowBar:
        ShowBar(true);
        band_.Activate();
        return 0;
    case kOpenSettings:
        OpenSettings();
        return 0;
    case kSettingsSaved:
        ReloadBand(wParam != 0);
        return 0;
    case kMessagesHandled:
        return messagesHandled_;
    case kTrayCallback:
        switch (LOWORD(lParam)) {
        case NIN_SELECT:
        case NIN_KEYSELECT:
            ShowBar(hidden_);
            break;
        case WM_CONTEXTMENU:
            ShowMenu({GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam)});
            break;
        }
        return 0;
    case WM_CONTEXTMENU: {
        POINT at = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (at.x == -1 && at.y == -1) {
            at = {0, 0};
            ClientToScreen(window_, &at);
        }
        ShowMenu(at);
        return 0;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case kCommandDockTop: SetDock(Dock::Top); return 0;
        case kCommandDockBottom: SetDock(Dock::Bottom); return 0;
        case kCommandFloat: SetDock(Dock::Float); return 0;
        case kCommandShowBar: ShowBar(hidden_); return 0;
        case kCommandCheckNow: CheckNow(); return 0;
        case kCommandBalloons:
            balloons_ = !balloons_;
            WriteDword(L"Balloons", balloons_ ? 1 : 0);
            return 0;
        case kCommandStartAtSignIn: SetStartAtSignIn(!StartsAtSignIn(), ProgramPath()); return 0;
        case kCommandSettings: OpenSettings(); return 0;
        case kCommandQuit: PostMessageW(window_, WM_CLOSE, 0, 0); return 0;
        }
        break;
    case WM_TIMER:
        if (wParam == kBalloonTimer) {
            KillTimer(window_, kBalloonTimer);
            std::wstring text;
            for (const std::wstring& title : balloonTitles_) {
                if (!text.empty()) text += L"\r\n";
                text += Text(TextId::BalloonPageChanged, {title});
            }
            balloonTitles_.clear();
            if (!text.empty()) tray_.Balloon(text);
            return 0;
        }
        if (wParam == kSweepTimer) {
            pages_.RemoveOlderThan(LocalPages::kReadTimeMs);
            // No timer while nothing waits: an idle bar handles no message of its own.
            if (pages_.Empty()) KillTimer(window_, kSweepTimer);
            return 0;
        }
        break;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        // Sign-out or shutdown: the process may be ended as soon as this returns.
        if (wParam) {
            Shutdown();
            band_.Unload(0);
        }
        return 0;
    case WM_CLOSE:
        Shutdown();
        DestroyWindow(window_);
        return 0;
    case WM_DESTROY:
        Shutdown();
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void BarWindow::SetDock(Dock dock) {
    if (dock == dock_) return;
    dock_ = dock;
    SetWindowLongPtrW(window_, GWL_STYLE, (dock == Dock::Float ? kFloatingStyle : kDockedStyle) | WS_VISIBLE);
    SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    Place();
    SavePlacement();
}

void BarWindow::Place() {
    // Our own ABM_SETPOS changes the work area, which tells every window, ours too. A hidden
    // bar takes no place until it is shown.
    if (placing_ || !window_ || hidden_) return;
    placing_ = true;
    if (dock_ == Dock::Float) {
        PlaceFloating();
    } else {
        PlaceDocked();
    }
    placing_ = false;
}

void BarWindow::PlaceDocked() {
    APPBARDATA abd = {sizeof abd, window_};
    if (!appBar_) {
        abd.uCallbackMessage = kAppBarCallback;
        appBar_ = SHAppBarMessage(ABM_NEW, &abd) != FALSE;
    }
    long height = band_.MinSize().cy;
    UINT edge = dock_ == Dock::Bottom ? ABE_BOTTOM : ABE_TOP;
    BarRect want = DockStrip(ToBarRect(PrimaryMonitor().rcMonitor), dock_, height);
    abd.uEdge = edge;
    abd.rc = ToRect(want);
    SHAppBarMessage(ABM_QUERYPOS, &abd);
    abd.rc = ToRect(DockStrip(ToBarRect(abd.rc), dock_, height));
    SHAppBarMessage(ABM_SETPOS, &abd);
    BarRect placed = DockStrip(ToBarRect(abd.rc), dock_, height);
    SetWindowPos(window_, HWND_TOPMOST, placed.left, placed.top, placed.Width(), placed.Height(), SWP_NOACTIVATE);
}

void BarWindow::PlaceFloating() {
    AppBarRemove();
    RECT frame = {0, 0, band_.MinSize().cx, band_.MinSize().cy};
    AdjustWindowRectEx(&frame, kFloatingStyle, FALSE, kExStyle);
    long width = frame.right - frame.left, height = frame.bottom - frame.top;
    MONITORINFO monitor = {sizeof monitor};
    POINT corner = {floatLeft_, floatTop_};
    HMONITOR saved = floatSaved_ ? MonitorFromPoint(corner, MONITOR_DEFAULTTONULL) : nullptr;
    if (saved) {
        GetMonitorInfoW(saved, &monitor);
    } else {
        // Never placed, or its monitor is gone: near the top of the primary monitor, centred.
        monitor = PrimaryMonitor();
        floatLeft_ = monitor.rcWork.left + (monitor.rcWork.right - monitor.rcWork.left - width) / 2;
        floatTop_ = monitor.rcWork.top + 48;
    }
    BarRect r = FloatRect(floatLeft_, floatTop_, width, height, ToBarRect(monitor.rcWork));
    floatLeft_ = r.left;
    floatTop_ = r.top;
    floatSaved_ = true;
    SetWindowPos(window_, HWND_TOPMOST, r.left, r.top, r.Width(), r.Height(), SWP_NOACTIVATE);
}

void BarWindow::LayOutBand() {
    RECT client;
    if (!band_.Window() || !GetClientRect(window_, &client)) return;
    MoveWindow(band_.Window(), 0, 0, client.right, client.bottom, TRUE);
}

void BarWindow::AppBarRemove() {
    if (!appBar_) return;
    APPBARDATA abd = {sizeof abd, window_};
    SHAppBarMessage(ABM_REMOVE, &abd);
    appBar_ = false;
}

void BarWindow::ShowMenu(POINT at) {
    HMENU menu = CreatePopupMenu();
    if (!menu) return;
    auto item = [&](UINT id, TextId text, bool checked) {
        AppendMenuW(menu, MF_STRING | (checked ? MF_CHECKED : 0), id, Text(text).c_str());
    };
    item(kCommandShowBar, TextId::MenuShowBar, !hidden_);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    item(kCommandDockTop, TextId::MenuDockTop, false);
    item(kCommandDockBottom, TextId::MenuDockBottom, false);
    item(kCommandFloat, TextId::MenuFloat, false);
    UINT current = dock_ == Dock::Bottom ? kCommandDockBottom : dock_ == Dock::Float ? kCommandFloat : kCommandDockTop;
    CheckMenuRadioItem(menu, kCommandDockTop, kCommandFloat, current, MF_BYCOMMAND);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    item(kCommandCheckNow, TextId::MenuCheckNow, false);
    item(kCommandSettings, TextId::MenuSettings, false);
    item(kCommandBalloons, TextId::MenuBalloons, balloons_);
    item(kCommandStartAtSignIn, TextId::MenuStartAtSignIn, StartsAtSignIn());
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    item(kCommandQuit, TextId::MenuQuit, false);
    // The menu closes when the user clicks elsewhere only if the bar is in front.
    SetForegroundWindow(window_);
    TrackPopupMenu(menu, TPM_RIGHTBUTTON, at.x, at.y, 0, window_, nullptr);
    PostMessageW(window_, WM_NULL, 0, 0);
    DestroyMenu(menu);
}

void BarWindow::ShowBar(bool show) {
    hidden_ = !show;
    if (show) {
        Place();
        ShowWindow(window_, SW_SHOW);
        SetForegroundWindow(window_);
    } else {
        // A hidden bar keeps no room at the screen's edge.
        ShowWindow(window_, SW_HIDE);
        AppBarRemove();
    }
}

void BarWindow::CheckNow() {
    // The watch pane starts a pass at any timer tick.
    if (HWND watch = band_.Window() ? FindWindowExA(band_.Window(), nullptr, "Pelorin-Watch", nullptr) : nullptr) {
        PostMessageA(watch, WM_TIMER, 0, 0);
    }
}

void BarWindow::OpenSettings() { OpenSettingsDialog(instance_, window_); }

void BarWindow::ReloadBand(bool loadDllAnew) {
    // The band reads pelorin.ini when it is made; the DLL chooses which file when it is loaded.
    band_.Close();
    if (loadDllAnew) band_.Unload(kUnloadWaitMs);
    changedPages_.clear();
    balloonTitles_.clear();
    KillTimer(window_, kBalloonTimer);
    std::wstring dll = HostedBand::DllBesideProgram();
    BandFailure failure;
    if (!band_.Create(dll, &failure) || !band_.Site(static_cast<IInputObjectSite*>(site_.get()), &failure)) {
        band_.Close();
        ShowFailure(failure, dll);
        PostMessageW(window_, WM_CLOSE, 0, 0);
        return;
    }
    Place();
    LayOutBand();
    band_.Show(true);
    ShowChangedCount();
}

void BarWindow::OnPageNotice(bool changed, const std::wstring& address, const std::wstring& title) {
    auto known = std::find(changedPages_.begin(), changedPages_.end(), address);
    if (changed && known == changedPages_.end()) {
        changedPages_.push_back(address);
        if (balloons_) {
            balloonTitles_.push_back(title);
            SetTimer(window_, kBalloonTimer, kBalloonGatherMs, nullptr);
        }
    } else if (!changed && known != changedPages_.end()) {
        changedPages_.erase(known);
    }
    ShowChangedCount();
}

void BarWindow::ShowChangedCount() {
    tray_.ShowChangedCount(changedPages_.size());
    // The window's title says it too: a floating bar's caption, and what screen readers read.
    std::wstring title = changedPages_.empty() ? L"Pelorin" : L"Pelorin - " + tray_.Tip();
    SetWindowTextW(window_, title.c_str());
}

void BarWindow::LeaveBand() {
    // Tab and Esc give the keyboard back to the window the user came from.
    if (previousActive_ && IsWindow(previousActive_) && IsWindowVisible(previousActive_)) {
        SetForegroundWindow(previousActive_);
    } else {
        SetFocus(window_);
    }
}

void BarWindow::Shutdown() {
    CloseSettingsDialog();
    if (dock_ == Dock::Float && window_) SavePlacement();
    KillTimer(window_, kSweepTimer);
    tray_.Remove();
    band_.Close();
    site_.reset();
    AppBarRemove();
    pages_.RemoveAll();
}

void BarWindow::LoadPlacement() {
    wchar_t name[16] = L"";
    DWORD size = sizeof name;
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsKey, L"Placement", RRF_RT_REG_SZ, nullptr, name, &size) == ERROR_SUCCESS) {
        std::string ascii;
        for (const wchar_t* c = name; *c; ++c) ascii += *c < 0x80 ? static_cast<char>(*c) : '?';
        dock_ = ParseDock(ascii);
    }
    DWORD left = 0, top = 0;
    if (ReadDword(L"FloatLeft", &left) && ReadDword(L"FloatTop", &top)) {
        // Stored as the bits of a signed position: a monitor left of the primary one is negative.
        floatLeft_ = static_cast<LONG>(left);
        floatTop_ = static_cast<LONG>(top);
        floatSaved_ = true;
    }
}

void BarWindow::SavePlacement() const {
    const char* ascii = DockName(dock_);
    std::wstring name(ascii, ascii + strlen(ascii));
    WriteValue(L"Placement", REG_SZ, name.c_str(), static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
    if (dock_ == Dock::Float && window_) {
        RECT r;
        GetWindowRect(window_, &r);
        WriteDword(L"FloatLeft", static_cast<DWORD>(r.left));
        WriteDword(L"FloatTop", static_cast<DWORD>(r.top));
    }
}
