#include "texts.h"

#include <windows.h>

#include "common/ansi.h"
#include "watch/passage_display.h"

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
    {"設定(&O)...", "Setti&ngs..."},
    {"Pelorin の設定", "Pelorin settings"},
    {"監視するページ(&W):", "&Watched pages:"},
    {"追加(&A)...", "&Add..."},
    {"編集(&E)...", "&Edit..."},
    {"削除(&R)", "&Remove"},
    {"上へ(&U)", "Move &up"},
    {"下へ(&D)", "Move &down"},
    {"検索サービス(&V):", "Search ser&vices:"},
    {"追加(&N)...", "Ne&w..."},
    {"変更(&H)...", "C&hange..."},
    {"削除(&L)", "De&lete"},
    {"上へ(&P)", "Move u&p"},
    {"下へ(&O)", "Move d&own"},
    {"適用(&Y)", "Appl&y"},
    {"キャンセル", "Cancel"},
    {"設定ファイル: {}", "Settings file: {}"},
    {"タイトル", "Title"},
    {"比べ方", "Comparison"},
    {"アドレス", "Address"},
    {"言語", "Language"},
    {"方法", "Method"},
    {"フォームのテキスト", "Form text"},
    {"すべて", "Any"},
    {"英語", "English"},
    {"日本語", "Japanese"},
    {"ページ全体", "Whole page"},
    {"タグを除く", "Markup removed"},
    {"表示される文字", "Visible text"},
    {"表示される文字 (数字を無視)", "Visible text (numbers ignored)"},
    {"届いたページをそのまま比べます。タグや広告が変わっただけでも更新になります。",
     "Compares the page as it arrives: a change in any tag or advertisement counts."},
    {"HTML のタグを除いて比べます。スクリプトの中身などは比べる対象に残ります。",
     "Compares the page without its HTML tags; the contents of scripts still count."},
    {"スクリプトやタグを除き、読む人に見える文字だけを比べます。",
     "Compares only the text a reader sees, without scripts or tags."},
    {"見える文字を、数字を除いて比べます。日付や件数だけが変わっても更新になりません。",
     "Compares the text a reader sees without its digits: a new date or count alone is no change."},
    {"監視するページ", "Watched page"},
    {"検索サービス", "Search service"},
    {"アドレス(&A):", "&Address:"},
    {"タイトル(&T):", "&Title:"},
    {"比べ方(&C):", "&Comparison:"},
    {"言語(&L):", "&Language:"},
    {"方法(&M):", "&Method:"},
    {"フォームのテキスト(&F):", "&Form text:"},
    {"バンドが取得するアドレス: {}", "The band fetches: {}"},
    {"バンドが取得するアドレス: {}\n(https のページには、サイトが http から転送する場合に届きます)",
     "The band fetches: {}\n(it reaches the https page when the site redirects http to it)"},
    {"ページのタイトルを取得しています...", "Fetching the page's title..."},
    {"ページのタイトルを提案しました。変更できます。", "The page's title is proposed; you may change it."},
    {"ページに届かないため、ホスト名 {} を提案しました。", "The page could not be reached; its host name {} is proposed."},
    {"送信先: {}", "Sends: {}"},
    {"送信先: {}\n本文: {}", "Sends: {}\nBody: {}"},
    {"タイトル", "Title"},
    {"アドレス", "Address"},
    {"検索サービスのアドレス", "Search service address"},
    {"フォームのテキスト", "Form text"},
    {"{} の{}: {}", "{}, {}: {}"},
    {"監視するページ {}", "Watched page {}"},
    {"検索サービス {}", "Search service {}"},
    {"入力してください。", "it is empty."},
    {"コンマ (,) は使えません。", "it cannot hold a comma (,)."},
    {"次の文字はシフト JIS (コード ページ 932) で書けません: {}",
     "these characters have no form in Shift_JIS (code page 932): {}"},
    {"改行は使えません。", "it cannot hold a line break."},
    {"長すぎます。書き込むと {} バイトになりますが、バンドが読めるのは 259 バイトまでです。",
     "it is too long: written, it takes {} bytes, and the band reads at most 259."},
    {"空白は使えません。", "it cannot hold a blank."},
    {"バンドがこのアドレスを解釈できません。", "the band cannot understand this address."},
    {"http:// か https:// で始まるアドレスにしてください。", "it must begin with http:// or https://."},
    {"ポート {} は使えません。バンドはいつもポート 80 から取得するので、別のページを見ることになります。",
     "port {} cannot be used: the band always fetches from port 80, so it would watch another page."},
    {"設定ファイルを読めません:\n{}\n\n{}", "The settings file cannot be read:\n{}\n\n{}"},
    {"設定ファイルは {} で保存されています:\n{}\n\nバンドはシフト JIS (コード ページ 932) のファイルしか正しく読めず、日本語が文字化けします。シフト JIS に変換しますか? 元のファイルは .bak として残します。",
     "The settings file is saved as {}:\n{}\n\nThe band reads only Shift_JIS (code page 932) files correctly, so Japanese text shows garbled. Convert it to Shift_JIS? The original is kept as a .bak file."},
    {"\n\n次の文字はシフト JIS で書けないため、「?」になります: {}",
     "\n\nThese characters have no Shift_JIS form and become \"?\": {}"},
    {"変換しませんでした。ファイルは変更していません。", "Not converted. The file was not changed."},
    {"変換しました。元のファイル: {}", "Converted. The original file: {}"},
    {"設定ファイルは読み取り専用のため、書き込みませんでした:\n{}\n\n変更はこのダイアログに残っています。",
     "The settings file is read-only, so nothing was written:\n{}\n\nYour changes are still in this dialog."},
    {"設定ファイルに書き込めませんでした。元のファイルはそのままです:\n{}\n\n{}",
     "The settings file could not be written; the old file is as it was:\n{}\n\n{}"},
    {"このダイアログを開いた後に、ほかのプログラムが設定ファイルを変更しました:\n{}\n\n上書きしますか? 「いいえ」を選ぶと何も書き込みません。",
     "Another program changed the settings file after this dialog opened:\n{}\n\nOverwrite it? No writes nothing."},
};

static_assert(ARRAYSIZE(kTexts) == static_cast<size_t>(TextId::Count), "one entry per text");

}  // namespace

// The band's own rule, so that the bar and the band it hosts always speak one language.
bool UsesEnglish() { return UsesEnglishTexts(); }

std::wstring Text(TextId id, std::initializer_list<std::wstring> args) {
    const Entry& entry = kTexts[static_cast<int>(id)];
    // The Japanese texts are code page 932 whatever the system's ANSI code page is.
    std::wstring text = UsesEnglish() ? ToWide(entry.english, CP_ACP) : ToWide(entry.japanese, 932);
    size_t from = 0;
    for (const std::wstring& arg : args) {
        size_t at = text.find(L"{}", from);
        if (at == std::wstring::npos) break;
        text.replace(at, 2, arg);
        from = at + arg.size();
    }
    return text;
}
