#include "settings_dialog.h"

#include <commctrl.h>

#include <memory>
#include <set>
#include <string>
#include <utility>

#include "bar/bar_window.h"
#include "bar/texts.h"
#include "common/ansi.h"
#include "common/mbcs.h"
#include "common/program_folder.h"
#include "services/kept_text.h"
#include "settings_checks.h"
#include "settings_file.h"
#include "settings_resource.h"
#include "title_fetch.h"
#include "watch/watch_item.h"

namespace {

// The editor for one page waits this long after the last change of the address before it
// fetches the page: a pasted address arrives at once, a typed one letter by letter.
const UINT_PTR kAddressTimer = 1;
const UINT kAddressSettleMs = 500;
// The title fetch's answer to the page editor.
const UINT kTitleProposed = WM_APP + 1;
// A proposed title is cut to this many bytes: a button's tooltip, not a paragraph.
const size_t kProposedTitleBytes = 120;

std::wstring WindowText(HWND window) {
    int n = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    n = GetWindowTextW(window, &text[0], n + 1);
    text.resize(static_cast<size_t>(n > 0 ? n : 0));
    return text;
}

std::wstring ItemText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

void SetTexts(HWND dialog, std::initializer_list<std::pair<int, TextId>> texts) {
    for (const auto& text : texts) SetDlgItemTextW(dialog, text.first, Text(text.second).c_str());
}

int Ask(HWND owner, const std::wstring& text, UINT style) {
    return MessageBoxW(owner, text.c_str(), Text(TextId::Caption).c_str(), style);
}

// The band's keywords, compared as the band compares them: the whole value, ASCII case aside.
bool MeansAscii(const std::string& value, const char* keyword) {
    return EqualsIgnoringAsciiCase(value, keyword, IsAnsiLeadByte);
}

enum Language { kAnyLanguage, kEnglish, kJapanese };
Language LanguageOf(const std::string& cond) {
    return MeansAscii(cond, "eng") ? kEnglish : MeansAscii(cond, "jpn") ? kJapanese : kAnyLanguage;
}
bool IsPost(const std::string& method) { return MeansAscii(method, "post"); }

// Untouched meanings keep the words the file had, so that an entry the user did not change is
// written back as it was.
std::string CondFor(Language language, const std::string& old) {
    if (LanguageOf(old) == language) return old;
    return language == kEnglish ? "eng" : language == kJapanese ? "jpn" : "";
}
std::string MethodFor(bool post, const std::string& old) {
    if (IsPost(old) == post) return old;
    return post ? "post" : "";
}

// ---- One watched page -------------------------------------------------------------------

// The comparisons' names and what each compares, in the order of Comparison (and of the
// editor's list).
const TextId kComparisonNames[] = {TextId::ComparisonWholeBody, TextId::ComparisonMarkup, TextId::ComparisonText,
                                   TextId::ComparisonTextNoNumbers};
const TextId kComparisonNotes[] = {TextId::AboutWholeBody, TextId::AboutMarkup, TextId::AboutText,
                                   TextId::AboutTextNoNumbers};

std::wstring ComparisonName(Comparison comparison) { return Text(kComparisonNames[static_cast<int>(comparison)]); }

Comparison ChosenComparison(HWND dialog) {
    LRESULT chosen = SendDlgItemMessageW(dialog, IDC_COMPARISON, CB_GETCURSEL, 0, 0);
    return chosen >= 0 && chosen < static_cast<LRESULT>(ARRAYSIZE(kComparisonNames)) ? static_cast<Comparison>(chosen)
                                                                                     : Comparison::Text;
}

void ShowComparisonNote(HWND dialog) {
    SetDlgItemTextW(dialog, IDC_COMPARISON_NOTE,
                    Text(kComparisonNotes[static_cast<int>(ChosenComparison(dialog))]).c_str());
}

struct PageEditor {
    WatchEntry entry;           // in: the entry edited (empty for a new one); out: as checked
    bool titleGiven = false;    // the title is the user's (or the entry's): no proposal over it
    bool settingTitle = false;  // the dialog itself is writing the title
    TitleFetch fetch{kProposedTitleBytes};
};

void ShowAddressNote(HWND dialog, PageEditor* editor, bool startFetch) {
    std::wstring address = ItemText(dialog, IDC_ADDRESS);
    FetchedAddress fetched;
    Refusal refusal;
    if (address.empty()) {
        SetDlgItemTextW(dialog, IDC_FETCHED_AS, L"");
        return;
    }
    if (!CheckPageAddress(address, &fetched, &refusal)) {
        SetDlgItemTextW(dialog, IDC_FETCHED_AS, RefusalText(refusal).c_str());
        return;
    }
    std::wstring shown = FromCodePage932(fetched.Text());
    SetDlgItemTextW(dialog, IDC_FETCHED_AS,
                    Text(fetched.https ? TextId::FetchedAsHttps : TextId::FetchedAs, {shown}).c_str());
    if (startFetch && !editor->titleGiven) {
        SetDlgItemTextW(dialog, IDC_TITLE_STATUS, Text(TextId::FetchingTitle).c_str());
        editor->fetch.Start(dialog, kTitleProposed, fetched.host, fetched.path);
    }
}

void ProposeTitle(HWND dialog, PageEditor* editor, WPARAM ticket) {
    TitleProposal proposal;
    // A proposal superseded by a newer address, or one the user's own title stands over.
    if (!editor->fetch.Take(ticket, &proposal) || editor->titleGiven) return;
    editor->settingTitle = true;
    SetDlgItemTextW(dialog, IDC_TITLE, proposal.title.c_str());
    editor->settingTitle = false;
    SetDlgItemTextW(dialog, IDC_TITLE_STATUS,
                    proposal.reached ? Text(TextId::TitleFromPage).c_str()
                                     : Text(TextId::TitleNotReached, {proposal.title}).c_str());
}

// The field named by a refusal gets the keyboard, its text selected, after the message.
void RefuseIn(HWND dialog, const Refusal& refusal, int control) {
    Ask(dialog, RefusalText(refusal), MB_OK | MB_ICONWARNING);
    HWND field = GetDlgItem(dialog, control);
    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
}

bool AcceptPage(HWND dialog, PageEditor* editor) {
    // The entry as it was, so that one given back unchanged keeps its line from the file.
    WatchEntry checked = editor->entry;
    FetchedAddress fetched;
    Refusal refusal;
    if (!CheckPage(ItemText(dialog, IDC_TITLE), ChosenComparison(dialog), ItemText(dialog, IDC_ADDRESS), &checked,
                   &fetched, &refusal)) {
        RefuseIn(dialog, refusal, refusal.field == Field::Title ? IDC_TITLE : IDC_ADDRESS);
        return false;
    }
    editor->entry = checked;
    return true;
}

INT_PTR CALLBACK PageProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* editor = reinterpret_cast<PageEditor*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!editor && message != WM_INITDIALOG) return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        editor = reinterpret_cast<PageEditor*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SetWindowTextW(dialog, Text(TextId::PageCaption).c_str());
        SetTexts(dialog, {{IDC_ADDRESS_LABEL, TextId::AddressLabel}, {IDC_TITLE_LABEL, TextId::TitleLabel},
                          {IDC_COMPARISON_LABEL, TextId::ComparisonLabel}, {IDCANCEL, TextId::Cancel}});
        for (TextId name : kComparisonNames) {
            SendDlgItemMessageW(dialog, IDC_COMPARISON, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Text(name).c_str()));
        }
        SendDlgItemMessageW(dialog, IDC_TITLE, EM_LIMITTEXT, 259, 0);
        SendDlgItemMessageW(dialog, IDC_ADDRESS, EM_LIMITTEXT, 259, 0);
        editor->settingTitle = true;
        SetDlgItemTextW(dialog, IDC_TITLE, FromCodePage932(editor->entry.title).c_str());
        SetDlgItemTextW(dialog, IDC_ADDRESS, FromCodePage932(editor->entry.address).c_str());
        editor->settingTitle = false;
        editor->titleGiven = !editor->entry.title.empty();
        SendDlgItemMessageW(dialog, IDC_COMPARISON, CB_SETCURSEL, static_cast<WPARAM>(editor->entry.comparison), 0);
        ShowComparisonNote(dialog);
        ShowAddressNote(dialog, editor, false);
        KillTimer(dialog, kAddressTimer);  // the address set above is no user's typing
        return TRUE;  // the address has the keyboard: it comes first
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_ADDRESS:
            if (HIWORD(wParam) == EN_CHANGE) SetTimer(dialog, kAddressTimer, kAddressSettleMs, nullptr);
            return TRUE;
        case IDC_TITLE:
            // A title the user cleared lets the page's own be proposed again.
            if (HIWORD(wParam) == EN_CHANGE && !editor->settingTitle) {
                editor->titleGiven = GetWindowTextLengthW(GetDlgItem(dialog, IDC_TITLE)) > 0;
            }
            return TRUE;
        case IDC_COMPARISON:
            if (HIWORD(wParam) == CBN_SELCHANGE) ShowComparisonNote(dialog);
            return TRUE;
        case IDOK:
            if (AcceptPage(dialog, editor)) EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    case WM_TIMER:
        if (wParam == kAddressTimer) {
            KillTimer(dialog, kAddressTimer);
            ShowAddressNote(dialog, editor, true);
        }
        return TRUE;
    case kTitleProposed:
        ProposeTitle(dialog, editor, wParam);
        return TRUE;
    case WM_DESTROY:
        editor->fetch.Cancel();
        break;
    }
    return FALSE;
}

