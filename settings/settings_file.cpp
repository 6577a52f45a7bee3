#include "settings_file.h"

#include <shlobj.h>

#include "common/ansi.h"
#include "common/unique_handle.h"
#include "search/search_engine.h"
#include "services/config_list.h"

namespace {

const wchar_t kIniName[] = L"\\pelorin.ini";

std::wstring SystemMessage(DWORD code) {
    wchar_t* text = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring message = n && text ? std::wstring(text, n) : L"";
    if (text) LocalFree(text);
    while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' ')) {
        message.pop_back();
    }
    return message + L" (" + std::to_wstring(code) + L")";
}

bool Fail(std::wstring* error, DWORD code = GetLastError()) {
    if (error) *error = SystemMessage(code);
    return false;
}

std::wstring UserIniPath() {
    // The folder is made when missing, as the DLL asks for it too.
    wchar_t folder[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, folder))) {
        return std::wstring();
    }
    return folder + std::wstring(kIniName);
}

bool FileExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

struct Stamp {
    bool exists = false;
    FILETIME written = {};
    ULONGLONG size = 0;
};

Stamp StampOf(const std::wstring& path) {
    Stamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!path.empty() && GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) &&
        !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        stamp.exists = true;
        stamp.written = data.ftLastWriteTime;
        stamp.size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    return stamp;
}

// The whole file; an editor may hold it open for writing, so every sharing is allowed.
bool ReadWhole(const std::wstring& path, std::string* bytes, std::wstring* error) {
    KernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release();
        return Fail(error);
    }
    LARGE_INTEGER size;
    // A settings file of more than 16 MB is no settings file; reading it would only stall.
    if (!GetFileSizeEx(file.get(), &size)) return Fail(error);
    if (size.QuadPart > 16 * 1024 * 1024) return Fail(error, ERROR_FILE_TOO_LARGE);
    bytes->assign(static_cast<size_t>(size.QuadPart), '\0');
    DWORD done = 0;
    if (!bytes->empty() && (!ReadFile(file.get(), &(*bytes)[0], static_cast<DWORD>(bytes->size()), &done, nullptr) ||
                            done != bytes->size())) {
        return Fail(error, done != bytes->size() ? ERROR_READ_FAULT : GetLastError());
    }
    return true;
}

// The same text in the ANSI code page: the profile functions hand values through UTF-16, so a
// character with two byte forms (the NEC-selected IBM extensions of code page 932) comes back
// in the one the code page writes.
bool SameText(const std::string& a, const std::string& b) { return a == b || AnsiToWide(a) == AnsiToWide(b); }

// What the band will read from the file at path: its item lines and search services, through
// the same profile calls, compared with what the dialog means to write.
bool BandReads(const std::wstring& path, const SettingsLists& lists) {
    std::string ansi = WideToAnsi(path.c_str());
    std::vector<std::string> items = ReadNumberedList("watch", "item", -1, ansi.c_str());
    if (items.size() != lists.watch.size()) return false;
    for (size_t i = 0; i < items.size(); ++i) {
        const WatchEntry& entry = lists.watch[i];
        if (!SameText(items[i], entry.title + (entry.ignoreMarkup ? ",1," : ",0,") + entry.address)) return false;
    }
    std::vector<SearchEngine> engines = LoadSearchEngines(ansi.c_str());
    if (engines.size() != lists.search.size()) return false;
    for (size_t i = 0; i < engines.size(); ++i) {
        const SearchEntry& entry = lists.search[i];
        const SearchEngine& engine = engines[i];
        if (!SameText(engine.url, entry.url) || !SameText(engine.cond, entry.cond) ||
            !SameText(engine.method, entry.method) || !SameText(engine.form, entry.form)) {
            return false;
        }
    }
    return true;
}

