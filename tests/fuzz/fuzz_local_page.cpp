// The bar's local pages from any form body and address: every byte from outside ends up as
// text, never markup. The page is plain ASCII, and its only '<' are the page's own tags: a
// fixed number, and one hidden input per field.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "bar/local_page.h"
#include "fuzz_check.h"

namespace {

// Bytes as code points one for one, with the C1 and high range kept: the escaping must not
// care what the characters are.
std::u32string Latin1(const std::string& bytes) {
    std::u32string out;
    for (unsigned char c : bytes) out += static_cast<char32_t>(c);
    return out;
}

size_t Count(const std::string& text, char c) { return static_cast<size_t>(std::count(text.begin(), text.end(), c)); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    std::string action = input.ConsumeRandomLengthString(300);
    std::string body = input.ConsumeRemainingBytesAsString();

    std::vector<FormField> fields = DecodeFormBody(body);
    FUZZ_CHECK(fields.size() <= Count(body, '&') + 1);

    std::string post = MakePostPage(action, fields, Latin1);
    std::string emptyPost = MakePostPage("", {}, Latin1);
    for (char c : post) FUZZ_CHECK(c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F));
    FUZZ_CHECK(Count(post, '<') == Count(emptyPost, '<') + fields.size());
    FUZZ_CHECK(Count(post, '"') == Count(emptyPost, '"') + 6 * fields.size());

    std::string redirect = MakeRedirectPage(action, Latin1);
    FUZZ_CHECK(Count(redirect, '<') == Count(MakeRedirectPage("", Latin1), '<'));
    FUZZ_CHECK(Count(redirect, '"') == Count(MakeRedirectPage("", Latin1), '"'));
    return 0;
}
