// Byte-string helpers that respect double-byte characters. They take the lead-byte test as
// an argument so that they stay free of Windows headers; on Windows the caller passes the
// ANSI code page's test (IsAnsiLeadByte), natively the tests pass IsCp932LeadByte.
#pragma once

#include <cstddef>
#include <string>

using LeadBytePredicate = bool (*)(unsigned char);

// Code page 932's lead bytes: 0x81 to 0x9F and 0xE0 to 0xFC.
bool IsCp932LeadByte(unsigned char b);

// Offset of the last `ch` that stands as a character of its own, never the trail byte of a
// double-byte character; std::string::npos when there is none. The text ends at its NUL.
size_t FindLastCharacter(const char* text, char ch, LeadBytePredicate isLead);

// Whole-value comparison that ignores the case of ASCII letters only; a double-byte
// character equals only the same two bytes.
bool EqualsIgnoringAsciiCase(const std::string& a, const std::string& b, LeadBytePredicate isLead);

// True when the text holds at least one lead byte (a lone lead byte at the end counts).
bool HoldsLeadByte(const std::string& text, LeadBytePredicate isLead);
