// The bar's icon in the notification area: the Pelorin icon, another while any watched page
// shows Changed, a tooltip with how many, a balloon when a page turns Changed. Identified by
// its window and id, not by a GUID: a GUID binds the icon to the program's path, and the bar
// runs from wherever its zip was unpacked. UI thread only.
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <string>

class TrayIcon {
public:
    // owner: the window that gets `callbackMessage` (NOTIFYICON_VERSION_4's form).
    void Attach(HWND owner, UINT callbackMessage, HICON normal, HICON changed);
    // Adds the icon; again after Explorer restarted ("TaskbarCreated"). False when the shell
    // has no notification area yet.
    bool Add();
    void Remove();
    // The icon and the tooltip for `count` pages showing Changed.
    void ShowChangedCount(size_t count);
    // The text is cut to what a balloon holds.
    void Balloon(const std::wstring& text);
    static constexpr size_t kBalloonCharacters = sizeof(NOTIFYICONDATAW::szInfo) / sizeof(wchar_t) - 1;
    const std::wstring& Tip() const { return tip_; }

private:
    NOTIFYICONDATAW Data(UINT flags) const;

    HWND owner_ = nullptr;
    UINT callbackMessage_ = 0;
    HICON normal_ = nullptr, changed_ = nullptr;
    size_t count_ = 0;
    std::wstring tip_ = L"Pelorin";
    bool added_ = false;
};
