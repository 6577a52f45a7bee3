// What is new in a page compared by its text: the lines of the text as it is now that the text
// the user last opened does not have. A line moved elsewhere is not new; a line whose only
// change is a number is not new when the page's comparison ignores numbers. Both texts are
// the extracted text: UTF-8 lines joined by '\n'. Any bytes are taken (empty lines, and lines
// of control characters and spaces alone, are never new; invalid UTF-8 is replaced in what
// comes out), and nothing here is quadratic.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

enum class NewPassageKind {
    None,        // nothing to say: no new line, or no text to compare with
    Found,       // first holds the first new line
    ManyPlaces,  // the page was largely rewritten: one line of it would say little
};

struct NewPassages {
    NewPassageKind kind = NewPassageKind::None;
    // Found: the first new line of the new text as the reader sees it (digits kept), valid
    // UTF-8 without control characters, at most kPassageCharacters characters, followed by
    // "…" when it was longer.
    std::string first;
    // Found: how many more lines of the new text are new.
    size_t further = 0;

    bool operator==(const NewPassages& other) const {
        return kind == other.kind && first == other.first && further == other.further;
    }
};

// Characters (code points) of a passage before it is cut.
constexpr size_t kPassageCharacters = 100;
// The most seen text compared, in bytes: the kept text is capped at this size. Beyond it the
// answer is ManyPlaces.
constexpr size_t kMaxSeenTextBytes = size_t(1) << 20;
// ManyPlaces: the seen text had at least this many different lines, and fewer than half of
// them are still lines of the new text. New material added to a page that stays is shown,
// however much of it there is; a page mostly replaced is not summed up by its first line.
constexpr size_t kRewrittenFloorLines = 10;

// The lines of newText that are not lines of seenText. With ignoreNumbers, lines are compared
// with every run of digits (ASCII 0-9 and full-width U+FF10-U+FF19) removed, as the digest of
// such a page is made. Lines are compared by a 64-bit hash of their compared bytes and their
// length: a new line that collides with a seen one is taken as seen (a passage missed, never
// a slow answer). Time: O(S log S + N log S) for S seen and N new lines, whatever the texts
// hold. Memory: 9 bytes per distinct seen line (at most 4.5 MB for a 1 MB seen text), the new
// text is only read, and the passage is at most about 400 bytes.
NewPassages FindNewPassages(std::string_view seenText, std::string_view newText, bool ignoreNumbers);

// The bytes as valid UTF-8 for a reader: each byte that does not begin a well-formed
// character becomes U+FFFD, control characters (C0, DEL, C1) and the Unicode line and
// paragraph separators become spaces, the ends are trimmed; at most maxCharacters characters,
// then "…" when characters other than spaces were left out.
std::string ReadablePassage(std::string_view bytes, size_t maxCharacters);
