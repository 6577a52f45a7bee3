// The four comparisons through the real band, created through COM in the band host, against
// pages of the HTTP fixture that change the way real pages do between two polls: a script's
// token on every request, a clock, and a real change of the text. Then a page whose item line
// changes its comparison, and one an older band saw: neither turns yellow by itself. Last,
// what a page compared by its text says it has new, in the button's own tooltip.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "band_host.h"
#include "support/test_env.h"
#include "support/watch_probe.h"

namespace {

enum { Pending = 0, Checking = 1, Changed = 2, Seen = 3 };

const char kPages[] = "http://pages.test/page/";

// A news page whose inline script carries a new token on every request.
const char kTokenPage[] =
    "<html><head><title>News</title><script>window.nonce = \"@TOKEN@\";</script></head>"
    "<body><h1>Headlines</h1><p>Rain in Tokyo</p></body></html>";
// A page whose clock moves on every request; the rest stays.
const char kClockPage[] = "<html><body><div id=clock>@COUNT@:00</div><p>Weather: sunny</p></body></html>";
const char kClockPageChanged[] = "<html><body><div id=clock>@COUNT@:00</div><p>Weather: rain</p></body></html>";

// A news page that gains a headline, 新しい見出し (in UTF-8 here, code page 932 below).
const char kNewsPage[] =
    "<html><head><meta charset=\"utf-8\"><title>News</title></head>"
    "<body><h1>Headlines</h1><p>Rain in Tokyo</p></body></html>";
const char kNewsPageWithHeadline[] =
    "<html><head><meta charset=\"utf-8\"><title>News</title></head>"
    "<body><h1>Headlines</h1><h2>\xE6\x96\xB0\xE3\x81\x97\xE3\x81\x84\xE8\xA6\x8B\xE5\x87\xBA\xE3\x81\x97</h2>"
    "<p>Rain in Tokyo</p></body></html>";
const char kNewsPageWithTwo[] =
    "<html><head><meta charset=\"utf-8\"><title>News</title></head>"
    "<body><h1>Headlines</h1><h2>Snow in Sapporo</h2>"
    "<h2>\xE6\x96\xB0\xE3\x81\x97\xE3\x81\x84\xE8\xA6\x8B\xE5\x87\xBA\xE3\x81\x97</h2>"
    "<p>Rain in Tokyo</p></body></html>";
// " ― 新: " and 新しい見出し in code page 932.
const char kNewJa[] = " \x81\x5C \x90\x56: ";
const char kHeadlineJa[] = "\x90\x56\x82\xB5\x82\xA2\x8C\xA9\x8F\x6F\x82\xB5";

std::wstring Wide(const std::string& cp932) {
    int n = MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(932, 0, cp932.data(), static_cast<int>(cp932.size()), &wide[0], n);
    return wide;
}

size_t FilesEndingIn(const std::string& end) {
    size_t n = 0;
    for (const std::string& name : KeptTextFiles()) {
        if (name.size() > end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0) ++n;
    }
    return n;
}

class Comparisons : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_FIXTURE();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        FixtureGet("/_ctl/reset");
        ClearSeenStore();
    }
    void TearDown() override {
        host_.reset();
        PumpUntil([] { return LoadedDllCanUnloadNow() == S_OK; }, 5000);
        RemoveAppDataIni();
        ClearSeenStore();
        FixtureGet("/_ctl/reset");
        CoUninitialize();
    }

    // Serves body as /page/name, its @TOKEN@ and @COUNT@ filled in anew on each request.
    void SetVarying(const std::string& name, const std::string& body) {
        ASSERT_EQ(FixturePost("/_ctl/varying/" + name, body).status, 200);
    }
    void Configure(const std::string& items) { WriteAppDataIni("[watch]\r\n" + items); }

    // A band whose first pass is over: the built-in item, the last one, has its answer.
    void Open(int builtInPosition) {
        builtIn_ = builtInPosition;
        host_.reset(new BandHost(HostMode::Browser));
        ASSERT_EQ(host_->CreateBand(), S_OK);
        toolbar_ = FindWatchToolbar(host_->bandWindow());
        pane_ = FindWatchPane(host_->bandWindow());
        ASSERT_NE(toolbar_, nullptr);
        ASSERT_EQ(ButtonCount(toolbar_), builtIn_ + 1);
        ASSERT_TRUE(PumpUntil([&] { return Image(builtIn_) == Changed; }, 10000));
    }
    void Close() {
        host_.reset();
        ASSERT_TRUE(PumpUntil([] { return LoadedDllCanUnloadNow() == S_OK; }, 5000));
    }
    int Image(int position) { return ButtonImageAt(toolbar_, position); }
    int BuiltInHits() { return std::atoi(FixtureGet("/_ctl/hits/toolbar/").body.c_str()); }

    // One more pass, as the pane's timer asks for it: ticks until the pass has begun (a tick
    // during a pass is absorbed by it), then waits until the built-in item is done.
    void RunPass() {
        int before = BuiltInHits();
        ASSERT_TRUE(PumpUntil([&] {
            PostMessageA(pane_, WM_TIMER, 0, 0);
            PumpMessages(100);
            return BuiltInHits() > before;
        }, 10000));
        ASSERT_TRUE(PumpUntil([&] { return BuiltInHits() == before + 1 && Image(builtIn_) != Checking; }, 10000));
    }
    // The user's click on item `id` (1-based): the page opens and its digest is seen.
    void OpenItem(int id) {
        SendMessageA(pane_, WM_COMMAND, id, 0);
        ASSERT_EQ(Image(id - 1), Seen);
    }
    // The seen record beside the digest: the comparison's word and the digest itself.
    void ExpectSeenWith(const std::string& page, const std::string& word) {
        std::string digest, record;
        ASSERT_TRUE(StoredSeenValue(kPages + page, &digest)) << page;
        ASSERT_TRUE(StoredSeenComparison(kPages + page, &record)) << page;
        EXPECT_EQ(digest.size(), 32u) << page;
        EXPECT_EQ(record, word + " " + digest) << page;
    }

    std::unique_ptr<BandHost> host_;
    HWND toolbar_ = nullptr;
    HWND pane_ = nullptr;
    int builtIn_ = 0;
};

