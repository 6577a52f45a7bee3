#include "default_browser.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "common/ansi.h"
#include "local_page.h"

namespace {

// Only web addresses are opened: an address that named a program or a file would otherwise
// be started by the shell.
bool IsWebAddress(const std::wstring& address) {
    return StrCmpNIW(address.c_str(), L"http://", 7) == 0 || StrCmpNIW(address.c_str(), L"https://", 8) == 0;
}

bool BodyOf(const VARIANT* postData, std::string* body) {
    if (!postData || V_VT(postData) != (VT_ARRAY | VT_UI1) || !V_ARRAY(postData)) return false;
    SAFEARRAY* array = V_ARRAY(postData);
    if (SafeArrayGetDim(array) != 1) return false;
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) return false;
    body->assign(static_cast<const char*>(data), static_cast<size_t>(upper - lower + 1));
    SafeArrayUnaccessData(array);
    return true;
}

}  // namespace

DefaultBrowser::DefaultBrowser(LocalPages* pages) : pages_(pages) {}

HRESULT DefaultBrowser::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!IsBrowserInterface(riid)) return E_NOINTERFACE;
    *ppv = static_cast<IWebBrowser2*>(this);
    AddRef();
    return S_OK;
}

ULONG DefaultBrowser::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }

ULONG DefaultBrowser::Release() {
    LONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return static_cast<ULONG>(refs);
}

HRESULT DefaultBrowser::Navigate(BSTR URL, VARIANT*, VARIANT*, VARIANT* PostData, VARIANT*) {
    if (!URL) return E_INVALIDARG;
    std::wstring address(URL, SysStringLen(URL));
    if (!IsWebAddress(address)) return E_INVALIDARG;
    std::string ansi = WideToAnsi(address.c_str());
    std::string body;
    // The form's own encoding sends the body's content type, so the Headers go unused.
    if (BodyOf(PostData, &body)) return pages_->Open(MakePostPage(ansi, DecodeFormBody(body), AnsiToCodePoints));
    if (address.size() >= kLongAddress) return pages_->Open(MakeRedirectPage(ansi, AnsiToCodePoints));
    HINSTANCE result = ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32 ? S_OK : E_FAIL;
}

HRESULT DefaultBrowser::get_ToolBar(int* Value) {
    if (!Value) return E_POINTER;
    *Value = 1;
    return S_OK;
}
