// The band as the bar holds it: the pelorin.beta.dll beside the program, loaded without any
// registration, its class object asked for the band, and the band sited, sized, shown and
// closed as a browser's toolbar area does. UI thread only.
#pragma once

#include <windows.h>
#include <shobjidl.h>
#include <string>

#include "common/com_ptr.h"
#include "common/unique_handle.h"
#include "texts.h"

// Why a band could not appear: the text for the user and the bar's exit code.
struct BandFailure {
    TextId text = TextId::Caption;
    std::wstring detail;  // what the text's first "{}" names besides the file
    int exitCode = 0;
};

// Exit codes of a bar whose band could not appear.
constexpr int kExitDllNotLoaded = 2;
constexpr int kExitBandNotCreated = 3;

class HostedBand {
public:
    HostedBand() = default;
    HostedBand(const HostedBand&) = delete;
    HostedBand& operator=(const HostedBand&) = delete;
    ~HostedBand();

    // The DLL beside this program.
    static std::wstring DllBesideProgram();

    // Loads the DLL and creates the band; false with *failure filled when it cannot.
    bool Create(const std::wstring& dllPath, BandFailure* failure);
    // SetSite and GetBandInfo; false with *failure filled when the band refuses the site.
    bool Site(IUnknown* site, BandFailure* failure);
    void Show(bool show);
    // ShowDW(FALSE), CloseDW, SetSite(NULL) and the last Release; the DLL stays loaded.
    void Close();
    // After Close: waits up to timeoutMs, answering sent messages, for the DLL to let go of
    // its last object (a fetch still running holds it), then frees it. True when freed.
    bool Unload(DWORD timeoutMs);

    HWND Window() const { return window_; }
    // The band's minimum size from GetBandInfo: its height is the bar's.
    SIZE MinSize() const { return minSize_; }
    bool HasFocus() const;
    // TranslateAcceleratorIO: S_OK when the band took the key.
    HRESULT TranslateAccelerator(MSG* msg);
    void Activate();

private:
    std::wstring dllPath_;
    LoadedModule dll_;
    ComPtr<IDeskBand> band_;
    HWND window_ = nullptr;
    SIZE minSize_ = {0, 0};
};
