// The watch pane: one toolbar button per watched page, and the worker that polls them.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <shobjidl.h>

#include <vector>

#include "watch/watch_item.h"

struct BandCreateParams;

// A button's image index in the toolbar's image list: the only record of an item's state.
enum ButtonImage { Pending = 0, Checking = 1, Changed = 2, Seen = 3 };

// One per pane. The pane (UI thread) and its worker each hold a reference, because a worker
// that is still inside a fetch when the pane is destroyed must not find its items freed; the
// last of the two to let go frees the record. Who touches what:
//   UI thread only: band, hwndParent, browser, inputSite, hostListens, toldChanged, window,
//         rebar, bitmaps, worker, tipText, tipTextWide.
//   both: items (each under its own lock, see watch_item.h), toolbar (the worker only sends
//         image changes to it, and stops doing so once stopRequested is set), stopRequested
//         (set by the pane before it sets the event), wakeEvent, workerThread (published by
//         the worker first, cleared by it last), workerStarted (set by the worker right
//         after it has published itself, closed by the pane once it has seen that).
struct WatchPaneState {
    IUnknown* band = nullptr;
    HWND hwndParent = nullptr;
    IWebBrowser2* browser = nullptr;        // counted; null without a browser
    IInputObjectSite* inputSite = nullptr;  // counted; asked for the host's command target
    bool hostListens = true;                // false once the host showed it wants no notices
    std::vector<bool> toldChanged;          // per item: the host was last told it changed
    HWND window = nullptr;
    HWND rebar = nullptr;                   // no rebar hosts the toolbar
    HWND volatile toolbar = nullptr;
    std::vector<WatchItem> items;
    std::vector<HBITMAP> bitmaps;           // 213 (Changed), then 212 (Seen)
    volatile LONG stopRequested = 0;
    HANDLE wakeEvent = nullptr;
    HANDLE volatile workerThread = nullptr;
    HANDLE workerStarted = nullptr;         // manual-reset; the pane waits on it at creation
    HANDLE worker = nullptr;                // the pane's own handle to the thread, to wait on
    // The last tooltip with a passage, which the tooltip reads after the pane has answered.
    std::string tipText;
    std::wstring tipTextWide;

    void AddRef() { InterlockedIncrement(&refs_); }
    void Release() {
        if (InterlockedDecrement(&refs_) == 0) delete this;
    }

private:
    ~WatchPaneState();
    volatile LONG refs_ = 1;
};

// Creates the pane, hidden, as a child of the container; null on failure.
HWND CreateWatchPane(HWND parent, const BandCreateParams* params);

ButtonImage GetButtonImage(HWND toolbar, int position);
// Sets the image and checks that it took, retrying a few times; non-zero when the toolbar
// accepted the last request. Called from the worker, the pane makes each attempt on its
// own thread.
LRESULT SetButtonImage(HWND toolbar, int position, ButtonImage image);
