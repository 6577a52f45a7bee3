// The polling worker: one thread per watch pane, woken by the pane's event.
#pragma once

#include <windows.h>

#include <vector>

#include "watch/watch_item.h"

struct WatchPaneState;

// The thread body; the argument is the pane's state, of which the thread owns one reference.
unsigned __stdcall WorkerMain(void* state);

// One pass over the items in list order; stops early once a stop is requested.
void PollAllItems(WatchPaneState& state);
class PageFetchSession;

// Shows Checking, checks, shows Changed or Seen; whether the page changed.
bool CheckAndShowItem(WatchPaneState& state, WatchItem& item, PageFetchSession* session = nullptr);
// Fetches and digests the page and compares it with the digest last seen by the user. A pass
// gives its session, so that its fetches share one thread. A seen digest made with another
// comparison than the item's is replaced by this one, with the item's comparison, and the
// page counts as unchanged, unless another of items (the pane's) watches the same address
// with that comparison. For a page compared by its text, the item's newPassages says, before
// this returns, what the text has that the text kept for the seen digest lacks (kept_text.h),
// and the text is kept: as the latest one when the page changed or was never opened, as the
// seen one when it is what the user saw and none is kept yet.
bool CheckItem(WatchItem& item, PageFetchSession* session = nullptr, std::vector<WatchItem>* items = nullptr);
