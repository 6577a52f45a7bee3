// The fetcher against the HTTP fixture: what goes on the wire, what comes back, and that
// every path closes its handles and ends in bounded time.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "services/digest_page.h"
#include "services/page_fetcher.h"
#include "support/internet_handles.h"
#include "support/hostile_corpus.h"
#include "support/test_env.h"
#include "watch/watch_item.h"

namespace {

struct Fetched {
    bool threw = false;
    const char* message = nullptr;
    bool hasBody = false;
    std::string body;
    DWORD count = 0xDEADBEEF;
};

// The handles one fetch opened, recorded as they come, and their time-outs as set.
struct Recorder {
    std::vector<HINTERNET> handles;
    struct Timeouts {
        DWORD connect = 0, send = 0, receive = 0;
    };
    std::vector<Timeouts> timeouts;  // per handle, as InternetQueryOption reads them back

    static void OnOpened(HINTERNET handle, void* context) {
        auto* self = static_cast<Recorder*>(context);
        self->handles.push_back(handle);
        Timeouts t;
        DWORD size = sizeof t.connect;
        InternetQueryOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &t.connect, &size);
        size = sizeof t.send;
        InternetQueryOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &t.send, &size);
        size = sizeof t.receive;
        InternetQueryOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &t.receive, &size);
        self->timeouts.push_back(t);
    }
    FetchSeam Seam() {
        FetchSeam seam;
        seam.onHandleOpened = OnOpened;
        seam.context = this;
        return seam;
    }
};

Fetched Fetch(const std::string& host, const std::string& path, const FetchSeam& seam = FetchSeam()) {
    Fetched f;
    try {
        PageBody body = FetchPage(host, path, &f.count, seam);
        if (body) {
            f.hasBody = true;
            f.body.assign(body.get(), f.count);
            EXPECT_EQ(body.get()[f.count], '\0') << "the body is followed by a NUL";
        }
    } catch (const char* message) {
        f.threw = true;
        f.message = message;
    }
    return f;
}

// Runs work on its own thread; false when it has not ended within the time (a hang guard,
// not a timing check).
template <typename Work>
bool EndsWithin(DWORD milliseconds, Work work) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    HANDLE finished = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::thread runner([=] {
        work();
        done->store(true);
        SetEvent(finished);
    });
    bool ended = WaitForSingleObject(finished, milliseconds) == WAIT_OBJECT_0;
    if (ended) runner.join(); else runner.detach();
    if (ended) CloseHandle(finished);
    return ended;
}

bool IsOneOfTheThreeMessages(const char* message) {
    return message == kNoRootHandleMessage || message == kNoConnectionHandleMessage ||
           message == kNoRequestHandleMessage;
}

std::string BigBody(size_t size) {
    std::string body(size, '\0');
    for (size_t i = 0; i < size; ++i) body[i] = static_cast<char>(i % 256);
    return body;
}

class PageFetcher : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_FIXTURE();
        FixtureGet("/_ctl/clear");
    }
};

TEST_F(PageFetcher, SendsAPlainHttp10GetWithTheAgentAndAcceptType) {
    Recorder recorder;
    Fetched f = Fetch("fixture.test", "/plain", recorder.Seam());
    ASSERT_FALSE(f.threw);
    ASSERT_TRUE(f.hasBody);
    EXPECT_EQ(f.body, "hello from the fixture\n");
    EXPECT_EQ(f.count, 23u);

    auto log = FixtureLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].line, "GET /plain HTTP/1.0");
    EXPECT_EQ(log[0].Header("User-Agent"), "Pelorin");
    EXPECT_EQ(log[0].Header("Accept"), "text/*");
    EXPECT_EQ(log[0].Header("Host"), "fixture.test");  // port 80: no port in the header

    ASSERT_EQ(recorder.handles.size(), 3u);
    EXPECT_TRUE(AllClosed(recorder.handles));
}

