// The band's container window (class "Pelorin"): it creates the watch pane and the search
// pane and lays them out in one row, and its WM_GETMINMAXINFO reply is the band's size.
// It lives on the host's UI thread; its PaneSlots sit in the user-data word from WM_CREATE
// to WM_DESTROY and own no window (the panes are child windows and go with it).
#pragma once

#include <windows.h>

struct BandCreateParams;

// Slot 0 the watch pane, slot 1 the search pane, slot 2 a pane that would take the rest of
// the row (none does, so it stays null).
struct PaneSlots {
    HWND panes[3];
};

// Registers the class; the result is ignored by callers, a second band finds it registered.
ATOM RegisterContainerWindowClass();
// Creates the container as a child of params.hwndParent at (0, 0), 1 by 1; null on failure.
HWND CreateContainerWindow(const BandCreateParams& params);
// Destroys the container on its own thread, as a window can only be destroyed there: at once
// when that is the calling thread, else through a message sent to it, which that thread
// answers by destroying the window (the caller waits until it has). Nothing when the window
// is gone.
void DestroyContainerWindow(HWND container);
// The pane a slot holds now (null when empty, or when the window has no slots).
HWND ContainerPane(HWND container, int slot);

// The pane creators the container calls. Tests put stand-in panes of known sizes here; the
// defaults are the real CreateWatchPane and CreateSearchPane. Null restores a default.
using PaneFactory = HWND (*)(HWND parent, const BandCreateParams* params);
void SetPaneFactories(PaneFactory watch, PaneFactory search);
