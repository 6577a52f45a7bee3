#include "tray_icon.h"

#include "texts.h"

namespace {
const UINT kIconId = 1;
}  // namespace

void TrayIcon::Attach(HWND owner, UINT callbackMessage, HICON normal, HICON changed) {
    owner_ = owner;
    callbackMessage_ = callbackMessage;
    normal_ = normal;
    changed_ = changed;
}

NOTIFYICONDATAW TrayIcon::Data(UINT flags) const {
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof data;
    data.hWnd = owner_;
    data.uID = kIconId;
    data.uFlags = flags;
    data.uCallbackMessage = callbackMessage_;
    data.hIcon = count_ ? changed_ : normal_;
    lstrcpynW(data.szTip, tip_.c_str(), ARRAYSIZE(data.szTip));
    return data;
}

bool TrayIcon::Add() {
    NOTIFYICONDATAW data = Data(NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SHOWTIP);
    added_ = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    if (added_) {
        // Version 4: the callback names the event in lParam's low word and the place in wParam.
        data.uVersion = NOTIFYICON_VERSION_4;
        Shell_NotifyIconW(NIM_SETVERSION, &data);
    }
    return added_;
}

void TrayIcon::Remove() {
    if (!added_) return;
    NOTIFYICONDATAW data = Data(0);
    Shell_NotifyIconW(NIM_DELETE, &data);
    added_ = false;
}

void TrayIcon::ShowChangedCount(size_t count) {
    count_ = count;
    tip_ = count == 0 ? Text(TextId::Caption)
                      : Text(count == 1 ? TextId::TrayOnePageChanged : TextId::TrayPagesChanged,
                             {std::to_wstring(count)});
    if (!added_) return;
    NOTIFYICONDATAW data = Data(NIF_ICON | NIF_TIP | NIF_SHOWTIP);
    Shell_NotifyIconW(NIM_MODIFY, &data);
}

void TrayIcon::Balloon(const std::wstring& text) {
    if (!added_) return;
    NOTIFYICONDATAW data = Data(NIF_INFO);
    lstrcpynW(data.szInfo, text.c_str(), ARRAYSIZE(data.szInfo));
    lstrcpynW(data.szInfoTitle, Text(TextId::Caption).c_str(), ARRAYSIZE(data.szInfoTitle));
    data.dwInfoFlags = NIIF_INFO;
    Shell_NotifyIconW(NIM_MODIFY, &data);
}
