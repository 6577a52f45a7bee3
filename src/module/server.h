// The COM server behind the four exports: the class object and registration.
#pragma once

#include <windows.h>

void ServerStart();
void ServerStop();
HRESULT ServerGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
HRESULT ServerRegister();
HRESULT ServerUnregister();
