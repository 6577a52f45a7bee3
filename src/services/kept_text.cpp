#include "services/kept_text.h"

#include <windows.h>
#include <shlobj.h>

#include <new>

#include "common/unique_handle.h"
#include "services/content_digest.h"

namespace {

// The digest line: our digests are 32 hexadecimal digits; anything up to this length with no
// line end is taken.
constexpr size_t kMaxDigest = 64;

struct FileTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { CloseHandle(h); }
};
using File = UniqueHandle<FileTraits>;

bool UsableDigest(const std::string& digest) {
    return !digest.empty() && digest.size() <= kMaxDigest && digest.find('\n') == std::string::npos;
}

// N, the page's name in the folder, with the folder: "...\Pelorin\N".
std::wstring PageStem(const std::string& pageAddress) {
    std::wstring folder = KeptTextFolder();
    char md5[33] = "";
    if (folder.empty() ||
        FAILED(ComputeDigest("MD5", pageAddress.data(), static_cast<DWORD>(pageAddress.size()), md5)))
        return std::wstring();
    return folder + L"\\" + std::wstring(md5, md5 + 32);
}

// Opened so that others may still rename or remove the file meanwhile: a reader never stops
// a writer's move.
File OpenForReading(const std::wstring& path) {
    return File(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool ReadExactly(HANDLE file, char* into, size_t size) {
    while (size > 0) {
        DWORD done = 0;
        if (!ReadFile(file, into, static_cast<DWORD>(size), &done, nullptr) || done == 0) return false;
        into += done;
        size -= done;
    }
    return true;
}

// The digest a file was made for, read from its first line alone.
bool ReadDigestOf(const std::wstring& path, std::string* digest) {
    File file = OpenForReading(path);
    if (!file) return false;
    char head[kMaxDigest + 1];
    DWORD done = 0;
    if (!ReadFile(file.get(), head, sizeof head, &done, nullptr)) return false;
    std::string start(head, done);
    size_t end = start.find('\n');
    if (end == std::string::npos || end == 0) return false;
    *digest = start.substr(0, end);
    return true;
}

// The digest and the text of a file no larger than the cap allows.
bool ReadWhole(const std::wstring& path, std::string* digest, std::string* text) {
    File file = OpenForReading(path);
    if (!file) return false;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 2 ||
        static_cast<unsigned long long>(size.QuadPart) > kKeptTextCap + kMaxDigest + 1)
        return false;
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    if (!ReadExactly(file.get(), &bytes[0], bytes.size())) return false;
    size_t end = bytes.find('\n');
    if (end == std::string::npos || end == 0 || end > kMaxDigest || bytes.size() - end - 1 > kKeptTextCap) return false;
    digest->assign(bytes, 0, end);
    text->assign(bytes, end + 1, std::string::npos);
    return true;
}

bool WriteAll(HANDLE file, const char* data, size_t size) {
    while (size > 0) {
        DWORD done = 0;
        if (!WriteFile(file, data, static_cast<DWORD>(size), &done, nullptr) || done == 0) return false;
        data += done;
        size -= done;
    }
    return true;
}

// The digest line and the text, written to a new file in the same folder, then moved over
// target.
bool WriteAtomically(const std::wstring& target, const std::string& digest, const std::string& text) {
    std::wstring folder = KeptTextFolder();
    // Made here, not before: a reader has no need of the folder.
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    wchar_t temp[MAX_PATH] = L"";
    if (!GetTempFileNameW(folder.c_str(), L"pel", 0, temp)) return false;
    bool written = false;
    {
        File file(CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        std::string head = digest + "\n";
        written = file && WriteAll(file.get(), head.data(), head.size()) &&
                  WriteAll(file.get(), text.data(), text.size()) && FlushFileBuffers(file.get());
    }
    written = written && MoveFileExW(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!written) DeleteFileW(temp);
    return written;
}

bool Write(const std::wstring& target, const std::string& digest, const std::string& text) {
    if (target.empty() || !UsableDigest(digest)) return false;
    if (text.size() > kKeptTextCap) {
        DeleteFileW(target.c_str());  // a stale text must not stand for this one
        return false;
    }
    try {
        return WriteAtomically(target, digest, text);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace

std::wstring KeptTextFolder() {
    wchar_t path[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path)) ||
        !path[0])
        return std::wstring();
    return std::wstring(path) + L"\\Pelorin";
}

std::wstring KeptTextPath(const std::string& pageAddress) {
    std::wstring stem = PageStem(pageAddress);
    return stem.empty() ? stem : stem + L".txt";
}

bool ReadKeptText(const std::string& pageAddress, const std::string& seenDigest, std::string* text) {
    std::wstring path = KeptTextPath(pageAddress);
    if (path.empty() || !text || !UsableDigest(seenDigest)) return false;
    try {
        std::string digest, kept;
        if (!ReadWhole(path, &digest, &kept) || digest != seenDigest) return false;
        text->swap(kept);
        return true;
    } catch (const std::bad_alloc&) {
        return false;  // the worker runs on: no memory reads like no text
    }
}

bool HasKeptText(const std::string& pageAddress, const std::string& seenDigest) {
    std::wstring path = KeptTextPath(pageAddress);
    std::string digest;
    return !path.empty() && ReadDigestOf(path, &digest) && digest == seenDigest;
}

bool KeepSeenText(const std::string& pageAddress, const std::string& digest, const std::string& text) {
    return Write(KeptTextPath(pageAddress), digest, text);
}

bool KeepLatestText(const std::string& pageAddress, const std::string& digest, const std::string& text) {
    std::wstring stem = PageStem(pageAddress);
    return !stem.empty() && Write(stem + L".new", digest, text);
}

bool PromoteLatestText(const std::string& pageAddress, const std::string& seenDigest) {
    std::wstring stem = PageStem(pageAddress);
    if (stem.empty()) return false;
    std::wstring kept = stem + L".txt";
    // The latest text is first taken out of the worker's way under a name of this thread's
    // own: once moved, a pass that writes a newer one makes a new file and cannot change the
    // one looked at here.
    std::wstring claim = stem + L".claim-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                         std::to_wstring(GetCurrentThreadId());
    DeleteFileW(claim.c_str());  // left by a process that ended half-way
    std::string digest;
    if (MoveFileExW((stem + L".new").c_str(), claim.c_str(), 0)) {
        if (ReadDigestOf(claim, &digest) && digest == seenDigest &&
            MoveFileExW(claim.c_str(), kept.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        DeleteFileW(claim.c_str());
    }
    // No latest text for this digest: a kept text stays only when it is already this one's.
    if (!ReadDigestOf(kept, &digest) || digest != seenDigest) DeleteFileW(kept.c_str());
    return false;
}

void RemoveKeptText(const std::string& pageAddress) {
    std::wstring stem = PageStem(pageAddress);
    if (stem.empty()) return;
    DeleteFileW((stem + L".txt").c_str());
    DeleteFileW((stem + L".new").c_str());
}
