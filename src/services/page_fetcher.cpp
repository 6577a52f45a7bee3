#include "services/page_fetcher.h"

#include <process.h>

#include <new>

#include <algorithm>
#include <cstring>
#include <vector>

#include "common/unique_handle.h"

const char kNoRootHandleMessage[] = "インターフェイスの確保に失敗しました.";
const char kNoConnectionHandleMessage[] = "通信路の確立に失敗しました.";
const char kNoRequestHandleMessage[] = "要求に失敗しました.";

// How a fetch is held to its deadline.
//
// The platform calls run on a thread of their own, and the caller waits for that thread's
// answer no longer than the deadline. Closing a request from another thread is how Windows
// cancels a blocked call, but Wine's WinINet keeps a request, and the call blocked in it,
// alive for as long as the call runs: a server trickling its headers outlives the closing
// of all three handles, a changed receive time-out is not looked at again, and
// CancelSynchronousIo finds nothing to cancel (all measured under Wine 8). A handle closed
// from outside could also be reused by the time its owner next passes it to WinINet, so
// nothing here closes a handle but the thread that opened it. At the deadline the caller
// gives the fetch up; the thread, once the platform lets go of it (the server stops, or a
// read times out), sees that, closes its handles, frees what it read and ends. Between
// reads it looks at the deadline itself, so a body that never ends stops there too.
//
// A thread given up on keeps the library loaded (a loader reference of its own, given back
// as it exits) but not the lock count, so the host may let the library go. There is at
// most one such thread per page address: the page of a server that holds one forever fails
// at once on later passes instead of costing another thread and socket each time, and other
// pages are fetched as ever.
//
// Starting and ending a thread costs about a millisecond under Wine, and its start and end
// hold the loader's lock that the UI thread's painting may wait for. A caller that fetches
// page after page (the worker's pass) therefore gives FetchPage a PageFetchSession: its
// fetches run one after another on one thread, which waits between them. A fetch given up
// on takes that thread with it, exactly as above, and the session's next fetch starts a new
// one; the session's end lets its idle thread go.

namespace {

constexpr size_t kReadChunk = 10240;
const char kDeadlineVariable[] = "PELORIN_TEST_FETCH_DEADLINE_MS";

}  // namespace

// What the caller and the fetch thread share; each holds one reference. The caller reads
// the answer only after `done` is set and `finished` is seen under the lock; once it has
// set `abandoned`, the thread calls none of the seam's hooks any more.
struct FetchJob {
    std::string address;  // the page address, which names the job among the abandoned
    std::string host;
    std::string path;
    FetchSeam seam;
    DWORD start = GetTickCount();
    HMODULE module = nullptr;  // the thread's loader reference
    HANDLE done = nullptr;
    CRITICAL_SECTION lock;
    bool finished = false;
    bool abandoned = false;
    PageBody body;
    DWORD count = 0;
    std::string contentType;  // of the last answer read, the one whose body is kept
    const char* thrown = nullptr;

    FetchJob() { InitializeCriticalSection(&lock); }
    ~FetchJob() {
        if (done) CloseHandle(done);
        DeleteCriticalSection(&lock);
    }
    void Release() {
        if (InterlockedDecrement(&refs_) == 0) delete this;
    }
    bool Abandoned() {
        EnterCriticalSection(&lock);
        bool value = abandoned;
        LeaveCriticalSection(&lock);
        return value;
    }
    bool PastDeadline() { return Abandoned() || GetTickCount() - start >= seam.limits.deadlineMs; }

private:
    volatile LONG refs_ = 2;
};

namespace {

// Page addresses whose fetch was given up on while its thread is still inside WinINet.
SRWLOCK abandonedLock = SRWLOCK_INIT;
std::vector<std::string> abandoned;

bool MayStart(const std::string& address) {
    AcquireSRWLockShared(&abandonedLock);
    bool may = std::find(abandoned.begin(), abandoned.end(), address) == abandoned.end();
    ReleaseSRWLockShared(&abandonedLock);
    return may;
}

void Forget(const std::string& address) {
    AcquireSRWLockExclusive(&abandonedLock);
    auto found = std::find(abandoned.begin(), abandoned.end(), address);
    if (found != abandoned.end()) abandoned.erase(found);
    ReleaseSRWLockExclusive(&abandonedLock);
}

void SetTimeouts(HINTERNET handle, const FetchTimeouts& timeouts) {
    DWORD connect = timeouts.connectMs, send = timeouts.sendMs, receive = timeouts.receiveMs;
    InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &send, sizeof send);
    InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
}

