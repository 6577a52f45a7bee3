// The band in a browser window, as the 32-bit driver shows it in a 32-bit browser (the 64-bit
// driver in a 64-bit one, where the machine runs no 32-bit programs): created
// through COM, its first pass caught midway and finished, a page opened with a click and
// changing again on the site, its tooltip naming the new headline, a page whose markup alone
// changes, and an English and a
// Japanese search, each with what the search service received. Then the same window left
// open for a person to use.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "demo_common.h"

namespace {

std::string SeenValue(const std::string& address) {
    HKEY key = nullptr;
    std::string value;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Vorna\\Pelorin", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        char data[300] = "";
        DWORD size = sizeof data - 1, type = 0;
        if (RegQueryValueExA(key, address.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size) ==
            ERROR_SUCCESS) {
            data[size] = '\0';
            value = data;
        } else {
            value = "(none)";
        }
        RegCloseKey(key);
    } else {
        value = "(no key)";
    }
    return value;
}

// Types the query, sends it with Enter and browses what the band asked for; then checks what
// the search service received: one GET with getParam and one POST with postParam.
void SearchIn(BandHost& host, const Band& band, const std::string& query, const char* label, size_t& browsed,
              const std::string& getParam, const std::string& postParam, const char* expected) {
    std::string typed = Type(band, query);
    Check(typed == query, (std::string("typed \"") + query + "\" into the search box (" + label + ")").c_str());
    size_t before = host.browser().navigations.size();
    HRESULT hr = PressEnter(host, band);
    Say("  Enter offered through TranslateAcceleratorIO: %s", hr == S_OK ? "S_OK (the band took it)" : "not taken");
    Pump(200);
    size_t after = host.browser().navigations.size();
    Say("  the band asked the browser for %u navigation(s)", static_cast<unsigned>(after - before));
    browsed = Browse(host, browsed);
    Pump(300);
    std::vector<SiteEntry> received = SiteNews();
    PrintSearches(received);
    Check(CountSearches(received, "GET") == 1 && CountSearches(received, "POST") == 1 &&
              HasParam(received, getParam) && HasParam(received, postParam),
          expected);
}

}  // namespace

