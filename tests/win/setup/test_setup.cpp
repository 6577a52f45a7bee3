// The setup program as an administrator runs it, silently (/S): what it puts on the machine
// (files under Program Files, each DLL registered in its own registry view, the bar beside
// each DLL, the installed-programs entry, the Start-menu links, start at sign-in), what
// running it again and upgrading leave, what the uninstaller takes away and what it keeps,
// that a registration that fails leaves nothing half-installed, and that a running bar is
// ended before its files are replaced or removed (and comes back after an upgrade). The
// packages besides the real one are the test's own (installer/CMakeLists.txt): an older
// version, one with a damaged DLL of each bitness, and the zip for use without installing,
// unpacked. The test runs in the prefix of either build: only the 32-bit DLL on 32-bit
// Windows, both on 64-bit Windows.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "bar/bar_window.h"
#include "support/registry_views.h"
#include "support/test_env.h"

namespace {

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelorin";
const char kSeenKey[] = "Software\\Vorna\\Pelorin";
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
// Of the prefix's bitness: the folder of the zip, and of the installation, whose bar runs here.
const char* const kOwnFolder = sizeof(void*) == 8 ? "x64" : "x86";
// What a silent setup answers when a registration failed and it took everything back.
const int kRegistrationFailed = 4;

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool Is64BitWindows() {
#ifdef _WIN64
    return true;
#else
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    return wow64 != FALSE;
#endif
}

// The machine's own Program Files (not the 32-bit one of 64-bit Windows).
std::string ProgramFiles() {
    return Read(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir",
                KEY_WOW64_64KEY);
}

std::string CommonPrograms() {
    char folder[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, folder);
    return folder;
}

std::vector<std::string> FilesIn(const std::string& pattern) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return names;
}

DWORD ReadNumber(HKEY root, const std::string& path, const char* name, REGSAM view) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return 0;
    DWORD data = 0, size = sizeof data, type = 0;
    LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_DWORD ? data : 0;
}

// A running pelorin.exe, watched from outside as the shell sees it: its window of class
// PelorinBar (once the band shows in it) and its process. One left running when the test
// ends is closed, as the setup closes it, so that no bar outlives its test.
class BarProcess {
public:
    BarProcess() = default;
    BarProcess(const BarProcess&) = delete;
    BarProcess& operator=(const BarProcess&) = delete;
    ~BarProcess() {
        if (!process_) return;
        if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
            PostMessageW(window_, WM_CLOSE, 0, 0);
            if (WaitForSingleObject(process_, 15000) == WAIT_TIMEOUT) TerminateProcess(process_, 99);
        }
        CloseHandle(process_);
    }

    // Starts the bar at `exe` as a user does, and waits for its band.
    bool Start(const std::string& exe) {
        std::string command = "\"" + exe + "\"";
        STARTUPINFOA startup = {sizeof startup};
        PROCESS_INFORMATION info = {};
        if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
            return false;
        }
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
        return Find(info.dwProcessId, 0, 15000);
    }

    // Waits for the window of a bar showing its band: of process `pid`, or of any process but
    // `notPid` when pid is 0.
    bool Find(DWORD pid, DWORD notPid, DWORD timeoutMs) {
        DWORD start = GetTickCount();
        do {
            HWND found = nullptr;
            while ((found = FindWindowExW(nullptr, found, kBarClassName, nullptr))) {
                DWORD owner = 0;
                GetWindowThreadProcessId(found, &owner);
                HWND band = FindWindowExA(found, nullptr, "Pelorin", nullptr);
                if ((pid ? owner == pid : owner != notPid) && band && IsWindowVisible(band)) {
                    window_ = found;
                    pid_ = owner;
                    process_ = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, owner);
                    return process_ != nullptr;
                }
            }
            Sleep(50);
        } while (GetTickCount() - start < timeoutMs);
        return false;
    }

    DWORD pid() const { return pid_; }
    // The exit code, or STILL_ACTIVE when it has not ended within the time.
    DWORD WaitForExit(DWORD timeoutMs) {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(process_, timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(process_, &code);
        return code;
    }
    // As taskkill ends it.
    DWORD Close() {
        PostMessageW(window_, WM_CLOSE, 0, 0);
        return WaitForExit(15000);
    }
    std::string ImagePath() const {
        char path[MAX_PATH] = "";
        DWORD size = MAX_PATH;
        return QueryFullProcessImageNameA(process_, 0, path, &size) ? std::string(path, size) : std::string();
    }

private:
    HANDLE process_ = nullptr;
    HWND window_ = nullptr;
    DWORD pid_ = 0;
};

