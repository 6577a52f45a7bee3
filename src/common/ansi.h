// The ANSI code page seen from Windows code: the lead-byte test for the mbcs helpers and
// conversions to UTF-16 for BSTRs; and the one conversion between a code page's bytes and
// UTF-16 that the rest uses (UTF-8, code page 932, the ANSI code page).
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <string>
#include <string_view>

// The process's multibyte code page is the ANSI code page (932 where our texts belong).
inline bool IsAnsiLeadByte(unsigned char b) { return IsDBCSLeadByte(b) != FALSE; }

// The bytes in codePage as UTF-16, as the platform decodes them (a byte the code page does not
// map becomes its replacement character); empty when the platform cannot.
std::wstring ToWide(std::string_view bytes, UINT codePage);
// UTF-16 in codePage, as the platform encodes it (its default character for what the code
// page lacks).
std::string FromWide(std::wstring_view text, UINT codePage);

std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const wchar_t* text);
// A BSTR converted from ANSI text; the caller frees it with SysFreeString.
BSTR AnsiToBstr(const std::string& text);
