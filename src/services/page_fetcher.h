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

// What no server can make a fetch exceed. The per-read time-outs above do not bound a
// fetch: a server that trickles, or never stops sending, gets something into every read.
struct FetchLimits {
    DWORD deadlineMs = 120000;               // from the start of the fetch to its answer
    DWORD maxBodyBytes = 32 * 1024 * 1024;   // a longer body is a failed fetch
    int maxRedirects = 10;                   // hops followed; one more is a failed fetch
};

// The limits a fetch runs with: the ones above, or a shorter deadline given in the
// environment variable PELORIN_TEST_FETCH_DEADLINE_MS, which the tests of the whole band set
// (they cannot reach the seam below through COM). It can only shorten the deadline.
FetchLimits DefaultFetchLimits();

// What the tests change; the product always runs with the defaults.
struct FetchSeam {
    FetchTimeouts timeouts;
    FetchLimits limits = DefaultFetchLimits();
    // Every handle once it is open and, for the connections and the requests, given its
    // time-outs (root, then connection, then request, then the next hop's pair). Called on
    // the thread that makes the platform calls, never after FetchPage has returned.
    void (*onHandleOpened)(HINTERNET handle, void* context) = nullptr;
    void* context = nullptr;
    // Allocates and grows the body's blocks in place of realloc; null means out of memory.
    void* (*reallocate)(void* block, size_t size) = nullptr;
};

struct FetchJob;
struct FetchRunner;

// Fetches made one after another by one caller, on one platform thread that waits between
// them instead of a new thread for each. A fetch given up on at its deadline keeps that
// thread, and the next fetch starts another. The session's end lets its idle thread go.
// Used by one thread at a time.
class PageFetchSession {
public:
    PageFetchSession() = default;
    ~PageFetchSession();
    PageFetchSession(const PageFetchSession&) = delete;
    PageFetchSession& operator=(const PageFetchSession&) = delete;

private:
    friend PageBody FetchPage(const std::string&, const std::string&, DWORD*, const FetchSeam&,
                              PageFetchSession*, std::string*);
    bool Start(FetchJob* job);  // hands the job to the thread, starting one when there is none
    void LetGo(bool idle);      // ends an idle thread, or leaves one stuck in a fetch to itself
    FetchRunner* runner_ = nullptr;
};

// The body of http://host:80 + path when the server answers 200 and the whole body arrives,
// following at most maxRedirects redirects (to http or https, any host); null for any other
// status, no status at all, a broken answer, a body over the limit, no memory for it, or no
// answer within the deadline. An answer is broken when it has no HTTP/1.x status line
// followed by a header, has a Transfer-Encoding (chunks cut short cannot be told from whole
// ones) or a Content-Length that is not a number, or when its body ends before its
// Content-Length or in a reset or a read time-out. A body without a Content-Length ends
// where the server closes the connection; it may be empty, as may one of length 0. Throws
// one of the three messages above when a handle for the first request cannot be opened.
// Returns within about the deadline whatever the server does. With a session, on the
// session's thread. With contentType, a body comes with the answer's Content-Type header
// (empty when it had none), which may name the body's character set.
PageBody FetchPage(const std::string& host, const std::string& path, DWORD* count,
                   const FetchSeam& seam = FetchSeam(), PageFetchSession* session = nullptr,
                   std::string* contentType = nullptr);

// How many fetches given up at their deadline are still inside a platform call (see the
// .cpp): at most one per page address.
int AbandonedFetchCount();
