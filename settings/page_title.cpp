#include "settings/page_title.h"

#include <cstring>

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

// s[i..] starts with the lower-case ASCII word, in any case.
bool StartsWithWord(const char* s, size_t n, size_t i, const char* word) {
    size_t length = std::strlen(word);
    if (n - i < length) return false;
    for (size_t k = 0; k < length; ++k) {
        if (Lower(s[i + k]) != word[k]) return false;
    }
    return true;
}

bool EqualsWord(const std::string& text, const char* word) {
    return text.size() == std::strlen(word) && StartsWithWord(text.data(), text.size(), 0, word);
}

size_t Find(const char* s, size_t n, size_t from, const char* what) {
    size_t length = std::strlen(what);
    while (from < n && n - from >= length) {
        const void* hit = std::memchr(s + from, what[0], n - from - length + 1);
        if (!hit) return std::string::npos;
        size_t at = static_cast<const char*>(hit) - s;
        if (std::memcmp(s + at, what, length) == 0) return at;
        from = at + 1;
    }
    return std::string::npos;
}

// The tag named at s[i] ('<' at i - 1): the name in any case, then a blank, '/' or '>' (or the
// end, which the caller meets as an unfinished tag).
bool IsTagNamed(const char* s, size_t n, size_t i, const char* name) {
    if (!StartsWithWord(s, n, i, name)) return false;
    size_t after = i + std::strlen(name);
    return after == n || IsBlank(s[after]) || s[after] == '/' || s[after] == '>';
}

// Where the end tag </name ...> starts at or after from; npos when there is none.
size_t FindEndTag(const char* s, size_t n, size_t from, const char* name) {
    for (size_t at = Find(s, n, from, "</"); at != std::string::npos; at = Find(s, n, at + 2, "</")) {
        if (IsTagNamed(s, n, at + 2, name)) return at;
    }
    return std::string::npos;
}

struct MetaAttributes {
    std::string charset, httpEquiv, content;
    bool hasCharset = false;
};

size_t SkipBlanks(const char* s, size_t n, size_t i) {
    while (i < n && IsBlank(s[i])) ++i;
    return i;
}

// Reads a start tag's attributes from i (just after its name) as the HTML tokenizer does:
// names end at a blank, '/', '>' or '='; values are quoted or run to a blank or '>'. Keeps the
// ones a <meta> declares a charset with. Returns where the tag's '>' is; npos when the tag
// does not end within the body.
size_t ReadAttributes(const char* s, size_t n, size_t i, MetaAttributes* meta) {
    for (;;) {
        while (i < n && (IsBlank(s[i]) || s[i] == '/')) ++i;
        if (i >= n) return std::string::npos;
        if (s[i] == '>') return i;
        size_t nameStart = i++;  // a leading '=' belongs to the name
        while (i < n && !IsBlank(s[i]) && s[i] != '/' && s[i] != '>' && s[i] != '=') ++i;
        std::string name(s + nameStart, i - nameStart);
        std::string value;
        i = SkipBlanks(s, n, i);
        if (i < n && s[i] == '=') {
            i = SkipBlanks(s, n, i + 1);
            if (i < n && (s[i] == '"' || s[i] == '\'')) {
                const void* close = std::memchr(s + i + 1, s[i], n - i - 1);
                if (!close) return std::string::npos;
                size_t end = static_cast<const char*>(close) - s;
                value.assign(s + i + 1, end - i - 1);
                i = end + 1;
            } else {
                size_t start = i;
                while (i < n && !IsBlank(s[i]) && s[i] != '>') ++i;
                value.assign(s + start, i - start);
            }
        }
        // The first of a repeated attribute counts.
        if (EqualsWord(name, "charset") && !meta->hasCharset) {
            meta->charset = value;
            meta->hasCharset = true;
        } else if (EqualsWord(name, "http-equiv") && meta->httpEquiv.empty()) {
            meta->httpEquiv = value;
        } else if (EqualsWord(name, "content") && meta->content.empty()) {
            meta->content = value;
        }
    }
}

