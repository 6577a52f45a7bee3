// Registration and unregistration through the real path (regsvr32 in this prefix), read
// back through the registry. Every test leaves the band registered as it found it.
#include <gtest/gtest.h>
#include <windows.h>
#include <comcat.h>

#include <string>
#include <vector>

#include "support/test_env.h"

namespace {

const char kClassKey[] = "CLSID\\{408EA957-CF17-4D81-93AB-FDDA7ACDA90F}";
const char kToolbarKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
const char kTypeLibKey[] = "TypeLib\\{C84D3A09-7225-463E-B59C-AE215D34BF56}";
const char* const kToolbarValues[] = {
    "{BC3E6E08-329F-415D-A316-8B326C94E4A8}", "{CC197F69-C4ED-44FD-999B-8901BCF76A42}",
    "{42785314-1904-43E5-8F23-CB470FBD6661}", "{408EA957-CF17-4D81-93AB-FDDA7ACDA90F}"};

// Runs regsvr32 of this prefix and waits for it; its exit code, or -1 when it did not run.
int Regsvr32(const std::string& arguments, const std::string& dll = DllPath()) {
    std::string command = "regsvr32.exe " + arguments + " \"" + dll + "\"";
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

bool KeyExists(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// A REG_SZ value as its bytes in the ANSI code page; "<missing>" when there is none.
std::string ReadString(HKEY root, const std::string& path, const char* name) {
    char data[1024] = "";
    DWORD size = sizeof data, type = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return "<missing>";
    LONG result = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) return "<missing>";
    if (type != REG_SZ) return "<not REG_SZ>";
    return std::string(data);
}

DWORD ValueCount(HKEY root, const std::string& path) {
    HKEY key = nullptr;
    DWORD values = 0;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return static_cast<DWORD>(-1);
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(key);
    return values;
}

void SetString(HKEY root, const std::string& path, const char* name, const std::string& value) {
    HKEY key = nullptr;
    RegCreateKeyA(root, path.c_str(), &key);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>(value.size() + 1));
    RegCloseKey(key);
}

std::string Folder(const std::string& path) { return path.substr(0, path.rfind('\\') + 1); }

class Registration : public ::testing::Test {
protected:
    // Later test programs find the band registered, by this build's DLL.
    void TearDown() override { EXPECT_EQ(Regsvr32("/s"), 0); }
};

TEST_F(Registration, WritesScript104TheCategoryAndTheTypeLibrary) {
    ASSERT_EQ(Regsvr32("/s"), 0);
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, "Pelorin.Pelorin\\CLSID", nullptr),
              "{408EA957-CF17-4D81-93AB-FDDA7ACDA90F}");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, kClassKey, nullptr), "Pelorin");
    std::string key = kClassKey;
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, key + "\\ProgID", nullptr), "Pelorin.Pelorin");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, key + "\\VersionIndependentProgID", nullptr), "Pelorin.Pelorin");
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, key + "\\Programmable"));
    EXPECT_EQ(ValueCount(HKEY_CLASSES_ROOT, key + "\\Programmable"), 0u);
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, key + "\\InprocServer32", nullptr), DllPath());
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, key + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, key + "\\TypeLib", nullptr), "{C84D3A09-7225-463E-B59C-AE215D34BF56}");
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kToolbarKey, "{408EA957-CF17-4D81-93AB-FDDA7ACDA90F}"), "");

    // The desk-band category, as the categories manager reads it back.
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, key + "\\Implemented Categories\\{00021492-0000-0000-C000-000000000046}"));

    // PelorinLib 1.0, locale 0x409, with its help text in code page 932 and the module's
    // folder as help directory.
    std::string lib = std::string(kTypeLibKey) + "\\1.0";
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, lib, nullptr),
              "Rodivire 1.0 \xC0\xB2\xCC\xDF \xD7\xB2\xCC\xDE\xD7\xD8");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, lib + "\\409\\" + kOwnPlatformKey, nullptr), DllPath());
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, lib + "\\HELPDIR", nullptr), Folder(DllPath()));
}

