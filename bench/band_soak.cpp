// The soak of the whole band (run it inside the test sandbox, with the band registered):
// CYCLES (500 by default) cycles of create, watch pass, search and close in one band host,
// printing the kernel handle probe, both heaps and the thread's windows at cycle 0 (after
// one cycle has loaded what loads once) and every 100 cycles, and what each grew in all.
//   build/win32/bench/band_soak.exe [cycles]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/band_soak.h"

int main(int argc, char** argv) {
    int cycles = argc > 1 ? std::atoi(argv[1]) : 500;
    if (!FixtureAvailable()) {
        std::fprintf(stderr, "the HTTP fixture is not running; run inside scripts/lib/wine-sandbox\n");
        return 1;
    }
    // The first line gives standard output its buffer before anything is measured.
    std::printf("band soak: %d cycles\n", cycles);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int status = 0;
    {
        BandSoak soak;
        std::string failure;
        if (!soak.Cycle(&failure)) {
            std::fprintf(stderr, "cycle 0: %s\n", failure.c_str());
            return 1;
        }
        SoakFigures first = soak.Measure();
        BandSoak::Print(0, first);
        SoakFigures last = first;
        DWORD start = GetTickCount();
        for (int cycle = 1; cycle <= cycles; ++cycle) {
            if (!soak.Cycle(&failure)) {
                std::fprintf(stderr, "cycle %d: %s\n", cycle, failure.c_str());
                status = 1;
                break;
            }
            if (cycle % 100 == 0 || cycle == cycles) {
                last = soak.Measure();
                BandSoak::Print(cycle, last);
            }
        }
        double perCycle = static_cast<double>(GetTickCount() - start) / cycles;
        std::printf("growth over %d cycles: handle probe %s, process heap %+ld bytes, runtime heap "
                    "%+ld bytes, windows %+d; %.0f ms a cycle\n",
                    cycles, last.footprint.probe == first.footprint.probe ? "same" : "moved",
                    static_cast<long>(last.footprint.processHeapBytes) -
                        static_cast<long>(first.footprint.processHeapBytes),
                    static_cast<long>(last.footprint.runtimeHeapBytes) -
                        static_cast<long>(first.footprint.runtimeHeapBytes),
                    last.windows - first.windows, perCycle);
    }
    CoUninitialize();
    return status;
}
