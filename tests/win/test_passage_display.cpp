// What a changed page's new text looks like where the user sees it: the watch pane made in
// this process as the container makes it, its worker passing over a page of the fixture, the
// item's passage set as the worker sets it; then the button's tooltip through the toolbar's
// own tooltip control, the notice the pane gives the Pelorin bar's site, and the bar's
// balloon as the notification area shows it. Then the texts themselves: English, code page
// 932's replacements, a balloon too small for every passage.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "band/band_create_params.h"
#include "bar/bar_site.h"
#include "bar/change_balloon.h"
#include "bar/tray_icon.h"
#include "module/module.h"
#include "recording_browser.h"
#include "support/test_env.h"
#include "support/watch_probe.h"
#include "watch/passage_display.h"
#include "watch/watch_pane.h"

namespace {

class ModuleEnvironment : public ::testing::Environment {
public:
    void SetUp() override { ModuleStart(GetModuleHandleA(nullptr)); }
    void TearDown() override { ModuleStop(); }
};
const auto* const kModule = ::testing::AddGlobalTestEnvironment(new ModuleEnvironment);

// " ― 新: " and "(ほか 2 か所)" in code page 932.
const char kNewJa[] = " \x81\x5C \x90\x56: ";
const char kTwoMoreJa[] = "(\x82\xD9\x82\xA9 2 \x82\xA9\x8F\x8A)";
// 新しい見出し in code page 932 and UTF-8.
const char kHeadlineJa[] = "\x90\x56\x82\xB5\x82\xA2\x8C\xA9\x8F\x6F\x82\xB5";
const char kHeadlineUtf8[] = "\xE6\x96\xB0\xE3\x81\x97\xE3\x81\x84\xE8\xA6\x8B\xE5\x87\xBA\xE3\x81\x97";

NewPassages Found(const std::string& first, size_t further) { return {NewPassageKind::Found, first, further}; }

std::wstring Wide(const std::string& text, UINT codePage = 932) {
    int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

// Whether a balloon on screen shows `part` (code page 932 bytes).
bool BalloonShows(const std::string& part) {
    for (HWND tip = nullptr; (tip = FindWindowExA(nullptr, tip, TOOLTIPS_CLASSA, nullptr));) {
        char text[1024] = "";
        SendMessageA(tip, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
        if ((GetWindowLongW(tip, GWL_STYLE) & TTS_BALLOON) && std::string(text).find(part) != std::string::npos) return true;
    }
    return false;
}

}  // namespace

TEST(PassageDisplay, AChangedPagesPassageShowsInItsTooltipNoticeAndBalloon) {
    REQUIRE_FIXTURE();
    FixtureGet("/_ctl/reset");
    ClearSeenStore();
    const std::string config = ConfigPath();
    WriteBytes(config, "[watch]\r\nitem1=Page A,0,http://pages.test/page/a\r\n");
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, config.c_str());
    ASSERT_EQ(FixturePost("/_ctl/set/a", "first").status, 200);
    FixtureGet("/_ctl/hold/a");

    // The pane as the container makes it, the bar's site as its host.
    HWND parent = CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW, 0, 0, 400, 120, nullptr, nullptr, nullptr, nullptr);
    struct Notice {
        bool changed;
        std::wstring address, title, passage;
    };
    std::vector<Notice> notices;
    auto* site = new BarSite(parent, nullptr, [&](bool changed, const std::wstring& address, const std::wstring& title,
                                                  const std::wstring& passage) {
        notices.push_back({changed, address, title, passage});
    });
    RecordingBrowser browser;  // what a click opens: not the shell's browser
    BandCreateParams params = {static_cast<IInputObjectSite*>(site), parent, &browser, site};
    HWND pane = CreateWatchPane(parent, &params);
    HWND toolbar = FindWindowExA(pane, nullptr, TOOLBARCLASSNAMEA, nullptr);
    ASSERT_NE(toolbar, nullptr);
    auto* state = reinterpret_cast<WatchPaneState*>(GetWindowLongPtrA(pane, GWLP_USERDATA));
    auto waitFor = [&](int position, int image) {
        return PumpUntil([&] { return ButtonImageAt(toolbar, position) == image; }, 15000);
    };

    ASSERT_TRUE(waitFor(0, Checking));
    // Set as the worker sets it: before the pass shows the button Changed.
    SetItemNewPassage(state->items[0], Found(std::string(kHeadlineUtf8) + " Q&A", 2));
    FixtureGet("/_ctl/release/a");
    ASSERT_TRUE(waitFor(0, Changed));
    ASSERT_TRUE(waitFor(1, Changed));  // the built-in item, which has no passage

    const std::string tipJa = std::string("Page A") + kNewJa + kHeadlineJa + " Q&A" + kTwoMoreJa;
    EXPECT_EQ(TooltipText(pane, 1), tipJa);
    // The tooltip takes "&" as a mark unless it was made with TTS_NOPREFIX; it shows it as is.
    std::wstring shown = Wide(tipJa);
    HWND tip = reinterpret_cast<HWND>(SendMessageW(toolbar, TB_GETTOOLTIPS, 0, 0));
    if (!(GetWindowLongW(tip, GWL_STYLE) & TTS_NOPREFIX)) shown.replace(shown.find(L'&'), 1, L"&&");
    EXPECT_EQ(ToolTipShows(toolbar, 1), shown);
    EXPECT_EQ(ToolTipShows(toolbar, 2), Wide("\x83\x63\x81\x5B\x83\x8B\x83\x6F\x81\x5B\x8F\xEE\x95\xF1"));  // ツールバー情報

