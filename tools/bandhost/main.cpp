// bandhost.exe [--taskbar]: shows the band in a window of its own, as the browser's toolbar
// area (or, with --taskbar, as the taskbar: no browser) would, until the window is closed.
#include <windows.h>
#include <cstdio>
#include <cstring>

#include "band_host.h"

int main(int argc, char** argv) {
    HostMode mode = HostMode::Browser;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--taskbar") == 0) {
            mode = HostMode::Taskbar;
        } else {
            std::fprintf(stderr, "usage: bandhost [--taskbar]\n");
            return 2;
        }
    }
    BandHost host(mode);
    HRESULT hr = host.CreateBand();
    if (FAILED(hr)) {
        std::fprintf(stderr, "bandhost: the band could not be created (0x%08lX); is pelorin.beta.dll registered?\n",
                     static_cast<unsigned long>(hr));
        return 1;
    }
    std::printf("bandhost: band shown, window %p\n", static_cast<void*>(host.bandWindow()));
    std::fflush(stdout);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) host.Dispatch(msg);
    return 0;
}
