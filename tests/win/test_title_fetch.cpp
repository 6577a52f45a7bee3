// The title the settings dialog proposes for a page, from real pages served by the HTTP
// fixture and decoded by Wine's own code pages: the title in each Japanese encoding, made fit
// for an item line of pelorin.ini, the host name where the page offers none, and the newest
// of several fetches alone reaching the window, however the window or the fetcher go.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "settings/title_fetch.h"
#include "support/test_env.h"

namespace {

constexpr UINT kAnswer = WM_APP + 7;
constexpr char kHost[] = "fixture.test";  // the fixture's address, by the sandbox's hosts file
constexpr size_t kRoomy = 200;

std::string Cp932(const std::wstring& text) {
    if (text.empty()) return std::string();
    int length = WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), &bytes[0], length, nullptr, nullptr);
    return bytes;
}

// The page /page/NAME with these bytes.
std::string Serve(const std::string& name, const std::string& body) {
    EXPECT_EQ(FixturePost("/_ctl/set/" + name, body).status, 200);
    return "/page/" + name;
}

// A literal's bytes, NULs included.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

int Requests(const std::string& name) { return std::atoi(FixtureGet("/_ctl/count/" + name).body.c_str()); }

// A window of the test thread that records the tickets of the answers posted to it.
class Receiver {
public:
    Receiver() {
        WNDCLASSA wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "TitleFetchReceiver";
        RegisterClassA(&wc);  // fails harmlessly once registered
        window_ = CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~Receiver() { Destroy(); }
    void Destroy() {
        if (window_) DestroyWindow(window_);
        window_ = nullptr;
    }
    HWND window() const { return window_; }
    const std::vector<WPARAM>& tickets() const { return tickets_; }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<Receiver*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message == kAnswer && self) {
            EXPECT_EQ(lParam, 0);
            self->tickets_.push_back(wParam);
            return 0;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }
    HWND window_ = nullptr;
    std::vector<WPARAM> tickets_;
};

// Every fetch thread has ended, so everything that will be posted has been, and the thread's
// messages are handled. A hang guard, not a timing check.
bool AllFetchesEnded() {
    bool ended = PumpUntil([] { return TitleFetch::RunningThreads() == 0; }, 60000);
    PumpMessages(50);
    return ended;
}

class TitleFetchTest : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_FIXTURE();
        FixtureGet("/_ctl/reset");
    }
    void TearDown() override {
        FixtureGet("/_ctl/reset");  // lets any held request go
        EXPECT_TRUE(AllFetchesEnded());
    }

    // What one fetch of path proposes, through the window as the dialog gets it.
    TitleProposal Propose(const std::string& path, size_t maxTitleBytes = kRoomy, const std::string& host = kHost) {
        TitleFetch fetch(maxTitleBytes);
        Receiver receiver;
        UINT_PTR ticket = fetch.Start(receiver.window(), kAnswer, host, path);
        EXPECT_NE(ticket, 0u);
        TitleProposal proposal;
        proposal.title = L"(no answer)";
        if (!PumpUntil([&] { return !receiver.tickets().empty(); }, 60000)) return proposal;
        EXPECT_EQ(receiver.tickets(), std::vector<WPARAM>{ticket});
        EXPECT_TRUE(fetch.Take(ticket, &proposal));
        TitleProposal again;
        EXPECT_FALSE(fetch.Take(ticket, &again)) << "an answer is taken once";
        return proposal;
    }
};

struct PageCase {
    const char* what;
    std::string body;
    std::string title;  // code page 932 bytes
};

TEST_F(TitleFetchTest, TitlesInEachJapaneseEncodingArriveInCodePage932) {
    const std::string nihongo = "\x93\xFA\x96\x7B\x8C\xEA";  // 日本語
    const PageCase cases[] = {
        {"utf-8 by meta", "<html><head><meta charset=\"utf-8\"><title>\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E</title>",
         nihongo},
        {"utf-8 by mark", "\xEF\xBB\xBF<title>\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E</title>", nihongo},
        {"utf-8 undeclared", "<TITLE lang=ja>\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E</TITLE>", nihongo},
        {"shift_jis by http-equiv",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"
         "<title>\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x79\x81\x5B\x83\x57</title>",
         nihongo + "\x82\xCC\x83\x79\x81\x5B\x83\x57"},  // 日本語のページ
        {"shift_jis undeclared", "<title>\x93\xFA\x96\x7B\x8C\xEA</title>", nihongo},
        // 日本語〜: EUC-JP's table gives WAVE DASH, code page 932 has it as FULLWIDTH TILDE.
        {"euc-jp", "<meta charset=euc-jp><title>\xC6\xFC\xCB\xDC\xB8\xEC\xA1\xC1</title>", nihongo + "\x81\x60"},
        {"iso-2022-jp",
         "<meta http-equiv=content-type content='text/html; charset=iso-2022-jp'>"
         "<title>\x1B$BF|K\\8l\x1B(B \x1B(I\x31\x1B(B</title>",
         nihongo + " \xB1"},  // 日本語 ｱ
        {"utf-16le by mark",
         Bytes("\xFF\xFE<\0t\0i\0t\0l\0e\0>\0\xE5\x65\x2C\x67\x9E\x8A<\0/\0t\0i\0t\0l\0e\0>\0"), nihongo},
        {"windows-1252", "<meta charset=iso-8859-1><title>2\xD7" "3</title>", "2\x81\x7E" "3"},  // 2×3
    };
    int n = 0;
    for (const PageCase& c : cases) {
        TitleProposal proposal = Propose(Serve("enc" + std::to_string(n++), c.body));
        EXPECT_TRUE(proposal.reached) << c.what;
        EXPECT_EQ(Cp932(proposal.title), c.title) << c.what;
    }
}

