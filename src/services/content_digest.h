// A hash of a block of bytes through CryptoAPI, as upper-case hexadecimal text.
#pragma once

#include <windows.h>

// algorithm: "hmac", "md2", "md5", "sha" or "mac", in any letter case (double-byte
// characters compare whole). output must hold 2 x (hash size) + 1 bytes (33 for MD5) and is
// written only on success. Returns S_OK; E_INVALIDARG for a name outside the table;
// E_UNEXPECTED when no context or hash object can be had (also the keyed names, which are
// never given a key); E_FAIL when hashing or reading the value fails.
HRESULT ComputeDigest(const char* algorithm, const void* data, DWORD size, char* output);
