// How long a browser waits for the band: from CoCreateInstance through SetSite, GetBandInfo
// and ShowDW to a shown band in the band host, for a band of 5 watched pages (served by the
// HTTP fixture) and 3 search services; side by side, in the same runs, the frame alone: the
// same steps for the band object and its container with no panes in it. Then where the time
// goes, measured from outside the DLL:
//   - the time each window spends in its creation and in the band's size and layout
//     messages, seen by call-window hooks on the host's thread during separate runs;
//   - the platform calls of the panes' creation made by this program the same way the
//     panes make them: the profile reads, the bitmaps, the toolbar (with and without its
//     tooltip control), the worker's start and the wait for its first action, the edit box
//     with its font and metrics.
// Run it inside the test sandbox with the band registered (regsvr32); optional argument:
// the number of runs (default 200).
#include <windows.h>
#include <commctrl.h>
#include <process.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "band/band_object.h"
#include "band/container_window.h"
#include "band_host.h"
#include "message_timing.h"
#include "search/search_engine.h"
#include "support/test_env.h"
#include "support/watch_probe.h"
#include "watch/watch_item.h"

namespace {

double Percentile90(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() * 9 / 10];
}

const int kWatchedPages = 5;

std::string Ini() {
    std::string ini = "[watch]\r\n";
    for (int i = 1; i <= kWatchedPages; ++i) {
        ini += "item" + std::to_string(i) + "=page " + std::to_string(i) + ",0,http://pages.test/page/w" +
               std::to_string(i) + "\r\n";
    }
    ini += "[search]\r\n";
    ini += "url1=http://search.test/find?q=\r\ncond1=0\r\nmethod1=0\r\n";
    ini += "url2=http://search.test/post\r\ncond2=1\r\nmethod2=1\r\nform2=q=\r\n";
    ini += "url3=http://search.test/mb?k=\r\ncond3=2\r\nmethod3=0\r\n";
    return ini;
}

// Waits until the worker has shown a result on every button, then lets the pass's own ending
// run out (its fetch thread's exit, WinINet's closing handles, the fixture's end of the
// connection), so that one run's pass does not run into the next run's load: a browser does
// not open a band within a millisecond of another band's pass, and loads measured that way
// took twice as long, on account of that ending, not of the load.
const DWORD kSettleMs = 50;
void WaitForPass(HWND bandWindow) {
    HWND toolbar = FindWatchToolbar(bandWindow);
    int count = ButtonCount(toolbar);
    PumpUntil([&] {
        for (int p = 0; p < count; ++p) {
            int image = ButtonImageAt(toolbar, p);
            if (image != 2 && image != 3) return false;
        }
        return true;
    }, 30000);
    PumpMessages(kSettleMs);
}

HWND NoPane(HWND, const BandCreateParams*) { return nullptr; }
bool g_framePanes = false;

// The frame alone: the class made through COM (the DLL is loaded, as for the band), and the
// host's steps for a band object of the same code whose container holds no pane.
double LoadFrame(BandHost& host) {
    double start = Now();
    IDeskBand* com = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_Pelorband, nullptr, CLSCTX_INPROC_SERVER, IID_IDeskBand,
                                   reinterpret_cast<void**>(&com)))) {
        com->Release();
    }
    IDeskBand* band = nullptr;
    if (FAILED(BandObject::Create(nullptr, IID_IDeskBand, reinterpret_cast<void**>(&band)))) return -1;
    IObjectWithSite* withSite = nullptr;
    band->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite));
    withSite->SetSite(static_cast<IInputObjectSite*>(&host.site()));
    DESKBANDINFO info = {};
    info.dwMask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE | DBIM_MODEFLAGS |
                  DBIM_BKCOLOR;
    info.ptIntegral = {1, 1};
    band->GetBandInfo(2, DBIF_VIEWMODE_NORMAL, &info);
    HWND window = nullptr;
    band->GetWindow(&window);
    REBARBANDINFOA rb = {};
    rb.cbSize = REBARBANDINFOA_V6_SIZE;
    rb.fMask = RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_ID | RBBIM_STYLE | RBBIM_IDEALSIZE;
    rb.fStyle = RBBS_CHILDEDGE | RBBS_GRIPPERALWAYS;
    rb.hwndChild = window;
    rb.cxMinChild = static_cast<UINT>(info.ptMinSize.x);
    rb.cyMinChild = static_cast<UINT>(info.ptMinSize.y);
    rb.cyMaxChild = static_cast<UINT>(info.ptMaxSize.y);
    rb.cyIntegral = static_cast<UINT>(info.ptIntegral.y);
    rb.cx = static_cast<UINT>(info.ptActual.x);
    rb.cxIdeal = static_cast<UINT>(info.ptActual.x);
    rb.wID = 2;
    SendMessageA(host.rebar(), RB_INSERTBANDA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&rb));
    band->ShowDW(TRUE);
    double elapsed = Now() - start;
    if (FindWatchPane(window) || FindSearchPane(window)) g_framePanes = true;

    int index = static_cast<int>(SendMessageA(host.rebar(), RB_IDTOINDEX, 2, 0));
    if (index >= 0) SendMessageA(host.rebar(), RB_DELETEBAND, index, 0);
    band->ShowDW(FALSE);
    band->CloseDW(0);
    withSite->SetSite(nullptr);
    withSite->Release();
    band->Release();
    return elapsed;
}

