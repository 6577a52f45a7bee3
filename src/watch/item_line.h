// The three fields of an item line, "title,number,URL", read as the pattern
// "%259[^,],%d,%779s" reads them, but by hand: free of Windows headers, of the C runtime's
// locale (the module sets "japanese") and of a scanf's choice for numbers too large for an
// int, so the scan is the same natively and in the DLL.
#pragma once

#include <optional>
#include <string>

#include "services/comparison.h"

struct WatchItemLineFields {
    std::string title;    // 1 to 259 bytes up to the first comma, blanks kept
    int number = 0;       // beyond an int's range, its nearest end: a written digit other
                          // than zero never reads as 0
    std::string url;      // 1 to 779 bytes up to the next blank
    bool urlCut = false;  // the URL runs on past 779 bytes: what was read is not the address
    // The comparison word after the URL ("text", "text-no-numbers"); nothing when the line
    // has none or one the band does not know, and the number decides.
    std::optional<Comparison> comparison;
};

// Nothing when the line has fewer than three fields: no comma, an empty title or one past
// 259 bytes, a number missing or not followed at once by a comma, no URL. Blanks (space,
// tab, line feed, vertical tab, form feed, carriage return) may stand before the number and
// before the URL; the URL ends at the next blank. After blanks, the first word (up to the
// next blank) may name the comparison, in any ASCII letter case; the rest is ignored. The line
// ends at its first NUL.
std::optional<WatchItemLineFields> ScanWatchItemLine(const std::string& line);
