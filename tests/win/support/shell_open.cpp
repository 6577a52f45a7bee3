#include "support/shell_open.h"

#include <algorithm>

#include "common/ansi.h"
#include "support/test_env.h"

namespace {
const char kCommandKey[] = "http\\shell\\open\\command";

std::string RecorderPath() { return BuildDir() + "\\tests\\win\\record_open.exe"; }

std::string Utf8ToAnsi(const std::string& utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0) return std::string();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
    return WideToAnsi(wide.c_str());
}
}  // namespace

ShellOpenRecorder::ShellOpenRecorder() {
    CreateDirectoryA((BuildDir() + "\\scratch").c_str(), nullptr);
    log_ = BuildDir() + "\\scratch\\shell-open-" + std::to_string(GetCurrentProcessId()) + ".log";
    DeleteFileA(log_.c_str());

    HKEY key = nullptr;
    hadKey_ = RegOpenKeyExA(HKEY_CLASSES_ROOT, kCommandKey, 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (hadKey_) {
        DWORD size = 0;
        if (RegQueryValueExA(key, nullptr, nullptr, &savedType_, nullptr, &size) == ERROR_SUCCESS) {
            saved_.resize(size);
            hadValue_ = RegQueryValueExA(key, nullptr, nullptr, &savedType_, saved_.data(), &size) ==
                        ERROR_SUCCESS;
            saved_.resize(size);
        }
        RegCloseKey(key);
    }

    std::string command = "\"" + RecorderPath() + "\" \"" + log_ + "\" \"%1\"";
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, kCommandKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                       static_cast<DWORD>(command.size() + 1));
        RegCloseKey(key);
    }
}

ShellOpenRecorder::~ShellOpenRecorder() {
    if (!hadKey_) {
        RegDeleteKeyA(HKEY_CLASSES_ROOT, kCommandKey);
    } else {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kCommandKey, 0, KEY_WRITE, &key) == ERROR_SUCCESS) {
            if (hadValue_) {
                RegSetValueExA(key, nullptr, 0, savedType_, saved_.data(), static_cast<DWORD>(saved_.size()));
            } else {
                RegDeleteValueA(key, nullptr);
            }
            RegCloseKey(key);
        }
    }
    DeleteFileA(log_.c_str());
}

std::vector<std::string> ShellOpenRecorder::Opened() {
    std::string raw = ReadBytes(log_);
    std::vector<std::pair<std::string, std::string>> records;  // (creation time, address)
    size_t pos = 0;
    while (pos < raw.size()) {
        size_t end = raw.find('\0', pos);
        if (end == std::string::npos) break;  // a record still being written
        std::string record = raw.substr(pos, end - pos);
        pos = end + 1;
        if (record.size() < 17) continue;
        records.emplace_back(record.substr(0, 16), Utf8ToAnsi(record.substr(17)));
    }
    std::stable_sort(records.begin(), records.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> opened;
    for (auto& r : records) opened.push_back(std::move(r.second));
    return opened;
}

bool ShellOpenRecorder::WaitFor(size_t n, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (Opened().size() < n) {
        if (GetTickCount() - start > timeoutMs) return false;
        PumpMessages(20);
    }
    return true;
}
