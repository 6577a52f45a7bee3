// The user opens a page at the very moment the worker shows what it found. Each image change
// of the worker comes to the band's thread as a message sent from the worker's thread; the
// user's click can come just before or just after it. Either way the page the user has just
// opened must stay Seen: its content is the one recorded as seen. A thread hook on the UI
// thread clicks at the exact moment, so the race is provoked every time, not by luck.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>

#include "band_host.h"
#include "support/shell_open.h"
#include "support/test_env.h"
#include "support/watch_probe.h"

namespace {

const char kFirst[] = "first version";
const char kFirstDigest[] = "E9E2371570DAEC2E7B70FAA4F0F1EAB8";
const char kPageA[] = "http://pages.test/page/a";
enum { Pending = 0, Checking = 1, Changed = 2, Seen = 3 };

// The click the hooks make, once, on the first message another thread sends to the pane or
// its toolbar after they are armed: just before the band's thread handles it, or just after.
// Only a message that came from the other thread counts, not one that its handling sends in
// turn on the band's thread (InSendMessage answers TRUE for those too): a user's click
// cannot come in the middle of a window procedure.
enum class When { Before, After };
struct ClickOnWorkerMessage {
    When when = When::After;
    bool armed = false;
    bool clicked = false;
    int depth = 0;  // messages being handled on this thread, outermost first
    HHOOK before = nullptr;
    HHOOK after = nullptr;
};
ClickOnWorkerMessage g_click;

// The pane and its toolbar are known by their classes, so the hooks work even for a message
// that comes while the band is still being created.
HWND PaneOf(HWND target) {
    char name[32] = "";
    GetClassNameA(target, name, sizeof name);
    if (lstrcmpA(name, "Pelorin-Watch") == 0) return target;
    if (lstrcmpA(name, TOOLBARCLASSNAMEA) == 0) return GetParent(target);
    return nullptr;
}

void ClickIfWorkerSent(HWND target, When when) {
    if (!g_click.armed || g_click.when != when || g_click.depth != 0 || !InSendMessage()) return;
    HWND pane = PaneOf(target);
    if (!pane) return;
    g_click.armed = false;
    SendMessageA(pane, WM_COMMAND, 1, 0);  // what a click on button 1 sends the pane
    g_click.clicked = true;
}

LRESULT CALLBACK BeforeHandling(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        ClickIfWorkerSent(reinterpret_cast<CWPSTRUCT*>(lParam)->hwnd, When::Before);
        ++g_click.depth;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK AfterHandling(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        --g_click.depth;
        ClickIfWorkerSent(reinterpret_cast<CWPRETSTRUCT*>(lParam)->hwnd, When::After);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void Arm(When when) {
    g_click.when = when;
    g_click.depth = 0;
    g_click.before = SetWindowsHookExA(WH_CALLWNDPROC, BeforeHandling, nullptr, GetCurrentThreadId());
    g_click.after = SetWindowsHookExA(WH_CALLWNDPROCRET, AfterHandling, nullptr, GetCurrentThreadId());
    g_click.armed = g_click.before && g_click.after;
}

class OpeningDuringAnImageChange : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_FIXTURE();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        FixtureGet("/_ctl/reset");
        ClearSeenStore();
        WriteAppDataIni("[watch]\r\nitem1=Page A,0,http://pages.test/page/a\r\n");
        ASSERT_EQ(FixturePost("/_ctl/set/a", kFirst).status, 200);
    }
    void TearDown() override {
        if (g_click.before) UnhookWindowsHookEx(g_click.before);
        if (g_click.after) UnhookWindowsHookEx(g_click.after);
        g_click = ClickOnWorkerMessage();
        FixtureGet("/_ctl/reset");
        host_.reset();
        PumpUntil([] { return LoadedDllCanUnloadNow() == S_OK; }, 5000);
        RemoveAppDataIni();
        ClearSeenStore();
        CoUninitialize();
    }

    // The worker sits in its first fetch of page a, showing Checking; then the page is let go
    // and the user clicks when the worker's result reaches the band's thread.
    void OpenWhileTheResultArrives(HostMode mode, When when) {
        FixtureGet("/_ctl/hold/a");
        host_.reset(new BandHost(mode));
        ASSERT_EQ(host_->CreateBand(), S_OK);
        toolbar_ = FindWatchToolbar(host_->bandWindow());
        ASSERT_NE(toolbar_, nullptr);
        ASSERT_TRUE(PumpUntil([&] { return ButtonImageAt(toolbar_, 0) == Checking; }, 10000));
        PumpMessages(200);  // the worker is inside the fetch now, not between its messages

        Arm(when);
        ASSERT_TRUE(g_click.armed);
        FixtureGet("/_ctl/release/a");
        ASSERT_TRUE(PumpUntil([] { return g_click.clicked; }, 10000));
        // Long enough for any second thought of the worker's (it retries after 300 ms).
        PumpMessages(1500);
    }
    void ExpectSeenAndRecorded() {
        EXPECT_EQ(ButtonImageAt(toolbar_, 0), Seen);
        std::string value;
        ASSERT_TRUE(StoredSeenValue(kPageA, &value));
        EXPECT_EQ(value, kFirstDigest);
    }

    std::unique_ptr<BandHost> host_;
    HWND toolbar_ = nullptr;
};

TEST_F(OpeningDuringAnImageChange, ClickJustBeforeTheResultIsShown) {
    OpenWhileTheResultArrives(HostMode::Browser, When::Before);
    ExpectSeenAndRecorded();
    ASSERT_EQ(host_->browser().navigations.size(), 1u);
    EXPECT_EQ(host_->browser().navigations[0].url, kPageA);
}

TEST_F(OpeningDuringAnImageChange, ClickJustAfterTheResultIsShown) {
    OpenWhileTheResultArrives(HostMode::Browser, When::After);
    ExpectSeenAndRecorded();
}

TEST_F(OpeningDuringAnImageChange, InTheTaskbarTheShellOpensAndTheButtonStaysSeen) {
    ShellOpenRecorder shell;
    OpenWhileTheResultArrives(HostMode::Taskbar, When::After);
    ASSERT_TRUE(shell.WaitFor(1, 10000));
    EXPECT_EQ(shell.Opened()[0], kPageA);
    ExpectSeenAndRecorded();
}

// The first message of the worker is Checking, before it fetches; the page is held, so the
// fetch does not end. Opened right after Checking is shown, the button shows Seen and keeps
// it while the fetch goes on; only the fetch's result may change it again.
TEST_F(OpeningDuringAnImageChange, ClickJustAfterCheckingIsShownStaysSeenDuringTheFetch) {
    FixtureGet("/_ctl/hold/a");
    Arm(When::After);
    ASSERT_TRUE(g_click.armed);
    host_.reset(new BandHost(HostMode::Browser));
    // The pane and toolbar are made during CreateBand; the worker's first message waits for
    // this thread's next pump, when both are known.
    ASSERT_EQ(host_->CreateBand(), S_OK);
    toolbar_ = FindWatchToolbar(host_->bandWindow());
    ASSERT_TRUE(PumpUntil([] { return g_click.clicked; }, 10000));
    PumpMessages(1500);
    EXPECT_EQ(ButtonImageAt(toolbar_, 0), Seen);
    std::string value = "unset";
    ASSERT_TRUE(StoredSeenValue(kPageA, &value));
    EXPECT_EQ(value, "");  // opened before any digest was made

    // The fetch's result still comes: never seen with content, so Changed.
    FixtureGet("/_ctl/release/a");
    EXPECT_TRUE(PumpUntil([&] { return ButtonImageAt(toolbar_, 0) == Changed; }, 10000));
}

}  // namespace