std::string Lower(std::string text) {
    CharLowerBuffA(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

bool AnyBarWindow() { return FindWindowW(kBarClassName, nullptr) != nullptr; }

// Where a shell link points and what it passes, read through the shell's own link object.
std::string LinkTarget(const std::string& link, std::string* arguments = nullptr) {
    CoInitialize(nullptr);
    std::string target;
    IShellLinkA* shellLink = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&shellLink)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            wchar_t wide[MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH);
            char path[MAX_PATH] = "";
            if (SUCCEEDED(file->Load(wide, STGM_READ)) && SUCCEEDED(shellLink->GetPath(path, MAX_PATH, nullptr, 0))) {
                target = path;
                if (arguments && SUCCEEDED(shellLink->GetArguments(path, MAX_PATH))) *arguments = path;
            }
            file->Release();
        }
        shellLink->Release();
    }
    CoUninitialize();
    return target;
}

// The entry names of a zip archive, from its central directory (what any unzip lists).
std::vector<std::string> ZipEntryNames(const std::string& bytes) {
    auto u16 = [&](size_t at) { return static_cast<size_t>(static_cast<unsigned char>(bytes[at]) |
                                                           static_cast<unsigned char>(bytes[at + 1]) << 8); };
    auto u32 = [&](size_t at) { return u16(at) | u16(at + 2) << 16; };
    std::vector<std::string> names;
    size_t end = bytes.rfind(std::string("PK\x05\x06", 4));
    if (end == std::string::npos || end + 22 > bytes.size()) return names;
    size_t count = u16(end + 10), at = u32(end + 16);
    for (size_t i = 0; i < count && at + 46 <= bytes.size(); ++i) {
        if (bytes.compare(at, 4, std::string("PK\x01\x02", 4)) != 0) break;
        size_t nameLength = u16(at + 28), extra = u16(at + 30), comment = u16(at + 32);
        names.push_back(bytes.substr(at + 46, nameLength));
        at += 46 + nameLength + extra + comment;
    }
    return names;
}

class Setup : public ::testing::Test {
protected:
    void SetUp() override {
        std::string setupBuild = WindowsPathOf("PELORIN_SETUP_BUILD");
        ASSERT_FALSE(setupBuild.empty()) << "PELORIN_SETUP_BUILD names no build; run the tests through scripts/test";
        setup_ = setupBuild + "\\pelorin-setup.exe";
        packages_ = setupBuild + "\\tests\\win\\setup-packages";
        stage_ = setupBuild + "\\installer\\stage";
        ASSERT_TRUE(FileExists(setup_)) << setup_ << " was not built";
        win64_ = Is64BitWindows();
        installDir_ = ProgramFiles() + "\\Vorna\\Pelorin";
        probe32_ = setupBuild + "\\tests\\win\\com_probe.exe";
        probe64_ = win64_ ? BuildDir() + "\\tests\\win\\com_probe.exe" : std::string();
        // The build's own registration steps aside, so that what is found is the setup's.
        ASSERT_EQ(Regsvr32(false, "/u /s", DllPath()), 0);
        RemoveInstallation();
    }
    void TearDown() override {
        RemoveInstallation();
        // Later test programs find the build's DLL registered, as before.
        EXPECT_EQ(Regsvr32(false, "/s", DllPath()), 0);
    }

    int Install(const std::string& package, const std::string& options = "") {
        return RunProgram("\"" + package + "\" /S" + options, 180000);
    }

