// The sample configuration shipped beside the DLL says what the band does with it: read by
// the product's own readers, its keys give the watch items and search definitions that its
// comments describe, and it is written in code page 932.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "common/ansi.h"
#include "search/search_engine.h"
#include "support/test_env.h"
#include "watch/watch_item.h"

namespace {

std::string SamplePath() { return BuildDir() + "\\pelorin.sample.ini"; }

TEST(SampleConfig, ShipsBesideTheDllInCodePage932WithWindowsLineEnds) {
    ASSERT_NE(GetFileAttributesA(SamplePath().c_str()), INVALID_FILE_ATTRIBUTES);
    std::string bytes = ReadBytes(SamplePath());
    // ニュース, the first item's title, as code page 932 bytes (in UTF-8 it would not match).
    EXPECT_NE(bytes.find("item1=\x83\x6A\x83\x85\x81\x5B\x83\x58,0,"), std::string::npos);
    EXPECT_NE(bytes.find("\r\n[watch]\r\n"), std::string::npos);
    EXPECT_EQ(bytes.find("\n[search]\n"), std::string::npos);
}

TEST(SampleConfig, WatchSectionGivesTheDocumentedItemsThenTheBuiltInOne) {
    EXPECT_EQ(GetPrivateProfileIntA("watch", "interval", 0, SamplePath().c_str()), 600);
    std::vector<WatchItem> items = LoadWatchItems(SamplePath());
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].title, "\x83\x6A\x83\x85\x81\x5B\x83\x58");  // ニュース
    EXPECT_EQ(items[0].ignore_markup, 0);
    EXPECT_EQ(PageAddress(items[0]), "http://www.example.com/news.html");
    EXPECT_EQ(items[1].title, "\x93\x56\x8B\x43\x97\x5C\x95\xF1");  // 天気予報
    EXPECT_NE(items[1].ignore_markup, 0);  // markup ignored
    EXPECT_EQ(items[2].title, "Release notes");
    EXPECT_EQ(PageAddress(items[2]), "http://www.example.com/releases/");
    // ツールバー情報, always watched last.
    EXPECT_EQ(items[3].title, "\x83\x63\x81\x5B\x83\x8B\x83\x6F\x81\x5B\x8F\xEE\x95\xF1");
}

// The commented examples of comparison words, once the ';' is taken off, mean what their
// comments say.
TEST(SampleConfig, CommentedExamplesNameTheTextComparisons) {
    std::string bytes = ReadBytes(SamplePath());
    std::vector<Comparison> found;
    for (size_t at = bytes.find("\r\n;item"); at != std::string::npos; at = bytes.find("\r\n;item", at + 1)) {
        size_t value = bytes.find('=', at);
        std::string line = bytes.substr(value + 1, bytes.find("\r\n", value) - value - 1);
        std::optional<WatchItem> item = ParseWatchItemLine(line);
        ASSERT_TRUE(item.has_value()) << line;
        EXPECT_NE(item->ignore_markup, 0) << "an older band should remove the markup: " << line;
        found.push_back(item->comparison);
    }
    EXPECT_EQ(found, (std::vector<Comparison>{Comparison::Text, Comparison::TextNoNumbers}));
}

TEST(SampleConfig, SearchSectionGivesAGetForEachLanguageAndAPostForEveryText) {
    std::vector<SearchEngine> engines = LoadSearchEngines(SamplePath().c_str());
    ASSERT_EQ(engines.size(), 3u);
    const std::string english = "abc", japanese = "\x93\x8C\x8B\x9E";  // 東京

    EXPECT_TRUE(EngineAccepts(engines[0], IsMultibyteQuery(english, IsAnsiLeadByte), IsAnsiLeadByte));
    EXPECT_FALSE(EngineAccepts(engines[0], IsMultibyteQuery(japanese, IsAnsiLeadByte), IsAnsiLeadByte));
    SearchRequest get = MakeSearchRequest(engines[0], "%61%62%63", IsAnsiLeadByte);
    EXPECT_FALSE(get.post);
    EXPECT_EQ(get.address, "http://www.example.com/search?q=%61%62%63");  // as its comment says

    EXPECT_FALSE(EngineAccepts(engines[1], IsMultibyteQuery(english, IsAnsiLeadByte), IsAnsiLeadByte));
    EXPECT_TRUE(EngineAccepts(engines[1], IsMultibyteQuery(japanese, IsAnsiLeadByte), IsAnsiLeadByte));
    EXPECT_FALSE(IsPostEngine(engines[1], IsAnsiLeadByte));

    EXPECT_TRUE(EngineAccepts(engines[2], false, IsAnsiLeadByte));
    EXPECT_TRUE(EngineAccepts(engines[2], true, IsAnsiLeadByte));
    SearchRequest post = MakeSearchRequest(engines[2], "%61%62%63", IsAnsiLeadByte);
    EXPECT_TRUE(post.post);
    EXPECT_EQ(post.address, "http://www.example.net/search");
    EXPECT_EQ(post.body, "query=%61%62%63");  // as its comment says
}

}  // namespace