void* Reallocate(void* block, size_t size) { return std::realloc(block, size); }

void Opened(FetchJob& job, HINTERNET handle) {
    if (!job.seam.onHandleOpened) return;
    EnterCriticalSection(&job.lock);
    if (!job.abandoned) job.seam.onHandleOpened(handle, job.seam.context);
    LeaveCriticalSection(&job.lock);
}

// What an answer's headers say of where its body ends: at its Content-Length, or where the
// server closes the connection (HTTP/1.0's "read to the close").
struct Framing {
    bool hasLength = false;
    size_t length = 0;
};

// Whether the answer began with a real HTTP/1.x status line and has at least one header.
// Wine's WinINet takes an answer whose first line is not a status line for HTTP/0.9: it
// drops that line, reports "HTTP/1.0 200 OK" with no header at all and hands the rest over
// as the body (an answer without any line end has no status at all). A close right after the
// status line looks the same. Every real server sends a header, so an answer without one is
// taken for one of those; the raw headers are the one place that tells (measured under Wine
// 8: the version and status text are the made-up ones).
bool HasStatusLineAndHeaders(HINTERNET request) {
    DWORD size = 0;
    if (HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &size, nullptr) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return false;
    }
    // Wine's ANSI query gives the size in characters, and one of code page 932 may take two
    // bytes.
    std::string raw(2 * size + 2, '\0');
    size = static_cast<DWORD>(raw.size());
    if (!HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, &raw[0], &size, nullptr)) return false;
    raw.resize(std::min<size_t>(size, raw.size()));
    if (raw.compare(0, 7, "HTTP/1.") != 0 || raw.size() < 9 || raw[7] < '0' || raw[7] > '9' || raw[8] != ' ') {
        return false;
    }
    size_t end = raw.find("\r\n");
    return end != std::string::npos && end + 2 < raw.size() && raw[end + 2] != '\r';
}

// The framing of a 200 answer, or false when the answer cannot be read whole for certain:
// - no real status line (above);
// - any Transfer-Encoding. HTTP/1.1 forbids it in answer to an HTTP/1.0 request, and WinINet
//   decodes chunks without telling a body cut short from a whole one: Wine's hands over the
//   chunks that came, then the end of the data, both when the connection closes before the
//   last (zero) chunk and when a chunk size is not a number (it skips what is not a hex
//   digit, so "zz" is an empty last chunk);
// - a Content-Length that is not a number, which leaves the end unknown, or one over the
//   body limit, which the body would pass.
bool ReadFraming(HINTERNET request, size_t limit, Framing* framing) {
    if (!HasStatusLineAndHeaders(request)) return false;
    char text[32];
    DWORD size = sizeof text;
    if (HttpQueryInfoA(request, HTTP_QUERY_TRANSFER_ENCODING, text, &size, nullptr) ||
        GetLastError() != ERROR_HTTP_HEADER_NOT_FOUND) {
        return false;
    }
    size = sizeof text - 1;
    if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) {
        return GetLastError() == ERROR_HTTP_HEADER_NOT_FOUND;
    }
    if (size == 0 || size >= sizeof text) return false;
    size_t length = 0;
    for (DWORD i = 0; i < size; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        length = length * 10 + static_cast<size_t>(text[i] - '0');
        if (length > limit) return false;
    }
    framing->hasLength = true;
    framing->length = length;
    return true;
}

