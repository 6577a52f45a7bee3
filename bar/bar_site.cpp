#include "bar_site.h"

#include <exdisp.h>

#include "watch/watch_notice.h"

namespace {
// SID_SWebBrowserApp {0002DF05-0000-0000-C000-000000000046}
const GUID kServiceWebBrowserApp = {0x0002DF05, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
}  // namespace

BarSite::BarSite(HWND window, IWebBrowser2* browser, PageNotice onPage)
    : window_(window), browser_(browser), onPage_(std::move(onPage)) {}

HRESULT BarSite::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IInputObjectSite) {
        *ppv = static_cast<IInputObjectSite*>(this);
    } else if (riid == IID_IOleWindow) {
        *ppv = static_cast<IOleWindow*>(this);
    } else if (riid == IID_IServiceProvider) {
        *ppv = static_cast<IServiceProvider*>(this);
    } else if (riid == IID_IOleCommandTarget) {
        *ppv = static_cast<IOleCommandTarget*>(this);
    } else {
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG BarSite::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG BarSite::Release() {
    LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

HRESULT BarSite::GetWindow(HWND* phwnd) {
    if (!phwnd) return E_INVALIDARG;
    *phwnd = window_;
    return S_OK;
}

HRESULT BarSite::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

HRESULT BarSite::OnFocusChangeIS(IUnknown*, BOOL fSetFocus) {
    bandHasFocus_ = fSetFocus != FALSE;
    return S_OK;
}

HRESULT BarSite::QueryService(REFGUID guidService, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (guidService != kServiceWebBrowserApp || !browser_) return E_NOINTERFACE;
    return browser_->QueryInterface(riid, ppv);
}

HRESULT BarSite::QueryStatus(const GUID* pguidCmdGroup, ULONG cCmds, OLECMD prgCmds[], OLECMDTEXT*) {
    if (!pguidCmdGroup || *pguidCmdGroup != kPelorinWatchGroup) return OLECMDERR_E_UNKNOWNGROUP;
    for (ULONG i = 0; prgCmds && i < cCmds; ++i) {
        bool known = prgCmds[i].cmdID == kWatchPageChanged || prgCmds[i].cmdID == kWatchPageNoLongerChanged;
        prgCmds[i].cmdf = known ? OLECMDF_SUPPORTED | OLECMDF_ENABLED : 0;
    }
    return S_OK;
}

HRESULT BarSite::Exec(const GUID* pguidCmdGroup, DWORD nCmdID, DWORD, VARIANT* pvaIn, VARIANT*) {
    if (!pguidCmdGroup || *pguidCmdGroup != kPelorinWatchGroup) return OLECMDERR_E_UNKNOWNGROUP;
    if (nCmdID != kWatchPageChanged && nCmdID != kWatchPageNoLongerChanged) return OLECMDERR_E_NOTSUPPORTED;
    if (!pvaIn || V_VT(pvaIn) != (VT_ARRAY | VT_BSTR) || !V_ARRAY(pvaIn)) return E_INVALIDARG;
    // The address and the title, then what is new when the band tells it.
    std::wstring texts[3];
    LONG last = 0;
    if (FAILED(SafeArrayGetUBound(V_ARRAY(pvaIn), 1, &last))) return E_INVALIDARG;
    for (LONG i = 0; i < 3; ++i) {
        BSTR text = nullptr;
        if (i == 2 && last < 2) break;
        if (FAILED(SafeArrayGetElement(V_ARRAY(pvaIn), &i, &text))) return E_INVALIDARG;
        if (text) texts[i].assign(text, SysStringLen(text));
        SysFreeString(text);
    }
    if (onPage_) onPage_(nCmdID == kWatchPageChanged, texts[0], texts[1], texts[2]);
    return S_OK;
}