std::string Trimmed(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// The charset in a Content-Type value ("text/html; charset=Shift_JIS"), the way browsers
// read it from a <meta>: the word, blanks, '=', blanks, then a quoted or a bare value.
std::string CharsetOfContentType(const std::string& content) {
    const char* s = content.data();
    size_t n = content.size();
    size_t i = 0;
    for (;;) {
        size_t at = std::string::npos;
        for (size_t k = i; k + 7 <= n; ++k) {
            if (StartsWithWord(s, n, k, "charset")) {
                at = k;
                break;
            }
        }
        if (at == std::string::npos) return std::string();
        i = SkipBlanks(s, n, at + 7);
        if (i < n && s[i] == '=') break;
    }
    i = SkipBlanks(s, n, i + 1);
    if (i < n && (s[i] == '"' || s[i] == '\'')) {
        size_t end = content.find(s[i], i + 1);
        if (end == std::string::npos) return std::string();
        return content.substr(i + 1, end - i - 1);
    }
    size_t start = i;
    while (i < n && !IsBlank(s[i]) && s[i] != ';') ++i;
    return content.substr(start, i - start);
}

// The code page a <meta> declares; 0 when it declares none or one we do not know. A page whose
// <meta> could be read as ASCII is not in UTF-16 whatever it says: browsers take UTF-8 then.
int CodePageOfMeta(const MetaAttributes& meta) {
    std::string label;
    if (meta.hasCharset) {
        label = meta.charset;
    } else if (EqualsWord(Trimmed(meta.httpEquiv), "content-type")) {
        label = CharsetOfContentType(meta.content);
    }
    if (label.empty()) return 0;
    int codePage = CodePageOfCharset(label);
    if (codePage == kCodePageUtf16Le || codePage == kCodePageUtf16Be) return kCodePageUtf8;
    return codePage;
}

// The name of the element starting at s[i] when its text is no markup; null for others.
const char* RawTextElement(const char* s, size_t n, size_t i) {
    for (const char* name : {"script", "style"}) {
        if (IsTagNamed(s, n, i, name)) return name;
    }
    return nullptr;
}

// The scan over markup whose tags are ASCII: the page's bytes, or a UTF-16 page's units each
// narrowed to one byte. Fills begin/end of the title's content in s and the meta's code page.
struct ScanResult {
    bool found = false;
    size_t begin = 0, end = 0;
    int metaCodePage = 0;
};

ScanResult ScanMarkup(const char* s, size_t n) {
    ScanResult result;
    bool metaDone = false;  // a charset was declared, or the body began
    size_t i = 0;
    while (i < n && !(result.found && metaDone)) {
        const void* open = std::memchr(s + i, '<', n - i);
        if (!open) break;
        i = static_cast<const char*>(open) - s + 1;
        if (StartsWithWord(s, n, i, "!--")) {
            size_t close = Find(s, n, i + 3, "-->");
            if (close == std::string::npos) break;
            i = close + 3;
        } else if (const char* raw = RawTextElement(s, n, i)) {
            // Their text is not markup: a "<title>" inside a script is a string.
            size_t close = FindEndTag(s, n, i, raw);
            if (close == std::string::npos) break;
            i = close + 2;
        } else if (!result.found && IsTagNamed(s, n, i, "title")) {
            MetaAttributes ignored;
            size_t tagEnd = ReadAttributes(s, n, i + 5, &ignored);
            if (tagEnd == std::string::npos) break;
            // Its text runs to the end tag, markup or not; a title never closed is no title.
            size_t close = FindEndTag(s, n, tagEnd + 1, "title");
            if (close == std::string::npos) break;
            result.found = true;
            result.begin = tagEnd + 1;
            result.end = close;
            i = close + 2;
        } else if (!metaDone && IsTagNamed(s, n, i, "meta")) {
            MetaAttributes meta;
            size_t tagEnd = ReadAttributes(s, n, i + 4, &meta);
            if (tagEnd == std::string::npos) break;
            result.metaCodePage = CodePageOfMeta(meta);
            metaDone = result.metaCodePage != 0;
            i = tagEnd + 1;
        } else if (IsTagNamed(s, n, i, "body")) {
            metaDone = true;  // a <meta> in the body declares nothing
        }
    }
    return result;
}

bool IsUtf8Trail(unsigned char b) { return (b & 0xC0) == 0x80; }

}  // namespace

