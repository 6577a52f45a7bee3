// Figures for the watch pane, printed, not asserted (run it inside the test sandbox, with
// the band registered):
//   - one polling pass over 50 items served by the HTTP fixture, against the sum of the 50
//     fetch-and-digest times alone: what the pass adds beyond its fetches;
//   - the UI thread's longest stall while a pass runs;
//   - how long CloseDW takes with a fetch in flight (median of many).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "band_host.h"
#include "services/digest_page.h"
#include "support/test_env.h"
#include "support/watch_probe.h"

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

int Requests(const std::string& name) { return std::atoi(FixtureGet("/_ctl/count/" + name).body.c_str()); }

// Pumps the UI thread until done() holds; returns the longest gap between two turns.
template <typename Done>
double PumpMeasuringStalls(Done done) {
    double longest = 0, last = Now();
    while (!done()) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        double now = Now();
        longest = std::max(longest, now - last);
        last = now;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        longest = std::max(longest, Now() - last);
        last = Now();
    }
    return longest;
}

}  // namespace

int main() {
    if (!FixtureAvailable()) {
        std::fprintf(stderr, "the HTTP fixture is not running; run inside scripts/lib/wine-sandbox\n");
        return 1;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    FixtureGet("/_ctl/reset");
    ClearSeenStore();

    const int items = 50;
    std::string ini = "[watch]\r\n";
    for (int i = 1; i <= items; ++i) {
        std::string name = "p" + std::to_string(i);
        FixturePost("/_ctl/set/" + name, std::string(20000, 'a' + i % 26) + "<p>" + name + "</p>");
        ini += "item" + std::to_string(i) + "=" + name + "," + std::to_string(i % 2) +
               ",http://pages.test/page/" + name + "\r\n";
    }
    WriteAppDataIni(ini);

    // The fetches alone, one after the other, as the worker makes them.
    double fetchStart = Now();
    for (int i = 1; i <= items; ++i) DigestPage("pages.test", i % 2, "/page/p" + std::to_string(i));
    double fetchesAlone = Now() - fetchStart;

    auto host = std::make_unique<BandHost>(HostMode::Browser);
    if (FAILED(host->CreateBand())) {
        std::fprintf(stderr, "the band could not be created (is the DLL registered?)\n");
        return 1;
    }
    HWND pane = FindWatchPane(host->bandWindow());
    HWND toolbar = FindWatchToolbar(host->bandWindow());
    std::string last = "p" + std::to_string(items);
    // The fetches above asked for each page once already.
    PumpMeasuringStalls([&] { return Requests(last) == 2 && ButtonImageAt(toolbar, items) == 2; });

    // The worker clears its event just after the pass's last image: give it that moment, or
    // the tick below would be absorbed by the pass that is ending.
    PumpUntil([] { return false; }, 300);
    // A second pass, asked for as the timer asks for it.
    double passStart = Now();
    PostMessageA(pane, WM_TIMER, 0, 0);
    double stall = PumpMeasuringStalls([&] {
        // The built-in item comes last in every pass.
        return std::atoi(FixtureGet("/_ctl/hits/toolbar/").body.c_str()) == 2 &&
               ButtonImageAt(toolbar, items) != 1;
    });
    double pass = Now() - passStart;
    host.reset();

    // Closing with a fetch in flight.
    WriteAppDataIni("[watch]\r\nitem1=held,0,http://pages.test/page/held\r\n");
    FixturePost("/_ctl/set/held", "held page");
    std::vector<double> closes;
    for (int run = 0; run < 30; ++run) {
        FixtureGet("/_ctl/hold/held");
        host = std::make_unique<BandHost>(HostMode::Browser);
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

    std::printf("watch pass over %d items:        %8.1f ms\n", items, pass);
    std::printf("the same %d fetches alone:       %8.1f ms\n", items, fetchesAlone);
    std::printf("pass / fetches alone:             %8.2f\n", pass / fetchesAlone);
    std::printf("UI thread's longest stall:        %8.2f ms\n", stall);
    std::printf("CloseDW with a fetch in flight:   %8.1f ms median, %.1f ms max (%zu runs)\n",
                closes[closes.size() / 2], closes.back(), closes.size());
    CoUninitialize();
    return 0;
}
