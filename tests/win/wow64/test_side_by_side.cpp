// Both DLLs on one 64-bit machine, as a user installs them for the 64-bit taskbar and a
// 32-bit browser: the 32-bit DLL registered by the 32-bit regsvr32, the 64-bit one by the
// 64-bit regsvr32, each from a folder of its own. Each class registration lands in its own
// registry view; the ProgID and the type library's version key are shared by the views,
// and unregistering either DLL must leave the other one whole and working. "Working" is
// checked by a host of each bitness creating the band through COM (com_probe.exe).
// The 64-bit DLL alone is the part a machine without 32-bit support can still check.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "support/registry_views.h"
#include "support/test_env.h"

namespace {

class SideBySide : public ::testing::Test {
protected:
    void SetUp() override {
        std::string win32 = WindowsPathOf("PELORIN_WIN32_BUILD");
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
    std::string Probe(bool bits32) { return ProbeBand(bits32 ? probe32_ : probe64_); }

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

// The 64-bit DLL alone, as a user installs it for the taskbar: nothing reaches the 32-bit
// view, where a 32-bit browser would look for it.
class Only64Bit : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = MakeScratchDir("only-x64");
        dll_ = dir_ + "\\pelorin.beta.dll";
        ASSERT_TRUE(CopyFileA(DllPath().c_str(), dll_.c_str(), FALSE));
        ASSERT_EQ(Regsvr32(false, "/u /s", DllPath()), 0);  // the build's own registration steps aside
        ASSERT_EQ(Regsvr32(false, "/s", dll_), 0);
    }
    void TearDown() override {
        Regsvr32(false, "/u /s", dll_);
        EXPECT_EQ(Regsvr32(false, "/s", DllPath()), 0);
        RemoveTree(dir_);
    }
    std::string dir_, dll_;
};

TEST_F(Only64Bit, LandsInThe64BitViewAloneAndLeavesNothingWhenRemoved) {
    std::string probe = BuildDir() + "\\tests\\win\\com_probe.exe";
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\InprocServer32", nullptr, KEY_WOW64_64KEY), dll_);
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, kClassKey, KEY_WOW64_32KEY));
    EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kToolbarKey, kToolbarValue, KEY_WOW64_32KEY), kMissing);
    EXPECT_EQ(Read(HKEY_CLASSES_ROOT, std::string(kTypeLibVersion) + "\\409\\win64", nullptr), dll_);
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, std::string(kTypeLibVersion) + "\\409\\win32"));
    EXPECT_EQ(ProbeBand(probe), dll_);

    ASSERT_EQ(Regsvr32(false, "/u /s", dll_), 0);
    for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, kClassKey, view));
        EXPECT_EQ(Read(HKEY_LOCAL_MACHINE, kToolbarKey, kToolbarValue, view), kMissing);
    }
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, "Pelorin.Pelorin"));
    EXPECT_FALSE(Exists(HKEY_CLASSES_ROOT, kTypeLibVersion));
    EXPECT_EQ(ProbeBand(probe).compare(0, 6, "failed"), 0);
}

}  // namespace
