// Tag removal against the removal steps transcribed literally, byte for byte: over the whole
// byte count (NULs ordinary bytes), and over the text to its first NUL for bodies that hold
// none. The fast version works in a buffer of exactly the body's size, so a step past its
// end is caught.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fuzz_check.h"
#include "literal_markup.h"
#include "services/markup.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::unique_ptr<char[]> fast(new char[size]);
    if (size) std::memcpy(fast.get(), data, size);
    size_t fastSize = RemoveMarkupTags(fast.get(), size);
    FUZZ_CHECK(fastSize <= size);

    // One byte more than the body, so that even an empty body has an address to search.
    std::vector<char> literal(data, data + size);
    literal.push_back('\0');
    size_t literalSize = LiteralRemoveTags(literal.data(), size);
    FUZZ_CHECK(fastSize == literalSize);
    FUZZ_CHECK(fastSize == 0 || std::memcmp(fast.get(), literal.data(), fastSize) == 0);

    if (!std::memchr(data, '\0', size)) {
        std::vector<char> text(data, data + size);
        text.push_back('\0');
        size_t textSize = LiteralRemoveTagsFromText(text.data(), size);
        FUZZ_CHECK(textSize == fastSize);
        FUZZ_CHECK(std::strlen(text.data()) == textSize);
        FUZZ_CHECK(fastSize == 0 || std::memcmp(fast.get(), text.data(), fastSize) == 0);
    }
    return 0;
}
