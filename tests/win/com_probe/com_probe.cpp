// com_probe.exe OUTPUT: creates the band through COM as a host of this bitness would, and
// writes to OUTPUT the full path of the pelorin.beta.dll that COM loaded for it. Exit code 0
// when the band was created, 1 when not (OUTPUT then holds the HRESULT).
#include <windows.h>
#include <shobjidl.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    const CLSID band = {0x408EA957, 0xCF17, 0x4D81, {0x93, 0xAB, 0xFD, 0xDA, 0x7A, 0xCD, 0xA9, 0x0F}};
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IDeskBand* deskBand = nullptr;
    HRESULT hr = CoCreateInstance(band, nullptr, CLSCTX_INPROC_SERVER, IID_IDeskBand,
                                  reinterpret_cast<void**>(&deskBand));
    char path[MAX_PATH] = "";
    if (SUCCEEDED(hr)) {
        GetModuleFileNameA(GetModuleHandleA("pelorin.beta.dll"), path, MAX_PATH);
        deskBand->Release();
    } else {
        std::snprintf(path, sizeof path, "0x%08lX", static_cast<unsigned long>(hr));
    }
    CoUninitialize();
    FILE* out = std::fopen(argv[1], "wb");
    if (!out) return 2;
    std::fputs(path, out);
    std::fclose(out);
    return SUCCEEDED(hr) ? 0 : 1;
}
