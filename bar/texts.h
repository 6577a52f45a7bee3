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
    MenuSettings,
    // The settings dialog.
    SettingsCaption,
    PagesLabel,
    PageAdd, PageEdit, PageRemove, PageUp, PageDown,
    ServicesLabel,
    ServiceAdd, ServiceEdit, ServiceRemove, ServiceUp, ServiceDown,
    Apply, Cancel,
    FileNote,            // {path}
    ColumnTitle, ColumnComparison, ColumnAddress, ColumnLanguage, ColumnMethod, ColumnForm,
    LanguageAny, LanguageEnglish, LanguageJapanese,
    // The four comparisons, in the order of Comparison, and a line on what each compares.
    ComparisonWholeBody, ComparisonMarkup, ComparisonText, ComparisonTextNoNumbers,
    AboutWholeBody, AboutMarkup, AboutText, AboutTextNoNumbers,
    PageCaption, ServiceCaption,
    AddressLabel, TitleLabel, ComparisonLabel, LanguageLabel, MethodLabel, FormLabel,
    FetchedAs,           // {address}
    FetchedAsHttps,      // {address}
    FetchingTitle,
    TitleFromPage,
    TitleNotReached,     // {host}
    RequestPreviewGet,   // {address}
    RequestPreviewPost,  // {address} {body}
    // What the dialog refuses, each after the field's name.
    FieldTitle, FieldAddress, FieldUrl, FieldForm,
    RefusalLine,         // {entry} {field} {reason}
    EntryPage,           // {number}
    EntryService,        // {number}
    RefuseEmpty,
    RefuseComma,
    RefuseNoCodePage932, // {characters}
    RefuseLineBreak,
    RefuseTooLong,       // {bytes}
    RefuseBlank,
    RefuseUnreadable,
    RefuseScheme,
    RefusePort,          // {port}
    // Reading and writing the file.
    FileUnreadable,      // {path} {error}
    FileInOtherEncoding, // {encoding} {path}
    FileUnmappable,      // {characters}
    FileNotConverted,
    FileConverted,       // {backup}
    FileReadOnly,        // {path}
    FileNotWritten,      // {path} {error}
    FileChanged,         // {path}
    Count
};

bool UsesEnglish();
// The text with each "{}" replaced by the next argument.
std::wstring Text(TextId id, std::initializer_list<std::wstring> args = {});