// ---- One search service -----------------------------------------------------------------

struct ServiceEditor {
    SearchEntry entry;
};

void ShowPreview(HWND dialog) {
    std::wstring url = ItemText(dialog, IDC_ADDRESS), form = ItemText(dialog, IDC_FORM);
    std::wstring query = UsesEnglish() ? L"words" : L"\u691c\u7d22\u8a9e";  // 検索語
    bool post = SendDlgItemMessageW(dialog, IDC_METHOD, CB_GETCURSEL, 0, 0) == 1;
    // What the band sends: GET puts "?" after the address and then the form text and the query.
    std::wstring text = url.empty() ? L""
                      : post ? Text(TextId::RequestPreviewPost, {url, form + query})
                             : Text(TextId::RequestPreviewGet, {url + L"?" + form + query});
    SetDlgItemTextW(dialog, IDC_PREVIEW, text.c_str());
}

bool AcceptService(HWND dialog, ServiceEditor* editor) {
    SearchEntry checked;
    Refusal refusal;
    if (!CheckService(ItemText(dialog, IDC_ADDRESS), ItemText(dialog, IDC_FORM), &checked, &refusal)) {
        RefuseIn(dialog, refusal, refusal.field == Field::Form ? IDC_FORM : IDC_ADDRESS);
        return false;
    }
    auto language = static_cast<Language>(SendDlgItemMessageW(dialog, IDC_LANGUAGE, CB_GETCURSEL, 0, 0));
    bool post = SendDlgItemMessageW(dialog, IDC_METHOD, CB_GETCURSEL, 0, 0) == 1;
    checked.cond = CondFor(language, editor->entry.cond);
    checked.method = MethodFor(post, editor->entry.method);
    editor->entry = checked;
    return true;
}

