// The watch pane of a band created through COM in the band host, watching pages that the
// HTTP fixture serves: buttons, images through a pass, opening a page, the polling rhythm,
// and closing while a fetch is in flight.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "band_host.h"
#include "support/shell_open.h"
#include "support/test_env.h"
#include "support/watch_probe.h"

namespace {

const char kFirst[] = "first version";
const char kFirstDigest[] = "E9E2371570DAEC2E7B70FAA4F0F1EAB8";
const char kSecond[] = "second version";
const char kPageA[] = "http://pages.test/page/a";
const char kBuiltIn[] = "http://www.vorna.example/toolbar/";
// ツールバー情報, the built-in item's title, in code page 932.
const char kBuiltInTitle[] = "\x83\x63\x81\x5B\x83\x8B\x83\x6F\x81\x5B\x8F\xEE\x95\xF1";

enum { Pending = 0, Checking = 1, Changed = 2, Seen = 3 };

class WatchPane : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_FIXTURE();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        FixtureGet("/_ctl/reset");
        ClearSeenStore();
    }
    void TearDown() override {
        FixtureGet("/_ctl/reset");  // lets any held request go
        host_.reset();
        PumpUntil([] { return LoadedDllCanUnloadNow() == S_OK; }, 5000);
        RemoveAppDataIni();
        ClearSeenStore();
        CoUninitialize();
    }

    void Configure(const std::string& watchSection) { WriteAppDataIni("[watch]\r\n" + watchSection); }
    void SetPage(const std::string& name, const std::string& body) {
        ASSERT_EQ(FixturePost("/_ctl/set/" + name, body).status, 200);
    }
    int Requests(const std::string& name) { return std::atoi(FixtureGet("/_ctl/count/" + name).body.c_str()); }

    void Open(HostMode mode = HostMode::Browser) {
        host_.reset(new BandHost(mode));
        ASSERT_EQ(host_->CreateBand(), S_OK);
        toolbar_ = FindWatchToolbar(host_->bandWindow());
        pane_ = FindWatchPane(host_->bandWindow());
        ASSERT_NE(toolbar_, nullptr);
    }
    bool WaitForImage(int position, int image, DWORD timeoutMs = 10000) {
        return PumpUntil([&] { return ButtonImageAt(toolbar_, position) == image; }, timeoutMs);
    }
    // One more pass, as ticks of the pane's timer ask for it: a tick that comes while a
    // pass runs is absorbed by it, so tick until page a is asked for the n-th time, then
    // wait until the built-in item, the last of the pass, is done too.
    void RunPass(int n) {
        ASSERT_TRUE(PumpUntil([&] {
            if (Requests("a") >= n) return true;
            PostMessageA(pane_, WM_TIMER, 0, 0);
            PumpMessages(100);
            return Requests("a") >= n;
        }, 10000));
        ASSERT_EQ(Requests("a"), n);
        ASSERT_TRUE(PumpUntil([&] {
            return std::atoi(FixtureGet("/_ctl/hits/toolbar/").body.c_str()) == n &&
                   ButtonImageAt(toolbar_, 1) != Checking;
        }, 10000));
    }

    std::unique_ptr<BandHost> host_;
    HWND toolbar_ = nullptr;
    HWND pane_ = nullptr;
};

TEST_F(WatchPane, ConfiguredItemThenBuiltInOneGoPendingCheckingChanged) {
    Configure("item1=Page A,0,http://pages.test/page/a\r\n");
    SetPage("a", kFirst);
    FixtureGet("/_ctl/hold/a");
    Open();

    ASSERT_EQ(ButtonCount(toolbar_), 2);
    EXPECT_EQ(CommandIdAt(toolbar_, 0), 1);
    EXPECT_EQ(CommandIdAt(toolbar_, 1), 2);
    EXPECT_EQ(TooltipText(pane_, 1), "Page A");
    EXPECT_EQ(TooltipText(pane_, 2), kBuiltInTitle);
    // Ids outside the items leave the text alone.
    EXPECT_EQ(TooltipText(pane_, 0), "(unchanged)");
    EXPECT_EQ(TooltipText(pane_, 3), "(unchanged)");

    // The fixture holds page a: the worker sits in its fetch, the built-in item waits.
    ASSERT_TRUE(WaitForImage(0, Checking));
    EXPECT_EQ(ButtonImageAt(toolbar_, 1), Pending);

    FixtureGet("/_ctl/release/a");
    EXPECT_TRUE(WaitForImage(0, Changed));  // never opened: the store is empty
    EXPECT_TRUE(WaitForImage(1, Changed));
    std::string value;
    EXPECT_FALSE(StoredSeenValue(kPageA, &value)) << "the worker never writes the store";
}

