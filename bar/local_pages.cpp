#include "local_pages.h"

#include <shellapi.h>
#include <shlwapi.h>

#include "common/ansi.h"
#include "common/unique_handle.h"

std::u32string AnsiToCodePoints(const std::string& bytes) {
    std::wstring wide = AnsiToWide(bytes);
    std::u32string points;
    for (size_t i = 0; i < wide.size(); ++i) {
        char32_t c = static_cast<char16_t>(wide[i]);
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size()) {
            char32_t low = static_cast<char16_t>(wide[i + 1]);
            if (low >= 0xDC00 && low < 0xE000) {
                c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                ++i;
            }
        }
        points += c;
    }
    return points;
}

HRESULT LocalPages::Open(const std::string& page) {
    // The user's own temporary folder: nobody else can read what the user searched for.
    wchar_t folder[MAX_PATH + 1];
    DWORD n = GetTempPathW(MAX_PATH + 1, folder);
    if (n == 0 || n > MAX_PATH) return HRESULT_FROM_WIN32(GetLastError());
    std::wstring path;
    KernelHandle file;
    for (int attempt = 0; attempt < 100 && !file; ++attempt) {
        path = std::wstring(folder) + L"pelorin-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
               std::to_wstring(++serial_) + L".html";
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) file.reset(h);
        else if (GetLastError() != ERROR_FILE_EXISTS) return HRESULT_FROM_WIN32(GetLastError());
    }
    if (!file) return E_FAIL;
    DWORD written = 0;
    BOOL ok = WriteFile(file.get(), page.data(), static_cast<DWORD>(page.size()), &written, nullptr) &&
              written == page.size();
    file.reset();
    if (!ok) {
        DeleteFileW(path.c_str());
        return E_FAIL;
    }
    pages_.push_back({path, GetTickCount()});
    if (sweepWindow_) SetTimer(sweepWindow_, sweepTimer_, kSweepEveryMs, nullptr);
    return OpenWithWebBrowser(path);
}

// From Windows 8 on, the user's choice of browser is read with these; the build targets
// Windows 7's headers, and Windows 7 answers them with an error, which falls back to the class.
constexpr ASSOCF kAssocIsProtocol = static_cast<ASSOCF>(0x00001000);
constexpr ASSOCSTR kAssocProgId = static_cast<ASSOCSTR>(20);

HRESULT OpenWithWebBrowser(const std::wstring& path) {
    // The program that opens web addresses, not the one for .html files (often an editor):
    // the user's choice for http where the system keeps one, else the http class itself.
    wchar_t progId[256] = L"http";
    DWORD size = 256;
    if (FAILED(AssocQueryStringW(kAssocIsProtocol, kAssocProgId, L"http", nullptr, progId, &size))) {
        lstrcpyW(progId, L"http");
    }
    SHELLEXECUTEINFOW info = {sizeof info};
    info.fMask = SEE_MASK_CLASSNAME | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = path.c_str();
    info.lpClass = progId;
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

void LocalPages::RemoveOlderThan(DWORD ageMs) {
    DWORD now = GetTickCount();
    for (size_t i = 0; i < pages_.size();) {
        if (now - pages_[i].written >= ageMs) {
            DeleteFileW(pages_[i].path.c_str());
            pages_.erase(pages_.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
}

void LocalPages::RemoveAll() { RemoveOlderThan(0); }
