#include "services/seen_store.h"

#include <windows.h>

#include <new>
#include <vector>

#include "common/unique_handle.h"
#include "services/seen_store_internal.h"

namespace {

const char kSeenKey[] = "Software\\Vorna\\Pelorin";
const char kComparisonsKey[] = "Software\\Vorna\\Pelorin\\Comparisons";

RegKey OpenSeenKey(REGSAM access, const char* name = kSeenKey) {
    RegKey key;
    RegCreateKeyExA(HKEY_CURRENT_USER, name, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                    nullptr, key.put(), nullptr);
    return key;
}

void WriteValue(HKEY key, const std::string& name, const std::string& text) {
    // The length without the terminating NUL: the empty digest is a zero-length value.
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size()));
}

std::string ReadValue(HKEY key, const std::string& pageAddress, void (*betweenQueries)(void*),
                      void* context) {
    // The UI thread may write the value between learning its size and reading it: a value
    // that outgrew the buffer is measured again, a few times; one that keeps growing reads as
    // never seen, which at worst shows the page as changed until the next pass.
    for (int attempt = 0; attempt < kSeenReadAttempts; ++attempt) {
        DWORD type = REG_SZ;
        DWORD size = 0;
        if (RegQueryValueExA(key, pageAddress.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            return std::string();  // a missing value reads empty
        if (size == MAXDWORD) return std::string();
        if (betweenQueries) betweenQueries(context);
        std::vector<char> buffer(size_t(size) + 1);
        DWORD read = size;
        LONG result = RegQueryValueExA(key, pageAddress.c_str(), nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(buffer.data()), &read);
        if (result == ERROR_MORE_DATA) continue;
        if (result != ERROR_SUCCESS || read > size) return std::string();
        // The stored type and any stored terminator do not matter: the bytes as they are,
        // up to the first NUL.
        buffer[read] = '\0';
        return std::string(buffer.data());
    }
    return std::string();
}

}  // namespace

void WriteSeenDigest(const std::string& pageAddress, const std::string& digest) {
    RegKey key = OpenSeenKey(KEY_ALL_ACCESS);
    if (key) WriteValue(key.get(), pageAddress, digest);
}

void WriteSeenDigest(const std::string& pageAddress, const std::string& digest, Comparison comparison) {
    // The digest first, where every band reads it; a record left without it by a failure in
    // between names another digest and counts as absent.
    WriteSeenDigest(pageAddress, digest);
    RegKey key = OpenSeenKey(KEY_ALL_ACCESS, kComparisonsKey);
    if (key) WriteValue(key.get(), pageAddress, std::string(ComparisonWord(comparison)) + " " + digest);
}

Comparison ReadSeenComparison(const std::string& pageAddress, const std::string& seenDigest, Comparison otherwise) {
    RegKey key;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kComparisonsKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS) return otherwise;
    std::string record;
    try {
        record = ReadValue(key.get(), pageAddress, nullptr, nullptr);
    } catch (const std::bad_alloc&) {
        return otherwise;
    }
    size_t space = record.find(' ');
    Comparison comparison;
    if (space == std::string::npos || record.compare(space + 1, std::string::npos, seenDigest) != 0 ||
        !ComparisonOfWord(record.substr(0, space), false, &comparison)) {
        return otherwise;
    }
    return comparison;
}

std::string ReadSeenDigestWith(const std::string& pageAddress, const std::string& defaultText,
                               void (*betweenQueries)(void*), void* context) {
    RegKey key = OpenSeenKey(KEY_READ);
    if (!key) return defaultText;
    try {
        return ReadValue(key.get(), pageAddress, betweenQueries, context);
    } catch (const std::bad_alloc&) {
        return std::string();  // the worker runs on: no memory reads like no value
    }
}

std::string ReadSeenDigest(const std::string& pageAddress, const std::string& defaultText) {
    return ReadSeenDigestWith(pageAddress, defaultText, nullptr, nullptr);
}

