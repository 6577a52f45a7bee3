// What every part of the demo session uses: the transcript and its steps, HTTP to the demo
// site, screenshots, the band's windows as a user's tools find them, the page view below the
// band, the host's message loop, the user's actions and message boxes. Everything runs on
// the driver's one UI thread, except the message-box watcher (see StartWatchingBoxes).
// Texts are handled in code page 932, like the band's; the transcript is printed in UTF-8.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "band_host.h"

// The transcript.
void Say(const char* format, ...);
// Records a step and prints whether it happened; returns ok.
bool Check(bool ok, const char* what);
struct StepResult {
    std::string name;
    bool ok;
};
extern std::vector<StepResult> g_results;

// HTTP, for the driver's own use: following navigations and asking the demo site.
struct HttpReply {
    DWORD status = 0;
    std::string body;
};
HttpReply Http(const std::string& url, const std::string& body = std::string(),
               const std::string& headers = std::string(), bool post = false);
// The site's control requests are not logged, so asking never disturbs what is observed.
std::string Control(const std::string& command);
struct SiteEntry {
    std::string kind, method, host, path, status, agent, contentType, raw;
    std::vector<std::string> params;  // name=text, the text decoded as code page 932
};
// What the site logged since the last call.
std::vector<SiteEntry> SiteNews();
// Pumps until the site logs a request for path from the agent; false when the time runs out.
bool WaitForSiteRequest(const std::string& path, const std::string& agent, DWORD timeoutMs);
// The search service's requests among the entries: printed, counted by method, looked up.
void PrintSearches(const std::vector<SiteEntry>& entries);
int CountSearches(const std::vector<SiteEntry>& entries, const std::string& method);
bool HasParam(const std::vector<SiteEntry>& entries, const std::string& param);

// Screenshots: what the display shows in an area, saved as a 24-bit BMP in g_shots; Shot
// also names it in the transcript and in g_shotNames.
extern std::string g_shots;
extern std::vector<std::string> g_shotNames;
bool SaveRect(const std::string& name, RECT r);
RECT WindowArea(HWND window);
void Shot(const std::string& name, RECT area, const char* what);

// The band's windows, found the way a user's tools (Spy++) would.
int ButtonCount(HWND toolbar);
int ButtonImage(HWND toolbar, int position);
struct Band {
    HWND toolbar = nullptr;
    HWND edit = nullptr;
    std::vector<std::string> titles;

    std::string States() const;
    int Find(const std::string& title) const;
    RECT ButtonArea(int position) const;
};
bool Attach(BandHost& host, Band& band);
// Pumps until every button shows a result of its first pass (Changed or Seen).
bool WaitForPass(const Band& band, DWORD timeoutMs);

// The watched pages' titles, as the demo's pelorin.ini names them.
extern const char kNews[];
extern const char kGone[];
extern const char kNotice[];
extern const char kWeather[];
extern const char kMaker[];

// The page view below the band: what a browser would show of each page it is asked to open.
void AddView(HWND host);
// Does what the browser would do with each navigation the band asked for since `from`.
size_t Browse(BandHost& host, size_t from, bool quiet = false);

// The host: a browser window near the top left or the taskbar along the bottom of the
// screen, whose messages Pump and PumpUntil run while it is open.
std::unique_ptr<BandHost> OpenHost(HostMode mode);
void CloseHost(std::unique_ptr<BandHost>& host);
// Which DLL the host process loaded, and whether its bitness is the host's.
void SayWhichBand(const char* where);
void Pump(DWORD milliseconds);
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

// The user's actions.
void Hover(const Band& band, int position);
void Click(const Band& band, int position);
std::string Type(const Band& band, const std::string& text);
HRESULT PressEnter(BandHost& host, const Band& band);

// Message boxes: found from a second thread, recorded, shown a moment, photographed (the
// first one, over g_boxBackdrop) and closed.
struct SeenBox {
    std::string caption, text;
    std::string shot;
};
extern RECT g_boxBackdrop;  // the host window's area, photographed with the box
void StartWatchingBoxes();
void StopWatchingBoxes();
std::vector<SeenBox> Boxes();

// The parts of the session, each in a file of its own.
void BrowserSession();  // demo_browser.cpp
void Stay();            // demo_browser.cpp
void TaskbarSession();  // demo_taskbar.cpp
void BarSession();      // demo_bar.cpp
void RemovedSession();  // demo_removal.cpp
