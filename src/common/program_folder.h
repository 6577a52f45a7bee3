// The folder of the running program (not of this library): where the bar finds the band's
// DLL and the pelorin.ini shipped beside it.
#pragma once

#include <string>

// The full path of the folder, without a slash at its end.
std::wstring ProgramFolder();