TEST_F(PageFetcher, GoesToPort80WhateverPortTheWatchedAddressNamed) {
    std::optional<WatchItem> item = ParseWatchItemLine("Port,0,http://fixture.test:8080/plain");
    ASSERT_TRUE(item);
    EXPECT_EQ(item->host, "fixture.test");
    EXPECT_EQ(item->path, "/plain");
    // The fixture listens on port 80 alone, so a body at all proves the port.
    Fetched f = Fetch(item->host, item->path);
    ASSERT_TRUE(f.hasBody);
    EXPECT_EQ(f.body, "hello from the fixture\n");
    auto log = FixtureLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].line, "GET /plain HTTP/1.0");
    EXPECT_EQ(log[0].Header("Host"), "fixture.test");
}

TEST_F(PageFetcher, ThePathGoesOutUnchangedQueryAndJapaneseBytesIncluded) {
    FixturePost("/_ctl/set/q?a=1&b=2", "query page");
    Fetched f = Fetch("pages.test", "/page/q?a=1&b=2");
    ASSERT_TRUE(f.hasBody);
    EXPECT_EQ(f.body, "query page");
    auto log = FixtureLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].line, "GET /page/q?a=1&b=2 HTTP/1.0");
}

TEST_F(PageFetcher, AnEmptyBodyIsAZeroCountAndABlockStartingWithNul) {
    Fetched f = Fetch("fixture.test", "/empty");
    ASSERT_TRUE(f.hasBody);
    EXPECT_EQ(f.count, 0u);
    EXPECT_EQ(f.body, "");
}

TEST_F(PageFetcher, ABodyWithNulBytesComesBackWhole) {
    Fetched f = Fetch("fixture.test", "/nul");
    ASSERT_TRUE(f.hasBody);
    EXPECT_EQ(f.count, 14u);
    EXPECT_EQ(f.body, std::string("ab\0cd\0\0ef<x>\0g", 14));
}

TEST_F(PageFetcher, BodiesOfAnySizeComeBackWholeHoweverManyReadsTheyTake) {
    for (size_t size : {size_t(10239), size_t(10240), size_t(10241), size_t(20480), size_t(6000001)}) {
        Fetched f = Fetch("fixture.test", "/big/" + std::to_string(size));
        ASSERT_TRUE(f.hasBody) << size;
        EXPECT_EQ(f.count, size);
        EXPECT_TRUE(f.body == BigBody(size)) << size;
    }
}

TEST_F(PageFetcher, StatusesOtherThan200GiveNoBodyAndNoThrow) {
    for (const char* path : {"/status/404", "/status/500", "/status/304", "/status/201", "/no/such/page"}) {
        Recorder recorder;
        Fetched f = Fetch("fixture.test", path, recorder.Seam());
        EXPECT_FALSE(f.threw) << path;
        EXPECT_FALSE(f.hasBody) << path;
        EXPECT_EQ(f.count, 0xDEADBEEF) << path << ": the count is only stored with a body";
        EXPECT_EQ(recorder.handles.size(), 3u) << path;
        EXPECT_TRUE(AllClosed(recorder.handles)) << path;
    }
}

TEST_F(PageFetcher, AnUnknownHostFailsAtOnceAndLeavesNoHandleOpen) {
    Recorder recorder;
    Fetched f;
    ASSERT_TRUE(EndsWithin(20000, [&] { f = Fetch("nowhere.invalid", "/plain", recorder.Seam()); }));
    // WinINet resolves the name only when the request is sent, so the connection and request
    // handles open and the failure shows as a missing status: no body.
    EXPECT_TRUE(!f.hasBody && (!f.threw || IsOneOfTheThreeMessages(f.message)));
    EXPECT_FALSE(f.hasBody);
    EXPECT_FALSE(recorder.handles.empty());
    EXPECT_TRUE(AllClosed(recorder.handles));
    EXPECT_TRUE(FixtureLog().empty());
}

TEST_F(PageFetcher, NoConnectionHandleThrowsItsMessageAndClosesTheRoot) {
    Recorder recorder;
    Fetched f = Fetch("", "/plain", recorder.Seam());  // the platform refuses an empty host
    ASSERT_TRUE(f.threw);
    EXPECT_EQ(f.message, kNoConnectionHandleMessage);
    EXPECT_STREQ(f.message, "\x92\xca\x90\x4d\x98\x48\x82\xcc\x8a\x6d\x97\xa7\x82\xc9\x8e\xb8\x94\x73"
                            "\x82\xb5\x82\xdc\x82\xb5\x82\xbd.");
    ASSERT_EQ(recorder.handles.size(), 1u);
    EXPECT_TRUE(AllClosed(recorder.handles));
}