INT_PTR CALLBACK ServiceProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* editor = reinterpret_cast<ServiceEditor*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!editor && message != WM_INITDIALOG) return FALSE;
    switch (message) {
    case WM_INITDIALOG: {
        editor = reinterpret_cast<ServiceEditor*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SetWindowTextW(dialog, Text(TextId::ServiceCaption).c_str());
        SetTexts(dialog, {{IDC_ADDRESS_LABEL, TextId::AddressLabel}, {IDC_LANGUAGE_LABEL, TextId::LanguageLabel},
                          {IDC_METHOD_LABEL, TextId::MethodLabel}, {IDC_FORM_LABEL, TextId::FormLabel},
                          {IDCANCEL, TextId::Cancel}});
        for (TextId language : {TextId::LanguageAny, TextId::LanguageEnglish, TextId::LanguageJapanese}) {
            SendDlgItemMessageW(dialog, IDC_LANGUAGE, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Text(language).c_str()));
        }
        SendDlgItemMessageW(dialog, IDC_METHOD, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"GET"));
        SendDlgItemMessageW(dialog, IDC_METHOD, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"POST"));
        SendDlgItemMessageW(dialog, IDC_LANGUAGE, CB_SETCURSEL, LanguageOf(editor->entry.cond), 0);
        SendDlgItemMessageW(dialog, IDC_METHOD, CB_SETCURSEL, IsPost(editor->entry.method) ? 1 : 0, 0);
        SendDlgItemMessageW(dialog, IDC_ADDRESS, EM_LIMITTEXT, 259, 0);
        SendDlgItemMessageW(dialog, IDC_FORM, EM_LIMITTEXT, 259, 0);
        SetDlgItemTextW(dialog, IDC_ADDRESS, FromCodePage932(editor->entry.url).c_str());
        SetDlgItemTextW(dialog, IDC_FORM, FromCodePage932(editor->entry.form).c_str());
        ShowPreview(dialog);
        return TRUE;
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDC_ADDRESS:
        case IDC_FORM:
            if (HIWORD(wParam) == EN_CHANGE) ShowPreview(dialog);
            return TRUE;
        case IDC_METHOD:
            if (HIWORD(wParam) == CBN_SELCHANGE) ShowPreview(dialog);
            return TRUE;
        case IDOK:
            if (AcceptService(dialog, editor)) EndDialog(dialog, IDOK);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

