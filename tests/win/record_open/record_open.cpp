// Stands in for the default browser in the tests' Wine prefix: the shell starts it as
//   record_open.exe LOG ADDRESS
// and it appends one record to LOG: its own creation time (16 hexadecimal digits, so the
// reader can restore the order in which the shell started the recorders, which may finish
// in any order), a space, the address in UTF-8 and a NUL.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 3) return 2;

    FILETIME created = {}, exited = {}, kernel = {}, user = {};
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%08lX%08lX ", static_cast<unsigned long>(created.dwHighDateTime),
                  static_cast<unsigned long>(created.dwLowDateTime));

    std::string record = stamp;
    int n = WideCharToMultiByte(CP_UTF8, 0, argv[2], -1, nullptr, 0, nullptr, nullptr);
    if (n > 0) {
        std::string address(static_cast<size_t>(n), '\0');  // the NUL ends the record
        WideCharToMultiByte(CP_UTF8, 0, argv[2], -1, &address[0], n, nullptr, nullptr);
        record += address;
    } else {
        record += '\0';
    }

    // Recorders started close together append to the one log; one write each keeps the
    // records whole. Retry while another one holds the file.
    for (int attempt = 0; attempt < 200; ++attempt) {
        HANDLE log = CreateFileW(argv[1], FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (log != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(log, record.data(), static_cast<DWORD>(record.size()), &written, nullptr);
            CloseHandle(log);
            LocalFree(argv);
            return 0;
        }
        Sleep(10);
    }
    LocalFree(argv);
    return 1;
}
