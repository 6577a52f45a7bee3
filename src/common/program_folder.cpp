#include "common/program_folder.h"

#include <windows.h>

std::wstring ProgramFolder() {
    // A path longer than MAX_PATH comes back cut, with the buffer filled: grow and ask again.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    size_t slash = path.find_last_of(L"\\/");
    return path.substr(0, slash == std::wstring::npos ? 0 : slash);
}