// ---- The settings dialog ----------------------------------------------------------------

struct Settings {
    HINSTANCE instance = nullptr;
    HWND notify = nullptr;
    HWND window = nullptr;
    SettingsFile file;
    SettingsLists lists;
    bool changed = false;  // the lists differ from the file's
};

Settings* g_open = nullptr;

// One of the two lists, seen through the same buttons.
struct ListControls {
    int list, add, edit, remove, up, down;
};
const ListControls kPages = {IDC_PAGES, IDC_PAGE_ADD, IDC_PAGE_EDIT, IDC_PAGE_REMOVE, IDC_PAGE_UP, IDC_PAGE_DOWN};
const ListControls kServices = {IDC_SERVICES, IDC_SERVICE_ADD, IDC_SERVICE_EDIT, IDC_SERVICE_REMOVE, IDC_SERVICE_UP,
                                IDC_SERVICE_DOWN};

// Each column's share of the list's width, in percent.
void AddColumns(HWND list, std::initializer_list<std::pair<TextId, int>> columns) {
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    RECT client;
    GetClientRect(list, &client);
    int width = client.right - GetSystemMetrics(SM_CXVSCROLL);
    int index = 0;
    for (const auto& column : columns) {
        std::wstring name = Text(column.first);
        LVCOLUMNW c = {};
        c.mask = LVCF_TEXT | LVCF_WIDTH;
        c.pszText = &name[0];
        c.cx = width * column.second / 100;
        SendMessageW(list, LVM_INSERTCOLUMNW, index++, reinterpret_cast<LPARAM>(&c));
    }
}

void SetRow(HWND list, int row, std::initializer_list<std::wstring> cells) {
    int column = 0;
    for (const std::wstring& cell : cells) {
        std::wstring text = cell;
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = row;
        item.iSubItem = column++;
        item.pszText = &text[0];
        SendMessageW(list, item.iSubItem == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    }
}

int Selected(HWND dialog, const ListControls& controls) {
    return ListView_GetNextItem(GetDlgItem(dialog, controls.list), -1, LVNI_SELECTED);
}

// A button that goes grey must not keep the keyboard, or the user's next key is lost: it
// goes to the control given first.
void Enable(HWND dialog, int id, bool on, int focusInstead) {
    HWND button = GetDlgItem(dialog, id);
    if (!on && GetFocus() == button) {
        SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, focusInstead)), TRUE);
    }
    EnableWindow(button, on);
}

