// What the bar says to its user: Japanese (stored in code page 932), English on a system whose
// user interface language is English, as the setup program chooses.
#pragma once

#include <initializer_list>
#include <string>

enum class TextId {
    Caption,
    DllMissing,       // {file}
    DllOtherBitness,  // {bits of this program} {file}
    DllUnloadable,    // {error} {file}
    NoClassObject,    // {HRESULT} {file}
    BandNotCreated,   // {HRESULT} {file}
    BandNotSited,     // {HRESULT} {file}
    MenuShowBar,
    MenuDockTop,
    MenuDockBottom,
    MenuFloat,
    MenuCheckNow,
    MenuBalloons,
    MenuStartAtSignIn,
    MenuQuit,
    TrayOnePageChanged,  // {count}
    TrayPagesChanged,    // {count}
    BalloonPageChanged,  // {title}
};

bool UsesEnglish();
// The text with each "{}" replaced by the next argument.
std::wstring Text(TextId id, std::initializer_list<std::wstring> args = {});
