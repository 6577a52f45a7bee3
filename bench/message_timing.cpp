#include "message_timing.h"

#include <algorithm>

namespace {

struct OpenCall {
    HWND hwnd;
    UINT message;
    double start;
};

std::map<std::string, MessageBucket> g_buckets;
std::vector<OpenCall> g_open;
MessageNamer g_nameOf = nullptr;
HHOOK g_call = nullptr;
HHOOK g_return = nullptr;

std::string BucketName(HWND hwnd, UINT message) {
    char name[64] = "";
    GetClassNameA(hwnd, name, sizeof name);
    return std::string(name) + " " + g_nameOf(message);
}

LRESULT CALLBACK CallHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
        g_open.push_back({call->hwnd, call->message, Now()});
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT CALLBACK ReturnHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) {
        double now = Now();
        auto* ret = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        for (size_t i = g_open.size(); i-- > 0;) {
            if (g_open[i].hwnd == ret->hwnd && g_open[i].message == ret->message) {
                MessageBucket& bucket = g_buckets[BucketName(ret->hwnd, ret->message)];
                bucket.ms += now - g_open[i].start;
                ++bucket.count;
                g_open.resize(i);
                break;
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void StartMessageTiming(MessageNamer nameOf) {
    g_nameOf = nameOf;
    g_open.clear();
    g_call = SetWindowsHookExA(WH_CALLWNDPROC, CallHook, nullptr, GetCurrentThreadId());
    g_return = SetWindowsHookExA(WH_CALLWNDPROCRET, ReturnHook, nullptr, GetCurrentThreadId());
}

void StopMessageTiming() {
    if (g_call) UnhookWindowsHookEx(g_call);
    if (g_return) UnhookWindowsHookEx(g_return);
    g_call = nullptr;
    g_return = nullptr;
}

std::map<std::string, MessageBucket>& MessageTimes() { return g_buckets; }
