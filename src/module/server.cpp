#include "module/server.h"

// No class is served yet: a caller gets an honest failure, never a success that did nothing.
void ServerStart() {}
void ServerStop() {}

HRESULT ServerGetClassObject(REFCLSID, REFIID, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT ServerRegister() { return E_NOTIMPL; }
HRESULT ServerUnregister() { return E_NOTIMPL; }
