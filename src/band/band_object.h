// The band object: what the browser's toolbar area (or the taskbar) sites, sizes, shows and
// closes. Apartment-threaded: every call comes on the host's UI thread, so the reference
// count is a plain integer. It owns at most one window, the container, made by SetSite.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "common/com_ptr.h"

// {408EA957-CF17-4D81-93AB-FDDA7ACDA90F}
extern const CLSID CLSID_Pelorband;

class BandObject final : public IDeskBand,
                   public IInputObject,
                   public IPersistStream,
                   public IObjectWithSite {
public:
    // With an outer unknown the object is aggregated: every face's IUnknown slots go to the
    // outer object and only the inner unknown (QueryInterface for IUnknown) answers from the
    // table. Hands out one reference in *ppv on success.
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv);

    // IUnknown (every face): delegates to the controlling unknown.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* phwnd) override;
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL fEnterMode) override;
    // IDockingWindow
    HRESULT STDMETHODCALLTYPE ShowDW(BOOL fShow) override;
    HRESULT STDMETHODCALLTYPE CloseDW(DWORD dwReserved) override;
    HRESULT STDMETHODCALLTYPE ResizeBorderDW(LPCRECT prcBorder, IUnknown* punkToolbarSite,
                                             BOOL fReserved) override;
    // IDeskBand
    HRESULT STDMETHODCALLTYPE GetBandInfo(DWORD dwBandID, DWORD dwViewMode, DESKBANDINFO* pdbi) override;
    // IInputObject
    HRESULT STDMETHODCALLTYPE UIActivateIO(BOOL fActivate, MSG* pMsg) override;
    HRESULT STDMETHODCALLTYPE HasFocusIO() override;
    HRESULT STDMETHODCALLTYPE TranslateAcceleratorIO(MSG* pMsg) override;
    // IPersist, IPersistStream
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* pClassID) override;
    HRESULT STDMETHODCALLTYPE IsDirty() override;
    HRESULT STDMETHODCALLTYPE Load(IStream* pStm) override;
    HRESULT STDMETHODCALLTYPE Save(IStream* pStm, BOOL fClearDirty) override;
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* pcbSize) override;
    // IObjectWithSite
    HRESULT STDMETHODCALLTYPE SetSite(IUnknown* pUnkSite) override;
    HRESULT STDMETHODCALLTYPE GetSite(REFIID riid, void** ppvSite) override;

private:
    // The non-delegating unknown: the object's own count and its interface table.
    class Inner : public IUnknown {
    public:
        HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
        ULONG STDMETHODCALLTYPE AddRef() override;
        ULONG STDMETHODCALLTYPE Release() override;
        BandObject* owner;
    };

    explicit BandObject(IUnknown* outer);
    ~BandObject();
    void CloseWindow();

    Inner inner_;
    IUnknown* controlling_;  // the outer object, or inner_; not counted
    bool aggregated_;
    ULONG refs_ = 1;
    ComPtr<IUnknown> site_;
    HWND container_ = nullptr;
};
