// What the 32-bit and the 64-bit registration of this server share on 64-bit Windows.
//
// There each bitness registers in its own registry view: the class key under
// HKCR\CLSID and the browser's toolbar value (HKLM\SOFTWARE\Microsoft\...) are redirected,
// so the 32-bit view holds the 32-bit DLL and the 64-bit view the 64-bit one. Other keys
// under HKCR are shared by both views: the ProgID and the type library's version key
// (TypeLib\{...}\1.0, which holds 409\win32 and 409\win64 side by side and one HELPDIR).
// Windows 7 and later share them so; Wine does the same (measured with both DLLs
// registered in a win64 prefix). Unregistering one bitness replays its script, which
// removes the shared ProgID too, and UnRegisterTypeLib may take the version key with it
// (Wine's keeps it while another platform key is left; older Windows did not always).
// So unregistration saves what the other bitness still needs first and puts it back after.
// The shared keys are read and written in this process's own view, where both bitnesses
// find them: Wine's 64-bit registry, asked for the 32-bit view of HKCR\Pelorin.Pelorin,
// looks only under Wow6432Node and finds nothing there, although the 32-bit regsvr32 wrote
// the key where both views see it. Only the other bitness's class key is looked up in the
// other view.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// A registry tree as it was: its values and its subkeys.
struct SavedKey {
    std::wstring name;
    struct Value {
        std::wstring name;
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
    };
    std::vector<Value> values;
    std::vector<SavedKey> children;
};

struct SharedEntries {
    bool otherBitnessRegistered = false;
    REGSAM otherView = 0;           // KEY_WOW64_32KEY or KEY_WOW64_64KEY
    std::vector<std::pair<std::wstring, SavedKey>> progIds;  // path under HKCR, tree
    bool hadTypeLib = false;
    SavedKey typeLib;               // TypeLib\{lib}\<major>.<minor>, ours left out
    std::wstring typeLibPath;       // HKCR-relative path of that key
    std::wstring otherTypeLibFile;  // the other bitness's 409\<platform> value
};

// The registry view of the other bitness, when this process can see one: a 64-bit process
// always; a 32-bit one only under WOW64 (on 32-bit Windows there is no other view).
bool OtherRegistryView(REGSAM* view);

// Called before unregistering. classKey: "CLSID\{...}"; progIds: the ProgID keys the
// scripts name; typeLibVersionKey: "TypeLib\{...}\1.0"; lcidKey: "409".
SharedEntries SaveSharedEntries(const std::wstring& classKey, const std::vector<std::wstring>& progIds,
                                const std::wstring& typeLibVersionKey, const std::wstring& lcidKey);
// Called after unregistering: when the other bitness is still registered, writes back what
// is gone of its ProgIDs and its type-library entries, and points HELPDIR at its folder.
void RestoreSharedEntries(const SharedEntries& saved);