TEST_F(Comparisons, AScriptTokenKeepsATextPageSeenWhereMarkupRemovalSeesAChange) {
    SetVarying("token-text", kTokenPage);
    SetVarying("token-markup", kTokenPage);
    Configure("item1=News,1,http://pages.test/page/token-text text\r\n"
              "item2=News old,1,http://pages.test/page/token-markup\r\n");
    Open(2);
    EXPECT_EQ(Image(0), Changed);  // never opened
    EXPECT_EQ(Image(1), Changed);
    OpenItem(1);
    OpenItem(2);
    ExpectSeenWith("token-text", "text");
    ExpectSeenWith("token-markup", "markup");

    RunPass();
    EXPECT_EQ(Image(0), Seen);
    EXPECT_EQ(Image(1), Changed) << "the token stays in the text once tags are removed";
}

TEST_F(Comparisons, AClockChangesTheTextButNotTheTextWithoutNumbersAndARealChangeShowsInBoth) {
    SetVarying("clock-text", kClockPage);
    SetVarying("clock-numbers", kClockPage);
    Configure("item1=Clock,1,http://pages.test/page/clock-text text\r\n"
              "item2=Clock,1,http://pages.test/page/clock-numbers TEXT-NO-NUMBERS\r\n");
    Open(2);
    OpenItem(1);
    OpenItem(2);
    ExpectSeenWith("clock-numbers", "text-no-numbers");

    RunPass();
    EXPECT_EQ(Image(0), Changed);
    EXPECT_EQ(Image(1), Seen);

    SetVarying("clock-text", kClockPageChanged);
    SetVarying("clock-numbers", kClockPageChanged);
    RunPass();
    EXPECT_EQ(Image(0), Changed);
    EXPECT_EQ(Image(1), Changed);
}

TEST_F(Comparisons, ANewComparisonForASeenPageIsNoChangeButANeverOpenedPageStillIs) {
    ASSERT_EQ(FixturePost("/_ctl/set/price", "<p>Tea <b>120</b> yen</p>").status, 200);
    ASSERT_EQ(FixturePost("/_ctl/set/older", "<p>Seen by an older band</p>").status, 200);
    ASSERT_EQ(FixturePost("/_ctl/set/legacy", "<p>Compared as ever</p>").status, 200);
    ASSERT_EQ(FixturePost("/_ctl/set/new", "<p>Never opened</p>").status, 200);
    const std::string lines = "item2=Older,1,http://pages.test/page/older text\r\n"
                              "item3=Legacy,1,http://pages.test/page/legacy\r\n"
                              "item4=New,1,http://pages.test/page/new text-no-numbers\r\n";
    Configure("item1=Price,1,http://pages.test/page/price text\r\n" + lines);
    Open(4);
    OpenItem(1);
    std::string textDigest;
    ASSERT_TRUE(StoredSeenValue(std::string(kPages) + "price", &textDigest));
    Close();

    // What an older band leaves: the digest alone, made with what the number means (markup
    // removed). For "older" the user has since added a word; "legacy" has none.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Vorna\\Pelorin", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const char kOlderDigest[] = "0123456789ABCDEF0123456789ABCDEF";
    for (const char* page : {"older", "legacy"}) {
        std::string name = std::string(kPages) + page;
        RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(kOlderDigest), 32);
    }
    RegCloseKey(key);

    Configure("item1=Price,1,http://pages.test/page/price text-no-numbers\r\n" + lines);
    Open(4);
    EXPECT_EQ(Image(0), Seen) << "the new comparison alone turned the page yellow";
    EXPECT_EQ(Image(1), Seen) << "a word added to a page an older band saw turned it yellow";
    EXPECT_EQ(Image(2), Changed) << "a line without a word compares as it always did";
    EXPECT_EQ(Image(3), Changed) << "a page never opened is a change";
    // The new digest is the seen one now, with its comparison; an older band reads the digest.
    ExpectSeenWith("price", "text-no-numbers");
    ExpectSeenWith("older", "text");
    std::string seen;
    ASSERT_TRUE(StoredSeenValue(std::string(kPages) + "price", &seen));
    EXPECT_NE(seen, textDigest);
    EXPECT_FALSE(StoredSeenComparison(std::string(kPages) + "legacy", nullptr));
    EXPECT_FALSE(StoredSeenValue(std::string(kPages) + "new", nullptr));

    // From now on the new comparison's digest counts: the price changes, the page stays Seen.
    ASSERT_EQ(FixturePost("/_ctl/set/price", "<p>Tea <b>150</b> yen</p>").status, 200);
    RunPass();
    EXPECT_EQ(Image(0), Seen);
    ASSERT_EQ(FixturePost("/_ctl/set/price", "<p>Coffee <b>150</b> yen</p>").status, 200);
    RunPass();
    EXPECT_EQ(Image(0), Changed);
}