// Writes bytes to a new file beside target, reads the lists back from it as the band will when
// they are given, then puts it in target's place in one step. Whatever fails, target is as it was and the new file is gone.
bool WriteReplacing(const std::wstring& target, const std::string& bytes, const SettingsLists* expected,
                    std::wstring* error) {
    std::wstring folder = target.substr(0, target.find_last_of(L'\\'));
    wchar_t temp[MAX_PATH] = L"";
    if (!GetTempFileNameW(folder.c_str(), L"pel", 0, temp)) return Fail(error);
    bool written = false;
    {
        KernelHandle file(CreateFileW(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.get() == INVALID_HANDLE_VALUE) {
            file.release();
            Fail(error);
        } else {
            DWORD done = 0;
            written = (bytes.empty() || (WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &done,
                                                   nullptr) && done == bytes.size())) &&
                      FlushFileBuffers(file.get());
            if (!written) Fail(error, GetLastError() ? GetLastError() : ERROR_DISK_FULL);
        }
    }
    if (written && expected && !BandReads(temp, *expected)) {
        // Never expected: the file would not say what the dialog shows.
        Fail(error, ERROR_INVALID_DATA);
        written = false;
    }
    if (written && !MoveFileExW(temp, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        Fail(error);
        written = false;
    }
    if (!written) DeleteFileW(temp);
    return written;
}

bool IsReadOnly(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

void Restamp(SettingsFile* file, const std::string& bytes) {
    Stamp stamp = StampOf(file->userPath);
    file->readPath = file->userPath;
    file->bytes = bytes;
    file->exists = stamp.exists;
    file->written = stamp.written;
    file->size = stamp.size;
}

// The file the user's own copy starts from: the one read, or, when the user has none yet, the
// one beside the DLL as it is now.
bool BaseBytes(const SettingsFile& file, std::string* base, bool* newFile, std::wstring* error) {
    *newFile = !FileExists(file.userPath);
    if (!*newFile || file.readPath == file.userPath) {
        *base = file.bytes;
        return true;
    }
    if (file.readPath.empty()) {
        base->clear();
        return true;
    }
    return ReadWhole(file.besidePath, base, error);
}

}  // namespace

bool LoadSettingsFile(const std::wstring& dllFolder, SettingsFile* file, std::wstring* error) {
    file->userPath = UserIniPath();
    file->besidePath = dllFolder + kIniName;
    // As the DLL chooses: the user's own file whenever it exists.
    file->readPath = FileExists(file->userPath) ? file->userPath
                   : FileExists(file->besidePath) ? file->besidePath
                                                  : std::wstring();
    Stamp stamp = StampOf(file->readPath);
    file->exists = stamp.exists;
    file->written = stamp.written;
    file->size = stamp.size;
    file->bytes.clear();
    return file->readPath.empty() || ReadWhole(file->readPath, &file->bytes, error);
}

bool ChangedSinceRead(const SettingsFile& file) {
    // The band's choice may have changed too: a user file made by someone else.
    std::wstring now = FileExists(file.userPath) ? file.userPath
                     : FileExists(file.besidePath) ? file.besidePath
                                                   : std::wstring();
    if (now != file.readPath) return true;
    Stamp stamp = StampOf(file.readPath);
    return stamp.exists != file.exists || stamp.size != file.size ||
           CompareFileTime(&stamp.written, &file.written) != 0;
}

SaveOutcome SaveSettings(SettingsFile* file, const SettingsLists& lists, std::wstring* error) {
    if (file->userPath.empty()) {
        Fail(error, ERROR_PATH_NOT_FOUND);
        return SaveOutcome::Failed;
    }
    if (IsReadOnly(file->userPath)) return SaveOutcome::ReadOnly;
    std::string base;
    bool newFile = false;
    if (!BaseBytes(*file, &base, &newFile, error)) return SaveOutcome::Failed;
    std::string bytes = WriteSettingsLists(base, lists);
    if (!WriteReplacing(file->userPath, bytes, &lists, error)) return SaveOutcome::Failed;
    Restamp(file, bytes);
    return newFile ? SaveOutcome::SavedNewFile : SaveOutcome::Saved;
}

bool DecodeToWide(const std::string& bytes, FileEncoding encoding, std::wstring* text) {
    text->clear();
    if (encoding == FileEncoding::Utf16Le || encoding == FileEncoding::Utf16Be) {
        if (bytes.size() % 2) return false;
        for (size_t i = 2; i < bytes.size(); i += 2) {
            unsigned char first = static_cast<unsigned char>(bytes[i]), second = static_cast<unsigned char>(bytes[i + 1]);
            text->push_back(static_cast<wchar_t>(encoding == FileEncoding::Utf16Le ? first | (second << 8)
                                                                                  : (first << 8) | second));
        }
        return true;
    }
    UINT codePage = encoding == FileEncoding::CodePage ? CP_ACP : CP_UTF8;
    size_t skip = encoding == FileEncoding::Utf8WithMark ? 3 : 0;
    if (bytes.size() <= skip) return true;
    DWORD flags = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
    int n = MultiByteToWideChar(codePage, flags, bytes.data() + skip, static_cast<int>(bytes.size() - skip), nullptr, 0);
    if (n <= 0) return false;
    text->assign(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, flags, bytes.data() + skip, static_cast<int>(bytes.size() - skip), &(*text)[0], n);
    return true;
}

std::string EncodeCodePage932(const std::wstring& text, std::wstring* unmappable) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        // One character at a time, a surrogate pair together, so that each one that has no
        // form is known by name.
        size_t length = IS_HIGH_SURROGATE(text[i]) && i + 1 < text.size() && IS_LOW_SURROGATE(text[i + 1]) ? 2 : 1;
        char bytes[8];
        BOOL usedDefault = FALSE;
        int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &text[i], static_cast<int>(length), bytes, sizeof bytes,
                                    nullptr, &usedDefault);
        if (n <= 0 || usedDefault) {
            out += '?';
            std::wstring character = text.substr(i, length);
            if (unmappable && unmappable->find(character) == std::wstring::npos) *unmappable += character;
        } else {
            out.append(bytes, static_cast<size_t>(n));
        }
        i += length - 1;
    }
    return out;
}

SaveOutcome ConvertSettingsFile(SettingsFile* file, const std::string& converted, std::wstring* backup,
                                std::wstring* error) {
    backup->clear();
    if (file->userPath.empty()) {
        Fail(error, ERROR_PATH_NOT_FOUND);
        return SaveOutcome::Failed;
    }
    if (IsReadOnly(file->userPath)) return SaveOutcome::ReadOnly;
    bool newFile = !FileExists(file->userPath);
    if (file->readPath == file->userPath) {
        // A name of its own for the copy: an older backup is the user's too.
        for (int n = 1; n < 100; ++n) {
            std::wstring name = file->userPath + L".bak" + (n == 1 ? L"" : std::to_wstring(n));
            if (FileExists(name)) continue;
            if (!WriteReplacing(name, file->bytes, nullptr, error)) return SaveOutcome::Failed;
            *backup = name;
            break;
        }
        if (backup->empty()) {
            Fail(error, ERROR_FILE_EXISTS);
            return SaveOutcome::Failed;
        }
    }
    if (!WriteReplacing(file->userPath, converted, nullptr, error)) return SaveOutcome::Failed;
    Restamp(file, converted);
    return newFile ? SaveOutcome::SavedNewFile : SaveOutcome::Saved;
}
