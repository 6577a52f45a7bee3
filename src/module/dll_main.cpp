// The library's entry point and its four exports.
#include <windows.h>
#include <commctrl.h>
#include <clocale>

#include "module/module.h"
#include "module/server.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    switch (reason) {
    case DLL_PROCESS_ATTACH:
        setlocale(LC_ALL, "japanese");
        ModuleStart(instance);
        break;
    case DLL_THREAD_ATTACH: {
        INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_BAR_CLASSES | ICC_COOL_CLASSES};
        InitCommonControlsEx(&icc);
        break;
    }
    case DLL_PROCESS_DETACH:
        ModuleStop();
        break;
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() { return ModuleLockCount == 0 ? S_OK : S_FALSE; }

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) {
    return ServerGetClassObject(rclsid, riid, ppv);
}

STDAPI DllRegisterServer() { return ServerRegister(); }
STDAPI DllUnregisterServer() { return ServerUnregister(); }
