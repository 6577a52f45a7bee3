// What the watch pane tells a host that listens (IOleCommandTarget on its site): each page
// that turns Changed, and each that stops showing it, in the order the buttons change; and
// that a host that does not listen is asked once and then left as it was.
#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

#include "band_host.h"
#include "support/test_env.h"
#include "support/watch_probe.h"
#include "watch/watch_notice.h"

namespace {

enum { Changed = 2, Seen = 3 };
const char kPageA[] = "http://pages.test/page/a";
const char kPageB[] = "http://pages.test/page/b";
const char kBuiltIn[] = "http://www.vorna.example/toolbar/";

class WatchNotices : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_FIXTURE();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        FixtureGet("/_ctl/reset");
        ClearSeenStore();
        WriteAppDataIni("[watch]\r\nitem1=Page A,0,http://pages.test/page/a\r\n"
                        "item2=Page B,0,http://pages.test/page/b\r\n");
        ASSERT_EQ(FixturePost("/_ctl/set/a", "first a").status, 200);
        ASSERT_EQ(FixturePost("/_ctl/set/b", "first b").status, 200);
    }
    void TearDown() override {
        if (host_) {
            host_->CloseBand();
            EXPECT_EQ(host_->site().RefCount(), 1);
        }
        host_.reset();
        EXPECT_TRUE(PumpUntil([] { return LoadedDllCanUnloadNow() == S_OK; }, 10000));
        RemoveAppDataIni();
        ClearSeenStore();
        CoUninitialize();
    }

    void CreateBand(bool listens) {
        host_ = std::make_unique<BandHost>(HostMode::Browser, listens);
        ASSERT_EQ(host_->CreateBand(), S_OK);
        pane_ = FindWatchPane(host_->bandWindow());
        toolbar_ = FindWatchToolbar(host_->bandWindow());
        ASSERT_NE(toolbar_, nullptr);
    }
    bool WaitForImages(int a, int b, int builtIn) {
        return PumpUntil([&] {
            return ButtonImageAt(toolbar_, 0) == a && ButtonImageAt(toolbar_, 1) == b &&
                   ButtonImageAt(toolbar_, 2) == builtIn;
        }, 15000);
    }
    // Passes, as the pane's timer starts them, until the images show: a tick during a pass
    // is that pass, so it is given again.
    bool PollUntil(int a, int b, int builtIn) {
        return PumpUntil([&] {
            SendMessageA(pane_, WM_TIMER, 0, 0);
            PumpMessages(300);
            return ButtonImageAt(toolbar_, 0) == a && ButtonImageAt(toolbar_, 1) == b &&
                   ButtonImageAt(toolbar_, 2) == builtIn;
        }, 15000);
    }

    std::unique_ptr<BandHost> host_;
    HWND pane_ = nullptr;
    HWND toolbar_ = nullptr;
};

TEST_F(WatchNotices, AListeningHostHearsEachChangeInTheOrderOfTheImages) {
    CreateBand(true);
    ASSERT_TRUE(WaitForImages(Changed, Changed, Changed));
    PumpMessages(200);
    SendMessageA(pane_, WM_COMMAND, 2, 0);  // the user opens B, then A
    SendMessageA(pane_, WM_COMMAND, 1, 0);
    // A changes, and the next pass sees it; then it comes back to what the user saw.
    ASSERT_EQ(FixturePost("/_ctl/set/a", "second a").status, 200);
    ASSERT_TRUE(PollUntil(Changed, Seen, Changed));
    ASSERT_EQ(FixturePost("/_ctl/set/a", "first a").status, 200);
    ASSERT_TRUE(PollUntil(Seen, Seen, Changed));
    PumpMessages(300);

    struct Expected {
        DWORD command;
        const char* address;
        const char* title;
    } expected[] = {
        {kWatchPageChanged, kPageA, "Page A"},
        {kWatchPageChanged, kPageB, "Page B"},
        {kWatchPageChanged, kBuiltIn, "\x83\x63\x81\x5B\x83\x8B\x83\x6F\x81\x5B\x8F\xEE\x95\xF1"},  // ツールバー情報
        {kWatchPageNoLongerChanged, kPageB, "Page B"},
        {kWatchPageNoLongerChanged, kPageA, "Page A"},
        {kWatchPageChanged, kPageA, "Page A"},
        {kWatchPageNoLongerChanged, kPageA, "Page A"},
    };
    const std::vector<WatchNoticeCall>& notices = host_->site().notices;
    ASSERT_EQ(notices.size(), std::size(expected));
    for (size_t i = 0; i < notices.size(); ++i) {
        EXPECT_EQ(notices[i].command, expected[i].command) << i;
        EXPECT_EQ(notices[i].address, expected[i].address) << i;
        EXPECT_EQ(notices[i].title, expected[i].title) << i;
        EXPECT_EQ(notices[i].passage, L"") << i;  // pages compared whole have nothing new to tell
    }
}

TEST_F(WatchNotices, AHostThatDoesNotListenIsAskedOnceAndSeesTodaysCallsOnly) {
    CreateBand(false);
    ASSERT_TRUE(WaitForImages(Changed, Changed, Changed));
    SendMessageA(pane_, WM_COMMAND, 2, 0);
    ASSERT_EQ(FixturePost("/_ctl/set/a", "second a").status, 200);
    ASSERT_TRUE(PollUntil(Changed, Seen, Changed));
    EXPECT_TRUE(host_->site().notices.empty());
    EXPECT_EQ(host_->site().commandTargetAsks, 1);
    // The page opened, and nothing else.
    ASSERT_EQ(host_->browser().navigations.size(), 1u);
    EXPECT_EQ(host_->browser().navigations[0].url, kPageB);
    EXPECT_TRUE(host_->site().focusChanges.empty());
}

}  // namespace