TEST_F(WatchPane, OpeningRecordsTheDigestShowsSeenAndNavigates) {
    Configure("item1=Page A,0,http://pages.test/page/a\r\n");
    SetPage("a", kFirst);
    Open();
    ASSERT_TRUE(WaitForImage(0, Changed));

    SendMessageA(pane_, WM_COMMAND, 1, 0);
    EXPECT_EQ(ButtonImageAt(toolbar_, 0), Seen);
    std::string value;
    ASSERT_TRUE(StoredSeenValue(kPageA, &value));
    EXPECT_EQ(value, kFirstDigest);
    ASSERT_EQ(host_->browser().navigations.size(), 1u);
    const NavigateCall& call = host_->browser().navigations[0];
    EXPECT_EQ(call.url, kPageA);
    EXPECT_FALSE(call.flagsGiven);
    EXPECT_FALSE(call.targetGiven);
    EXPECT_EQ(call.postDataType, static_cast<VARTYPE>(VT_ILLEGAL));
    EXPECT_EQ(call.headersType, static_cast<VARTYPE>(VT_ILLEGAL));

    // The built-in item opens its own address.
    SendMessageA(pane_, WM_COMMAND, 2, 0);
    ASSERT_EQ(host_->browser().navigations.size(), 2u);
    EXPECT_EQ(host_->browser().navigations[1].url, kBuiltIn);
}

TEST_F(WatchPane, WithoutABrowserTheShellOpensThePage) {
    ShellOpenRecorder shell;
    Configure("item1=Page A,0,http://pages.test/page/a\r\n");
    SetPage("a", kFirst);
    Open(HostMode::Taskbar);
    ASSERT_TRUE(WaitForImage(0, Changed));
    SendMessageA(pane_, WM_COMMAND, 1, 0);
    EXPECT_EQ(ButtonImageAt(toolbar_, 0), Seen);
    ASSERT_TRUE(shell.WaitFor(1, 10000));
    EXPECT_EQ(shell.Opened()[0], kPageA);
}

TEST_F(WatchPane, OpeningBeforeAnyDigestStoresEmptyAndTheNextPassShowsChanged) {
    Configure("item1=Page A,0,http://pages.test/page/a\r\n");
    SetPage("a", kFirst);
    FixtureGet("/_ctl/hold/a");
    Open();
    ASSERT_TRUE(WaitForImage(0, Checking));

    SendMessageA(pane_, WM_COMMAND, 1, 0);
    std::string value = "unset";
    ASSERT_TRUE(StoredSeenValue(kPageA, &value));
    EXPECT_EQ(value, "");
    EXPECT_EQ(ButtonImageAt(toolbar_, 0), Seen);

    FixtureGet("/_ctl/release/a");
    EXPECT_TRUE(WaitForImage(0, Changed));
}

TEST_F(WatchPane, ChangesCountAgainstWhatTheUserLastOpened) {
    Configure("item1=Page A,0,http://pages.test/page/a\r\n");
    SetPage("a", kFirst);
    Open();
    ASSERT_TRUE(WaitForImage(1, Changed));  // the whole first pass is over
    SendMessageA(pane_, WM_COMMAND, 1, 0);

    // Unchanged: Seen again after the next pass.
    RunPass(2);
    EXPECT_EQ(ButtonImageAt(toolbar_, 0), Seen);

    // Changed, and it stays so pass after pass until opened.
    SetPage("a", kSecond);
    RunPass(3);
    EXPECT_EQ(ButtonImageAt(toolbar_, 0), Changed);
    RunPass(4);
    EXPECT_EQ(ButtonImageAt(toolbar_, 0), Changed);

    // Back to what the user saw: Seen again, although the last pass said Changed.
    SetPage("a", kFirst);
    RunPass(5);
    EXPECT_EQ(ButtonImageAt(toolbar_, 0), Seen);
}