PageTitle FindPageTitle(const char* body, size_t count) {
    PageTitle title;
    if (!body) return title;
    const auto* b = reinterpret_cast<const unsigned char*>(body);
    if (count >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
        bool bigEndian = b[0] == 0xFE;
        title.declaredCodePage = bigEndian ? kCodePageUtf16Be : kCodePageUtf16Le;
        // Each unit narrowed to one byte: ASCII as itself, the rest as a byte no markup has.
        size_t units = (count - 2) / 2;
        std::string narrow(units, '\0');
        for (size_t k = 0; k < units; ++k) {
            unsigned unit = bigEndian ? (b[2 + 2 * k] << 8 | b[3 + 2 * k]) : (b[3 + 2 * k] << 8 | b[2 + 2 * k]);
            narrow[k] = unit < 0x80 ? static_cast<char>(unit) : '\x80';
        }
        ScanResult scan = ScanMarkup(narrow.data(), narrow.size());
        if (scan.found) {
            title.found = true;
            title.bytes.assign(body + 2 + 2 * scan.begin, 2 * (scan.end - scan.begin));
        }
        return title;
    }
    size_t skip = 0;
    if (count >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
        skip = 3;
        title.declaredCodePage = kCodePageUtf8;
    }
    ScanResult scan = ScanMarkup(body + skip, count - skip);
    if (!title.declaredCodePage) title.declaredCodePage = scan.metaCodePage;
    if (scan.found) {
        title.found = true;
        title.bytes.assign(body + skip + scan.begin, scan.end - scan.begin);
    }
    return title;
}

int CodePageOfCharset(const std::string& label) {
    static const struct {
        const char* label;
        int codePage;
    } kLabels[] = {
        {"utf-8", 65001}, {"utf8", 65001}, {"unicode-1-1-utf-8", 65001}, {"x-unicode20utf8", 65001},
        {"shift_jis", 932}, {"shift-jis", 932}, {"sjis", 932}, {"x-sjis", 932}, {"windows-31j", 932},
        {"cp932", 932}, {"ms932", 932}, {"ms_kanji", 932}, {"csshiftjis", 932}, {"x-ms-cp932", 932},
        {"euc-jp", 20932}, {"x-euc-jp", 20932}, {"eucjp", 20932}, {"cseucpkdfmtjapanese", 20932},
        {"iso-2022-jp", 50220}, {"csiso2022jp", 50220},
        {"us-ascii", 1252}, {"ascii", 1252}, {"iso-8859-1", 1252}, {"iso8859-1", 1252},
        {"iso_8859-1", 1252}, {"latin1", 1252}, {"l1", 1252}, {"cp819", 1252}, {"ibm819", 1252},
        {"x-cp1252", 1252},
        {"utf-16", 1200}, {"utf-16le", 1200}, {"unicode", 1200}, {"utf-16be", 1201},
        {"gb2312", 936}, {"gbk", 936}, {"cp936", 936}, {"x-gbk", 936}, {"chinese", 936},
        {"csgb2312", 936}, {"gb_2312-80", 936}, {"gb18030", 54936},
        {"big5", 950}, {"big5-hkscs", 950}, {"cn-big5", 950}, {"x-x-big5", 950}, {"csbig5", 950},
        {"euc-kr", 949}, {"ks_c_5601-1987", 949}, {"windows-949", 949}, {"cp949", 949}, {"korean", 949},
        {"koi8-r", 20866}, {"koi8", 20866}, {"koi8_r", 20866}, {"cskoi8r", 20866}, {"koi8-u", 21866},
        {"koi8-ru", 21866},
        {"windows-874", 874}, {"tis-620", 874}, {"dos-874", 874},
        {"ibm866", 866}, {"cp866", 866}, {"macintosh", 10000}, {"mac", 10000}, {"x-mac-roman", 10000},
    };
    std::string name = Trimmed(label);
    for (char& c : name) c = Lower(c);
    for (const auto& entry : kLabels) {
        if (name == entry.label) return entry.codePage;
    }
    // windows-125N and cp125N.
    for (const char* prefix : {"windows-125", "cp125"}) {
        size_t length = std::strlen(prefix);
        if (name.size() == length + 1 && name.compare(0, length, prefix) == 0 && name[length] >= '0' &&
            name[length] <= '8') {
            return 1250 + (name[length] - '0');
        }
    }
    // iso-8859-N: 28590 + N, except where browsers read a Windows code page instead.
    for (const char* prefix : {"iso-8859-", "iso8859-", "iso_8859-"}) {
        size_t length = std::strlen(prefix);
        if (name.compare(0, length, prefix) != 0) continue;
        std::string number = name.substr(length);
        if (number == "8-i") return 28598;
        int n = 0;
        if (number.empty() || number.size() > 2) return 0;
        for (char c : number) {
            if (c < '0' || c > '9') return 0;
            n = n * 10 + (c - '0');
        }
        if (n == 9) return 1254;
        if (n == 11) return 874;
        if (n >= 2 && n <= 16 && n != 12) return 28590 + n;
        return 0;
    }
    return 0;
}

