#include "watch/passage_display.h"

#include "common/ansi.h"

namespace {

struct Words {
    const char* separator;  // between the title and the description
    const char* found;      // {} the passage
    const char* further;    // {} how many more lines are new
    const char* manyPlaces;
};
// Code page 932 (the compiler writes narrow literals so), whatever the system's ANSI code page.
const Words kJapanese = {" ― ", "新: {}", "(ほか {} か所)", "ページの多くの箇所が変わりました"};
const Words kEnglish = {" - ", "New: {}", " (and {} more)", "The page changed in many places"};

std::wstring Word(const char* text, bool english) { return ToWide(text, english ? CP_ACP : 932); }

std::wstring Fill(std::wstring pattern, const std::wstring& value) {
    size_t at = pattern.find(L"{}");
    if (at != std::wstring::npos) pattern.replace(at, 2, value);
    return pattern;
}

std::wstring DoubledAmpersands(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        out += c;
        if (c == L'&') out += L'&';
    }
    return out;
}

// Japanese text made outside Windows writes these with the code points of JIS X 0208's other
// mappings; code page 932 has the same characters under its own.
wchar_t AsCodePage932Has(wchar_t c) {
    switch (c) {
    case 0x301C: return 0xFF5E;  // WAVE DASH: FULLWIDTH TILDE
    case 0x2016: return 0x2225;  // DOUBLE VERTICAL LINE: PARALLEL TO
    case 0x2212: return 0xFF0D;  // MINUS SIGN: FULLWIDTH HYPHEN-MINUS
    case 0x2014: return 0x2015;  // EM DASH: HORIZONTAL BAR
    case 0x00A2: return 0xFFE0;  // CENT SIGN
    case 0x00A3: return 0xFFE1;  // POUND SIGN
    case 0x00AC: return 0xFFE2;  // NOT SIGN
    default: return c;
    }
}

}  // namespace

void SetItemNewPassage(WatchItem& item, const NewPassages& passages) {
    ItemLock lock(item);
    item.newPassages = passages;
}

NewPassages ItemNewPassage(WatchItem& item) {
    ItemLock lock(item);
    return item.newPassages;
}

bool UsesEnglishTexts() { return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_ENGLISH; }

std::wstring DescribeNewPassages(const NewPassages& passages, bool english) {
    const Words& words = english ? kEnglish : kJapanese;
    switch (passages.kind) {
    case NewPassageKind::Found: {
        std::wstring text = Fill(Word(words.found, english), ToWide(passages.first, CP_UTF8));
        if (passages.further) text += Fill(Word(words.further, english), std::to_wstring(passages.further));
        return text;
    }
    case NewPassageKind::ManyPlaces:
        return Word(words.manyPlaces, english);
    case NewPassageKind::None:
        break;
    }
    return std::wstring();
}

std::wstring PassageTooltipWide(const std::string& title, const NewPassages& passages, bool english, bool noPrefix) {
    std::wstring description = DescribeNewPassages(passages, english);
    std::wstring tip = AnsiToWide(title);
    if (description.empty()) return tip;
    return tip + Word((english ? kEnglish : kJapanese).separator, english) +
           (noPrefix ? description : DoubledAmpersands(description));
}

std::string PassageTooltipAnsi(const std::string& title, const NewPassages& passages, bool english, bool noPrefix) {
    std::wstring description = DescribeNewPassages(passages, english);
    if (description.empty()) return title;
    std::wstring rest = Word((english ? kEnglish : kJapanese).separator, english) +
                        (noPrefix ? description : DoubledAmpersands(description));
    return title + WideToAnsiReplacing(rest);
}

std::string WideToAnsiReplacing(const std::wstring& text) {
    if (text.empty()) return std::string();
    // A character outside the BMP (a pair of UTF-16 units) is one "?", not two: no ANSI code
    // page has any.
    bool codePage932 = GetACP() == 932;
    std::wstring mapped;
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            ++i;
            c = L'?';
        }
        mapped += codePage932 ? AsCodePage932Has(c) : c;
    }
    int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, mapped.data(), static_cast<int>(mapped.size()), nullptr,
                                0, "?", nullptr);
    if (n <= 0) return std::string();
    std::string ansi(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, mapped.data(), static_cast<int>(mapped.size()), &ansi[0], n, "?",
                        nullptr);
    return ansi;
}