TEST_F(WatchPane, FailingPagesShowCheckingThenSeenAndLeaveTheStoreAlone) {
    Configure("item1=Missing,0,http://pages.test/page/missing\r\n"
              "item2=Nowhere,0,http://nowhere.invalid/x\r\n");
    FixtureGet("/_ctl/hold/missing");
    Open();
    ASSERT_TRUE(WaitForImage(0, Checking));
    FixtureGet("/_ctl/release/missing");
    EXPECT_TRUE(WaitForImage(0, Seen));
    EXPECT_TRUE(WaitForImage(1, Seen));
    EXPECT_FALSE(StoredSeenValue("http://pages.test/page/missing", nullptr));
    EXPECT_FALSE(StoredSeenValue("http://nowhere.invalid/x", nullptr));
}

// A page the user has opened, whose server then answers broken: no pass takes what arrived
// for the page, so it stays Seen, and opening it again records the digest seen before.
TEST_F(WatchPane, ABrokenAnswerLeavesAnOpenedPageSeenAndItsRecordedDigest) {
    Configure("item1=Page A,0,http://pages.test/page/a\r\n");
    SetPage("a", kFirst);
    Open();
    ASSERT_TRUE(WaitForImage(1, Changed));  // the whole first pass is over
    SendMessageA(pane_, WM_COMMAND, 1, 0);
    SetPage("a", kSecond);  // what a whole answer would now show as Changed

    int pass = 1;
    for (const char* behaviour : {"short-then-close", "length-then-close", "reset-mid-body",
                                  "reset-without-length", "chunked-no-last-chunk", "chunk-invalid",
                                  "status-line-only", "http09-lines", "binary-status"}) {
        FixtureGet(std::string("/_ctl/break/a/") + behaviour);
        RunPass(++pass);
        EXPECT_EQ(ButtonImageAt(toolbar_, 0), Seen) << behaviour;
        SendMessageA(pane_, WM_COMMAND, 1, 0);
        std::string value;
        ASSERT_TRUE(StoredSeenValue(kPageA, &value));
        EXPECT_EQ(value, kFirstDigest) << behaviour;
    }
    FixtureGet("/_ctl/mend/a");
    RunPass(++pass);
    EXPECT_EQ(ButtonImageAt(toolbar_, 0), Changed);
}

TEST_F(WatchPane, NoIntervalMeansExactlyOnePass) {
    Configure("item1=Page A,0,http://pages.test/page/a\r\n");
    SetPage("a", kFirst);
    Open();
    ASSERT_TRUE(WaitForImage(1, Changed));
    PumpMessages(2500);
    EXPECT_EQ(Requests("a"), 1);
}

TEST_F(WatchPane, IntervalRepeatsPassesAndTicksDuringAPassAddNone) {
    Configure("interval=1\r\nitem1=Page A,0,http://pages.test/page/a\r\n");
    SetPage("a", kFirst);
    Open();
    ASSERT_TRUE(PumpUntil([&] { return Requests("a") >= 3; }, 8000)) << Requests("a");

    // A pass held for about three ticks: the ticks are absorbed by it.
    FixtureGet("/_ctl/hold/a");
    int before = Requests("a");
    ASSERT_TRUE(PumpUntil([&] { return Requests("a") == before + 1; }, 5000));
    PumpMessages(3200);
    EXPECT_EQ(Requests("a"), before + 1);
    FixtureGet("/_ctl/release/a");
    ASSERT_TRUE(WaitForImage(1, Changed));
    // The next pass waits for the next tick instead of following at once.
    PumpMessages(300);
    EXPECT_LE(Requests("a"), before + 2);
}

TEST_F(WatchPane, UnknownCommandIdsShowTheMessageBoxAndOpenNothing) {
    Configure("item1=Page A,0,http://pages.test/page/a\r\n");
    SetPage("a", kFirst);
    Open();
    MessageBoxCatcher boxes;
    SendMessageA(pane_, WM_COMMAND, 0, 0);
    SendMessageA(pane_, WM_COMMAND, 3, 0);
    ASSERT_TRUE(boxes.WaitFor(2, 5000));
    for (const auto& box : boxes.Boxes()) {
        EXPECT_EQ(box.caption, "Pelorin");
        // よく分からない WM_COMMAND メッセージが来ました.
        EXPECT_EQ(box.text,
                  "\x82\xE6\x82\xAD\x95\xAA\x82\xA9\x82\xE7\x82\xC8\x82\xA2 WM_COMMAND "
                  "\x83\x81\x83\x62\x83\x5A\x81\x5B\x83\x57\x82\xAA\x97\x88\x82\xDC\x82\xB5\x82\xBD.");
    }
    EXPECT_TRUE(host_->browser().navigations.empty());
    EXPECT_FALSE(StoredSeenValue(kPageA, nullptr));
}