bool IsValidUtf8(const std::string& bytes) {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t n = bytes.size();
    for (size_t i = 0; i < n;) {
        unsigned char b = s[i];
        size_t length;
        unsigned code;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            length = 2, code = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3, code = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4, code = b & 0x07;
        } else {
            return false;
        }
        if (n - i < length) return false;
        for (size_t k = 1; k < length; ++k) {
            if (!IsUtf8Trail(s[i + k])) return false;
            code = code << 6 | (s[i + k] & 0x3F);
        }
        // No overlong forms, no surrogates, nothing past U+10FFFF.
        if ((length == 3 && code < 0x800) || (length == 4 && code < 0x10000) || code > 0x10FFFF ||
            (code >= 0xD800 && code <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

int TitleCodePage(const PageTitle& title) {
    if (title.declaredCodePage) return title.declaredCodePage;
    bool high = false;
    for (char c : title.bytes) high = high || static_cast<unsigned char>(c) >= 0x80;
    return high && IsValidUtf8(title.bytes) ? kCodePageUtf8 : kCodePageShiftJis;
}

bool DecodeUtf16(const std::string& bytes, bool bigEndian, std::u16string* text) {
    if (bytes.size() % 2) return false;
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data());
    text->clear();
    text->reserve(bytes.size() / 2);
    for (size_t k = 0; k + 1 < bytes.size(); k += 2) {
        text->push_back(static_cast<char16_t>(bigEndian ? (b[k] << 8 | b[k + 1]) : (b[k + 1] << 8 | b[k])));
    }
    return true;
}

bool Iso2022JpToEucJp(const std::string& bytes, std::string* eucJp) {
    enum class Set { Ascii, Kanji, Kana };
    Set set = Set::Ascii;
    Set beforeShiftOut = Set::Ascii;
    std::string out;
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    size_t n = bytes.size();
    for (size_t i = 0; i < n;) {
        unsigned char b = s[i];
        if (b >= 0x80) return false;
        if (b == 0x1B) {
            if (n - i >= 3 && s[i + 1] == '(' && (s[i + 2] == 'B' || s[i + 2] == 'J')) {
                set = Set::Ascii;  // JIS X 0201 Roman differs from ASCII in two glyphs only
            } else if (n - i >= 3 && s[i + 1] == '(' && s[i + 2] == 'I') {
                set = Set::Kana;
            } else if (n - i >= 3 && s[i + 1] == '$' && (s[i + 2] == 'B' || s[i + 2] == '@')) {
                set = Set::Kanji;
            } else {
                return false;  // JIS X 0212 and every other set: EUC-JP's table has no room for them here
            }
            i += 3;
            continue;
        }
        if (b == 0x0E || b == 0x0F) {  // SO and SI switch to half-width katakana and back
            if (b == 0x0E && set != Set::Kana) beforeShiftOut = set, set = Set::Kana;
            if (b == 0x0F && set == Set::Kana) set = beforeShiftOut;
            ++i;
            continue;
        }
        if (set == Set::Kanji && b >= 0x21 && b <= 0x7E) {
            if (i + 1 >= n || s[i + 1] < 0x21 || s[i + 1] > 0x7E) return false;
            out.push_back(static_cast<char>(b | 0x80));
            out.push_back(static_cast<char>(s[i + 1] | 0x80));
            i += 2;
        } else if (set == Set::Kana && b >= 0x21 && b <= 0x5F) {
            out.push_back('\x8E');
            out.push_back(static_cast<char>(b | 0x80));
            ++i;
        } else if (set == Set::Kana && b >= 0x21) {
            return false;
        } else {
            out.push_back(static_cast<char>(b));  // ASCII, and blanks and line ends in any set
            ++i;
        }
    }
    *eucJp = std::move(out);
    return true;
}

namespace {

// What &#128; to &#159; mean: browsers read them as windows-1252 bytes, as old pages meant.
const char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

const struct {
    const char* name;
    char16_t character;
} kNamedReferences[] = {
    {"amp", u'&'},       {"lt", u'<'},        {"gt", u'>'},        {"quot", u'"'},
    {"apos", u'\''},     {"nbsp", 0x00A0},    {"copy", 0x00A9},    {"reg", 0x00AE},
    {"trade", 0x2122},   {"hellip", 0x2026},  {"mdash", 0x2014},   {"ndash", 0x2013},
    {"laquo", 0x00AB},   {"raquo", 0x00BB},   {"lsquo", 0x2018},   {"rsquo", 0x2019},
    {"ldquo", 0x201C},   {"rdquo", 0x201D},   {"middot", 0x00B7},  {"bull", 0x2022},
    {"times", 0x00D7},   {"divide", 0x00F7},  {"yen", 0x00A5},     {"deg", 0x00B0},
    {"plusmn", 0x00B1},  {"sect", 0x00A7},    {"para", 0x00B6},
};

bool IsAsciiDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

int HexValue(char16_t c) {
    if (IsAsciiDigit(c)) return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

void AppendCodePoint(std::u16string* text, unsigned long code) {
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
    if (code >= 0x80 && code <= 0x9F) code = kWindows1252High[code - 0x80];
    if (code < 0x10000) {
        text->push_back(static_cast<char16_t>(code));
    } else {
        code -= 0x10000;
        text->push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
        text->push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    }
}

// &#N; or &#xH; at text[i] ('&'): appends the character and returns the length read; 0 when
// it is no complete reference.
size_t ReadNumericReference(const std::u16string& text, size_t i, std::u16string* out) {
    size_t k = i + 2;
    bool hex = k < text.size() && (text[k] == u'x' || text[k] == u'X');
    if (hex) ++k;
    size_t digitsStart = k;
    unsigned long code = 0;
    for (; k < text.size(); ++k) {
        int digit = hex ? HexValue(text[k]) : (IsAsciiDigit(text[k]) ? text[k] - u'0' : -1);
        if (digit < 0) break;
        // Past the last character the number no longer matters: it is no character at all.
        if (code <= 0x10FFFF) code = code * (hex ? 16 : 10) + digit;
    }
    if (k == digitsStart || k >= text.size() || text[k] != u';') return 0;
    AppendCodePoint(out, code);
    return k + 1 - i;
}

size_t ReadNamedReference(const std::u16string& text, size_t i, std::u16string* out) {
    for (const auto& entry : kNamedReferences) {
        size_t length = std::strlen(entry.name);
        if (text.size() - i < length + 2) continue;
        bool same = true;
        for (size_t k = 0; k < length && same; ++k) same = text[i + 1 + k] == static_cast<char16_t>(entry.name[k]);
        if (same && text[i + 1 + length] == u';') {
            out->push_back(entry.character);
            return length + 2;
        }
    }
    return 0;
}

// JIS X 0208 characters that EUC-JP and ISO-2022-JP tables give other code points than code
// page 932 does; the same characters, put as code page 932 has them.
char16_t AsCodePage932Has(char16_t c) {
    switch (c) {
        case 0x301C: return 0xFF5E;  // WAVE DASH
        case 0x2016: return 0x2225;  // DOUBLE VERTICAL LINE
        case 0x2212: return 0xFF0D;  // MINUS SIGN
        case 0x00A2: return 0xFFE0;  // CENT SIGN
        case 0x00A3: return 0xFFE1;  // POUND SIGN
        case 0x00AC: return 0xFFE2;  // NOT SIGN
        case 0x2014: return 0x2015;  // EM DASH, also what &mdash; gives
        default: return c;
    }
}

}  // namespace

std::u16string DecodeCharacterReferences(const std::u16string& text) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        size_t read = 0;
        if (text[i] == u'&') {
            bool numeric = i + 1 < text.size() && text[i + 1] == u'#';
            read = numeric ? ReadNumericReference(text, i, &out) : ReadNamedReference(text, i, &out);
        }
        if (read) {
            i += read;
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

std::u16string CleanTitleText(const std::u16string& text) {
    std::u16string out;
    bool pendingSpace = false;
    for (char16_t c : DecodeCharacterReferences(text)) {
        // Line ends, tabs, NULs and the like cannot stand in an item line; a no-break space has
        // no code page 932 form. All are spaces in a title.
        if (c < 0x20 || c == 0x7F || c == 0x00A0 || c == u' ') {
            pendingSpace = !out.empty();
            continue;
        }
        if (pendingSpace) out.push_back(u' ');
        pendingSpace = false;
        out.push_back(c == u',' ? char16_t(0xFF0C) : AsCodePage932Has(c));
    }
    return out;
}