// Reads the whole body into a block of total + 2 bytes, NUL after the data; null when memory
// runs out, the body passes the limit, the deadline passes or the body is not whole: a read
// that fails (a reset, or a read time-out: WinINet hands over what came with the failure),
// or an end before the Content-Length. The working buffer doubles, so a large body costs a
// few resizes instead of one per read; each read still asks for a whole chunk at the end.
PageBody ReadBody(FetchJob& job, HINTERNET request, const Framing& framing, DWORD* total) {
    auto grow = job.seam.reallocate ? job.seam.reallocate : Reallocate;
    const size_t limit = job.seam.limits.maxBodyBytes;
    size_t capacity = kReadChunk;
    PageBody buffer(static_cast<char*>(grow(nullptr, capacity)));
    if (!buffer) return nullptr;
    size_t size = 0;
    for (;;) {
        if (job.PastDeadline()) return nullptr;
        DWORD read = 0;
        if (!InternetReadFile(request, buffer.get() + size, static_cast<DWORD>(kReadChunk), &read)) return nullptr;
        if (read == 0) break;
        size += read;
        if (size > limit) return nullptr;  // stops reading here; the holders free and close
        if (size + kReadChunk > capacity) {
            // Never more than the limit allows, so the buffer stays within it plus a chunk.
            size_t wanted = std::min(std::max(capacity * 2, size + kReadChunk), limit + kReadChunk);
            char* grown = static_cast<char*>(grow(buffer.get(), wanted));
            if (!grown) return nullptr;
            buffer.release();
            buffer.reset(grown);
            capacity = wanted;
        }
    }
    if (framing.hasLength && size != framing.length) return nullptr;
    PageBody body(static_cast<char*>(grow(nullptr, size + 2)));
    if (!body) return nullptr;
    std::memcpy(body.get(), buffer.get(), size);
    body.get()[size] = '\0';
    *total = static_cast<DWORD>(size);
    return body;
}

// The answer's Content-Type header; empty when it has none.
std::string ContentTypeOf(HINTERNET request) {
    char value[1024];
    DWORD size = sizeof value;
    if (!HttpQueryInfoA(request, HTTP_QUERY_CONTENT_TYPE, value, &size, nullptr)) return std::string();
    return std::string(value, std::min<DWORD>(size, sizeof value - 1));
}

bool IsRedirect(DWORD status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Where a redirect answer points, made absolute against the address it answered.
bool RedirectTarget(HINTERNET request, const std::string& base, std::string* target) {
    char location[INTERNET_MAX_URL_LENGTH + 1];
    DWORD size = sizeof location - 1;
    if (!HttpQueryInfoA(request, HTTP_QUERY_LOCATION, location, &size, nullptr)) return false;
    location[std::min<DWORD>(size, sizeof location - 1)] = '\0';
    char combined[INTERNET_MAX_URL_LENGTH + 1];
    DWORD length = sizeof combined;
    // As the server wrote it: the first request's path goes out unchanged too.
    if (!InternetCombineUrlA(base.c_str(), location, combined, &length, ICU_NO_ENCODE)) return false;
    target->assign(combined, std::min<DWORD>(length, sizeof combined - 1));
    return true;
}

struct Hop {
    std::string host;
    std::string path;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
    bool secure = false;
};

// Only http and https addresses with a host are followed.
bool CrackTarget(const std::string& url, Hop* hop) {
    char host[INTERNET_MAX_HOST_NAME_LENGTH + 1] = "";
    char path[INTERNET_MAX_URL_LENGTH + 1] = "";
    char extra[INTERNET_MAX_URL_LENGTH + 1] = "";
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = sizeof host;
    parts.lpszUrlPath = path;
    parts.dwUrlPathLength = sizeof path;
    parts.lpszExtraInfo = extra;
    parts.dwExtraInfoLength = sizeof extra;
    if (!InternetCrackUrlA(url.c_str(), 0, 0, &parts)) return false;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) return false;
    if (!host[0]) return false;
    hop->host = host;
    hop->path = std::string(path) + extra;
    if (hop->path.empty()) hop->path = "/";
    hop->secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    hop->port = parts.nPort;
    return true;
}

