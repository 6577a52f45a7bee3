#include "watch/watch_worker.h"

#include <new>

#include "module/module.h"
#include "services/digest_page.h"
#include "services/kept_text.h"
#include "services/new_passages.h"
#include "services/page_fetcher.h"
#include "services/seen_store.h"
#include "watch/passage_display.h"
#include "watch/watch_pane.h"

namespace {

bool StopRequested(WatchPaneState& state) {
    return InterlockedCompareExchange(&state.stopRequested, 0, 0) != 0;
}

// Another item of the pane watches the same address the way its seen digest was made: the
// two share one seen digest, and neither may take the other's for its own.
bool AnotherItemComparesSo(const WatchItem& item, const std::string& address, Comparison comparison,
                           std::vector<WatchItem>* items) {
    if (!items) return false;
    for (WatchItem& other : *items) {
        if (&other == &item || other.comparison != comparison) continue;
        ItemLock lock(other);
        if (PageAddress(other) == address) return true;
    }
    return false;
}

// What a pass does with a text page's texts once it knows the seen digest (empty for a page
// never opened): file work and the finder, each bounded by the kept text's cap, and done once
// for each pair of seen and new digests. No item lock is held but SetItemNewPassage's own.
void KeepTexts(WatchItem& item, const std::string& address, const std::string& seen, const std::string& digest,
               const std::string& text) {
    if (digest == seen) {
        SetItemNewPassage(item, NewPassages());
        item.passagesFor.clear();
        // A page opened before its text was kept, or whose text was lost, gets it now.
        if (!HasKeptText(address, digest)) KeepSeenText(address, digest, text);
        return;
    }
    std::string madeFor = seen + "/" + digest;
    if (item.passagesFor == madeFor) return;  // found and kept at an earlier pass
    // A page never opened has nothing to compare with yet; opening it makes this text the
    // kept one.
    std::string kept;
    NewPassages passages;
    if (!seen.empty() && ReadKeptText(address, seen, &kept)) {
        passages = FindNewPassages(kept, text, item.comparison == Comparison::TextNoNumbers);
    }
    SetItemNewPassage(item, passages);
    KeepLatestText(address, digest, text);
    item.passagesFor = madeFor;
}

}  // namespace

bool CheckItem(WatchItem& item, PageFetchSession* session, std::vector<WatchItem>* items) {
    std::string host, path;
    {
        ItemLock lock(item);
        host = item.host;
        path = item.path;
    }
    bool byText = ComparesText(item.comparison);
    std::string text;
    // No lock is held across the fetch: it may take as long as the time-outs allow.
    std::string digest = DigestPage(host, item.comparison, path, session, byText ? &text : nullptr);
    if (digest.empty()) return false;  // a failed fetch changes nothing

    std::string address;
    {
        ItemLock lock(item);
        item.digest = digest;
        address = PageAddress(item);
    }
    std::string seen = ReadSeenDigest(address, std::string());
    if (!seen.empty()) {
        // A digest seen under another comparison says nothing about this one: the user chose a
        // new way to compare a page already seen, which by itself is no change. This digest is
        // taken as seen instead, and so is its text.
        Comparison seenWith = ReadSeenComparison(address, seen, ComparisonOfFlag(item.ignore_markup));
        if (seenWith != item.comparison && !AnotherItemComparesSo(item, address, seenWith, items)) {
            WriteSeenDigest(address, digest, item.comparison);
            seen = digest;
        }
    }
    // Before the verdict is shown: the tooltip and the host's notice read what was found.
    if (byText) {
        try {
            KeepTexts(item, address, seen, digest, text);
        } catch (const std::bad_alloc&) {
            SetItemNewPassage(item, NewPassages());  // short of memory: the page says only that it changed
            item.passagesFor.clear();
        }
    }
    // Changed means "differs from what the user saw last", not from the previous pass; a page
    // never opened is a change.
    return seen.empty() || digest != seen;
}

bool CheckAndShowItem(WatchPaneState& state, WatchItem& item, PageFetchSession* session) {
    SetButtonImage(state.toolbar, item.buttonIndex, Checking);
    if (StopRequested(state)) return false;  // closed while Checking was shown: no fetch
    bool changed = CheckItem(item, session, &state.items);
    // A pane that went away during the fetch has no toolbar left to show the result on.
    if (!StopRequested(state)) {
        SetButtonImage(state.toolbar, item.buttonIndex, changed ? Changed : Seen);
    }
    return changed;
}

void PollAllItems(WatchPaneState& state) {
    // One fetch thread for the pass, not one per page; it ends with the pass.
    PageFetchSession session;
    for (size_t p = 0; p < state.items.size() && !StopRequested(state); ++p) {
        CheckAndShowItem(state, state.items[p], &session);
    }
}

unsigned __stdcall WorkerMain(void* argument) {
    auto* state = static_cast<WatchPaneState*>(argument);

    // The pane may let go of this thread while a fetch is still in flight. Until the thread
    // ends it keeps the library loaded (a module reference of its own, given back as the
    // thread exits) and DllCanUnloadNow at S_FALSE (the lock count).
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCSTR>(&WorkerMain), &self);
    ModuleLock();

    // Publish the thread first, because the pane waits for it before it goes on.
    HANDLE thread = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &thread, 0,
                         FALSE, DUPLICATE_SAME_ACCESS)) {
        thread = GetCurrentThread();  // still tells the pane that the worker runs
    }
    InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&state->workerThread), thread);
    SetEvent(state->workerStarted);  // the pane closes it once it has seen it set

    for (;;) {
        if (WaitForSingleObject(state->wakeEvent, INFINITE) != WAIT_OBJECT_0) break;
        if (StopRequested(*state)) break;
        PollAllItems(*state);
        // Requests that came during the pass (timer ticks) are absorbed by it. A stop that
        // came then is absorbed too, so look at the flag again before sleeping on the event.
        ResetEvent(state->wakeEvent);
        if (StopRequested(*state)) break;
    }

    InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&state->workerThread), nullptr);
    if (thread != GetCurrentThread()) CloseHandle(thread);
    state->Release();
    ModuleUnlock();
    if (self) FreeLibraryAndExitThread(self, 0);
    return 0;
}
