#include "bar_site.h"

#include <exdisp.h>

namespace {
// SID_SWebBrowserApp {0002DF05-0000-0000-C000-000000000046}
const GUID kServiceWebBrowserApp = {0x0002DF05, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
}  // namespace

BarSite::BarSite(HWND window, IWebBrowser2* browser) : window_(window), browser_(browser) {}

HRESULT BarSite::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IInputObjectSite) {
        *ppv = static_cast<IInputObjectSite*>(this);
    } else if (riid == IID_IOleWindow) {
        *ppv = static_cast<IOleWindow*>(this);
    } else if (riid == IID_IServiceProvider) {
        *ppv = static_cast<IServiceProvider*>(this);
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
