#include "common/web_browser_stub.h"

bool WebBrowserStub::IsBrowserInterface(REFIID riid) {
    return riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IWebBrowser ||
           riid == IID_IWebBrowserApp || riid == IID_IWebBrowser2;
}

HRESULT WebBrowserStub::GetTypeInfoCount(UINT* pctinfo) {
    if (pctinfo) *pctinfo = 0;
    return S_OK;
}
HRESULT WebBrowserStub::GetTypeInfo(UINT, LCID, ITypeInfo**) { return E_NOTIMPL; }
HRESULT WebBrowserStub::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) { return E_NOTIMPL; }
HRESULT WebBrowserStub::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}
HRESULT WebBrowserStub::Navigate(BSTR, VARIANT*, VARIANT*, VARIANT*, VARIANT*) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_ToolBar(int*) { return E_NOTIMPL; }
HRESULT WebBrowserStub::put_ToolBar(int) { return E_NOTIMPL; }
HRESULT WebBrowserStub::GoBack() { return E_NOTIMPL; }
HRESULT WebBrowserStub::GoForward() { return E_NOTIMPL; }
HRESULT WebBrowserStub::GoHome() { return E_NOTIMPL; }
HRESULT WebBrowserStub::GoSearch() { return E_NOTIMPL; }
HRESULT WebBrowserStub::Refresh() { return E_NOTIMPL; }
HRESULT WebBrowserStub::Refresh2(VARIANT *Level) { return E_NOTIMPL; }
HRESULT WebBrowserStub::Stop() { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_Application(IDispatch **ppDisp) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_Parent(IDispatch **ppDisp) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_Container(IDispatch **ppDisp) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_Document(IDispatch **ppDisp) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_TopLevelContainer(VARIANT_BOOL *pBool) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_Type(BSTR *Type) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_Left(LONG *pl) { return E_NOTIMPL; }
HRESULT WebBrowserStub::put_Left(LONG Left) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_Top(LONG *pl) { return E_NOTIMPL; }
HRESULT WebBrowserStub::put_Top(LONG Top) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_Width(LONG *pl) { return E_NOTIMPL; }
HRESULT WebBrowserStub::put_Width(LONG Width) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_Height(LONG *pl) { return E_NOTIMPL; }
HRESULT WebBrowserStub::put_Height(LONG Height) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_LocationName(BSTR *LocationName) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_LocationURL(BSTR *LocationURL) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_Busy(VARIANT_BOOL *pBool) { return E_NOTIMPL; }
HRESULT WebBrowserStub::Quit() { return E_NOTIMPL; }
HRESULT WebBrowserStub::ClientToWindow(int *pcx, int *pcy) { return E_NOTIMPL; }
HRESULT WebBrowserStub::PutProperty(BSTR Property, VARIANT vtValue) { return E_NOTIMPL; }
HRESULT WebBrowserStub::GetProperty(BSTR Property, VARIANT *pvtValue) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_Name(BSTR *Name) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_HWND(SHANDLE_PTR *pHWND) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_FullName(BSTR *FullName) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_Path(BSTR *Path) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_Visible(VARIANT_BOOL *pBool) { return E_NOTIMPL; }
HRESULT WebBrowserStub::put_Visible(VARIANT_BOOL Value) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_StatusBar(VARIANT_BOOL *pBool) { return E_NOTIMPL; }
HRESULT WebBrowserStub::put_StatusBar(VARIANT_BOOL Value) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_StatusText(BSTR *StatusText) { return E_NOTIMPL; }
HRESULT WebBrowserStub::put_StatusText(BSTR StatusText) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_MenuBar(VARIANT_BOOL *Value) { return E_NOTIMPL; }
HRESULT WebBrowserStub::put_MenuBar(VARIANT_BOOL Value) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_FullScreen(VARIANT_BOOL *pbFullScreen) { return E_NOTIMPL; }
HRESULT WebBrowserStub::put_FullScreen(VARIANT_BOOL bFullScreen) { return E_NOTIMPL; }
HRESULT WebBrowserStub::Navigate2(VARIANT *URL, VARIANT *Flags, VARIANT *TargetFrameName, VARIANT *PostData, VARIANT *Headers) { return E_NOTIMPL; }
HRESULT WebBrowserStub::QueryStatusWB(OLECMDID cmdID, OLECMDF *pcmdf) { return E_NOTIMPL; }
HRESULT WebBrowserStub::ExecWB(OLECMDID cmdID, OLECMDEXECOPT cmdexecopt, VARIANT *pvaIn, VARIANT *pvaOut) { return E_NOTIMPL; }
HRESULT WebBrowserStub::ShowBrowserBar(VARIANT *pvaClsid, VARIANT *pvarShow, VARIANT *pvarSize) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_ReadyState(READYSTATE *plReadyState) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_Offline(VARIANT_BOOL *pbOffline) { return E_NOTIMPL; }
HRESULT WebBrowserStub::put_Offline(VARIANT_BOOL bOffline) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_Silent(VARIANT_BOOL *pbSilent) { return E_NOTIMPL; }
HRESULT WebBrowserStub::put_Silent(VARIANT_BOOL bSilent) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_RegisterAsBrowser(VARIANT_BOOL *pbRegister) { return E_NOTIMPL; }
HRESULT WebBrowserStub::put_RegisterAsBrowser(VARIANT_BOOL bRegister) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_RegisterAsDropTarget(VARIANT_BOOL *pbRegister) { return E_NOTIMPL; }
HRESULT WebBrowserStub::put_RegisterAsDropTarget(VARIANT_BOOL bRegister) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_TheaterMode(VARIANT_BOOL *pbRegister) { return E_NOTIMPL; }
HRESULT WebBrowserStub::put_TheaterMode(VARIANT_BOOL bRegister) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_AddressBar(VARIANT_BOOL *Value) { return E_NOTIMPL; }
HRESULT WebBrowserStub::put_AddressBar(VARIANT_BOOL Value) { return E_NOTIMPL; }
HRESULT WebBrowserStub::get_Resizable(VARIANT_BOOL *Value) { return E_NOTIMPL; }
HRESULT WebBrowserStub::put_Resizable(VARIANT_BOOL Value) { return E_NOTIMPL; }
