// What is new in a page's text: each rule on a small page, then hostile texts at the size the
// kept text is capped at, each of which must still give its answer. Random texts are the
// fuzz harness's (tests/fuzz/fuzz_new_passages.cpp).
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "services/new_passages.h"

namespace {

NewPassages Found(const std::string& first, size_t further = 0) { return {NewPassageKind::Found, first, further}; }
const NewPassages kMany = {NewPassageKind::ManyPlaces, "", 0};

std::string Repeat(const std::string& s, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
}

const char kNews[] = "ニュース\n古い見出しです\n天気は晴れ\nお問い合わせ";

}  // namespace

TEST(FindNewPassages, ANewHeadlineIsFoundWhereverItStands) {
    EXPECT_EQ(FindNewPassages(kNews, "ニュース\n新しい見出しです\n古い見出しです\n天気は晴れ\nお問い合わせ", false),
              Found("新しい見出しです"));
    // The old headline moved down and off the page: only the new one is new.
    EXPECT_EQ(FindNewPassages(kNews, "ニュース\n新しい見出しです\n天気は晴れ\nお問い合わせ", false),
              Found("新しい見出しです"));
}

TEST(FindNewPassages, MovedOrRemovedLinesAreNothingNew) {
    EXPECT_EQ(FindNewPassages(kNews, "天気は晴れ\nニュース\nお問い合わせ\n古い見出しです", false), NewPassages());
    EXPECT_EQ(FindNewPassages(kNews, "ニュース\nお問い合わせ", false), NewPassages());
    EXPECT_EQ(FindNewPassages("a\nb", "a\n\n\nb\n", false), NewPassages());  // empty lines are no text
    EXPECT_EQ(FindNewPassages("a", "a\n\t \x01\n \r", false), NewPassages());  // nor are controls alone
    EXPECT_EQ(FindNewPassages(kNews, kNews, true), NewPassages());
}

TEST(FindNewPassages, NumbersCountOnlyWhenThePageComparesThem) {
    const std::string seen = "統計\n訪問者 1,234 人\n在庫 １２ 個";
    const std::string next = "統計\n訪問者 1,240 人\n在庫 ９ 個";
    EXPECT_EQ(FindNewPassages(seen, next, true), NewPassages());
    EXPECT_EQ(FindNewPassages(seen, next, false), Found("訪問者 1,240 人", 1));
    // A line of digits alone has nothing left to compare.
    EXPECT_EQ(FindNewPassages(seen, seen + "\n2024", true), NewPassages());
    // The words around the number still count; the line is shown as it is, digits and all.
    EXPECT_EQ(FindNewPassages(seen, "統計\n訪問者 1,240 名", true), Found("訪問者 1,240 名"));
    // What stands next to the digits is text: the full-width colon U+FF1A, Arabic-Indic digits.
    EXPECT_EQ(FindNewPassages("時刻 １２：００", "時刻 １２００", true).kind, NewPassageKind::Found);
    EXPECT_EQ(FindNewPassages("x \xD9\xA2", "x \xD9\xA3", true).kind, NewPassageKind::Found);
}

TEST(FindNewPassages, TheFirstNewLineIsShownAndTheRestCounted) {
    std::string next = "ニュース\n一つ目の新しい行\n古い見出しです\n二つ目\n天気は晴れ\n三つ目\nお問い合わせ\n二つ目";
    // The same new line in two places is two places.
    EXPECT_EQ(FindNewPassages(kNews, next, false), Found("一つ目の新しい行", 3));
}

TEST(FindNewPassages, APassageIsCutAtACharacterBoundary) {
    std::string hundred = Repeat("あ", 100);
    EXPECT_EQ(FindNewPassages("x", hundred, false), Found(hundred));
    EXPECT_EQ(FindNewPassages("x", hundred + "い", false), Found(hundred + "…"));
    // Four-byte characters are one character each; spaces at the cut are not kept before "…".
    std::string faces = Repeat("\xF0\x9F\x98\x80", 99) + "    ";
    EXPECT_EQ(FindNewPassages("x", faces + "z", false), Found(faces.substr(0, 99 * 4) + "…"));
    EXPECT_EQ(FindNewPassages("x", faces, false), Found(faces.substr(0, 99 * 4)));
}

