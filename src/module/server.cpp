#include "module/server.h"

#include <comcat.h>
#include <new>
#include <shlguid.h>
#include <string>
#include <vector>

#include "band/band_object.h"
#include "common/ansi.h"
#include "common/com_ptr.h"
#include "common/missing_interfaces.h"
#include "common/unique_handle.h"
#include "module/module.h"
#include "module/registry_script.h"
#include "module/server_paths.h"
#include "module/shared_registration.h"
#include "resources/resource.h"

namespace {

// CATID_DeskBand {00021492-0000-0000-C000-000000000046}: the shell's desk-band category.
const CATID kDeskBandCategory = {0x00021492, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

const char kToolbarKey[] = "SOFTWARE\\Microsoft\\Internet Explorer\\Toolbar";
// The browser's toolbar entries of all four registration scripts; unregistration clears
// every one of them, not only the entry of the class this module serves.
const char* const kToolbarValues[] = {
    "{BC3E6E08-329F-415D-A316-8B326C94E4A8}",  // script 101, Pelorin.Watch
    "{CC197F69-C4ED-44FD-999B-8901BCF76A42}",  // script 102, Pelorin.News
    "{42785314-1904-43E5-8F23-CB470FBD6661}",  // script 103, Pelorin.Search
    "{408EA957-CF17-4D81-93AB-FDDA7ACDA90F}",  // script 104, Pelorin.Pelorin
};

class ClassObject;

// The object map: one creatable class.
struct ObjectEntry {
    const CLSID* clsid;
    UINT script;  // the registration script replayed for the class
    HRESULT (*createInstance)(IUnknown* outer, REFIID riid, void** ppv);
    const CATID* categories;
    size_t categoryCount;
    ClassObject* cached;  // made at the first request, released at module stop
};

ObjectEntry g_objectMap[] = {
    {&CLSID_Pelorband, IDR_REGISTRY_PELORIN, BandObject::Create, &kDeskBandCategory, 1, nullptr},
};

CRITICAL_SECTION g_objectMapLock;
bool g_started = false;

// The class object. The object map holds one reference from creation to module stop; while
// anyone outside holds one as well it counts once in ModuleLockCount (1 -> 2 raises it,
// 2 -> 1 lowers it). Several threads may hold it, so its count is guarded by its own lock.
class ClassObject final : public IClassFactory {
public:
    explicit ClassObject(HRESULT (*create)(IUnknown*, REFIID, void**)) : create_(create) {
        InitializeCriticalSection(&lock_);
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }

    ULONG STDMETHODCALLTYPE AddRef() override {
        EnterCriticalSection(&lock_);
        LONG refs = InterlockedIncrement(&refs_);
        if (refs == 2) ModuleLock();
        LeaveCriticalSection(&lock_);
        return static_cast<ULONG>(refs);
    }

    ULONG STDMETHODCALLTYPE Release() override {
        EnterCriticalSection(&lock_);
        LONG refs = InterlockedDecrement(&refs_);
        if (refs == 1) ModuleUnlock();
        LeaveCriticalSection(&lock_);
        if (refs == 0) delete this;
        return static_cast<ULONG>(refs);
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        return create_(outer, riid, ppv);
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            ModuleLock();
        } else {
            ModuleUnlock();
        }
        return S_OK;
    }

private:
    ~ClassObject() { DeleteCriticalSection(&lock_); }

    HRESULT (*create_)(IUnknown*, REFIID, void**);
    CRITICAL_SECTION lock_;
    volatile LONG refs_ = 1;  // the object map's reference
};

// COM for the length of a registration call: regsvr32 and installers do not all start it.
class ComScope {
public:
    ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_)) CoUninitialize();
    }

private:
    HRESULT hr_;
};

std::string ModulePath() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(ModuleInstance(), path, MAX_PATH);
    return path;
}

// Replays a registration script of this module through the platform's registrar.
HRESULT ReplayScript(UINT script, bool doRegister) {
    ComPtr<IRegistrar> registrar;
    HRESULT hr = CoCreateInstance(CLSID_Registrar, nullptr, CLSCTX_INPROC_SERVER, IID_IRegistrar,
                                  registrar.put_void());
    if (FAILED(hr)) return hr;
    std::wstring path = AnsiToWide(ModulePath());
    // The path sits inside single quotes in the script.
    std::wstring quoted;
    for (wchar_t c : path) {
        quoted += c;
        if (c == L'\'') quoted += L'\'';
    }
    hr = registrar->AddReplacement(L"Module", quoted.c_str());
    if (FAILED(hr)) return hr;
    return doRegister ? registrar->ResourceRegister(path.c_str(), script, L"REGISTRY")
                      : registrar->ResourceUnregister(path.c_str(), script, L"REGISTRY");
}

