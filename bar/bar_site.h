// The site the bar hands to the band: its window (IOleWindow), where focus changes are told
// (IInputObjectSite) and the browser service (IServiceProvider), behind which the default
// browser stands in. UI thread only; counted, freed at its last Release.
#pragma once

#include <windows.h>
#include <docobj.h>
#include <exdisp.h>
#include <servprov.h>
#include <shobjidl.h>

#include <functional>
#include <string>

#include "common/com_ptr.h"

class BarSite final : public IOleWindow, public IInputObjectSite, public IServiceProvider, public IOleCommandTarget {
public:
    // What the watch pane told: changed true when the page turned Changed, false when it
    // stopped showing it; the page's address and title; what is new in it (empty when the
    // band said nothing of it, as bands before the third element did).
    using PageNotice = std::function<void(bool changed, const std::wstring& address, const std::wstring& title,
                                          const std::wstring& passage)>;

    // browser: what the browser service hands out (one reference taken).
    BarSite(HWND window, IWebBrowser2* browser, PageNotice onPage);

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

    // Whether the band last said it holds the keyboard focus.
    bool BandHasFocus() const { return bandHasFocus_; }

private:
    ~BarSite() = default;
    LONG refs_ = 1;
    HWND window_;
    ComPtr<IWebBrowser2> browser_;
    PageNotice onPage_;
    bool bandHasFocus_ = false;
};
