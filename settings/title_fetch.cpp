#include "settings/title_fetch.h"

#include <atomic>
#include <mutex>
#include <thread>
#include <utility>

#include "common/mbcs.h"
#include "services/charset_win.h"
#include "services/page_fetcher.h"
#include "settings/page_title.h"

namespace {

// Titles are kept in pelorin.ini in this code page, whatever the system's is.
constexpr UINT kItemLineCodePage = 932;

// Far more than an item line holds: of a longer title only this much is decoded (an even
// number, so that UTF-16 is cut between units).
constexpr size_t kMaxTitleElementBytes = 64 * 1024;

std::atomic<int> runningThreads{0};

// Code page 932's form of the text; false when a character has none. The C1 controls are
// refused too: Wine gives U+0080 a byte of its own, which no Japanese text means.
bool ToItemLineBytes(const std::u16string& text, std::string* bytes) {
    for (char16_t c : text) {
        if (c >= 0x80 && c <= 0x9F) return false;
    }
    std::wstring wide(text.begin(), text.end());
    int length = static_cast<int>(wide.size());
    bytes->assign(wide.size() * 2, '\0');
    BOOL usedDefault = FALSE;
    int written = WideCharToMultiByte(kItemLineCodePage, WC_NO_BEST_FIT_CHARS, wide.data(), length, &(*bytes)[0],
                                      static_cast<int>(bytes->size()), nullptr, &usedDefault);
    if (written <= 0 || usedDefault) return false;
    bytes->resize(static_cast<size_t>(written));
    return true;
}

// The text cut to its first characters whose code page 932 form fits maxBytes, and of the
// spaces the cut left at its end. Every character here has a form of one or two bytes (no
// surrogate has one), so the bytes that fit count the characters that do.
std::u16string CutToFit(const std::u16string& text, const std::string& bytes, size_t maxBytes) {
    size_t used = 0, characters = 0;
    while (used < bytes.size()) {
        size_t step = IsCp932LeadByte(static_cast<unsigned char>(bytes[used])) ? 2 : 1;
        if (used + step > maxBytes) break;
        used += step;
        ++characters;
    }
    std::u16string cut = text.substr(0, characters);
    while (!cut.empty() && cut.back() == u' ') cut.pop_back();
    return cut;
}

// The text as it can stand in an item line within maxBytes (empty when not one character
// fits); false when a character has no code page 932 form.
bool FitForItemLine(const std::u16string& text, size_t maxBytes, std::wstring* fitted) {
    std::string bytes;
    if (!ToItemLineBytes(text, &bytes)) return false;
    std::u16string cut = CutToFit(text, bytes, maxBytes);
    fitted->assign(cut.begin(), cut.end());
    return true;
}

// The page's title, decoded and tidied; false when it offers none.
bool ReadTitle(const char* body, size_t count, std::u16string* text) {
    PageTitle title = FindPageTitle(body, count);
    if (!title.found) return false;
    int codePage = TitleCodePage(title);
    bool shortened = title.bytes.size() > kMaxTitleElementBytes;
    if (shortened) title.bytes.resize(kMaxTitleElementBytes);
    std::u16string decoded;
    // The shortening may have cut a character (at most 3 bytes of UTF-8 or of an escape): the
    // bytes of it that are left go too.
    for (int dropped = 0; !DecodeStrictly(codePage, title.bytes, &decoded); ++dropped) {
        if (!shortened || dropped == 3) return false;
        title.bytes.pop_back();
    }
    *text = CleanTitleText(decoded);
    return !text->empty();
}

// The host name as typed (code page 932 bytes), fitted like a title; empty when it cannot be.
std::wstring HostTitle(const std::string& host, size_t maxBytes) {
    std::u16string text;
    std::wstring fitted;
    if (!DecodeStrictly(kItemLineCodePage, host, &text) || !FitForItemLine(text, maxBytes, &fitted)) return std::wstring();
    return fitted;
}

TitleProposal Propose(const std::string& host, const std::string& path, size_t maxTitleBytes) {
    TitleProposal proposal;
    PageBody body;
    DWORD count = 0;
    if (!host.empty()) {
        try {
            body = FetchPage(host, path, &count);
        } catch (const char*) {
            body.reset();  // no handle to be had: the page was not reached
        }
    }
    proposal.reached = body != nullptr;
    proposal.title = body ? ProposedTitle(body.get(), count, host, maxTitleBytes) : HostTitle(host, maxTitleBytes);
    return proposal;
}

}  // namespace

