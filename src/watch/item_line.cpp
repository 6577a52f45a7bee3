#include "watch/item_line.h"

#include <climits>
#include <cstring>

namespace {

constexpr size_t kTitleWidth = 259;
constexpr size_t kUrlWidth = 779;

// The blanks of the C locale, which is what the pattern's conversions skip.
bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::optional<WatchItemLineFields> ScanWatchItemLine(const std::string& line) {
    const char* p = line.c_str();
    WatchItemLineFields fields;

    size_t titleLength = 0;
    while (p[titleLength] != '\0' && p[titleLength] != ',' && titleLength < kTitleWidth) ++titleLength;
    if (titleLength == 0 || p[titleLength] != ',') return std::nullopt;
    fields.title.assign(p, titleLength);
    p += titleLength + 1;

    while (IsBlank(*p)) ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (!IsDigit(*p)) return std::nullopt;
    // Accumulated below zero, where INT_MIN fits, and no further once far past an int.
    long long value = 0;
    for (; IsDigit(*p); ++p) {
        if (value > LLONG_MIN / 100) value = value * 10 - (*p - '0');
    }
    if (!negative) value = -value;
    fields.number = value < INT_MIN ? INT_MIN : value > INT_MAX ? INT_MAX : static_cast<int>(value);
    if (*p != ',') return std::nullopt;
    ++p;

    while (IsBlank(*p)) ++p;
    size_t urlLength = 0;
    while (p[urlLength] != '\0' && !IsBlank(p[urlLength]) && urlLength < kUrlWidth) ++urlLength;
    if (urlLength == 0) return std::nullopt;
    fields.url.assign(p, urlLength);
    fields.urlCut = p[urlLength] != '\0' && !IsBlank(p[urlLength]);
    if (fields.urlCut) return fields;

    // An older band reads the line up to here; the word after the URL is for this one.
    p += urlLength;
    while (IsBlank(*p)) ++p;
    size_t wordLength = 0;
    while (p[wordLength] != '\0' && !IsBlank(p[wordLength])) ++wordLength;
    Comparison comparison;
    if (ComparisonOfWord(std::string(p, wordLength), true, &comparison)) fields.comparison = comparison;
    return fields;
}
