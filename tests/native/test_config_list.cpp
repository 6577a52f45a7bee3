// The list reader's two modes over a reader that records which keys it was asked for.
#include <gtest/gtest.h>

#include <map>

#include "services/config_list.h"

namespace {
struct RecordingReader {
    std::map<std::string, std::string> values;
    std::vector<std::string> asked;
    ProfileReader reader() {
        return [this](const char* section, const char* key) {
            asked.push_back(std::string(section) + "/" + key);
            auto it = values.find(key);
            return it == values.end() ? std::string() : it->second;
        };
    }
};
using List = std::vector<std::string>;
}  // namespace

TEST(ReadNumberedListWith, CountZeroReadsNothing) {
    RecordingReader r;
    EXPECT_TRUE(ReadNumberedListWith(r.reader(), "search", "cond", 0).empty());
    EXPECT_TRUE(r.asked.empty());
}

TEST(ReadNumberedListWith, OpenEndedStopsAtTheFirstEmptyKey) {
    RecordingReader r;
    r.values = {{"url1", "a"}, {"url2", "b"}, {"url4", "d"}};
    EXPECT_EQ(ReadNumberedListWith(r.reader(), "search", "url", -1), (List{"a", "b"}));
    EXPECT_EQ(r.asked, (List{"search/url1", "search/url2", "search/url3"}));
}

TEST(ReadNumberedListWith, FixedCountKeepsEmptyEntriesInTheirPlaces) {
    RecordingReader r;
    r.values = {{"cond2", "eng"}, {"cond4", "jpn"}};
    EXPECT_EQ(ReadNumberedListWith(r.reader(), "search", "cond", 3), (List{"", "eng", ""}));
    EXPECT_EQ(r.asked.size(), 3u);
}

TEST(ReadNumberedListWith, KeysHaveNoLeadingZerosPastNine) {
    RecordingReader r;
    for (int i = 1; i <= 12; ++i) r.values["item" + std::to_string(i)] = "v";
    EXPECT_EQ(ReadNumberedListWith(r.reader(), "watch", "item", -1).size(), 12u);
    EXPECT_EQ(r.asked[9], "watch/item10");
}

TEST(ReadNumberedListWith, ALongPrefixsKeysAreNeverCut) {
    RecordingReader r;
    std::string prefix(258, 'p');
    for (int i = 1; i <= 11; ++i) r.values[prefix + std::to_string(i)] = "v" + std::to_string(i);
    List list = ReadNumberedListWith(r.reader(), "watch", prefix.c_str(), -1);
    ASSERT_EQ(list.size(), 11u);
    EXPECT_EQ(list[9], "v10");
    EXPECT_EQ(r.asked[10], "watch/" + prefix + "11");
}
