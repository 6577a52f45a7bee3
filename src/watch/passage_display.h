// What the band says of a changed page's new text: the button's tooltip ("ニュース ― 新:
// 新しい見出し…(ほか 2 か所)") and the words a listening host is told with the page's
// notice. Pages compared as their whole body or with markup removed have no passage and keep
// their plain title. English texts where the user's interface language is English, as the
// bar and the setup program choose.
#pragma once

#include <windows.h>

#include <string>

#include "services/new_passages.h"
#include "watch/watch_item.h"

// The worker's record of what a pass found new in item's page, set before it shows the
// button Changed (so that the tooltip and the notice find it). Takes the item's lock.
void SetItemNewPassage(WatchItem& item, const NewPassages& passages);
// A copy of the item's record, under its lock.
NewPassages ItemNewPassage(WatchItem& item);

// Whether the user's interface language is English: then the band, and the bar, speak English.
bool UsesEnglishTexts();

// The words after the title: "新: passage(ほか N か所)", "新: passage" when nothing more is
// new, or "ページの多くの箇所が変わりました"; empty for None. The passage as it is, in
// UTF-16 (nothing lost).
std::wstring DescribeNewPassages(const NewPassages& passages, bool english);

// The tooltip of a Changed button: the title, " ― " (" - " in English), the description;
// the plain title when there is nothing to describe. noPrefix false: the tooltip takes "&"
// as a prefix mark, so each "&" of the description is doubled to show as itself (the title
// is shown as it always was).
std::wstring PassageTooltipWide(const std::string& title, const NewPassages& passages, bool english, bool noPrefix);
// The same in the ANSI code page, for TTN_GETDISPINFOA: the title's own bytes, then the rest
// converted. Where the ANSI code page is 932, the characters that Japanese text outside
// Windows writes with other code points than code page 932 has (WAVE DASH, DOUBLE VERTICAL
// LINE, MINUS SIGN, EM DASH, the cent, pound and not signs) are written as its own; every
// character it still lacks becomes "?". No "best fit": a look-alike letter could say
// something the page does not.
std::string PassageTooltipAnsi(const std::string& title, const NewPassages& passages, bool english, bool noPrefix);
// UTF-16 text in the ANSI code page by the rule above.
std::string WideToAnsiReplacing(const std::wstring& text);
