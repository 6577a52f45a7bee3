// A user's session with the whole band: registered by regsvr32, created through COM in the
// band host, both panes at work in one band. The user watches pages that the HTTP fixture
// serves, sees one change, opens it with a click on its button, and searches from the same
// band, in a browser window and in the taskbar.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <string>

#include "band_host.h"
#include "support/shell_open.h"
#include "support/test_env.h"
#include "support/watch_probe.h"

namespace {

enum { Pending = 0, Checking = 1, Changed = 2, Seen = 3 };

const char kNews[] = "http://fixture.test/page/session-news";
const char kWeather[] = "http://fixture.test/page/session-weather";
const char kNewsFirst[] = "<p>edition 1</p>";
const char kNewsFirstDigest[] = "21B8D322937BF93848328C3C82D95E61";  // MD5 of kNewsFirst
// The weather item ignores markup: its digest is that of the text "sunny" alone.
const char kWeatherTextDigest[] = "533C5BA8368075DB8F6EF201546BD71A";
const char kClsidKey[] = "CLSID\\{408EA957-CF17-4D81-93AB-FDDA7ACDA90F}\\InprocServer32";

// ニュース and 天気, the items' titles; 東京, a query; all in code page 932.
const char kNewsTitle[] = "\x83\x6A\x83\x85\x81\x5B\x83\x58";
const char kWeatherTitle[] = "\x93\x56\x8B\x43";
const char kTokyo[] = "\x93\x8C\x8B\x9E";
// タスクバーからPOSTはできません。
const char kPostRefused[] =
    "\x83\x5E\x83\x58\x83\x4E\x83\x6F\x81\x5B\x82\xA9\x82\xE7POST\x82\xCD\x82\xC5\x82\xAB\x82\xDC\x82\xB9\x82\xF1\x81\x42";

const char kConfig[] =
    "[watch]\r\n"
    "interval=1\r\n"
    "item1=\x83\x6A\x83\x85\x81\x5B\x83\x58,0,http://fixture.test/page/session-news\r\n"
    "item2=\x93\x56\x8B\x43,1,http://fixture.test/page/session-weather\r\n"
    "[search]\r\n"
    "url1=http://search.test/en\r\n"
    "cond1=eng\r\n"
    "form1=q=\r\n"
    "url2=http://search.test/ja\r\n"
    "cond2=jpn\r\n"
    "form2=kw=\r\n"
    "url3=http://search.test/post\r\n"
    "method3=post\r\n"
    "form3=query=\r\n";

class Session : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_FIXTURE();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        FixtureGet("/_ctl/reset");
        ClearSeenStore();
        SetPage("session-news", kNewsFirst);
        SetPage("session-weather", "<p>sunny</p><!-- 1 -->");
        // The band is found the way a browser finds it: registered, by class.
        HKEY key = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, kClsidKey, 0, KEY_READ, &key), ERROR_SUCCESS)
            << "pelorin.beta.dll is not registered; regsvr32 runs before the tests";
        RegCloseKey(key);
        WriteAppDataIni(kConfig);
    }
    void TearDown() override {
        host_.reset();
        PumpUntil([] { return LoadedDllCanUnloadNow() == S_OK; }, 5000);
        RemoveAppDataIni();
        ClearSeenStore();
        FixtureGet("/_ctl/reset");
        CoUninitialize();
    }

    void SetPage(const std::string& name, const std::string& body) {
        ASSERT_EQ(FixturePost("/_ctl/set/" + name, body).status, 200);
    }
    int Requests(const std::string& name) { return std::atoi(FixtureGet("/_ctl/count/" + name).body.c_str()); }

    void Open(HostMode mode) {
        host_.reset(new BandHost(mode));
        ASSERT_EQ(host_->CreateBand(), S_OK);
        toolbar_ = FindWatchToolbar(host_->bandWindow());
        edit_ = FindWindowExA(FindSearchPane(host_->bandWindow()), nullptr, "Edit", nullptr);
        ASSERT_NE(toolbar_, nullptr);
        ASSERT_NE(edit_, nullptr);
    }
    int Image(int position) { return ButtonImageAt(toolbar_, position); }
    bool WaitForImage(int position, int image, DWORD timeoutMs = 10000) {
        return PumpUntil([&] { return Image(position) == image; }, timeoutMs);
    }
    // Waits for the worker to fetch the page again and finish with it.
    bool WaitForAnotherCheck(int position, const std::string& name) {
        int before = Requests(name);
        return PumpUntil([&] { return Requests(name) > before; }, 10000) &&
               PumpUntil([&] { return Image(position) != Checking; }, 10000);
    }
    // A click with the mouse on a button, as the toolbar gets it from the user.
    void Click(int position) {
        RECT r = {};
        ASSERT_TRUE(SendMessageA(toolbar_, TB_GETITEMRECT, position, reinterpret_cast<LPARAM>(&r)));
        LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        SendMessageA(toolbar_, WM_MOUSEMOVE, 0, at);
        SendMessageA(toolbar_, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(toolbar_, WM_LBUTTONUP, 0, at);
    }
    // Keys for the box: single-byte characters as the keyboard sends them, double-byte ones
    // as an input method commits them (one UTF-16 WM_CHAR); then Enter, offered to the band
    // as a browser does.
    HRESULT Search(const std::string& query) {
        SetFocus(edit_);
        SetWindowTextA(edit_, "");
        for (size_t i = 0; i < query.size(); ++i) {
            unsigned char c = static_cast<unsigned char>(query[i]);
            if (IsDBCSLeadByte(c) && i + 1 < query.size()) {
                wchar_t character = 0;
                MultiByteToWideChar(CP_ACP, 0, query.data() + i++, 2, &character, 1);
                PostMessageW(edit_, WM_CHAR, character, 1);
                PumpMessages(10);
            } else {
                PostMessageA(edit_, WM_CHAR, c, 1);
                PumpMessages(10);
            }
        }
        PumpMessages(50);
        char typed[300] = "";
        GetWindowTextA(edit_, typed, sizeof typed);
        EXPECT_EQ(std::string(typed), query);
        MSG msg = {};
        msg.hwnd = edit_;
        msg.message = WM_KEYDOWN;
        msg.wParam = VK_RETURN;
        msg.lParam = 0x001C0001;
        HRESULT hr = host_->DeliverKey(msg);
        PumpMessages(50);
        return hr;
    }
    std::vector<NavigateCall>& Navigations() { return host_->browser().navigations; }

    std::unique_ptr<BandHost> host_;
    HWND toolbar_ = nullptr;
    HWND edit_ = nullptr;
};

