// The settings dialog's lists of pelorin.ini: read as the band reads them, and written back
// with every other line of the file left as it was.
#include <gtest/gtest.h>

#include "settings/settings_lists.h"

namespace {

std::vector<std::string> Titles(const SettingsLists& lists) {
    std::vector<std::string> titles;
    for (const WatchEntry& entry : lists.watch) titles.push_back(entry.title);
    return titles;
}

std::vector<std::string> Urls(const SettingsLists& lists) {
    std::vector<std::string> urls;
    for (const SearchEntry& entry : lists.search) urls.push_back(entry.url);
    return urls;
}

bool operator==(const WatchEntry& a, const WatchEntry& b) {
    return a.title == b.title && a.ignoreMarkup == b.ignoreMarkup && a.address == b.address;
}
bool operator==(const SearchEntry& a, const SearchEntry& b) {
    return a.url == b.url && a.cond == b.cond && a.method == b.method && a.form == b.form;
}

using Names = std::vector<std::string>;

TEST(SettingsListsRead, WatchListEndsAtTheFirstMissingOrEmptyItem) {
    struct Case {
        const char* file;
        Names titles;
    } cases[] = {
        {"[watch]\r\nitem1=a,0,x\r\nitem2=b,0,y\r\n", {"a", "b"}},
        {"[watch]\nitem1=a,0,x\nitem3=c,0,z\n", {"a"}},           // a gap hides what follows
        {"[watch]\nitem1=a,0,x\nitem2=\nitem3=c,0,z\n", {"a"}},   // so does an empty value
        {"[watch]\nitem1=a,0,x\nitem2\nitem3=c,0,z\n", {"a"}},    // and a key without '='
        {"[watch]\nitem2=b,0,y\n", {}},
        {"[other]\nitem1=a,0,x\n", {}},
        {"item1=a,0,x\n[watch]\n", {}},                           // before any section
        {"[WaTcH]\nITEM1=a,0,x\nItem2=b,0,y\n", {"a", "b"}},
        {"[watch]\nitem1=a,0,x\nitem1=q,0,q\n[watch]\nitem2=b,0,y\n", {"a"}},  // the first ones count
        {"[watch]\n;item1=a,0,x\n", {}},
        {"  [watch]  \n\t item1 \t=  a,0,x  \n", {"a"}},
    };
    for (const Case& c : cases) EXPECT_EQ(Titles(ReadSettingsLists(c.file)), c.titles) << c.file;
}

TEST(SettingsListsRead, WatchValueSplitsAtTheFirstTwoCommas) {
    struct Case {
        const char* value;
        WatchEntry entry;
    } cases[] = {
        {"News,0,http://n.test/", {"News", false, "http://n.test/"}},
        {"News,1,http://n.test/a,b", {"News", true, "http://n.test/a,b"}},
        {"News, -20 ,http://n.test/", {"News", true, "http://n.test/"}},
        {"News,00,x", {"News", false, "x"}},
        {"News,x1,x", {"News", false, "x"}},
        {"News,1", {"News", true, ""}},
        {"News only", {"News only", false, ""}},
        {",0,x", {"", false, "x"}},
        {"\x83\x5c\x95\x5c,1,x", {"\x83\x5c\x95\x5c", true, "x"}},
    };
    for (const Case& c : cases) {
        SettingsLists lists = ReadSettingsLists(std::string("[watch]\r\nitem1=") + c.value + "\r\n");
        ASSERT_EQ(lists.watch.size(), 1u) << c.value;
        EXPECT_TRUE(lists.watch[0] == c.entry) << c.value;
    }
}

TEST(SettingsListsRead, SearchKeysAreReadForExactlyTheUrls) {
    SettingsLists lists = ReadSettingsLists(
        "[search]\r\nurl1=http://a.test/\r\nmethod1=post\r\nform1=q=\r\ncond2=jpn\r\n"
        "url2=http://b.test/\r\ncond3=eng\r\nurl4=http://d.test/\r\n");
    ASSERT_EQ(Urls(lists), (Names{"http://a.test/", "http://b.test/"}));
    EXPECT_TRUE(lists.search[0] == (SearchEntry{"http://a.test/", "", "post", "q="}));
    EXPECT_TRUE(lists.search[1] == (SearchEntry{"http://b.test/", "jpn", "", ""}));
}

TEST(SettingsListsRead, ValuesAreTrimmedUnquotedAndCut) {
    struct Case {
        std::string line;
        std::string url;
    } cases[] = {
        {"url1=\t http://a.test/ \t", "http://a.test/"},
        {"url1=\" spaced \"", " spaced "},
        {"url1='x'", "x"},
        {"url1=\"x'", "\"x'"},
        {"url1=a=b", "a=b"},
        {"url1=" + std::string(300, 'u'), std::string(259, 'u')},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Urls(ReadSettingsLists("[search]\n" + c.line + "\n")), Names{c.url}) << c.line;
    }
}

