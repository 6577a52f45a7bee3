#include "band_host.h"

#include <commctrl.h>

#include "band/band_object.h"
#include "common/ansi.h"
#include "watch/watch_notice.h"

namespace {
// SID_SWebBrowserApp {0002DF05-0000-0000-C000-000000000046}
const GUID kServiceWebBrowserApp = {0x0002DF05, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const char kHostClass[] = "PelorinBandHost";
const UINT kBandId = 1;
}  // namespace

HostSite::HostSite(HWND window, RecordingBrowser* browser, bool offerOleWindow, bool offerCommandTarget)
    : window_(window), browser_(browser), offerOleWindow_(offerOleWindow), offerCommandTarget_(offerCommandTarget) {}

HRESULT HostSite::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IOleCommandTarget) ++commandTargetAsks;
    if (riid == IID_IUnknown || riid == IID_IInputObjectSite) {
        *ppv = static_cast<IInputObjectSite*>(this);
    } else if (riid == IID_IOleCommandTarget && offerCommandTarget_) {
        *ppv = static_cast<IOleCommandTarget*>(this);
    } else if (riid == IID_IOleWindow && offerOleWindow_) {
        *ppv = static_cast<IOleWindow*>(this);
    } else if (riid == IID_IServiceProvider) {
        *ppv = static_cast<IServiceProvider*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG HostSite::AddRef() { return static_cast<ULONG>(++refs_); }
// The host owns the site; the count tells tests whether every reference came back.
ULONG HostSite::Release() { return static_cast<ULONG>(--refs_); }

HRESULT HostSite::GetWindow(HWND* phwnd) {
    if (!phwnd) return E_INVALIDARG;
    *phwnd = window_;
    return S_OK;
}

HRESULT HostSite::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

HRESULT HostSite::OnFocusChangeIS(IUnknown* punkObj, BOOL fSetFocus) {
    focusChanges.emplace_back(punkObj, fSetFocus);
    return S_OK;
}

HRESULT HostSite::QueryService(REFGUID guidService, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    // The taskbar has no browser to offer.
    if (guidService != kServiceWebBrowserApp || !browser_) return E_NOINTERFACE;
    return browser_->QueryInterface(riid, ppv);
}

HRESULT HostSite::QueryStatus(const GUID*, ULONG, OLECMD[], OLECMDTEXT*) { return OLECMDERR_E_UNKNOWNGROUP; }

HRESULT HostSite::Exec(const GUID* pguidCmdGroup, DWORD nCmdID, DWORD, VARIANT* pvaIn, VARIANT*) {
    if (!pguidCmdGroup || *pguidCmdGroup != kPelorinWatchGroup) return OLECMDERR_E_UNKNOWNGROUP;
    WatchNoticeCall call = {nCmdID, "", ""};
    if (pvaIn && V_VT(pvaIn) == (VT_ARRAY | VT_BSTR)) {
        BSTR text = nullptr;
        LONG index = 0;
        if (SUCCEEDED(SafeArrayGetElement(V_ARRAY(pvaIn), &index, &text))) call.address = WideToAnsi(text);
        SysFreeString(text);
        text = nullptr;
        index = 1;
        if (SUCCEEDED(SafeArrayGetElement(V_ARRAY(pvaIn), &index, &text))) call.title = WideToAnsi(text);
        SysFreeString(text);
        text = nullptr;
        index = 2;
        call.passage = L"(none)";
        if (SUCCEEDED(SafeArrayGetElement(V_ARRAY(pvaIn), &index, &text))) call.passage.assign(text, SysStringLen(text));
        SysFreeString(text);
    }
    notices.push_back(call);
    return S_OK;
}

BandHost::BandHost(HostMode mode, bool hearsWatchNotices)
    : mode_(mode), comInit_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES | ICC_COOL_CLASSES};
    InitCommonControlsEx(&icc);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_APPWORKSPACE + 1));
    wc.lpszClassName = kHostClass;
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, kHostClass, mode == HostMode::Browser ? "Pelorin band host" : "Pelorin taskbar host",
                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 40, 40, 640, 160, nullptr, nullptr,
                              instance, nullptr);
    rebar_ = CreateWindowExA(WS_EX_TOOLWINDOW, REBARCLASSNAMEA, nullptr,
                             WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_VARHEIGHT |
                                 RBS_BANDBORDERS | CCS_NODIVIDER | CCS_TOP,
                             0, 0, 0, 0, window_, nullptr, instance, nullptr);
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
    site_ = new HostSite(rebar_, mode == HostMode::Browser ? &browser_ : nullptr, true, hearsWatchNotices);
}

