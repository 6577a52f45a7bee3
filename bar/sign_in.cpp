#include "sign_in.h"

#include <windows.h>

#include "common/unique_handle.h"

namespace {

const wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kApprovedKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
const wchar_t kValue[] = L"Pelorin";

bool HasValue(HKEY root, const wchar_t* path, REGSAM view) {
    RegKey key;
    if (RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE | view, key.put()) != ERROR_SUCCESS) return false;
    return RegQueryValueExW(key.get(), kValue, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// The setup program writes the value in the view of the bar's bitness; a 32-bit bar on 64-bit
// Windows looks in both.
bool MachineStartsIt() {
    return HasValue(HKEY_LOCAL_MACHINE, kRunKey, KEY_WOW64_64KEY) || HasValue(HKEY_LOCAL_MACHINE, kRunKey, KEY_WOW64_32KEY);
}

// The user's mark on a machine-wide entry: its first byte is odd when the user turned it off.
bool UserTurnedMachineEntryOff() {
    RegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kApprovedKey, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) return false;
    BYTE mark[12] = {};
    DWORD size = sizeof mark, type = 0;
    if (RegQueryValueExW(key.get(), kValue, nullptr, &type, mark, &size) != ERROR_SUCCESS || type != REG_BINARY || size == 0)
        return false;
    return (mark[0] & 1) != 0;
}

void MarkMachineEntry(bool on) {
    RegKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kApprovedKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, key.put(), nullptr) !=
        ERROR_SUCCESS)
        return;
    // 2 on, 3 off, then when the user changed it.
    BYTE mark[12] = {static_cast<BYTE>(on ? 2 : 3)};
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    memcpy(mark + 4, &now, sizeof now);
    RegSetValueExW(key.get(), kValue, 0, REG_BINARY, mark, sizeof mark);
}

}  // namespace

bool StartsAtSignIn() {
    if (HasValue(HKEY_CURRENT_USER, kRunKey, 0)) return true;
    return MachineStartsIt() && !UserTurnedMachineEntryOff();
}

void SetStartAtSignIn(bool start, const std::wstring& program) {
    RegKey run;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, run.put(), nullptr) !=
        ERROR_SUCCESS)
        return;
    if (MachineStartsIt()) {
        // One entry is enough: the machine's, as the user wants it.
        RegDeleteValueW(run.get(), kValue);
        MarkMachineEntry(start);
    } else if (start) {
        std::wstring command = L"\"" + program + L"\"";
        RegSetValueExW(run.get(), kValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
    } else {
        RegDeleteValueW(run.get(), kValue);
    }
}