// The platform calls of one fetch, on the fetch thread. Redirects are followed here, not by
// WinINet, because Wine's follows them without end; each hop is the same GET with the same
// headers, to the host, port and scheme the answer named.
PageBody Fetch(FetchJob& job, DWORD* total) {
    InternetHandle root(InternetOpenA("Pelorin", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!root) throw kNoRootHandleMessage;
    Opened(job, root.get());

    Hop hop;
    hop.host = job.host;
    hop.path = job.path;
    std::string url = job.address;
    const char* acceptTypes[] = {"text/*", nullptr};
    for (int redirects = 0;; ++redirects) {
        InternetHandle connection(InternetConnectA(root.get(), hop.host.c_str(), hop.port, nullptr,
                                                   nullptr, INTERNET_SERVICE_HTTP, 0, 0));
        if (!connection) {
            if (redirects == 0) throw kNoConnectionHandleMessage;
            return nullptr;
        }
        SetTimeouts(connection.get(), job.seam.timeouts);
        Opened(job, connection.get());

        // Windows refuses to cross from http to https without the second flag when the
        // user's zone-crossing warning is on; neither flag changes what goes on the wire.
        // Certificate failures stay failures.
        DWORD flags = INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS |
                      (hop.secure ? INTERNET_FLAG_SECURE : 0);
        InternetHandle request(HttpOpenRequestA(connection.get(), "GET", hop.path.c_str(), "HTTP/1.0",
                                                nullptr, acceptTypes, flags, 0));
        if (!request) {
            if (redirects == 0) throw kNoRequestHandleMessage;
            return nullptr;
        }
        SetTimeouts(request.get(), job.seam.timeouts);
        Opened(job, request.get());

        HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0);
        if (job.PastDeadline()) return nullptr;
        job.contentType = ContentTypeOf(request.get());

        DWORD status = 0;
        DWORD statusSize = sizeof status;
        if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                            &statusSize, nullptr)) {
            return nullptr;  // the holders close request, connection and root, in that order
        }
        if (status == 200) {
            Framing framing;
            if (!ReadFraming(request.get(), job.seam.limits.maxBodyBytes, &framing)) return nullptr;
            PageBody body = ReadBody(job, request.get(), framing, total);
            if (!body) return nullptr;
            HttpEndRequestA(request.get(), nullptr, 0, 0);
            request.reset();
            connection.reset();
            root.reset();
            return body;
        }
        if (!IsRedirect(status) || redirects >= job.seam.limits.maxRedirects) return nullptr;
        std::string next;
        if (!RedirectTarget(request.get(), url, &next) || !CrackTarget(next, &hop)) return nullptr;
        url = next;
        // This hop's request, then its connection, close as the loop goes round.
    }
}

// Makes the job's fetch and hands its answer over, or drops it when the caller has given up;
// gives back the thread's reference to the job. Whether the job was given up on.
bool RunJob(FetchJob* job) {
    PageBody body;
    DWORD count = 0;
    const char* thrown = nullptr;
    try {
        body = Fetch(*job, &count);
    } catch (const char* message) {
        thrown = message;
    } catch (...) {
        body.reset();  // out of memory in a string: a failed fetch
    }

    EnterCriticalSection(&job->lock);
    job->finished = true;
    bool givenUp = job->abandoned;
    if (!givenUp) {
        job->body = std::move(body);
        job->count = count;
        job->thrown = thrown;
    }
    LeaveCriticalSection(&job->lock);
    body.reset();
    if (givenUp) Forget(job->address);
    SetEvent(job->done);
    job->Release();
    return givenUp;
}

unsigned __stdcall FetchThread(void* argument) {
    auto* job = static_cast<FetchJob*>(argument);
    HMODULE module = job->module;
    RunJob(job);
    FreeLibraryAndExitThread(module, 0);
    return 0;
}

// Starts a fetch thread with its own loader reference in *module, which it gives back with
// FreeLibraryAndExitThread. The reference is taken here, not by the thread, so that the
// library cannot go before the thread runs. Null when either fails, with nothing taken.
HANDLE StartModuleThread(unsigned(__stdcall* entry)(void*), void* argument, HMODULE* module) {
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(entry), module)) {
        return nullptr;
    }
    uintptr_t thread = _beginthreadex(nullptr, 0, entry, argument, 0, nullptr);
    if (!thread) {
        FreeLibrary(*module);
        *module = nullptr;
        return nullptr;
    }
    return reinterpret_cast<HANDLE>(thread);
}

}  // namespace

// The thread of a session. The session and the thread each hold one reference; the session
// hands over one job at a time and only once the last one has finished, and hands over none
// (a null job) when it ends.
struct FetchRunner {
    HANDLE wake = nullptr;  // auto-reset: a job is there, or the session has ended
    HANDLE thread = nullptr;  // the session's handle to the thread
    HMODULE module = nullptr;  // the thread's loader reference
    FetchJob* volatile job = nullptr;

    ~FetchRunner() {
        if (wake) CloseHandle(wake);
    }
    void Release() {
        if (InterlockedDecrement(&refs_) == 0) delete this;
    }

private:
    volatile LONG refs_ = 2;
};

