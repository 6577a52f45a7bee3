// The character set of a page: what its body declares, what is read when it declares
// nothing, and the body decoded (to UTF-16, or to UTF-8 for the text reader). Pure: turning bytes of a Windows code page into
// characters is the platform's, handed in as a CodePageDecoder (charset_win.h gives the
// band's, through MultiByteToWideChar); UTF-8, UTF-16 and the step from ISO-2022-JP to EUC-JP
// are read here.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Windows code page numbers. UTF-16 is no code page that MultiByteToWideChar knows: its units
// are read here (DecodeUtf16).
constexpr int kCodePageUtf8 = 65001;
constexpr int kCodePageShiftJis = 932;
constexpr int kCodePageEucJp = 20932;
constexpr int kCodePageIso2022Jp = 50220;
constexpr int kCodePageUtf16Le = 1200;
constexpr int kCodePageUtf16Be = 1201;

// The Windows code page of a charset label as pages write them, in any case and with blanks
// around it; 0 for a label not in the table. Latin-1 and ASCII labels give 1252, as browsers
// read them.
int CodePageOfCharset(const std::string& label);

// The charset of a Content-Type value ("text/html; charset=Shift_JIS" gives "Shift_JIS"), read
// as browsers read it from a <meta>: the word, blanks, '=', blanks, then a quoted or a bare
// value. Empty when there is none.
std::string CharsetOfContentType(const std::string& content);

// One character of UTF-8 at s (count > 0 bytes there): its code point in *code and its length;
// for an invalid sequence, U+FFFD and the length of its longest valid beginning (at least one
// byte), as browsers decode it.
size_t ReadUtf8(const unsigned char* s, size_t count, char32_t* code);

bool IsValidUtf8(const char* bytes, size_t count);
inline bool IsValidUtf8(const std::string& bytes) { return IsValidUtf8(bytes.data(), bytes.size()); }

void AppendUtf8(char32_t code, std::string* text);
// UTF-16 as UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf16ToUtf8(const char16_t* text, size_t count);

// UTF-16 bytes as units; false for an odd number of bytes.
bool DecodeUtf16(const std::string& bytes, bool bigEndian, std::u16string* text);

// ISO-2022-JP as the EUC-JP bytes of the same characters (JIS X 0208 and ASCII, JIS X 0201
// Roman read as ASCII, half-width katakana by ESC ( I or SO/SI); false for an escape or a
// byte the encoding does not allow. The platform's EUC-JP table then does the rest: Wine has
// no ISO-2022-JP code page, but EUC-JP holds the same characters.
bool Iso2022JpToEucJp(const std::string& bytes, std::string* eucJp);

// JIS X 0208 characters that EUC-JP and ISO-2022-JP tables give other code points than code
// page 932 does (WAVE DASH, MINUS SIGN, ...): the same character as code page 932 has it.
char16_t AsCodePage932Has(char16_t c);

// What the start of a page declares, found in one pass over its markup: a byte-order mark,
// else the first <meta charset> or <meta http-equiv="Content-Type" content="...;
// charset=..."> before the body that names a charset we know; and on the way the first
// <title>...</title> (the settings dialog proposes it as the page's title). Comments,
// scripts and styles are skipped: what they hold is no markup. A page in UTF-16 (by its mark)
// is read in 16-bit units. Linear in count; the body may hold NULs and need not end in one.
struct PageHead {
    int declaredCodePage = 0;  // 0: nothing declared, or a label we do not know
    size_t markLength = 0;     // the byte-order mark's bytes at the start
    bool titleFound = false;   // a <title> element with its end tag
    size_t titleBegin = 0;     // the title's content, as byte offsets into the body
    size_t titleEnd = 0;
};
PageHead ReadPageHead(const char* body, size_t count);

// The code page for bytes that declare none: UTF-8 when they are valid UTF-8 with at least one
// byte above 0x7F, else code page 932, the code page of our users' own pages. ASCII reads the
// same in both.
int UndeclaredCodePage(const char* bytes, size_t count);

// The code page a whole body is read with: the body's mark, else its <meta>, else the charset
// of the answer's Content-Type header (empty when the fetcher had none), else
// UndeclaredCodePage.
int BodyCodePage(const char* body, size_t count, const std::string& contentType);

// The platform's step: bytes of a Windows code page appended to *text as UTF-16, bytes that
// are invalid there replaced; false when the code page is not available.
using CodePageDecoder = bool (*)(int codePage, const char* bytes, size_t count, std::u16string* text);

// The body as text in the code page given (BodyCodePage's answer), its byte-order mark left
// out. Never fails: invalid bytes become U+FFFD (or the platform's replacement), and a code
// page the platform lacks is read as if the body declared nothing. UTF-8 and UTF-16 are read
// here; EUC-JP and ISO-2022-JP (through EUC-JP) by the platform, their JIS characters then put
// as code page 932 has them (AsCodePage932Has), so one text reads the same in all three.
std::u16string DecodeBody(const char* body, size_t count, int codePage, CodePageDecoder decoder);

// The body as UTF-8, which the text reader (page_text.h) reads: a UTF-8 body as it is, its
// mark skipped and its invalid bytes left for the reader to replace; any other decoded
// (DecodeBody) and written as UTF-8 into *converted, which the answer then points into.
std::string_view BodyAsUtf8(const char* body, size_t count, int codePage, CodePageDecoder decoder,
                            std::string* converted);
