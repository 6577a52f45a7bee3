// Character references as pages write them in text: &name;, &#N; and &#xH;. Pure.
//
// The names are HTML 4's 252 and &apos;: every one a page commonly uses, each one
// character of the Basic Multilingual Plane. The HTML standard's longer list adds some two
// thousand mathematical and compatibility names that pages hardly write; such a name stays
// as written, as an unknown one does. A reference counts only with its closing ';'.
#pragma once

#include <cstddef>
#include <string>

// The reference that starts at text[0] (an '&'): its code point in *code and the number of
// units it takes; 0 when no complete reference starts there. A number that is no character
// (0, a surrogate, past U+10FFFF) gives U+FFFD; 128 to 159 mean what windows-1252 gives those
// bytes, as browsers read them. Names are case-sensitive. Reads at most a few units past the
// name's letters, and a number's digits once.
size_t ReadCharacterReference(const char16_t* text, size_t count, char32_t* code);
// The same in UTF-8 (or any text whose ASCII bytes are ASCII).
size_t ReadCharacterReference(const char* text, size_t count, char32_t* code);

// Every complete reference in text decoded, once; everything else as it is.
std::u16string DecodeCharacterReferences(const std::u16string& text);

// code as UTF-16: one unit, or a surrogate pair past U+FFFF.
void AppendUtf16(char32_t code, std::u16string* text);
