// One watched page turned into one short text: the MD5 of what its comparison reads of the
// body (comparison.h) as 32 upper-case hexadecimal characters, or the empty text when the page
// could not be fetched or digested. Never throws.
#pragma once

#include <cstddef>
#include <string>

#include "services/comparison.h"

class PageFetchSession;

// With a session, the fetch runs on the session's thread (see page_fetcher.h). With text, a
// successful digest also gives the page's text as a reader sees it (page_text.h, numbers
// kept), whatever the comparison; it is left alone on failure.
std::string DigestPage(const std::string& host, Comparison comparison, const std::string& path,
                       PageFetchSession* session = nullptr, std::string* text = nullptr);

// The same for a body in hand, no fetch: contentType is the answer's Content-Type header
// (empty when there was none), which names the character set when the body does not.
// Empty only when the digest itself fails; out of memory throws (DigestPage catches it).
std::string DigestBody(const char* body, size_t count, Comparison comparison, const std::string& contentType,
                       std::string* text = nullptr);