TEST_F(Session, WatchSeeChangeOpenAndSearchInABrowserWindow) {
    Open(HostMode::Browser);
    ASSERT_EQ(ButtonCount(toolbar_), 3);  // the two configured pages, then the built-in one
    EXPECT_EQ(TooltipText(FindWatchPane(host_->bandWindow()), 1), kNewsTitle);
    EXPECT_EQ(TooltipText(FindWatchPane(host_->bandWindow()), 2), kWeatherTitle);

    // The first pass: pages never opened are new to the user.
    ASSERT_TRUE(WaitForImage(0, Changed));
    ASSERT_TRUE(WaitForImage(1, Changed));
    EXPECT_TRUE(Navigations().empty());

    // Opening the news: the browser goes there, the button turns grey, the content is seen.
    Click(0);
    ASSERT_EQ(Navigations().size(), 1u);
    EXPECT_EQ(Navigations()[0].url, kNews);
    EXPECT_EQ(Navigations()[0].postDataType, VT_ILLEGAL);  // no post data at all
    EXPECT_EQ(Image(0), Seen);
    // Wine's RegQueryValueExA reports the terminator it adds to a REG_SZ value; the text is
    // what counts.
    std::string stored;
    ASSERT_TRUE(StoredSeenValue(kNews, &stored));
    EXPECT_STREQ(stored.c_str(), kNewsFirstDigest);

    // Checked again while unchanged, it stays grey; once the page changes, it is yellow.
    ASSERT_TRUE(WaitForAnotherCheck(0, "session-news"));
    EXPECT_EQ(Image(0), Seen);
    SetPage("session-news", "<p>edition 2</p>");
    EXPECT_TRUE(WaitForImage(0, Changed));
    ASSERT_TRUE(StoredSeenValue(kNews, &stored));
    EXPECT_STREQ(stored.c_str(), kNewsFirstDigest);  // only opening it records what was seen

    // The weather page ignores markup: a change inside a tag does not count.
    Click(1);
    ASSERT_EQ(Navigations().size(), 2u);
    EXPECT_EQ(Navigations()[1].url, kWeather);
    ASSERT_TRUE(StoredSeenValue(kWeather, &stored));
    EXPECT_STREQ(stored.c_str(), kWeatherTextDigest);
    SetPage("session-weather", "<p>sunny</p><!-- 2 -->");
    ASSERT_TRUE(WaitForAnotherCheck(1, "session-weather"));
    EXPECT_EQ(Image(1), Seen);

    // Searching from the same band, while the worker keeps polling: a single-byte query
    // goes to the eng service by GET and to the unconditioned one by POST.
    EXPECT_EQ(Search("ab"), S_OK);
    ASSERT_EQ(Navigations().size(), 4u);
    EXPECT_EQ(Navigations()[2].url, "http://search.test/en?q=%61%62");
    EXPECT_EQ(Navigations()[2].postDataType, VT_EMPTY);
    EXPECT_EQ(Navigations()[3].url, "http://search.test/post");
    EXPECT_EQ(Navigations()[3].postDataType, VT_ARRAY | VT_UI1);
    EXPECT_EQ(Navigations()[3].postData, "query=%61%62");
    EXPECT_EQ(Navigations()[3].headers, "Content-Type: application/x-www-form-urlencoded\r\n");

    // A Japanese query goes to the jpn service instead, byte for byte in code page 932.
    EXPECT_EQ(Search(kTokyo), S_OK);
    ASSERT_EQ(Navigations().size(), 6u);
    EXPECT_EQ(Navigations()[4].url, "http://search.test/ja?kw=%93%8C%8B%9E");
    EXPECT_EQ(Navigations()[5].url, "http://search.test/post");
    EXPECT_EQ(Navigations()[5].postData, "query=%93%8C%8B%9E");

    // The searches left the watch pane as it was; the news is still waiting to be opened.
    EXPECT_EQ(Image(0), Changed);
    Click(0);
    EXPECT_EQ(Image(0), Seen);
    ASSERT_EQ(Navigations().size(), 7u);
    EXPECT_EQ(Navigations()[6].url, kNews);

    // Closing the band stops the polling: no page is fetched afterwards.
    host_->CloseBand();
    PumpMessages(100);
    int after = Requests("session-news");
    PumpMessages(2500);
    EXPECT_EQ(Requests("session-news"), after);
}

