#include "services/new_passages.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "services/charset.h"

namespace {

// One well-formed UTF-8 character at the start of bytes: its code point and length, or a
// length of 0 when the first byte does not begin one (Unicode's table of well-formed byte
// sequences: no overlong forms, no surrogates, nothing past U+10FFFF).
struct Decoded {
    uint32_t codePoint;
    size_t length;
};

bool Between(unsigned char b, unsigned char low, unsigned char high) { return b >= low && b <= high; }

Decoded DecodeOne(const unsigned char* p, size_t available) {
    unsigned char b = p[0];
    if (b < 0x80) return {b, 1};
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the second byte's range
    if (Between(b, 0xC2, 0xDF)) {
        length = 2;
    } else if (Between(b, 0xE0, 0xEF)) {
        length = 3;
        if (b == 0xE0) low = 0xA0;
        if (b == 0xED) high = 0x9F;
    } else if (Between(b, 0xF0, 0xF4)) {
        length = 4;
        if (b == 0xF0) low = 0x90;
        if (b == 0xF4) high = 0x8F;
    } else {
        return {0, 0};
    }
    if (available < length || !Between(p[1], low, high)) return {0, 0};
    uint32_t codePoint = b & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if (i > 1 && !Between(p[i], 0x80, 0xBF)) return {0, 0};
        codePoint = (codePoint << 6) | (p[i] & 0x3F);
    }
    return {codePoint, length};
}

bool IsControl(uint32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029; }

// Calls f for each non-empty line of text.
template <typename F>
void ForEachLine(std::string_view text, F f) {
    size_t start = 0;
    while (start < text.size()) {
        const void* found = std::memchr(text.data() + start, '\n', text.size() - start);
        size_t end = found ? static_cast<size_t>(static_cast<const char*>(found) - text.data()) : text.size();
        if (end > start) f(text.substr(start, end - start));
        start = end + 1;
    }
}

// A line's key: FNV-1a over its compared bytes, then the count of those bytes mixed in and
// the whole scrambled (MurmurHash3's finaliser), so that keys spread over all 64 bits.
// False when nothing is left to compare (a line of digits alone, with ignoreNumbers).
bool LineKey(std::string_view line, bool ignoreNumbers, uint64_t* key) {
    uint64_t hash = 14695981039346656037ull;
    uint64_t length = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(line.data());
    size_t n = line.size();
    for (size_t i = 0; i < n; ++i) {
        if (ignoreNumbers) {
            if (p[i] >= '0' && p[i] <= '9') continue;
            // U+FF10-U+FF19, the full-width digits: EF BC 90-99.
            if (p[i] == 0xEF && i + 2 < n && p[i + 1] == 0xBC && Between(p[i + 2], 0x90, 0x99)) {
                i += 2;
                continue;
            }
        }
        hash = (hash ^ p[i]) * 1099511628211ull;
        ++length;
    }
    if (length == 0) return false;
    hash ^= length * 0x9E3779B97F4A7C15ull;
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDull;
    hash ^= hash >> 33;
    hash *= 0xC4CEB9FE1A85EC53ull;
    hash ^= hash >> 33;
    *key = hash;
    return true;
}

}  // namespace

std::string ReadablePassage(std::string_view bytes, size_t maxCharacters) {
    std::string out;
    size_t characters = 0;
    bool pendingSpace = false;  // a space is written only before the next other character
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    for (size_t i = 0; i < bytes.size();) {
        Decoded d = DecodeOne(p + i, bytes.size() - i);
        uint32_t c = d.length ? d.codePoint : 0xFFFD;
        i += d.length ? d.length : 1;
        if (c == ' ' || IsControl(c)) {
            pendingSpace = characters > 0;
            continue;
        }
        if (characters + (pendingSpace ? 1 : 0) >= maxCharacters) {
            out += "\xE2\x80\xA6";  // …
            return out;
        }
        if (pendingSpace) {
            out += ' ';
            ++characters;
            pendingSpace = false;
        }
        AppendUtf8(c, &out);
        ++characters;
    }
    return out;
}

NewPassages FindNewPassages(std::string_view seenText, std::string_view newText, bool ignoreNumbers) {
    NewPassages result;
    if (seenText == newText) return result;
    if (seenText.size() > kMaxSeenTextBytes) {
        result.kind = NewPassageKind::ManyPlaces;
        return result;
    }

    // The seen lines' keys, sorted and distinct: a look-up is a binary search, so no choice of
    // lines (colliding in a table's buckets, say) makes the work grow faster than n log n.
    std::vector<uint64_t> seen;
    seen.reserve(static_cast<size_t>(std::count(seenText.begin(), seenText.end(), '\n')) + 1);
    ForEachLine(seenText, [&](std::string_view line) {
        uint64_t key;
        if (LineKey(line, ignoreNumbers, &key)) seen.push_back(key);
    });
    std::sort(seen.begin(), seen.end());
    seen.erase(std::unique(seen.begin(), seen.end()), seen.end());
    seen.shrink_to_fit();
    std::vector<unsigned char> stillThere(seen.size(), 0);

    std::string_view firstNew;
    size_t newLines = 0;
    ForEachLine(newText, [&](std::string_view line) {
        uint64_t key;
        if (!LineKey(line, ignoreNumbers, &key)) return;
        auto at = std::lower_bound(seen.begin(), seen.end(), key);
        if (at != seen.end() && *at == key) {
            stillThere[static_cast<size_t>(at - seen.begin())] = 1;
        } else if (!ReadablePassage(line, 1).empty()) {  // a line of controls and spaces reads as nothing
            if (newLines++ == 0) firstNew = line;
        }
    });
    if (newLines == 0) return result;

    size_t kept = static_cast<size_t>(std::count(stillThere.begin(), stillThere.end(), 1));
    if (seen.size() >= kRewrittenFloorLines && kept * 2 < seen.size()) {
        result.kind = NewPassageKind::ManyPlaces;
        return result;
    }
    result.kind = NewPassageKind::Found;
    result.first = ReadablePassage(firstNew, kPassageCharacters);
    result.further = newLines - 1;
    return result;
}
