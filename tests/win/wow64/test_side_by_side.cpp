// Both DLLs on one 64-bit machine, as a user installs them for the 64-bit taskbar and a
// 32-bit browser: the 32-bit DLL registered by the 32-bit regsvr32, the 64-bit one by the
// 64-bit regsvr32, each from a folder of its own. Each class registration lands in its own
// registry view; the ProgID and the type library's version key are shared by the views,
// and unregistering either DLL must leave the other one whole and working. "Working" is
// checked by a host of each bitness creating the band through COM (com_probe.exe).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "support/test_env.h"

namespace {

const char kClassKey[] = "CLSID\\{408EA957-CF17-4D81-93AB-FDDA7ACDA90F}";
const char kCategoryKey[] = "\\Implemented Categories\\{00021492-0000-0000-C000-000000000046}";
const char kToolbarKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
const char kToolbarValue[] = "{408EA957-CF17-4D81-93AB-FDDA7ACDA90F}";
const char kTypeLibVersion[] = "TypeLib\\{C84D3A09-7225-463E-B59C-AE215D34BF56}\\1.0";
const char kMissing[] = "<missing>";

std::string Win32BuildDir() {
    const char* value = std::getenv("PELORIN_WIN32_BUILD");
    if (!value || !*value) return std::string();
    std::string path = std::string("Z:") + value;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::string SystemFolder(bool wow64) {
    char folder[MAX_PATH] = "";
    if (wow64) {
        GetSystemWow64DirectoryA(folder, MAX_PATH);
    } else {
        GetSystemDirectoryA(folder, MAX_PATH);
    }
    return folder;
}

int RunProgram(std::string command) {
    STARTUPINFOA startup = {sizeof startup};
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return -1;
    }
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

// regsvr32 of the given bitness, from its own system folder.
int Regsvr32(bool bits32, const std::string& arguments, const std::string& dll) {
    return RunProgram("\"" + SystemFolder(bits32) + "\\regsvr32.exe\" " + arguments + " \"" + dll + "\"");
}

// A REG_SZ value in one view (view 0: this process's own), or kMissing.
std::string Read(HKEY root, const std::string& path, const char* name, REGSAM view = 0) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return kMissing;
    char data[1024] = "";
    DWORD size = sizeof data, type = 0;
    LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    return result == ERROR_SUCCESS && type == REG_SZ ? std::string(data) : std::string(kMissing);
}

bool Exists(HKEY root, const std::string& path, REGSAM view = 0) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}


class SideBySide : public ::testing::Test {
protected:
    void SetUp() override {
        std::string win32 = Win32BuildDir();
        ASSERT_FALSE(win32.empty()) << "PELORIN_WIN32_BUILD names no 32-bit build; run the tests through scripts/test";
        probe32_ = win32 + "\\tests\\win\\com_probe.exe";
        probe64_ = BuildDir() + "\\tests\\win\\com_probe.exe";
        ASSERT_NE(GetFileAttributesA((win32 + "\\pelorin.beta.dll").c_str()), INVALID_FILE_ATTRIBUTES)
            << "the 32-bit build has no pelorin.beta.dll";
        ASSERT_NE(GetFileAttributesA(probe32_.c_str()), INVALID_FILE_ATTRIBUTES);
        // The two folders a user would install them in; the DLLs have the same name.
        dir32_ = MakeScratchDir("side-by-side-x86");
        dir64_ = MakeScratchDir("side-by-side-x64");
        dll32_ = dir32_ + "\\pelorin.beta.dll";
        dll64_ = dir64_ + "\\pelorin.beta.dll";
        ASSERT_TRUE(CopyFileA((win32 + "\\pelorin.beta.dll").c_str(), dll32_.c_str(), FALSE));
        ASSERT_TRUE(CopyFileA(DllPath().c_str(), dll64_.c_str(), FALSE));
        ASSERT_EQ(Regsvr32(false, "/u /s", DllPath()), 0);  // the build's own registration steps aside
        ASSERT_EQ(Regsvr32(true, "/s", dll32_), 0);
        ASSERT_EQ(Regsvr32(false, "/s", dll64_), 0);
    }
    void TearDown() override {
        Regsvr32(true, "/u /s", dll32_);
        Regsvr32(false, "/u /s", dll64_);
        // Later test programs find the build's DLL registered, as before.
        EXPECT_EQ(Regsvr32(false, "/s", DllPath()), 0);
        RemoveTree(dir32_);
        RemoveTree(dir64_);
    }