TEST_F(TitleFetchTest, CommasReferencesAndSpacesAreMadeFitForAnItemLine) {
    const PageCase cases[] = {
        {"commas and references",
         "<title>\n  A, B &amp; C &lt;D&gt;\t&#x65E5;&hellip; &#26412;&#44;E  </title>",
         "A\x81\x43 B & C <D> \x93\xFA\x81\x63 \x96\x7B\x81\x43" "E"},
        {"no-break spaces and a dash", "<title>a&nbsp;&nbsp;&mdash;&nbsp;b</title>", "a \x81\x5C b"},
    };
    int n = 0;
    for (const PageCase& c : cases) {
        TitleProposal proposal = Propose(Serve("text" + std::to_string(n++), c.body));
        EXPECT_TRUE(proposal.reached) << c.what;
        EXPECT_EQ(Cp932(proposal.title), c.title) << c.what;
        EXPECT_EQ(proposal.title.find(L','), std::wstring::npos) << c.what;
    }
}

TEST_F(TitleFetchTest, PagesOfferingNoStorableTitleProposeTheHostName) {
    const PageCase cases[] = {
        {"a character without a code page 932 form", "<meta charset=utf-8><title>Caf\xC3\xA9</title>", kHost},
        {"an emoji", "<meta charset=utf-8><title>\xE6\x97\xA5\xF0\x9F\x98\x80</title>", kHost},
        {"a reference to one", "<title>&copy; 2024</title>", kHost},
        {"no title", "<html><head></head><body>no title</body></html>", kHost},
        {"an empty title", "<title> \r\n </title>", kHost},
        {"a title never closed", "<title>forever", kHost},
        {"bytes invalid in the declared set", "<meta charset=utf-8><title>\x93\xFA\x96\x7B</title>", kHost},
        {"invalid shift_jis", "<meta charset=shift_jis><title>\x93</title>", kHost},
        {"a set Wine lacks", "<meta charset=gb18030><title>\x81\x30\x81\x30</title>", kHost},
        {"broken iso-2022-jp", "<meta charset=iso-2022-jp><title>\x1B$(Dxx</title>", kHost},
        {"NULs and binary", Bytes("<title>\0\x01\xFF\xFE"), kHost},
    };
    int n = 0;
    for (const PageCase& c : cases) {
        TitleProposal proposal = Propose(Serve("none" + std::to_string(n++), c.body));
        EXPECT_TRUE(proposal.reached) << c.what;
        EXPECT_EQ(Cp932(proposal.title), c.title) << c.what;
    }
    // The fixture's own odd pages: NULs in the body, a big binary one, an empty one.
    for (const char* path : {"/nul", "/big/3000000", "/empty"}) {
        TitleProposal proposal = Propose(path);
        EXPECT_TRUE(proposal.reached) << path;
        EXPECT_EQ(Cp932(proposal.title), kHost) << path;
    }
}

TEST_F(TitleFetchTest, PagesNotReachedProposeTheHostNameAndSaySo) {
    for (const char* path : {"/page/missing", "/status/404", "/status/500", "/reset"}) {
        TitleProposal proposal = Propose(path);
        EXPECT_FALSE(proposal.reached) << path;
        EXPECT_EQ(Cp932(proposal.title), kHost) << path;
    }
    TitleProposal nowhere = Propose("/", kRoomy, "no-such-host.test");
    EXPECT_FALSE(nowhere.reached);
    EXPECT_EQ(Cp932(nowhere.title), "no-such-host.test");
    TitleProposal noHost = Propose("/", kRoomy, "");
    EXPECT_FALSE(noHost.reached);
    EXPECT_EQ(noHost.title, L"");
}