TEST(PageFetcherMessages, AreTheCodePage932Texts) {
    EXPECT_STREQ(kNoRootHandleMessage,
                 "\x83\x43\x83\x93\x83\x5e\x81\x5b\x83\x74\x83\x46\x83\x43\x83\x58\x82\xcc\x8a\x6d"
                 "\x95\xdb\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd.");
    EXPECT_STREQ(kNoRequestHandleMessage,
                 "\x97\x76\x8b\x81\x82\xc9\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd.");
}

TEST_F(PageFetcher, ConnectionAndRequestCarryWindowsDefaultTimeouts) {
    Recorder recorder;
    Fetched f = Fetch("fixture.test", "/plain", recorder.Seam());
    ASSERT_TRUE(f.hasBody);
    ASSERT_EQ(recorder.timeouts.size(), 3u);
    // The connection reads all three back; a request handle reads back only its connect
    // time-out on Wine (its send and receive ones are set all the same, see the silent
    // server below, where a short receive time-out on the request ends the wait).
    EXPECT_EQ(recorder.timeouts[1].connect, 60000u);
    EXPECT_EQ(recorder.timeouts[1].send, 30000u);
    EXPECT_EQ(recorder.timeouts[1].receive, 30000u);
    EXPECT_EQ(recorder.timeouts[2].connect, 60000u);
    FetchTimeouts defaults;
    EXPECT_EQ(defaults.connectMs, 60000u);
    EXPECT_EQ(defaults.sendMs, 30000u);
    EXPECT_EQ(defaults.receiveMs, 30000u);
}

TEST_F(PageFetcher, ASilentServerEndsInATimeoutNotAHang) {
    Recorder recorder;
    FetchSeam seam = recorder.Seam();
    seam.timeouts = {2000, 2000, 2000};
    Fetched f;
    ASSERT_TRUE(EndsWithin(60000, [&] { f = Fetch("fixture.test", "/silent", seam); }))
        << "the fetch hung on a server that never answers";
    EXPECT_FALSE(f.threw);
    EXPECT_FALSE(f.hasBody);
    ASSERT_EQ(recorder.timeouts.size(), 3u);
    EXPECT_EQ(recorder.timeouts[1].receive, 2000u);
    EXPECT_EQ(recorder.timeouts[2].connect, 2000u);
    EXPECT_TRUE(AllClosed(recorder.handles));
}

TEST_F(PageFetcher, AResetConnectionIsAFailedFetch) {
    Recorder recorder;
    Fetched f;
    ASSERT_TRUE(EndsWithin(60000, [&] { f = Fetch("fixture.test", "/reset", recorder.Seam()); }));
    EXPECT_FALSE(f.threw);
    EXPECT_FALSE(f.hasBody);
    EXPECT_TRUE(AllClosed(recorder.handles));
}

TEST_F(PageFetcher, AnAnswerThatIsNotHttpIsAFailedFetch) {
    // WinINet takes it for an HTTP/0.9 answer: status 200 and the bytes after its first line.
    Recorder recorder;
    Fetched f;
    ASSERT_TRUE(EndsWithin(60000, [&] { f = Fetch("fixture.test", "/garbage", recorder.Seam()); }));
    EXPECT_FALSE(f.threw);
    EXPECT_FALSE(f.hasBody);
    EXPECT_TRUE(AllClosed(recorder.handles));
}

