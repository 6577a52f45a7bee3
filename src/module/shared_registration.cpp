#include "module/shared_registration.h"

#include "common/ansi.h"
#include "common/unique_handle.h"
#include "module/server_paths.h"

namespace {

#ifdef _WIN64
const wchar_t kOwnPlatform[] = L"win64";
const wchar_t kOtherPlatform[] = L"win32";
#else
const wchar_t kOwnPlatform[] = L"win32";
const wchar_t kOtherPlatform[] = L"win64";
#endif

bool SaveTree(HKEY parent, const std::wstring& name, REGSAM view, SavedKey* out) {
    RegKey key;
    if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) return false;
    out->name = name;
    wchar_t valueName[16384];
    for (DWORD i = 0;; ++i) {
        DWORD nameLength = ARRAYSIZE(valueName), type = 0, size = 0;
        if (RegEnumValueW(key.get(), i, valueName, &nameLength, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
        SavedKey::Value value;
        value.name.assign(valueName, nameLength);
        value.type = type;
        value.data.resize(size);
        nameLength = ARRAYSIZE(valueName);
        if (RegEnumValueW(key.get(), i, valueName, &nameLength, nullptr, &type, value.data.data(), &size) ==
            ERROR_SUCCESS) {
            value.data.resize(size);
            out->values.push_back(std::move(value));
        }
    }
    wchar_t childName[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = ARRAYSIZE(childName);
        if (RegEnumKeyExW(key.get(), i, childName, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        SavedKey child;
        if (SaveTree(key.get(), std::wstring(childName, length), view, &child)) out->children.push_back(std::move(child));
    }
    return true;
}

// Writes back the keys and values of the tree that are missing now; what is there stays.
void RestoreTree(HKEY parent, const SavedKey& saved, REGSAM view) {
    RegKey key;
    if (RegCreateKeyExW(parent, saved.name.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE | view, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS) {
        return;
    }
    for (const SavedKey::Value& value : saved.values) {
        const wchar_t* name = value.name.empty() ? nullptr : value.name.c_str();
        if (RegQueryValueExW(key.get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) continue;
        RegSetValueExW(key.get(), name, 0, value.type, value.data.empty() ? nullptr : value.data.data(),
                       static_cast<DWORD>(value.data.size()));
    }
    for (const SavedKey& child : saved.children) RestoreTree(key.get(), child, view);
}

std::wstring DefaultText(const SavedKey& key) {
    for (const SavedKey::Value& value : key.values) {
        if (value.name.empty() && (value.type == REG_SZ || value.type == REG_EXPAND_SZ)) {
            std::wstring text(reinterpret_cast<const wchar_t*>(value.data.data()), value.data.size() / sizeof(wchar_t));
            while (!text.empty() && text.back() == L'\0') text.pop_back();
            return text;
        }
    }
    return std::wstring();
}

SavedKey* Child(SavedKey& key, const wchar_t* name) {
    for (SavedKey& child : key.children) {
        if (lstrcmpiW(child.name.c_str(), name) == 0) return &child;
    }
    return nullptr;
}

}  // namespace

bool OtherRegistryView(REGSAM* view) {
#ifdef _WIN64
    *view = KEY_WOW64_32KEY;
    return true;
#else
    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64) || !wow64) return false;
    *view = KEY_WOW64_64KEY;
    return true;
#endif
}

SharedEntries SaveSharedEntries(const std::wstring& classKey, const std::vector<std::wstring>& progIds,
                                const std::wstring& typeLibVersionKey, const std::wstring& lcidKey) {
    SharedEntries saved;
    if (!OtherRegistryView(&saved.otherView)) return saved;
    RegKey server;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, (classKey + L"\\InprocServer32").c_str(), 0, KEY_READ | saved.otherView,
                      server.put()) != ERROR_SUCCESS) {
        return saved;
    }
    saved.otherBitnessRegistered = true;
    for (const std::wstring& progId : progIds) {
        SavedKey tree;
        if (SaveTree(HKEY_CLASSES_ROOT, progId, 0, &tree)) saved.progIds.emplace_back(progId, tree);
    }
    saved.typeLibPath = typeLibVersionKey;
    saved.hadTypeLib = SaveTree(HKEY_CLASSES_ROOT, typeLibVersionKey, 0, &saved.typeLib);
    if (saved.hadTypeLib) {
        if (SavedKey* lcid = Child(saved.typeLib, lcidKey.c_str())) {
            // Our own platform key goes; only the other one is kept.
            for (size_t i = 0; i < lcid->children.size(); ++i) {
                if (lstrcmpiW(lcid->children[i].name.c_str(), kOwnPlatform) == 0) {
                    lcid->children.erase(lcid->children.begin() + static_cast<std::ptrdiff_t>(i));
                    break;
                }
            }
            if (SavedKey* other = Child(*lcid, kOtherPlatform)) saved.otherTypeLibFile = DefaultText(*other);
        }
        // HELPDIR is rewritten below from the other bitness's own file.
        for (size_t i = 0; i < saved.typeLib.children.size(); ++i) {
            if (lstrcmpiW(saved.typeLib.children[i].name.c_str(), L"HELPDIR") == 0) {
                saved.typeLib.children.erase(saved.typeLib.children.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        }
        if (saved.otherTypeLibFile.empty()) saved.hadTypeLib = false;  // nothing of the other's to keep
    }
    return saved;
}

void RestoreSharedEntries(const SharedEntries& saved) {
    if (!saved.otherBitnessRegistered) return;
    for (const auto& progId : saved.progIds) {
        size_t cut = progId.first.rfind(L'\\');
        if (cut == std::wstring::npos) {
            RestoreTree(HKEY_CLASSES_ROOT, progId.second, 0);
        } else {
            RegKey parent;
            if (RegCreateKeyExW(HKEY_CLASSES_ROOT, progId.first.substr(0, cut).c_str(), 0, nullptr, 0,
                                KEY_WRITE, nullptr, parent.put(), nullptr) == ERROR_SUCCESS) {
                SavedKey tree = progId.second;
                tree.name = progId.first.substr(cut + 1);
                RestoreTree(parent.get(), tree, 0);
            }
        }
    }
    if (!saved.hadTypeLib) return;
    SavedKey tree = saved.typeLib;
    tree.name = saved.typeLibPath;
    RestoreTree(HKEY_CLASSES_ROOT, tree, 0);
    // The help directory is the folder of the registration that remains, as its own
    // registration wrote it.
    std::string helpDir = HelpDirectoryOf(WideToAnsi(saved.otherTypeLibFile.c_str()), IsAnsiLeadByte);
    std::wstring wideHelpDir = AnsiToWide(helpDir);
    RegKey help;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, (saved.typeLibPath + L"\\HELPDIR").c_str(), 0, nullptr, 0,
                        KEY_WRITE, nullptr, help.put(), nullptr) == ERROR_SUCCESS) {
        RegSetValueExW(help.get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(wideHelpDir.c_str()),
                       static_cast<DWORD>((wideHelpDir.size() + 1) * sizeof(wchar_t)));
    }
}