// The messages of a load that are named in its figures.
std::string MessageName(UINT message) {
    switch (message) {
    case WM_NCCREATE: return "WM_NCCREATE";
    case WM_CREATE: return "WM_CREATE";
    case WM_SIZE: return "WM_SIZE";
    case WM_GETMINMAXINFO: return "WM_GETMINMAXINFO";
    case WM_WINDOWPOSCHANGED: return "WM_WINDOWPOSCHANGED";
    case WM_SHOWWINDOW: return "WM_SHOWWINDOW";
    case WM_SETFONT: return "WM_SETFONT";
    case WM_NOTIFY: return "WM_NOTIFY";
    case WM_ERASEBKGND: return "WM_ERASEBKGND";
    case WM_NCPAINT: return "WM_NCPAINT";
    default: return "other";
    }
}

// The same platform calls as the panes make, timed here; each function is one piece.
std::string g_iniPath;
HMODULE g_dll = nullptr;

double TimeProfileReadsWatch() {
    double start = Now();
    std::vector<WatchItem> items = LoadWatchItems(g_iniPath);
    GetPrivateProfileIntA("watch", "interval", 0, g_iniPath.c_str());
    return Now() - start;
}

double TimeProfileReadsSearch() {
    double start = Now();
    std::vector<SearchEngine> engines = LoadSearchEngines(g_iniPath.c_str());
    return Now() - start;
}

double TimeBitmaps() {
    double start = Now();
    HBITMAP a = static_cast<HBITMAP>(LoadImageA(g_dll, MAKEINTRESOURCEA(213), IMAGE_BITMAP, 27, 16, 0x1080));
    HBITMAP b = static_cast<HBITMAP>(LoadImageA(g_dll, MAKEINTRESOURCEA(212), IMAGE_BITMAP, 27, 16, 0x1080));
    double elapsed = Now() - start;
    DeleteObject(a);
    DeleteObject(b);
    return elapsed;
}

// CreateToolbarEx and what follows it, as the watch pane makes them: the pieces go to
// parts[0] (CreateToolbarEx), parts[1] (TB_AUTOSIZE) and parts[2] (the two TB_ADDBITMAP).
double TimeToolbar(HWND parent, bool tooltips, double* parts) {
    HBITMAP a = static_cast<HBITMAP>(LoadImageA(g_dll, MAKEINTRESOURCEA(213), IMAGE_BITMAP, 27, 16, 0x1080));
    HBITMAP b = static_cast<HBITMAP>(LoadImageA(g_dll, MAKEINTRESOURCEA(212), IMAGE_BITMAP, 27, 16, 0x1080));
    std::vector<TBBUTTON> buttons(kWatchedPages + 1);
    for (size_t p = 0; p < buttons.size(); ++p) {
        buttons[p] = TBBUTTON();
        buttons[p].idCommand = static_cast<int>(p + 1);
        buttons[p].fsState = TBSTATE_ENABLED;
    }
    DWORD style = 0x5600894D & ~(tooltips ? 0 : TBSTYLE_TOOLTIPS);
    double start = Now();
    HWND toolbar = CreateToolbarEx(parent, style, 99, 2, g_dll, 217, buttons.data(),
                                   static_cast<int>(buttons.size()), 27, 16, 27, 16, sizeof(TBBUTTON));
    double made = Now();
    SendMessageA(toolbar, TB_AUTOSIZE, 0, 0);
    double sized = Now();
    for (HBITMAP bitmap : {a, b}) {
        TBADDBITMAP add = {nullptr, reinterpret_cast<UINT_PTR>(bitmap)};
        SendMessageA(toolbar, TB_ADDBITMAP, 1, reinterpret_cast<LPARAM>(&add));
    }
    double end = Now();
    if (parts) {
        parts[0] = made - start;
        parts[1] = sized - made;
        parts[2] = end - sized;
    }
    DestroyWindow(toolbar);
    DeleteObject(a);
    DeleteObject(b);
    return end - start;
}