void BrowserSession() {
    Say("");
    Say("== 1. The band in a %s browser window", sizeof(void*) == 8 ? "64-bit" : "32-bit");
    // The third page answers slowly this once, so that the first pass can be caught midway.
    Control("delay/4/notice.html");
    SiteNews();
    std::unique_ptr<BandHost> host = OpenHost(HostMode::Browser);
    HRESULT hr = host->CreateBand();
    if (!Check(SUCCEEDED(hr), "the browser host created the band through COM (CLSID_Pelorband, Pelorin.Pelorin)")) {
        Say("  CreateBand: 0x%08lX; is pelorin.beta.dll registered?", static_cast<unsigned long>(hr));
        return;
    }
    AddView(host->hostWindow());
    Band band;
    Check(Attach(*host, band), "the band holds the watch toolbar and the search box");
    SayWhichBand("browser");
    Say("  band size from GetBandInfo: min %ld x %ld", host->bandInfo().ptMinSize.x, host->bandInfo().ptMinSize.y);
    std::string titles;
    for (const std::string& t : band.titles) titles += (titles.empty() ? "" : ", ") + t;
    Say("  watch buttons (tooltips): %s", titles.c_str());
    Check(band.titles.size() == 5 && band.titles.back() == kMaker,
          "five buttons: the four configured pages, then the built-in ツールバー情報");

    Say("");
    Say("== 2. The first pass");
    int notice = band.Find(kNotice);
    bool midway = PumpUntil([&] { return notice >= 0 && ButtonImage(band.toolbar, notice) == 1; }, 8000);
    Say("  midway: %s", band.States().c_str());
    if (midway) {
        RECT area = WindowArea(host->hostWindow());
        Shot("band-checking", area, "the first pass midway: Changed, Seen, Checking and Pending side by side");
        static const char* const names[] = {"button-changed", "button-seen", "button-checking", "button-pending"};
        for (int i = 0; i < 4; ++i) SaveRect(names[i], band.ButtonArea(i));
    }
    Check(midway && ButtonImage(band.toolbar, 0) == 2 && ButtonImage(band.toolbar, 1) == 3 &&
              ButtonImage(band.toolbar, 3) == 0,
          "midway: ニュース Changed, 閉鎖されたページ Seen (404), お知らせ Checking, 天気予報 Pending");
    bool passed = WaitForPass(band, 10000);
    Say("  after the pass: %s", band.States().c_str());
    Check(passed && ButtonImage(band.toolbar, band.Find(kGone)) == 3 &&
              ButtonImage(band.toolbar, band.Find(kNews)) == 2 && ButtonImage(band.toolbar, band.Find(kMaker)) == 2,
          "never-opened pages show Changed; the page answering 404 shows Seen");
    int pelorinFetches = 0;
    for (const SiteEntry& e : SiteNews()) pelorinFetches += e.agent == "Pelorin";
    Say("  the site served %d page requests from agent \"Pelorin\"", pelorinFetches);
    Hover(band, band.Find(kNews));
    bool tip = PumpUntil(
        [&] {
            HWND tips = reinterpret_cast<HWND>(SendMessageA(band.toolbar, TB_GETTOOLTIPS, 0, 0));
            return tips && IsWindowVisible(tips);
        },
        5000);
    Pump(300);
    Say("  the pointer rests on the first button: %s", tip ? "its tooltip shows its title" : "no tooltip showed");
    Shot("band-first-pass", WindowArea(host->hostWindow()), "after the first pass, a tooltip naming the first page");
    SendMessageA(band.toolbar, WM_MOUSELEAVE, 0, 0);
    SetCursorPos(0, 0);

    Say("");
    Say("== 3. Opening ニュース from its button");
    int news = band.Find(kNews);
    size_t browsed = host->browser().navigations.size();
    Click(band, news);
    Pump(100);
    bool navigated = host->browser().navigations.size() == browsed + 1 &&
                     host->browser().navigations.back().url == "http://pages.test/news.html";
    Check(navigated, "the click asked the browser to open http://pages.test/news.html");
    Check(ButtonImage(band.toolbar, news) == 3, "the button turned Seen at once");
    std::string seen = SeenValue("http://pages.test/news.html");
    Say("  seen store: HKCU\\Software\\Vorna\\Pelorin \"http://pages.test/news.html\" = %s", seen.c_str());
    Check(seen.size() == 32, "the page's digest was recorded as seen");
    browsed = Browse(*host, browsed);
    Pump(200);
    Shot("band-opened", WindowArea(host->hostWindow()), "ニュース opened: its button grey, the page below");

    Say("");
    Say("== 4. ニュース changes on the site");
    std::string edition = Control("edition");
    DWORD start = GetTickCount();
    bool changedAgain = PumpUntil([&] { return ButtonImage(band.toolbar, news) == 2; }, 20000);
    Say("  the site now serves edition %s (it was %s); %s", Control("edition").c_str(), edition.c_str(),
        band.States().c_str());
    char waited[64];
    std::snprintf(waited, sizeof waited, " %.1f s later", (GetTickCount() - start) / 1000.0);
    Check(changedAgain, (std::string("ニュース turned Changed again") + (changedAgain ? waited : "")).c_str());
    Shot("band-changed-again", WindowArea(host->hostWindow()), "ニュース yellow again after the page changed");
    // Compared by its text, the page says what is new since it was opened: the new headline.
    Hover(band, news);
    HWND tips = reinterpret_cast<HWND>(SendMessageA(band.toolbar, TB_GETTOOLTIPS, 0, 0));
    std::string tipText;
    bool told = PumpUntil(
        [&] {
            char text[512] = "";
            if (tips && IsWindowVisible(tips)) SendMessageA(tips, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
            tipText = text;
            return tipText.find("新: 第") != std::string::npos;
        },
        5000);
    Pump(300);
    Say("  its tooltip: %s", tipText.c_str());
    Check(told, "the tooltip of ニュース names the headline that is new since it was opened");
    Shot("band-new-passage", WindowArea(host->hostWindow()), "ニュース's tooltip: the new headline after its title");
    SendMessageA(band.toolbar, WM_MOUSELEAVE, 0, 0);
    SetCursorPos(0, 0);

    Say("");
    Say("== 5. 天気予報: only its markup changes, and its item ignores markup");
    int weather = band.Find(kWeather);
    Click(band, weather);
    Pump(100);
    browsed = Browse(*host, browsed);
    SiteNews();
    bool refetched = WaitForSiteRequest("/weather.html", "Pelorin", 15000);
    PumpUntil([&] { return ButtonImage(band.toolbar, weather) != 1; }, 5000);
    Say("  after the next check: %s", band.States().c_str());
    Check(refetched && ButtonImage(band.toolbar, weather) == 3,
          "天気予報 fetched again with new markup and still Seen");

    Say("");
    Say("== 6. An English search");
    SiteNews();
    SearchIn(*host, band, "pelorin toolbar", "single-byte", browsed, "q=pelorin toolbar", "query=pelorin toolbar",
             "sent by GET to the eng service and by POST to the service for every text; not to the jpn one");
    Shot("search-english", WindowArea(host->hostWindow()), "an English search, the service's answer below");

    Say("");
    Say("== 7. A Japanese search");
    SearchIn(*host, band, "東京 天気", "double-byte", browsed, "kw=東京 天気", "query=東京 天気",
             "sent by GET to the jpn service and by POST to the service for every text, in code page 932");
    // The last navigation is the POST service's page; show the Japanese service's answer,
    // which names the query.
    Shot("search-japanese", WindowArea(host->hostWindow()), "a Japanese search typed into the box");

    CloseHost(host);
}

void Stay() {
    Say("");
    Say("The band stays open in a browser window: click its buttons, type into its box and press");
    Say("Enter; close the window, and Pelorin is removed.");
    std::unique_ptr<BandHost> host = OpenHost(HostMode::Browser);
    if (FAILED(host->CreateBand())) return;
    AddView(host->hostWindow());
    size_t browsed = 0;
    SetTimer(host->hostWindow(), 1, 300, nullptr);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (msg.message == WM_TIMER && msg.hwnd == host->hostWindow()) {
            browsed = Browse(*host, browsed);
            continue;
        }
        host->Dispatch(msg);
    }
    CloseHost(host);
}
