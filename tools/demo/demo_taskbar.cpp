// The band in the taskbar, as the 64-bit driver shows it in 64-bit Explorer's taskbar: no
// browser, so a page opens through the shell's "open" (the demo's default browser fetches
// it), a GET search likewise, and the POST service is refused with a message box.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "demo_common.h"

void TaskbarSession() {
    Say("");
    Say("== 8. The band in the taskbar of %s Windows (no browser)", sizeof(void*) == 8 ? "64-bit" : "32-bit");
    std::unique_ptr<BandHost> host = OpenHost(HostMode::Taskbar);
    g_boxBackdrop = WindowArea(host->hostWindow());
    HRESULT hr = host->CreateBand();
    if (!Check(SUCCEEDED(hr), "the taskbar host created the band, offering no browser")) return;
    SayWhichBand("taskbar");
    Band band;
    Attach(*host, band);
    WaitForPass(band, 15000);
    Say("  after its first pass: %s", band.States().c_str());
    Shot("taskbar-band", WindowArea(host->hostWindow()), "the band in the taskbar after its first pass");
    SiteNews();
    Click(band, band.Find(kNotice));
    bool opened = WaitForSiteRequest("/notice.html", "Pelorin demo opener", 10000);
    Check(opened, "お知らせ opened through the shell's \"open\" (the default browser fetched it)");

    SiteNews();
    std::string typed = Type(band, "pelorin");
    Check(typed == "pelorin", "typed \"pelorin\" into the search box");
    PressEnter(*host, band);
    bool refused = PumpUntil([] { return !Boxes().empty(); }, 10000);
    std::vector<SiteEntry> entries;
    bool searched = PumpUntil(
        [&] {
            for (const SiteEntry& e : SiteNews()) entries.push_back(e);
            return CountSearches(entries, "GET") >= 1;
        },
        10000);
    for (const SeenBox& box : Boxes())
        Say("  message box \"%s\": %s%s%s", box.caption.c_str(), box.text.c_str(), box.shot.empty() ? "" : "  (screenshot ",
            box.shot.empty() ? "" : (box.shot + ".png)").c_str());
    if (!Boxes().empty() && !Boxes()[0].shot.empty()) g_shotNames.push_back(Boxes()[0].shot);
    PrintSearches(entries);
    Check(refused && Boxes().size() == 1 && Boxes()[0].caption == "Pelorin" &&
              Boxes()[0].text == "タスクバーからPOSTはできません。",
          "the POST service was refused with \"タスクバーからPOSTはできません。\"");
    Check(searched && CountSearches(entries, "GET") == 1 && CountSearches(entries, "POST") == 0 &&
              HasParam(entries, "q=pelorin"),
          "the GET service was opened through the shell; nothing was POSTed");
    CloseHost(host);
}
