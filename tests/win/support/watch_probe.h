// Looking at a band's watch pane from the outside, as a user (or the accessibility tools)
// would: its toolbar, its buttons' images and command ids, its tooltips; and the per-user
// files and registry values it reads and writes.
#pragma once

#include <windows.h>
#include <string>
#include <vector>

HWND FindWatchPane(HWND bandWindow);
HWND FindWatchToolbar(HWND bandWindow);
HWND FindSearchPane(HWND bandWindow);
int ButtonCount(HWND toolbar);
int ButtonImageAt(HWND toolbar, int position);  // read with TB_GETBUTTONINFOA
int CommandIdAt(HWND toolbar, int position);    // read with TB_GETBUTTON
// What the pane answers when its toolbar's tooltip asks for button `id`'s text.
std::string TooltipText(HWND pane, UINT_PTR id);
// What the toolbar's own tooltip control shows for button id, asked as a screen reader asks.
std::wstring ToolTipShows(HWND toolbar, UINT_PTR id);

// pelorin.ini in the user's application-data folder, which the DLL prefers.
std::string AppDataIniPath();
// Writes the file as bytes (code page 932) and makes the profile reader see it at once.
void WriteAppDataIni(const std::string& text);
void RemoveAppDataIni();

// The seen-state store, read and cleared without the product's code.
bool StoredSeenValue(const std::string& pageAddress, std::string* value);
// The record of the comparison beside it ("text 0123...").
bool StoredSeenComparison(const std::string& pageAddress, std::string* value);
// Clears the kept texts too: they belong to the seen digests.
void ClearSeenStore();
// The texts kept of pages compared by their text: %LOCALAPPDATA%\Pelorin, its files, and
// the folder removed.
std::string KeptTextsFolder();
std::vector<std::string> KeptTextFiles();
void ClearKeptTexts();

// DllCanUnloadNow of the loaded pelorin.beta.dll; S_OK when the library is not loaded.
HRESULT LoadedDllCanUnloadNow();
