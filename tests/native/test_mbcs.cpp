// Double-byte-aware helpers with code page 932's lead bytes.
#include <gtest/gtest.h>

#include "common/mbcs.h"

TEST(FindLastCharacter, SkipsTrailBytesThatLookLikeBackslashes) {
    // 表 = 0x95 0x5C: its trail byte is not a separator.
    EXPECT_EQ(FindLastCharacter("C:\\a\\\x95\x5C", '\\', IsCp932LeadByte), 4u);
    EXPECT_EQ(FindLastCharacter("C:\\\x95\x5C\\x", '\\', IsCp932LeadByte), 5u);
    EXPECT_EQ(FindLastCharacter("\x95\x5C", '\\', IsCp932LeadByte), std::string::npos);
    EXPECT_EQ(FindLastCharacter("", '\\', IsCp932LeadByte), std::string::npos);
    // A lone lead byte at the end takes nothing with it.
    EXPECT_EQ(FindLastCharacter("a\\b\x95", '\\', IsCp932LeadByte), 1u);
    // Half-width katakana are single bytes.
    EXPECT_EQ(FindLastCharacter("\xB1\\\xB2", '\\', IsCp932LeadByte), 1u);
}

TEST(EqualsIgnoringAsciiCase, ComparesWholeValuesAndOnlyFoldsAsciiLetters) {
    EXPECT_TRUE(EqualsIgnoringAsciiCase("ENG", "eng", IsCp932LeadByte));
    EXPECT_TRUE(EqualsIgnoringAsciiCase("Post", "post", IsCp932LeadByte));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("english", "eng", IsCp932LeadByte));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("", "eng", IsCp932LeadByte));
    // Ｅ (0x82 0x64) is a full-width letter, never the ASCII one; its trail byte 0x64 ('d')
    // must not be folded as if it were a letter of its own.
    EXPECT_FALSE(EqualsIgnoringAsciiCase("\x82\x64ng", "eng", IsCp932LeadByte));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("\x82\x44", "\x82\x64", IsCp932LeadByte));
    EXPECT_TRUE(EqualsIgnoringAsciiCase("\x82\x64", "\x82\x64", IsCp932LeadByte));
}

TEST(HoldsLeadByte, FindsAnyLeadByteIncludingALoneOneAtTheEnd) {
    EXPECT_FALSE(HoldsLeadByte("", IsCp932LeadByte));
    EXPECT_FALSE(HoldsLeadByte("abc", IsCp932LeadByte));
    EXPECT_TRUE(HoldsLeadByte("a\x82\xA0", IsCp932LeadByte));
    EXPECT_TRUE(HoldsLeadByte("ab\x82", IsCp932LeadByte));
    EXPECT_FALSE(HoldsLeadByte("\xB1\xB2\xDF", IsCp932LeadByte));
}
