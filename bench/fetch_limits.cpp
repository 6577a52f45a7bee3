// What hostile servers cost a fetch held to the product's own limits (the 120-second
// deadline, the 32 MB body limit, ten redirects): per behaviour of the fixture's corpus,
// how long the fetch took and the largest block it held; and a 10 MB body fetched with the
// body buffer grown a chunk per read, as it used to be, beside the doubling buffer now.
// Run in the test sandbox: build/win32/run-wine build/win32/bench/fetch_limits_bench.exe [all]
// ("all" runs every behaviour, not only the ones that need the deadline or the limit).
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "services/page_fetcher.h"
#include "support/hostile_corpus.h"
#include "support/test_env.h"

namespace {

double Now() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return double(counter.QuadPart) / double(frequency.QuadPart);
}

// The largest block asked for since the last reset.
std::atomic<size_t> largestOfAll{0};
void* Measuring(void* block, size_t size) {
    size_t seen = largestOfAll.load();
    while (size > seen && !largestOfAll.compare_exchange_weak(seen, size)) {
    }
    return std::realloc(block, size);
}

struct Row {
    const char* path;
    double seconds = 0;
    size_t largestBlock = 0;
    bool body = false;
};

void Run(Row& row) {
    FetchSeam seam;
    seam.reallocate = Measuring;
    DWORD count = 0;
    double start = Now();
    try {
        row.body = FetchPage("fixture.test", row.path, &count, seam) != nullptr;
    } catch (const char*) {
    }
    row.seconds = Now() - start;
}

// The old body loop: one resize to size + chunk after every read.
double FetchLinear(const std::string& path, DWORD* total) {
    double start = Now();
    HINTERNET root = InternetOpenA("Pelorin", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    HINTERNET connection = InternetConnectA(root, "fixture.test", 80, nullptr, nullptr,
                                            INTERNET_SERVICE_HTTP, 0, 0);
    const char* accept[] = {"text/*", nullptr};
    HINTERNET request = HttpOpenRequestA(connection, "GET", path.c_str(), "HTTP/1.0", nullptr, accept, 0, 0);
    HttpSendRequestA(request, nullptr, 0, nullptr, 0);
    char* buffer = static_cast<char*>(std::malloc(10240));
    DWORD size = 0, read = 0;
    while (InternetReadFile(request, buffer + size, 10240, &read) && read) {
        size += read;
        buffer = static_cast<char*>(std::realloc(buffer, size + 10240));
    }
    char* body = static_cast<char*>(std::malloc(size + 2));
    std::memcpy(body, buffer, size);
    std::free(buffer);
    std::free(body);
    InternetCloseHandle(request);
    InternetCloseHandle(connection);
    InternetCloseHandle(root);
    *total = size;
    return Now() - start;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    if (!FixtureAvailable()) {
        std::printf("the HTTP fixture is not running on 127.0.0.1:80\n");
        return 1;
    }
    bool all = argc > 1 && std::strcmp(argv[1], "all") == 0;
    FetchLimits limits;
    std::printf("limits: deadline %lu ms, body %lu bytes, %d redirects\n",
                static_cast<unsigned long>(limits.deadlineMs),
                static_cast<unsigned long>(limits.maxBodyBytes), limits.maxRedirects);
    // Endless answers go on past the deadline, so that it is the deadline that ends them.
    FixtureGet("/_ctl/hostile-cap/150");

    // The ones the deadline ends run side by side, each on its own thread, and share one
    // figure for the largest block; the ones that pass the body limit run one after
    // another, so that the largest block is theirs alone.
    const char* slow[] = {"/hostile/trickle-body", "/hostile/chunked-trickle", "/hostile/trickle-headers",
                          "/hostile/short-then-silence", "/hostile/continue-endless",
                          "/hostile/redirect-https-silent", kManyHeadersPath};
    const char* large[] = {"/hostile/endless-body", "/hostile/chunked-endless",
                           "/hostile/huge-with-length", "/hostile/huge-without-length"};
    std::vector<Row> rows;
    for (const char* p : slow) rows.push_back(Row{p});
    std::vector<std::thread> threads;
    largestOfAll = 0;
    for (Row& row : rows) threads.emplace_back([&row] { Run(row); });
    for (auto& t : threads) t.join();
    for (Row& row : rows) row.largestBlock = largestOfAll;
    for (const char* p : large) {
        Row row{p};
        largestOfAll = 0;
        Run(row);
        row.largestBlock = largestOfAll;
        rows.push_back(row);
    }
    if (all) {
        for (size_t i = 0; i < kHostileCount; ++i) {
            bool done = false;
            for (const Row& r : rows) done = done || std::strcmp(r.path, kHostile[i].path) == 0;
            if (done) continue;
            Row row{kHostile[i].path};
            largestOfAll = 0;
            Run(row);
            row.largestBlock = largestOfAll;
            rows.push_back(row);
        }
    }
    std::printf("%-40s %10s %14s  %s\n", "behaviour", "fetch", "largest block", "result");
    for (const Row& r : rows) {
        std::printf("%-40s %8.0f ms %11.0f KB  %s\n", r.path, r.seconds * 1e3,
                    r.largestBlock / 1024.0, r.body ? "body" : "failed");
    }
    std::printf("fetches given up on and still inside WinINet: %d\n", AbandonedFetchCount());
    FixtureGet("/_ctl/hostile-cap/10");

    const std::string tenMegabytes = "/big/" + std::to_string(10 * 1024 * 1024);
    std::vector<double> linear, doubling;
    for (int i = 0; i < 5; ++i) {
        DWORD total = 0;
        linear.push_back(FetchLinear(tenMegabytes, &total));
        double start = Now();
        DWORD count = 0;
        PageBody body = FetchPage("fixture.test", tenMegabytes, &count);
        doubling.push_back(Now() - start);
        if (!body || count != total) std::printf("the two fetches disagree (%lu, %lu)\n",
                                                 static_cast<unsigned long>(total),
                                                 static_cast<unsigned long>(count));
    }
    double before = Median(linear), after = Median(doubling);
    std::printf("10 MB body, median of 5: a chunk per read %.1f ms, doubling %.1f ms: %.1f times faster\n",
                before * 1e3, after * 1e3, before / after);
    std::fflush(stdout);
    // Threads still inside WinINet for the pages given up on end with the process.
    ExitProcess(0);
}
