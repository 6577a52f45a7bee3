#include <winsock2.h>
#include <ws2tcpip.h>

#include "support/test_env.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

std::string WindowsPathOf(const char* unixVariable) {
    const char* value = std::getenv(unixVariable);
    if (!value || !*value) return std::string();
    std::string path = std::string("Z:") + value;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::string BuildDir() { return WindowsPathOf("PELORIN_BUILD"); }
std::string SourceDir() { return WindowsPathOf("PELORIN_SOURCE"); }
std::string DllPath() { return BuildDir() + "\\pelorin.beta.dll"; }

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..") continue;
            std::string child = path + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryA(path.c_str());
}

std::string MakeScratchDir(const std::string& name) {
    std::string root = BuildDir() + "\\scratch";
    CreateDirectoryA(root.c_str(), nullptr);
    std::string dir = root + "\\" + name;
    RemoveTree(dir);
    CreateDirectoryA(dir.c_str(), nullptr);
    return dir;
}

static FixtureReply FixtureExchange(const std::string& request) {
    FixtureReply reply;
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return reply;
    DWORD timeout = 10000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(80);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
        send(s, request.data(), static_cast<int>(request.size()), 0);
        std::string raw;
        char buffer[8192];
        int n;
        while ((n = recv(s, buffer, sizeof buffer, 0)) > 0) raw.append(buffer, n);
        size_t headerEnd = raw.find("\r\n\r\n");
        if (raw.compare(0, 5, "HTTP/") == 0 && headerEnd != std::string::npos) {
            reply.status = std::atoi(raw.c_str() + raw.find(' ') + 1);
            reply.body = raw.substr(headerEnd + 4);
        }
    }
    closesocket(s);
    return reply;
}

