// The platform's part of reading a page's character set (charset.h): bytes of a Windows code
// page turned into UTF-16 by MultiByteToWideChar.
#pragma once

#include <cstddef>
#include <string>

#include "services/charset.h"

// The band's CodePageDecoder: appends the bytes as UTF-16, each byte that is invalid in the
// code page replaced as the platform replaces it; false when the platform lacks the code page.
bool DecodeCodePage(int codePage, const char* bytes, size_t count, std::u16string* text);

// The bytes as text, or false when the code page is unknown or any byte is invalid in it
// (where the platform can tell: code page 932, EUC-JP, UTF-8 and the like). UTF-16 is read
// in units, ISO-2022-JP through EUC-JP.
bool DecodeStrictly(int codePage, const std::string& bytes, std::u16string* text);

// A page's body as UTF-8 for the text reader (BodyAsUtf8), in its character set (BodyCodePage,
// with the answer's Content-Type header when the fetcher had one); never fails.
std::string_view PageBodyAsUtf8(const char* body, size_t count, const std::string& contentType, std::string* converted);
