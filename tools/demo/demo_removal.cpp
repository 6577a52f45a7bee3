// After Pelorin was removed with its uninstaller (or as it would, where the uninstaller, a
// 32-bit program, cannot run): nothing of its registration is left in
// either registry view, nor its files or installed-programs entry; the user's pelorin.ini
// and record of seen pages stay.
#include <windows.h>

#include <string>

#include "demo_common.h"

namespace {

// Whether a key exists in one registry view (KEY_WOW64_32KEY or KEY_WOW64_64KEY).
bool KeyExists(HKEY root, const std::string& path, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool ValueExists(HKEY root, const std::string& path, const char* name, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    bool found = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
}

}  // namespace

// After removal: nothing of the band's registration is left in either view, and the record
// of seen pages, which is the user's, stays.
void RemovedSession() {
    Say("");
    Say("== 10. After removing Pelorin");
    const std::string kClass = "CLSID\\{408EA957-CF17-4D81-93AB-FDDA7ACDA90F}";
    const char kToolbar[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
    const char kClassId[] = "{408EA957-CF17-4D81-93AB-FDDA7ACDA90F}";
    static const struct {
        REGSAM view;
        const char* name;
    } kViews[] = {{KEY_WOW64_64KEY, "64-bit"}, {KEY_WOW64_32KEY, "32-bit"}};
    for (const auto& v : kViews) {
        bool left = KeyExists(HKEY_CLASSES_ROOT, kClass, v.view) ||
                    ValueExists(HKEY_LOCAL_MACHINE, kToolbar, kClassId, v.view) ||
                    KeyExists(HKEY_CLASSES_ROOT, "Pelorin.Pelorin", v.view);
        Check(!left, (std::string("the ") + v.name +
                      " registry view holds no class, ProgID or browser toolbar entry of Pelorin")
                         .c_str());
    }
    bool filesGone = GetFileAttributesA("C:\\Program Files\\Vorna\\Pelorin") == INVALID_FILE_ATTRIBUTES;
    bool entryGone = !KeyExists(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelorin",
                                KEY_WOW64_64KEY);
    Check(filesGone && entryGone,
          "C:\\Program Files\\Vorna\\Pelorin and the installed-programs entry are gone");
    char appData[MAX_PATH] = "";
    GetEnvironmentVariableA("APPDATA", appData, sizeof appData);
    std::string ini = std::string(appData) + "\\pelorin.ini";
    Check(GetFileAttributesA(ini.c_str()) != INVALID_FILE_ATTRIBUTES, ("the user's " + ini + " stays").c_str());
    Say("  the record of seen pages stays, HKCU\\Software\\Vorna\\Pelorin:");
    int values = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Vorna\\Pelorin", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        for (DWORD i = 0;; ++i) {
            char name[300] = "";
            char data[300] = "";
            DWORD nameSize = sizeof name, dataSize = sizeof data - 1;
            if (RegEnumValueA(key, i, name, &nameSize, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &dataSize) !=
                ERROR_SUCCESS)
                break;
            data[dataSize] = '\0';
            Say("    %s = %s", name, data);
            ++values;
        }
        RegCloseKey(key);
    }
    Check(values > 0, "the seen pages' values are still there");
}
