// The settings dialog: the watched pages and the search services of pelorin.ini in two lists,
// edited without a text editor and written as the band reads them. One dialog per program, a
// modeless one, so that the bar it belongs to goes on working beside it; its editors for one
// page or one service are modal to it.
#pragma once

#include <windows.h>

// To the window given at opening, after each save: wParam is 1 when the save made the user's
// own pelorin.ini, which the band's DLL finds only when it is loaded anew.
constexpr UINT kSettingsSaved = WM_APP + 6;

// Opens the dialog, or brings the open one forward. notify hears kSettingsSaved; without one,
// a running bar is told. Null when there is nothing to show: a file that cannot be read, or
// one in another encoding that the user chose not to convert (they have been told).
HWND OpenSettingsDialog(HINSTANCE instance, HWND notify);
// The open dialog, for the message loop's IsDialogMessage; null when none is open.
HWND SettingsDialogWindow();
// Closes it as Cancel does: the program is ending.
void CloseSettingsDialog();
