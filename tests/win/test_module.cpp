// Module start-up as the DLL runs it: where pelorin.ini is looked for, and the four exports.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "module/module.h"
#include "support/test_env.h"

namespace {

std::string AppDataIni() {
    char folder[MAX_PATH] = "";
    SHGetSpecialFolderPathA(nullptr, folder, CSIDL_APPDATA, TRUE);
    return std::string(folder) + "\\pelorin.ini";
}

class ConfigLocation : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteFileA(AppDataIni().c_str());
        dir_ = MakeScratchDir("config-location");
        module_ = dir_ + "\\pelorin.beta.dll";
    }
    void TearDown() override { DeleteFileA(AppDataIni().c_str()); }
    std::string dir_, module_;
};

TEST_F(ConfigLocation, ApplicationDataCopyWinsOverTheOneBesideTheLibrary) {
    WriteBytes(dir_ + "\\pelorin.ini", "[watch]\r\ninterval=1\r\n");
    WriteBytes(AppDataIni(), "[watch]\r\ninterval=2\r\n");
    std::string path = ResolveConfigPath(module_.c_str());
    EXPECT_EQ(path, AppDataIni());
    EXPECT_EQ(GetPrivateProfileIntA("watch", "interval", 0, path.c_str()), 2u);
}

TEST_F(ConfigLocation, FileOnlyBesideTheLibraryIsUsed) {
    WriteBytes(dir_ + "\\pelorin.ini", "[watch]\r\ninterval=1\r\n");
    std::string path = ResolveConfigPath(module_.c_str());
    EXPECT_EQ(path, dir_ + "\\pelorin.ini");
    EXPECT_EQ(ModuleDirectory(), dir_);
    EXPECT_EQ(GetPrivateProfileIntA("watch", "interval", 0, path.c_str()), 1u);
}

TEST_F(ConfigLocation, NoFileAnywhereNamesThePlaceBesideTheLibraryAndReadsDefaults) {
    std::string path = ResolveConfigPath(module_.c_str());
    EXPECT_EQ(path, dir_ + "\\pelorin.ini");
    EXPECT_FALSE(PathFileExistsA(path.c_str()));
    EXPECT_EQ(GetPrivateProfileIntA("watch", "interval", 0, path.c_str()), 0u);
}

TEST_F(ConfigLocation, FolderWithTrailByte5CIsCutAtTheRealBackslash) {
    // 表 is 0x95 0x5C and ソ is 0x83 0x5C in code page 932: both end in the backslash byte.
    std::string folder = dir_ + "\\\x95\x5C\x83\x5C";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    WriteBytes(folder + "\\pelorin.ini", "[watch]\r\ninterval=7\r\n");
    std::string path = ResolveConfigPath((folder + "\\pelorin.beta.dll").c_str());
    EXPECT_EQ(ModuleDirectory(), folder);
    EXPECT_EQ(path, folder + "\\pelorin.ini");
    EXPECT_EQ(GetPrivateProfileIntA("watch", "interval", 0, path.c_str()), 7u);
}

TEST_F(ConfigLocation, MissingApplicationDataFolderIsCreatedAndTheFileBesideUsed) {
    // Point this user's application-data folder at a place that does not exist yet, as for
    // a user who never had one, and put the real one back afterwards.
    const char* shellFolders = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, shellFolders, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
    char saved[MAX_PATH] = "";
    DWORD savedSize = sizeof saved, savedType = 0;
    LONG hadValue = RegQueryValueExA(key, "AppData", nullptr, &savedType,
                                     reinterpret_cast<BYTE*>(saved), &savedSize);
    std::string fresh = dir_ + "\\fresh-user\\Roaming";
    RegSetValueExA(key, "AppData", 0, REG_SZ, reinterpret_cast<const BYTE*>(fresh.c_str()),
                   static_cast<DWORD>(fresh.size() + 1));

    WriteBytes(dir_ + "\\pelorin.ini", "[watch]\r\ninterval=3\r\n");
    std::string path = ResolveConfigPath(module_.c_str());
    bool created = PathIsDirectoryA(fresh.c_str()) != FALSE;

    if (hadValue == ERROR_SUCCESS) {
        RegSetValueExA(key, "AppData", 0, savedType, reinterpret_cast<BYTE*>(saved), savedSize);
    } else {
        RegDeleteValueA(key, "AppData");
    }
    RegCloseKey(key);

    EXPECT_TRUE(created) << fresh;
    EXPECT_EQ(path, dir_ + "\\pelorin.ini");
}

typedef HRESULT(STDAPICALLTYPE* GetClassObjectFn)(REFCLSID, REFIID, void**);
typedef HRESULT(STDAPICALLTYPE* NoArgumentFn)();

TEST(Library, LoadsAndAnswersThroughItsExports) {
    HMODULE dll = LoadLibraryA(DllPath().c_str());
    ASSERT_NE(dll, nullptr) << DllPath();
    auto canUnload = reinterpret_cast<NoArgumentFn>(GetProcAddress(dll, "DllCanUnloadNow"));
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(GetProcAddress(dll, "DllGetClassObject"));
    ASSERT_NE(canUnload, nullptr);
    ASSERT_NE(getClassObject, nullptr);
    EXPECT_NE(GetProcAddress(dll, "DllRegisterServer"), nullptr);
    EXPECT_NE(GetProcAddress(dll, "DllUnregisterServer"), nullptr);
    EXPECT_EQ(GetProcAddress(dll, "DllMain"), nullptr);
    EXPECT_EQ(canUnload(), S_OK);

    // A class this library never serves.
    const CLSID other = {0xBC3E6E08, 0x329F, 0x415D, {0xA3, 0x16, 0x8B, 0x32, 0x6C, 0x94, 0xE4, 0xA8}};
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(getClassObject(other, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(canUnload(), S_OK);
    EXPECT_TRUE(FreeLibrary(dll));
}

}  // namespace
