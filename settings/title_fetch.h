// The settings dialog's proposal for a watched page's title: the page fetched in the
// background with the band's own fetcher and limits, its <title> decoded from the page's
// character set and made fit for an item line of pelorin.ini (code page 932, no comma, not
// empty), or the host name where the page offers none. The user may change it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <memory>
#include <string>

// The title the page's body proposes, or the host name (decoded from code page 932) when the
// page has no title, an empty one, one that does not decode in its character set, or one with
// a character that code page 932 cannot hold (no best fit: "é" is never made "e"). Commas
// become U+FF0C, which code page 932 has. Whatever is returned is cut at a character boundary,
// and of trailing spaces, so that its code page 932 form takes at most maxTitleBytes bytes;
// empty only when not even the host name's first character fits.
std::wstring ProposedTitle(const char* body, size_t count, const std::string& host, size_t maxTitleBytes);

struct TitleProposal {
    std::wstring title;    // ProposedTitle of the page, or the host name
    bool reached = false;  // the page answered 200 with a body; false: the host name stands in
};

// One dialog's title fetches. Each Start fetches on a thread of its own (FetchPage with its
// default limits: it ends within the deadline whatever the server does) and supersedes the
// Start before it: only the newest answer reaches the window. The answer stays here, not in
// the message, so that nothing is lost or leaked when the message never arrives.
//
// Owned and used by the window's thread. Each fetch thread holds a reference on the shared
// state, so the object can go while fetches run: it never waits for one, and a fetch that
// ends after Cancel or the destructor posts nothing and frees its answer itself. The window
// calls Cancel (or destroys this) before it is destroyed, so that nothing is posted to a
// handle that may name another window by then.
class TitleFetch {
public:
    explicit TitleFetch(size_t maxTitleBytes);
    ~TitleFetch();
    TitleFetch(const TitleFetch&) = delete;
    TitleFetch& operator=(const TitleFetch&) = delete;

    // Fetches http://host:80 + path and, when its proposal is ready and still the newest,
    // posts message to window with wParam the ticket returned here (never 0) and lParam 0.
    // host and path are bytes as the band fetches them (code page 932).
    UINT_PTR Start(HWND window, UINT message, std::string host, std::string path);

    // The proposal the message with this ticket announced; false when a newer Start or Cancel
    // has superseded it, or it was taken already.
    bool Take(WPARAM ticket, TitleProposal* proposal);

    // Supersedes every running fetch: none of them posts any more.
    void Cancel();

    // Fetch threads of every TitleFetch that have not ended yet: a fetch that has ended has
    // posted whatever it will post. For the tests.
    static int RunningThreads();

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
    size_t maxTitleBytes_;
};
