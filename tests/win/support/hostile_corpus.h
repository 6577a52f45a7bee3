// The fixture's hostile answers (tests/fixtures/httpd.py, /hostile/NAME) and what a fetch of
// each must come to: no body, a given body, or either, as long as it ends in time.
#pragma once

#include <cstddef>

enum class Outcome { Fails, Body, Either };
struct HostileCase {
    const char* path;
    Outcome outcome;
    const char* body;  // for Outcome::Body
};

// Every behaviour but one: 200,000 header lines keep Wine's WinINet busy for minutes after
// the fetch has been given up, so the tests that want it take it on its own, last.
extern const HostileCase kHostile[];
extern const size_t kHostileCount;
constexpr const char kManyHeadersPath[] = "/hostile/many-headers";
