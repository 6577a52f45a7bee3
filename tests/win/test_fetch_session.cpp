// Fetches made one after another on one session's thread, against the HTTP fixture: the
// same requests and answers as fetches of their own, on one thread that ends with the
// session; a fetch given up on at its deadline takes that thread with it and the next fetch
// gets a new one, while the deadline, the hold on the page address and the closing of every
// handle stay as they are for a fetch of its own.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <string>
#include <vector>

#include "services/digest_page.h"
#include "services/page_fetcher.h"
#include "support/internet_handles.h"
#include "support/test_env.h"

namespace {

// The thread each handle was opened on, a handle to each such thread, and the handles.
struct ThreadRecorder {
    std::vector<DWORD> threadIds;
    std::vector<HANDLE> threads;  // one per distinct thread, to see it end
    std::vector<HINTERNET> handles;

    ~ThreadRecorder() {
        for (HANDLE thread : threads) CloseHandle(thread);
    }
    static void OnOpened(HINTERNET handle, void* context) {
        auto* self = static_cast<ThreadRecorder*>(context);
        DWORD id = GetCurrentThreadId();
        bool known = false;
        for (DWORD seen : self->threadIds) known = known || seen == id;
        if (!known) {
            HANDLE thread = nullptr;
            DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &thread, SYNCHRONIZE,
                            FALSE, 0);
            self->threads.push_back(thread);
        }
        self->threadIds.push_back(id);
        self->handles.push_back(handle);
    }
    FetchSeam Seam(DWORD deadlineMs = 0) {
        FetchSeam seam;
        seam.onHandleOpened = OnOpened;
        seam.context = this;
        if (deadlineMs) seam.limits.deadlineMs = deadlineMs;
        return seam;
    }
};

struct Answer {
    bool hasBody = false;
    std::string body;
    const char* thrown = nullptr;
};

Answer Fetch(PageFetchSession& session, const std::string& host, const std::string& path, const FetchSeam& seam) {
    Answer answer;
    try {
        DWORD count = 0;
        PageBody body = FetchPage(host, path, &count, seam, &session);
        if (body) {
            answer.hasBody = true;
            answer.body.assign(body.get(), count);
            EXPECT_EQ(body.get()[count], '\0') << "the body is followed by a NUL";
        }
    } catch (const char* message) {
        answer.thrown = message;
    }
    return answer;
}

// A hang guard for a thread that must end, not a timing check.
bool Ends(HANDLE thread) { return WaitForSingleObject(thread, 20000) == WAIT_OBJECT_0; }

class FetchSession : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_FIXTURE();
        FixtureGet("/_ctl/reset");
    }
};

TEST_F(FetchSession, ItsFetchesAnswerAsEverOneAfterAnotherOnOneThreadThatEndsWithIt) {
    FixturePost("/_ctl/set/s1", "first page");
    ThreadRecorder recorder;
    {
        PageFetchSession session;
        Answer plain = Fetch(session, "fixture.test", "/plain", recorder.Seam());
        Answer missing = Fetch(session, "fixture.test", "/status/404", recorder.Seam());
        Answer refused = Fetch(session, "", "/plain", recorder.Seam());  // the platform refuses an empty host
        Answer page = Fetch(session, "pages.test", "/page/s1", recorder.Seam());

        EXPECT_TRUE(plain.hasBody);
        EXPECT_EQ(plain.body, "hello from the fixture\n");
        EXPECT_FALSE(missing.hasBody);
        EXPECT_EQ(missing.thrown, nullptr);
        EXPECT_EQ(refused.thrown, kNoConnectionHandleMessage) << "the thread's throw reaches the caller";
        EXPECT_TRUE(page.hasBody);
        EXPECT_EQ(page.body, "first page");
        EXPECT_TRUE(AllClosed(recorder.handles));

        ASSERT_EQ(recorder.threads.size(), 1u) << "one thread for the session's fetches";
        EXPECT_NE(recorder.threadIds.front(), GetCurrentThreadId());
        EXPECT_EQ(WaitForSingleObject(recorder.threads.front(), 0), WAIT_TIMEOUT) << "it waits for the next";
    }
    EXPECT_TRUE(Ends(recorder.threads.front())) << "the session's end lets its thread go";

    auto log = FixtureLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].line, "GET /plain HTTP/1.0");
    EXPECT_EQ(log[1].line, "GET /status/404 HTTP/1.0");
    EXPECT_EQ(log[2].line, "GET /page/s1 HTTP/1.0");
    for (const LoggedRequest& request : log) {
        EXPECT_EQ(request.Header("User-Agent"), "Pelorin");
        EXPECT_EQ(request.Header("Accept"), "text/*");
    }
}

TEST_F(FetchSession, DigestsThroughASessionAreTheDigestsOfFetchesOfTheirOwn) {
    FixturePost("/_ctl/set/d1", "abc<b>def</b>");
    std::string alone = DigestPage("pages.test", Comparison::Markup, "/page/d1");
    PageFetchSession session;
    EXPECT_EQ(DigestPage("pages.test", Comparison::Markup, "/page/d1", &session), alone);
    EXPECT_EQ(DigestPage("pages.test", Comparison::WholeBody, "/page/missing", &session), "");
    EXPECT_EQ(alone.size(), 32u);
}

TEST_F(FetchSession, AFetchGivenUpOnTakesItsThreadAndTheNextFetchGetsAnother) {
    const DWORD deadline = 1500;
    const int before = AbandonedFetchCount();
    FixturePost("/_ctl/set/held", "held page");
    FixtureGet("/_ctl/hold/held");
    ThreadRecorder held, plain, again;
    {
        PageFetchSession session;
        DWORD start = GetTickCount();
        Answer first = Fetch(session, "pages.test", "/page/held", held.Seam(deadline));
        EXPECT_LT(GetTickCount() - start, deadline + 8000) << "the caller waited past the deadline";
        EXPECT_FALSE(first.hasBody);
        EXPECT_EQ(first.thrown, nullptr);
        ASSERT_EQ(AbandonedFetchCount(), before + 1);

        Answer next = Fetch(session, "fixture.test", "/plain", plain.Seam(deadline));
        EXPECT_TRUE(next.hasBody) << "another page is fetched as ever";
        ASSERT_EQ(held.threads.size(), 1u);
        ASSERT_EQ(plain.threads.size(), 1u);
        EXPECT_NE(plain.threadIds.front(), held.threadIds.front()) << "the held thread was given another fetch";
        EXPECT_TRUE(AllClosed(plain.handles));

        // The held page's address stays held: it fails at once, without a request.
        Answer heldAgain = Fetch(session, "pages.test", "/page/held", again.Seam(deadline));
        EXPECT_FALSE(heldAgain.hasBody);
        EXPECT_TRUE(again.handles.empty());
    }
    EXPECT_TRUE(Ends(plain.threads.front())) << "the session's end lets its idle thread go";
    EXPECT_EQ(WaitForSingleObject(held.threads.front(), 0), WAIT_TIMEOUT) << "still held by the server";

    FixtureGet("/_ctl/release/held");
    EXPECT_TRUE(Ends(held.threads.front())) << "the given-up thread ends once the server lets go";
    EXPECT_TRUE(AllClosed(held.handles)) << "and closes its own handles";
    EXPECT_EQ(AbandonedFetchCount(), before);
}

}  // namespace