// Answers that do not deliver the whole page: each is a failed fetch that ends with the
// answer, not at the deadline, and digests to the empty text. The silent ones end through
// the read time-out, which is what ends them in the product too (30 s, before the 120 s
// deadline). Beside them, the answers whose end is the server's clean close are whole.
TEST_F(PageFetcher, ABrokenAnswerIsAFailedFetchAndAWholeOneIsNot) {
    struct Case {
        const char* path;
        bool silent;
    };
    const Case broken[] = {
        {"/hostile/short-then-close", false},      {"/hostile/short-then-silence", true},
        {"/hostile/reset-mid-body", false},        {"/hostile/reset-without-length", false},
        {"/hostile/reset-before-body", false},     {"/hostile/length-then-close", false},
        {"/hostile/negative-length", false},       {"/hostile/chunked-no-last-chunk", false},
        {"/hostile/chunked-cut-in-chunk", false},  {"/hostile/chunked-reset", false},
        {"/hostile/chunked-then-silence", false},  {"/hostile/chunk-invalid", false},
        {"/hostile/chunk-negative", false},        {"/hostile/status-line-only", false},
        {"/hostile/binary-status", false},         {"/hostile/http09", false},
        {"/hostile/http09-lines", false},          {"/hostile/cr-only", false},
    };
    constexpr DWORD kDeadline = 20000;
    for (const Case& c : broken) {
        Recorder recorder;
        FetchSeam seam = recorder.Seam();
        seam.timeouts.receiveMs = 1000;
        seam.limits.deadlineMs = kDeadline;
        DWORD start = GetTickCount();
        Fetched f = Fetch("fixture.test", c.path, seam);
        EXPECT_LT(GetTickCount() - start, kDeadline / 2) << c.path << ": ended by the deadline";
        EXPECT_FALSE(f.threw) << c.path;
        EXPECT_FALSE(f.hasBody) << c.path << ": " << f.body.size() << " bytes";
        EXPECT_TRUE(AllClosed(recorder.handles)) << c.path;
        if (!c.silent) {
            EXPECT_EQ(DigestPage("fixture.test", Comparison::WholeBody, c.path), "") << c.path;
        }
    }

    const std::pair<const char*, const char*> whole[] = {
        {"/empty", ""},
        {"/hostile/empty-without-length", ""},
        {"/hostile/without-length", "read to the close"},
        {"/hostile/byte-per-segment", "one at a time."},
    };
    for (const auto& [path, body] : whole) {
        Fetched f = Fetch("fixture.test", path);
        ASSERT_TRUE(f.hasBody) << path;
        EXPECT_EQ(f.body, body) << path;
    }
    EXPECT_EQ(DigestPage("fixture.test", Comparison::WholeBody, "/hostile/empty-without-length"),
              "D41D8CD98F00B204E9800998ECF8427E");  // MD5 of nothing
}

// Fails every allocation from the nth on, and any allocation of exactly failSize bytes.
std::atomic<int> allocationsLeft;
std::atomic<size_t> failSize;
void* FailingRealloc(void* block, size_t size) {
    if (allocationsLeft.fetch_sub(1) <= 0 || size == failSize) return nullptr;
    return std::realloc(block, size);
}

TEST_F(PageFetcher, RunningOutOfMemoryForTheBodyIsAFailedFetchWithEveryHandleClosed) {
    // No first buffer, a failed resize early or later, and no block for the finished body.
    for (int allowed : {0, 1, 5, 1000000}) {
        Recorder recorder;
        FetchSeam seam = recorder.Seam();
        seam.reallocate = FailingRealloc;
        allocationsLeft = allowed;
        failSize = 200000 + 2;
        Fetched f = Fetch("fixture.test", "/big/200000", seam);
        EXPECT_FALSE(f.threw) << allowed;
        EXPECT_FALSE(f.hasBody) << allowed;
        EXPECT_EQ(f.count, 0xDEADBEEF) << allowed;
        EXPECT_EQ(recorder.handles.size(), 3u) << allowed;
        EXPECT_TRUE(AllClosed(recorder.handles)) << allowed;
    }
    FetchSeam seam;  // the same allocator, not failing, gives the whole body
    seam.reallocate = FailingRealloc;
    allocationsLeft = 1000000;
    failSize = 0;
    Fetched f = Fetch("fixture.test", "/big/200000", seam);
    ASSERT_TRUE(f.hasBody);
    EXPECT_TRUE(f.body == BigBody(200000));
}

