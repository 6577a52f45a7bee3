// The fetch-and-digest step end to end against the HTTP fixture: the digest text of a page,
// with and without its markup, and the empty text for every failure.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "services/content_digest.h"
#include "services/digest_page.h"
#include "support/test_env.h"

namespace {

const char kEmptyMessageMd5[] = "D41D8CD98F00B204E9800998ECF8427E";

// The digest of exact bytes, by the digest that its own known-answer tests check.
std::string Md5(const std::string& bytes) {
    char out[33] = "";
    EXPECT_EQ(ComputeDigest("MD5", bytes.data(), static_cast<DWORD>(bytes.size()), out), S_OK);
    return out;
}

class DigestPageTest : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_FIXTURE(); }
    // Serves body as /page/name and digests it.
    std::string DigestOf(const std::string& name, const std::string& body, int ignore_markup) {
        FixtureReply set = FixturePost("/_ctl/set/" + name, body);
        EXPECT_EQ(set.status, 200);
        return DigestPage("pages.test", ComparisonOfFlag(ignore_markup), "/page/" + name);
    }
};

TEST_F(DigestPageTest, MarkupIsRemovedOnlyWhenTheItemAsks) {
    EXPECT_EQ(DigestOf("tags", "abc<b>def</b>", 1), Md5("abcdef"));
    EXPECT_EQ(DigestOf("tags", "abc<b>def</b>", 0), Md5("abc<b>def</b>"));
    EXPECT_EQ(DigestOf("tags", "abc<b>def</b>", -3), Md5("abcdef"));  // any non-zero number
    EXPECT_EQ(Md5("abcdef"), "E80B5017098950FC58AAD83C8C14978E");
}

TEST_F(DigestPageTest, StrayBracketsStayAsText) {
    EXPECT_EQ(DigestOf("unclosed", "a<b", 1), Md5("a<b"));
    EXPECT_EQ(DigestOf("early", "a>b<c>d", 1), Md5("a>bd"));
}

TEST_F(DigestPageTest, APageOfTagsOnlyIsTheDigestOfTheEmptyMessageNotTheEmptyText) {
    EXPECT_EQ(DigestOf("only-tags", "<html></html>", 1), kEmptyMessageMd5);
}

TEST_F(DigestPageTest, ChangesInsideTagsAloneKeepTheDigest) {
    std::string before = DigestOf("attrs", "<p class=\"a\">same text</p>\r\n", 1);
    std::string after = DigestOf("attrs", "<p class=\"b\" id=\"x\">same text</p>\r\n", 1);
    EXPECT_EQ(before, after);
    EXPECT_NE(DigestOf("attrs", "<p class=\"b\">other text</p>\r\n", 1), before);
}

TEST_F(DigestPageTest, AnEmpty200BodyIsTheDigestOfTheEmptyMessage) {
    EXPECT_EQ(DigestPage("fixture.test", Comparison::WholeBody, "/empty"), kEmptyMessageMd5);
    EXPECT_EQ(DigestPage("fixture.test", Comparison::Markup, "/empty"), kEmptyMessageMd5);
}

TEST_F(DigestPageTest, NulBytesAreDigestedAndTagsAfterThemRemoved) {
    EXPECT_EQ(DigestPage("fixture.test", Comparison::WholeBody, "/nul"), Md5(std::string("ab\0cd\0\0ef<x>\0g", 14)));
    EXPECT_EQ(DigestPage("fixture.test", Comparison::Markup, "/nul"), Md5(std::string("ab\0cd\0\0ef\0g", 11)));
}

TEST_F(DigestPageTest, TheMakersPageDigestsAsItsCodePage932Text) {
    // "Pelorin ツールバー情報" once its tags are gone.
    EXPECT_EQ(DigestPage("www.vorna.example", Comparison::Markup, "/toolbar/"),
              Md5("Pelorin \x83\x63\x81\x5b\x83\x8b\x83\x6f\x81\x5b\x8f\xee\x95\xf1"));
}

