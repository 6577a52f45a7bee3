// How long a browser waits for the band: from CoCreateInstance through SetSite, GetBandInfo
// and ShowDW to a shown band in the band host, over many runs. Prints the median and the
// spread in milliseconds; the band must be registered (regsvr32) in the prefix.
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "band_host.h"

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 200;
    if (runs < 1) runs = 1;
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    BandHost host;
    // One warm-up: the first creation also loads the DLL and registers the window class.
    if (FAILED(host.CreateBand())) {
        std::fprintf(stderr, "band_load: the band could not be created; is pelorin.beta.dll registered?\n");
        return 1;
    }
    host.CloseBand();
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        HRESULT hr = host.CreateBand();
        QueryPerformanceCounter(&end);
        if (FAILED(hr) || !IsWindowVisible(host.bandWindow())) {
            std::fprintf(stderr, "band_load: run %d failed (0x%08lX)\n", i, static_cast<unsigned long>(hr));
            return 1;
        }
        times.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                        static_cast<double>(frequency.QuadPart));
        host.CloseBand();
    }
    std::sort(times.begin(), times.end());
    std::printf("band load, %d runs: median %.3f ms, min %.3f ms, 90th percentile %.3f ms, max %.3f ms\n", runs,
                times[times.size() / 2], times.front(), times[times.size() * 9 / 10], times.back());
    return 0;
}
