#include "support/band_soak.h"

#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "support/watch_probe.h"

namespace {

enum { Changed = 2, Seen = 3 };

// The built-in item comes last; the search goes out by GET and by POST.
const char kConfig[] =
    "[watch]\r\n"
    "item1=normal,0,http://pages.test/page/soak\r\n"
    "item2=slow,1,http://pages.test/sleep/0.2\r\n"
    "item3=failing,0,http://pages.test/status/500\r\n"
    "item4=resetting,1,http://pages.test/reset\r\n"
    "[search]\r\n"
    "url1=http://search.test/get\r\n"
    "form1=q=\r\n"
    "url2=http://search.test/post\r\n"
    "method2=post\r\n"
    "form2=q=\r\n";
const int kButtons = 5;

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    EnumChildWindows(window, CountChild, count);
    return TRUE;
}

}  // namespace

int CountThreadWindows() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountTopLevel, reinterpret_cast<LPARAM>(&count));
    return count;
}

BandSoak::BandSoak() {
    FixtureGet("/_ctl/reset");
    FixturePost("/_ctl/set/soak", "<p>a page that answers at once</p>");
    ClearSeenStore();
    WriteAppDataIni(kConfig);
    host_ = std::make_unique<BandHost>(HostMode::Browser);
}

BandSoak::~BandSoak() {
    host_.reset();
    PumpUntil([] { return LoadedDllCanUnloadNow() == S_OK; }, 10000);
    RemoveAppDataIni();
    ClearSeenStore();
    FixtureGet("/_ctl/reset");
}

bool BandSoak::Cycle(std::string* failure) {
    HRESULT hr = host_->CreateBand();
    if (hr != S_OK) {
        *failure = "CreateBand answered " + std::to_string(hr);
        return false;
    }
    HWND toolbar = FindWatchToolbar(host_->bandWindow());
    HWND edit = FindWindowExA(FindSearchPane(host_->bandWindow()), nullptr, "Edit", nullptr);
    bool ok = toolbar && edit && ButtonCount(toolbar) == kButtons;
    if (!ok) *failure = "the band has no toolbar of five buttons or no search box";

    // The pass is over when every button shows its result: the pages that answer Changed
    // (never opened), the failing and resetting ones Seen.
    const int expected[kButtons] = {Changed, Changed, Seen, Seen, Changed};
    if (ok && !PumpUntil(
                  [&] {
                      for (int i = 0; i < kButtons; ++i) {
                          if (ButtonImageAt(toolbar, i) != expected[i]) return false;
                      }
                      return true;
                  },
                  20000)) {
        ok = false;
        *failure = "the watch pass did not end with the expected images";
    }

    if (ok) {
        SetFocus(edit);
        SetWindowTextA(edit, "soak");
        MSG msg = {};
        msg.hwnd = edit;
        msg.message = WM_KEYDOWN;
        msg.wParam = VK_RETURN;
        msg.lParam = 0x001C0001;
        host_->DeliverKey(msg);
        PumpMessages(5);
        std::vector<NavigateCall>& navigations = host_->browser().navigations;
        if (navigations.size() != 2 || navigations[0].url != "http://search.test/get?q=%73%6F%61%6B" ||
            navigations[1].url != "http://search.test/post") {
            ok = false;
            *failure = "the search did not reach the browser by GET and by POST";
        }
        // What the browser and the site recorded is the soak's memory, not the band's.
        std::vector<NavigateCall>().swap(navigations);
        std::vector<std::pair<IUnknown*, BOOL>>().swap(host_->focusChanges());
    }
    host_->CloseBand();
    return ok;
}

SoakFigures BandSoak::Measure() {
    PumpUntil([] { return LoadedDllCanUnloadNow() == S_OK; }, 10000);
    PumpMessages(20);
    SoakFigures figures;
    figures.footprint = MeasureFootprint();
    figures.windows = CountThreadWindows();
    return figures;
}

void BandSoak::Print(int cycle, const SoakFigures& f) {
    std::printf("cycle %4d: kernel handle probe %p, process heap %lu bytes, runtime heap %lu bytes, "
                "%d windows\n",
                cycle, f.footprint.probe, static_cast<unsigned long>(f.footprint.processHeapBytes),
                static_cast<unsigned long>(f.footprint.runtimeHeapBytes), f.windows);
    std::fflush(stdout);
}