    // As an administrator's script does: the uninstaller runs from a copy so that its exit
    // code can be waited for (run from its folder, it hands itself over to a temporary copy
    // and returns at once).
    int Uninstall() {
        std::string copy = MakeScratchDir("uninstaller") + "\\uninstall.exe";
        if (!CopyFileA((installDir_ + "\\uninstall.exe").c_str(), copy.c_str(), FALSE)) return -1;
        int code = RunProgram("\"" + copy + "\" /S _?=" + installDir_, 180000);
        DeleteFileA(copy.c_str());
        return code;
    }

    void RemoveInstallation() {
        if (FileExists(installDir_ + "\\uninstall.exe")) Uninstall();
        RemoveTree(ProgramFiles() + "\\Vorna");
    }

    std::string Dll(const char* folder) const { return installDir_ + "\\" + folder + "\\pelorin.beta.dll"; }
    std::string BarExe(const char* folder) const { return installDir_ + "\\" + folder + "\\pelorin.exe"; }
    // The bar of the machine's bitness: the one the link and start at sign-in name.
    std::string MachineBar() const { return BarExe(win64_ ? "x64" : "x86"); }

    // Start at sign-in as the setup writes it: in the machine's own registry view (the
    // 64-bit one on 64-bit Windows, where it names the 64-bit bar).
    std::string MachineRunValue() const { return Read(HKEY_LOCAL_MACHINE, kRunKey, "Pelorin", KEY_WOW64_64KEY); }

    // The installed-programs entry of the machine's own registry view.
    std::string Entry(const char* name) const { return Read(HKEY_LOCAL_MACHINE, kUninstallKey, name, KEY_WOW64_64KEY); }

    void ExpectRegistered(REGSAM view, const std::string& dll, const char* platform) {
        SCOPED_TRACE(platform);
        EXPECT_EQ(Read(HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\InprocServer32", nullptr, view), dll);
        EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, std::string(kClassKey) + kCategoryKey, view));
        EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kToolbarKey, kToolbarValue, view), "");
        EXPECT_EQ(Read(HKEY_CLASSES_ROOT, std::string(kTypeLibVersion) + "\\409\\" + platform, nullptr), dll);
    }

    // Everything a successful installation of this version leaves, and the band working
    // from it in a host of each bitness the machine has.
    void ExpectInstalled(const std::string& version) {
        ASSERT_TRUE(FileExists(Dll("x86")));
        EXPECT_EQ(ReadBytes(Dll("x86")), ReadBytes(stage_ + "\\x86\\pelorin.beta.dll"));
        EXPECT_EQ(ReadBytes(BarExe("x86")), ReadBytes(stage_ + "\\x86\\pelorin.exe"));
        EXPECT_TRUE(FileExists(installDir_ + "\\x86\\pelorin.sample.ini"));
        EXPECT_TRUE(FileExists(installDir_ + "\\user-guide.html"));
        EXPECT_TRUE(FileExists(installDir_ + "\\uninstall.exe"));
        ExpectRegistered(KEY_WOW64_32KEY, Dll("x86"), "win32");
        EXPECT_EQ(ProbeBand(probe32_), Dll("x86"));
        if (win64_) {
            ASSERT_TRUE(FileExists(Dll("x64")));
            EXPECT_EQ(ReadBytes(Dll("x64")), ReadBytes(stage_ + "\\x64\\pelorin.beta.dll"));
            EXPECT_EQ(ReadBytes(BarExe("x64")), ReadBytes(stage_ + "\\x64\\pelorin.exe"));
            EXPECT_TRUE(FileExists(installDir_ + "\\x64\\pelorin.sample.ini"));
            ExpectRegistered(KEY_WOW64_64KEY, Dll("x64"), "win64");
            EXPECT_EQ(ProbeBand(probe64_), Dll("x64"));
        } else {
            EXPECT_FALSE(FileExists(installDir_ + "\\x64"));
        }
        EXPECT_EQ(Entry("DisplayName"), "Pelorin");
        EXPECT_EQ(Entry("DisplayVersion"), version);
        EXPECT_EQ(Entry("Publisher"), "Vorna");
        EXPECT_EQ(Entry("UninstallString"), "\"" + installDir_ + "\\uninstall.exe\"");
        EXPECT_EQ(Entry("InstallLocation"), installDir_);
        // In kilobytes: the DLLs alone are several hundred.
        EXPECT_GT(ReadNumber(HKEY_LOCAL_MACHINE, kUninstallKey, "EstimatedSize", KEY_WOW64_64KEY), 300u);
        std::vector<std::string> links = FilesIn(CommonPrograms() + "\\Pelorin\\*.lnk");
        std::sort(links.begin(), links.end());
        EXPECT_EQ(links, (std::vector<std::string>{"Pelorin の設定.lnk", "Pelorin ユーザーガイド.lnk", "Pelorin.lnk"}));
        EXPECT_EQ(LinkTarget(CommonPrograms() + "\\Pelorin\\Pelorin.lnk"), MachineBar());
        std::string arguments;
        EXPECT_EQ(LinkTarget(CommonPrograms() + "\\Pelorin\\Pelorin の設定.lnk", &arguments), MachineBar());
        EXPECT_EQ(arguments, "/settings");
    }

    // Nothing of Pelorin's registration or files.
    void ExpectNothingInstalled() {
        for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
            SCOPED_TRACE(view == KEY_WOW64_32KEY ? "32-bit view" : "64-bit view");
            EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, kClassKey, view));
            EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kToolbarKey, kToolbarValue, view), kMissing);
            EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, kUninstallKey, view));
        }
        EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, "Pelorin.Pelorin"));
        EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, kTypeLibVersion));
        EXPECT_FALSE(FileExists(Dll("x86")));
        EXPECT_FALSE(FileExists(Dll("x64")));
        EXPECT_FALSE(FileExists(BarExe("x86")));
        EXPECT_FALSE(FileExists(BarExe("x64")));
        EXPECT_FALSE(FileExists(installDir_ + "\\uninstall.exe"));
        EXPECT_FALSE(FileExists(CommonPrograms() + "\\Pelorin"));
        EXPECT_EQ(MachineRunValue(), kMissing);
        EXPECT_EQ(ProbeBand(probe32_).compare(0, 6, "failed"), 0);
    }

    std::string setup_, packages_, stage_, installDir_, probe32_, probe64_;
    bool win64_ = false;
};

