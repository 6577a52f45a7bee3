#include "settings_checks.h"

#include <windows.h>
#include <wininet.h>

#include "common/ansi.h"
#include "settings_file.h"

namespace {

// GetPrivateProfileStringA's buffer of 260 bytes, as the band reads every value.
constexpr size_t kValueLimit = 259;

bool Refuse(Refusal* refusal, Field field, TextId reason, std::wstring detail = std::wstring()) {
    refusal->field = field;
    refusal->reason = reason;
    refusal->detail = std::move(detail);
    return false;
}

// The text's code page 932 bytes; refused when it holds a line break (the file's lines would
// split) or a character with no code page 932 form.
bool ToBytes(const std::wstring& text, Field field, std::string* bytes, Refusal* refusal) {
    if (text.find_first_of(std::wstring(L"\r\n\0", 3)) != std::wstring::npos) {
        return Refuse(refusal, field, TextId::RefuseLineBreak);
    }
    std::wstring unmappable;
    *bytes = EncodeCodePage932(text, &unmappable);
    if (!unmappable.empty()) return Refuse(refusal, field, TextId::RefuseNoCodePage932, unmappable);
    return true;
}

bool FitsValue(const std::string& value, Field field, Refusal* refusal) {
    if (value.size() <= kValueLimit) return true;
    return Refuse(refusal, field, TextId::RefuseTooLong, std::to_wstring(value.size()));
}

// The band's URL splitter, asked as the band asks it: host and path in 260-byte buffers.
bool Crack(const std::string& address, Field field, URL_COMPONENTSA* parts, char* host, char* path,
           Refusal* refusal) {
    ZeroMemory(parts, sizeof *parts);
    parts->dwStructSize = sizeof *parts;
    parts->lpszHostName = host;
    parts->dwHostNameLength = 260;
    parts->lpszUrlPath = path;
    parts->dwUrlPathLength = 260;
    if (!InternetCrackUrlA(address.c_str(), 0, 0, parts)) return Refuse(refusal, field, TextId::RefuseUnreadable);
    if (parts->nScheme != INTERNET_SCHEME_HTTP && parts->nScheme != INTERNET_SCHEME_HTTPS) {
        return Refuse(refusal, field, TextId::RefuseScheme);
    }
    return true;
}

bool AddressBytes(const std::wstring& address, Field field, std::string* bytes, Refusal* refusal) {
    if (address.empty()) return Refuse(refusal, field, TextId::RefuseEmpty);
    if (!ToBytes(address, field, bytes, refusal)) return false;
    return FitsValue(*bytes, field, refusal);
}

}  // namespace

std::wstring FromCodePage932(const std::string& bytes) { return ToWide(bytes, 932); }

bool CheckPageAddress(const std::wstring& address, FetchedAddress* fetched, Refusal* refusal) {
    std::string bytes;
    if (!AddressBytes(address, Field::Address, &bytes, refusal)) return false;
    // The band's item line ends its address at the first blank.
    if (address.find_first_of(L" \t\v\f") != std::wstring::npos) return Refuse(refusal, Field::Address, TextId::RefuseBlank);
    URL_COMPONENTSA parts;
    char host[260], path[260];
    if (!Crack(bytes, Field::Address, &parts, host, path, refusal)) return false;
    bool https = parts.nScheme == INTERNET_SCHEME_HTTPS;
    // The band fetches http from port 80 whatever the address says: another port is another page.
    if (parts.nPort != INTERNET_DEFAULT_HTTP_PORT && !(https && parts.nPort == INTERNET_DEFAULT_HTTPS_PORT)) {
        return Refuse(refusal, Field::Address, TextId::RefusePort, std::to_wstring(parts.nPort));
    }
    fetched->host.assign(host, parts.dwHostNameLength);
    fetched->path.assign(path, parts.dwUrlPathLength);
    fetched->https = https;
    return true;
}

bool CheckPage(const std::wstring& title, Comparison comparison, const std::wstring& address, WatchEntry* entry,
               FetchedAddress* fetched, Refusal* refusal) {
    if (title.empty()) return Refuse(refusal, Field::Title, TextId::RefuseEmpty);
    if (title.find(L',') != std::wstring::npos) return Refuse(refusal, Field::Title, TextId::RefuseComma);
    std::string titleBytes;
    if (!ToBytes(title, Field::Title, &titleBytes, refusal)) return false;
    if (!CheckPageAddress(address, fetched, refusal)) return false;
    WatchEntry checked = *entry;
    checked.title = titleBytes;
    checked.comparison = comparison;
    checked.address = EncodeCodePage932(address, nullptr);
    // The band reads the whole item line, title, flag, address and word, as one value.
    size_t line = ItemLine(checked).size();
    if (line > kValueLimit) {
        return Refuse(refusal, titleBytes.size() > checked.address.size() ? Field::Title : Field::Address,
                      TextId::RefuseTooLong, std::to_wstring(line));
    }
    *entry = checked;
    return true;
}

bool CheckService(const std::wstring& url, const std::wstring& form, SearchEntry* entry, Refusal* refusal) {
    std::string urlBytes, formBytes;
    if (!AddressBytes(url, Field::Url, &urlBytes, refusal)) return false;
    URL_COMPONENTSA parts;
    char host[260], path[260];
    if (!Crack(urlBytes, Field::Url, &parts, host, path, refusal)) return false;
    if (!ToBytes(form, Field::Form, &formBytes, refusal) || !FitsValue(formBytes, Field::Form, refusal)) return false;
    entry->url = urlBytes;
    entry->form = formBytes;
    return true;
}

namespace {

// Bytes that are no code page 932 text at all (a lead byte alone, an unassigned code). Text
// that decodes is what the band reads, even where writing it back would choose other bytes for
// the same character (the NEC-selected IBM extensions), so it is never refused for that.
bool Decodes(const std::string& bytes, Field field, Refusal* refusal) {
    if (bytes.empty() || MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()),
                                             nullptr, 0) > 0) {
        return true;
    }
    return Refuse(refusal, field, TextId::RefuseNoCodePage932, FromCodePage932(bytes));
}

}  // namespace

bool CheckWatchEntry(const WatchEntry& entry, Refusal* refusal) {
    if (!Decodes(entry.title, Field::Title, refusal) || !Decodes(entry.address, Field::Address, refusal)) {
        return false;
    }
    WatchEntry checked = entry;
    FetchedAddress fetched;
    return CheckPage(FromCodePage932(entry.title), entry.comparison, FromCodePage932(entry.address), &checked,
                     &fetched, refusal);
}

bool CheckSearchEntry(const SearchEntry& entry, Refusal* refusal) {
    if (!Decodes(entry.url, Field::Url, refusal) || !Decodes(entry.form, Field::Form, refusal)) return false;
    SearchEntry checked;
    return CheckService(FromCodePage932(entry.url), FromCodePage932(entry.form), &checked, refusal);
}

std::wstring RefusalText(const Refusal& refusal, const std::wstring& entry) {
    static const TextId kFieldNames[] = {TextId::FieldTitle, TextId::FieldAddress, TextId::FieldUrl, TextId::FieldForm};
    std::wstring field = ::Text(kFieldNames[static_cast<int>(refusal.field)]);
    std::wstring reason = ::Text(refusal.reason, {refusal.detail});
    if (entry.empty()) return field + L": " + reason;
    return ::Text(TextId::RefusalLine, {entry, field, reason});
}