struct StartProbe {
    HANDLE volatile published = nullptr;
    HANDLE started = nullptr;  // set once published, when the wait is for the first action
    HANDLE release = nullptr;  // the thread lives on until this is set, as a worker does
};

unsigned __stdcall PublishingThread(void* argument) {
    auto* probe = static_cast<StartProbe*>(argument);
    HANDLE self = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&probe->published), self);
    if (probe->started) SetEvent(probe->started);
    WaitForSingleObject(probe->release, INFINITE);
    CloseHandle(self);
    return 0;
}

// A thread started with the runtime's thread start, and the wait until it has published its
// handle: polling at 10 ms for the handle while the thread has not ended, or waiting for an
// event that the thread sets as soon as it has published (or for its end, should it die
// first).
double TimeWorkerStart(bool byEvent) {
    StartProbe probe;
    probe.release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (byEvent) probe.started = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    double start = Now();
    uintptr_t thread = _beginthreadex(nullptr, 0, PublishingThread, &probe, 0, nullptr);
    if (byEvent) {
        HANDLE waits[] = {probe.started, reinterpret_cast<HANDLE>(thread)};
        WaitForMultipleObjects(2, waits, FALSE, INFINITE);
    } else {
        while (!probe.published &&
               WaitForSingleObject(reinterpret_cast<HANDLE>(thread), 10) == WAIT_TIMEOUT) {
        }
    }
    double elapsed = Now() - start;
    SetEvent(probe.release);
    WaitForSingleObject(reinterpret_cast<HANDLE>(thread), INFINITE);
    CloseHandle(reinterpret_cast<HANDLE>(thread));
    CloseHandle(probe.release);
    if (probe.started) CloseHandle(probe.started);
    return elapsed;
}

