#include "support/watch_probe.h"

#include <commctrl.h>
#include <shlobj.h>

#include <cstring>

#include "support/test_env.h"

HWND FindWatchPane(HWND bandWindow) { return FindWindowExA(bandWindow, nullptr, "Pelorin-Watch", nullptr); }

HWND FindSearchPane(HWND bandWindow) { return FindWindowExA(bandWindow, nullptr, "Pelorin-Search", nullptr); }

HWND FindWatchToolbar(HWND bandWindow) {
    HWND pane = FindWatchPane(bandWindow);
    return pane ? FindWindowExA(pane, nullptr, TOOLBARCLASSNAMEA, nullptr) : nullptr;
}

int ButtonCount(HWND toolbar) { return static_cast<int>(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0)); }

int ButtonImageAt(HWND toolbar, int position) {
    TBBUTTONINFOA info = {};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_BYINDEX | TBIF_IMAGE;
    info.iImage = -100;
    SendMessageA(toolbar, TB_GETBUTTONINFOA, position, reinterpret_cast<LPARAM>(&info));
    return info.iImage;
}

int CommandIdAt(HWND toolbar, int position) {
    TBBUTTON button = {};
    if (!SendMessageA(toolbar, TB_GETBUTTON, position, reinterpret_cast<LPARAM>(&button))) return -1;
    return button.idCommand;
}

std::string TooltipText(HWND pane, UINT_PTR id) {
    NMTTDISPINFOA info = {};
    info.hdr.hwndFrom = nullptr;
    info.hdr.idFrom = id;
    info.hdr.code = TTN_GETDISPINFOA;
    char sentinel[] = "(unchanged)";
    info.lpszText = sentinel;
    SendMessageA(pane, WM_NOTIFY, id, reinterpret_cast<LPARAM>(&info));
    return info.lpszText ? std::string(info.lpszText) : std::string();
}

std::string AppDataIniPath() {
    char folder[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, folder, CSIDL_APPDATA, TRUE);
    return std::string(folder) + "\\pelorin.ini";
}

void WriteAppDataIni(const std::string& text) {
    std::string path = AppDataIniPath();
    WriteBytes(path, text);
    // The profile reader caches the last file it read; flush it so it reads this one.
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
}

void RemoveAppDataIni() {
    std::string path = AppDataIniPath();
    DeleteFileA(path.c_str());
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());
}

namespace {

bool StoredValue(const char* keyName, const std::string& pageAddress, std::string* value) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, keyName, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return false;
    }
    char data[512] = "";
    DWORD size = sizeof data, type = 0;
    LONG result = RegQueryValueExA(key, pageAddress.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return false;
    // The platform adds the terminator a REG_SZ written without one lacks; it is not data.
    if (value) value->assign(data, strnlen(data, size));
    return true;
}

}  // namespace

bool StoredSeenValue(const std::string& pageAddress, std::string* value) {
    return StoredValue("Software\\Vorna\\Pelorin", pageAddress, value);
}

bool StoredSeenComparison(const std::string& pageAddress, std::string* value) {
    return StoredValue("Software\\Vorna\\Pelorin\\Comparisons", pageAddress, value);
}

void ClearSeenStore() {
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Vorna\\Pelorin\\Comparisons");
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Vorna\\Pelorin");
    ClearKeptTexts();
}

std::string KeptTextsFolder() {
    char local[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, local, CSIDL_LOCAL_APPDATA, TRUE);
    return std::string(local) + "\\Pelorin";
}

std::vector<std::string> KeptTextFiles() {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((KeptTextsFolder() + "\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (found.cFileName[0] != '.') names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

void ClearKeptTexts() {
    for (const std::string& name : KeptTextFiles()) DeleteFileA((KeptTextsFolder() + "\\" + name).c_str());
    RemoveDirectoryA(KeptTextsFolder().c_str());
}

std::wstring ToolTipShows(HWND toolbar, UINT_PTR id) {
    wchar_t text[1024] = L"(nothing)";
    TTTOOLINFOW info = {sizeof info, 0, toolbar, id};
    info.lpszText = text;
    SendMessageW(reinterpret_cast<HWND>(SendMessageW(toolbar, TB_GETTOOLTIPS, 0, 0)), TTM_GETTEXTW, ARRAYSIZE(text),
                 reinterpret_cast<LPARAM>(&info));
    return text;
}

HRESULT LoadedDllCanUnloadNow() {
    HMODULE dll = GetModuleHandleA("pelorin.beta.dll");
    if (!dll) return S_OK;
    auto canUnload = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(GetProcAddress(dll, "DllCanUnloadNow"));
    return canUnload ? canUnload() : E_FAIL;
}