HKEY RootKey(const std::string& name) {
    struct Root {
        const char* name;
        HKEY key;
    };
    static const Root roots[] = {
        {"HKCR", HKEY_CLASSES_ROOT}, {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {"HKCU", HKEY_CURRENT_USER}, {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKLM", HKEY_LOCAL_MACHINE}, {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {"HKU", HKEY_USERS}, {"HKEY_USERS", HKEY_USERS},
    };
    for (const Root& root : roots) {
        if (lstrcmpiA(root.name, name.c_str()) == 0) return root.key;
    }
    return nullptr;
}

// What a registration script of this module removes, read from the resource itself.
bool ReadScriptOfModule(UINT script, std::vector<ScriptRemoval>* removals) {
    HMODULE module = ModuleInstance();
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(script), "REGISTRY");
    if (!resource) return false;
    HGLOBAL loaded = LoadResource(module, resource);
    const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (!data) return false;
    return ReadScriptRemovals(std::string(data, SizeofResource(module, resource)), removals);
}

// The keys of the scripts under HKEY_CLASSES_ROOT other than the class keys: the ProgIDs,
// which both bitnesses share on 64-bit Windows.
std::vector<std::wstring> SharedScriptKeys() {
    std::vector<std::wstring> keys;
    for (const ObjectEntry& entry : g_objectMap) {
        std::vector<ScriptRemoval> removals;
        if (!ReadScriptOfModule(entry.script, &removals)) continue;
        for (const ScriptRemoval& removal : removals) {
            if (removal.isValue || removal.path.empty() || RootKey(removal.root) != HKEY_CLASSES_ROOT) continue;
            if (lstrcmpiA(removal.path[0].c_str(), "CLSID") == 0) continue;
            std::string path;
            for (const std::string& name : removal.path) path += (path.empty() ? "" : "\\") + name;
            keys.push_back(AnsiToWide(path));
        }
    }
    return keys;
}

std::wstring ClassKeyOf(const CLSID& clsid) {
    wchar_t text[40] = L"";
    StringFromGUID2(clsid, text, ARRAYSIZE(text));
    return std::wstring(L"CLSID\\") + text;
}

// Removes what the registrar's unregister pass left of a script's entries. Some registrars
// (Wine's among them) delete keys only when they are empty and never delete named values,
// and the categories manager may leave an empty "Implemented Categories" under the class
// key; the script itself is read again so the two lists cannot drift apart.
void RemoveScriptLeftovers(UINT script) {
    std::vector<ScriptRemoval> removals;
    if (!ReadScriptOfModule(script, &removals)) return;
    for (const ScriptRemoval& removal : removals) {
        HKEY root = RootKey(removal.root);
        if (!root) continue;
        std::string path;
        for (const std::string& name : removal.path) path += (path.empty() ? "" : "\\") + name;
        if (removal.isValue) {
            RegKey key;
            if (RegOpenKeyExA(root, path.c_str(), 0, KEY_SET_VALUE, key.put()) == ERROR_SUCCESS) {
                RegDeleteValueA(key.get(), removal.valueName.c_str());
            }
        } else {
            RegDeleteTreeA(root, path.c_str());
            RegDeleteKeyA(root, path.c_str());
        }
    }
}

// Loads the type library from the module, or else from the .tlb beside it.
HRESULT LoadOwnTypeLib(ComPtr<ITypeLib>* typeLib, std::string* loadedFrom) {
    std::string path = ModulePath();
    HRESULT hr = LoadTypeLib(AnsiToWide(path).c_str(), typeLib->put());
    if (FAILED(hr)) {
        path = TypeLibFallbackPath(path, IsAnsiLeadByte);
        hr = LoadTypeLib(AnsiToWide(path).c_str(), typeLib->put());
    }
    if (SUCCEEDED(hr)) *loadedFrom = path;
    return hr;
}

}  // namespace