TEST_F(Session, InTheTaskbarPagesAndGetSearchesOpenThroughTheShellAndPostIsRefused) {
    ShellOpenRecorder opened;
    MessageBoxCatcher boxes;
    Open(HostMode::Taskbar);
    ASSERT_TRUE(WaitForImage(0, Changed));

    Click(0);
    ASSERT_TRUE(opened.WaitFor(1, 10000));
    EXPECT_EQ(opened.Opened()[0], kNews);
    EXPECT_EQ(Image(0), Seen);
    std::string stored;
    ASSERT_TRUE(StoredSeenValue(kNews, &stored));
    EXPECT_STREQ(stored.c_str(), kNewsFirstDigest);

    // The GET service is opened; the POST one is refused, once, with a message.
    EXPECT_EQ(Search("ab"), S_OK);
    ASSERT_TRUE(boxes.WaitFor(1, 10000));
    ASSERT_TRUE(opened.WaitFor(2, 10000));
    EXPECT_EQ(opened.Opened()[1], "http://search.test/en?q=%61%62");
    PumpMessages(500);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].caption, "Pelorin");
    EXPECT_EQ(boxes.Boxes()[0].text, kPostRefused);
    EXPECT_EQ(opened.Opened().size(), 2u);
    EXPECT_TRUE(Navigations().empty());  // there is no browser to navigate

    // The worker went on meanwhile: a changed page still turns yellow.
    SetPage("session-news", "<p>edition 2</p>");
    EXPECT_TRUE(WaitForImage(0, Changed));
}

}  // namespace
