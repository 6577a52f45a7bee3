// What the band can read, checked in the dialog before anything is written: each entry the
// user gives is turned into the code page 932 bytes the file will hold, or refused with the
// field and the reason, in the band's own terms (its 259-byte values, its item line, its URL
// splitter, its fetch over http on port 80).
#pragma once

#include <string>

#include "bar/texts.h"
#include "settings_lists.h"

enum class Field { Title, Address, Url, Form };

struct Refusal {
    Field field = Field::Title;
    TextId reason = TextId::RefuseEmpty;
    std::wstring detail;  // what the reason's "{}" names: characters, bytes, a port
};

// Where the band fetches a watched page: always http on port 80, the host and path of the
// address given; https addresses reach their page through the site's redirect.
struct FetchedAddress {
    std::string host, path;
    bool https = false;
    std::string Text() const { return "http://" + host + path; }
};

// A watched page as the user typed it. False with *refusal for the first field the band could
// not read; otherwise *entry holds the bytes to write and *fetched where the band will go.
bool CheckPage(const std::wstring& title, bool ignoreMarkup, const std::wstring& address, WatchEntry* entry,
               FetchedAddress* fetched, Refusal* refusal);
// Only the address: for the dialog's note while the user types it.
bool CheckPageAddress(const std::wstring& address, FetchedAddress* fetched, Refusal* refusal);

// A search service. Its cond and method keywords are the caller's; the address is opened by the
// browser, so any port serves.
bool CheckService(const std::wstring& url, const std::wstring& form, SearchEntry* entry, Refusal* refusal);

// An entry read from the file, checked again before the file is written: the user may never
// have opened it, and the file may hold what the band cannot read.
bool CheckWatchEntry(const WatchEntry& entry, Refusal* refusal);
bool CheckSearchEntry(const SearchEntry& entry, Refusal* refusal);

// Code page 932 text as the dialog shows it, and back.
std::wstring FromCodePage932(const std::string& bytes);

// The refusal in one sentence, with the entry it belongs to when one is named.
std::wstring RefusalText(const Refusal& refusal, const std::wstring& entry = std::wstring());
