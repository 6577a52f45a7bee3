// The item line's scan: its three fields, the widths of title and URL, the blanks it skips,
// and numbers too large for an int.
#include <gtest/gtest.h>

#include <climits>

#include "watch/item_line.h"

namespace {

WatchItemLineFields Scanned(const std::string& line) {
    std::optional<WatchItemLineFields> fields = ScanWatchItemLine(line);
    EXPECT_TRUE(fields.has_value()) << line;
    return fields.value_or(WatchItemLineFields{});
}

}  // namespace

TEST(ScanWatchItemLine, ReadsTitleNumberAndUrl) {
    WatchItemLineFields f = Scanned("News,1,http://h/a/b.html");
    EXPECT_EQ(f.title, "News");
    EXPECT_EQ(f.number, 1);
    EXPECT_EQ(f.url, "http://h/a/b.html");
    EXPECT_FALSE(f.urlCut);
    EXPECT_EQ(Scanned(" News ,0,u").title, " News ");
    EXPECT_EQ(Scanned("N,\t\r\n -3,u").number, -3);
    EXPECT_EQ(Scanned("N,+7,u").number, 7);
    EXPECT_EQ(Scanned("N,0,\t u rest of the line").url, "u");
    // 表示 (0x95 0x5C 0x8E 0xA6): trail bytes are neither commas nor blanks.
    EXPECT_EQ(Scanned("\x95\x5C\x8E\xA6,0,u").title, "\x95\x5C\x8E\xA6");
}

TEST(ScanWatchItemLine, LinesWithoutThreeFieldsGiveNothing) {
    const std::string lines[] = {
        "", "News", "News,", "News,1", "News,1,", "News,1,  \t", ",1,u", "News,x,u", "News,-,u",
        "News,+,u", "News,1 ,u", "News,1x,u", "News, ,u", std::string(260, 'T') + ",0,u",
        std::string("N\0,0,u", 6), std::string("N,0,\0u", 6),
    };
    for (const std::string& line : lines) EXPECT_FALSE(ScanWatchItemLine(line).has_value()) << line;
}

TEST(ScanWatchItemLine, TitleAndUrlHaveTheirWidths) {
    EXPECT_EQ(Scanned(std::string(259, 'T') + ",0,u").title.size(), 259u);
    std::string url779 = "http://h/" + std::string(770, 'p');
    WatchItemLineFields fits = Scanned("T,0," + url779 + " more");
    EXPECT_EQ(fits.url, url779);
    EXPECT_FALSE(fits.urlCut);
    WatchItemLineFields cut = Scanned("T,0," + url779 + "q");
    EXPECT_EQ(cut.url, url779);
    EXPECT_TRUE(cut.urlCut);
}

TEST(ScanWatchItemLine, NumbersPastAnIntStayAtItsEnds) {
    EXPECT_EQ(Scanned("N,2147483647,u").number, INT_MAX);
    EXPECT_EQ(Scanned("N,-2147483648,u").number, INT_MIN);
    // Cut to 32 bits these would read as 0, and markup would no longer be ignored.
    EXPECT_EQ(Scanned("N,4294967296,u").number, INT_MAX);
    EXPECT_EQ(Scanned("N,-4294967296,u").number, INT_MIN);
    EXPECT_EQ(Scanned("N,18446744073709551616,u").number, INT_MAX);
    EXPECT_EQ(Scanned("N," + std::string(400, '9') + ",u").number, INT_MAX);
    EXPECT_EQ(Scanned("N,-" + std::string(400, '9') + ",u").number, INT_MIN);
    EXPECT_EQ(Scanned("N,000000000000000000000000000000,u").number, 0);
    EXPECT_EQ(Scanned("N,-0,u").number, 0);
}

TEST(ScanWatchItemLine, AWordAfterTheUrlNamesTheComparison) {
    struct Case {
        std::string line;
        std::optional<Comparison> comparison;
    } cases[] = {
        {"N,1,http://h/a text", Comparison::Text},
        {"N,1,http://h/a \t TEXT-No-Numbers and more", Comparison::TextNoNumbers},
        {"N,0,http://h/a text", Comparison::Text},  // the word wins over the number
        {"N,1,http://h/a", std::nullopt},
        {"N,1,http://h/a texts", std::nullopt},
        {"N,1,http://h/a markup", std::nullopt},  // the number's to say
        {"N,1,http://h/a whole-body", std::nullopt},
        {"N,1,http://h/a x text", std::nullopt},  // only the first word counts
        {"N,1,http://h/atext", std::nullopt},
    };
    for (const Case& c : cases) {
        WatchItemLineFields fields = Scanned(c.line);
        EXPECT_EQ(fields.url.substr(0, 10), "http://h/a") << c.line;
        EXPECT_EQ(fields.comparison, c.comparison) << c.line;
    }
    // The seen store's words name all four.
    for (Comparison c : {Comparison::WholeBody, Comparison::Markup, Comparison::Text, Comparison::TextNoNumbers}) {
        Comparison read = Comparison::WholeBody;
        EXPECT_TRUE(ComparisonOfWord(ComparisonWord(c), false, &read));
        EXPECT_EQ(read, c);
    }
}
