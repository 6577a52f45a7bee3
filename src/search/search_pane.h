// The search pane: one edit box whose Enter submits the typed text.
#pragma once

#include <windows.h>

struct BandCreateParams;

// Sent (never posted) by the edit box's Enter handling to the pane: wParam is the edit box
// whose text is submitted, lParam 0.
constexpr UINT WM_SUBMIT_QUERY = WM_APP + 1;

// Creates the pane, hidden, as a child of the container; null on failure.
HWND CreateSearchPane(HWND parent, const BandCreateParams* params);

// The procedure of class "Pelorin-Search" and of the pane's subclassed edit box.
LRESULT CALLBACK SearchPaneProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
