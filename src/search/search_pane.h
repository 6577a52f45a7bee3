// The search pane: one edit box whose Enter submits the typed text.
#pragma once

#include <windows.h>

struct BandCreateParams;

// Creates the pane, hidden, as a child of the container; null on failure.
HWND CreateSearchPane(HWND parent, const BandCreateParams* params);