TEST_F(Setup, InstallsForEveryBitnessAndItsUninstallerKeepsTheUsersData) {
    ASSERT_EQ(Install(setup_), 0);
    ExpectInstalled(PELORIN_VERSION);
    // A fresh silent install leaves the bar to the next sign-in.
    Sleep(2000);
    EXPECT_FALSE(AnyBarWindow());

    // The user's own: a pelorin.ini in the application-data folder, one beside the DLL,
    // the record of seen pages and a page's kept text.
    char appData[MAX_PATH] = "", localAppData[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, localAppData);
    std::string keptFolder = std::string(localAppData) + "\\Pelorin";
    std::string kept = keptFolder + "\\0123456789abcdef0123456789abcdef.txt";
    CreateDirectoryA(keptFolder.c_str(), nullptr);
    WriteBytes(kept, "0123\nseen text");
    SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData);
    std::string userIni = std::string(appData) + "\\pelorin.ini";
    std::string besideIni = installDir_ + "\\x86\\pelorin.ini";
    WriteBytes(userIni, "[watch]\r\nitem1=mine,0,http://pages.test/a.html\r\n");
    WriteBytes(besideIni, "[search]\r\nurl1=http://search.test/mine\r\n");
    HKEY seen = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSeenKey, 0, nullptr, 0, KEY_WRITE, nullptr, &seen, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(seen, "http://pages.test/a.html", 0, REG_SZ, reinterpret_cast<const BYTE*>("0123"), 5);
    RegCloseKey(seen);

    ASSERT_EQ(Uninstall(), 0);
    ExpectNothingInstalled();
    EXPECT_FALSE(FileExists(installDir_ + "\\user-guide.html"));
    EXPECT_FALSE(FileExists(installDir_ + "\\x86\\pelorin.sample.ini"));
    EXPECT_EQ(ReadBytes(userIni), "[watch]\r\nitem1=mine,0,http://pages.test/a.html\r\n");
    EXPECT_EQ(ReadBytes(besideIni), "[search]\r\nurl1=http://search.test/mine\r\n");
    EXPECT_EQ(Read(HKEY_CURRENT_USER, kSeenKey, "http://pages.test/a.html"), "0123");
    EXPECT_EQ(ReadBytes(kept), "0123\nseen text");

    DeleteFileA(kept.c_str());
    RemoveDirectoryA(keptFolder.c_str());
    DeleteFileA(userIni.c_str());
    DeleteFileA(besideIni.c_str());
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSeenKey, 0, KEY_WRITE, &seen) == ERROR_SUCCESS) {
        RegDeleteValueA(seen, "http://pages.test/a.html");
        RegCloseKey(seen);
    }
}

