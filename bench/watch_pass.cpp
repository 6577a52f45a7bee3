// Figures for the watch pane, printed, not asserted (run it inside the test sandbox, with
// the band registered):
//   - for 10, 50 and 200 pages served by the HTTP fixture: one polling pass against the
//     same fetch-and-digests made one after the other alone (the pass's pages and the
//     built-in one, as the worker makes them), as a ratio and as the time the pass adds per
//     item; the median of a few passes, each next to a run of the fetches alone;
//   - the UI thread's longest stall while those passes run;
//   - where the UI thread's time per item goes during one more pass (call-window hooks,
//     which slow every message they see), and the platform calls of one image change made
//     here alone: the set and its check, the button's repaint, the seen store read, and one
//     message sent to the pane from another thread;
//   - how long CloseDW takes with a fetch in flight (median of many).
// The end of a pass is seen where it happens, in the toolbar's own messages on the UI
// thread, so that nothing the benchmark does to watch (no request to the fixture) delays
// the image changes it waits for.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "band_host.h"
#include "message_timing.h"
#include "services/digest_page.h"
#include "services/page_fetcher.h"
#include "services/seen_store.h"
#include "support/test_env.h"
#include "support/watch_probe.h"
#include "watch/watch_item.h"

namespace {

// The images the toolbar is told to give its last button (the built-in item, last in every
// pass), seen by subclassing it on the UI thread.
WNDPROC g_toolbarProc = nullptr;
WPARAM g_lastButton = 0;
int g_lastButtonResults = 0;  // Changed or Seen given to the last button so far
double g_lastResultAt = 0;

LRESULT CALLBACK WatchingToolbarProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == TB_SETBUTTONINFOA && wParam == g_lastButton && lParam) {
        auto* info = reinterpret_cast<const TBBUTTONINFOA*>(lParam);
        if ((info->dwMask & TBIF_IMAGE) && (info->iImage == 2 || info->iImage == 3)) {
            ++g_lastButtonResults;
            g_lastResultAt = Now();
        }
    }
    return CallWindowProcA(g_toolbarProc, hwnd, message, wParam, lParam);
}

// Runs the UI thread as a host's message loop does, sleeping until a message comes, until
// done() holds; returns the longest the thread was kept busy at one turn, that is, the
// longest that input would have waited. (Waking every millisecond to look instead, as this
// once did, puts a load on the wineserver that the fetches of the pass then wait behind.)
template <typename Done>
double PumpMeasuringStalls(Done done) {
    double longest = 0;
    while (!done()) {
        double start = Now();
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        longest = std::max(longest, Now() - start);
        if (done()) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    }
    return longest;
}

// The UI thread's time in the pane's handling of the worker's image changes and in what it
// sends on (the repaint among it), by window class and message, seen by call-window hooks
// during one more pass.
std::string MessageName(UINT message) {
    char what[32];
    switch (message) {
    case WM_APP + 1: std::snprintf(what, sizeof what, "image change"); break;
    case WM_PAINT: std::snprintf(what, sizeof what, "WM_PAINT"); break;
    case WM_ERASEBKGND: std::snprintf(what, sizeof what, "WM_ERASEBKGND"); break;
    case WM_NOTIFY: std::snprintf(what, sizeof what, "WM_NOTIFY"); break;
    default: std::snprintf(what, sizeof what, "0x%04X", message); break;
    }
    return what;
}

// The platform calls of one image change, made here on the pane's toolbar (button 0, which is
// in view) the way the pane makes them; medians of many, in ms.
struct ImagePieces {
    double setAndCheck = 0;
    double repaint = 0;
    double storeRead = 0;
};