TEST(SettingsListsRead, SectionNameEndsAtTheLastBracketAsCharactersGo) {
    // 0x81 0x5D is one double-byte character whose second byte is ']'.
    EXPECT_EQ(Titles(ReadSettingsLists("[watch]\x81\x5d\nitem1=a,0,x\n")), Names{"a"});
    EXPECT_EQ(Titles(ReadSettingsLists("[watch\x81\x5d\nitem1=a,0,x\n")), Names{});
}

const char kFile[] =
    "; Pelorin\r\n"
    "[general]\r\n"
    "interval=300\r\n"
    "\r\n"
    "[watch]\r\n"
    "; pages\r\n"
    "item1=A,0,http://a.test/\r\n"
    "item2=B,1,http://b.test/\r\n"
    "keep=yes\r\n"
    "item3=C,0,http://c.test/\r\n"
    "item5=E,0,http://e.test/\r\n"
    "\r\n"
    "[search]\r\n"
    "url1=http://s.test/\r\n"
    "cond1=eng\r\n"
    "cond7=jpn\r\n"
    "tail=1";

TEST(SettingsListsWrite, RemovingAnEntryRenumbersAndKeepsEveryOtherLine) {
    SettingsLists lists = ReadSettingsLists(kFile);
    ASSERT_EQ(Titles(lists), (Names{"A", "B", "C"}));
    lists.watch.erase(lists.watch.begin() + 1);
    EXPECT_EQ(WriteSettingsLists(kFile, lists),
              "; Pelorin\r\n"
              "[general]\r\n"
              "interval=300\r\n"
              "\r\n"
              "[watch]\r\n"
              "; pages\r\n"
              "item1=A,0,http://a.test/\r\n"
              "item2=C,0,http://c.test/\r\n"
              "keep=yes\r\n"
              "\r\n"
              "[search]\r\n"
              "url1=http://s.test/\r\n"
              "cond1=eng\r\n"
              "tail=1");
}

TEST(SettingsListsWrite, UnchangedListsGiveTheSameFile) {
    const std::string file = "[watch]\nitem1=A,1,x\nitem2=B,0,y\n[search]\nurl1=u\nmethod1=post\n";
    EXPECT_EQ(WriteSettingsLists(file, ReadSettingsLists(file)), file);
}

TEST(SettingsListsWrite, EmptyFieldsAreLeftOutAndOddValuesQuoted) {
    SettingsLists lists;
    lists.search = {{"http://a.test/", "", "post", ""}, {" b ", "jpn", "", "'q='"}};
    lists.watch = {{" T", true, "x"}};
    std::string written = WriteSettingsLists("", lists);
    EXPECT_EQ(written,
              "[watch]\r\nitem1=\" T,1,x\"\r\n\r\n[search]\r\nurl1=http://a.test/\r\nmethod1=post\r\n"
              "url2=\" b \"\r\ncond2=jpn\r\nform2=\"'q='\"\r\n");
    SettingsLists back = ReadSettingsLists(written);
    ASSERT_EQ(back.search.size(), 2u);
    EXPECT_TRUE(back.search[1] == lists.search[1]);
    ASSERT_EQ(back.watch.size(), 1u);
    EXPECT_TRUE(back.watch[0] == lists.watch[0]);
}