TEST_F(Setup, RunsAgainOverItselfAndReplacesAnOlderVersion) {
    // The older package carries DLLs that differ from this build's in their last bytes.
    ASSERT_EQ(Install(packages_ + "\\pelorin-setup-older.exe"), 0);
    EXPECT_EQ(Entry("DisplayVersion"), "0.9.0.0");
    EXPECT_NE(ReadBytes(Dll("x86")), ReadBytes(stage_ + "\\x86\\pelorin.beta.dll"));

    ASSERT_EQ(Install(setup_), 0);
    ExpectInstalled(PELORIN_VERSION);
    ASSERT_EQ(Install(setup_), 0);
    ExpectInstalled(PELORIN_VERSION);
    // One entry, in the machine's own view only.
    if (win64_) {
        EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_32KEY));
    }
    EXPECT_EQ(FilesIn(installDir_ + "\\x86\\*").size(), 3u);  // the DLL, the bar and the sample

    ASSERT_EQ(Uninstall(), 0);
    ExpectNothingInstalled();
}

TEST_F(Setup, AFailedRegistrationLeavesNothingInstalled) {
    // The 32-bit DLL is registered first: a damaged one fails before anything is registered;
    // a damaged 64-bit one fails after the 32-bit registration, which must be taken back.
    std::vector<std::string> damaged = {"pelorin-setup-bad32.exe"};
    if (win64_) damaged.push_back("pelorin-setup-bad64.exe");
    for (const std::string& package : damaged) {
        SCOPED_TRACE(package);
        EXPECT_EQ(Install(packages_ + "\\" + package), kRegistrationFailed);
        ExpectNothingInstalled();
        EXPECT_FALSE(FileExists(installDir_));
    }
}

// A browser holding the old DLL: the setup says so, and (the default answer of a silent
// run) leaves the new files to replace the old ones at the next restart, which registers
// them; nothing is a mix of versions in between. The uninstaller likewise removes a held
// DLL at the next restart. Wine's wineboot does at a restart what
// Windows does: it carries out the pending renames and runs the RunOnce entries.
TEST_F(Setup, ADllInUseIsReplacedAndRegisteredAtTheNextRestart) {
    ASSERT_EQ(Install(packages_ + "\\pelorin-setup-older.exe"), 0);
    const char* own = sizeof(void*) == 8 ? "x64" : "x86";
    std::string older = ReadBytes(Dll(own));
    HMODULE held = LoadLibraryA(Dll(own).c_str());
    ASSERT_NE(held, nullptr);

    EXPECT_EQ(Install(setup_), 3010);  // done, and a restart is needed
    EXPECT_EQ(ReadBytes(Dll(own)), older);
    EXPECT_EQ(ReadBytes(Dll("x86")), ReadBytes(packages_ + "\\older\\x86\\pelorin.beta.dll"));
    EXPECT_EQ(Entry("DisplayVersion"), PELORIN_VERSION);
    // The band still works from the files as they are until then.
    EXPECT_EQ(ProbeBand(probe32_), Dll("x86"));
    FreeLibrary(held);

    ASSERT_EQ(RunProgram("\"" + SystemFolder(false) + "\\wineboot.exe\" -r", 120000), 0);
    ExpectInstalled(PELORIN_VERSION);
    EXPECT_FALSE(FileExists(Dll("x86") + ".new"));
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce", "Pelorin86",
                   KEY_WOW64_64KEY),
              kMissing);

    // Removed while held: the registration goes now, the file at the next restart.
    held = LoadLibraryA(Dll(own).c_str());
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(Uninstall(), 3010);
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, kClassKey, KEY_WOW64_32KEY));
    EXPECT_FALSE(Exists(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_64KEY));
    FreeLibrary(held);
    ASSERT_EQ(RunProgram("\"" + SystemFolder(false) + "\\wineboot.exe\" -r", 120000), 0);
    ExpectNothingInstalled();
}

