// The two lists of pelorin.ini that the settings dialog edits: the watched pages ([watch]
// item1, item2, ...) and the search services ([search] url1, ... with condN, methodN, formN).
// The dialog reads them from the file's bytes, lets the user change them, and asks for the
// file's new bytes, which it writes to a copy that then replaces the file in one step. Pure:
// the bytes are read here as GetPrivateProfileStringA reads them (code page 932; lines end at CR LF, LF or a CR alone),
// so what the dialog shows is what the band will see.
#pragma once

#include <string>
#include <vector>

#include "services/comparison.h"

// One itemN value, "title,flag,address word" (the item line): the title up to the first
// comma, the flag between the first and second comma (read as atoi reads it), the address
// after blanks up to the next blank, as the band reads it, and the comparison's word after
// blanks, matched without regard to ASCII case. A known word names the comparison; without
// one the flag does (0 the whole body, any other number the markup removed). A value with
// fewer than two commas is still an entry (the band counts it and the list goes on after it):
// what it lacks reads as empty, or as 0 for the flag, so the dialog shows it for the user to
// mend.
struct WatchEntry {
    std::string title;
    Comparison comparison = Comparison::Text;  // a page the user adds is compared by what a reader sees
    std::string address;
    // The value as the file held it, empty for an entry the user added: while the fields
    // above are still what it reads as, it is written back byte for byte, with whatever flag,
    // blanks and word it had.
    std::string line;
};

// The item line written for the entry: its line from the file while that still reads as the
// entry, else "title,0,address" for the whole body, "title,1,address" for the markup removed,
// and "title,1,address word" for the two that have a word.
std::string ItemLine(const WatchEntry& entry);

// One search service; an empty cond, method or form is the same as its key being absent.
struct SearchEntry {
    std::string url, cond, method, form;
};

struct SettingsLists {
    std::vector<WatchEntry> watch;
    std::vector<SearchEntry> search;
};

// The lists as the band reads them: each up to its first missing or empty itemN or urlN,
// condN, methodN and formN for exactly as many entries as there are urls. Names match
// case-insensitively, the first [watch] or [search] section and the first of a repeated key
// count, values are trimmed of blanks and of one pair of enclosing quotes, and cut at 259
// bytes.
SettingsLists ReadSettingsLists(const std::string& fileBytes);

// The file's bytes with the lists replaced. Every line that is not a key of the lists (in the
// first section of each) stays as it was, in its place; the keys are written numbered from 1,
// where the section's first old key stood, or after its last line, or in a section added at
// the end of the file. Old keys past the new end, and those after an old gap, are gone. Line
// ends follow the file's first (CR LF for a file that has none). Empty cond, method and form
// are left out. A value that the reader would trim or unquote is written in quotes, so that it
// reads back as given.
// Each watched page is written as ItemLine gives it. The dialog keeps what the file cannot
// hold out of the lists: line breaks or NULs in a value, a comma in a title, an empty address
// or url, a blank in an address, a value past 259 bytes.
std::string WriteSettingsLists(const std::string& fileBytes, const SettingsLists& lists);

// How a pelorin.ini's bytes are written. The band reads the file through the ANSI profile
// functions, so only CodePage is read as written; editors of today save the others.
enum class FileEncoding {
    CodePage,     // the ANSI code page, 932 where the band's texts belong
    Utf8,         // UTF-8 without a byte-order mark
    Utf8WithMark,
    Utf16Le,      // with its byte-order mark, as every editor writes it
    Utf16Be,
};

// By the byte-order mark; without one, UTF-8 when the file holds bytes past 0x7F and all of it
// is well-formed UTF-8 (text in code page 932 with Japanese in it practically never is: its
// second bytes 0x40 to 0x7E, and its lone half-width katakana, break UTF-8's rules).
FileEncoding DetectEncoding(const std::string& fileBytes);
