#include "module/module.h"

#include <shlobj.h>
#include <shlwapi.h>

#include "common/ansi.h"
#include "common/mbcs.h"
#include "module/server.h"

volatile LONG ModuleLockCount = 0;

namespace {
HINSTANCE g_instance = nullptr;
std::string g_configPath;
std::string g_moduleDirectory;
}  // namespace

void ModuleLock() { InterlockedIncrement(&ModuleLockCount); }
void ModuleUnlock() { InterlockedDecrement(&ModuleLockCount); }

HINSTANCE ModuleInstance() { return g_instance; }
const std::string& ConfigPath() { return g_configPath; }
const std::string& ModuleDirectory() { return g_moduleDirectory; }

std::string ResolveConfigPath(const char* moduleFileName) {
    // Cut at the real last backslash: in code page 932 the trail byte of a double-byte
    // character may be 0x5C too.
    std::string directory = moduleFileName;
    size_t cut = FindLastCharacter(directory.c_str(), '\\', IsAnsiLeadByte);
    if (cut != std::string::npos) directory.resize(cut);
    g_moduleDirectory = directory;

    char appData[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA, TRUE);
    std::string path = std::string(appData) + "\\pelorin.ini";
    if (PathFileExistsA(path.c_str())) return path;
    return directory + "\\pelorin.ini";
}

ATOM RegisterModuleWindowClass(const char* className, WNDPROC procedure) {
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = procedure;
    wc.hInstance = g_instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
    wc.lpszClassName = className;
    return RegisterClassA(&wc);
}

void ModuleStart(HINSTANCE instance) {
    g_instance = instance;
    InterlockedExchange(&ModuleLockCount, 0);
    ServerStart();
    char fileName[MAX_PATH] = "";
    GetModuleFileNameA(instance, fileName, MAX_PATH);
    g_configPath = ResolveConfigPath(fileName);
}

void ModuleStop() { ServerStop(); }
