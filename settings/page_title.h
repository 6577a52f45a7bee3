// What the settings dialog proposes as a watched page's title, read from the page itself: the
// first <title> element and the character set the page declares. Pure: the bytes are found
// and classified here; turning them into characters through a code page is the platform's
// (title_fetch.h), and what comes back is tidied here again as UTF-16 text.
#pragma once

#include <cstddef>
#include <string>

// Windows code page numbers the title is decoded with. UTF-16 is no code page that
// MultiByteToWideChar knows: its units are read here (DecodeUtf16).
constexpr int kCodePageUtf8 = 65001;
constexpr int kCodePageShiftJis = 932;
constexpr int kCodePageEucJp = 20932;
constexpr int kCodePageIso2022Jp = 50220;
constexpr int kCodePageUtf16Le = 1200;
constexpr int kCodePageUtf16Be = 1201;

struct PageTitle {
    bool found = false;        // a <title> element with its end tag
    std::string bytes;         // what is between the tags, as the page has it
    int declaredCodePage = 0;  // from a byte-order mark or a <meta>; 0: none, or a label we do not know
};

// The first <title ...>...</title> of the page (tag names in any case, attributes allowed),
// skipping comments, scripts and styles, and the character set the page declares: a byte-order
// mark first, else the first <meta charset> or <meta http-equiv="Content-Type" content="...;
// charset=...">. A page in UTF-16 (by its mark) is read in 16-bit units and its title's bytes
// are UTF-16 too. Linear in count; the body may hold NULs and need not end in one.
PageTitle FindPageTitle(const char* body, size_t count);

// The Windows code page of a charset label as pages write them, in any case and with blanks
// around it; 0 for a label not in the table. Latin-1 and ASCII labels give 1252, as browsers
// read them.
int CodePageOfCharset(const std::string& label);

// The code page the title is decoded with: the declared one, else UTF-8 when the title's bytes
// are valid UTF-8 with at least one byte above 0x7F, else Shift_JIS (932), the code page of
// our users' own pages. An ASCII title reads the same in all of them.
int TitleCodePage(const PageTitle& title);

bool IsValidUtf8(const std::string& bytes);

// UTF-16 bytes as units; false for an odd number of bytes.
bool DecodeUtf16(const std::string& bytes, bool bigEndian, std::u16string* text);

// ISO-2022-JP as the EUC-JP bytes of the same characters (JIS X 0208 and ASCII, JIS X 0201
// Roman read as ASCII, half-width katakana by ESC ( I or SO/SI); false for an escape or a
// byte the encoding does not allow. The platform's EUC-JP table then does the rest.
bool Iso2022JpToEucJp(const std::string& bytes, std::string* eucJp);

// Decoded title text made ready for pelorin.ini: character references decoded (the common
// named ones, &#N; and &#xH;), control characters and no-break spaces made spaces, runs of
// spaces made one and the ends trimmed, the JIS characters that EUC-JP tables give other code
// points than code page 932 does (WAVE DASH, MINUS SIGN, ...) put as code page 932 has them,
// and every ',' made the full-width comma U+FF0C, since a comma ends the title in an item line.
std::u16string CleanTitleText(const std::u16string& text);

// Character references alone, as CleanTitleText decodes them: unknown or unterminated ones
// stay as written; a number that is no character gives U+FFFD.
std::u16string DecodeCharacterReferences(const std::u16string& text);