TEST_F(WatchPane, ClosingDuringAFetchReturnsAtOnceAndTheWorkerEndsByItself) {
    Configure("item1=Page A,0,http://pages.test/page/a\r\n");
    SetPage("a", kFirst);
    FixtureGet("/_ctl/hold/a");
    Open();
    ASSERT_TRUE(WaitForImage(0, Checking));

    DWORD start = GetTickCount();
    host_->CloseBand();
    DWORD took = GetTickCount() - start;
    EXPECT_LT(took, 1000u) << "closing waited for the fetch";

    // The worker is still in its fetch and keeps the library in use...
    EXPECT_EQ(LoadedDllCanUnloadNow(), S_FALSE);
    // ...until the fixture answers; then it ends on its own (a killed thread never would).
    FixtureGet("/_ctl/release/a");
    EXPECT_TRUE(PumpUntil([] { return LoadedDllCanUnloadNow() == S_OK; }, 10000));
    std::string value;
    EXPECT_FALSE(StoredSeenValue(kPageA, &value));
}

TEST_F(WatchPane, ClosingWhileTheWorkerWaitsEndsItAtOnce) {
    Configure("item1=Page A,0,http://pages.test/page/a\r\n");
    SetPage("a", kFirst);
    Open();
    ASSERT_TRUE(WaitForImage(1, Changed));
    PumpMessages(300);  // the worker clears its event after the last image, then waits
    host_->CloseBand();
    // The pane waited for the idle worker's thread, so the library is free at once.
    EXPECT_EQ(LoadedDllCanUnloadNow(), S_OK);
}

TEST_F(WatchPane, ClosingWhileTheWorkerSendsItsFirstImageEndsItBeforeAnyFetch) {
    Configure("item1=Page A,0,http://pages.test/page/a\r\n");
    SetPage("a", kFirst);
    // No message is pumped between the two: the worker's Checking waits for the host's thread
    // when the close comes.
    Open();
    host_->CloseBand();
    // The pane answered the worker while it waited, so the worker had ended by then...
    EXPECT_EQ(LoadedDllCanUnloadNow(), S_OK);
    // ...and asked for nothing for a band that was gone.
    PumpMessages(300);
    EXPECT_EQ(Requests("a"), 0);
}

TEST_F(WatchPane, ManyOpenCloseCyclesLeakNothing) {
    std::string items;
    const char* urls[] = {"http://pages.test/page/a", "http://pages.test/sleep/0.3",
                          "http://pages.test/status/500", "http://nowhere.invalid/x",
                          "http://pages.test/page/missing", "http://pages.test/plain",
                          "http://pages.test/silent", "http://pages.test/big/300000",
                          "http://pages.test/reset", "http://pages.test/garbage"};
    for (int i = 0; i < 10; ++i) {
        items += "item" + std::to_string(i + 1) + "=Item " + std::to_string(i) + "," +
                 std::to_string(i % 2) + "," + urls[i] + "\r\n";
    }
    Configure(items);
    SetPage("a", kFirst);

    // One cycle first, so that what loads once (the library, comctl32's classes) is loaded.
    Open();
    host_.reset();
    ASSERT_TRUE(PumpUntil([] { return LoadedDllCanUnloadNow() == S_OK; }, 15000));
    ProcessFootprint before = MeasureFootprint();

    for (int cycle = 0; cycle < 200; ++cycle) {
        Open();
        PumpMessages(cycle % 3 == 0 ? 20 : 1);
        host_.reset();
    }
    // Workers left inside fetches end by themselves; /silent ends at the receive time-out,
    // so let the fixture drop the held connections now rather than wait for it.
    FixtureGet("/_ctl/reset");
    ASSERT_TRUE(PumpUntil([] { return LoadedDllCanUnloadNow() == S_OK; }, 120000));
    PumpMessages(200);

    ProcessFootprint after = MeasureFootprint();
    PrintFootprints(before, after);
    EXPECT_EQ(after.probe, before.probe);
    // A pane left behind would keep kilobytes a cycle: its items, toolbar and image list.
    EXPECT_LT(after.processHeapBytes, before.processHeapBytes + 200 * 16);
    EXPECT_LT(after.runtimeHeapBytes, before.runtimeHeapBytes + 200 * 16);
}

}  // namespace
