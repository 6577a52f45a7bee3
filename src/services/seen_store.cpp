#include "services/seen_store.h"

#include <windows.h>

#include <new>
#include <vector>

#include "common/unique_handle.h"
#include "services/seen_store_internal.h"

namespace {

const char kSeenKey[] = "Software\\Vorna\\Pelorin";

RegKey OpenSeenKey(REGSAM access) {
    RegKey key;
    RegCreateKeyExA(HKEY_CURRENT_USER, kSeenKey, 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                    nullptr, key.put(), nullptr);
    return key;
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
    if (!key) return;
    // The length without the terminating NUL: the empty digest is a zero-length value.
    RegSetValueExA(key.get(), pageAddress.c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(digest.c_str()), static_cast<DWORD>(digest.size()));
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

