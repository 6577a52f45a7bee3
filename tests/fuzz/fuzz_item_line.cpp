// The item line's scan against the C library's own scanf of the same pattern in the C
// locale ("%259[^,]", "%d", "%779s"), the number read as the scanf found it and held to an
// int's range, and the URL's cut as the watch items see it.
#include <climits>
#include <cctype>
#include <cerrno>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz_check.h"
#include "watch/item_line.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string line(reinterpret_cast<const char*>(data), size);
    std::optional<WatchItemLineFields> fields = ScanWatchItemLine(line);

    const char* text = line.c_str();
    char title[260] = "", url[780] = "";
    int numberStart = -1, numberEnd = -1, end = -1;
    int converted = std::sscanf(text, "%259[^,],%n%*d%n,%779s%n", title, &numberStart, &numberEnd, url, &end);
    FUZZ_CHECK(fields.has_value() == (converted == 2 && end >= 0));
    if (!fields) return 0;

    FUZZ_CHECK(fields->title == title);
    FUZZ_CHECK(fields->url == url);
    char* numberStop = nullptr;
    errno = 0;
    long long number = std::strtoll(text + numberStart, &numberStop, 10);
    FUZZ_CHECK(numberStop == text + numberEnd);
    long long held = number < INT_MIN ? INT_MIN : number > INT_MAX ? INT_MAX : number;
    FUZZ_CHECK(fields->number == held);
    unsigned char next = static_cast<unsigned char>(text[end]);
    FUZZ_CHECK(fields->urlCut == (std::strlen(url) == 779 && next != '\0' && !std::isspace(next)));
    return 0;
}