FixtureReply FixtureGet(const std::string& path) {
    return FixtureExchange("GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
}

FixtureReply FixturePost(const std::string& path, const std::string& body) {
    return FixtureExchange("POST " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\nContent-Length: " +
                           std::to_string(body.size()) + "\r\n\r\n" + body);
}

bool FixtureAvailable() {
    FixtureReply r = FixtureGet("/_ctl/ping");
    return r.status == 200 && r.body == "pong";
}

std::string LoggedRequest::Header(const std::string& name) const {
    for (const auto& h : headers) {
        if (_stricmp(h.first.c_str(), name.c_str()) == 0) return h.second;
    }
    return std::string();
}

// The log is JSON lines written by our own fixture: {"line": "...", "headers": [["k", "v"], ...], ...}
// with ASCII request lines and headers; a small reader of exactly that shape is enough.
static std::string JsonString(const std::string& text, size_t& pos) {
    std::string value;
    ++pos;  // opening quote
    while (pos < text.size() && text[pos] != '"') {
        if (text[pos] == '\\' && pos + 1 < text.size()) {
            ++pos;
            char c = text[pos];
            value += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
        } else {
            value += text[pos];
        }
        ++pos;
    }
    ++pos;
    return value;
}

std::vector<LoggedRequest> FixtureLog() {
    std::vector<LoggedRequest> requests;
    std::istringstream lines(FixtureGet("/_ctl/log").body);
    std::string line;
    while (std::getline(lines, line)) {
        LoggedRequest request;
        size_t pos = line.find("\"line\": ");
        if (pos == std::string::npos) continue;
        pos += 8;
        request.line = JsonString(line, pos);
        pos = line.find("\"headers\": [", pos);
        if (pos != std::string::npos) {
            pos += 12;
            while (pos < line.size() && line[pos] != ']') {
                if (line[pos] == '[') {
                    pos = line.find('"', pos);
                    std::string key = JsonString(line, pos);
                    pos = line.find('"', pos);
                    std::string value = JsonString(line, pos);
                    request.headers.emplace_back(key, value);
                    pos = line.find(']', pos) + 1;
                } else {
                    ++pos;
                }
            }
        }
        size_t body = line.find("\"body\": ");
        if (body != std::string::npos) {
            body += 8;
            request.body = JsonString(line, body);
        }
        requests.push_back(request);
    }
    return requests;
}

MessageBoxCatcher::MessageBoxCatcher(DWORD processId) : processId_(processId) {
    InitializeCriticalSection(&lock_);
    stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
}

MessageBoxCatcher::~MessageBoxCatcher() {
    SetEvent(stop_);
    WaitForSingleObject(thread_, INFINITE);
    CloseHandle(thread_);
    CloseHandle(stop_);
    DeleteCriticalSection(&lock_);
}

struct FindBoxContext {
    DWORD process;
    HWND found;
};

static BOOL CALLBACK FindBox(HWND hwnd, LPARAM lParam) {
    auto* context = reinterpret_cast<FindBoxContext*>(lParam);
    DWORD process = 0;
    GetWindowThreadProcessId(hwnd, &process);
    char className[16] = "";
    GetClassNameA(hwnd, className, sizeof className);
    if (process == context->process && strcmp(className, "#32770") == 0 && IsWindowVisible(hwnd)) {
        context->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

DWORD WINAPI MessageBoxCatcher::Run(void* self) {
    auto* catcher = static_cast<MessageBoxCatcher*>(self);
    while (WaitForSingleObject(catcher->stop_, 20) == WAIT_TIMEOUT) {
        FindBoxContext context = {catcher->processId_, nullptr};
        EnumWindows(FindBox, reinterpret_cast<LPARAM>(&context));
        if (!context.found) continue;
        Box box;
        char text[1024] = "";
        GetWindowTextA(context.found, text, sizeof text);
        box.caption = text;
        text[0] = '\0';
        GetDlgItemTextA(context.found, 0xFFFF, text, sizeof text);  // the static text control
        box.text = text;
        EnterCriticalSection(&catcher->lock_);
        catcher->boxes_.push_back(box);
        LeaveCriticalSection(&catcher->lock_);
        PostMessageA(context.found, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        // Wait until this box is gone before looking for the next.
        for (int i = 0; i < 250 && IsWindow(context.found); ++i) Sleep(20);
    }
    return 0;
}

std::vector<MessageBoxCatcher::Box> MessageBoxCatcher::Boxes() {
    EnterCriticalSection(&lock_);
    std::vector<Box> copy = boxes_;
    LeaveCriticalSection(&lock_);
    return copy;
}

bool MessageBoxCatcher::WaitFor(size_t n, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (Boxes().size() < n) {
        if (GetTickCount() - start > timeoutMs) return false;
        PumpMessages(20);
    }
    return true;
}

void PumpMessages(DWORD milliseconds) {
    DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (GetTickCount() - start < milliseconds);
}

static SIZE_T BytesInUse(HANDLE heap) {
    SIZE_T bytes = 0;
    HeapLock(heap);
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(heap, &entry)) {
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
    }
    HeapUnlock(heap);
    return bytes;
}

ProcessFootprint MeasureFootprint() {
    ProcessFootprint f;
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    f.probe = event;
    CloseHandle(event);
    f.processHeapBytes = BytesInUse(GetProcessHeap());
    // The C runtime's heap is the one that holds a block malloc just gave out.
    void* block = std::malloc(16);
    HANDLE heaps[64];
    DWORD count = GetProcessHeaps(64, heaps);
    for (DWORD i = 0; i < count && i < 64; ++i) {
        if (heaps[i] != GetProcessHeap() && HeapValidate(heaps[i], 0, block)) {
            std::free(block);
            block = nullptr;
            f.runtimeHeapBytes = BytesInUse(heaps[i]);
            break;
        }
    }
    std::free(block);
    return f;
}

void PrintFootprints(const ProcessFootprint& before, const ProcessFootprint& after) {
    printf("kernel handle probe %p -> %p, process heap %lu -> %lu bytes, runtime heap %lu -> %lu bytes\n",
           before.probe, after.probe, static_cast<unsigned long>(before.processHeapBytes),
           static_cast<unsigned long>(after.processHeapBytes),
           static_cast<unsigned long>(before.runtimeHeapBytes),
           static_cast<unsigned long>(after.runtimeHeapBytes));
}
