// The watch pane: one toolbar button per watched page.
#pragma once

#include <windows.h>

struct BandCreateParams;

// Creates the pane, hidden, as a child of the container; null on failure.
HWND CreateWatchPane(HWND parent, const BandCreateParams* params);
