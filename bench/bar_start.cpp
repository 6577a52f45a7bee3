// The Pelorin bar against the band host tool, side by side in one run:
//   1. cold starts: from CreateProcess to the band's container shown, median of N starts of
//      each (alternating, so that the machine's load falls on both alike);
//   2. idle: one bar and one band host, each with 50 watched pages on the fixture and a
//      600-second interval, left alone for M minutes after their first pass: the messages the
//      bar's own loop handled in that time, and both processes' private memory.
// usage: bar_start.exe [starts (20)] [idle minutes (10)]
// Run inside the sandbox (the fixture serves the pages), after registering the DLL (the band
// host creates the band through COM; the bar needs no registration).
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bar/bar_window.h"
#include "support/test_env.h"
#include "support/watch_probe.h"

namespace {

struct Started {
    PROCESS_INFORMATION process = {};
    HWND window = nullptr;  // the top-level window holding the band
    double ms = 0;
};

double Now() {
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

struct FindBand {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindShownBand(HWND window, LPARAM param) {
    auto* f = reinterpret_cast<FindBand*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != f->pid || !IsWindowVisible(window)) return TRUE;
    // The bar holds the container itself; the band host in its rebar.
    HWND container = FindWindowExA(window, nullptr, "Pelorin", nullptr);
    if (!container) {
        HWND rebar = FindWindowExA(window, nullptr, "ReBarWindow32", nullptr);
        if (rebar) container = FindWindowExA(rebar, nullptr, "Pelorin", nullptr);
    }
    if (container && IsWindowVisible(container)) {
        f->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND ShownBandOf(DWORD pid) {
    FindBand find = {pid, nullptr};
    EnumWindows(FindShownBand, reinterpret_cast<LPARAM>(&find));
    return find.found;
}

Started Start(const std::string& program) {
    Started s;
    std::string command = "\"" + program + "\"";
    STARTUPINFOA startup = {sizeof startup};
    double start = Now();
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &s.process)) {
        std::printf("cannot start %s\n", program.c_str());
        std::exit(1);
    }
    while (!(s.window = ShownBandOf(s.process.dwProcessId))) {
        if (Now() - start > 30000) {
            std::printf("%s showed no band in 30 s\n", program.c_str());
            std::exit(1);
        }
        Sleep(1);
    }
    s.ms = Now() - start;
    return s;
}

void End(Started& s) {
    PostMessageA(s.window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(s.process.hProcess, 15000) != WAIT_OBJECT_0) TerminateProcess(s.process.hProcess, 1);
    CloseHandle(s.process.hThread);
    CloseHandle(s.process.hProcess);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A process's private memory: its commit charge (Wine reports PrivateUsage of another
// process as 0, and the commit charge, PagefileUsage, from the process's own accounting).
double PrivateMb(HANDLE process) {
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters);
    SIZE_T bytes = counters.PrivateUsage ? counters.PrivateUsage : counters.PagefileUsage;
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
    int starts = argc > 1 ? std::atoi(argv[1]) : 20;
    int minutes = argc > 2 ? std::atoi(argv[2]) : 10;
    if (!FixtureAvailable()) {
        std::printf("the HTTP fixture is not running on 127.0.0.1:80; run inside scripts/lib/wine-sandbox\n");
        return 1;
    }
    std::string bar = BuildDir() + "\\pelorin.exe";
    std::string host = BuildDir() + "\\tools\\bandhost\\bandhost.exe";

    // 1. Cold starts, with the five pages and three services of the band load benchmark's size.
    std::string config = "[watch]\r\n";
    for (int i = 1; i <= 5; ++i) {
        config += "item" + std::to_string(i) + "=Page " + std::to_string(i) + ",0,http://pages.test/page/p" +
                  std::to_string(i) + "\r\n";
    }
    config += "[search]\r\nurl1=http://search.test/a\r\nform1=q=\r\nurl2=http://search.test/b\r\nform2=q=\r\n"
              "url3=http://search.test/c\r\nmethod3=post\r\nform3=q=\r\n";
    WriteAppDataIni(config);
    std::vector<double> barMs, hostMs;
    for (int i = 0; i < starts; ++i) {
        Started b = Start(bar);
        barMs.push_back(b.ms);
        End(b);
        Started h = Start(host);
        hostMs.push_back(h.ms);
        End(h);
    }
    double barMedian = Median(barMs), hostMedian = Median(hostMs);
    std::printf("cold start to the band shown, median of %d: bar %.1f ms, band host %.1f ms, bar/host %.2f\n", starts,
                barMedian, hostMedian, hostMedian > 0 ? barMedian / hostMedian : 0);

    // 2. Idle, with 50 pages polled every 600 s.
    config = "[watch]\r\ninterval=600\r\n";
    for (int i = 1; i <= 50; ++i) {
        std::string name = "idle" + std::to_string(i);
        FixturePost("/_ctl/set/" + name, "page " + std::to_string(i));
        config += "item" + std::to_string(i) + "=Idle " + std::to_string(i) + ",0,http://pages.test/page/" + name + "\r\n";
    }
    WriteAppDataIni(config);
    ClearSeenStore();
    Started b = Start(bar);
    Started h = Start(host);
    // The first passes end when every page shows Changed: the bar says so in its title.
    for (int i = 0; i < 600; ++i) {
        char title[128] = "";
        GetWindowTextA(b.window, title, sizeof title);
        if (std::string(title).find("51") != std::string::npos) break;
        Sleep(100);
    }
    Sleep(2000);
    LRESULT before = SendMessageA(b.window, kMessagesHandled, 0, 0);
    double barMemBefore = PrivateMb(b.process.hProcess), hostMemBefore = PrivateMb(h.process.hProcess);
    Sleep(static_cast<DWORD>(minutes) * 60 * 1000);
    LRESULT after = SendMessageA(b.window, kMessagesHandled, 0, 0);
    double barMem = PrivateMb(b.process.hProcess), hostMem = PrivateMb(h.process.hProcess);
    std::printf("idle for %d min with 50 pages, interval 600 s: the bar's loop handled %ld messages\n", minutes,
                static_cast<long>(after - before));
    std::printf("private memory: bar %.1f MB (%.1f after the pass), band host %.1f MB (%.1f after the pass), "
                "bar - host %.1f MB\n",
                barMem, barMemBefore, hostMem, hostMemBefore, barMem - hostMem);
    End(b);
    End(h);
    RemoveAppDataIni();
    ClearSeenStore();
    return 0;
}
