// What is new in a text, from any two texts (the input's first byte says whether numbers are
// ignored; its first NUL after that parts the seen text from the new one): against a plain
// set of the seen lines compared as strings, the kind, the first new line and the count; and
// the passage valid UTF-8 without control characters, trimmed, within the cut.
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "services/new_passages.h"

namespace {

std::string Compared(std::string_view line, bool ignoreNumbers) {
    std::string out;
    for (size_t i = 0; i < line.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(line[i]);
        if (ignoreNumbers && b >= '0' && b <= '9') continue;
        if (ignoreNumbers && line.substr(i, 2) == "\xEF\xBC" && i + 2 < line.size() &&
            static_cast<unsigned char>(line[i + 2]) >= 0x90 && static_cast<unsigned char>(line[i + 2]) <= 0x99) {
            i += 2;
            continue;
        }
        out += line[i];
    }
    return out;
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n') {
            if (i > start) lines.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    return lines;
}

// Well-formed UTF-8 by the rules written out again, each character's code point in turn.
bool ValidUtf8(const std::string& s, std::vector<uint32_t>* codePoints) {
    for (size_t i = 0; i < s.size();) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        size_t n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        uint32_t c = n == 1 ? b : b & (0xFF >> (n + 1));
        for (size_t k = 1; k < n; ++k) {
            unsigned char t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            c = (c << 6) | (t & 0x3F);
        }
        static const uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
        if (c < kLeast[n] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
        codePoints->push_back(c);
        i += n;
    }
    return true;
}

void CheckPassage(const std::string& passage) {
    std::vector<uint32_t> cps;
    FUZZ_CHECK(ValidUtf8(passage, &cps));
    FUZZ_CHECK(!cps.empty() && cps.front() != ' ' && cps.back() != ' ');
    FUZZ_CHECK(cps.size() <= kPassageCharacters || (cps.size() == kPassageCharacters + 1 && cps.back() == 0x2026));
    for (uint32_t c : cps) FUZZ_CHECK(c >= 0x20 && !(c >= 0x7F && c <= 0x9F) && c != 0x2028 && c != 0x2029);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    bool ignoreNumbers = data[0] & 1;
    std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    size_t cut = rest.find('\0');
    std::string_view seen = cut == std::string_view::npos ? rest.substr(0, rest.size() / 2) : rest.substr(0, cut);
    std::string_view next = cut == std::string_view::npos ? rest.substr(rest.size() / 2) : rest.substr(cut + 1);

    NewPassages found = FindNewPassages(seen, next, ignoreNumbers);

    std::set<std::string> seenLines;
    for (std::string_view line : Lines(seen)) {
        std::string compared = Compared(line, ignoreNumbers);
        if (!compared.empty()) seenLines.insert(compared);
    }
    std::set<std::string> stillThere;
    std::vector<std::string_view> newLines;
    for (std::string_view line : Lines(next)) {
        std::string compared = Compared(line, ignoreNumbers);
        if (compared.empty()) continue;
        if (seenLines.count(compared)) {
            stillThere.insert(compared);
        } else if (!ReadablePassage(line, 1).empty()) {
            newLines.push_back(line);
        }
    }

    if (seen == next || newLines.empty()) {
        FUZZ_CHECK(found.kind == NewPassageKind::None);
        return 0;
    }
    bool rewritten = seenLines.size() >= kRewrittenFloorLines && stillThere.size() * 2 < seenLines.size();
    if (rewritten) {
        FUZZ_CHECK(found.kind == NewPassageKind::ManyPlaces);
        return 0;
    }
    FUZZ_CHECK(found.kind == NewPassageKind::Found);
    FUZZ_CHECK(found.further == newLines.size() - 1);
    FUZZ_CHECK(found.first == ReadablePassage(newLines[0], kPassageCharacters));
    CheckPassage(found.first);
    return 0;
}