TEST(FindNewPassages, InvalidUtf8AndControlCharactersComeOutReadable) {
    // A stray continuation, an unfinished character, an overlong slash, a surrogate, a tab,
    // CR, C1 NEL and the line separator.
    std::string line = "\x80" "a\xE3\x81" "b\xC0\xAF" "c\xED\xA0\x80" "d\te\r\rf\xC2\x85g\xE2\x80\xA8h\xF4\x90\x80\x80";
    const std::string r = "\xEF\xBF\xBD";
    EXPECT_EQ(FindNewPassages("x", line, false),
              Found(r + "a" + r + r + "b" + r + r + "c" + r + r + r + "d e f g h" + r + r + r + r));
    // Trimmed at both ends, and a run of spaces read as one.
    EXPECT_EQ(FindNewPassages("x", "\t  two  \x01 words \x7F", false), Found("two words"));
}

TEST(FindNewPassages, APageMostlyRewrittenIsChangedInManyPlaces) {
    std::string seen, same, half;
    for (int i = 0; i < 12; ++i) {
        seen += "old line " + std::string(1, static_cast<char>('a' + i)) + "\n";
        same += "new line " + std::string(1, static_cast<char>('a' + i)) + "\n";
    }
    EXPECT_EQ(FindNewPassages(seen, same, false), kMany);
    // Half of the old lines still there: the new one is shown.
    for (int i = 0; i < 6; ++i) half += "old line " + std::string(1, static_cast<char>('a' + i)) + "\n";
    EXPECT_EQ(FindNewPassages(seen, half + "new line", false), Found("new line"));
    // A small page that changed throughout still says what it says now.
    EXPECT_EQ(FindNewPassages("closed\ntoday", "open\nfrom ten", false), Found("open", 1));
}

TEST(FindNewPassagesHostile, AMegabyteThatDiffersEverywhere) {
    std::mt19937 random(7);
    auto text = [&] {
        std::string t;
        while (t.size() < kMaxSeenTextBytes - 64) {
            for (int i = 0, n = 1 + random() % 60; i < n; ++i) t += static_cast<char>('a' + random() % 26);
            t += '\n';
        }
        t.pop_back();
        return t;
    };
    std::string seen = text(), next = text();
    ASSERT_LE(seen.size(), kMaxSeenTextBytes);
    EXPECT_EQ(FindNewPassages(seen, next, false), kMany);
    // Past the cap nothing is compared, unless the texts are the same.
    std::string over(kMaxSeenTextBytes + 1, 'a');
    EXPECT_EQ(FindNewPassages(over, over + "\nb", false), kMany);
    EXPECT_EQ(FindNewPassages(over, over, false), NewPassages());
}

TEST(FindNewPassagesHostile, TheSameSentenceAHundredThousandTimes) {
    const std::string sentence = "Same one.";
    std::string seen = Repeat(sentence + "\n", 100000);
    seen.pop_back();
    ASSERT_LE(seen.size(), kMaxSeenTextBytes);
    std::string inserted = seen;
    inserted.insert(10 * 50000, "Not the same.\n");  // at the start of a line
    EXPECT_EQ(FindNewPassages(seen, inserted, false), Found("Not the same."));
    std::string other = Repeat("Other one.\n", 100000);
    EXPECT_EQ(FindNewPassages(seen, other, false), Found("Other one.", 99999));
    EXPECT_EQ(FindNewPassages(seen, Repeat(sentence + "\n", 3), false), NewPassages());
}

TEST(FindNewPassagesHostile, OneMegabyteLine) {
    std::string seen(kMaxSeenTextBytes, 'x');
    std::string next = seen;
    next.back() = 'y';
    EXPECT_EQ(FindNewPassages(seen, next, false), Found(std::string(kPassageCharacters, 'x') + "…"));
    // Digits everywhere, ignored: nothing is new however the digits move.
    std::string digits(kMaxSeenTextBytes, '1');
    digits[500] = 'a';
    std::string moved(kMaxSeenTextBytes, '2');
    moved[900000] = 'a';
    EXPECT_EQ(FindNewPassages(digits, moved, true), NewPassages());
}
