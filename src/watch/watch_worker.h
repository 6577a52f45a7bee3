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
// with that comparison.
bool CheckItem(WatchItem& item, PageFetchSession* session = nullptr, std::vector<WatchItem>* items = nullptr);
