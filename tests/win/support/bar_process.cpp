#include "support/bar_process.h"

#include "bar/bar_window.h"
#include "support/test_env.h"

Bar::Bar(const std::string& exe, const std::string& arguments) {
    std::string command = "\"" + (exe.empty() ? BuildDir() + "\\pelorin.exe" : exe) + "\"";
    if (!arguments.empty()) command += " " + arguments;
    STARTUPINFOA startup = {sizeof startup};
    PROCESS_INFORMATION info = {};
    started_ = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info);
    process_ = info.hProcess;
    pid_ = info.dwProcessId;
    if (info.hThread) CloseHandle(info.hThread);
}

Bar::~Bar() {
    if (process_) {
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 99);
        CloseHandle(process_);
    }
}

HWND Bar::WaitForBand(DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        HWND found = nullptr;
        while ((found = FindWindowExW(nullptr, found, kBarClassName, nullptr))) {
            DWORD owner = 0;
            GetWindowThreadProcessId(found, &owner);
            HWND container = FindWindowExA(found, nullptr, "Pelorin", nullptr);
            if (owner == pid_ && container && IsWindowVisible(container) && IsWindowVisible(found)) {
                window_ = found;
                return found;
            }
        }
        if (WaitForSingleObject(process_, 50) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
}

DWORD Bar::WaitForExit(DWORD timeoutMs) {
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process_, &code);
    return code;
}

DWORD Bar::Close(DWORD timeoutMs) {
    PostMessageW(window_, WM_CLOSE, 0, 0);
    return WaitForExit(timeoutMs);
}