// The edit box as the search pane makes it: created, given the GUI font, its frame and
// margins read; then one reading of the font's metrics, which the pane makes on every size
// question.
double TimeEditBox(HWND parent, double* metricsMs) {
    double start = Now();
    HWND edit = CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 0,
                                16, 16, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
    SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), TRUE);
    RECT window = {}, client = {};
    GetWindowRect(edit, &window);
    GetClientRect(edit, &client);
    SendMessageA(edit, EM_GETMARGINS, 0, 0);
    double made = Now();
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(edit, WM_GETFONT, 0, 0));
    HDC dc = GetDC(edit);
    TEXTMETRICA metrics = {};
    HGDIOBJ previous = SelectObject(dc, font);
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(edit, dc);
    *metricsMs = Now() - made;
    DestroyWindow(edit);
    return made - start;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 200;
    if (runs < 1) runs = 1;
    if (!FixtureAvailable()) {
        std::fprintf(stderr, "band_load: the HTTP fixture is not running; run inside scripts/lib/wine-sandbox\n");
        return 1;
    }
    FixtureGet("/_ctl/reset");
    for (int i = 1; i <= kWatchedPages; ++i) {
        FixturePost("/_ctl/set/w" + std::to_string(i), "watched page " + std::to_string(i));
    }
    WriteAppDataIni(Ini());
    g_iniPath = AppDataIniPath();

    BandHost host;
    // One warm-up: the first creation also loads the DLL and registers the window classes.
    if (FAILED(host.CreateBand())) {
        std::fprintf(stderr, "band_load: the band could not be created; is pelorin.beta.dll registered?\n");
        return 1;
    }
    int buttons = ButtonCount(FindWatchToolbar(host.bandWindow()));
    WaitForPass(host.bandWindow());
    host.CloseBand();
    g_dll = GetModuleHandleA("pelorin.beta.dll");
    SetPaneFactories(NoPane, NoPane);
    LoadFrame(host);
    if (g_framePanes) {
        std::fprintf(stderr, "band_load: the frame alone was given panes\n");
        return 1;
    }

    std::vector<double> times, frames;
    for (int i = 0; i < runs; ++i) {
        double start = Now();
        HRESULT hr = host.CreateBand();
        double elapsed = Now() - start;
        if (FAILED(hr) || !IsWindowVisible(host.bandWindow())) {
            std::fprintf(stderr, "band_load: run %d failed (0x%08lX)\n", i, static_cast<unsigned long>(hr));
            return 1;
        }
        times.push_back(elapsed);
        WaitForPass(host.bandWindow());
        host.CloseBand();
        frames.push_back(LoadFrame(host));
    }

    // Where the time goes inside the load, seen from the host's thread.
    const int hookedRuns = std::min(runs, 50);
    std::vector<double> hookedTimes;
    for (int i = 0; i < hookedRuns; ++i) {
        StartMessageTiming(MessageName);
        double start = Now();
        host.CreateBand();
        hookedTimes.push_back(Now() - start);
        StopMessageTiming();
        WaitForPass(host.bandWindow());
        host.CloseBand();
    }

    // The panes' platform calls, made here the same way.
    std::vector<double> watchReads, searchReads, bitmaps, toolbars, toolbarMade, toolbarSized, toolbarImages,
        bareToolbars, polled, signalled, edits, metrics;
    HWND parent = host.rebar();
    for (int i = 0; i < runs; ++i) {
        watchReads.push_back(TimeProfileReadsWatch());
        searchReads.push_back(TimeProfileReadsSearch());
        bitmaps.push_back(TimeBitmaps());
        double parts[3];
        toolbars.push_back(TimeToolbar(parent, true, parts));
        toolbarMade.push_back(parts[0]);
        toolbarSized.push_back(parts[1]);
        toolbarImages.push_back(parts[2]);
        bareToolbars.push_back(TimeToolbar(parent, false, nullptr));
        polled.push_back(TimeWorkerStart(false));
        signalled.push_back(TimeWorkerStart(true));
        double m = 0;
        edits.push_back(TimeEditBox(parent, &m));
        metrics.push_back(m);
    }
    SetPaneFactories(nullptr, nullptr);
    RemoveAppDataIni();

    std::printf("band load, %d watched pages (%d buttons) and 3 search services, %d runs:\n", kWatchedPages,
                buttons, runs);
    std::printf("  the band:        median %7.3f ms, min %7.3f ms, 90th percentile %7.3f ms\n", Median(times),
                *std::min_element(times.begin(), times.end()), Percentile90(times));
    std::printf("  the frame alone: median %7.3f ms, min %7.3f ms, 90th percentile %7.3f ms\n", Median(frames),
                *std::min_element(frames.begin(), frames.end()), Percentile90(frames));
    std::printf("  band / frame alone: %.2f\n", Median(times) / Median(frames));
    std::printf("inside the load, per load (call-window hooks, %d runs, median load with hooks %.3f ms):\n",
                hookedRuns, Median(hookedTimes));
    std::printf("  %-40s %10s %8s\n", "window class and message", "ms/load", "calls");
    std::vector<std::pair<std::string, MessageBucket>> sorted(MessageTimes().begin(), MessageTimes().end());
    std::sort(sorted.begin(), sorted.end(),
              [](const auto& a, const auto& b) { return a.second.ms > b.second.ms; });
    for (const auto& [name, bucket] : sorted) {
        if (bucket.ms / hookedRuns < 0.02) continue;
        std::printf("  %-40s %10.3f %8.1f\n", name.c_str(), bucket.ms / hookedRuns,
                    static_cast<double>(bucket.count) / hookedRuns);
    }
    std::printf("the panes' platform calls, made the same way here (median of %d):\n", runs);
    std::printf("  profile reads, watch items and interval:       %7.3f ms\n", Median(watchReads));
    std::printf("  profile reads, search services:                %7.3f ms\n", Median(searchReads));
    std::printf("  the two bitmaps:                                %7.3f ms\n", Median(bitmaps));
    std::printf("  toolbar with its tooltip control (%d buttons):   %7.3f ms\n", kWatchedPages + 1, Median(toolbars));
    std::printf("    CreateToolbarEx:                              %7.3f ms\n", Median(toolbarMade));
    std::printf("    TB_AUTOSIZE:                                  %7.3f ms\n", Median(toolbarSized));
    std::printf("    the two TB_ADDBITMAP:                         %7.3f ms\n", Median(toolbarImages));
    std::printf("  toolbar without a tooltip control:              %7.3f ms\n", Median(bareToolbars));
    std::printf("  worker start, waited for by polling at 10 ms:   %7.3f ms\n", Median(polled));
    std::printf("  worker start, waited for its first action:      %7.3f ms\n", Median(signalled));
    std::printf("  edit box, its font, frame and margins:          %7.3f ms\n", Median(edits));
    std::printf("  one reading of the edit box's font metrics:     %7.3f ms\n", Median(metrics));
    return 0;
}
