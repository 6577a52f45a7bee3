// pelorin.exe, the Pelorin bar: hosts the band from the pelorin.beta.dll beside it where no
// browser or taskbar hosts it. One bar per user session: a second start brings the running
// bar forward and ends.
#include <windows.h>
#include <objbase.h>

#include "bar_window.h"
#include "common/unique_handle.h"

namespace {

// Waits a little for the first bar's window: it may still be starting.
HWND FindRunningBar() {
    for (int i = 0; i < 100; ++i) {
        if (HWND bar = FindWindowW(kBarClassName, nullptr)) return bar;
        Sleep(50);
    }
    return nullptr;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Local\: one per user session, whichever bitness the bar is.
    KernelHandle single(CreateMutexW(nullptr, FALSE, L"Local\\Pelorin.Bar"));
    if (single && GetLastError() == ERROR_ALREADY_EXISTS) {
        if (HWND bar = FindRunningBar()) {
            DWORD process = 0;
            GetWindowThreadProcessId(bar, &process);
            AllowSetForegroundWindow(process);
            PostMessageW(bar, kShowBar, 0, 0);
        }
        return 0;
    }

    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int exitCode = 0;
    {
        BarWindow bar;
        exitCode = bar.Create(instance);
        if (exitCode == 0) {
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                bar.CountMessage();
                if (bar.PreTranslate(&msg)) continue;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            bar.Unload();
        }
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return exitCode;
}