TEST_F(Registration, RegisteringAgainReplacesTheClassKeyWhole) {
    ASSERT_EQ(Regsvr32("/s"), 0);
    std::string stray = std::string(kClassKey) + "\\Stray";
    SetString(HKEY_CLASSES_ROOT, stray, nullptr, "left by someone");
    SetString(HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\Programmable", "Extra", "x");
    ASSERT_TRUE(KeyExists(HKEY_CLASSES_ROOT, stray));
    ASSERT_EQ(Regsvr32("/s"), 0);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, stray));
    EXPECT_EQ(ValueCount(HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\Programmable"), 0u);
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\InprocServer32", nullptr), DllPath());
}

TEST_F(Registration, UnregisteringLeavesNoClassNoProgIdAndNoToolbarEntries) {
    ASSERT_EQ(Regsvr32("/s"), 0);
    // Entries of the three other scripts, written by some other registration.
    for (const char* value : kToolbarValues) SetString(HKEY_LOCAL_MACHINE, kToolbarKey, value, "");
    SetString(HKEY_LOCAL_MACHINE, kToolbarKey, "{00000000-1111-2222-3333-444444444444}", "someone else's");

    ASSERT_EQ(Regsvr32("/u /s"), 0);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, "Pelorin.Pelorin"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kClassKey));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "CLSID"));
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kToolbarKey));
    for (const char* value : kToolbarValues) {
        EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kToolbarKey, value), "<missing>") << value;
    }
    // Only the four entries are ours to remove.
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kToolbarKey, "{00000000-1111-2222-3333-444444444444}"),
              "someone else's");
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::string(kTypeLibKey) + "\\1.0"));

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kToolbarKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    RegDeleteValueA(key, "{00000000-1111-2222-3333-444444444444}");
    RegCloseKey(key);
}

TEST_F(Registration, UnregisteringWithoutAToolbarKeyCreatesItEmpty) {
    ASSERT_EQ(Regsvr32("/s"), 0);
    // Whatever else the key holds comes back afterwards.
    std::vector<std::pair<std::string, std::string>> saved;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kToolbarKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        char name[256], data[1024];
        for (DWORD i = 0;; ++i) {
            DWORD nameSize = sizeof name, dataSize = sizeof data, type = 0;
            if (RegEnumValueA(key, i, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize) !=
                ERROR_SUCCESS) {
                break;
            }
            if (type == REG_SZ) saved.emplace_back(name, data);
        }
        RegCloseKey(key);
    }
    ASSERT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, kToolbarKey), ERROR_SUCCESS);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kToolbarKey);
    ASSERT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, kToolbarKey));

    EXPECT_EQ(Regsvr32("/u /s"), 0);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, kToolbarKey));
    EXPECT_EQ(ValueCount(HKEY_LOCAL_MACHINE, kToolbarKey), 0u);

    for (const auto& value : saved) SetString(HKEY_LOCAL_MACHINE, kToolbarKey, value.first.c_str(), value.second);
}