TEST_F(Comparisons, ANewHeadlineShowsInTheTooltipUntilOpenedAndAMovedParagraphOrANumberShowsNothingNew) {
    ASSERT_EQ(FixturePost("/_ctl/set/news", kNewsPage).status, 200);
    ASSERT_EQ(FixturePost("/_ctl/set/moved", "<p>First paragraph</p><p>Second paragraph</p><p>Third</p>").status, 200);
    ASSERT_EQ(FixturePost("/_ctl/set/counter", "<p>Visitors: 10</p><p>Welcome</p>").status, 200);
    Configure("item1=News,1,http://pages.test/page/news text\r\n"
              "item2=Moved,1,http://pages.test/page/moved text\r\n"
              "item3=Counter,1,http://pages.test/page/counter text-no-numbers\r\n");
    Open(3);
    // Never opened: changed, with nothing to compare with, so the plain title.
    EXPECT_EQ(Image(0), Changed);
    EXPECT_EQ(ToolTipShows(toolbar_, 1), L"News");
    for (int id = 1; id <= 3; ++id) OpenItem(id);
    EXPECT_EQ(FilesEndingIn(".txt"), 3u) << "opening keeps the text the pass fetched";
    EXPECT_EQ(FilesEndingIn(".new"), 0u);
    // As a page seen by a band that kept no texts: the next pass over the unchanged pages keeps them.
    ClearKeptTexts();
    RunPass();
    EXPECT_EQ(FilesEndingIn(".txt"), 3u);

    ASSERT_EQ(FixturePost("/_ctl/set/news", kNewsPageWithHeadline).status, 200);
    ASSERT_EQ(FixturePost("/_ctl/set/moved", "<p>Second paragraph</p><p>Third</p><p>First paragraph</p>").status, 200);
    ASSERT_EQ(FixturePost("/_ctl/set/counter", "<p>Visitors: 11</p><p>Welcome</p>").status, 200);
    RunPass();
    EXPECT_EQ(Image(0), Changed);
    EXPECT_EQ(ToolTipShows(toolbar_, 1), Wide(std::string("News") + kNewJa + kHeadlineJa));
    EXPECT_EQ(TooltipText(pane_, 1), std::string("News") + kNewJa + kHeadlineJa);
    EXPECT_EQ(Image(1), Changed) << "the order of the paragraphs is the page's";
    EXPECT_EQ(ToolTipShows(toolbar_, 2), L"Moved") << "a moved paragraph is not new";
    EXPECT_EQ(Image(2), Seen) << "only a number changed";
    EXPECT_EQ(ToolTipShows(toolbar_, 3), L"Counter");
    RunPass();  // still changed the same way: the same words
    EXPECT_EQ(ToolTipShows(toolbar_, 1), Wide(std::string("News") + kNewJa + kHeadlineJa));

    OpenItem(1);
    EXPECT_EQ(ToolTipShows(toolbar_, 1), L"News");
    RunPass();
    EXPECT_EQ(Image(0), Seen);
    EXPECT_EQ(ToolTipShows(toolbar_, 1), L"News");
    // What was opened is what the next change is told against: only the second headline is new.
    ASSERT_EQ(FixturePost("/_ctl/set/news", kNewsPageWithTwo).status, 200);
    RunPass();
    EXPECT_EQ(Image(0), Changed);
    EXPECT_EQ(ToolTipShows(toolbar_, 1), Wide(std::string("News") + kNewJa + "Snow in Sapporo"));
}

}  // namespace