    // The DLL a host of that bitness gets from COM, or "failed ..." when it gets none.
    std::string Probe(bool bits32) {
        std::string out = BuildDir() + "\\scratch\\probe-" + (bits32 ? "32" : "64") + ".txt";
        DeleteFileA(out.c_str());
        int code = RunProgram("\"" + (bits32 ? probe32_ : probe64_) + "\" \"" + out + "\"");
        std::string text = ReadBytes(out);
        DeleteFileA(out.c_str());
        return code == 0 ? text : "failed " + std::to_string(code) + " " + text;
    }

    void ExpectRegisteredIn(REGSAM view, const std::string& dll, const char* platform) {
        SCOPED_TRACE(platform);
        EXPECT_EQ(Read(HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\InprocServer32", nullptr, view), dll);
        EXPECT_EQ(Read(HKEY_CLASSES_ROOT, kClassKey, nullptr, view), "Pelorin");
        EXPECT_TRUE(Exists(HKEY_CLASSES_ROOT, std::string(kClassKey) + kCategoryKey, view));
        EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kToolbarKey, kToolbarValue, view), "");
        EXPECT_EQ(Read(HKEY_CLASSES_ROOT, std::string(kTypeLibVersion) + "\\409\\" + platform, nullptr), dll);
        EXPECT_EQ(Read(HKEY_CLASSES_ROOT, "Pelorin.Pelorin\\CLSID", nullptr), "{408EA957-CF17-4D81-93AB-FDDA7ACDA90F}");
    }
    void ExpectGoneFrom(REGSAM view, const char* platform) {
        SCOPED_TRACE(platform);
        EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, kClassKey, view));
        EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kToolbarKey, kToolbarValue, view), kMissing);
        EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, std::string(kTypeLibVersion) + "\\409\\" + platform));
    }

    std::string probe32_, probe64_, dir32_, dir64_, dll32_, dll64_;
};

TEST_F(SideBySide, EachClassRegistrationLandsInItsOwnView) {
    ExpectRegisteredIn(KEY_WOW64_32KEY, dll32_, "win32");
    ExpectRegisteredIn(KEY_WOW64_64KEY, dll64_, "win64");
    // The last registration wrote the shared help directory: the 64-bit DLL's folder.
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, std::string(kTypeLibVersion) + "\\HELPDIR", nullptr), dir64_ + "\\");
    EXPECT_EQ(Probe(true), dll32_);
    EXPECT_EQ(Probe(false), dll64_);
}

TEST_F(SideBySide, RemovingThe32BitDllLeavesThe64BitOneWhole) {
    ASSERT_EQ(Regsvr32(true, "/u /s", dll32_), 0);
    ExpectGoneFrom(KEY_WOW64_32KEY, "win32");
    ExpectRegisteredIn(KEY_WOW64_64KEY, dll64_, "win64");
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, std::string(kTypeLibVersion) + "\\HELPDIR", nullptr), dir64_ + "\\");
    EXPECT_EQ(Probe(false), dll64_);
    EXPECT_EQ(Probe(true).compare(0, 6, "failed"), 0);
}

TEST_F(SideBySide, RemovingThe64BitDllLeavesThe32BitOneWhole) {
    ASSERT_EQ(Regsvr32(false, "/u /s", dll64_), 0);
    ExpectGoneFrom(KEY_WOW64_64KEY, "win64");
    ExpectRegisteredIn(KEY_WOW64_32KEY, dll32_, "win32");
    // The help directory follows the registration that remains.
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, std::string(kTypeLibVersion) + "\\HELPDIR", nullptr), dir32_ + "\\");
    EXPECT_EQ(Probe(true), dll32_);
    EXPECT_EQ(Probe(false).compare(0, 6, "failed"), 0);
}

TEST_F(SideBySide, RemovingBothLeavesNothingOfEither) {
    ASSERT_EQ(Regsvr32(false, "/u /s", dll64_), 0);
    ASSERT_EQ(Regsvr32(true, "/u /s", dll32_), 0);
    ExpectGoneFrom(KEY_WOW64_32KEY, "win32");
    ExpectGoneFrom(KEY_WOW64_64KEY, "win64");
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, "Pelorin.Pelorin"));
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, kTypeLibVersion));
    EXPECT_EQ(Probe(true).compare(0, 6, "failed"), 0);
    EXPECT_EQ(Probe(false).compare(0, 6, "failed"), 0);
}

}  // namespace
