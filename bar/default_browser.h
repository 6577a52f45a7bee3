// What stands in for the browser behind the bar's browser service: the user's default
// browser. Its ToolBar property is 1 (the band refuses to appear in a browser without
// toolbars); Navigate opens the address with the default browser, or, for a POST or an
// address too long for the shell, a local page that does it; every other member answers
// E_NOTIMPL and does nothing. UI thread only.
#pragma once

#include <windows.h>
#include <string>

#include "common/web_browser_stub.h"
#include "local_pages.h"

class DefaultBrowser final : public WebBrowserStub {
public:
    explicit DefaultBrowser(LocalPages* pages);  // the pages outlive this object

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE Navigate(BSTR URL, VARIANT* Flags, VARIANT* TargetFrameName,
                                       VARIANT* PostData, VARIANT* Headers) override;
    HRESULT STDMETHODCALLTYPE get_ToolBar(int* Value) override;

private:
    ~DefaultBrowser() override = default;
    LONG refs_ = 1;
    LocalPages* pages_;
};

// Addresses from this length on are not handed to the shell but opened through a local page:
// Wine's ShellExecute never returns with one of 984 characters or more, and a search the
// band sends can be 777 characters of query alone.
constexpr size_t kLongAddress = 900;