    // The bar hears it with the page, and shows it under the page's line.
    ASSERT_EQ(notices.size(), 2u);
    EXPECT_TRUE(notices[0].changed);
    EXPECT_EQ(notices[0].address, L"http://pages.test/page/a");
    EXPECT_EQ(notices[0].title, L"Page A");
    EXPECT_EQ(notices[0].passage, Wide(std::string("\x90\x56: ") + kHeadlineJa + " Q&A" + kTwoMoreJa));
    EXPECT_EQ(notices[1].passage, L"");
    TrayIcon tray;
    HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));
    tray.Attach(parent, WM_APP, icon, icon);
    ASSERT_TRUE(tray.Add());
    ChangeBalloon balloon;
    for (const Notice& n : notices) balloon.Add(n.title, n.passage);
    tray.Balloon(balloon.Take(TrayIcon::kBalloonCharacters));
    // 「Page A」が更新されました, then the passage on the next line.
    const std::string lineJa = "\x81u" "Page A\x81v\x82\xAA\x8DX\x90V\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD";
    EXPECT_TRUE(PumpUntil([&] { return BalloonShows(lineJa + "\r\n\x90\x56: " + kHeadlineJa); }, 10000));
    tray.Remove();

    // Opened: seen, so the plain title, and the bar hears that it no longer shows Changed.
    SendMessageA(pane, WM_COMMAND, 1, 0);
    EXPECT_EQ(ButtonImageAt(toolbar, 0), Seen);
    EXPECT_EQ(ToolTipShows(toolbar, 1), L"Page A");
    SetItemNewPassage(state->items[0], Found("late", 0));  // only a Changed button shows one
    EXPECT_EQ(TooltipText(pane, 1), "Page A");
    ASSERT_EQ(notices.size(), 3u);
    EXPECT_FALSE(notices[2].changed);
    EXPECT_EQ(notices[2].passage, L"");

    DestroyWindow(pane);
    DestroyWindow(parent);
    site->Release();
    FixtureGet("/_ctl/reset");
    DeleteFileA(config.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, config.c_str());
    ClearSeenStore();
}

TEST(PassageTexts, EnglishJapaneseAndWhatCodePage932Lacks) {
    ASSERT_EQ(GetACP(), 932u) << "the tests run where the ANSI code page is 932";
    // 〜 (WAVE DASH), ‖, −, — and ¢ have code page 932's own forms; é and 😀 have none.
    const std::string passage = "Q&A \xE3\x80\x9C\xE2\x80\x96\xE2\x88\x92\xE2\x80\x94\xC2\xA2 \xC3\xA9 \xF0\x9F\x98\x80";
    EXPECT_EQ(PassageTooltipAnsi("News", Found(passage, 0), true, false),
              "News - New: Q&&A \x81\x60\x81\x61\x81\x7C\x81\x5C\x81\x91 ? ?");
    EXPECT_EQ(PassageTooltipAnsi("News", Found(passage, 3), true, true),
              "News - New: Q&A \x81\x60\x81\x61\x81\x7C\x81\x5C\x81\x91 ? ? (and 3 more)");
    EXPECT_EQ(PassageTooltipWide("News", Found(passage, 0), true, true), L"News - New: " + Wide(passage, CP_UTF8));

    const NewPassages many = {NewPassageKind::ManyPlaces, "", 0};
    EXPECT_EQ(DescribeNewPassages(many, true), L"The page changed in many places");
    // ページの多くの箇所が変わりました
    EXPECT_EQ(PassageTooltipAnsi("\x95\x5C", many, false, false),
              "\x95\x5C \x81\x5C \x83\x79\x81\x5B\x83\x57\x82\xCC\x91\xBD\x82\xAD\x82\xCC\x89\xD3\x8F\x8A\x82\xAA"
              "\x95\xCF\x82\xED\x82\xE8\x82\xDC\x82\xB5\x82\xBD");
    // A title keeps its own bytes; nothing to describe, nothing added.
    EXPECT_EQ(PassageTooltipAnsi("\x95\x5C", NewPassages(), false, false), "\x95\x5C");
    EXPECT_EQ(DescribeNewPassages(NewPassages(), false), L"");
}

TEST(PassageTexts, ABalloonKeepsEveryPagesLineAndDropsPassagesFromTheLast) {
    // 「X」が更新されました
    auto line = [](const char* title) {
        return Wide(std::string("\x81u") + title + "\x81v\x82\xAA\x8DX\x90V\x82\xB3\x82\xEA\x82\xDC\x82\xB5\x82\xBD");
    };
    const std::wstring longPassage(120, L'x');
    ChangeBalloon balloon;
    balloon.Add(L"A", L"new in A");
    balloon.Add(L"B", longPassage);
    balloon.Add(L"C", longPassage);
    balloon.Add(L"D", L"");
    EXPECT_EQ(balloon.Take(TrayIcon::kBalloonCharacters),
              line("A") + L"\r\nnew in A\r\n" + line("B") + L"\r\n" + longPassage + L"\r\n" + line("C") + L"\r\n" + line("D"));
    EXPECT_TRUE(balloon.Empty());
}