TEST_F(DigestPageTest, EveryFailureIsTheEmptyText) {
    EXPECT_EQ(DigestPage("fixture.test", Comparison::WholeBody, "/status/404"), "");
    EXPECT_EQ(DigestPage("fixture.test", Comparison::Markup, "/status/500"), "");
    EXPECT_EQ(DigestPage("nowhere.invalid", Comparison::WholeBody, "/plain"), "");   // unknown host
    EXPECT_EQ(DigestPage("", Comparison::WholeBody, "/plain"), "");                  // no connection handle: thrown
    EXPECT_EQ(DigestPage("fixture.test", Comparison::WholeBody, "/reset"), "");
}

// 日本 and ニュース～ 12 in UTF-8, the text of each page below: the title and the paragraph.
const char kJapaneseText[] = "\xE6\x97\xA5\xE6\x9C\xAC\n\xE3\x83\x8B\xE3\x83\xA5\xE3\x83\xBC\xE3\x82\xB9\xEF\xBD\x9E 12";

// One text in the four ways Japanese pages come, each declared its own way (or not at all);
// the wave dash is the one character EUC-JP and ISO-2022-JP tables give another code point
// than code page 932 does.
TEST_F(DigestPageTest, TheTextReadsTheSameInEveryJapaneseCharacterSet) {
    const std::string pages[] = {
        "<title>\xE6\x97\xA5\xE6\x9C\xAC</title><p>\xE3\x83\x8B\xE3\x83\xA5\xE3\x83\xBC\xE3\x82\xB9\xEF\xBD\x9E 12</p>",
        "<meta charset=Shift_JIS><title>\x93\xFA\x96{</title><p>\x83j\x83\x85\x81[\x83X\x81` 12</p>",
        "<title>\xC6\xFC\xCB\xDC</title><p>\xA5\xCB\xA5\xE5\xA1\xBC\xA5\xB9\xA1\xC1 12</p>",  // by the header
        "<meta http-equiv=Content-Type content='text/html; charset=ISO-2022-JP'><title>\x1B$BF|K\\\x1B(B</title>"
        "<p>\x1B$B%K%e!<%9!A\x1B(B 12</p>",
    };
    ASSERT_EQ(FixturePost("/_ctl/type/ja2", "text/html; charset=EUC-JP").status, 200);
    for (int k = 0; k < 4; ++k) {
        std::string name = "ja" + std::to_string(k);
        ASSERT_EQ(FixturePost("/_ctl/set/" + name, pages[k]).status, 200);
        std::string text;
        EXPECT_EQ(DigestPage("pages.test", Comparison::Text, "/page/" + name, nullptr, &text), Md5(kJapaneseText)) << k;
        EXPECT_EQ(text, kJapaneseText) << k;
        std::string noNumbers(kJapaneseText, sizeof kJapaneseText - 4);
        EXPECT_EQ(DigestPage("pages.test", Comparison::TextNoNumbers, "/page/" + name), Md5(noNumbers)) << k;
    }
}

TEST_F(DigestPageTest, TextComparisonsDigestWhatAReaderSees) {
    EXPECT_EQ(DigestOf("script", "<script>var t='1';</script><p>a &amp; b</p>", 1), Md5("var t='1';a &amp; b"));
    EXPECT_EQ(DigestPage("pages.test", Comparison::Text, "/page/script"), Md5("a & b"));
    // A page that shows no text digests the empty text; broken UTF-8 is read with U+FFFD.
    EXPECT_EQ(DigestOf("blank", "<html><script>x</script></html>", 0), Md5("<html><script>x</script></html>"));
    EXPECT_EQ(DigestPage("pages.test", Comparison::Text, "/page/blank"), kEmptyMessageMd5);
    EXPECT_EQ(DigestOf("broken", "<meta charset=utf-8>a\xFF" "b", 0), Md5("<meta charset=utf-8>a\xFF" "b"));
    EXPECT_EQ(DigestPage("pages.test", Comparison::Text, "/page/broken"), Md5("a\xEF\xBF\xBD" "b"));
    EXPECT_EQ(DigestPage("fixture.test", Comparison::Text, "/status/404"), "");
}

}  // namespace