// A copy of the DLL in a folder of its own, with its type library resource taken out, so
// that registration can only find the library in a .tlb beside the copy.
class CopyWithoutTypeLibrary : public Registration {
protected:
    void SetUp() override {
        dir_ = MakeScratchDir("registration-copy");
        copy_ = dir_ + "\\pelorin.beta.dll";
        // The resource type's name, "TYPELIB" in UTF-16 in the resource directory, renamed
        // in the copy's bytes: the copy then holds no type library resource at all.
        std::string image = ReadBytes(DllPath());
        const char name[] = "\x07\0T\0Y\0P\0E\0L\0I\0B\0";
        size_t at = image.find(std::string(name, sizeof name - 1));
        ASSERT_NE(at, std::string::npos);
        ASSERT_EQ(image.find(std::string(name, sizeof name - 1), at + 1), std::string::npos);
        image[at + sizeof name - 3] = 'X';
        WriteBytes(copy_, image);
        HMODULE copy = LoadLibraryExA(copy_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(copy, nullptr);
        bool stillThere = FindResourceA(copy, MAKEINTRESOURCEA(1), "TYPELIB") != nullptr;
        bool scriptThere = FindResourceA(copy, MAKEINTRESOURCEA(104), "REGISTRY") != nullptr;
        FreeLibrary(copy);
        ASSERT_FALSE(stillThere);
        ASSERT_TRUE(scriptThere);
        // The library the real DLL carries, to put beside the copy when a test wants it.
        HMODULE real = LoadLibraryExA(DllPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(real, nullptr);
        HRSRC resource = FindResourceA(real, MAKEINTRESOURCEA(1), "TYPELIB");
        ASSERT_NE(resource, nullptr);
        tlb_.assign(static_cast<const char*>(LockResource(LoadResource(real, resource))), SizeofResource(real, resource));
        FreeLibrary(real);
        ASSERT_TRUE(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED) >= 0);
    }
    void TearDown() override {
        if (module_) FreeLibrary(module_);
        CoUninitialize();
        Registration::TearDown();
        RemoveTree(dir_);
    }
    HRESULT RegisterCopy() {
        module_ = LoadLibraryA(copy_.c_str());
        if (!module_) return E_FAIL;
        auto registerServer = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(GetProcAddress(module_, "DllRegisterServer"));
        return registerServer ? registerServer() : E_FAIL;
    }
    std::string dir_, copy_, tlb_;
    HMODULE module_ = nullptr;
};

TEST_F(CopyWithoutTypeLibrary, FailsAtTheTypeLibraryAndKeepsTheStepsBefore) {
    ASSERT_EQ(Regsvr32("/u /s"), 0);
    ITypeLib* typeLib = nullptr;
    HRESULT expected = LoadTypeLib(L"Z:\\nowhere\\pelorin.beta.tlb", &typeLib);
    ASSERT_TRUE(FAILED(expected));

    HRESULT hr = RegisterCopy();
    EXPECT_TRUE(FAILED(hr));
    std::wstring tlbPath(dir_.begin(), dir_.end());
    tlbPath += L"\\pelorin.beta.tlb";
    EXPECT_EQ(hr, LoadTypeLib(tlbPath.c_str(), &typeLib)) << std::hex << hr;
    // Script 104 and the category were done before the type library failed.
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, std::string(kClassKey) + "\\InprocServer32", nullptr), copy_);
    EXPECT_EQ(ReadString(HKEY_LOCAL_MACHINE, kToolbarKey, "{408EA957-CF17-4D81-93AB-FDDA7ACDA90F}"), "");
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::string(kClassKey) +
                                                 "\\Implemented Categories\\{00021492-0000-0000-C000-000000000046}"));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::string(kTypeLibKey) + "\\1.0"));
}

TEST_F(CopyWithoutTypeLibrary, FindsTheLibraryBesideItAndNamesThatFolder) {
    WriteBytes(dir_ + "\\pelorin.beta.tlb", tlb_);
    EXPECT_EQ(RegisterCopy(), S_OK);
    std::string lib = std::string(kTypeLibKey) + "\\1.0";
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, lib + "\\409\\" + kOwnPlatformKey, nullptr), dir_ + "\\pelorin.beta.tlb");
    EXPECT_EQ(ReadString(HKEY_CLASSES_ROOT, lib + "\\HELPDIR", nullptr), dir_ + "\\");
}

