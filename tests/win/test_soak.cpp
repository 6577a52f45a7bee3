// The soak of the whole band, short: fifty cycles of create, watch pass, search and close in
// one band host must leave the handles, both heaps and the thread's windows where they were.
// bench/band_soak.cpp runs the same cycles 500 times.
#include <gtest/gtest.h>

#include "support/band_soak.h"

TEST(BandSoak, FiftyCyclesOfTheWholeBandLeaveNothingBehind) {
    REQUIRE_FIXTURE();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        BandSoak soak;
        std::string failure;
        // Cycle 0 loads what loads once: the library, comctl32's classes, WinINet's state.
        ASSERT_TRUE(soak.Cycle(&failure)) << failure;
        SoakFigures before = soak.Measure();
        BandSoak::Print(0, before);
        const int cycles = 50;
        for (int cycle = 1; cycle <= cycles; ++cycle) {
            ASSERT_TRUE(soak.Cycle(&failure)) << "cycle " << cycle << ": " << failure;
        }
        SoakFigures after = soak.Measure();
        BandSoak::Print(cycles, after);
        EXPECT_EQ(after.footprint.probe, before.footprint.probe);
        EXPECT_EQ(after.windows, before.windows);
        // A band left behind keeps kilobytes a cycle: its panes, items, toolbar, definitions.
        EXPECT_LT(after.footprint.processHeapBytes, before.footprint.processHeapBytes + cycles * 16);
        EXPECT_LT(after.footprint.runtimeHeapBytes, before.footprint.runtimeHeapBytes + cycles * 16);
    }
    CoUninitialize();
}
