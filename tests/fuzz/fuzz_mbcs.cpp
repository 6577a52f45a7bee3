// The double-byte helpers against a walk of their own over code page 932's lead-byte table:
// the lead-byte test byte by byte, the last backslash, dot, slash or colon that stands as a
// character (as registration cuts the module's path), the comparison that folds only ASCII
// letters of single-byte characters, and whether a text holds a lead byte.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "common/mbcs.h"
#include "fuzz_check.h"
#include "module/server_paths.h"

namespace {

// Offsets of the single-byte characters of a text that ends at its size; a lead byte takes
// the byte after it, and a lone lead byte at the end is no character.
std::vector<size_t> SingleByteCharacters(const std::string& text) {
    std::vector<size_t> singles;
    for (size_t i = 0; i < text.size(); ++i) {
        if (ReferenceLead(static_cast<unsigned char>(text[i]))) {
            ++i;
        } else {
            singles.push_back(i);
        }
    }
    return singles;
}

size_t ReferenceLast(const std::string& text, char ch) {
    size_t found = std::string::npos;
    for (size_t at : SingleByteCharacters(text)) {
        if (text[at] == ch) found = at;
    }
    return found;
}

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char FlipCase(char c) { return static_cast<char>(c ^ 0x20); }

// Single-byte characters lowered, double-byte ones as they are.
std::string Folded(const std::string& text) {
    std::string folded = text;
    for (size_t at : SingleByteCharacters(text)) {
        if (folded[at] >= 'A' && folded[at] <= 'Z') folded[at] = FlipCase(folded[at]);
    }
    return folded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    for (int b = 0; b < 256; ++b) {
        FUZZ_CHECK(IsCp932LeadByte(static_cast<unsigned char>(b)) == ReferenceLead(static_cast<unsigned char>(b)));
    }

    FuzzedDataProvider input(data, size);
    char other = input.ConsumeIntegral<char>();
    std::string a = input.ConsumeRandomLengthString(1024);
    std::string b = input.ConsumeRemainingBytesAsString();

    // The walks see a text to its first NUL, as a path is.
    std::string path = a.substr(0, a.find('\0'));
    for (char ch : {'\\', '.', '/', ':', other}) {
        if (ReferenceLead(static_cast<unsigned char>(ch)) || ch == '\0') continue;
        FUZZ_CHECK(FindLastCharacter(path.c_str(), ch, IsCp932LeadByte) == ReferenceLast(path, ch));
    }
    size_t cut = std::string::npos;
    for (char separator : {'\\', '/', ':'}) {
        size_t at = ReferenceLast(path, separator);
        if (at != std::string::npos && (cut == std::string::npos || at > cut)) cut = at;
    }
    FUZZ_CHECK(HelpDirectoryOf(path, IsCp932LeadByte) ==
               (cut == std::string::npos ? std::string() : path.substr(0, cut + 1)));
    size_t dot = ReferenceLast(path, '.');
    FUZZ_CHECK(TypeLibFallbackPath(path, IsCp932LeadByte) == path.substr(0, dot) + ".tlb");

    // The comparison sees whole values, NULs included.
    bool equal = EqualsIgnoringAsciiCase(a, b, IsCp932LeadByte);
    FUZZ_CHECK(equal == (a.size() == b.size() && Folded(a) == Folded(b)));
    FUZZ_CHECK(equal == EqualsIgnoringAsciiCase(b, a, IsCp932LeadByte));
    FUZZ_CHECK(EqualsIgnoringAsciiCase(a, a, IsCp932LeadByte));
    // Flipping the case of single-byte letters keeps the value; of a trail byte, never.
    std::string flipped = a;
    for (size_t at : SingleByteCharacters(a)) {
        if (IsAsciiLetter(flipped[at])) flipped[at] = FlipCase(flipped[at]);
    }
    FUZZ_CHECK(EqualsIgnoringAsciiCase(a, flipped, IsCp932LeadByte));
    for (size_t i = 0; i + 1 < a.size(); ++i) {
        if (!ReferenceLead(static_cast<unsigned char>(a[i]))) continue;
        if (IsAsciiLetter(a[i + 1])) {
            std::string trailFlipped = a;
            trailFlipped[i + 1] = FlipCase(trailFlipped[i + 1]);
            FUZZ_CHECK(!EqualsIgnoringAsciiCase(a, trailFlipped, IsCp932LeadByte));
        }
        ++i;
    }

    bool holds = false;
    for (char c : a) holds = holds || ReferenceLead(static_cast<unsigned char>(c));
    FUZZ_CHECK(HoldsLeadByte(a, IsCp932LeadByte) == holds);
    return 0;
}
