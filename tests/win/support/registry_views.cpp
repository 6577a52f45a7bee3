#include "support/registry_views.h"

#include <cstdlib>

#include "support/test_env.h"

const char kClassKey[] = "CLSID\\{408EA957-CF17-4D81-93AB-FDDA7ACDA90F}";
const char kCategoryKey[] = "\\Implemented Categories\\{00021492-0000-0000-C000-000000000046}";
const char kToolbarKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
const char kToolbarValue[] = "{408EA957-CF17-4D81-93AB-FDDA7ACDA90F}";
const char kTypeLibVersion[] = "TypeLib\\{C84D3A09-7225-463E-B59C-AE215D34BF56}\\1.0";
const char kMissing[] = "<missing>";

std::string SystemFolder(bool wow64) {
    char folder[MAX_PATH] = "";
    if (wow64) {
        GetSystemWow64DirectoryA(folder, MAX_PATH);
    } else {
        GetSystemDirectoryA(folder, MAX_PATH);
    }
    return folder;
}

int RunProgram(std::string command, DWORD timeoutMs) {
    STARTUPINFOA startup = {sizeof startup};
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return -1;
    }
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

int Regsvr32(bool bits32, const std::string& arguments, const std::string& dll) {
    return RunProgram("\"" + SystemFolder(bits32) + "\\regsvr32.exe\" " + arguments + " \"" + dll + "\"");
}

std::string Read(HKEY root, const std::string& path, const char* name, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return kMissing;
    char data[1024] = "";
    DWORD size = sizeof data, type = 0;
    LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_SZ ? std::string(data) : std::string(kMissing);
}

bool Exists(HKEY root, const std::string& path, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::string ProbeBand(const std::string& probe) {
    std::string out = MakeScratchDir("probe") + "\\loaded.txt";
    int code = RunProgram("\"" + probe + "\" \"" + out + "\"");
    std::string text = ReadBytes(out);
    DeleteFileA(out.c_str());
    return code == 0 ? text : "failed " + std::to_string(code) + " " + text;
}
