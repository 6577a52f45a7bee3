// The demo's default web browser: the demo prefix's handler for the http scheme, which the
// shell's "open" starts as
//   demo_open.exe ADDRESS
// when the band sits in the taskbar. It fetches the address, so that the demo site (and the
// transcript that reads its log) sees what the shell opened, and ends.
#include <windows.h>
#include <shellapi.h>
#include <wininet.h>

#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 2) return 2;
    HINTERNET root = InternetOpenW(L"Pelorin demo opener", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    int result = 1;
    if (root) {
        HINTERNET page = InternetOpenUrlW(root, argv[1], nullptr, 0,
                                          INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE, 0);
        if (page) {
            char buffer[4096];
            DWORD read = 0;
            while (InternetReadFile(page, buffer, sizeof buffer, &read) && read > 0) {
            }
            InternetCloseHandle(page);
            result = 0;
        }
        InternetCloseHandle(root);
    }
    LocalFree(argv);
    return result;
}
