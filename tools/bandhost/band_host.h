// The band host: plays the browser's toolbar area (or the taskbar) for the band. A top-level
// window holds a rebar, which is the host window the band's container lives in; a site
// object answers IOleWindow, IInputObjectSite and IServiceProvider (the browser service in
// browser mode). The band comes through COM, as a browser gets it, after regsvr32 registered
// it. Everything runs on the thread that made the host, with COM apartment-threaded.
#pragma once

#include <windows.h>
#include <docobj.h>
#include <shobjidl.h>
#include <string>
#include <utility>
#include <vector>

#include "recording_browser.h"

enum class HostMode { Browser, Taskbar };

// The site a host hands to the band. Tests may make their own with fewer faces.
// A change the watch pane told the site of through IOleCommandTarget::Exec.
struct WatchNoticeCall {
    DWORD command;
    std::string address;
    std::string title;
    std::wstring passage;  // the third element, what is new; "(none)" when the band sent two
};

class HostSite : public IOleWindow, public IInputObjectSite, public IServiceProvider, public IOleCommandTarget {
public:
    // browser null: no browser service (the taskbar). offerOleWindow false: a site without
    // IOleWindow. offerCommandTarget: a site that hears the watch pane's changes.
    HostSite(HWND window, RecordingBrowser* browser, bool offerOleWindow = true, bool offerCommandTarget = false);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL fEnterMode) override;
    HRESULT STDMETHODCALLTYPE OnFocusChangeIS(IUnknown* punkObj, BOOL fSetFocus) override;
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID guidService, REFIID riid, void** ppv) override;
    HRESULT STDMETHODCALLTYPE QueryStatus(const GUID* pguidCmdGroup, ULONG cCmds, OLECMD prgCmds[],
                                          OLECMDTEXT* pCmdText) override;
    HRESULT STDMETHODCALLTYPE Exec(const GUID* pguidCmdGroup, DWORD nCmdID, DWORD nCmdexecopt, VARIANT* pvaIn,
                                   VARIANT* pvaOut) override;

    // References held by others than the one who made the site (it starts at 1).
    LONG RefCount() const { return refs_; }
    std::vector<std::pair<IUnknown*, BOOL>> focusChanges;
    std::vector<WatchNoticeCall> notices;
    // How often IOleCommandTarget was asked for, whether answered or not.
    int commandTargetAsks = 0;

    virtual ~HostSite() = default;

private:
    HWND window_;
    RecordingBrowser* browser_;
    bool offerOleWindow_;
    bool offerCommandTarget_;
    LONG refs_ = 1;
};

class BandHost {
public:
    // Top-level window + rebar, shown. hearsWatchNotices: the site answers IOleCommandTarget.
    explicit BandHost(HostMode mode = HostMode::Browser, bool hearsWatchNotices = false);
    ~BandHost();                                          // closes the band if open, destroys windows
    BandHost(const BandHost&) = delete;
    BandHost& operator=(const BandHost&) = delete;

    HRESULT CreateBand();      // CoCreateInstance + SetSite + GetBandInfo + rebar band + ShowDW(TRUE)
    void CloseBand();          // ShowDW(FALSE), CloseDW, SetSite(nullptr), Release
    IDeskBand* band() const;   // null when closed
    HWND bandWindow() const;   // the band's container window (IOleWindow::GetWindow)
    HWND hostWindow() const;   // the top-level window
    HWND rebar() const;
    RecordingBrowser& browser();               // the browser behind the service (Browser mode)
    std::vector<std::pair<IUnknown*, BOOL>>& focusChanges();  // OnFocusChangeIS calls
    // Offers a keyboard message to the band as a browser does (TranslateAcceleratorIO) and,
    // when the band does not take it, translates and dispatches it itself. Returns the band's HRESULT.
    HRESULT DeliverKey(MSG& msg);

    HostSite& site() { return *site_; }
    // What the band answered to GetBandInfo when it was created.
    const DESKBANDINFO& bandInfo() const { return info_; }
    // Runs one message as the host's loop does: keys go through DeliverKey while the band has
    // the focus. For the demo program's loop.
    void Dispatch(MSG& msg);

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HostMode mode_;
    HRESULT comInit_;
    HWND window_ = nullptr;
    HWND rebar_ = nullptr;
    RecordingBrowser browser_;
    HostSite* site_ = nullptr;
    IDeskBand* band_ = nullptr;
    HWND bandWindow_ = nullptr;
    DESKBANDINFO info_ = {};
};
