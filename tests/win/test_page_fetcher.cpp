// The fetcher against the HTTP fixture: what goes on the wire, what comes back, and that
// every path closes its handles and ends in bounded time.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "services/page_fetcher.h"
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
    // None of the recorded handles is still a WinINet handle.
    bool AllClosed() const {
        for (HINTERNET h : handles) {
            DWORD type = 0, size = sizeof type;
            if (InternetQueryOptionA(h, INTERNET_OPTION_HANDLE_TYPE, &type, &size)) return false;
        }
        return true;
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
    EXPECT_TRUE(recorder.AllClosed());
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
        EXPECT_TRUE(recorder.AllClosed()) << path;
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
    EXPECT_TRUE(recorder.AllClosed());
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
    EXPECT_TRUE(recorder.AllClosed());
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
    EXPECT_TRUE(recorder.AllClosed());
}

TEST_F(PageFetcher, AResetConnectionIsAFailedFetch) {
    Recorder recorder;
    Fetched f;
    ASSERT_TRUE(EndsWithin(60000, [&] { f = Fetch("fixture.test", "/reset", recorder.Seam()); }));
    EXPECT_FALSE(f.threw);
    EXPECT_FALSE(f.hasBody);
    EXPECT_TRUE(recorder.AllClosed());
}

TEST_F(PageFetcher, AnAnswerThatIsNotHttpNeverCrashesNorInventsContent) {
    // WinINet takes an answer without a status line for an HTTP/0.9 one, status 200, after
    // dropping its first line; nothing the fetcher can ask tells it from a header-less
    // HTTP/1.0 answer. What comes back is then bytes the server sent, and nothing else.
    const std::string sent("\x00\xff garbage, not HTTP \r\n\r\n\x01\x02", 27);
    Recorder recorder;
    Fetched f;
    ASSERT_TRUE(EndsWithin(60000, [&] { f = Fetch("fixture.test", "/garbage", recorder.Seam()); }));
    EXPECT_FALSE(f.threw);
    if (f.hasBody) {
        ASSERT_LE(f.body.size(), sent.size());
        EXPECT_EQ(sent.substr(sent.size() - f.body.size()), f.body);
    }
    EXPECT_TRUE(recorder.AllClosed());
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
        EXPECT_TRUE(recorder.AllClosed()) << allowed;
    }
    FetchSeam seam;  // the same allocator, not failing, gives the whole body
    seam.reallocate = FailingRealloc;
    allocationsLeft = 1000000;
    failSize = 0;
    Fetched f = Fetch("fixture.test", "/big/200000", seam);
    ASSERT_TRUE(f.hasBody);
    EXPECT_TRUE(f.body == BigBody(200000));
}

}  // namespace
