// The setup program as an administrator runs it, silently (/S): what it puts on the machine
// (files under Program Files, each DLL registered in its own registry view, the
// installed-programs entry, the Start-menu link), what running it again and upgrading
// leave, what the uninstaller takes away and what it keeps, and that a registration that
// fails leaves nothing half-installed. The packages besides the real one are the test's
// own (tests/win/CMakeLists.txt): an older version, and one with a damaged DLL of each
// bitness. The test runs in the prefix of either build: only the 32-bit DLL on 32-bit
// Windows, both on 64-bit Windows.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "support/registry_views.h"
#include "support/test_env.h"

namespace {

const char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelorin";
const char kSeenKey[] = "Software\\Vorna\\Pelorin";
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

    int Install(const std::string& package) { return RunProgram("\"" + package + "\" /S", 180000); }

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
        EXPECT_TRUE(FileExists(installDir_ + "\\x86\\pelorin.sample.ini"));
        EXPECT_TRUE(FileExists(installDir_ + "\\user-guide.html"));
        EXPECT_TRUE(FileExists(installDir_ + "\\uninstall.exe"));
        ExpectRegistered(KEY_WOW64_32KEY, Dll("x86"), "win32");
        EXPECT_EQ(ProbeBand(probe32_), Dll("x86"));
        if (win64_) {
            ASSERT_TRUE(FileExists(Dll("x64")));
            EXPECT_EQ(ReadBytes(Dll("x64")), ReadBytes(stage_ + "\\x64\\pelorin.beta.dll"));
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
        ASSERT_EQ(links.size(), 1u);
        EXPECT_EQ(links[0], "Pelorin ユーザーガイド.lnk");
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
        EXPECT_FALSE(FileExists(installDir_ + "\\uninstall.exe"));
        EXPECT_FALSE(FileExists(CommonPrograms() + "\\Pelorin"));
        EXPECT_EQ(ProbeBand(probe32_).compare(0, 6, "failed"), 0);
    }

    std::string setup_, packages_, stage_, installDir_, probe32_, probe64_;
    bool win64_ = false;
};

TEST_F(Setup, InstallsForEveryBitnessAndItsUninstallerKeepsTheUsersData) {
    ASSERT_EQ(Install(setup_), 0);
    ExpectInstalled(PELORIN_VERSION);

    // The user's own: a pelorin.ini in the application-data folder, one beside the DLL,
    // and the record of seen pages.
    char appData[MAX_PATH] = "";
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
    EXPECT_EQ(FilesIn(installDir_ + "\\x86\\*").size(), 2u);  // the DLL and the sample

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

}  // namespace
