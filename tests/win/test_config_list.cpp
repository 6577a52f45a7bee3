// Numbered lists read from real INI files through the platform's profile reader.
#include <gtest/gtest.h>
#include <windows.h>

#include "services/config_list.h"
#include "support/test_env.h"

namespace {

class NumberedList : public ::testing::Test {
protected:
    void SetUp() override { path_ = MakeScratchDir("numbered-list") + "\\pelorin.ini"; }
    void Write(const std::string& text) { WriteBytes(path_, text); }
    std::vector<std::string> Read(const char* prefix, int count) {
        return ReadNumberedList("watch", prefix, count, path_.c_str());
    }
    std::string path_;
};

using List = std::vector<std::string>;

TEST_F(NumberedList, OpenEndedListStopsAtTheFirstGapAndNeverReadsPastIt) {
    // Japanese values in code page 932: ツール (0x83 0x63 0x81 0x5B 0x83 0x8B).
    Write("[watch]\r\nitem1=\x83\x63\x81\x5B\x83\x8B\r\nitem2=b\r\nitem4=d\r\n");
    EXPECT_EQ(Read("item", -1), (List{"\x83\x63\x81\x5B\x83\x8B", "b"}));
}

TEST_F(NumberedList, EmptyValueEndsTheOpenEndedList) {
    Write("[watch]\r\nitem1=a\r\nitem2=\r\nitem3=c\r\n");
    EXPECT_EQ(Read("item", -1), (List{"a"}));
}

TEST_F(NumberedList, MissingFirstKeyGivesAnEmptyList) {
    Write("[watch]\r\nitem2=b\r\n");
    EXPECT_TRUE(Read("item", -1).empty());
}

TEST_F(NumberedList, MissingFileOrSectionReadsAsEmpty) {
    EXPECT_TRUE(Read("item", -1).empty());
    EXPECT_EQ(Read("cond", 2), (List{"", ""}));
    Write("[search]\r\nitem1=a\r\n");
    EXPECT_TRUE(Read("item", -1).empty());
}

TEST_F(NumberedList, FixedCountGivesExactlyThatManyEntries) {
    Write("[watch]\r\ncond2=eng\r\ncond4=jpn\r\n");
    EXPECT_EQ(Read("cond", 3), (List{"", "eng", ""}));
    EXPECT_TRUE(Read("cond", 0).empty());
}

TEST_F(NumberedList, KeysWithLeadingZerosAreNeverFound) {
    Write("[watch]\r\nitem01=a\r\n");
    EXPECT_TRUE(Read("item", -1).empty());
}

TEST_F(NumberedList, ValuesAreCutAt259Bytes) {
    std::string long300(300, 'x');
    std::string exact259(259, 'y');
    Write("[watch]\r\nitem1=" + long300 + "\r\nitem2=" + exact259 + "\r\n");
    List list = Read("item", -1);
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], std::string(259, 'x'));
    EXPECT_EQ(list[1], exact259);
}

}  // namespace
