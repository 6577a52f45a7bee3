// Search definitions read from a real pelorin.ini (code page 932 bytes) through the profile
// API, and what a submission asks of the browser or, without one, of the shell.
#include <gtest/gtest.h>
#include <windows.h>

#include "common/ansi.h"
#include "recording_browser.h"
#include "search/search_engine.h"
#include "search/submit_query.h"
#include "support/shell_open.h"
#include "support/test_env.h"

namespace {

const char kFormHeader[] = "Content-Type: application/x-www-form-urlencoded\r\n";

class SearchIni : public ::testing::Test {
protected:
    void SetUp() override { dir_ = MakeScratchDir("search-ini"); }
    void TearDown() override { RemoveTree(dir_); }
    std::vector<SearchEngine> Load(const std::string& ini) {
        std::string path = dir_ + "\\pelorin.ini";
        WriteBytes(path, ini);
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());  // no cached copy
        return LoadSearchEngines(path.c_str());
    }
    std::string dir_;
};

// The urls of the definitions that a query reaches, through a recording browser.
std::vector<std::string> Reached(const std::vector<SearchEngine>& engines, const std::string& query) {
    RecordingBrowser browser;
    SubmitQuery(engines, &browser, query);
    std::vector<std::string> urls;
    for (const NavigateCall& call : browser.navigations) urls.push_back(call.url);
    return urls;
}

using Strings = std::vector<std::string>;

}  // namespace

TEST_F(SearchIni, NoSectionGivesNoDefinition) {
    EXPECT_TRUE(Load("[watch]\r\ninterval=60\r\n").empty());
    EXPECT_TRUE(LoadSearchEngines((dir_ + "\\missing.ini").c_str()).empty());
}

TEST_F(SearchIni, UrlsEndAtTheFirstGapAndTheirKeysAreReadAsGiven) {
    std::vector<SearchEngine> engines = Load(
        "[search]\r\n"
        "url1=http://search.test/\x8C\x9F\x8D\xF5\r\n"  // 検索
        "cond1=jpn\r\nmethod1=post\r\nform1=q=\r\n"
        "url2=http://search.test/two\r\n"
        "url4=http://search.test/four\r\ncond4=eng\r\n");
    ASSERT_EQ(engines.size(), 2u);
    EXPECT_EQ(engines[0].url, "http://search.test/\x8C\x9F\x8D\xF5");
    EXPECT_EQ(engines[0].cond, "jpn");
    EXPECT_EQ(engines[0].method, "post");
    EXPECT_EQ(engines[0].form, "q=");
    EXPECT_EQ(engines[1].url, "http://search.test/two");
    EXPECT_EQ(engines[1].cond, "");
    EXPECT_EQ(engines[1].method, "");
}

TEST_F(SearchIni, AnEmptyFirstUrlGivesNoDefinition) {
    EXPECT_TRUE(Load("[search]\r\nurl1=\r\nurl2=http://search.test/\r\n").empty());
}

TEST_F(SearchIni, KeysNumberedPastTheLastUrlAreIgnored) {
    std::vector<SearchEngine> engines =
        Load("[search]\r\nurl1=http://a.test/\r\nurl2=http://b.test/\r\ncond3=eng\r\nmethod3=post\r\n");
    ASSERT_EQ(engines.size(), 2u);
    EXPECT_EQ(Reached(engines, "\x82\xA0"), (Strings{"http://a.test/?%82%A0", "http://b.test/?%82%A0"}));
}

TEST_F(SearchIni, ConditionAndMethodKeywordsIgnoreAsciiCaseOnly) {
    std::vector<SearchEngine> engines = Load(
        "[search]\r\n"
        "url1=http://1.test/\r\ncond1=ENG\r\nmethod1=POST\r\n"
        "url2=http://2.test/\r\ncond2=english\r\nmethod2=Post\r\n"
        "url3=http://3.test/\r\nmethod3=get\r\n"
        "url4=http://4.test/\r\nmethod4=put\r\n"
        "url5=http://5.test/\r\nmethod5=\r\n"
        "url6=http://6.test/\r\ncond6=\x82\x85\x82\x8E\x82\x87\r\n");  // ｅｎｇ, full width
    ASSERT_EQ(engines.size(), 6u);
    bool post[] = {true, true, false, false, false, false};
    for (size_t i = 0; i < engines.size(); ++i) {
        EXPECT_EQ(IsPostEngine(engines[i], IsAnsiLeadByte), post[i]) << i;
    }
    EXPECT_TRUE(EngineAccepts(engines[0], false, IsAnsiLeadByte));
    EXPECT_FALSE(EngineAccepts(engines[0], true, IsAnsiLeadByte));
    EXPECT_TRUE(EngineAccepts(engines[1], true, IsAnsiLeadByte));
    EXPECT_TRUE(EngineAccepts(engines[5], true, IsAnsiLeadByte));
}

