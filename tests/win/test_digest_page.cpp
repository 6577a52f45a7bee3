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
        return DigestPage("pages.test", ignore_markup, "/page/" + name);
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
    EXPECT_EQ(DigestPage("fixture.test", 0, "/empty"), kEmptyMessageMd5);
    EXPECT_EQ(DigestPage("fixture.test", 1, "/empty"), kEmptyMessageMd5);
}

TEST_F(DigestPageTest, NulBytesAreDigestedAndTagsAfterThemRemoved) {
    EXPECT_EQ(DigestPage("fixture.test", 0, "/nul"), Md5(std::string("ab\0cd\0\0ef<x>\0g", 14)));
    EXPECT_EQ(DigestPage("fixture.test", 1, "/nul"), Md5(std::string("ab\0cd\0\0ef\0g", 11)));
}

TEST_F(DigestPageTest, TheMakersPageDigestsAsItsCodePage932Text) {
    // "Pelorin ツールバー情報" once its tags are gone.
    EXPECT_EQ(DigestPage("www.vorna.example", 1, "/toolbar/"),
              Md5("Pelorin \x83\x63\x81\x5b\x83\x8b\x83\x6f\x81\x5b\x8f\xee\x95\xf1"));
}

TEST_F(DigestPageTest, EveryFailureIsTheEmptyText) {
    EXPECT_EQ(DigestPage("fixture.test", 0, "/status/404"), "");
    EXPECT_EQ(DigestPage("fixture.test", 1, "/status/500"), "");
    EXPECT_EQ(DigestPage("nowhere.invalid", 0, "/plain"), "");   // unknown host
    EXPECT_EQ(DigestPage("", 0, "/plain"), "");                  // no connection handle: thrown
    EXPECT_EQ(DigestPage("fixture.test", 0, "/reset"), "");
}

}  // namespace
