// The digest of a 10 MB body through CryptoAPI, in MB/s; and, when the HTTP fixture is
// there, fetching a 10 MB body and the whole fetch-and-digest step over it.
#include <windows.h>

#include <cstdio>
#include <string>

#include "services/content_digest.h"
#include "services/digest_page.h"
#include "services/page_fetcher.h"

namespace {

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

}  // namespace

int main() {
    const DWORD size = 10 * 1024 * 1024;
    std::string body(size, '\0');
    for (DWORD i = 0; i < size; ++i) body[i] = static_cast<char>((i * 2654435761u) >> 24);

    const int rounds = 5;
    char digest[64] = "";
    double start = Now();
    for (int i = 0; i < rounds; ++i) {
        if (ComputeDigest("MD5", body.data(), size, digest) != S_OK) {
            std::printf("ComputeDigest failed\n");
            return 1;
        }
    }
    double seconds = (Now() - start) / rounds;
    std::printf("ComputeDigest MD5, 10 MB: %.1f ms, %.0f MB/s (mean of %d; %s)\n", seconds * 1e3,
                10.0 / seconds, rounds, digest);

    start = Now();
    DWORD count = 0;
    PageBody fetched;
    try {
        fetched = FetchPage("fixture.test", "/big/" + std::to_string(size), &count);
    } catch (const char*) {
    }
    double fetchSeconds = Now() - start;
    if (!fetched || count != size) {
        std::printf("FetchPage: no 10 MB body (is the HTTP fixture running?)\n");
        return 0;
    }
    std::printf("FetchPage, 10 MB from the fixture: %.1f ms, %.0f MB/s\n", fetchSeconds * 1e3,
                10.0 / fetchSeconds);
    start = Now();
    std::string text = DigestPage("fixture.test", Comparison::Markup, "/big/" + std::to_string(size));
    double stepSeconds = Now() - start;
    std::printf("DigestPage with tag removal, 10 MB: %.1f ms (%s)\n", stepSeconds * 1e3, text.c_str());
    return 0;
}
