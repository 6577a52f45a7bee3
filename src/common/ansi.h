// The ANSI code page seen from Windows code: the lead-byte test for the mbcs helpers and
// conversions to UTF-16 for BSTRs.
#pragma once

#include <windows.h>
#include <oleauto.h>
#include <string>

// The process's multibyte code page is the ANSI code page (932 where our texts belong).
inline bool IsAnsiLeadByte(unsigned char b) { return IsDBCSLeadByte(b) != FALSE; }

std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const wchar_t* text);
// A BSTR converted from ANSI text; the caller frees it with SysFreeString.
BSTR AnsiToBstr(const std::string& text);
