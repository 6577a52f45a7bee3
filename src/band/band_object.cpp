#include "band/band_object.h"

#include <cstddef>
#include <exdisp.h>
#include <new>

#include "band/band_create_params.h"
#include "band/container_window.h"
#include "module/module.h"

const CLSID CLSID_Pelorband = {0x408EA957, 0xCF17, 0x4D81, {0x93, 0xAB, 0xFD, 0xDA, 0x7A, 0xCD, 0xA9, 0x0F}};

namespace {

// SID_SWebBrowserApp {0002DF05-0000-0000-C000-000000000046}: the browser behind the site.
const GUID kServiceWebBrowserApp = {0x0002DF05, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

enum class Face { DeskBand, InputObject, PersistStream, ObjectWithSite };

// Looked up in this order; IUnknown yields the first entry's face.
struct FaceEntry {
    const IID* iid;
    Face face;
};
const FaceEntry kFaceTable[] = {
    {&IID_IDeskBand, Face::DeskBand},
    {&IID_IDockingWindow, Face::DeskBand},
    {&IID_IOleWindow, Face::DeskBand},
    {&IID_IInputObject, Face::InputObject},
    {&IID_IPersist, Face::PersistStream},
    {&IID_IPersistStream, Face::PersistStream},
    {&IID_IObjectWithSite, Face::ObjectWithSite},
};

}  // namespace

HRESULT BandObject::Create(IUnknown* outer, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    // An aggregated object hands out only its inner unknown.
    if (outer && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    auto* band = new (std::nothrow) BandObject(outer);
    if (!band) return E_OUTOFMEMORY;
    HRESULT hr = band->inner_.QueryInterface(riid, ppv);
    band->inner_.Release();  // the construction reference: destroys the object on failure
    return hr;
}

BandObject::BandObject(IUnknown* outer)
    : controlling_(outer ? outer : &inner_), aggregated_(outer != nullptr) {
    inner_.owner = this;
    ModuleLock();
}

BandObject::~BandObject() {
    // A host may let go of the band without CloseDW (a band site's RemoveBand only releases
    // it): the window is closed here as CloseDW would, or it and its panes would live on,
    // holding the site and polling pages for a band nobody shows, and the library could
    // never unload. The count is held above zero meanwhile: the search pane may tell the site
    // that it lost the focus, and a site that takes and gives back a reference to the band
    // then must not destroy it a second time.
    if (container_) {
        refs_ = 1;
        CloseWindow();
    }
    site_.reset();
    ModuleUnlock();
}

HRESULT BandObject::Inner::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    BandObject* self = owner;
    if (riid == IID_IUnknown) {
        *ppv = self->aggregated_ ? static_cast<IUnknown*>(this) : static_cast<IDeskBand*>(self);
        AddRef();
        return S_OK;
    }
    for (const FaceEntry& entry : kFaceTable) {
        if (*entry.iid != riid) continue;
        switch (entry.face) {
        case Face::DeskBand: *ppv = static_cast<IDeskBand*>(self); break;
        case Face::InputObject: *ppv = static_cast<IInputObject*>(self); break;
        case Face::PersistStream: *ppv = static_cast<IPersistStream*>(self); break;
        case Face::ObjectWithSite: *ppv = static_cast<IObjectWithSite*>(self); break;
        }
        // Through the face: an aggregated band's faces count on the outer object.
        static_cast<IUnknown*>(*ppv)->AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

ULONG BandObject::Inner::AddRef() { return ++owner->refs_; }

ULONG BandObject::Inner::Release() {
    ULONG refs = --owner->refs_;
    if (refs == 0) delete owner;
    return refs;
}

HRESULT BandObject::QueryInterface(REFIID riid, void** ppv) { return controlling_->QueryInterface(riid, ppv); }
ULONG BandObject::AddRef() { return controlling_->AddRef(); }
ULONG BandObject::Release() { return controlling_->Release(); }

// IOleWindow

HRESULT BandObject::GetWindow(HWND* phwnd) {
    if (!phwnd) return E_INVALIDARG;
    *phwnd = container_;
    return S_OK;
}

HRESULT BandObject::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

// IDockingWindow

HRESULT BandObject::ShowDW(BOOL fShow) {
    if (container_) ShowWindow(container_, fShow ? SW_SHOW : SW_HIDE);
    return S_OK;
}

void BandObject::CloseWindow() {
    if (container_) DestroyContainerWindow(container_);
    container_ = nullptr;
}

HRESULT BandObject::CloseDW(DWORD) {
    CloseWindow();
    return S_OK;
}

HRESULT BandObject::ResizeBorderDW(LPCRECT, IUnknown*, BOOL) { return E_NOTIMPL; }

// IDeskBand

HRESULT BandObject::GetBandInfo(DWORD, DWORD, DESKBANDINFO* pdbi) {
    if (!pdbi) return E_INVALIDARG;
    // Zeros stand when there is no window yet (or it is gone): the band then reports no size.
    MINMAXINFO reply = {};
    if (container_) SendMessageA(container_, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&reply));
    if (pdbi->dwMask & DBIM_MINSIZE) pdbi->ptMinSize = {reply.ptMinTrackSize.x, reply.ptMinTrackSize.y};
    if (pdbi->dwMask & DBIM_MAXSIZE) pdbi->ptMaxSize = {reply.ptMaxTrackSize.x, reply.ptMaxTrackSize.y};
    if (pdbi->dwMask & DBIM_ACTUAL) pdbi->ptActual = {reply.ptMaxSize.x, reply.ptMaxSize.y};
    // DBIM_INTEGRAL is left as the host set it, with its ptIntegral.
    pdbi->dwModeFlags = DBIMF_NORMAL;
    // No title, and the host's own background colour.
    pdbi->dwMask &= ~static_cast<DWORD>(DBIM_TITLE | DBIM_BKCOLOR);
    return S_OK;
}

// IInputObject

HRESULT BandObject::UIActivateIO(BOOL fActivate, MSG*) {
    // The search pane takes the focus and hands it on to its edit box. It is looked up at
    // each activation, so a pane that is gone is never focused.
    if (fActivate) {
        HWND target = ContainerPane(container_, 1);
        if (target && IsWindow(target)) SetFocus(target);
    }
    return S_OK;
}

HRESULT BandObject::HasFocusIO() {
    if (!container_) return S_FALSE;
    HWND focus = GetFocus();
    if (focus && (focus == container_ || IsChild(container_, focus))) return S_OK;
    return S_FALSE;
}

HRESULT BandObject::TranslateAcceleratorIO(MSG* pMsg) {
    if (!pMsg) return E_INVALIDARG;
    if (pMsg->message != WM_KEYDOWN && pMsg->message != WM_KEYUP) return S_FALSE;
    WPARAM key = pMsg->wParam;
    // The editing keys go straight to the focused control, before the browser reads them as
    // its own commands (Backspace would go back a page).
    if (key == VK_RETURN || key == VK_BACK || key == VK_DELETE || (key >= VK_END && key <= VK_DOWN)) {
        TranslateMessage(pMsg);
        DispatchMessageA(pMsg);
        return S_OK;
    }
    if (GetKeyState(VK_CONTROL) & 0x8000) {
        switch (key) {
        case 'A':
            if (pMsg->message == WM_KEYDOWN) SendMessageA(pMsg->hwnd, EM_SETSEL, 0, -1);
            return S_OK;
        case 'C':
        case 'V':
        case 'X':
        case 'Z':
            TranslateMessage(pMsg);
            DispatchMessageA(pMsg);
            return S_OK;
        }
    }
    return S_FALSE;
}

// IPersist, IPersistStream: nothing is persisted; the settings live in pelorin.ini.

HRESULT BandObject::GetClassID(CLSID* pClassID) {
    if (!pClassID) return E_POINTER;
    *pClassID = CLSID_Pelorband;
    return S_OK;
}

HRESULT BandObject::IsDirty() { return S_FALSE; }
HRESULT BandObject::Load(IStream*) { return S_OK; }
HRESULT BandObject::Save(IStream*, BOOL) { return S_OK; }
HRESULT BandObject::GetSizeMax(ULARGE_INTEGER*) { return E_FAIL; }

// IObjectWithSite

HRESULT BandObject::SetSite(IUnknown* pUnkSite) {
    site_ = ComPtr<IUnknown>(pUnkSite);
    // Unsiting leaves an open window alone: only CloseDW closes it.
    if (!pUnkSite) return S_OK;

    BandCreateParams params = {};
    ComPtr<IOleWindow> oleWindow;
    if (SUCCEEDED(site_.query(IID_IOleWindow, &oleWindow)) && oleWindow) {
        oleWindow->GetWindow(&params.hwndParent);
    }
    // The holders own the record's counted references and release them on every path out;
    // the panes have taken their own by then.
    ComPtr<IInputObjectSite> inputSite;
    site_.query(IID_IInputObjectSite, &inputSite);
    ComPtr<IWebBrowser2> browser;
    ComPtr<IServiceProvider> services;
    if (SUCCEEDED(site_.query(IID_IServiceProvider, &services)) && services) {
        services->QueryService(kServiceWebBrowserApp, IID_IWebBrowser2, browser.put_void());
    }
    params.inputSite = inputSite.get();
    params.browser = browser.get();
    params.band = static_cast<IDeskBand*>(this);

    if (!params.hwndParent) return E_FAIL;
    if (browser) {
        int toolBar = 1;
        browser->get_ToolBar(&toolBar);
        if (toolBar == 0) return E_FAIL;  // the browser window shows no toolbars
    }

    // A band never owns two windows: the one made for an earlier site goes first.
    CloseWindow();
    RegisterContainerWindowClass();
    container_ = CreateContainerWindow(params);
    return S_OK;
}

HRESULT BandObject::GetSite(REFIID riid, void** ppvSite) {
    if (!ppvSite) return E_POINTER;
    *ppvSite = nullptr;
    if (!site_) return E_FAIL;
    return site_->QueryInterface(riid, ppvSite);
}