// What no server may do: hold a fetch past its deadline, make it hold more than the body
// limit, or lead it on without end. Every behaviour of the fixture's hostile corpus is
// fetched at once, each on its own thread, with a short deadline and body limit; the
// fixture ends its endless answers after a few seconds, which lets the threads given up
// on at the deadline end too.
constexpr DWORD kShortDeadline = 2000;
constexpr DWORD kSmallLimit = 1 << 20;
std::atomic<size_t> largestBlock;
void* MeasuringRealloc(void* block, size_t size) {
    size_t seen = largestBlock.load();
    while (size > seen && !largestBlock.compare_exchange_weak(seen, size)) {
    }
    return std::realloc(block, size);
}

FetchSeam ShortSeam(Recorder& recorder) {
    FetchSeam seam = recorder.Seam();
    seam.limits.deadlineMs = kShortDeadline;
    seam.limits.maxBodyBytes = kSmallLimit;
    seam.reallocate = MeasuringRealloc;
    return seam;
}

TEST_F(PageFetcher, NoHostileServerHoldsAFetchPastItsDeadlineNorItsMemoryPastTheLimit) {
    FixtureGet("/_ctl/hostile-cap/6");
    largestBlock = 0;
    const size_t n = kHostileCount;
    std::vector<Recorder> recorders(n);
    std::vector<Fetched> results(n);
    std::vector<DWORD> took(n);
    std::vector<std::thread> threads;
    for (size_t i = 0; i < n; ++i) {
        threads.emplace_back([&, i] {
            DWORD start = GetTickCount();
            results[i] = Fetch("fixture.test", kHostile[i].path, ShortSeam(recorders[i]));
            took[i] = GetTickCount() - start;
        });
    }
    for (auto& t : threads) t.join();

    for (size_t i = 0; i < n; ++i) {
        const HostileCase& c = kHostile[i];
        const Fetched& f = results[i];
        // Generous beside the deadline: a hang guard, not a measurement.
        EXPECT_LT(took[i], kShortDeadline + 8000) << c.path;
        EXPECT_FALSE(f.threw) << c.path;
        if (c.outcome == Outcome::Fails) {
            EXPECT_FALSE(f.hasBody) << c.path;
        }
        if (c.outcome == Outcome::Body) {
            EXPECT_TRUE(f.hasBody) << c.path;
            EXPECT_EQ(f.body, c.body) << c.path;
        }
        if (f.hasBody) {
            EXPECT_LE(f.body.size(), kSmallLimit) << c.path;
        }
    }
    EXPECT_LE(largestBlock.load(), kSmallLimit + 10240) << "the body buffer outgrew the limit";

    // Fetches given up at the deadline end once the server lets go, closing every handle.
    EXPECT_TRUE(PumpUntil([] { return AbandonedFetchCount() == 0; }, 60000))
        << AbandonedFetchCount() << " fetches still inside WinINet";
    for (size_t i = 0; i < n; ++i) EXPECT_TRUE(AllClosed(recorders[i].handles)) << kHostile[i].path;
    FixtureGet("/_ctl/hostile-cap/10");
}

TEST_F(PageFetcher, RedirectsAreFollowedWithTheSameRequestAndAtMostTenOfThem) {
    Fetched f = Fetch("fixture.test", "/hostile/redirect-chain/10");
    ASSERT_TRUE(f.hasBody);
    EXPECT_EQ(f.body, "end of the chain");
    auto log = FixtureLog();
    ASSERT_EQ(log.size(), 11u);
    for (size_t i = 0; i < log.size(); ++i) {
        EXPECT_EQ(log[i].line, "GET /hostile/redirect-chain/" + std::to_string(10 - i) + " HTTP/1.0");
        EXPECT_EQ(log[i].Header("User-Agent"), "Pelorin");
        EXPECT_EQ(log[i].Header("Accept"), "text/*");
        EXPECT_EQ(log[i].Header("Host"), "fixture.test");
    }
    FixtureGet("/_ctl/clear");
    EXPECT_FALSE(Fetch("fixture.test", "/hostile/redirect-chain/11").hasBody);
    EXPECT_EQ(FixtureLog().size(), 11u) << "the eleventh redirect is not followed";

    FixtureGet("/_ctl/clear");
    ASSERT_TRUE(Fetch("fixture.test", "/hostile/redirect-other-host").hasBody);
    log = FixtureLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].line, "GET /plain HTTP/1.0");
    EXPECT_EQ(log[1].Header("Host"), "pages.test");
}