void UpdateButtons(HWND dialog, const ListControls& controls, size_t count) {
    int selected = Selected(dialog, controls);
    Enable(dialog, controls.edit, selected >= 0, controls.list);
    Enable(dialog, controls.remove, selected >= 0, controls.list);
    Enable(dialog, controls.up, selected > 0, controls.list);
    Enable(dialog, controls.down, selected >= 0 && static_cast<size_t>(selected) + 1 < count, controls.list);
}

void ShowLists(Settings* settings, int pageSelected, int serviceSelected) {
    HWND dialog = settings->window;
    HWND pages = GetDlgItem(dialog, IDC_PAGES), services = GetDlgItem(dialog, IDC_SERVICES);
    ListView_DeleteAllItems(pages);
    for (size_t i = 0; i < settings->lists.watch.size(); ++i) {
        const WatchEntry& entry = settings->lists.watch[i];
        SetRow(pages, static_cast<int>(i), {FromCodePage932(entry.title), ComparisonName(entry.comparison),
                                            FromCodePage932(entry.address)});
    }
    ListView_DeleteAllItems(services);
    static const TextId kLanguages[] = {TextId::LanguageAny, TextId::LanguageEnglish, TextId::LanguageJapanese};
    for (size_t i = 0; i < settings->lists.search.size(); ++i) {
        const SearchEntry& entry = settings->lists.search[i];
        SetRow(services, static_cast<int>(i), {FromCodePage932(entry.url), Text(kLanguages[LanguageOf(entry.cond)]),
                                               IsPost(entry.method) ? L"POST" : L"GET", FromCodePage932(entry.form)});
    }
    for (auto pick : {std::make_pair(pages, pageSelected), std::make_pair(services, serviceSelected)}) {
        if (pick.second < 0) continue;
        ListView_SetItemState(pick.first, pick.second, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(pick.first, pick.second, FALSE);
    }
    UpdateButtons(dialog, kPages, settings->lists.watch.size());
    UpdateButtons(dialog, kServices, settings->lists.search.size());
    Enable(dialog, IDC_APPLY, settings->changed, IDOK);
    SetDlgItemTextW(dialog, IDC_FILE_NOTE, Text(TextId::FileNote, {settings->file.userPath}).c_str());
}

// Add, edit, remove and move, the same for both lists.
template <typename Entry>
void ChangeList(Settings* settings, std::vector<Entry>* entries, const ListControls& controls, int command,
                bool (*edit)(HWND, Entry*)) {
    HWND dialog = settings->window;
    int selected = Selected(dialog, controls);
    int count = static_cast<int>(entries->size());
    int now = selected;
    if (command == controls.add) {
        Entry entry;
        if (!edit(dialog, &entry)) return;
        entries->push_back(entry);
        now = count;
    } else if (selected < 0) {
        return;
    } else if (command == controls.edit) {
        Entry entry = (*entries)[selected];
        if (!edit(dialog, &entry)) return;
        (*entries)[selected] = entry;
    } else if (command == controls.remove) {
        entries->erase(entries->begin() + selected);
        now = selected < count - 1 ? selected : selected - 1;
    } else if (command == controls.up && selected > 0) {
        std::swap((*entries)[selected], (*entries)[selected - 1]);
        now = selected - 1;
    } else if (command == controls.down && selected + 1 < count) {
        std::swap((*entries)[selected], (*entries)[selected + 1]);
        now = selected + 1;
    } else {
        return;
    }
    settings->changed = true;
    bool pages = controls.list == IDC_PAGES;
    ShowLists(settings, pages ? now : Selected(dialog, kPages), pages ? Selected(dialog, kServices) : now);
}

bool EditPage(HWND owner, WatchEntry* entry) {
    PageEditor editor;
    editor.entry = *entry;
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE));
    if (DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_PAGE), owner, PageProc, reinterpret_cast<LPARAM>(&editor)) != IDOK) {
        return false;
    }
    *entry = editor.entry;
    return true;
}

