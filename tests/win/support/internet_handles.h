// WinINet handles as the fetcher's seam records them, looked at after the fetch.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <vector>

// None of the handles is still a WinINet handle: each was closed.
bool AllClosed(const std::vector<HINTERNET>& handles);
