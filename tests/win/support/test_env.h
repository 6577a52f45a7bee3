// What the Windows tests share: where the build is, files in code page 932, the HTTP
// fixture, and message boxes found and closed from a second thread.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <string>
#include <vector>

// The build folder and the DLL, as Windows paths (the Unix paths through drive Z:).
// The Unix path an environment variable names, through drive Z:; empty when it is unset.
std::string WindowsPathOf(const char* unixVariable);
std::string BuildDir();
std::string DllPath();
std::string SourceDir();

// What this build is for: the type library's system kind and its key under
// TypeLib\{...}\1.0\409 ("win32" or "win64").
#ifdef _WIN64
constexpr SYSKIND kOwnSysKind = SYS_WIN64;
constexpr const char kOwnPlatformKey[] = "win64";
#else
constexpr SYSKIND kOwnSysKind = SYS_WIN32;
constexpr const char kOwnPlatformKey[] = "win32";
#endif

// Writes bytes exactly as given (the tests spell code page 932 texts as bytes).
void WriteBytes(const std::string& path, const std::string& bytes);
std::string ReadBytes(const std::string& path);
// A fresh, empty folder under the build's scratch folder.
std::string MakeScratchDir(const std::string& name);
void RemoveTree(const std::string& path);

// The HTTP fixture on 127.0.0.1:80 (tests/fixtures/httpd.py), spoken to over a plain socket
// so that the code under test is not also the code that checks it.
struct FixtureReply {
    int status = 0;
    std::string body;
};
FixtureReply FixtureGet(const std::string& path);
FixtureReply FixturePost(const std::string& path, const std::string& body);
// Fails the calling test loudly when the fixture is not there.
bool FixtureAvailable();
#define REQUIRE_FIXTURE() \
    ASSERT_TRUE(FixtureAvailable()) << "the HTTP fixture is not running on 127.0.0.1:80; run the tests through scripts/test"
// Request lines the fixture logged since the last /_ctl/clear, and their headers.
struct LoggedRequest {
    std::string line;
    std::string body;  // a POST's body
    std::vector<std::pair<std::string, std::string>> headers;
    std::string Header(const std::string& name) const;
};
std::vector<LoggedRequest> FixtureLog();

// Watches for a message box (dialog class "#32770") of this process, or of the one named,
// from a second thread, records its caption and text, and closes it.
class MessageBoxCatcher {
public:
    explicit MessageBoxCatcher(DWORD processId = GetCurrentProcessId());
    ~MessageBoxCatcher();
    // Boxes closed so far: caption and text, as the bytes the box shows (code page 932).
    struct Box {
        std::string caption;
        std::string text;
    };
    std::vector<Box> Boxes();
    // Waits up to timeoutMs for at least n boxes.
    bool WaitFor(size_t n, DWORD timeoutMs);

private:
    static DWORD WINAPI Run(void* self);
    DWORD processId_;
    HANDLE thread_ = nullptr;
    HANDLE stop_ = nullptr;
    CRITICAL_SECTION lock_;
    std::vector<Box> boxes_;
};

// What repeated cycles could leave behind, measured in ways that work under Wine (whose
// GetGuiResources and GetProcessHandleCount answer 0): the lowest free kernel handle slot,
// which a leaked handle would take; the bytes in use in the process heap, where the
// system's window, toolbar, image-list and edit-control records live; and in the C
// runtime's heap, where our own records and strings live.
struct ProcessFootprint {
    HANDLE probe = nullptr;
    SIZE_T processHeapBytes = 0;
    SIZE_T runtimeHeapBytes = 0;
};
ProcessFootprint MeasureFootprint();
// Prints both measurements on one line, for the test's log.
void PrintFootprints(const ProcessFootprint& before, const ProcessFootprint& after);

// Runs the thread's message queue for a while (windows of the test thread need it).
void PumpMessages(DWORD milliseconds);
// Pumps until pred() holds or timeoutMs passes; returns pred().
template <typename Pred>
bool PumpUntil(Pred pred, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start > timeoutMs) return pred();
        PumpMessages(10);
    }
    return true;
}
