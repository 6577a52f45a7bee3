// A page's text from any body, decoded in the character set it declares (the platform's code
// pages stood in for by one byte to one character): valid UTF-8, lines that are neither empty
// nor begin or end with a space nor hold two in a row, no control character, no digit when
// numbers are ignored, and each line read again as a page of its own is itself when it holds
// no '<' or '&'.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "services/charset.h"
#include "services/page_text.h"

namespace {

bool ByteAsCharacter(int, const char* bytes, size_t count, std::u16string* text) {
    for (size_t k = 0; k < count; ++k) text->push_back(static_cast<unsigned char>(bytes[k]));
    return true;
}

void CheckText(const std::string& text, bool withoutNumbers) {
    FUZZ_CHECK(IsValidUtf8(text));
    if (text.empty()) return;
    FUZZ_CHECK(text.front() != '\n' && text.back() != '\n');
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        FUZZ_CHECK(!line.empty());
        FUZZ_CHECK(line.front() != ' ' && line.back() != ' ');
        FUZZ_CHECK(line.find("  ") == std::string::npos);
        for (char c : line) {
            unsigned char b = static_cast<unsigned char>(c);
            FUZZ_CHECK(b >= 0x20 && b != 0x7F);
            FUZZ_CHECK(!withoutNumbers || !(b >= '0' && b <= '9'));
        }
        FUZZ_CHECK(!withoutNumbers || line.find("\xEF\xBC\x90") == std::string::npos);
        if (line.find_first_of("<&") == std::string::npos) {
            FUZZ_CHECK(ExtractPageText(line, withoutNumbers) == line);
        }
        start = end + 1;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* body = reinterpret_cast<const char*>(data);
    // The first byte, when it is one, picks a header's charset: none, UTF-8 or EUC-JP.
    static const char* kHeaders[] = {"", "text/html; charset=utf-8", "text/html; charset=euc-jp"};
    std::string header = kHeaders[size ? data[0] % 3 : 0];
    int codePage = BodyCodePage(body, size, header);
    FUZZ_CHECK(codePage != 0);
    std::string converted;
    std::string_view text = BodyAsUtf8(body, size, codePage, ByteAsCharacter, &converted);
    CheckText(ExtractPageText(text, false), false);
    CheckText(ExtractPageText(text, true), true);
    return 0;
}
