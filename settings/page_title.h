// What the settings dialog proposes as a watched page's title, read from the page itself: the
// first <title> element and the character set the page declares, both found by the band's
// own reader (services/charset.h). Pure: turning the bytes into characters through a code page
// is the platform's (title_fetch.h), and what comes back is tidied here as UTF-16 text.
#pragma once

#include <cstddef>
#include <string>

#include "services/character_references.h"
#include "services/charset.h"

struct PageTitle {
    bool found = false;        // a <title> element with its end tag
    std::string bytes;         // what is between the tags, as the page has it
    int declaredCodePage = 0;  // from a byte-order mark or a <meta>; 0: none, or a label we do not know
};

// The page's first <title ...>...</title> and declared character set, as ReadPageHead finds
// them. A page in UTF-16 (by its mark) has its title's bytes in UTF-16 too.
PageTitle FindPageTitle(const char* body, size_t count);

// The code page the title is decoded with: the declared one, else the one its own bytes read
// in (UndeclaredCodePage: UTF-8 when valid with a byte above 0x7F, else Shift_JIS).
int TitleCodePage(const PageTitle& title);

// Decoded title text made ready for pelorin.ini: character references decoded
// (character_references.h), control characters and no-break spaces made spaces, runs of
// spaces made one and the ends trimmed, the JIS characters that EUC-JP tables give other code
// points than code page 932 does (WAVE DASH, MINUS SIGN, ...) put as code page 932 has them,
// and every ',' made the full-width comma U+FF0C, since a comma ends the title in an item line.
std::u16string CleanTitleText(const std::u16string& text);
