// demo_link.exe NAME TARGET FOLDER [ARGUMENTS]: makes a shell link through IShellLink, as the
// setup program's CreateShortCut does, for a machine that cannot run the setup program (it is
// 32-bit) and installs Pelorin from the 64-bit files instead. NAME is the link's path under
// the Start menu's Programs folder of every user ("Pelorin\Pelorin.lnk"; its folder is made
// when missing), TARGET what it opens, FOLDER the working folder, ARGUMENTS what TARGET is
// given. Prints the link's full path in UTF-8; on failure says which call failed and ends
// with 1.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>
#include <string>

namespace {

void WriteUtf8(FILE* to, const std::wstring& text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &utf8[0], n, nullptr, nullptr);
    std::fwrite(utf8.data(), 1, utf8.size(), to);
}

int Fail(const wchar_t* what, HRESULT hr) {
    wchar_t code[16];
    std::swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    WriteUtf8(stderr, std::wstring(L"demo_link: ") + what + L" failed: " + code + L"\n");
    return 1;
}

int MakeLink(const std::wstring& link, const wchar_t* target, const wchar_t* folder, const wchar_t* arguments) {
    IShellLinkW* shellLink = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&shellLink));
    if (FAILED(hr)) return Fail(L"CoCreateInstance(CLSID_ShellLink)", hr);
    shellLink->SetPath(target);
    shellLink->SetWorkingDirectory(folder);
    shellLink->SetArguments(arguments);
    IPersistFile* file = nullptr;
    hr = shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(hr)) {
        hr = file->Save(link.c_str(), TRUE);
        file->Release();
    }
    shellLink->Release();
    return FAILED(hr) ? Fail(L"IPersistFile::Save", hr) : 0;
}

}  // namespace

int main() {
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 4 || argc > 5) {
        std::fputs("usage: demo_link NAME TARGET FOLDER [ARGUMENTS]\n", stderr);
        return 2;
    }
    wchar_t programs[MAX_PATH] = L"";
    HRESULT hr = SHGetFolderPathW(nullptr, CSIDL_COMMON_PROGRAMS | CSIDL_FLAG_CREATE, nullptr, 0, programs);
    if (FAILED(hr)) return Fail(L"SHGetFolderPath(CSIDL_COMMON_PROGRAMS)", hr);
    std::wstring link = std::wstring(programs) + L"\\" + argv[1];
    std::wstring parent = link.substr(0, link.rfind(L'\\'));
    int made = SHCreateDirectoryExW(nullptr, parent.c_str(), nullptr);
    if (made != ERROR_SUCCESS && made != ERROR_ALREADY_EXISTS) return Fail(L"SHCreateDirectoryEx", HRESULT_FROM_WIN32(made));
    CoInitialize(nullptr);
    int result = MakeLink(link, argv[2], argv[3], argc == 5 ? argv[4] : L"");
    CoUninitialize();
    if (result == 0) WriteUtf8(stdout, link + L"\n");
    LocalFree(argv);
    return result;
}