std::wstring ProposedTitle(const char* body, size_t count, const std::string& host, size_t maxTitleBytes) {
    std::u16string text;
    std::wstring fitted;
    if (ReadTitle(body, count, &text) && FitForItemLine(text, maxTitleBytes, &fitted) && !fitted.empty()) {
        return fitted;
    }
    return HostTitle(host, maxTitleBytes);
}

// What the dialog's thread and the fetch threads share; each holds a reference.
struct TitleFetch::Shared {
    std::mutex lock;       // guards everything below
    HWND window = nullptr;  // null once cancelled
    UINT message = 0;
    UINT_PTR newest = 0;    // the ticket of the newest Start; Cancel moves it on too
    bool ready = false;     // proposal holds the newest ticket's answer, not yet taken
    TitleProposal proposal;

    // A fetch's answer: kept and announced when it is still the one wanted, else dropped. The
    // post happens under the lock, so that once Cancel has returned nothing more is posted;
    // PostMessage does not wait for the window's thread.
    void Answer(UINT_PTR ticket, TitleProposal answer) {
        std::lock_guard<std::mutex> hold(lock);
        if (ticket != newest || !window) return;
        proposal = std::move(answer);
        ready = true;
        PostMessageA(window, message, ticket, 0);
    }
};

TitleFetch::TitleFetch(size_t maxTitleBytes)
    : shared_(std::make_shared<Shared>()), maxTitleBytes_(maxTitleBytes) {}

TitleFetch::~TitleFetch() { Cancel(); }

UINT_PTR TitleFetch::Start(HWND window, UINT message, std::string host, std::string path) {
    UINT_PTR ticket;
    {
        std::lock_guard<std::mutex> hold(shared_->lock);
        ticket = ++shared_->newest;
        shared_->window = window;
        shared_->message = message;
        shared_->ready = false;
        shared_->proposal = TitleProposal();
    }
    size_t maxBytes = maxTitleBytes_;
    std::shared_ptr<Shared> shared = shared_;
    ++runningThreads;
    try {
        std::thread([shared, ticket, host, path, maxBytes]() {
            // Nothing may leave a thread's function; out of memory, the dialog just gets no answer.
            try {
                shared->Answer(ticket, Propose(host, path, maxBytes));
            } catch (...) {
            }
            --runningThreads;
        }).detach();
    } catch (...) {
        // No thread to be had: the page cannot be reached, and the dialog hears so at once.
        --runningThreads;
        TitleProposal unreached;
        unreached.title = HostTitle(host, maxBytes);
        shared_->Answer(ticket, std::move(unreached));
    }
    return ticket;
}

bool TitleFetch::Take(WPARAM ticket, TitleProposal* proposal) {
    std::lock_guard<std::mutex> hold(shared_->lock);
    if (!shared_->ready || ticket != shared_->newest) return false;
    *proposal = std::move(shared_->proposal);
    shared_->proposal = TitleProposal();
    shared_->ready = false;
    return true;
}

void TitleFetch::Cancel() {
    std::lock_guard<std::mutex> hold(shared_->lock);
    ++shared_->newest;
    shared_->window = nullptr;
    shared_->ready = false;
    shared_->proposal = TitleProposal();
}

int TitleFetch::RunningThreads() { return runningThreads.load(); }
