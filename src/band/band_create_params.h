// What the band hands to its container window, and the container to each pane, as the
// window-creation parameter. It lives only while SetSite runs: a pane that keeps anything
// copies the record during its own creation and takes its own references.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <shobjidl.h>

struct BandCreateParams {
    IUnknown* band;               // the band's primary face; no reference counted for it
    HWND hwndParent;              // the host window the band lives in
    IWebBrowser2* browser;        // counted; null without a browser (the taskbar)
    IInputObjectSite* inputSite;  // counted; may be null
};