TEST_F(PageFetcher, BodiesUpToThirtyTwoMegabytesComeBackAndOneByteMoreFails) {
    EXPECT_EQ(FetchLimits().maxBodyBytes, 32u << 20);
    Fetched whole = Fetch("fixture.test", "/big/" + std::to_string(32 << 20));
    ASSERT_TRUE(whole.hasBody);
    EXPECT_EQ(whole.count, 32u << 20);
    EXPECT_TRUE(whole.body == BigBody(32 << 20));
    whole = Fetched();
    Recorder recorder;
    Fetched over = Fetch("fixture.test", "/big/" + std::to_string((32 << 20) + 1), recorder.Seam());
    EXPECT_FALSE(over.hasBody);
    EXPECT_TRUE(AllClosed(recorder.handles));
}

TEST_F(PageFetcher, AnHttpPageRedirectedToHttpsIsFetchedOnlyWithATrustedCertificate) {
    // The sandbox's CA bundle trusts the certificate on 443, not the one on 4443.
    Recorder trusted;
    Fetched f = Fetch("fixture.test", "/redirect-https/trusted", trusted.Seam());
    ASSERT_TRUE(f.hasBody) << "https with a trusted certificate";
    EXPECT_EQ(f.body, "hello from the fixture\n");
    auto log = FixtureLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].line, "GET /plain HTTP/1.0");
    EXPECT_EQ(trusted.handles.size(), 5u);
    EXPECT_TRUE(AllClosed(trusted.handles));

    Recorder untrusted;
    Fetched g = Fetch("fixture.test", "/redirect-https/untrusted", untrusted.Seam());
    EXPECT_FALSE(g.threw);
    EXPECT_FALSE(g.hasBody) << "a certificate nobody vouches for is a failed fetch";
    EXPECT_TRUE(AllClosed(untrusted.handles));
}

TEST(FetchLimitsSeam, TheEnvironmentCanOnlyShortenTheDeadline) {
    EXPECT_EQ(FetchLimits().deadlineMs, 120000u);
    EXPECT_EQ(FetchLimits().maxRedirects, 10);
    for (auto [text, expected] : {std::pair<const char*, DWORD>{"2500", 2500}, {"0", 120000},
                                  {"999999999", 120000}, {"12x", 120000}, {"", 120000}}) {
        SetEnvironmentVariableA("PELORIN_TEST_FETCH_DEADLINE_MS", text);
        EXPECT_EQ(DefaultFetchLimits().deadlineMs, expected) << text;
    }
    SetEnvironmentVariableA("PELORIN_TEST_FETCH_DEADLINE_MS", nullptr);
    EXPECT_EQ(DefaultFetchLimits().deadlineMs, 120000u);
}

// Last of the fetcher's tests, because what it gives up on keeps running: Wine's WinINet
// spends minutes on 200,000 header lines after the server has sent them all.
TEST_F(PageFetcher, AFetchGivenUpOnHoldsItsPageAddressButNoOtherPage) {
    const int before = AbandonedFetchCount();
    Recorder first, second, other;
    DWORD start = GetTickCount();
    EXPECT_FALSE(Fetch("fixture.test", kManyHeadersPath, ShortSeam(first)).hasBody);
    EXPECT_LT(GetTickCount() - start, kShortDeadline + 8000);
    ASSERT_EQ(AbandonedFetchCount(), before + 1) << "the platform let go of it in time after all";
    // The same page fails at once, without a request; another page is fetched as ever.
    FixtureGet("/_ctl/clear");
    EXPECT_FALSE(Fetch("fixture.test", kManyHeadersPath, ShortSeam(second)).hasBody);
    EXPECT_TRUE(second.handles.empty());
    Fetched plain = Fetch("fixture.test", "/plain", ShortSeam(other));
    EXPECT_TRUE(plain.hasBody);
    EXPECT_TRUE(AllClosed(other.handles));
    auto log = FixtureLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].line, "GET /plain HTTP/1.0");
}

}  // namespace
