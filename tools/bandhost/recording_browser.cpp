#include "recording_browser.h"

#include "common/ansi.h"

HRESULT RecordingBrowser::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IWebBrowser ||
        riid == IID_IWebBrowserApp || riid == IID_IWebBrowser2) {
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

HRESULT RecordingBrowser::GetTypeInfoCount(UINT* pctinfo) {
    if (pctinfo) *pctinfo = 0;
    return S_OK;
}
HRESULT RecordingBrowser::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
HRESULT RecordingBrowser::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
HRESULT RecordingBrowser::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

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

HRESULT RecordingBrowser::GoBack() { return E_NOTIMPL; }
HRESULT RecordingBrowser::GoForward() { return E_NOTIMPL; }
HRESULT RecordingBrowser::GoHome() { return E_NOTIMPL; }
HRESULT RecordingBrowser::GoSearch() { return E_NOTIMPL; }
HRESULT RecordingBrowser::Refresh() { return E_NOTIMPL; }
HRESULT RecordingBrowser::Refresh2(VARIANT *Level) { return E_NOTIMPL; }
HRESULT RecordingBrowser::Stop() { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_Application(IDispatch **ppDisp) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_Parent(IDispatch **ppDisp) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_Container(IDispatch **ppDisp) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_Document(IDispatch **ppDisp) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_TopLevelContainer(VARIANT_BOOL *pBool) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_Type(BSTR *Type) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_Left(LONG *pl) { return E_NOTIMPL; }
HRESULT RecordingBrowser::put_Left(LONG Left) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_Top(LONG *pl) { return E_NOTIMPL; }
HRESULT RecordingBrowser::put_Top(LONG Top) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_Width(LONG *pl) { return E_NOTIMPL; }
HRESULT RecordingBrowser::put_Width(LONG Width) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_Height(LONG *pl) { return E_NOTIMPL; }
HRESULT RecordingBrowser::put_Height(LONG Height) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_LocationName(BSTR *LocationName) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_LocationURL(BSTR *LocationURL) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_Busy(VARIANT_BOOL *pBool) { return E_NOTIMPL; }
HRESULT RecordingBrowser::Quit() { return E_NOTIMPL; }
HRESULT RecordingBrowser::ClientToWindow(int *pcx, int *pcy) { return E_NOTIMPL; }
HRESULT RecordingBrowser::PutProperty(BSTR Property, VARIANT vtValue) { return E_NOTIMPL; }
HRESULT RecordingBrowser::GetProperty(BSTR Property, VARIANT *pvtValue) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_Name(BSTR *Name) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_HWND(SHANDLE_PTR *pHWND) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_FullName(BSTR *FullName) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_Path(BSTR *Path) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_Visible(VARIANT_BOOL *pBool) { return E_NOTIMPL; }
HRESULT RecordingBrowser::put_Visible(VARIANT_BOOL Value) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_StatusBar(VARIANT_BOOL *pBool) { return E_NOTIMPL; }
HRESULT RecordingBrowser::put_StatusBar(VARIANT_BOOL Value) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_StatusText(BSTR *StatusText) { return E_NOTIMPL; }
HRESULT RecordingBrowser::put_StatusText(BSTR StatusText) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_MenuBar(VARIANT_BOOL *Value) { return E_NOTIMPL; }
HRESULT RecordingBrowser::put_MenuBar(VARIANT_BOOL Value) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_FullScreen(VARIANT_BOOL *pbFullScreen) { return E_NOTIMPL; }
HRESULT RecordingBrowser::put_FullScreen(VARIANT_BOOL bFullScreen) { return E_NOTIMPL; }
HRESULT RecordingBrowser::Navigate2(VARIANT *URL, VARIANT *Flags, VARIANT *TargetFrameName, VARIANT *PostData, VARIANT *Headers) { return E_NOTIMPL; }
HRESULT RecordingBrowser::QueryStatusWB(OLECMDID cmdID, OLECMDF *pcmdf) { return E_NOTIMPL; }
HRESULT RecordingBrowser::ExecWB(OLECMDID cmdID, OLECMDEXECOPT cmdexecopt, VARIANT *pvaIn, VARIANT *pvaOut) { return E_NOTIMPL; }
HRESULT RecordingBrowser::ShowBrowserBar(VARIANT *pvaClsid, VARIANT *pvarShow, VARIANT *pvarSize) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_ReadyState(READYSTATE *plReadyState) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_Offline(VARIANT_BOOL *pbOffline) { return E_NOTIMPL; }
HRESULT RecordingBrowser::put_Offline(VARIANT_BOOL bOffline) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_Silent(VARIANT_BOOL *pbSilent) { return E_NOTIMPL; }
HRESULT RecordingBrowser::put_Silent(VARIANT_BOOL bSilent) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_RegisterAsBrowser(VARIANT_BOOL *pbRegister) { return E_NOTIMPL; }
HRESULT RecordingBrowser::put_RegisterAsBrowser(VARIANT_BOOL bRegister) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_RegisterAsDropTarget(VARIANT_BOOL *pbRegister) { return E_NOTIMPL; }
HRESULT RecordingBrowser::put_RegisterAsDropTarget(VARIANT_BOOL bRegister) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_TheaterMode(VARIANT_BOOL *pbRegister) { return E_NOTIMPL; }
HRESULT RecordingBrowser::put_TheaterMode(VARIANT_BOOL bRegister) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_AddressBar(VARIANT_BOOL *Value) { return E_NOTIMPL; }
HRESULT RecordingBrowser::put_AddressBar(VARIANT_BOOL Value) { return E_NOTIMPL; }
HRESULT RecordingBrowser::get_Resizable(VARIANT_BOOL *Value) { return E_NOTIMPL; }
HRESULT RecordingBrowser::put_Resizable(VARIANT_BOOL Value) { return E_NOTIMPL; }
