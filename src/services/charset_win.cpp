#include "services/charset_win.h"

#include <windows.h>

#include <climits>

namespace {

bool Decode(int codePage, DWORD flags, const char* bytes, size_t count, std::u16string* text) {
    if (count == 0) return IsValidCodePage(static_cast<UINT>(codePage)) != FALSE;
    if (count > INT_MAX) return false;  // bodies stop at 32 MB long before this
    int length = static_cast<int>(count);
    int units = MultiByteToWideChar(static_cast<UINT>(codePage), flags, bytes, length, nullptr, 0);
    if (units <= 0) return false;
    size_t start = text->size();
    text->resize(start + static_cast<size_t>(units));
    // char16_t and WCHAR are both the UTF-16 unit of this platform.
    auto* out = reinterpret_cast<WCHAR*>(&(*text)[start]);
    if (MultiByteToWideChar(static_cast<UINT>(codePage), flags, bytes, length, out, units) != units) {
        text->resize(start);
        return false;
    }
    return true;
}

}  // namespace

bool DecodeCodePage(int codePage, const char* bytes, size_t count, std::u16string* text) {
    return Decode(codePage, 0, bytes, count, text);
}

bool DecodeStrictly(int codePage, const std::string& bytes, std::u16string* text) {
    text->clear();
    switch (codePage) {
        case kCodePageUtf16Le:
        case kCodePageUtf16Be:
            return DecodeUtf16(bytes, codePage == kCodePageUtf16Be, text);
        case kCodePageIso2022Jp:
        case 50221:
        case 50222: {
            std::string eucJp;
            if (!Iso2022JpToEucJp(bytes, &eucJp)) return false;
            return DecodeStrictly(kCodePageEucJp, eucJp, text);
        }
        default:
            break;
    }
    if (bytes.empty()) return true;  // no bytes are no characters in any code page
    // Invalid bytes fail the decoding where the code page lets us ask for that (code page
    // 932, EUC-JP and UTF-8 do); the others take no flags at all.
    if (Decode(codePage, MB_ERR_INVALID_CHARS, bytes.data(), bytes.size(), text)) return true;
    if (GetLastError() != ERROR_INVALID_FLAGS) return false;
    return Decode(codePage, 0, bytes.data(), bytes.size(), text);
}

std::string_view PageBodyAsUtf8(const char* body, size_t count, const std::string& contentType, std::string* converted) {
    return BodyAsUtf8(body, count, BodyCodePage(body, count, contentType), DecodeCodePage, converted);
}
