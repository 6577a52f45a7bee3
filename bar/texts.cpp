#include "texts.h"

#include <windows.h>

namespace {

struct Entry {
    const char* japanese;  // code page 932
    const char* english;
};

const Entry kTexts[] = {
    {"Pelorin", "Pelorin"},
    {"Pelorin のバンドを読み込めません。ファイルがありません:\n{}",
     "Pelorin cannot load its band. The file is missing:\n{}"},
    {"Pelorin のバンドを読み込めません。このファイルは {} ビット版の pelorin.exe に合う DLL ではありません:\n{}",
     "Pelorin cannot load its band. This file is not the DLL for the {}-bit pelorin.exe:\n{}"},
    {"Pelorin のバンドを読み込めません (エラー {}):\n{}",
     "Pelorin cannot load its band (error {}):\n{}"},
    {"Pelorin のバンドの DLL がクラス オブジェクトを渡しません ({}):\n{}",
     "The Pelorin band's DLL gives no class object ({}):\n{}"},
    {"Pelorin のバンドを作成できません ({}):\n{}",
     "Pelorin cannot create its band ({}):\n{}"},
    {"Pelorin のバンドを表示できません ({}):\n{}",
     "Pelorin cannot show its band ({}):\n{}"},
    {"バーを表示(&S)", "&Show the bar"},
    {"上端に固定(&T)", "Dock at the &top"},
    {"下端に固定(&B)", "Dock at the &bottom"},
    {"フローティング(&F)", "&Float"},
    {"今すぐ確認(&C)", "&Check now"},
    {"更新をお知らせ(&N)", "&Notify of changes"},
    {"サインイン時に起動(&I)", "Start at sign-&in"},
    {"終了(&X)", "&Quit"},
    {"{} ページが更新されています", "{} page changed"},
    {"{} ページが更新されています", "{} pages changed"},
    {"「{}」が更新されました", "\"{}\" has changed"},
};

std::wstring FromCodePage(const char* text, UINT codePage) {
    int n = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text, -1, &wide[0], n);
    wide.resize(static_cast<size_t>(n - 1));
    return wide;
}

}  // namespace

bool UsesEnglish() { return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_ENGLISH; }

std::wstring Text(TextId id, std::initializer_list<std::wstring> args) {
    const Entry& entry = kTexts[static_cast<int>(id)];
    // The Japanese texts are code page 932 whatever the system's ANSI code page is.
    std::wstring text = UsesEnglish() ? FromCodePage(entry.english, CP_ACP) : FromCodePage(entry.japanese, 932);
    size_t from = 0;
    for (const std::wstring& arg : args) {
        size_t at = text.find(L"{}", from);
        if (at == std::wstring::npos) break;
        text.replace(at, 2, arg);
        from = at + arg.size();
    }
    return text;
}