bool EditService(HWND owner, SearchEntry* entry) {
    ServiceEditor editor;
    editor.entry = *entry;
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(owner, GWLP_HINSTANCE));
    if (DialogBoxParamW(instance, MAKEINTRESOURCEW(IDD_SERVICE), owner, ServiceProc, reinterpret_cast<LPARAM>(&editor)) !=
        IDOK) {
        return false;
    }
    *entry = editor.entry;
    return true;
}

// Selects the entry a refusal is about and says what is wrong with it.
bool RefuseEntry(Settings* settings, const ListControls& controls, size_t index, TextId entryName,
                 const Refusal& refusal) {
    bool pages = controls.list == IDC_PAGES;
    ShowLists(settings, pages ? static_cast<int>(index) : Selected(settings->window, kPages),
              pages ? Selected(settings->window, kServices) : static_cast<int>(index));
    SendMessageW(settings->window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(settings->window, controls.list)),
                 TRUE);
    Ask(settings->window, RefusalText(refusal, Text(entryName, {std::to_wstring(index + 1)})), MB_OK | MB_ICONWARNING);
    return false;
}

// Everything the band could not read is refused before anything is written, entries read from
// the file included.
bool CheckAll(Settings* settings) {
    Refusal refusal;
    for (size_t i = 0; i < settings->lists.watch.size(); ++i) {
        if (!CheckWatchEntry(settings->lists.watch[i], &refusal)) {
            return RefuseEntry(settings, kPages, i, TextId::EntryPage, refusal);
        }
    }
    for (size_t i = 0; i < settings->lists.search.size(); ++i) {
        if (!CheckSearchEntry(settings->lists.search[i], &refusal)) {
            return RefuseEntry(settings, kServices, i, TextId::EntryService, refusal);
        }
    }
    return true;
}

void TellBar(Settings* settings, SaveOutcome outcome) {
    // Without a bar of our own, a bar started meanwhile (of either bitness) shows it too.
    HWND bar = settings->notify ? settings->notify : FindWindowW(kBarClassName, nullptr);
    if (bar) PostMessageW(bar, kSettingsSaved, outcome == SaveOutcome::SavedNewFile ? 1 : 0, 0);
}

// The texts kept of pages compared by their text (kept_text.h) go with their pages: each
// address of the list as it was that the saved list no longer compares by text loses its
// texts. Addresses are made from the item lines as the band makes them, so that two spellings
// of one page are one page.
void RemoveTextsOfPagesGone(const std::vector<WatchEntry>& before, const std::vector<WatchEntry>& after) {
    std::set<std::string> stay;
    for (const WatchEntry& entry : after) {
        if (ComparesText(entry.comparison)) stay.insert(PageAddressOfLine(ItemLine(entry)));
    }
    for (const WatchEntry& entry : before) {
        std::string address = PageAddressOfLine(ItemLine(entry));
        if (!address.empty() && !stay.count(address)) RemoveKeptText(address);
    }
}

