// A page's title as the settings dialog proposes it: the element found in the body's bytes,
// the character set the page declares, the code page read when it declares none, and the
// decoded text tidied for an item line.
#include <gtest/gtest.h>

#include <string>

#include "settings/page_title.h"

namespace {

PageTitle Find(const std::string& body) { return FindPageTitle(body.data(), body.size()); }

// The title's bytes, or "(none)" when the page has no complete title element.
std::string TitleOf(const std::string& body) {
    PageTitle title = Find(body);
    return title.found ? title.bytes : "(none)";
}

TEST(PageTitleFind, TakesTheFirstTitleElementWhateverItsCaseAndAttributes) {
    struct Case {
        std::string body, title;
    } cases[] = {
        {"<html><head><title>Plain</title></head></html>", "Plain"},
        {"<TITLE>Upper</TITLE>", "Upper"},
        {"<TiTlE>Mixed</tItLe >", "Mixed"},
        {"<title lang=\"ja\" class='x'>With attributes</title>", "With attributes"},
        {"<title data-x=\"a>b\">Quoted bracket</title>", "Quoted bracket"},
        {"<title\n>Line break in the tag</title\n>", "Line break in the tag"},
        {"<title>  spaced\r\n  out </title>", "  spaced\r\n  out "},
        {"<title></title>", ""},
        {"<title>First</title><title>Second</title>", "First"},
        {"<title>a <b>bold</b> &amp; more</title>", "a <b>bold</b> &amp; more"},  // text, not markup
        {"<title>\x93\xFA\x96\x7B</title>", "\x93\xFA\x96\x7B"},  // bytes as the page has them
    };
    for (const Case& c : cases) EXPECT_EQ(TitleOf(c.body), c.title) << c.body;
}

TEST(PageTitleFind, PagesWithoutACompleteTitleHaveNone) {
    const char* bodies[] = {
        "",
        "<html><head></head><body>no title here</body></html>",
        "<titles>not it</titles>",
        "<titlebar>not it</titlebar>",
        "<title>never closed",
        "<title>closed by another tag</head>",
        "<title never ends",
        "<title a=\"unterminated>x</title>",
        "<!-- <title>in a comment</title> -->",
        "<!-- a comment never closed <title>x</title>",
        "<script>var t = '<title>in a script</title>';</script>",
        "<style>/* <title>in a style</title> */</style>",
        "<",
        "</title>",
    };
    for (const char* body : bodies) EXPECT_EQ(TitleOf(body), "(none)") << body;
}

TEST(PageTitleFind, ATitleAfterCommentsAndScriptsIsFound) {
    EXPECT_EQ(TitleOf("<!-- <title>no</title> --><title>yes</title>"), "yes");
    EXPECT_EQ(TitleOf("<script>document.write('<title>no</title>')</script><title>yes</title>"), "yes");
    EXPECT_EQ(TitleOf("<SCRIPT type=x>a</SCRIPT><STYLE>b</STYLE><title>yes</title>"), "yes");
}

TEST(PageTitleFind, NulBytesAndTheBodysEndAreRespected) {
    const char raw[] = "<ti\0tle>x</title><title>a\0b</title>";
    std::string body(raw, sizeof raw - 1);
    EXPECT_EQ(Find(body).bytes, std::string("a\0b", 3));
    // Only the given count is read: the title's end tag lies past it.
    std::string whole = "<title>cut</title>";
    EXPECT_FALSE(FindPageTitle(whole.data(), whole.size() - 3).found);
    EXPECT_FALSE(FindPageTitle(nullptr, 0).found);
}

TEST(PageTitleFind, HugeAndBinaryBodiesEndWithAnAnswer) {
    std::string binary;
    for (int i = 0; i < 1 << 20; ++i) binary.push_back(static_cast<char>((i * 131) & 0xFF));
    EXPECT_FALSE(Find(binary).found);
    std::string opens(1 << 20, '<');
    EXPECT_FALSE(Find(opens).found);
    std::string many;
    for (int i = 0; i < 50000; ++i) many += "</title<meta <!-";
    EXPECT_FALSE(Find(many).found);
    std::string late(4 << 20, 'x');
    late += "<title>late</title>";
    EXPECT_EQ(Find(late).bytes, "late");
}

TEST(PageTitleCharset, AByteOrderMarkDeclaresTheEncoding) {
    PageTitle utf8 = Find("\xEF\xBB\xBF<title>\xE6\x97\xA5</title>");
    EXPECT_EQ(utf8.declaredCodePage, kCodePageUtf8);
    EXPECT_EQ(utf8.bytes, "\xE6\x97\xA5");

    // "<title>A\u65E5</title>" in UTF-16: the title is read in units, its bytes kept.
    std::string le("\xFF\xFE", 2), be("\xFE\xFF", 2);
    for (char16_t c : std::u16string(u"<TITLE x='1'>A\u65E5</TITLE>")) {
        le += static_cast<char>(c & 0xFF), le += static_cast<char>(c >> 8);
        be += static_cast<char>(c >> 8), be += static_cast<char>(c & 0xFF);
    }
    PageTitle little = Find(le), big = Find(be);
    EXPECT_EQ(little.declaredCodePage, kCodePageUtf16Le);
    EXPECT_EQ(little.bytes, std::string("A\0\xE5\x65", 4));
    EXPECT_EQ(big.declaredCodePage, kCodePageUtf16Be);
    EXPECT_EQ(big.bytes, std::string("\0A\x65\xE5", 4));
    // A mark wins over what a <meta> says.
    EXPECT_EQ(Find("\xEF\xBB\xBF<meta charset=shift_jis><title>x</title>").declaredCodePage, kCodePageUtf8);
}

TEST(PageTitleCharset, MetaElementsDeclareTheCharset) {
    struct Case {
        const char* body;
        int codePage;
    } cases[] = {
        {"<meta charset=\"Shift_JIS\"><title>x</title>", 932},
        {"<META CHARSET=euc-jp><title>x</title>", 20932},
        {"<meta charset=' utf-8 '/><title>x</title>", 65001},
        {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\"><title>x</title>", 932},
        {"<meta content='text/html;charset=\"EUC-JP\"' http-equiv='content-type'>", 20932},
        {"<meta http-equiv=content-type content=\"text/html; charset = iso-2022-jp\">", 50220},
        {"<title>x</title><meta charset=utf-8>", 65001},  // after the title still counts
        {"<meta name=description content=\"charset=euc-jp\"><title>x</title>", 0},  // not http-equiv
        {"<meta http-equiv=refresh content=\"0; charset=euc-jp\">", 0},
        {"<meta charset=klingon><title>x</title>", 0},
        {"<meta charset=utf-16><title>x</title>", 65001},  // readable as ASCII, so not UTF-16
        {"<!-- <meta charset=euc-jp> --><title>x</title>", 0},
        {"<title>x</title><body><meta charset=euc-jp>", 0},  // the body declares nothing
        {"<meta charset=klingon><meta charset=euc-jp>", 20932},  // the first one we know
        {"<meta charset=\"euc-jp", 0},  // a tag never ended
    };
    for (const Case& c : cases) EXPECT_EQ(Find(c.body).declaredCodePage, c.codePage) << c.body;
}

TEST(PageTitleCharset, LabelsMapToWindowsCodePages) {
    struct Case {
        const char* label;
        int codePage;
    } cases[] = {
        {"utf-8", 65001},        {"UTF8", 65001},          {" utf-8\t", 65001},
        {"Shift_JIS", 932},      {"sjis", 932},            {"x-sjis", 932},
        {"Windows-31J", 932},    {"cp932", 932},           {"MS_Kanji", 932},
        {"EUC-JP", 20932},       {"x-euc-jp", 20932},      {"ISO-2022-JP", 50220},
        {"iso-8859-1", 1252},    {"latin1", 1252},         {"US-ASCII", 1252},
        {"windows-1252", 1252},  {"windows-1251", 1251},   {"cp1250", 1250},
        {"utf-16le", 1200},      {"utf-16be", 1201},       {"gb2312", 936},
        {"GBK", 936},            {"big5", 950},            {"euc-kr", 949},
        {"koi8-r", 20866},       {"iso-8859-2", 28592},    {"ISO-8859-15", 28605},
        {"iso-8859-9", 1254},    {"iso-8859-11", 874},     {"windows-874", 874},
        {"", 0},                 {"utf-9", 0},             {"windows-1259", 0},
        {"iso-8859-12", 0},      {"iso-8859-", 0},         {"iso-8859-1x", 0},
        {"shift_jis2", 0},       {"windows-125", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(CodePageOfCharset(c.label), c.codePage) << c.label;
}

TEST(PageTitleCharset, UndeclaredTitlesAreUtf8OnlyWhenTheyReadAsUtf8) {
    auto codePageOf = [](const std::string& bytes) {
        PageTitle title;
        title.found = true;
        title.bytes = bytes;
        return TitleCodePage(title);
    };
    EXPECT_EQ(codePageOf("\xE6\x97\xA5\xE6\x9C\xAC"), kCodePageUtf8);  // 日本 in UTF-8
    EXPECT_EQ(codePageOf("\x93\xFA\x96\x7B"), kCodePageShiftJis);      // 日本 in Shift_JIS
    EXPECT_EQ(codePageOf("plain ASCII"), kCodePageShiftJis);           // reads the same anywhere
    EXPECT_EQ(codePageOf("\xC0\xAF"), kCodePageShiftJis);               // an overlong form is no UTF-8
    PageTitle declared;
    declared.bytes = "\xE6\x97\xA5";
    declared.declaredCodePage = kCodePageEucJp;
    EXPECT_EQ(TitleCodePage(declared), kCodePageEucJp);  // what the page says wins
}

TEST(PageTitleCharset, Utf8IsCheckedStrictly) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80"));
    const char* invalid[] = {"\x80", "\xC3", "\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80",
                             "\xF4\x90\x80\x80", "\xF8\x88\x80\x80\x80", "\xE6\x97", "\xFF"};
    for (const char* bytes : invalid) EXPECT_FALSE(IsValidUtf8(bytes)) << bytes;
}

TEST(PageTitleDecode, Utf16UnitsInEitherOrder) {
    std::u16string text;
    ASSERT_TRUE(DecodeUtf16(std::string("A\0\xE5\x65", 4), false, &text));
    EXPECT_EQ(text, u"A\u65E5");
    ASSERT_TRUE(DecodeUtf16(std::string("\0A\x65\xE5", 4), true, &text));
    EXPECT_EQ(text, u"A\u65E5");
    EXPECT_FALSE(DecodeUtf16(std::string("A\0B", 3), false, &text));
}

TEST(PageTitleDecode, Iso2022JpBecomesTheSameCharactersInEucJp) {
    std::string euc;
    // "A日本B": ESC $ B 46 7C 4B 5C ESC ( B
    ASSERT_TRUE(Iso2022JpToEucJp("A\x1B$BF|K\\\x1B(BB", &euc));
    EXPECT_EQ(euc, "A\xC6\xFC\xCB\xDC" "B");
    // Half-width katakana by ESC ( I and by SO/SI; JIS X 0201 Roman as ASCII.
    ASSERT_TRUE(Iso2022JpToEucJp("\x1B(I\x31\x1B(Jx\x0E\x32\x0Fy", &euc));
    EXPECT_EQ(euc, "\x8E\xB1x\x8E\xB2y");
    const char* invalid[] = {"\x1B$(Dxx", "\x1B$BF", "\x1B$BF\x80", "\xA4\xA2", "\x1B", "\x1B(Z", "\x1B(I\x7A"};
    for (const char* bytes : invalid) EXPECT_FALSE(Iso2022JpToEucJp(bytes, &euc)) << bytes;
}

TEST(PageTitleText, CharacterReferencesAreDecoded) {
    struct Case {
        std::u16string text, decoded;
    } cases[] = {
        {u"a &amp; b &lt;c&gt; &quot;d&quot; &apos;e&apos;", u"a & b <c> \"d\" 'e'"},
        {u"&copy;&reg;&hellip;&mdash;&ndash;&laquo;&raquo;&nbsp;", u"\u00A9\u00AE\u2026\u2014\u2013\u00AB\u00BB\u00A0"},
        {u"&#65;&#x42;&#X43;&#26085;&#x672c;", u"ABC\u65E5\u672C"},
        {u"&#x1F600;", u"\U0001F600"},
        {u"&#150;&#151;", u"\u2013\u2014"},  // windows-1252's meaning, as browsers read it
        {u"&#0;&#xD800;&#x110000;&#99999999999999999999;", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
        {u"&unknown; &amp &#; &#x; &#65 &#xZZ; & &", u"&unknown; &amp &#; &#x; &#65 &#xZZ; & &"},
        {u"&AMP; &Amp;", u"&AMP; &Amp;"},  // names are case-sensitive
        {u"&amp;amp;", u"&amp;"},          // decoded once
        {u"&", u"&"},
        {u"&#", u"&#"},
    };
    for (const Case& c : cases) EXPECT_EQ(DecodeCharacterReferences(c.text), c.decoded);
}

TEST(PageTitleText, SpacesCollapseAndCommasBecomeFullWidth) {
    struct Case {
        std::u16string text, clean;
    } cases[] = {
        {u"  Hello \t\r\n  World  ", u"Hello World"},
        {u"a,b, c", u"a\uFF0Cb\uFF0C c"},
        {u"a&#44;b&nbsp;&nbsp;c", u"a\uFF0Cb c"},  // references first, then the rest
        {std::u16string(u"a\0b\x7F" u"c", 5), u"a b c"},
        {u"\u3000\u65E5\u3000", u"\u3000\u65E5\u3000"},  // the ideographic space is a character
        {u"\u301C\u2016\u2212\u00A2\u00A3\u00AC&mdash;", u"\uFF5E\u2225\uFF0D\uFFE0\uFFE1\uFFE2\u2015"},
        {u" \t ", u""},
        {u"", u""},
    };
    for (const Case& c : cases) EXPECT_EQ(CleanTitleText(c.text), c.clean);
}

}  // namespace
