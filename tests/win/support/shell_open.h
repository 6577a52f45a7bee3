// Records what the real ShellExecuteA opens for http addresses: while a recorder lives, the
// test prefix's handler for the http scheme (HKEY_CLASSES_ROOT\http\shell\open\command, the
// key Wine's shell32 reads for a URL) runs record_open.exe, which appends the address to a
// log of this recorder. One recorder at a time per process.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

class ShellOpenRecorder {
public:
    ShellOpenRecorder();   // registers the handler and clears the log
    ~ShellOpenRecorder();  // restores the prefix's own handler
    ShellOpenRecorder(const ShellOpenRecorder&) = delete;
    ShellOpenRecorder& operator=(const ShellOpenRecorder&) = delete;

    // The addresses opened so far, in the order the shell started them, as ANSI (code page
    // 932) bytes.
    std::vector<std::string> Opened();
    // Waits until at least n were opened; false after timeoutMs.
    bool WaitFor(size_t n, DWORD timeoutMs);

private:
    std::string log_;
    bool hadKey_ = false;
    bool hadValue_ = false;
    DWORD savedType_ = REG_SZ;
    std::vector<BYTE> saved_;
};
