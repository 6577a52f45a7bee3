// A page's title from any body: the bytes found are the body's own, the code page is one the
// label table can give, and the tidied text can stand in an item line (no comma, no control
// character, no space at either end or twice in a row) whatever the references in it say.
#include <cstdint>
#include <string>

#include "settings/page_title.h"
#include "fuzz_check.h"

namespace {

void CheckFound(const std::string& body, const PageTitle& title) {
    if (!title.found) return;
    bool utf16 = title.declaredCodePage == kCodePageUtf16Le || title.declaredCodePage == kCodePageUtf16Be;
    FUZZ_CHECK(!utf16 || title.bytes.size() % 2 == 0);
    FUZZ_CHECK(body.find(title.bytes) != std::string::npos);
}

void CheckCodePage(int codePage) {
    // Every code page the table and the marks give, and nothing else.
    static const int kKnown[] = {0,     65001, 932,   20932, 50220, 1252,  1200,  1201,  936,  54936,
                                 950,   949,   20866, 21866, 874,   866,   10000, 1250,  1251, 1253,
                                 1254,  1255,  1256,  1257,  1258,  28592, 28593, 28594, 28595,
                                 28596, 28597, 28598, 28599, 28600, 28601, 28603, 28604, 28605, 28606};
    bool known = false;
    for (int k : kKnown) known = known || k == codePage;
    FUZZ_CHECK(known);
}

void CheckClean(const std::u16string& clean) {
    if (clean.empty()) return;
    FUZZ_CHECK(clean.front() != u' ' && clean.back() != u' ');
    for (size_t i = 0; i < clean.size(); ++i) {
        char16_t c = clean[i];
        FUZZ_CHECK(c >= 0x20 && c != 0x7F && c != 0xA0 && c != u',');
        FUZZ_CHECK(!(c == u' ' && i + 1 < clean.size() && clean[i + 1] == u' '));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string body(reinterpret_cast<const char*>(data), size);
    PageTitle title = FindPageTitle(body.data(), body.size());
    CheckFound(body, title);
    CheckCodePage(title.declaredCodePage);
    CheckCodePage(CodePageOfCharset(body));
    int codePage = TitleCodePage(title);
    FUZZ_CHECK(codePage != 0);
    FUZZ_CHECK(title.declaredCodePage || codePage == kCodePageShiftJis || IsValidUtf8(title.bytes));

    // The body's bytes as text in each way the platform could hand them back.
    std::u16string text;
    FUZZ_CHECK(DecodeUtf16(body, size > 0 && (data[0] & 1), &text) == (size % 2 == 0));
    CheckClean(CleanTitleText(text));
    CheckClean(CleanTitleText(std::u16string(body.begin(), body.end())));

    std::string eucJp;
    if (Iso2022JpToEucJp(body, &eucJp)) FUZZ_CHECK(eucJp.find('\x1B') == std::string::npos);
    return 0;
}
