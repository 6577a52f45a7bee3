// The Pelorin bar's window: it hosts the band, docks as an application desktop toolbar along
// the top or bottom edge of the primary monitor or floats as a small always-on-top tool
// window, and keeps that choice for the user. Everything runs on the one UI thread; the
// window's state lives in this object, bound to the window at WM_NCCREATE and cleared at
// WM_NCDESTROY, and the object outlives its window.
#pragma once

#include <windows.h>

#include "bar_site.h"
#include "change_balloon.h"
#include "default_browser.h"
#include "hosted_band.h"
#include "local_pages.h"
#include "placement.h"
#include "tray_icon.h"

#include <string>
#include <vector>

// The bar's window class: a second start finds the running bar by it.
constexpr wchar_t kBarClassName[] = L"PelorinBar";
// Messages the bar's window answers besides the system's.
constexpr UINT kAppBarCallback = WM_APP + 1;   // the shell's app bar notifications
constexpr UINT kShowBar = WM_APP + 2;          // a second start: come forward
constexpr UINT kMessagesHandled = WM_APP + 3;  // how many messages the bar's loop has handled
constexpr UINT kTrayCallback = WM_APP + 4;     // the notification-area icon's events
constexpr UINT kOpenSettings = WM_APP + 5;     // pelorin.exe /settings: open the settings dialog
// WM_APP + 6 is the settings dialog's kSettingsSaved: the band is made anew.
// Menu commands, also accepted as WM_COMMAND from outside.
constexpr UINT kCommandDockTop = 100;
constexpr UINT kCommandDockBottom = 101;
constexpr UINT kCommandFloat = 102;
constexpr UINT kCommandShowBar = 103;
constexpr UINT kCommandCheckNow = 104;
constexpr UINT kCommandBalloons = 105;
constexpr UINT kCommandStartAtSignIn = 106;
constexpr UINT kCommandSettings = 107;
constexpr UINT kCommandQuit = 110;

class BarWindow {
public:
    BarWindow() = default;
    BarWindow(const BarWindow&) = delete;
    BarWindow& operator=(const BarWindow&) = delete;

    // Creates the window and the band in it and shows both; on failure the user has been
    // told why and the result is the exit code.
    int Create(HINSTANCE instance);
    // The message loop's step: keys for the band go through its accelerator translation
    // while it has the focus. True when the message was taken.
    bool PreTranslate(MSG* msg);
    // After the loop: waits a bounded time for the DLL to let go, then frees it.
    void Unload();
    void CountMessage() { ++messagesHandled_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

    void SetDock(Dock dock);
    void Place();
    void PlaceDocked();
    void PlaceFloating();
    void LayOutBand();
    void AppBarRemove();
    void ShowMenu(POINT at);
    void ShowBar(bool show);
    void CheckNow();
    void OpenSettings();
    void ReloadBand(bool loadDllAnew);
    void OnPageNotice(bool changed, const std::wstring& address, const std::wstring& title,
                      const std::wstring& passage);
    void ShowChangedCount();
    void LeaveBand();
    void Shutdown();
    void LoadPlacement();
    void SavePlacement() const;

    HWND window_ = nullptr;
    HINSTANCE instance_ = nullptr;
    HostedBand band_;
    LocalPages pages_;
    ComPtr<BarSite> site_;
    Dock dock_ = Dock::Top;
    long floatLeft_ = 0, floatTop_ = 0;
    bool floatSaved_ = false;
    bool appBar_ = false;
    bool placing_ = false;
    bool hidden_ = false;  // hidden by the user, from the menu or the icon
    HWND previousActive_ = nullptr;
    LONG messagesHandled_ = 0;
    TrayIcon tray_;
    UINT taskbarCreated_ = 0;
    bool balloons_ = true;
    std::vector<std::wstring> changedPages_;  // addresses of the pages showing Changed
    ChangeBalloon balloon_;  // turned Changed since the last balloon
};
