// Long use of the whole band, cycle after cycle in one band host: the band created through
// COM, a watch pass over pages that answer normally, slowly, with a failure and with a reset
// connection, a search submitted from its box, and the band closed. The soak test and the
// soak benchmark share it; between cycles they measure what a leak would grow.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "band_host.h"
#include "support/test_env.h"

// Windows of the calling thread: top-level ones (the host's, the toolbar's tooltips) and
// every descendant.
int CountThreadWindows();

struct SoakFigures {
    ProcessFootprint footprint;
    int windows = 0;
};

class BandSoak {
public:
    // Writes the configuration and the fixture's page; the fixture must be running.
    BandSoak();
    ~BandSoak();
    BandSoak(const BandSoak&) = delete;
    BandSoak& operator=(const BandSoak&) = delete;

    // One cycle; false, with what went wrong, when the band did not do its part.
    bool Cycle(std::string* failure);
    // After a cycle, once the band's worker has let go of the library.
    SoakFigures Measure();
    static void Print(int cycle, const SoakFigures& figures);

private:
    std::unique_ptr<BandHost> host_;
};