void ServerStart() {
    InitializeCriticalSection(&g_objectMapLock);
    g_started = true;
}

void ServerStop() {
    if (!g_started) return;
    for (ObjectEntry& entry : g_objectMap) {
        if (entry.cached) {
            entry.cached->Release();
            entry.cached = nullptr;
        }
    }
    DeleteCriticalSection(&g_objectMapLock);
    g_started = false;
}

HRESULT ServerGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (ObjectEntry& entry : g_objectMap) {
        if (*entry.clsid != rclsid) continue;
        if (!entry.cached) {
            EnterCriticalSection(&g_objectMapLock);
            if (!entry.cached) entry.cached = new (std::nothrow) ClassObject(entry.createInstance);
            LeaveCriticalSection(&g_objectMapLock);
            if (!entry.cached) return E_OUTOFMEMORY;
        }
        HRESULT hr = entry.cached->QueryInterface(riid, ppv);
        if (SUCCEEDED(hr) && !*ppv) return CLASS_E_CLASSNOTAVAILABLE;
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT ServerRegister() {
    ComScope com;
    for (const ObjectEntry& entry : g_objectMap) {
        HRESULT hr = ReplayScript(entry.script, true);
        if (FAILED(hr)) return hr;
    }
    ComPtr<ICatRegister> categories;
    if (SUCCEEDED(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                   IID_ICatRegister, categories.put_void()))) {
        for (const ObjectEntry& entry : g_objectMap) {
            HRESULT hr = categories->RegisterClassImplCategories(
                *entry.clsid, static_cast<ULONG>(entry.categoryCount), const_cast<CATID*>(entry.categories));
            if (FAILED(hr)) return hr;
        }
    }
    categories.reset();

    ComPtr<ITypeLib> typeLib;
    std::string path;
    HRESULT hr = LoadOwnTypeLib(&typeLib, &path);
    if (FAILED(hr)) return hr;
    std::wstring widePath = AnsiToWide(path);
    std::wstring helpDir = AnsiToWide(HelpDirectoryOf(path, IsAnsiLeadByte));
    return RegisterTypeLib(typeLib.get(), &widePath[0], &helpDir[0]);
}

HRESULT ServerUnregister() {
    ComScope com;
    // The other bitness's registration, when there is one, keeps what the two share.
    SharedEntries shared = SaveSharedEntries(ClassKeyOf(*g_objectMap[0].clsid), SharedScriptKeys(),
                                             L"TypeLib\\{C84D3A09-7225-463E-B59C-AE215D34BF56}\\1.0", L"409");
    RegKey toolbar;
    if (RegCreateKeyA(HKEY_LOCAL_MACHINE, kToolbarKey, toolbar.put()) == ERROR_SUCCESS) {
        for (const char* value : kToolbarValues) RegDeleteValueA(toolbar.get(), value);
    }
    toolbar.reset();

    ComPtr<ICatRegister> categories;
    CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER, IID_ICatRegister,
                     categories.put_void());
    for (const ObjectEntry& entry : g_objectMap) {
        ReplayScript(entry.script, false);
        if (categories) {
            categories->UnRegisterClassImplCategories(*entry.clsid, static_cast<ULONG>(entry.categoryCount),
                                                      const_cast<CATID*>(entry.categories));
        }
        RemoveScriptLeftovers(entry.script);
    }
    categories.reset();

    ComPtr<ITypeLib> typeLib;
    std::string path;
    if (SUCCEEDED(LoadOwnTypeLib(&typeLib, &path))) {
        TLIBATTR* attributes = nullptr;
        if (SUCCEEDED(typeLib->GetLibAttr(&attributes)) && attributes) {
            // Looked up at run time: older systems' oleaut32 has no UnRegisterTypeLib.
            using UnRegisterFn = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);
            LoadedModule oleaut(LoadLibraryA("oleaut32.dll"));
            auto unregister = oleaut ? reinterpret_cast<UnRegisterFn>(GetProcAddress(oleaut.get(), "UnRegisterTypeLib"))
                                     : nullptr;
            if (unregister) {
                unregister(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum, attributes->lcid,
                           attributes->syskind);
            }
            typeLib->ReleaseTLibAttr(attributes);
        }
    }
    RestoreSharedEntries(shared);
    return S_OK;
}
