// One page body fetched with a plain HTTP/1.0 GET to port 80 of a host, through WinINet.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstdlib>
#include <memory>
#include <string>

// Thrown (as the pointer to the constant text, in code page 932) when a handle cannot be had.
extern const char kNoRootHandleMessage[];        // no root handle
extern const char kNoConnectionHandleMessage[];  // no connection handle
extern const char kNoRequestHandleMessage[];     // no request handle

struct FreeDeleter {
    void operator()(void* block) const noexcept { std::free(block); }
};
// The body bytes followed by one NUL, in a block of count + 2 bytes; the body may hold NULs
// of its own, so the count says where it ends.
using PageBody = std::unique_ptr<char, FreeDeleter>;

// Windows' own defaults. WinINet on Wine waits forever on a silent server unless the
// connection and request handles are given these explicitly (the root handle's are not
// inherited there).
struct FetchTimeouts {
    DWORD connectMs = 60000;
    DWORD sendMs = 30000;
    DWORD receiveMs = 30000;
};

// What the tests change; the product always runs with the defaults.
struct FetchSeam {
    FetchTimeouts timeouts;
    // Every handle once it is open and, for the connection and the request, given its
    // time-outs (root, then connection, then request).
    void (*onHandleOpened)(HINTERNET handle, void* context) = nullptr;
    void* context = nullptr;
    // Allocates and grows the body's blocks in place of realloc; null means out of memory.
    void* (*reallocate)(void* block, size_t size) = nullptr;
};

// The body of http://host:80 + path when the server answers 200; null for any other status,
// no status at all, or no memory for the body. Throws one of the three messages above when a
// handle cannot be opened; every handle is closed on every path.
PageBody FetchPage(const std::string& host, const std::string& path, DWORD* count,
                   const FetchSeam& seam = FetchSeam());
