// Module-wide state. Written at process attach (under the loader lock, before any other call
// of the library can run) and only read afterwards, so readers take no lock; the lock count
// alone changes later, and only by interlocked operations.
#pragma once

#include <windows.h>
#include <string>

// Live band objects, LockServer locks and outside holders of the class object.
extern volatile LONG ModuleLockCount;
void ModuleLock();
void ModuleUnlock();

HINSTANCE ModuleInstance();

// Full path of pelorin.ini, resolved once per load.
const std::string& ConfigPath();
// The folder of the library's own file, without a trailing backslash.
const std::string& ModuleDirectory();

// Registers one of the module's window classes, as all of them are: redrawn when resized,
// the arrow cursor, the menu colour as background (brush value 5). Registering a class a
// second time fails; callers register before every creation and ignore the answer.
ATOM RegisterModuleWindowClass(const char* className, WNDPROC procedure);

// Process attach and detach: the module record and the configuration path.
void ModuleStart(HINSTANCE instance);
void ModuleStop();

// What process attach does to find pelorin.ini, given the library's full file name: the
// application-data folder's copy when it exists (the folder is created when missing), else
// the one beside the library, untested. Sets the module directory as a side effect.
std::string ResolveConfigPath(const char* moduleFileName);
