// The local pages the bar writes for the default browser: each in the user's own temporary
// folder, opened with the shell, and removed once the browser has had time to read it, and
// at the latest when the bar ends. UI thread only.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

class LocalPages {
public:
    LocalPages() = default;
    LocalPages(const LocalPages&) = delete;
    LocalPages& operator=(const LocalPages&) = delete;
    ~LocalPages() { RemoveAll(); }

    // The window whose timer `timerId` sweeps old pages away while any is left: the bar's.
    void SweepWith(HWND window, UINT_PTR timerId) {
        sweepWindow_ = window;
        sweepTimer_ = timerId;
    }
    // Writes the page and has the default browser open it.
    HRESULT Open(const std::string& page);
    // Removes the pages older than ageMs; the bar calls it from a timer.
    void RemoveOlderThan(DWORD ageMs);
    void RemoveAll();
    bool Empty() const { return pages_.empty(); }

    // How long a browser is given to read a page: a cold start of a browser can take a while.
    static constexpr DWORD kReadTimeMs = 60 * 1000;
    static constexpr DWORD kSweepEveryMs = 10 * 1000;

private:
    struct Page {
        std::wstring path;
        DWORD written;
    };
    std::vector<Page> pages_;
    unsigned serial_ = 0;
    HWND sweepWindow_ = nullptr;
    UINT_PTR sweepTimer_ = 0;
};

// Opens a local file with the program that opens web addresses.
HRESULT OpenWithWebBrowser(const std::wstring& path);

// ANSI bytes to code points, for the pages' character references.
std::u32string AnsiToCodePoints(const std::string& bytes);
