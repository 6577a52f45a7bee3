// The pelorin.ini that the settings dialog reads and writes. The band takes the user's own
// %APPDATA%\pelorin.ini when it exists and otherwise the one beside the DLL, which may be
// read-only under Program Files; the dialog therefore always writes the user's own file, made
// first as a whole copy of the one beside the DLL. Every write goes to a new file in the same
// folder, is read back through the profile functions as the band reads it, and only then
// replaces the file in one step: a crash or a full disk leaves the old file whole.
#pragma once

#include <windows.h>

#include <string>

#include "settings_lists.h"

// What the dialog knows of the file it shows.
struct SettingsFile {
    std::wstring userPath;    // %APPDATA%\pelorin.ini, where the dialog writes
    std::wstring besidePath;  // pelorin.ini beside the DLL
    std::wstring readPath;    // the one the band reads now; empty when neither exists
    std::string bytes;        // its bytes as the dialog read them (empty for none)
    // The file's last write and size when it was read, to notice another program's change.
    FILETIME written = {};
    ULONGLONG size = 0;
    bool exists = false;
};

// Finds and reads the file the band reads, beside the DLL in the folder given. False with
// *error (the system's message) when a file that exists cannot be read.
bool LoadSettingsFile(const std::wstring& dllFolder, SettingsFile* file, std::wstring* error);

// True when the file the dialog read has been written, replaced, made or removed since.
bool ChangedSinceRead(const SettingsFile& file);

enum class SaveOutcome {
    Saved,
    SavedNewFile,  // the user's own file was made by this save: the DLL must be loaded anew
    ReadOnly,      // the user's file is read-only; nothing written
    Failed,        // nothing replaced; *error says why
};

// Writes the lists into the user's own file, keeping every other line of the file read (or of
// the file beside the DLL, copied whole when the user has none). On success the record
// describes the file as written.
SaveOutcome SaveSettings(SettingsFile* file, const SettingsLists& lists, std::wstring* error);

// The file's text as UTF-16, for a file that is not in the ANSI code page; false when its
// bytes are not well-formed in the encoding found.
bool DecodeToWide(const std::string& bytes, FileEncoding encoding, std::wstring* text);
// Code page 932 bytes of the text; each character with no code page 932 form becomes '?' and
// is listed once in *unmappable.
std::string EncodeCodePage932(const std::wstring& text, std::wstring* unmappable);

// Converts a file read in another encoding to code page 932: the converted text goes to the
// user's own file; when that is the file read, its original bytes are kept first beside it as
// pelorin.ini.bak (or .bak2, .bak3, ... when that name is taken). *backup names the copy kept,
// if any.
SaveOutcome ConvertSettingsFile(SettingsFile* file, const std::string& converted, std::wstring* backup,
                                std::wstring* error);