TEST_F(TitleFetchTest, ALongTitleIsCutAtACharacterBoundaryToFit) {
    std::string kanji;  // 日 thirty times
    for (int i = 0; i < 30; ++i) kanji += "\x93\xFA";
    std::string path = Serve("long", "<meta charset=shift_jis><title>a" + kanji + "</title>");
    struct Case {
        size_t max;
        std::string title;
    } cases[] = {
        {61, "a" + kanji},             // all of it
        {60, "a" + kanji.substr(0, 58)},  // the last 日 would end past the limit
        {10, "a" + kanji.substr(0, 8)},
        {2, "a"},
        {1, "a"},
    };
    for (const Case& c : cases) {
        TitleProposal proposal = Propose(path, c.max);
        EXPECT_TRUE(proposal.reached);
        std::string bytes = Cp932(proposal.title);
        EXPECT_EQ(bytes, c.title) << c.max;
        EXPECT_LE(bytes.size(), c.max);
    }
    // A title far longer than any item line, whose first 64 KiB end inside a character.
    std::string endless;
    for (int i = 0; i < 23334; ++i) endless += "\xE6\x97\xA5";  // 日 in UTF-8
    std::string kanji100;
    for (int i = 0; i < 100; ++i) kanji100 += "\x93\xFA";
    EXPECT_EQ(Cp932(Propose(Serve("endless", "<meta charset=utf-8><title>" + endless + "</title>")).title), kanji100);
    // A cut that leaves a space at the end takes it away; the host name is cut alike.
    EXPECT_EQ(Cp932(Propose(Serve("spaced", "<title>ab cd</title>"), 3).title), "ab");
    EXPECT_EQ(Cp932(Propose("/page/missing", 7).title), "fixture");
}

TEST_F(TitleFetchTest, OnlyTheNewestStartsAnswerReachesTheWindow) {
    std::string first = Serve("first", "<title>First</title>");
    std::string second = Serve("second", "<title>Second</title>");
    FixtureGet("/_ctl/hold/first");
    TitleFetch fetch(kRoomy);
    Receiver receiver;
    UINT_PTR older = fetch.Start(receiver.window(), kAnswer, kHost, first);
    ASSERT_TRUE(PumpUntil([] { return Requests("first") > 0; }, 30000));
    UINT_PTR newer = fetch.Start(receiver.window(), kAnswer, kHost, second);
    EXPECT_NE(older, newer);
    ASSERT_TRUE(PumpUntil([&] { return !receiver.tickets().empty(); }, 60000));
    TitleProposal proposal;
    EXPECT_FALSE(fetch.Take(older, &proposal));
    ASSERT_TRUE(fetch.Take(newer, &proposal));
    EXPECT_EQ(proposal.title, L"Second");

    // The first page answers after all: nothing more arrives, nothing is there to take.
    FixtureGet("/_ctl/release/first");
    ASSERT_TRUE(AllFetchesEnded());
    EXPECT_EQ(receiver.tickets(), std::vector<WPARAM>{newer});
    EXPECT_FALSE(fetch.Take(older, &proposal));
    EXPECT_FALSE(fetch.Take(newer, &proposal));
}

TEST_F(TitleFetchTest, AFetchOutlivingItsFetcherOrItsWindowPostsNothing) {
    std::string path = Serve("held", "<title>Late</title>");
    FixtureGet("/_ctl/hold/held");

    // The fetcher goes first, without waiting for the fetch.
    Receiver receiver;
    {
        TitleFetch fetch(kRoomy);
        fetch.Start(receiver.window(), kAnswer, kHost, path);
        ASSERT_TRUE(PumpUntil([] { return Requests("held") > 0; }, 30000));
    }
    // Cancelled, as the dialog does when its window goes.
    TitleFetch cancelled(kRoomy);
    UINT_PTR ticket = cancelled.Start(receiver.window(), kAnswer, kHost, path);
    ASSERT_TRUE(PumpUntil([] { return Requests("held") > 1; }, 30000));
    cancelled.Cancel();
    // A window destroyed with no word to its fetcher: the post fails, the answer stays with
    // the fetcher and goes with it.
    TitleFetch orphaned(kRoomy);
    Receiver gone;
    UINT_PTR orphanTicket = orphaned.Start(gone.window(), kAnswer, kHost, path);
    ASSERT_TRUE(PumpUntil([] { return Requests("held") > 2; }, 30000));
    gone.Destroy();

    FixtureGet("/_ctl/release/held");
    ASSERT_TRUE(AllFetchesEnded());
    EXPECT_TRUE(receiver.tickets().empty());
    TitleProposal proposal;
    EXPECT_FALSE(cancelled.Take(ticket, &proposal));
    ASSERT_TRUE(orphaned.Take(orphanTicket, &proposal));
    EXPECT_EQ(proposal.title, L"Late");

    // The same fetchers still serve a new Start.
    UINT_PTR again = cancelled.Start(receiver.window(), kAnswer, kHost, path);
    ASSERT_TRUE(PumpUntil([&] { return !receiver.tickets().empty(); }, 60000));
    EXPECT_EQ(receiver.tickets(), std::vector<WPARAM>{again});
}

TEST_F(TitleFetchTest, AServerThatNeverAnswersEndsAtTheFetchersDeadline) {
    // The fetcher's own limits, with the deadline shortened as the band's tests shorten it.
    ASSERT_TRUE(SetEnvironmentVariableA("PELORIN_TEST_FETCH_DEADLINE_MS", "1500"));
    TitleProposal proposal = Propose("/silent");
    SetEnvironmentVariableA("PELORIN_TEST_FETCH_DEADLINE_MS", nullptr);
    EXPECT_FALSE(proposal.reached);
    EXPECT_EQ(Cp932(proposal.title), kHost);
}

}  // namespace
