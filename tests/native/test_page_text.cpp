// The text of a page as a reader sees it: each small page shows one rule of what is left out,
// how lines are made, what is decoded and what the numbers-ignored reading drops; then the
// character set a body is read in and its decoding, with a stand-in for the platform's code
// pages.
#include <gtest/gtest.h>

#include <string>

#include "services/charset.h"
#include "services/page_text.h"

namespace {

std::string Text(const std::string& page) { return ExtractPageText(page, false); }
std::string NoNumbers(const std::string& page) { return ExtractPageText(page, true); }

struct Case {
    std::string page, text;
};

void Expect(const Case* cases, size_t count, std::string (*read)(const std::string&)) {
    for (size_t k = 0; k < count; ++k) EXPECT_EQ(read(cases[k].page), cases[k].text) << cases[k].page;
}

TEST(PageText, MarkupAndWhatHiddenElementsHoldAreLeftOut) {
    const Case cases[] = {
        {"a<b>b</b>c", "abc"},
        {"<a href=\"x>y\" title='p>q' data-z=r>link</a>", "link"},
        {"a<!-- <p>no</p> -->b<!-->c<!--->d", "abcd"},
        {"<!DOCTYPE html>a<?xml x?>b<![CDATA[c]]>d</ x>e</>f", "abdef"},
        {"<script>var s = '<p>no</p>'; token='k1'</script>yes", "yes"},
        {"<SCRIPT type=x>a</script >b<style>p{}</STYLE>c<noscript>d</noscript>e", "bce"},
        {"<script>x</scripts></script>y", "y"},  // only its own end tag ends it
        {"<iframe>fallback</iframe>a<noembed>b</noembed><noframes>c</noframes>", "a"},
        {"<template><p>card</p><script>x</script></template>shown", "shown"},
        {"<template><template>a</template>b</template>c", "c"},
        {"a < b, c<3 and d <= e", "a < b, c<3 and d <= e"},  // no tag starts there
        {"a<b c=\"never closed>text", "a"},
        {"a<p", "a"},
        {std::string("a<br\0\0\0>b", 10), "ab"},  // a name with NULs is no element's, whatever it starts with
        {"a<!-- never closed <p>b</p>", "a"},
        {"a<script>never closed</p>", "a"},
        {"", ""},
        {"<p> </p><br><!-- -->", ""},
    };
    Expect(cases, sizeof cases / sizeof cases[0], Text);
}

TEST(PageText, BlocksEndLinesAndSpacesCollapse) {
    const Case cases[] = {
        {"<p>one</p><p>two</p>", "one\ntwo"},
        {"a<br>b<br/>c<hr>d", "a\nb\nc\nd"},
        {"<h1>Title</h1><ul><li>x<li>y</ul><table><tr><td>1<td>2</table>", "Title\nx\ny\n1\n2"},
        {"<div>a<span>b</span><em>c</em></div>", "abc"},
        {"<title>T</title><body>b", "T\nb"},
        {"  a \t\r\n  b\xE3\x80\x80\xE3\x80\x80" "c\xC2\xA0" "d\xE2\x80\x83" "e  ", "a b c d e"},
        {"<p>  </p>\n\n<div>\n  x  \n</div>\n", "x"},
        {"<pre>  a\n\n   b\r\nc</pre>d e", "a\nb\nc\nd e"},
        {"<pre><pre>a</pre>b\nc</pre>d\ne", "a\nb\nc\nd e"},
        {"<textarea>a\nb</textarea>c\nd", "a\nb\nc d"},
    };
    Expect(cases, sizeof cases / sizeof cases[0], Text);
}

TEST(PageText, ReferencesAreDecodedWhereTextIs) {
    const Case cases[] = {
        {"&lt;p&gt; &amp; &quot;q&quot; &apos;a&apos;", "<p> & \"q\" 'a'"},
        {"&copy;&eacute;&mdash;&#65;&#x3042;&#X1F600;&#150;", "\xC2\xA9\xC3\xA9\xE2\x80\x94" "A\xE3\x81\x82\xF0\x9F\x98\x80\xE2\x80\x93"},
        {"a&nbsp;&nbsp;b&#12288;c", "a b c"},  // references to spaces are spaces
        {"&unknown; &amp &#65 &#; &NotANameHereAtAll; &", "&unknown; &amp &#65 &#; &NotANameHereAtAll; &"},
        {"&amp;lt;", "&lt;"},  // decoded once
        {"<title>a &amp; <b>b</b></title>", "a & <b>b</b>"},
        {"<textarea>&lt;x&gt;</textarea>", "<x>"},
        {"<xmp>&lt;<b></xmp>", "&lt;<b>"},  // as written
        {"<plaintext>a</plaintext><b>", "a</plaintext><b>"},
    };
    Expect(cases, sizeof cases / sizeof cases[0], Text);
}

TEST(PageText, NumbersIgnoredDropsDigitRunsBeforeSpacesAndLinesAreMade) {
    const Case cases[] = {
        {"<p>Updated 12:30, 5 minutes ago</p>", "Updated :, minutes ago"},
        {"<p>\xEF\xBC\x91\xEF\xBC\x92\xE6\x99\x82</p>", "\xE6\x99\x82"},  // １２時
        {"<p>2024</p><p>news</p><p>&#51;&#x33;</p>", "news"},
        {"a 1 2 3 b", "a b"},
        {"x\xD9\xA1y", "x\xD9\xA1y"},  // only ASCII and full-width digits
    };
    Expect(cases, sizeof cases / sizeof cases[0], NoNumbers);
    EXPECT_EQ(Text("<p>Updated 12:30</p>"), "Updated 12:30");
}

TEST(PageText, InvisibleCharactersGoAndBrokenOnesAreReplaced) {
    EXPECT_EQ(Text(std::string("a\0b\x01" "c\x7F" "d\xEF\xBB\xBF" "e", 12)), "abcde");
    // Broken UTF-8 reads as U+FFFD, a sequence's longest valid beginning as one.
    EXPECT_EQ(Text("a\xFF" "b\xE6\x97" "c\xED\xA0\x80" "d\xF0\x9F\x98\x80"),
              "a\xEF\xBF\xBD" "b\xEF\xBF\xBD" "c\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD" "d\xF0\x9F\x98\x80");
    // A lone surrogate of UTF-16, on its way to UTF-8.
    const char16_t lone[] = {u'a', 0xD800, u'b', 0xDC00};
    EXPECT_EQ(Utf16ToUtf8(lone, 4), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
    EXPECT_EQ(ExtractPageText(std::string_view(), false), "");
}

// Bodies that would take quadratic time in a scan that looks again from the start of an
// unfinished comment, tag or element, or reads a reference's digits more than once.
TEST(PageText, HostileBodiesEndWithAnAnswer) {
    const size_t size = 1 << 20;
    std::string patterns[] = {"<!--", "<a ", "<a b='", "<script>", "</scri", "&#", "&#1", "&amp",
                              "<title><", "<template>", "<!", "<p>"};
    for (const std::string& pattern : patterns) {
        std::string body;
        while (body.size() < size) body += pattern;
        std::string text = Text(body);
        EXPECT_LE(text.size(), body.size()) << pattern;
    }
    std::string digits = "&#" + std::string(size, '1');
    EXPECT_EQ(Text(digits + "x"), digits + "x");
}

std::u16string Decoded(const std::string& body, int codePage);

// A stand-in for the platform: code page 20932 knows ASCII and WAVE DASH (A1 C1, which EUC-JP
// tables give as U+301C); 932 gives every byte as itself; nothing else is known.
bool FakeDecoder(int codePage, const char* bytes, size_t count, std::u16string* text) {
    if (codePage != kCodePageEucJp && codePage != kCodePageShiftJis) return false;
    for (size_t k = 0; k < count; ++k) {
        unsigned char b = static_cast<unsigned char>(bytes[k]);
        if (codePage == kCodePageEucJp && b == 0xA1 && k + 1 < count && static_cast<unsigned char>(bytes[k + 1]) == 0xC1) {
            text->push_back(0x301C);
            ++k;
        } else {
            text->push_back(b < 0x80 || codePage == kCodePageShiftJis ? b : 0xFFFD);
        }
    }
    return true;
}

std::u16string Decoded(const std::string& body, int codePage) {
    return DecodeBody(body.data(), body.size(), codePage, FakeDecoder);
}

TEST(PageCharset, TheMarkThenTheMetaThenTheHeaderThenTheBytesDecide) {
    const std::string meta = "<meta charset=euc-jp>";
    const std::string header = "text/html; charset=Shift_JIS";
    struct {
        std::string body, contentType;
        int codePage;
    } cases[] = {
        {"\xEF\xBB\xBF" + meta, header, kCodePageUtf8},
        {"\xFF\xFE<\0", header, kCodePageUtf16Le},
        {meta + "\xE6\x97\xA5", header, kCodePageEucJp},
        {"<p>\xE6\x97\xA5", header, kCodePageShiftJis},
        {"<p>\xE6\x97\xA5", "text/html; charset=\"utf-16be\"", kCodePageUtf16Be},
        {"<p>\xE6\x97\xA5", "text/html", kCodePageUtf8},
        {"<p>\xE6\x97\xA5", "text/html; charset=klingon", kCodePageUtf8},
        {"<p>\x93\xFA\x96\x7B", "", kCodePageShiftJis},
        {"<p>ascii", "", kCodePageShiftJis},
    };
    for (const auto& c : cases) EXPECT_EQ(BodyCodePage(c.body.data(), c.body.size(), c.contentType), c.codePage) << c.body;
}

TEST(PageCharset, BadBytesAreReplacedAndNothingFails) {
    // UTF-8: each broken sequence's longest valid start is one U+FFFD; the mark is left out.
    EXPECT_EQ(Decoded("\xEF\xBB\xBF" "a\xE6\x97" "b\xC0\xAF\xF4\x90\x80\x80" "c\xE6\x97\xA5", kCodePageUtf8),
              u"a\uFFFDb\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDc\u65E5");
    // UTF-16: half a unit at the end.
    EXPECT_EQ(Decoded(std::string("\xFE\xFF\0a\x65\xE5\0", 7), kCodePageUtf16Be), u"a\u65E5\uFFFD");
    // EUC-JP's JIS characters as code page 932 has them; ISO-2022-JP through EUC-JP, a bad escape
    // and a bad byte each one U+FFFD between what decodes.
    EXPECT_EQ(Decoded("a\xA1\xC1" "b", kCodePageEucJp), u"a\uFF5Eb");
    EXPECT_EQ(Decoded("a\x1B$B!A\x1B(Bb\x1B$(Dc\x80" "d", kCodePageIso2022Jp), u"a\uFF5Eb\uFFFD$(Dc\uFFFDd");
    // A code page the platform lacks: read as if nothing was declared.
    EXPECT_EQ(Decoded("a\xE6\x97\xA5", 12345), u"a\u65E5");
    EXPECT_EQ(Decoded("a\x93", 12345), u"a\x93");
    EXPECT_EQ(DecodeBody("a\x93", 2, 12345, nullptr), u"a\x93");  // not even 932: bytes as characters
}

// The platform is asked once, for the runs beyond ASCII alone; the rest is the body's own.
std::string g_asked;
int g_calls = 0;
bool RecordingDecoder(int codePage, const char* bytes, size_t count, std::u16string* text) {
    ++g_calls;
    g_asked.assign(bytes, count);
    return FakeDecoder(codePage, bytes, count, text);
}

TEST(PageCharset, OnlyWhatIsBeyondAsciiGoesToThePlatformInOneCall) {
    std::string converted;
    const std::string body = "<p class=x>a\xA1\xC1Zz b\xA1\xC1</p>";
    EXPECT_EQ(BodyAsUtf8(body.data(), body.size(), kCodePageEucJp, RecordingDecoder, &converted),
              "<p class=x>a\xEF\xBD\x9EZz b\xEF\xBD\x9E</p>");
    EXPECT_EQ(g_calls, 1);
    EXPECT_EQ(g_asked, "\xA1\xC1Zz b\xA1\xC1<");  // from the first byte beyond ASCII to the next tag
    // Without a code page of the platform's, the body reads as if it declared none.
    EXPECT_EQ(BodyAsUtf8(body.data(), body.size(), 12345, RecordingDecoder, &converted),
              "<p class=x>a\xC2\xA1\xC3\x81Zz b\xC2\xA1\xC3\x81</p>");
    // UTF-8 is read where it is, its mark left out.
    EXPECT_EQ(BodyAsUtf8("\xEF\xBB\xBFok", 5, kCodePageUtf8, nullptr, &converted), "ok");
}

}  // namespace