// Start at sign-in reaches every user: the machine's Run value, in the registry view of the
// bar it names, and nothing in the profile of the administrator who ran the setup.
// /NOAUTOSTART leaves it off. The uninstaller takes the machine's value away, and the
// user's own value when it names the installed bar (the bar's menu writes one).
TEST_F(Setup, StartsTheBarAtSignInForEveryUserUnlessToldNotTo) {
    ASSERT_EQ(Install(setup_), 0);
    EXPECT_EQ(MachineRunValue(), "\"" + MachineBar() + "\"");
    if (win64_) {
        EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kRunKey, "Pelorin", KEY_WOW64_32KEY), kMissing);
    }
    EXPECT_EQ(Read(HKEY_CURRENT_USER, kRunKey, "Pelorin"), kMissing);

    ASSERT_EQ(Install(setup_, " /NOAUTOSTART"), 0);
    ExpectInstalled(PELORIN_VERSION);
    EXPECT_EQ(MachineRunValue(), kMissing);
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kRunKey, "Pelorin", KEY_WOW64_32KEY), kMissing);
    EXPECT_EQ(Read(HKEY_CURRENT_USER, kRunKey, "Pelorin"), kMissing);

    ASSERT_EQ(Install(setup_), 0);
    EXPECT_EQ(MachineRunValue(), "\"" + MachineBar() + "\"");

    // The user's own start at sign-in, naming the installed bar, goes with it.
    HKEY run = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_WRITE, nullptr, &run, nullptr),
              ERROR_SUCCESS);
    std::string installed = "\"" + MachineBar() + "\"";
    RegSetValueExA(run, "Pelorin", 0, REG_SZ, reinterpret_cast<const BYTE*>(installed.c_str()),
                   static_cast<DWORD>(installed.size() + 1));
    ASSERT_EQ(Uninstall(), 0);
    ExpectNothingInstalled();
    EXPECT_EQ(Read(HKEY_CURRENT_USER, kRunKey, "Pelorin"), kMissing);

    // One naming a copy of the bar elsewhere (from the zip) is the user's and stays.
    ASSERT_EQ(Install(setup_), 0);
    const std::string elsewhere = "\"C:\\Tools\\Pelorin\\x86\\pelorin.exe\"";
    RegSetValueExA(run, "Pelorin", 0, REG_SZ, reinterpret_cast<const BYTE*>(elsewhere.c_str()),
                   static_cast<DWORD>(elsewhere.size() + 1));
    ASSERT_EQ(Uninstall(), 0);
    EXPECT_EQ(MachineRunValue(), kMissing);
    EXPECT_EQ(Read(HKEY_CURRENT_USER, kRunKey, "Pelorin"), elsewhere);
    RegDeleteValueA(run, "Pelorin");
    RegCloseKey(run);
}

// An upgrade while the bar runs: the setup ends it (so its files are free and nothing waits
// for a restart), replaces them, and starts the bar again, a new process of the new file.
TEST_F(Setup, AnUpgradeEndsTheRunningBarAndStartsItAgain) {
    ASSERT_EQ(Install(packages_ + "\\pelorin-setup-older.exe", " /NOAUTOSTART"), 0);
    BarProcess before;
    ASSERT_TRUE(before.Start(MachineBar()));

    ASSERT_EQ(Install(setup_), 0);  // not 3010: the bar let go of its files first
    EXPECT_EQ(before.WaitForExit(0), 0u);
    ExpectInstalled(PELORIN_VERSION);

    BarProcess after;
    ASSERT_TRUE(after.Find(0, before.pid(), 20000)) << "no bar came back after the upgrade";
    EXPECT_NE(after.pid(), before.pid());
    EXPECT_EQ(Lower(after.ImagePath()), Lower(MachineBar()));
    EXPECT_EQ(after.Close(), 0u);

    // With no bar running, an upgrade starts none.
    ASSERT_EQ(Install(setup_), 0);
    Sleep(2000);
    EXPECT_FALSE(AnyBarWindow());
}

