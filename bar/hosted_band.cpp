#include "hosted_band.h"

#include <cstdio>

#include "common/program_folder.h"

namespace {

// The band's class: the bar asks the DLL's own class object for it, never the registry.
// {408EA957-CF17-4D81-93AB-FDDA7ACDA90F}
const CLSID kBandClass = {0x408EA957, 0xCF17, 0x4D81, {0x93, 0xAB, 0xFD, 0xDA, 0x7A, 0xCD, 0xA9, 0x0F}};

std::wstring Hex(HRESULT hr) {
    wchar_t text[16];
    std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// The machine a PE file is built for, or 0 when it is no PE file.
WORD PeMachine(const std::wstring& path) {
    KernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release();
        return 0;
    }
    IMAGE_DOS_HEADER dos = {};
    DWORD read = 0;
    if (!ReadFile(file.get(), &dos, sizeof dos, &read, nullptr) || read != sizeof dos ||
        dos.e_magic != IMAGE_DOS_SIGNATURE)
        return 0;
    if (SetFilePointer(file.get(), dos.e_lfanew, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) return 0;
    DWORD signature = 0;
    IMAGE_FILE_HEADER header = {};
    if (!ReadFile(file.get(), &signature, sizeof signature, &read, nullptr) || read != sizeof signature ||
        signature != IMAGE_NT_SIGNATURE)
        return 0;
    if (!ReadFile(file.get(), &header, sizeof header, &read, nullptr) || read != sizeof header) return 0;
    return header.Machine;
}

#ifdef _WIN64
constexpr WORD kOwnMachine = IMAGE_FILE_MACHINE_AMD64;
constexpr const wchar_t kOwnBits[] = L"64";
#else
constexpr WORD kOwnMachine = IMAGE_FILE_MACHINE_I386;
constexpr const wchar_t kOwnBits[] = L"32";
#endif

BandFailure Failure(TextId text, std::wstring detail, int exitCode) {
    BandFailure failure;
    failure.text = text;
    failure.detail = std::move(detail);
    failure.exitCode = exitCode;
    return failure;
}

}  // namespace

HostedBand::~HostedBand() {
    Close();
    Unload(0);
}

std::wstring HostedBand::DllBesideProgram() { return ProgramFolder() + L"\\pelorin.beta.dll"; }

bool HostedBand::Create(const std::wstring& dllPath, BandFailure* failure) {
    dllPath_ = dllPath;
    // Only this file: no search path, so a DLL of the same name elsewhere is never taken.
    dll_.reset(LoadLibraryExW(dllPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!dll_) {
        DWORD error = GetLastError();
        if (GetFileAttributesW(dllPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
            *failure = Failure(TextId::DllMissing, L"", kExitDllNotLoaded);
        } else if (WORD machine = PeMachine(dllPath); machine != 0 && machine != kOwnMachine) {
            *failure = Failure(TextId::DllOtherBitness, kOwnBits, kExitDllNotLoaded);
        } else {
            *failure = Failure(TextId::DllUnloadable, std::to_wstring(error), kExitDllNotLoaded);
        }
        return false;
    }
    auto getClassObject = reinterpret_cast<HRESULT(WINAPI*)(REFCLSID, REFIID, void**)>(
        reinterpret_cast<void*>(GetProcAddress(dll_.get(), "DllGetClassObject")));
    if (!getClassObject) {
        *failure = Failure(TextId::NoClassObject, Hex(HRESULT_FROM_WIN32(GetLastError())), kExitBandNotCreated);
        return false;
    }
    ComPtr<IClassFactory> factory;
    HRESULT hr = getClassObject(kBandClass, IID_IClassFactory, factory.put_void());
    if (FAILED(hr) || !factory) {
        *failure = Failure(TextId::NoClassObject, Hex(hr), kExitBandNotCreated);
        return false;
    }
    hr = factory->CreateInstance(nullptr, IID_IDeskBand, band_.put_void());
    if (FAILED(hr) || !band_) {
        band_.reset();
        *failure = Failure(TextId::BandNotCreated, Hex(hr), kExitBandNotCreated);
        return false;
    }
    return true;
}

bool HostedBand::Site(IUnknown* site, BandFailure* failure) {
    ComPtr<IObjectWithSite> withSite;
    HRESULT hr = band_.query(IID_IObjectWithSite, &withSite);
    if (SUCCEEDED(hr)) hr = withSite->SetSite(site);
    if (SUCCEEDED(hr)) band_->GetWindow(&window_);
    if (FAILED(hr) || !window_) {
        *failure = Failure(TextId::BandNotSited, Hex(FAILED(hr) ? hr : E_FAIL), kExitBandNotCreated);
        return false;
    }
    DESKBANDINFO info = {};
    info.dwMask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE | DBIM_MODEFLAGS |
                  DBIM_BKCOLOR;
    info.ptIntegral = {1, 1};
    if (SUCCEEDED(band_->GetBandInfo(0, DBIF_VIEWMODE_NORMAL, &info))) {
        minSize_ = {info.ptMinSize.x, info.ptMinSize.y};
    }
    return true;
}

void HostedBand::Show(bool show) {
    if (band_) band_->ShowDW(show ? TRUE : FALSE);
}

void HostedBand::Close() {
    if (!band_) return;
    band_->ShowDW(FALSE);
    band_->CloseDW(0);
    ComPtr<IObjectWithSite> withSite;
    if (SUCCEEDED(band_.query(IID_IObjectWithSite, &withSite))) withSite->SetSite(nullptr);
    withSite.reset();
    band_.reset();
    window_ = nullptr;
}

bool HostedBand::Unload(DWORD timeoutMs) {
    if (!dll_) return true;
    auto canUnloadNow = reinterpret_cast<HRESULT(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(dll_.get(), "DllCanUnloadNow")));
    if (!canUnloadNow) return false;
    DWORD start = GetTickCount();
    while (canUnloadNow() != S_OK) {
        if (GetTickCount() - start >= timeoutMs) return false;
        // A fetch thread may be sending to a window of ours on its way out.
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_SENDMESSAGE);
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    dll_.reset();
    return true;
}

bool HostedBand::HasFocus() const {
    ComPtr<IInputObject> input;
    return band_ && SUCCEEDED(band_.query(IID_IInputObject, &input)) && input->HasFocusIO() == S_OK;
}

HRESULT HostedBand::TranslateAccelerator(MSG* msg) {
    ComPtr<IInputObject> input;
    if (!band_ || FAILED(band_.query(IID_IInputObject, &input))) return S_FALSE;
    return input->TranslateAcceleratorIO(msg);
}

void HostedBand::Activate() {
    ComPtr<IInputObject> input;
    if (band_ && SUCCEEDED(band_.query(IID_IInputObject, &input))) input->UIActivateIO(TRUE, nullptr);
}
