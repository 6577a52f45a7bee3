#include "services/page_fetcher.h"

#include <cstring>

#include "common/unique_handle.h"

const char kNoRootHandleMessage[] = "インターフェイスの確保に失敗しました.";
const char kNoConnectionHandleMessage[] = "通信路の確立に失敗しました.";
const char kNoRequestHandleMessage[] = "要求に失敗しました.";

namespace {

constexpr DWORD kReadChunk = 10240;

void SetTimeouts(HINTERNET handle, const FetchTimeouts& timeouts) {
    DWORD connect = timeouts.connectMs, send = timeouts.sendMs, receive = timeouts.receiveMs;
    InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
    InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, &send, sizeof send);
    InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
}

void* Reallocate(void* block, size_t size) { return std::realloc(block, size); }

void Opened(const FetchSeam& seam, HINTERNET handle) {
    if (seam.onHandleOpened) seam.onHandleOpened(handle, seam.context);
}

// Reads the whole body into a block of total + 2 bytes, NUL after the data; null when memory
// runs out. A read that fails part-way ends the body like the end of the data.
PageBody ReadBody(HINTERNET request, DWORD* total, const FetchSeam& seam) {
    auto grow = seam.reallocate ? seam.reallocate : Reallocate;
    PageBody buffer(static_cast<char*>(grow(nullptr, kReadChunk)));
    if (!buffer) return nullptr;
    DWORD size = 0;
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(request, buffer.get() + size, kReadChunk, &read) || read == 0) break;
        // Past 4 GB the count cannot say where the body ends: no usable body.
        if (size + read + kReadChunk < size) return nullptr;
        size += read;
        // Each read may ask for a whole chunk at the current end.
        char* grown = static_cast<char*>(grow(buffer.get(), size_t(size) + kReadChunk));
        if (!grown) return nullptr;
        buffer.release();
        buffer.reset(grown);
    }
    PageBody body(static_cast<char*>(grow(nullptr, size_t(size) + 2)));
    if (!body) return nullptr;
    std::memcpy(body.get(), buffer.get(), size);
    body.get()[size] = '\0';
    *total = size;
    return body;
}

}  // namespace

PageBody FetchPage(const std::string& host, const std::string& path, DWORD* count,
                   const FetchSeam& seam) {
    InternetHandle root(InternetOpenA("Pelorin", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!root) throw kNoRootHandleMessage;
    Opened(seam, root.get());

    InternetHandle connection(InternetConnectA(root.get(), host.c_str(), INTERNET_DEFAULT_HTTP_PORT,
                                               nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) throw kNoConnectionHandleMessage;
    SetTimeouts(connection.get(), seam.timeouts);
    Opened(seam, connection.get());

    const char* acceptTypes[] = {"text/*", nullptr};
    InternetHandle request(HttpOpenRequestA(connection.get(), "GET", path.c_str(), "HTTP/1.0",
                                            nullptr, acceptTypes, 0, 0));
    if (!request) throw kNoRequestHandleMessage;
    SetTimeouts(request.get(), seam.timeouts);
    Opened(seam, request.get());

    HttpSendRequestA(request.get(), nullptr, 0, nullptr, 0);

    DWORD status = 0;
    DWORD statusSize = sizeof status;
    if (!HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                        &statusSize, nullptr) ||
        status != 200) {
        return nullptr;  // the holders close request, connection and root, in that order
    }

    DWORD total = 0;
    PageBody body = ReadBody(request.get(), &total, seam);
    if (!body) return nullptr;
    HttpEndRequestA(request.get(), nullptr, 0, 0);
    if (count) *count = total;
    request.reset();
    connection.reset();
    root.reset();
    return body;
}