namespace {

unsigned __stdcall RunnerThread(void* argument) {
    auto* runner = static_cast<FetchRunner*>(argument);
    HMODULE module = runner->module;
    for (;;) {
        WaitForSingleObject(runner->wake, INFINITE);
        auto* job = static_cast<FetchJob*>(
            InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&runner->job), nullptr));
        if (!job) break;         // the session has ended
        if (RunJob(job)) break;  // given up on: the session has let go of this thread
    }
    runner->Release();
    FreeLibraryAndExitThread(module, 0);
    return 0;
}

}  // namespace

bool PageFetchSession::Start(FetchJob* job) {
    if (!runner_) {
        auto* runner = new (std::nothrow) FetchRunner();
        if (!runner) return false;
        runner->wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        HANDLE thread = runner->wake ? StartModuleThread(RunnerThread, runner, &runner->module) : nullptr;
        if (!thread) {
            runner->Release();
            runner->Release();
            return false;
        }
        runner->thread = thread;
        runner_ = runner;
    }
    InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&runner_->job), job);
    SetEvent(runner_->wake);
    return true;
}

void PageFetchSession::LetGo(bool idle) {
    if (!runner_) return;
    if (idle) {
        // Waiting for nothing but its own end: the wait is short, and the thread is gone
        // (with its hold on the library) when the session is.
        SetEvent(runner_->wake);
        WaitForSingleObject(runner_->thread, 1000);
    } else {
        SetThreadPriority(runner_->thread, THREAD_PRIORITY_IDLE);  // see FetchPage
    }
    CloseHandle(runner_->thread);
    runner_->Release();
    runner_ = nullptr;
}

PageFetchSession::~PageFetchSession() { LetGo(true); }


FetchLimits DefaultFetchLimits() {
    FetchLimits limits;
    char text[16] = "";
    DWORD length = GetEnvironmentVariableA(kDeadlineVariable, text, sizeof text);
    if (length > 0 && length < sizeof text) {
        char* end = nullptr;
        unsigned long ms = std::strtoul(text, &end, 10);
        if (end && *end == '\0' && ms > 0 && ms < limits.deadlineMs) limits.deadlineMs = ms;
    }
    return limits;
}

int AbandonedFetchCount() {
    AcquireSRWLockShared(&abandonedLock);
    int count = static_cast<int>(abandoned.size());
    ReleaseSRWLockShared(&abandonedLock);
    return count;
}

PageBody FetchPage(const std::string& host, const std::string& path, DWORD* count,
                   const FetchSeam& seam, PageFetchSession* session, std::string* contentType) {
    std::string address = "http://" + host + path;
    if (!MayStart(address)) return nullptr;  // its last fetch is still held by the server

    auto* job = new (std::nothrow) FetchJob();
    if (!job) return nullptr;
    job->address = address;
    job->host = host;
    job->path = path;
    job->seam = seam;
    job->done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!job->done) {
        job->Release();
        job->Release();
        return nullptr;
    }
    // On the session's thread, or on a thread of the fetch's own.
    KernelHandle fetchThread;
    if (!session) fetchThread.reset(StartModuleThread(FetchThread, job, &job->module));
    if (session ? !session->Start(job) : !fetchThread) {
        job->Release();
        job->Release();
        return nullptr;
    }

    WaitForSingleObject(job->done, seam.limits.deadlineMs);
    EnterCriticalSection(&job->lock);
    bool finished = job->finished;
    if (!finished) {
        job->abandoned = true;
        AcquireSRWLockExclusive(&abandonedLock);
        abandoned.push_back(address);
        ReleaseSRWLockExclusive(&abandonedLock);
    }
    LeaveCriticalSection(&job->lock);
    // Some answers keep the platform busy long after the deadline (Wine's WinINet spends
    // minutes on 200,000 header lines): what is left of them runs only when nothing else
    // wants the processor. A session's thread goes with the fetch it is stuck in.
    if (!finished) {
        if (session) {
            session->LetGo(false);
        } else {
            SetThreadPriority(fetchThread.get(), THREAD_PRIORITY_IDLE);
        }
    }

    PageBody body;
    const char* thrown = nullptr;
    if (finished) {
        body = std::move(job->body);
        thrown = job->thrown;
        if (body && count) *count = job->count;
        if (body && contentType) *contentType = std::move(job->contentType);
    }
    job->Release();
    if (thrown) throw thrown;
    return body;
}