ImagePieces MeasureImagePieces(HWND toolbar) {
    std::vector<double> sets, paints, reads;
    for (int i = 0; i < 100; ++i) {
        TBBUTTONINFOA info = {};
        info.cbSize = sizeof info;
        info.dwMask = TBIF_BYINDEX | TBIF_IMAGE;
        info.iImage = i % 2 ? 2 : 3;
        double start = Now();
        SendMessageA(toolbar, TB_SETBUTTONINFOA, 0, reinterpret_cast<LPARAM>(&info));
        ButtonImageAt(toolbar, 0);
        double set = Now();
        RECT button = {};
        SendMessageA(toolbar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&button));
        InvalidateRect(toolbar, &button, TRUE);
        UpdateWindow(toolbar);
        double painted = Now();
        ReadSeenDigest("http://pages.test/page/p1", std::string());
        double read = Now();
        sets.push_back(set - start);
        paints.push_back(painted - set);
        reads.push_back(read - painted);
    }
    return {Median(sets), Median(paints), Median(reads)};
}

// One message sent to the pane from another thread, answered at once (WM_NULL), while the
// UI thread runs as during a pass: the floor of each image change's round trip.
struct RoundTrips {
    HWND pane;
    int count;
    double ms;
    volatile LONG done;
};

DWORD WINAPI SendRoundTrips(void* argument) {
    auto* trips = static_cast<RoundTrips*>(argument);
    double start = Now();
    for (int i = 0; i < trips->count; ++i) SendMessageA(trips->pane, WM_NULL, 0, 0);
    trips->ms = (Now() - start) / trips->count;
    InterlockedExchange(&trips->done, 1);
    return 0;
}

double MeasureRoundTrip(HWND pane) {
    RoundTrips trips = {pane, 500, 0, 0};
    HANDLE thread = CreateThread(nullptr, 0, SendRoundTrips, &trips, 0, nullptr);
    PumpMeasuringStalls([&] { return InterlockedCompareExchange(&trips.done, 0, 0) != 0; });
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return trips.ms;
}

struct PassFigures {
    int items = 0;
    double pass = 0;          // median
    double fetchesAlone = 0;  // median
    double stall = 0;         // longest over all passes
    std::vector<std::pair<std::string, MessageBucket>> perItem;  // largest first
    double roundTrip = 0;
    ImagePieces pieces;
};

PassFigures MeasurePasses(int items, int rounds) {
    FixtureGet("/_ctl/reset");
    ClearSeenStore();
    std::string ini = "[watch]\r\n";
    struct Page {
        std::string host, path;
        Comparison comparison;
    };
    std::vector<Page> pages;
    for (int i = 1; i <= items; ++i) {
        std::string name = "p" + std::to_string(i);
        FixturePost("/_ctl/set/" + name, std::string(20000, 'a' + i % 26) + "<p>" + name + "</p>");
        ini += "item" + std::to_string(i) + "=" + name + "," + std::to_string(i % 2) +
               ",http://pages.test/page/" + name + "\r\n";
        pages.push_back({"pages.test", "/page/" + name, ComparisonOfFlag(i % 2)});
    }
    if (auto builtIn = ParseWatchItemLine(kBuiltInItemLine)) {
        pages.push_back({builtIn->host, builtIn->path, builtIn->comparison});
    }
    WriteAppDataIni(ini);

    auto host = std::make_unique<BandHost>(HostMode::Browser);
    if (FAILED(host->CreateBand())) {
        std::fprintf(stderr, "the band could not be created (is the DLL registered?)\n");
        std::exit(1);
    }
    HWND pane = FindWatchPane(host->bandWindow());
    HWND toolbar = FindWatchToolbar(host->bandWindow());
    g_lastButton = static_cast<WPARAM>(items);
    g_lastButtonResults = 0;
    g_toolbarProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(toolbar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(WatchingToolbarProc)));
    // The first pass, started by the pane itself.
    PumpUntil([] { return g_lastButtonResults >= 1; }, 120000);

    PassFigures figures;
    figures.items = items;
    std::vector<double> passes, alone;
    for (int round = 0; round < rounds; ++round) {
        // The worker clears its event just after the pass's last image: give it that moment,
        // or the tick below would be absorbed by the pass that is ending. The fetches alone
        // fill it.
        double start = Now();
        {
            PageFetchSession session;  // one fetch thread for the run, as the worker's pass has
            for (const Page& page : pages) DigestPage(page.host, page.comparison, page.path, &session);
        }
        alone.push_back(Now() - start);
        PumpMessages(50);

        int before = g_lastButtonResults;
        double passStart = Now();
        PostMessageA(pane, WM_TIMER, 0, 0);  // as the timer asks for a pass
        double stall = PumpMeasuringStalls([&] { return g_lastButtonResults > before; });
        passes.push_back(g_lastResultAt - passStart);
        figures.stall = std::max(figures.stall, stall);
    }
    {
        PumpMessages(300);
        MessageTimes().clear();
        StartMessageTiming(MessageName);
        int before = g_lastButtonResults;
        PostMessageA(pane, WM_TIMER, 0, 0);
        PumpMeasuringStalls([&] { return g_lastButtonResults > before; });
        StopMessageTiming();
        for (auto& [name, bucket] : MessageTimes()) {
            bucket.ms /= items + 1;
            figures.perItem.emplace_back(name, bucket);
        }
        std::sort(figures.perItem.begin(), figures.perItem.end(),
                  [](const auto& a, const auto& b) { return a.second.ms > b.second.ms; });
    }
    figures.pieces = MeasureImagePieces(toolbar);
    figures.roundTrip = MeasureRoundTrip(pane);
    SetWindowLongPtrA(toolbar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_toolbarProc));
    host.reset();
    figures.pass = Median(passes);
    figures.fetchesAlone = Median(alone);
    return figures;
}

}  // namespace