TEST(SettingsListsWrite, KeysGoWhereTheSectionHasRoomAndLfStaysLf) {
    struct Case {
        const char* file;
        const char* written;
    } cases[] = {
        // No keys yet: after the section's last line, before the blank that ends it.
        {"[watch]\ninterval=5\n\n[next]\n", "[watch]\ninterval=5\nitem1=N,0,n\n\n[next]\n"},
        {"[watch]", "[watch]\r\nitem1=N,0,n\r\n"},
        {"[other]\nx=1", "[other]\nx=1\n\n[watch]\nitem1=N,0,n\n"},
        {"a=1\n\n", "a=1\n\n[watch]\nitem1=N,0,n\n"},
        {"", "[watch]\r\nitem1=N,0,n\r\n"},
        // A CR alone ends a line, as the profile reader takes it; the line keeps it, and the
        // blank line after it stays a line of its own rather than half of a CR LF.
        {"[a]\nx=1\r", "[a]\nx=1\r\r\n[watch]\nitem1=N,0,n\n"},
        {"[a]\rx=1\r[watch]\ritem1=o,0,o\r", "[a]\rx=1\r[watch]\ritem1=N,0,n\r"},
        // Keys past the end, and after a gap, go; the first one's place is kept.
        {"[watch]\nx=1\nITEM3=c,0,c\ny=2\nitem1=a,0,a\nitem9=z,0,z\nitem01=k\n",
         "[watch]\nx=1\nitem1=N,0,n\ny=2\nitem01=k\n"},
    };
    SettingsLists lists;
    lists.watch = {{"N", false, "n"}};
    for (const Case& c : cases) EXPECT_EQ(WriteSettingsLists(c.file, lists), c.written) << c.file;
}

TEST(SettingsListsWrite, EmptyListsRemoveTheKeysAndAddNoSection) {
    EXPECT_EQ(WriteSettingsLists("[watch]\r\nitem1=a,0,x\r\nitem2=b,0,y\r\nz=1\r\n", {}), "[watch]\r\nz=1\r\n");
    EXPECT_EQ(WriteSettingsLists("[general]\nx=1\n", {}), "[general]\nx=1\n");
}

TEST(SettingsListsWrite, OnlyTheFirstSectionOfANameIsTheLists) {
    const std::string file = "[search]\nurl1=a\n[search]\nurl2=b\n";
    SettingsLists lists;
    lists.search = {{"n", "", "", ""}};
    EXPECT_EQ(WriteSettingsLists(file, lists), "[search]\nurl1=n\n[search]\nurl2=b\n");
}

}  // namespace

TEST(SettingsFileEncoding, TellsCodePage932FromUtf8AndUtf16) {
    struct Case {
        std::string bytes;
        FileEncoding encoding;
    } cases[] = {
        {"", FileEncoding::CodePage},
        {"[watch]\r\nitem1=a,0,http://a/\r\n", FileEncoding::CodePage},  // ASCII is the same in all
        {"item1=\x83\x6a\x83\x85\x81\x5b\x83\x58,0,x", FileEncoding::CodePage},  // ニュース in 932
        {"item1=\xB1\xB2\xB3,0,x", FileEncoding::CodePage},                        // half-width ｱｲｳ
        {"item1=\xE3\x83\x8B\xE3\x83\xA5\xE3\x83\xBC\xE3\x82\xB9,0,x", FileEncoding::Utf8},  // ニュース
        {"\xEF\xBB\xBFitem1=a", FileEncoding::Utf8WithMark},
        {std::string("\xFF\xFE[\0", 4), FileEncoding::Utf16Le},
        {std::string("\xFE\xFF\0[", 4), FileEncoding::Utf16Be},
        {"item1=\xE3\x83", FileEncoding::CodePage},          // UTF-8 cut short is not UTF-8
        {"item1=\xC0\xAF", FileEncoding::CodePage},          // nor is an overlong form
        {"item1=\xED\xA0\x80", FileEncoding::CodePage},      // nor a surrogate
        {"item1=\xF4\x90\x80\x80", FileEncoding::CodePage},  // nor a value past U+10FFFF
        {"item1=\xF0\x9F\x98\x80", FileEncoding::Utf8},      // a four-byte character is
    };
    for (const Case& c : cases) EXPECT_EQ(DetectEncoding(c.bytes), c.encoding) << c.bytes;
}

TEST(SettingsListsRead, SectionNamesAreTrimmedInsideTheirBracketsAndACrAloneEndsALine) {
    SettingsLists lists = ReadSettingsLists(" [ watch ] \r\n\titem1\t=\ttabbed,0,http://a/\r\n");
    ASSERT_EQ(Titles(lists), Names{"tabbed"});
    EXPECT_EQ(lists.watch[0].address, "http://a/");
    EXPECT_EQ(Titles(ReadSettingsLists("[watch]\ritem1=cr only,0,http://a/\ritem2=b,0,http://b/")),
              (Names{"cr only", "b"}));
}
