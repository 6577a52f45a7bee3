// The bar's local pages: the form body the band sends, decoded into fields, and the pages
// that post them or move on to a long address, with everything from outside escaped.
#include <gtest/gtest.h>

#include <iconv.h>

#include "bar/local_page.h"

namespace {

// Code page 932 to code points, through the C library's own converter.
std::u32string Cp932(const std::string& bytes) {
    iconv_t cd = iconv_open("UTF-32LE", "CP932");
    std::u32string out(bytes.size() + 1, U'\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size(), outLeft = out.size() * 4;
    char* outPtr = reinterpret_cast<char*>(&out[0]);
    iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    out.resize(out.size() - outLeft / 4);
    return out;
}

std::vector<std::pair<std::string, std::string>> Pairs(const std::vector<FormField>& fields) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const FormField& f : fields) pairs.emplace_back(f.name, f.value);
    return pairs;
}

using P = std::vector<std::pair<std::string, std::string>>;

TEST(FormBody, DecodesTheBandsEscapesIntoTheQueryBytes) {
    EXPECT_EQ(Pairs(DecodeFormBody("q=%61%62")), (P{{"q", "ab"}}));
    EXPECT_EQ(Pairs(DecodeFormBody("hl=ja&q=%83%5C%95%5C")), (P{{"hl", "ja"}, {"q", "\x83\x5C\x95\x5C"}}));
    EXPECT_EQ(Pairs(DecodeFormBody("q=%41%2B%42")), (P{{"q", "A+B"}}));
}

TEST(FormBody, OddPiecesKeepEveryByte) {
    EXPECT_TRUE(DecodeFormBody("").empty());
    EXPECT_EQ(Pairs(DecodeFormBody("&&q&")), (P{{"q", ""}}));
    EXPECT_EQ(Pairs(DecodeFormBody("a+b=c+d")), (P{{"a b", "c d"}}));
    EXPECT_EQ(Pairs(DecodeFormBody("=v&k==")), (P{{"", "v"}, {"k", "="}}));
    // A '%' without two hex digits after it stands for itself.
    EXPECT_EQ(Pairs(DecodeFormBody("q=100%&r=%4g%")), (P{{"q", "100%"}, {"r", "%4g%"}}));
}

TEST(PostPage, PostsEachFieldInShiftJisWithJapaneseAsCharacterReferences) {
    std::string page = MakePostPage("http://search.test/post", DecodeFormBody("hl=ja&q=%83%5C%95%5C"), Cp932);
    EXPECT_NE(page.find("<meta charset=\"Shift_JIS\">"), std::string::npos);
    EXPECT_NE(page.find("method=\"post\" action=\"http://search.test/post\" accept-charset=\"Shift_JIS\""),
              std::string::npos);
    EXPECT_NE(page.find("<input type=\"hidden\" name=\"hl\" value=\"ja\">"), std::string::npos);
    // ソ is U+30BD, 表 is U+8868.
    EXPECT_NE(page.find("<input type=\"hidden\" name=\"q\" value=\"&#12477;&#34920;\">"), std::string::npos);
    EXPECT_NE(page.find("HTMLFormElement.prototype.submit.call("), std::string::npos);
}

TEST(PostPage, MarkupInTheAddressOrTheFieldsStaysText) {
    std::string page = MakePostPage("http://x.test/\"><script>alert(1)</script>",
                                    {{"<b>", "\"'&<>"}, {"submit", "\r\n"}}, Cp932);
    EXPECT_EQ(page.find("alert(1)</script>"), std::string::npos);
    EXPECT_NE(page.find("action=\"http://x.test/&#34;&#62;&#60;script&#62;alert(1)&#60;/script&#62;\""),
              std::string::npos);
    EXPECT_NE(page.find("name=\"&#60;b&#62;\" value=\"&#34;&#39;&#38;&#60;&#62;\""), std::string::npos);
    EXPECT_NE(page.find("name=\"submit\" value=\"&#13;&#10;\""), std::string::npos);
    for (char c : page) EXPECT_TRUE(c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7F)) << int(c);
}

TEST(RedirectPage, MovesOnToTheAddressReadFromItsLink) {
    std::string address = "http://search.test/get?q=" + std::string(777, 'A') + "&x=\"1\"";
    std::string page = MakeRedirectPage(address, Cp932);
    EXPECT_NE(page.find("<a id=\"pelorin\" href=\"http://search.test/get?q=" + std::string(777, 'A') +
                        "&#38;x=&#34;1&#34;\">"),
              std::string::npos);
    EXPECT_NE(page.find("location.replace(document.getElementById(\"pelorin\").href)"), std::string::npos);
}

}  // namespace
