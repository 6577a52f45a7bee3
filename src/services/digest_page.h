// One watched page turned into one short text: the MD5 of its body (markup tags removed
// first when asked) as 32 upper-case hexadecimal characters, or the empty text when the page
// could not be fetched or digested. Never throws.
#pragma once

#include <string>

class PageFetchSession;

// With a session, the fetch runs on the session's thread (see page_fetcher.h).
std::string DigestPage(const std::string& host, int ignore_markup, const std::string& path,
                       PageFetchSession* session = nullptr);