int main() {
    if (!FixtureAvailable()) {
        std::fprintf(stderr, "the HTTP fixture is not running; run inside scripts/lib/wine-sandbox\n");
        return 1;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    std::vector<PassFigures> all;
    for (int items : {10, 50, 200}) all.push_back(MeasurePasses(items, items >= 200 ? 5 : 7));

    // Closing with a fetch in flight.
    WriteAppDataIni("[watch]\r\nitem1=held,0,http://pages.test/page/held\r\n");
    FixturePost("/_ctl/set/held", "held page");
    std::vector<double> closes;
    for (int run = 0; run < 30; ++run) {
        FixtureGet("/_ctl/hold/held");
        auto host = std::make_unique<BandHost>(HostMode::Browser);
        host->CreateBand();
        HWND tb = FindWatchToolbar(host->bandWindow());
        PumpUntil([&] { return ButtonImageAt(tb, 0) == 1; }, 10000);
        double start = Now();
        host->CloseBand();
        closes.push_back(Now() - start);
        host.reset();
        FixtureGet("/_ctl/release/held");
    }
    std::sort(closes.begin(), closes.end());
    PumpUntil([] { return LoadedDllCanUnloadNow() == S_OK; }, 30000);
    RemoveAppDataIni();
    ClearSeenStore();

    std::printf("watch pass (median) against its fetch-and-digests alone (each page and the built-in one):\n");
    std::printf("  items   pass ms   fetches ms   pass/fetches   added per item ms   UI longest stall ms\n");
    for (const PassFigures& f : all) {
        std::printf("  %5d  %8.1f  %11.1f  %13.2f  %18.2f  %20.2f\n", f.items, f.pass, f.fetchesAlone,
                    f.pass / f.fetchesAlone, (f.pass - f.fetchesAlone) / (f.items + 1), f.stall);
    }
    std::printf("the UI thread's time per item during one more pass (hooks; inclusive), and the platform calls of\n"
                "one image change made here on a button in view:\n");
    for (const PassFigures& f : all) {
        std::printf("  %d items:", f.items);
        for (size_t i = 0; i < f.perItem.size() && i < 5; ++i) {
            std::printf("%s %s %.3f ms (%d)", i ? "," : "", f.perItem[i].first.c_str(), f.perItem[i].second.ms,
                        f.perItem[i].second.count);
        }
        std::printf("\n    made here: set and check %.3f ms, repaint of the button %.3f ms, seen store read %.3f ms, "
                    "a message sent to the pane from another thread %.3f ms\n",
                    f.pieces.setAndCheck, f.pieces.repaint, f.pieces.storeRead, f.roundTrip);
    }
    std::printf("CloseDW with a fetch in flight:   %8.1f ms median, %.1f ms max (%zu runs)\n",
                closes[closes.size() / 2], closes.back(), closes.size());
    CoUninitialize();
    return 0;
}
