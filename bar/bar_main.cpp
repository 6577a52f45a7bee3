// pelorin.exe, the Pelorin bar: hosts the band from the pelorin.beta.dll beside it where no
// browser or taskbar hosts it. One bar per user session: a second start brings the running
// bar forward and ends. pelorin.exe /settings opens the settings dialog: the running bar's,
// or, with no bar running, the dialog alone.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "bar_window.h"
#include "common/unique_handle.h"
#include "settings/settings_dialog.h"
#include "texts.h"

namespace {

// Waits a little for the first bar's window: it may still be starting.
HWND FindRunningBar() {
    for (int i = 0; i < 100; ++i) {
        if (HWND bar = FindWindowW(kBarClassName, nullptr)) return bar;
        Sleep(50);
    }
    return nullptr;
}

// Lets the running bar take the foreground, and asks it.
void Tell(HWND bar, UINT message) {
    DWORD process = 0;
    GetWindowThreadProcessId(bar, &process);
    AllowSetForegroundWindow(process);
    PostMessageW(bar, message, 0, 0);
}

bool SettingsAsked() {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    bool asked = false;
    for (int i = 1; args && i < count; ++i) {
        asked = asked || lstrcmpiW(args[i], L"/settings") == 0 || lstrcmpiW(args[i], L"-settings") == 0;
    }
    LocalFree(args);
    return asked;
}

// The dialog alone, for browser and taskbar users: it is the whole program while it is open.
int RunSettingsAlone(HINSTANCE instance) {
    if (HWND open = FindWindowW(L"#32770", Text(TextId::SettingsCaption).c_str())) {
        DWORD process = 0;
        GetWindowThreadProcessId(open, &process);
        AllowSetForegroundWindow(process);
        ShowWindow(open, SW_RESTORE);
        SetForegroundWindow(open);
        return 0;
    }
    if (!OpenSettingsDialog(instance, nullptr)) return 0;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        HWND dialog = SettingsDialogWindow();
        if (dialog && IsDialogMessageW(dialog, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    bool settings = SettingsAsked();
    if (settings) {
        KernelHandle running(OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\Pelorin.Bar"));
        HWND bar = running ? FindRunningBar() : nullptr;
        if (!bar) return RunSettingsAlone(instance);
        Tell(bar, kOpenSettings);
        return 0;
    }
    // Local\: one per user session, whichever bitness the bar is.
    KernelHandle single(CreateMutexW(nullptr, FALSE, L"Local\\Pelorin.Bar"));
    if (single && GetLastError() == ERROR_ALREADY_EXISTS) {
        if (HWND bar = FindRunningBar()) Tell(bar, kShowBar);
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
                HWND dialog = SettingsDialogWindow();
                if (dialog && IsDialogMessageW(dialog, &msg)) continue;
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