BandHost::~BandHost() {
    CloseBand();
    if (window_) DestroyWindow(window_);
    delete site_;
    if (SUCCEEDED(comInit_)) CoUninitialize();
}

HRESULT BandHost::CreateBand() {
    if (band_) return S_FALSE;
    HRESULT hr = CoCreateInstance(CLSID_Pelorband, nullptr, CLSCTX_INPROC_SERVER, IID_IDeskBand,
                                  reinterpret_cast<void**>(&band_));
    if (FAILED(hr)) return hr;
    IObjectWithSite* withSite = nullptr;
    hr = band_->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite));
    if (SUCCEEDED(hr)) {
        hr = withSite->SetSite(static_cast<IInputObjectSite*>(site_));
        withSite->Release();
    }
    if (FAILED(hr)) {
        CloseBand();
        return hr;
    }
    info_ = {};
    info_.dwMask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE | DBIM_MODEFLAGS |
                   DBIM_BKCOLOR;
    info_.ptIntegral = {1, 1};
    band_->GetBandInfo(kBandId, DBIF_VIEWMODE_NORMAL, &info_);
    band_->GetWindow(&bandWindow_);

    REBARBANDINFOA rb = {};
    rb.cbSize = REBARBANDINFOA_V6_SIZE;
    rb.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_ID | RBBIM_STYLE | RBBIM_IDEALSIZE;
    rb.fStyle = RBBS_CHILDEDGE | RBBS_GRIPPERALWAYS;
    rb.hwndChild = bandWindow_;
    rb.cxMinChild = static_cast<UINT>(info_.ptMinSize.x);
    rb.cyMinChild = static_cast<UINT>(info_.ptMinSize.y);
    rb.cyMaxChild = static_cast<UINT>(info_.ptMaxSize.y);
    rb.cyIntegral = static_cast<UINT>(info_.ptIntegral.y);
    rb.cx = static_cast<UINT>(info_.ptActual.x);
    rb.cxIdeal = static_cast<UINT>(info_.ptActual.x);
    rb.wID = kBandId;
    if (bandWindow_) SendMessageA(rebar_, RB_INSERTBANDA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&rb));
    return band_->ShowDW(TRUE);
}

void BandHost::CloseBand() {
    if (!band_) return;
    if (bandWindow_) {
        int index = static_cast<int>(SendMessageA(rebar_, RB_IDTOINDEX, kBandId, 0));
        if (index >= 0) SendMessageA(rebar_, RB_DELETEBAND, index, 0);
    }
    band_->ShowDW(FALSE);
    band_->CloseDW(0);
    IObjectWithSite* withSite = nullptr;
    if (SUCCEEDED(band_->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite)))) {
        withSite->SetSite(nullptr);
        withSite->Release();
    }
    band_->Release();
    band_ = nullptr;
    bandWindow_ = nullptr;
}

IDeskBand* BandHost::band() const { return band_; }
HWND BandHost::bandWindow() const { return bandWindow_; }
HWND BandHost::hostWindow() const { return window_; }
HWND BandHost::rebar() const { return rebar_; }
RecordingBrowser& BandHost::browser() { return browser_; }
std::vector<std::pair<IUnknown*, BOOL>>& BandHost::focusChanges() { return site_->focusChanges; }

HRESULT BandHost::DeliverKey(MSG& msg) {
    HRESULT hr = S_FALSE;
    if (band_) {
        IInputObject* input = nullptr;
        if (SUCCEEDED(band_->QueryInterface(IID_IInputObject, reinterpret_cast<void**>(&input)))) {
            hr = input->TranslateAcceleratorIO(&msg);
            input->Release();
        }
    }
    if (hr != S_OK) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return hr;
}

void BandHost::Dispatch(MSG& msg) {
    if (band_ && msg.message >= WM_KEYFIRST && msg.message <= WM_KEYLAST) {
        IInputObject* input = nullptr;
        bool focused = false;
        if (SUCCEEDED(band_->QueryInterface(IID_IInputObject, reinterpret_cast<void**>(&input)))) {
            focused = input->HasFocusIO() == S_OK;
            input->Release();
        }
        if (focused) {
            DeliverKey(msg);
            return;
        }
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

LRESULT CALLBACK BandHost::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE: {
        // The rebar sizes itself to the top of its parent.
        HWND rebar = FindWindowExA(window, nullptr, REBARCLASSNAMEA, nullptr);
        if (rebar) SendMessageA(rebar, WM_SIZE, 0, 0);
        return 0;
    }
    case WM_CLOSE:
        // The owner of the message loop ends it and closes the band before the windows go.
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
