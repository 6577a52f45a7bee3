// The search pane inside the real band, created through COM in the band host: which
// pelorin.ini the library reads, focus given by the host's activation, and keys delivered
// the way a browser delivers them.
#include <gtest/gtest.h>
#include <windows.h>
#include <shobjidl.h>

#include <memory>

#include "band_host.h"
#include "support/shell_open.h"
#include "support/test_env.h"
#include "support/watch_probe.h"

namespace {

const char kAppDataIni[] =
    "[search]\r\n"
    "url1=http://search.test/appdata\r\nform1=q=\r\n"
    "url2=http://search.test/post\r\nmethod2=post\r\nform2=k=\r\n";
const char kBesideIni[] = "[search]\r\nurl1=http://search.test/beside\r\nform1=q=\r\n";

std::string BesideIniPath() { return BuildDir() + "\\pelorin.ini"; }

bool g_libraryLoadedBeforeTheFiles = false;

LPARAM KeyDownBits(WPARAM key, bool repeat) {
    return 1 | (static_cast<LPARAM>(MapVirtualKeyA(static_cast<UINT>(key), 0)) << 16) | (repeat ? (1L << 30) : 0);
}

class SearchInBand : public ::testing::Test {
protected:
    // The library looks for pelorin.ini when it is loaded, so both files are in place before
    // the first band of this program is made.
    static void SetUpTestSuite() {
        g_libraryLoadedBeforeTheFiles = GetModuleHandleA("pelorin.beta.dll") != nullptr;
        WriteAppDataIni(kAppDataIni);
        WriteBytes(BesideIniPath(), kBesideIni);
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, BesideIniPath().c_str());
    }
    static void TearDownTestSuite() {
        RemoveAppDataIni();
        DeleteFileA(BesideIniPath().c_str());
        WritePrivateProfileStringA(nullptr, nullptr, nullptr, BesideIniPath().c_str());
    }

    void SetUp() override { host_ = std::make_unique<BandHost>(HostMode::Browser); }
    void TearDown() override {
        host_->CloseBand();
        EXPECT_EQ(host_->site().RefCount(), 1);
        EXPECT_EQ(host_->browser().RefCount(), 1);
        host_.reset();
        EXPECT_TRUE(PumpUntil([] { return LoadedDllCanUnloadNow() == S_OK; }, 10000));
    }

    // Creates the band and finds its search edit box.
    void CreateBand() {
        ASSERT_EQ(host_->CreateBand(), S_OK);
        HWND pane = FindSearchPane(host_->bandWindow());
        ASSERT_NE(pane, nullptr);
        edit_ = FindWindowExA(pane, nullptr, "Edit", nullptr);
        ASSERT_NE(edit_, nullptr);
        SetForegroundWindow(host_->hostWindow());
    }

    HRESULT Activate() {
        IInputObject* input = nullptr;
        HRESULT hr = host_->band()->QueryInterface(IID_IInputObject, reinterpret_cast<void**>(&input));
        if (FAILED(hr)) return hr;
        hr = input->UIActivateIO(TRUE, nullptr);
        input->Release();
        return hr;
    }

    // The host's message loop: keys go to the band while it has the focus.
    template <typename Pred>
    bool RunHostUntil(Pred pred, DWORD timeoutMs) {
        DWORD start = GetTickCount();
        for (;;) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) host_->Dispatch(msg);
            if (pred()) return true;
            if (GetTickCount() - start > timeoutMs) return false;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
    }

    HRESULT DeliverEnter(bool repeat) {
        MSG msg = {edit_, WM_KEYDOWN, VK_RETURN, KeyDownBits(VK_RETURN, repeat)};
        msg.time = GetTickCount();
        return host_->DeliverKey(msg);
    }

    std::string EditText() {
        char text[512] = "";
        GetWindowTextA(edit_, text, sizeof text);
        return text;
    }

    std::vector<std::string> Urls() {
        std::vector<std::string> urls;
        for (const NavigateCall& call : host_->browser().navigations) urls.push_back(call.url);
        return urls;
    }

    std::unique_ptr<BandHost> host_;
    HWND edit_ = nullptr;
};

using Strings = std::vector<std::string>;

}  // namespace

