// One watched page. Two threads use an item: the UI thread (tooltips, opening the page) and
// the pane's worker; each item has its own lock, and nobody ever holds two.
//   title, ignore_markup, comparison: written before the worker starts, never changed; read
//         without lock.
//   host, path: never changed after creation, but copied only under the lock.
//   buttonIndex: set under the lock by the toolbar builder before the worker starts.
//   digest: written by the worker under the lock, read by the UI thread under the lock.
//   newPassages: what the last pass found new in a page compared by its text; like digest
//         (SetItemNewPassage, passage_display.h), and cleared by the UI thread when the
//         user opens the page.
//   passagesFor: the worker's own, never locked: the seen digest and the digest that
//         newPassages and the latest kept text were made for, so that a pass over a page
//         still changed the same way does not read, compare and write its texts again.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "services/comparison.h"
#include "services/new_passages.h"

class CriticalSectionHolder {
public:
    CriticalSectionHolder() { InitializeCriticalSection(&lock); }
    // A copy gets a lock of its own: a lock is never copied.
    CriticalSectionHolder(const CriticalSectionHolder&) : CriticalSectionHolder() {}
    CriticalSectionHolder& operator=(const CriticalSectionHolder&) = delete;
    virtual ~CriticalSectionHolder() { DeleteCriticalSection(&lock); }

    CRITICAL_SECTION lock;
};

class WatchItem : public CriticalSectionHolder {
public:
    WatchItem(std::string title, int ignore_markup, std::string host, std::string path, Comparison comparison)
        : title(std::move(title)), ignore_markup(ignore_markup), comparison(comparison), host(std::move(host)),
          path(std::move(path)) {}
    // The comparison the number means, as in a line without a comparison word.
    WatchItem(std::string title, int ignore_markup, std::string host, std::string path)
        : WatchItem(std::move(title), ignore_markup, std::move(host), std::move(path),
                    ComparisonOfFlag(ignore_markup)) {}
    WatchItem(const WatchItem&) = default;
    ~WatchItem() override = default;

    std::string title;
    int ignore_markup;      // the line's number, as written
    Comparison comparison;  // how the page is compared: the line's word, else what the number means
    std::string host;
    std::string path;
    int buttonIndex = -1;
    std::string digest;
    NewPassages newPassages;
    std::string passagesFor;
};

// Holds an item's lock for a scope.
class ItemLock {
public:
    explicit ItemLock(WatchItem& item) : item_(item) { EnterCriticalSection(&item_.lock); }
    ~ItemLock() { LeaveCriticalSection(&item_.lock); }
    ItemLock(const ItemLock&) = delete;
    ItemLock& operator=(const ItemLock&) = delete;

private:
    WatchItem& item_;
};

// "http://" followed by host and path: the page's name in the seen store and the address
// that is opened. Call with the item's lock held.
inline std::string PageAddress(const WatchItem& item) { return "http://" + item.host + item.path; }

// One item line, "title,number,URL" and perhaps a comparison word after the URL; nothing for
// a line that does not parse (a URL the splitter rejects is also shown in a message box).
std::optional<WatchItem> ParseWatchItemLine(const std::string& line);
// The page address (PageAddress) of the item a line makes; empty, and nothing shown, for a
// line that does not parse.
std::string PageAddressOfLine(const std::string& line);

// The maker's toolbar information page, watched after the configured pages.
extern const char kBuiltInItemLine[];

// The configured item lines of section "watch" of pelorin.ini in key order, then the
// built-in line, last.
std::vector<WatchItem> LoadWatchItems();
// The same from the configuration file at configPath.
std::vector<WatchItem> LoadWatchItems(const std::string& configPath);