bool Save(Settings* settings) {
    if (!CheckAll(settings)) return false;
    HWND dialog = settings->window;
    if (ChangedSinceRead(settings->file) &&
        Ask(dialog, Text(TextId::FileChanged, {settings->file.readPath.empty() ? settings->file.userPath
                                                                                : settings->file.readPath}),
            MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES) {
        return false;
    }
    std::wstring error;
    const SettingsLists before = ReadSettingsLists(settings->file.bytes);
    SaveOutcome outcome = SaveSettings(&settings->file, settings->lists, &error);
    if (outcome == SaveOutcome::ReadOnly) {
        Ask(dialog, Text(TextId::FileReadOnly, {settings->file.userPath}), MB_OK | MB_ICONERROR);
        return false;
    }
    if (outcome == SaveOutcome::Failed) {
        Ask(dialog, Text(TextId::FileNotWritten, {settings->file.userPath, error}), MB_OK | MB_ICONERROR);
        return false;
    }
    settings->changed = false;
    RemoveTextsOfPagesGone(before.watch, settings->lists.watch);
    TellBar(settings, outcome);
    ShowLists(settings, Selected(dialog, kPages), Selected(dialog, kServices));
    return true;
}

void InitSettings(HWND dialog, Settings* settings) {
    settings->window = dialog;
    SetWindowTextW(dialog, Text(TextId::SettingsCaption).c_str());
    SetTexts(dialog, {{IDC_PAGES_LABEL, TextId::PagesLabel},       {IDC_PAGE_ADD, TextId::PageAdd},
                      {IDC_PAGE_EDIT, TextId::PageEdit},           {IDC_PAGE_REMOVE, TextId::PageRemove},
                      {IDC_PAGE_UP, TextId::PageUp},               {IDC_PAGE_DOWN, TextId::PageDown},
                      {IDC_SERVICES_LABEL, TextId::ServicesLabel}, {IDC_SERVICE_ADD, TextId::ServiceAdd},
                      {IDC_SERVICE_EDIT, TextId::ServiceEdit},     {IDC_SERVICE_REMOVE, TextId::ServiceRemove},
                      {IDC_SERVICE_UP, TextId::ServiceUp},         {IDC_SERVICE_DOWN, TextId::ServiceDown},
                      {IDCANCEL, TextId::Cancel},                  {IDC_APPLY, TextId::Apply}});
    HICON icon = LoadIconW(settings->instance, MAKEINTRESOURCEW(1));
    SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    SendMessageW(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    AddColumns(GetDlgItem(dialog, IDC_PAGES), {{TextId::ColumnTitle, 30}, {TextId::ColumnComparison, 28},
                                               {TextId::ColumnAddress, 42}});
    AddColumns(GetDlgItem(dialog, IDC_SERVICES), {{TextId::ColumnAddress, 46}, {TextId::ColumnLanguage, 16},
                                                  {TextId::ColumnMethod, 12}, {TextId::ColumnForm, 26}});
    ShowLists(settings, settings->lists.watch.empty() ? -1 : 0, settings->lists.search.empty() ? -1 : 0);
}

INT_PTR CALLBACK SettingsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* settings = reinterpret_cast<Settings*>(GetWindowLongPtrW(dialog, DWLP_USER));
    // Controls speak while the template is made, before the dialog has its record.
    if (!settings && message != WM_INITDIALOG) return FALSE;
    switch (message) {
    case WM_INITDIALOG:
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        InitSettings(dialog, reinterpret_cast<Settings*>(lParam));
        return TRUE;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        if (id == IDOK) {
            if (Save(settings)) DestroyWindow(dialog);
        } else if (id == IDCANCEL) {
            DestroyWindow(dialog);
        } else if (id == IDC_APPLY) {
            Save(settings);
        } else if (id >= IDC_PAGE_ADD && id <= IDC_PAGE_DOWN) {
            ChangeList(settings, &settings->lists.watch, kPages, id, EditPage);
        } else if (id >= IDC_SERVICE_ADD && id <= IDC_SERVICE_DOWN) {
            ChangeList(settings, &settings->lists.search, kServices, id, EditService);
        }
        return TRUE;
    }
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        bool pages = header->idFrom == IDC_PAGES;
        if (header->idFrom != IDC_PAGES && header->idFrom != IDC_SERVICES) break;
        const ListControls& controls = pages ? kPages : kServices;
        if (header->code == LVN_ITEMCHANGED) {
            UpdateButtons(dialog, controls, pages ? settings->lists.watch.size() : settings->lists.search.size());
        } else if (header->code == NM_DBLCLK && Selected(dialog, controls) >= 0) {
            PostMessageW(dialog, WM_COMMAND, controls.edit, 0);
        }
        return TRUE;
    }
    case WM_CLOSE:
        DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY:
        if (g_open == settings) g_open = nullptr;
        // Alone, the dialog is the program.
        if (!settings->notify) PostQuitMessage(0);
        delete settings;
        SetWindowLongPtrW(dialog, DWLP_USER, 0);
        return TRUE;
    }
    return FALSE;
}