TEST_F(SearchInBand, ApplicationDataConfigurationWinsOverTheOneBesideTheLibrary) {
    ASSERT_FALSE(g_libraryLoadedBeforeTheFiles);
    CreateBand();
    SetWindowTextA(edit_, "ab");
    EXPECT_EQ(DeliverEnter(false), S_OK);
    ASSERT_EQ(Urls(), (Strings{"http://search.test/appdata?q=%61%62", "http://search.test/post"}));
    const NavigateCall& post = host_->browser().navigations[1];
    EXPECT_EQ(post.postData, "k=%61%62");
    EXPECT_EQ(post.headers, "Content-Type: application/x-www-form-urlencoded\r\n");
}

TEST_F(SearchInBand, ActivationPutsTheFocusIntoTheEditBoxAndTheSiteHearsOfIt) {
    CreateBand();
    SetFocus(host_->hostWindow());
    host_->focusChanges().clear();
    EXPECT_EQ(Activate(), S_OK);
    EXPECT_EQ(GetFocus(), edit_);
    IUnknown* identity = nullptr;
    ASSERT_EQ(host_->band()->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    identity->Release();
    ASSERT_EQ(host_->focusChanges().size(), 1u);
    EXPECT_EQ(host_->focusChanges()[0].first, identity);
    EXPECT_EQ(host_->focusChanges()[0].second, TRUE);

    SetFocus(host_->hostWindow());
    ASSERT_EQ(host_->focusChanges().size(), 2u);
    EXPECT_EQ(host_->focusChanges()[1].first, identity);
    EXPECT_EQ(host_->focusChanges()[1].second, FALSE);
}

TEST_F(SearchInBand, TypingAndEnterAsTheBrowserDeliversThemSubmitOncePerKeyDown) {
    CreateBand();
    ASSERT_EQ(Activate(), S_OK);
    ASSERT_EQ(GetFocus(), edit_);
    // A user types into the activated band: real key strokes through the host's loop.
    INPUT keys[4] = {};
    WORD vks[2] = {'A', 'B'};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = vks[i / 2];
        keys[i].ki.dwFlags = (i % 2) ? KEYEVENTF_KEYUP : 0;
    }
    ASSERT_EQ(SendInput(4, keys, sizeof(INPUT)), 4u);
    ASSERT_TRUE(RunHostUntil([&] { return EditText() == "ab"; }, 5000)) << EditText();

    // Enter pressed and held: the first key-down and two auto-repeats.
    EXPECT_EQ(DeliverEnter(false), S_OK);
    EXPECT_EQ(DeliverEnter(true), S_OK);
    EXPECT_EQ(DeliverEnter(true), S_OK);
    RunHostUntil([] { return false; }, 50);
    const std::string get = "http://search.test/appdata?q=%61%62";
    const std::string post = "http://search.test/post";
    EXPECT_EQ(Urls(), (Strings{get, post, get, post, get, post}));
    EXPECT_EQ(EditText(), "ab");
    EXPECT_EQ(GetFocus(), edit_);

    // And once more from the keyboard itself.
    INPUT enter[2] = {};
    enter[0].type = enter[1].type = INPUT_KEYBOARD;
    enter[0].ki.wVk = enter[1].ki.wVk = VK_RETURN;
    enter[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(SendInput(2, enter, sizeof(INPUT)), 2u);
    ASSERT_TRUE(RunHostUntil([&] { return host_->browser().navigations.size() >= 8; }, 5000));
    RunHostUntil([] { return false; }, 50);
    EXPECT_EQ(host_->browser().navigations.size(), 8u);
    EXPECT_EQ(EditText(), "ab");
}

TEST_F(SearchInBand, InTheTaskbarGetOpensThroughTheShellAndPostIsRefused) {
    host_ = std::make_unique<BandHost>(HostMode::Taskbar);
    CreateBand();
    ShellOpenRecorder shell;
    MessageBoxCatcher boxes;
    SetWindowTextA(edit_, "ab");
    EXPECT_EQ(DeliverEnter(false), S_OK);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].caption, "Pelorin");
    ASSERT_TRUE(shell.WaitFor(1, 10000));
    EXPECT_EQ(shell.Opened(), (Strings{"http://search.test/appdata?q=%61%62"}));
}
