// The browser a band host offers behind its browser service: an IWebBrowser2 that records
// every Navigate call (address, flags, target frame, post data bytes, headers) and answers
// its ToolBar property. Every other member answers E_NOTIMPL.
#pragma once

#include <windows.h>
#include "common/web_browser_stub.h"
#include <string>
#include <vector>

struct NavigateCall {
    std::string url;             // converted to the ANSI code page
    bool flagsGiven = false;     // a non-null Flags pointer
    bool targetGiven = false;    // a non-null TargetFrameName pointer
    VARTYPE postDataType = VT_EMPTY;  // VT_ILLEGAL for a null PostData pointer
    std::string postData;        // the bytes of a VT_ARRAY | VT_UI1 body
    LONG postDataLowerBound = 0;
    LONG postDataElements = 0;
    VARTYPE headersType = VT_EMPTY;   // VT_ILLEGAL for a null Headers pointer
    std::string headers;         // a VT_BSTR header text, converted to the ANSI code page
};

class RecordingBrowser : public WebBrowserStub {
public:
    RecordingBrowser() = default;

    // What the recorder saw; on the thread that calls Navigate (the host's UI thread).
    std::vector<NavigateCall> navigations;
    int toolBar = 1;  // what get_ToolBar answers
    LONG RefCount() const { return refs_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // The members that record and answer.
    HRESULT STDMETHODCALLTYPE Navigate(BSTR URL, VARIANT* Flags, VARIANT* TargetFrameName,
                                       VARIANT* PostData, VARIANT* Headers) override;
    HRESULT STDMETHODCALLTYPE get_ToolBar(int* Value) override;
    HRESULT STDMETHODCALLTYPE put_ToolBar(int Value) override;

private:
    LONG refs_ = 1;
};
