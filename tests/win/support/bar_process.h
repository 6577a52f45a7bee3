// A started pelorin.exe, looked at from outside as the shell and the user see it; ended by
// force if a test leaves it running.
#pragma once

#include <windows.h>
#include <string>

class Bar {
public:
    // The bar of this build, or the program given, with the arguments given.
    explicit Bar(const std::string& exe = std::string(), const std::string& arguments = std::string());
    ~Bar();
    Bar(const Bar&) = delete;
    Bar& operator=(const Bar&) = delete;

    bool started() const { return started_; }
    DWORD pid() const { return pid_; }

    // The bar's window once its band is shown in it.
    HWND WaitForBand(DWORD timeoutMs = 15000);
    HWND window() const { return window_; }
    HWND container() const { return FindWindowExA(window_, nullptr, "Pelorin", nullptr); }

    // The exit code, or STILL_ACTIVE when it has not ended within the time.
    DWORD WaitForExit(DWORD timeoutMs = 15000);
    DWORD Close(DWORD timeoutMs = 15000);

private:
    bool started_ = false;
    HANDLE process_ = nullptr;
    DWORD pid_ = 0;
    HWND window_ = nullptr;
};
