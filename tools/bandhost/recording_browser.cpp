#include "recording_browser.h"

#include "common/ansi.h"

HRESULT RecordingBrowser::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsBrowserInterface(riid)) {
        *ppv = static_cast<IWebBrowser2*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG RecordingBrowser::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

// The host owns the recorder; the count only tells tests whether every reference came back.
ULONG RecordingBrowser::Release() { return static_cast<ULONG>(InterlockedDecrement(&refs_)); }

HRESULT RecordingBrowser::Navigate(BSTR URL, VARIANT* Flags, VARIANT* TargetFrameName,
                                   VARIANT* PostData, VARIANT* Headers) {
    NavigateCall call;
    call.url = WideToAnsi(URL);
    call.flagsGiven = Flags != nullptr;
    call.targetGiven = TargetFrameName != nullptr;
    call.postDataType = PostData ? V_VT(PostData) : static_cast<VARTYPE>(VT_ILLEGAL);
    if (PostData && V_VT(PostData) == (VT_ARRAY | VT_UI1) && V_ARRAY(PostData)) {
        SAFEARRAY* array = V_ARRAY(PostData);
        LONG upper = -1;
        SafeArrayGetLBound(array, 1, &call.postDataLowerBound);
        SafeArrayGetUBound(array, 1, &upper);
        call.postDataElements = upper - call.postDataLowerBound + 1;
        for (LONG i = call.postDataLowerBound; i <= upper; ++i) {
            unsigned char byte = 0;
            SafeArrayGetElement(array, &i, &byte);
            call.postData += static_cast<char>(byte);
        }
    }
    call.headersType = Headers ? V_VT(Headers) : static_cast<VARTYPE>(VT_ILLEGAL);
    if (Headers && V_VT(Headers) == VT_BSTR) call.headers = WideToAnsi(V_BSTR(Headers));
    navigations.push_back(call);
    return S_OK;
}

HRESULT RecordingBrowser::get_ToolBar(int* Value) {
    if (!Value) return E_POINTER;
    *Value = toolBar;
    return S_OK;
}

HRESULT RecordingBrowser::put_ToolBar(int Value) {
    toolBar = Value;
    return S_OK;
}