TEST_F(SearchIni, EachQueryReachesEveryDefinitionThatTakesItInListOrder) {
    std::vector<SearchEngine> engines = Load(
        "[search]\r\n"
        "url1=http://1.test/\r\ncond1=jpn\r\n"
        "url2=http://2.test/\r\ncond2=eng\r\n"
        "url3=http://3.test/\r\ncond3=\r\n");
    ASSERT_EQ(engines.size(), 3u);
    EXPECT_EQ(Reached(engines, "abc"), (Strings{"http://2.test/?%61%62%63", "http://3.test/?%61%62%63"}));
    EXPECT_EQ(Reached(engines, "\x82\xA0"), (Strings{"http://1.test/?%82%A0", "http://3.test/?%82%A0"}));
    EXPECT_EQ(Reached(engines, ""), (Strings{"http://2.test/?", "http://3.test/?"}));
    EXPECT_EQ(Reached(engines, "ab\x82"), (Strings{"http://1.test/?%61%62%82", "http://3.test/?%61%62%82"}));
    EXPECT_EQ(Reached(engines, "\xB1\xB2"), (Strings{"http://2.test/?%B1%B2", "http://3.test/?%B1%B2"}));
}

TEST(SubmitQuery, GetNavigatesToTheAddressWithEmptyPostDataAndHeaders) {
    RecordingBrowser browser;
    SubmitQuery({{"", "U", "", "q="}}, &browser, "ab");
    ASSERT_EQ(browser.navigations.size(), 1u);
    const NavigateCall& call = browser.navigations[0];
    EXPECT_EQ(call.url, "U?q=%61%62");
    EXPECT_FALSE(call.flagsGiven);
    EXPECT_FALSE(call.targetGiven);
    EXPECT_EQ(call.postDataType, VT_EMPTY);
    EXPECT_EQ(call.headersType, VT_EMPTY);
    EXPECT_EQ(browser.RefCount(), 1);
}

TEST(SubmitQuery, PostSendsTheBodyAsAByteArrayWithTheFormHeader) {
    RecordingBrowser browser;
    SubmitQuery({{"", "U", "post", "q="}}, &browser, "ab");
    ASSERT_EQ(browser.navigations.size(), 1u);
    const NavigateCall& call = browser.navigations[0];
    EXPECT_EQ(call.url, "U");
    EXPECT_FALSE(call.flagsGiven);
    EXPECT_FALSE(call.targetGiven);
    EXPECT_EQ(call.postDataType, VT_ARRAY | VT_UI1);
    EXPECT_EQ(call.postData, "q=%61%62");
    EXPECT_EQ(call.postDataElements, 8);
    EXPECT_EQ(call.postDataLowerBound, 0);
    EXPECT_EQ(call.headersType, VT_BSTR);
    EXPECT_EQ(call.headers, kFormHeader);
    EXPECT_EQ(browser.RefCount(), 1);
}

TEST(SubmitQuery, PostOfNothingSendsAnEmptyBody) {
    RecordingBrowser browser;
    SubmitQuery({{"", "U", "POST", ""}}, &browser, "");
    ASSERT_EQ(browser.navigations.size(), 1u);
    EXPECT_EQ(browser.navigations[0].postDataType, VT_ARRAY | VT_UI1);
    EXPECT_EQ(browser.navigations[0].postDataElements, 0);
    EXPECT_EQ(browser.navigations[0].headers, kFormHeader);
}

