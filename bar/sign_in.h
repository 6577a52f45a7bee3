// Starting the bar when the user signs in. The setup program, which runs as administrator,
// writes its Run value under HKEY_LOCAL_MACHINE so that it reaches every user; a user turns
// it off for themselves as Windows' own startup settings do, with the StartupApproved mark
// under HKEY_CURRENT_USER. Without a machine-wide value (the bar from a zip), the bar writes
// the user's own Run value.
#pragma once

#include <string>

bool StartsAtSignIn();
void SetStartAtSignIn(bool start, const std::wstring& program);
