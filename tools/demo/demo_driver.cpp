// demo_driver.exe --part PART --shots FOLDER: takes the band through one part of a short
// session, as a user would, and prints what happened. The parts:
//   browser  the band in a browser window (the 32-bit driver: a 32-bit browser; the 64-bit
//            one where the machine runs no 32-bit programs);
//   taskbar  the band in the taskbar, with no browser (the 64-bit driver: 64-bit Explorer);
//   bar      the Pelorin bar started from its Start-menu link, in a Wine virtual desktop with
//            a taskbar, its default browser chromium (the driver runs in that desktop, and
//            --out FILE takes its transcript);
//   stay     the band stays open in a browser window until the window is closed, so a person
//            can click and type;
//   removed  after Pelorin was removed (by its uninstaller, or as it would): nothing of its
//            registration is left in either registry view, nor its files or
//            installed-programs entry; the user's pelorin.ini and record of seen pages are.
//
// The band comes through COM in the band host (tools/bandhost), and each part names the DLL
// that the host loaded and the bitness its version resource gives. The driver clicks watch
// buttons, types into the search box and presses Enter through the band's
// TranslateAcceleratorIO, and "browses": every navigation the band asks of the host's
// recording browser is fetched from the demo site and its text shown below the band, as a
// browser would show the page. What the site and the search service received comes from the
// site's log (tools/demo/site.py). Screenshots of the host window go to FOLDER as .bmp files.
//
// Texts are handled in code page 932, like the band's; the transcript is printed in UTF-8.
// Each part is a file of its own (demo_browser.cpp, demo_taskbar.cpp, demo_bar.cpp,
// demo_removal.cpp), over
// the helpers in demo_common.h.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <string>

#include "demo_common.h"

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);  // the transcript is UTF-8, written as it is
    static const char kUsage[] =
        "usage: demo_driver --part browser|taskbar|bar|stay|removed --shots FOLDER [--out FILE]\n";
    std::string part;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--shots") == 0) {
            g_shots = argv[i + 1];
        } else if (std::strcmp(argv[i], "--part") == 0) {
            part = argv[i + 1];
        } else if (std::strcmp(argv[i], "--out") == 0) {
            // Started inside a Wine virtual desktop, the driver's output goes nowhere else.
            if (!std::freopen(argv[i + 1], "wb", stdout)) return 2;
        } else {
            break;
        }
    }
    if (argc % 2 == 0 || g_shots.empty() ||
        (part != "browser" && part != "taskbar" && part != "bar" && part != "stay" && part != "removed")) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }
    CreateDirectoryA(g_shots.c_str(), nullptr);
    if (Control("ping") != "pong") {
        Say("The demo site does not answer on pages.test:80; run the demo through scripts/demo.");
        return 1;
    }
    if (part == "stay") {
        Stay();
        return 0;
    }
    StartWatchingBoxes();

    if (part == "browser") BrowserSession();
    if (part == "taskbar") TaskbarSession();
    if (part == "bar") BarSession();
    if (part == "removed") RemovedSession();

    StopWatchingBoxes();

    int happened = 0;
    for (const StepResult& r : g_results) happened += r.ok;
    Say("");
    Say("== %s: %d of %d steps happened as expected", part.c_str(), happened, static_cast<int>(g_results.size()));
    for (const StepResult& r : g_results)
        if (!r.ok) Say("  did not happen: %s", r.name.c_str());
    std::string shots;
    for (const std::string& s : g_shotNames) shots += (shots.empty() ? "" : " ") + s + ".png";
    if (!shots.empty()) Say("  screenshots: %s", shots.c_str());
    return happened == static_cast<int>(g_results.size()) ? 0 : 1;
}