TEST(SubmitQuery, EveryAcceptingDefinitionNavigatesInListOrder) {
    RecordingBrowser browser;
    SubmitQuery({{"", "http://a.test/?x=1&", "", "q="},
                 {"jpn", "http://skip.test/", "", ""},
                 {"", "U", "", ""},
                 {"ENG", "http://c.test/", "post", "k="}},
                &browser, "a");
    ASSERT_EQ(browser.navigations.size(), 3u);
    EXPECT_EQ(browser.navigations[0].url, "http://a.test/?x=1&?q=%61");
    EXPECT_EQ(browser.navigations[1].url, "U?%61");
    EXPECT_EQ(browser.navigations[2].url, "http://c.test/");
    EXPECT_EQ(browser.navigations[2].postData, "k=%61");
    EXPECT_EQ(browser.RefCount(), 1);
}

TEST(SubmitQuery, AddressesKeepCodePage932Text) {
    RecordingBrowser browser;
    SubmitQuery({{"", "http://search.test/\x8C\x9F\x8D\xF5", "", "q="}}, &browser, "\x82\xA0");
    ASSERT_EQ(browser.navigations.size(), 1u);
    EXPECT_EQ(browser.navigations[0].url, "http://search.test/\x8C\x9F\x8D\xF5?q=%82%A0");
}

TEST(SubmitQuery, NoAcceptingDefinitionDoesNothing) {
    RecordingBrowser browser;
    SubmitQuery({}, &browser, "a");
    SubmitQuery({{"jpn", "U", "", ""}}, &browser, "a");
    EXPECT_TRUE(browser.navigations.empty());
}

TEST(SubmitQueryWithoutBrowser, GetAddressesGoToTheShellsOpen) {
    ShellOpenRecorder shell;
    MessageBoxCatcher boxes;
    SubmitQuery({{"", "http://search.test/a", "", "q="}, {"", "http://search.test/b", "", ""}}, nullptr, "ab");
    ASSERT_TRUE(shell.WaitFor(2, 10000));
    PumpMessages(200);
    EXPECT_EQ(shell.Opened(), (Strings{"http://search.test/a?q=%61%62", "http://search.test/b?%61%62"}));
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST(SubmitQueryWithoutBrowser, PostIsRefusedWithAMessageAndTheGetAfterItStillOpens) {
    ShellOpenRecorder shell;
    MessageBoxCatcher boxes;
    SubmitQuery({{"", "http://search.test/p1", "post", "q="},
                 {"", "http://search.test/g", "", "q="},
                 {"", "http://search.test/p2", "Post", "q="}},
                nullptr, "ab");
    // SubmitQuery returns only after both boxes were closed.
    std::vector<MessageBoxCatcher::Box> shown = boxes.Boxes();
    ASSERT_EQ(shown.size(), 2u);
    for (const auto& box : shown) {
        EXPECT_EQ(box.caption, "Pelorin");
        // タスクバーからPOSTはできません。
        EXPECT_EQ(box.text, "\x83\x5E\x83\x58\x83\x4E\x83\x6F\x81\x5B\x82\xA9\x82\xE7POST"
                            "\x82\xCD\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x81\x42");
    }
    ASSERT_TRUE(shell.WaitFor(1, 10000));
    PumpMessages(200);
    EXPECT_EQ(shell.Opened(), (Strings{"http://search.test/g?q=%61%62"}));
}

TEST(ShellOpenRecorderItself, PutsThePrefixsOwnHandlerBack) {
    auto command = [] {
        char value[1024] = "";
        LONG size = sizeof value;
        RegQueryValueA(HKEY_CLASSES_ROOT, "http\\shell\\open\\command", value, &size);
        return std::string(value);
    };
    std::string before = command();
    {
        ShellOpenRecorder shell;
        EXPECT_NE(command(), before);
        EXPECT_NE(command().find("record_open.exe"), std::string::npos);
    }
    EXPECT_EQ(command(), before);
}

// The natively tested helpers take code page 932's lead bytes from IsCp932LeadByte; the DLL
// takes them from the platform. Both must name the same bytes.
TEST(AnsiLeadBytes, AreCodePage932sLeadBytes) {
    ASSERT_EQ(GetACP(), 932u);
    for (int b = 0; b < 256; ++b) {
        EXPECT_EQ(IsAnsiLeadByte(static_cast<unsigned char>(b)), IsCp932LeadByte(static_cast<unsigned char>(b)))
            << "byte " << b;
    }
}
