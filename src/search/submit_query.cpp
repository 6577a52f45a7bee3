#include "search/submit_query.h"

#include <shellapi.h>

#include "common/ansi.h"
#include "search/query_encoding.h"

namespace {

const char kFormHeader[] = "Content-Type: application/x-www-form-urlencoded\r\n";

// A VARIANT that clears itself, freeing the byte array or the header string it holds.
struct Variant : VARIANT {
    Variant() { VariantInit(this); }
    ~Variant() { VariantClear(this); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
};

// The body as a one-dimensional byte array with lower bound 0, one element per byte.
bool PutBody(Variant& postData, const std::string& body) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(body.size()));
    if (!array) return false;
    for (LONG i = 0; i < static_cast<LONG>(body.size()); ++i) {
        unsigned char byte = static_cast<unsigned char>(body[static_cast<size_t>(i)]);
        if (FAILED(SafeArrayPutElement(array, &i, &byte))) {
            SafeArrayDestroy(array);
            return false;
        }
    }
    V_VT(&postData) = VT_ARRAY | VT_UI1;
    V_ARRAY(&postData) = array;
    return true;
}

void Navigate(IWebBrowser2* browser, const SearchRequest& request) {
    Variant postData, headers;
    if (request.post) {
        // Out of memory: better no request than a POST without its body.
        if (!PutBody(postData, request.body)) return;
        BSTR header = AnsiToBstr(kFormHeader);
        if (!header) return;
        V_VT(&headers) = VT_BSTR;
        V_BSTR(&headers) = header;
    }
    BSTR url = AnsiToBstr(request.address);
    if (!url) return;
    // The result is not examined: a navigation that fails shows its own page in the browser.
    browser->Navigate(url, nullptr, nullptr, &postData, &headers);
    SysFreeString(url);
}

}  // namespace

void SubmitQuery(const std::vector<SearchEngine>& engines, IWebBrowser2* browser,
                 const std::string& query) {
    std::string encoded = EncodeQuery(query.c_str());
    bool multibyte = IsMultibyteQuery(query, IsAnsiLeadByte);
    for (const SearchEngine& engine : engines) {
        if (!EngineAccepts(engine, multibyte, IsAnsiLeadByte)) continue;
        SearchRequest request = MakeSearchRequest(engine, encoded, IsAnsiLeadByte);
        if (browser) {
            Navigate(browser, request);
        } else if (request.post) {
            MessageBoxA(nullptr, "タスクバーからPOSTはできません。", "Pelorin", MB_OK);
        } else {
            ShellExecuteA(nullptr, "open", request.address.c_str(), nullptr, nullptr,
                          SW_SHOWNORMAL);
        }
    }
}
