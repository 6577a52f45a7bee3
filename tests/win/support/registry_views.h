// What the tests of installation share: programs run to their end, regsvr32 of either
// bitness, and the registry read in either view (KEY_WOW64_32KEY or KEY_WOW64_64KEY; 0 is
// the calling process's own).
#pragma once

#include <windows.h>
#include <string>

extern const char kClassKey[];      // CLSID\{...} of the band
extern const char kCategoryKey[];   // its desk-band category, under the class key
extern const char kToolbarKey[];    // the browser's list of toolbars, under HKLM
extern const char kToolbarValue[];  // the band's value in that list
extern const char kTypeLibVersion[];
extern const char kMissing[];       // what Read answers for a missing key or value

// System32, or SysWOW64 (wow64 true): where each bitness's regsvr32 lives.
std::string SystemFolder(bool wow64);

// Runs a command line and waits (at most timeoutMs) for its exit code; -1 when it could not
// be started or did not end.
int RunProgram(std::string command, DWORD timeoutMs = 60000);

// regsvr32 of the given bitness, from its own system folder.
int Regsvr32(bool bits32, const std::string& arguments, const std::string& dll);

// A REG_SZ value in one view, or kMissing.
std::string Read(HKEY root, const std::string& path, const char* name, REGSAM view = 0);
bool Exists(HKEY root, const std::string& path, REGSAM view = 0);

// Creates the band through COM in com_probe.exe (a host of that program's bitness); the full
// path of the DLL that COM loaded, or "failed CODE TEXT" when it loaded none.
std::string ProbeBand(const std::string& probe);