// Removal while the bar runs: the bar ends, and everything goes now (no restart needed);
// the user's data stays.
TEST_F(Setup, UninstallingEndsTheRunningBarAndKeepsTheUsersData) {
    ASSERT_EQ(Install(setup_), 0);
    HKEY seen = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kSeenKey, 0, nullptr, 0, KEY_WRITE, nullptr, &seen, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(seen, "http://pages.test/b.html", 0, REG_SZ, reinterpret_cast<const BYTE*>("4567"), 5);
    RegCloseKey(seen);
    BarProcess bar;
    ASSERT_TRUE(bar.Start(MachineBar()));

    ASSERT_EQ(Uninstall(), 0);
    EXPECT_EQ(bar.WaitForExit(0), 0u);
    ExpectNothingInstalled();
    EXPECT_FALSE(FileExists(installDir_));
    Sleep(2000);
    EXPECT_FALSE(AnyBarWindow());  // and none started again
    EXPECT_EQ(Read(HKEY_CURRENT_USER, kSeenKey, "http://pages.test/b.html"), "4567");

    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSeenKey, 0, KEY_WRITE, &seen) == ERROR_SUCCESS) {
        RegDeleteValueA(seen, "http://pages.test/b.html");
        RegCloseKey(seen);
    }
}

// The zip for use without installing: each bitness in its own folder with the bar, the DLL
// and the sample, and the guide. The folder of this machine's bitness, copied anywhere, runs
// the bar with nothing registered.
TEST_F(Setup, TheZipRunsTheBarFromAnyFolderWithNothingRegistered) {
    std::string zip = WindowsPathOf("PELORIN_SETUP_BUILD") + "\\pelorin-" PELORIN_VERSION ".zip";
    std::vector<std::string> names = ZipEntryNames(ReadBytes(zip));
    std::set<std::string> programs;
    for (const std::string& name : names) {
        if (name.compare(0, 12, "screenshots/") != 0) programs.insert(name);
    }
    EXPECT_EQ(programs, (std::set<std::string>{"user-guide.html", "x64/pelorin.beta.dll", "x64/pelorin.exe",
                                               "x64/pelorin.sample.ini", "x86/pelorin.beta.dll", "x86/pelorin.exe",
                                               "x86/pelorin.sample.ini"}));
    EXPECT_GT(names.size(), programs.size());  // the guide's pictures

    // As unpacked by Info-ZIP's unzip at build time, then copied into a folder of the user's
    // on drive C:.
    std::string unzipped = packages_ + "\\unzipped\\" + kOwnFolder;
    char localAppData[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, localAppData);
    std::string folder = std::string(localAppData) + "\\Pelorin portable";
    RemoveTree(folder);
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    for (const char* file : {"pelorin.exe", "pelorin.beta.dll", "pelorin.sample.ini"}) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(CopyFileA((unzipped + "\\" + file).c_str(), (folder + "\\" + file).c_str(), FALSE));
        std::string staged = std::string(file) == "pelorin.sample.ini"
                                 ? WindowsPathOf("PELORIN_SETUP_BUILD") + "\\pelorin.sample.ini"
                                 : stage_ + "\\" + kOwnFolder + "\\" + file;
        EXPECT_EQ(ReadBytes(folder + "\\" + file), ReadBytes(staged));
    }

    ASSERT_FALSE(Exists(HKEY_CLASSES_ROOT, kClassKey));  // SetUp took the build's registration away
    {
        BarProcess bar;
        ASSERT_TRUE(bar.Start(folder + "\\pelorin.exe")) << "the unpacked bar showed no band";
        EXPECT_EQ(bar.Close(), 0u);
    }
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, kClassKey));  // and the bar registered nothing
    RemoveTree(folder);
}

}  // namespace