const wchar_t* EncodingName(FileEncoding encoding) {
    switch (encoding) {
    case FileEncoding::Utf8: return L"UTF-8";
    case FileEncoding::Utf8WithMark: return L"UTF-8 (BOM)";
    case FileEncoding::Utf16Le: return L"UTF-16 LE";
    case FileEncoding::Utf16Be: return L"UTF-16 BE";
    default: return L"";
    }
}

// A file in another encoding is shown only once it is code page 932: the user is asked, and
// the original is kept. False when there is nothing to show.
bool OfferConversion(Settings* settings) {
    FileEncoding encoding = DetectEncoding(settings->file.bytes);
    if (encoding == FileEncoding::CodePage) return true;
    const std::wstring& path = settings->file.readPath;
    std::wstring text, unmappable, error, backup;
    if (!DecodeToWide(settings->file.bytes, encoding, &text)) {
        Ask(nullptr, Text(TextId::FileUnreadable, {path, Text(TextId::RefuseUnreadable)}), MB_OK | MB_ICONERROR);
        return false;
    }
    std::string converted = EncodeCodePage932(text, &unmappable);
    std::wstring question = Text(TextId::FileInOtherEncoding, {EncodingName(encoding), path});
    if (!unmappable.empty()) question += Text(TextId::FileUnmappable, {unmappable});
    if (Ask(nullptr, question, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        Ask(nullptr, Text(TextId::FileNotConverted), MB_OK | MB_ICONINFORMATION);
        return false;
    }
    SaveOutcome outcome = ConvertSettingsFile(&settings->file, converted, &backup, &error);
    if (outcome == SaveOutcome::ReadOnly) {
        Ask(nullptr, Text(TextId::FileReadOnly, {settings->file.userPath}), MB_OK | MB_ICONERROR);
        return false;
    }
    if (outcome == SaveOutcome::Failed) {
        Ask(nullptr, Text(TextId::FileNotWritten, {settings->file.userPath, error}), MB_OK | MB_ICONERROR);
        return false;
    }
    TellBar(settings, outcome);
    if (!backup.empty()) Ask(nullptr, Text(TextId::FileConverted, {backup}), MB_OK | MB_ICONINFORMATION);
    return true;
}

}  // namespace

HWND OpenSettingsDialog(HINSTANCE instance, HWND notify) {
    if (g_open) {
        ShowWindow(g_open->window, SW_RESTORE);
        SetForegroundWindow(g_open->window);
        return g_open->window;
    }
    INITCOMMONCONTROLSEX classes = {sizeof classes, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&classes);

    auto settings = std::make_unique<Settings>();
    settings->instance = instance;
    settings->notify = notify;
    std::wstring error;
    if (!LoadSettingsFile(ProgramFolder(), &settings->file, &error)) {
        Ask(nullptr, Text(TextId::FileUnreadable, {settings->file.readPath, error}), MB_OK | MB_ICONERROR);
        return nullptr;
    }
    if (!OfferConversion(settings.get())) return nullptr;
    settings->lists = ReadSettingsLists(settings->file.bytes);

    HWND dialog = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_SETTINGS), nullptr, SettingsProc,
                                     reinterpret_cast<LPARAM>(settings.get()));
    if (!dialog) return nullptr;
    g_open = settings.release();
    ShowWindow(dialog, SW_SHOW);
    SetForegroundWindow(dialog);
    return dialog;
}

HWND SettingsDialogWindow() { return g_open ? g_open->window : nullptr; }

void CloseSettingsDialog() {
    if (g_open) DestroyWindow(g_open->window);
}