std::string ResourceBytes(HMODULE module, const char* type, int id) {
    HRSRC resource = FindResourceExA(module, type, MAKEINTRESOURCEA(id), MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    if (!resource) return std::string();
    return std::string(static_cast<const char*>(LockResource(LoadResource(module, resource))),
                       SizeofResource(module, resource));
}

TEST(ModuleResources, FourScriptsAndTheTypeLibraryInJapanese) {
    HMODULE dll = LoadLibraryExA(DllPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(dll, nullptr);
    const char* const rows[][3] = {
        {"Pelorin.Watch", "'Pelorin Watch'", "{BC3E6E08-329F-415D-A316-8B326C94E4A8}"},
        {"Pelorin.News", "'Pelorin News'", "{CC197F69-C4ED-44FD-999B-8901BCF76A42}"},
        {"Pelorin.Search", "'Pelorin Search'", "{42785314-1904-43E5-8F23-CB470FBD6661}"},
        {"Pelorin.Pelorin", "'Pelorin'", "{408EA957-CF17-4D81-93AB-FDDA7ACDA90F}"},
    };
    for (int i = 0; i < 4; ++i) {
        std::string script = ResourceBytes(dll, "REGISTRY", 101 + i);
        ASSERT_FALSE(script.empty()) << 101 + i;
        for (const char* text : rows[i]) EXPECT_NE(script.find(text), std::string::npos) << 101 + i << " " << text;
        EXPECT_NE(script.find("val " + std::string(rows[i][2]) + " = s ''"), std::string::npos);
    }
    // The help text is stored in code page 932 in the compiled library itself.
    std::string tlb = ResourceBytes(dll, "TYPELIB", 1);
    ASSERT_EQ(tlb.compare(0, 4, "MSFT"), 0);
    EXPECT_NE(tlb.find("Rodivire 1.0 \xC0\xB2\xCC\xDF \xD7\xB2\xCC\xDE\xD7\xD8"), std::string::npos);
    FreeLibrary(dll);
}

TEST(ModuleResources, TypeLibraryNamesTheFourBands) {
    std::string dll = DllPath();
    std::wstring path(dll.begin(), dll.end());
    ITypeLib* typeLib = nullptr;
    ASSERT_EQ(LoadTypeLib(path.c_str(), &typeLib), S_OK);
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(typeLib->GetLibAttr(&attributes), S_OK);
    const GUID libId = {0xC84D3A09, 0x7225, 0x463E, {0xB5, 0x9C, 0xAE, 0x21, 0x5D, 0x34, 0xBF, 0x56}};
    EXPECT_EQ(attributes->guid, libId);
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    EXPECT_EQ(attributes->lcid, 0x409u);
    EXPECT_EQ(attributes->syskind, kOwnSysKind);  // built for this build's Windows
    typeLib->ReleaseTLibAttr(attributes);

    BSTR name = nullptr, help = nullptr;
    ASSERT_EQ(typeLib->GetDocumentation(-1, &name, &help, nullptr, nullptr), S_OK);
    EXPECT_STREQ(name, L"PelorinLib");
    char helpBytes[64] = "";
    WideCharToMultiByte(932, 0, help, -1, helpBytes, sizeof helpBytes, nullptr, nullptr);
    EXPECT_STREQ(helpBytes, "Rodivire 1.0 \xC0\xB2\xCC\xDF \xD7\xB2\xCC\xDE\xD7\xD8");
    SysFreeString(name);
    SysFreeString(help);

    ASSERT_EQ(typeLib->GetTypeInfoCount(), 4u);
    const wchar_t* const names[] = {L"CmdBand", L"NewsBand", L"QueryBand", L"Pelorband"};
    const CLSID ids[] = {
        {0xBC3E6E08, 0x329F, 0x415D, {0xA3, 0x16, 0x8B, 0x32, 0x6C, 0x94, 0xE4, 0xA8}},
        {0xCC197F69, 0xC4ED, 0x44FD, {0x99, 0x9B, 0x89, 0x01, 0xBC, 0xF7, 0x6A, 0x42}},
        {0x42785314, 0x1904, 0x43E5, {0x8F, 0x23, 0xCB, 0x47, 0x0F, 0xBD, 0x66, 0x61}},
        {0x408EA957, 0xCF17, 0x4D81, {0x93, 0xAB, 0xFD, 0xDA, 0x7A, 0xCD, 0xA9, 0x0F}},
    };
    for (UINT i = 0; i < 4; ++i) {
        TYPEKIND kind = TKIND_MAX;
        EXPECT_EQ(typeLib->GetTypeInfoType(i, &kind), S_OK);
        EXPECT_EQ(kind, TKIND_COCLASS);
        ASSERT_EQ(typeLib->GetDocumentation(static_cast<INT>(i), &name, nullptr, nullptr, nullptr), S_OK);
        EXPECT_STREQ(name, names[i]);
        SysFreeString(name);
        ITypeInfo* info = nullptr;
        ASSERT_EQ(typeLib->GetTypeInfoOfGuid(ids[i], &info), S_OK) << i;
        info->Release();
    }
    typeLib->Release();
}

// The version resource tells the two DLLs apart: the same version, each its own architecture.
TEST(ModuleResources, VersionNamesTheArchitecture) {
    std::string dll = DllPath();
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(dll.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(GetFileVersionInfoA(dll.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, fixed->dwFileVersionMS);
    char* text = nullptr;
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\041104b0\\FileDescription",
                               reinterpret_cast<void**>(&text), &length));
#ifdef _WIN64
    EXPECT_STREQ(text, "Pelorin toolbar (64-bit, x64)");
#else
    EXPECT_STREQ(text, "Pelorin toolbar (32-bit, x86)");
#endif
    ASSERT_TRUE(VerQueryValueA(data.data(), "\\StringFileInfo\\041104b0\\FileVersion",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(text, "1, 0, 0, 1");
}

}  // namespace
