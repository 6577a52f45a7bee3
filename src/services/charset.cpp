#include "services/charset.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "services/character_references.h"

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

// UTF-8 as UTF-16 (ReadUtf8's code points), never more units than bytes.
void DecodeUtf8(const unsigned char* s, size_t n, std::u16string* text) {
    size_t start = text->size();
    text->resize(start + n);
    char16_t* out = &(*text)[0] + start;
    char16_t* const first = out;
    for (size_t i = 0; i < n;) {
        if (s[i] < 0x80) {
            *out++ = s[i++];
            continue;
        }
        char32_t code;
        i += ReadUtf8(s + i, n - i, &code);
        if (code < 0x10000) {
            *out++ = static_cast<char16_t>(code);
        } else {
            code -= 0x10000;
            *out++ = static_cast<char16_t>(0xD800 + (code >> 10));
            *out++ = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        }
    }
    text->resize(start + (out - first));
}

// ISO-2022-JP as EUC-JP bytes. Without invalid, false at the first escape or byte the encoding
// does not allow; with it, each such escape or byte is left out, its place in *eucJp noted,
// and the reading goes on after it.
bool ConvertIso2022Jp(const char* bytes, size_t n, std::string* eucJp, std::vector<size_t>* invalid) {
    enum class Set { Ascii, Kanji, Kana };
    Set set = Set::Ascii;
    Set beforeShiftOut = Set::Ascii;
    std::string out;
    const auto* s = reinterpret_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < n;) {
        unsigned char b = s[i];
        bool bad = false;
        if (b >= 0x80) {
            bad = true;
        } else if (b == 0x1B) {
            if (n - i >= 3 && s[i + 1] == '(' && (s[i + 2] == 'B' || s[i + 2] == 'J')) {
                set = Set::Ascii;  // JIS X 0201 Roman differs from ASCII in two glyphs only
            } else if (n - i >= 3 && s[i + 1] == '(' && s[i + 2] == 'I') {
                set = Set::Kana;
            } else if (n - i >= 3 && s[i + 1] == '$' && (s[i + 2] == 'B' || s[i + 2] == '@')) {
                set = Set::Kanji;
            } else {
                bad = true;  // JIS X 0212 and every other set: EUC-JP's table has no room for them here
            }
            if (!bad) {
                i += 3;
                continue;
            }
        } else if (b == 0x0E || b == 0x0F) {  // SO and SI switch to half-width katakana and back
            if (b == 0x0E && set != Set::Kana) beforeShiftOut = set, set = Set::Kana;
            if (b == 0x0F && set == Set::Kana) set = beforeShiftOut;
            ++i;
            continue;
        } else if (set == Set::Kanji && b >= 0x21 && b <= 0x7E) {
            if (i + 1 < n && s[i + 1] >= 0x21 && s[i + 1] <= 0x7E) {
                out.push_back(static_cast<char>(b | 0x80));
                out.push_back(static_cast<char>(s[i + 1] | 0x80));
                i += 2;
                continue;
            }
            bad = true;
        } else if (set == Set::Kana && b >= 0x21 && b <= 0x5F) {
            out.push_back('\x8E');
            out.push_back(static_cast<char>(b | 0x80));
            ++i;
            continue;
        } else if (set == Set::Kana && b >= 0x21) {
            bad = true;
        }
        if (bad) {
            if (!invalid) return false;
            invalid->push_back(out.size());
            ++i;
            continue;
        }
        out.push_back(static_cast<char>(b));  // ASCII, and blanks and line ends in any set
        ++i;
    }
    *eucJp = std::move(out);
    return true;
}

void PutAsCodePage932Has(std::u16string* text, size_t from) {
    for (size_t k = from; k < text->size(); ++k) (*text)[k] = AsCodePage932Has((*text)[k]);
}

bool DecodeEucJp(const char* bytes, size_t n, CodePageDecoder decoder, std::u16string* text) {
    size_t start = text->size();
    if (!decoder(kCodePageEucJp, bytes, n, text)) return false;
    PutAsCodePage932Has(text, start);
    return true;
}

bool DecodeIso2022Jp(const char* bytes, size_t n, CodePageDecoder decoder, std::u16string* text) {
    std::string eucJp;
    std::vector<size_t> invalid;
    ConvertIso2022Jp(bytes, n, &eucJp, &invalid);
    size_t from = 0;
    for (size_t at : invalid) {
        if (!DecodeEucJp(eucJp.data() + from, at - from, decoder, text)) return false;
        text->push_back(0xFFFD);
        from = at;
    }
    return DecodeEucJp(eucJp.data() + from, eucJp.size() - from, decoder, text);
}

void DecodeUtf16Units(const unsigned char* b, size_t n, bool bigEndian, std::u16string* text) {
    text->reserve(text->size() + n / 2 + 1);
    for (size_t k = 0; k + 1 < n; k += 2) {
        text->push_back(static_cast<char16_t>(bigEndian ? (b[k] << 8 | b[k + 1]) : (b[k + 1] << 8 | b[k])));
    }
    if (n % 2) text->push_back(0xFFFD);  // half a unit at the end
}

bool StartsWith(const char* body, size_t count, const char* mark, size_t length) {
    return count >= length && std::memcmp(body, mark, length) == 0;
}

}  // namespace

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

namespace {

// Where the ASCII that starts at s[i] ends, eight bytes at a time where it can.
size_t AsciiEnd(const unsigned char* s, size_t i, size_t n) {
    for (uint64_t word; i + 8 <= n; i += 8) {
        std::memcpy(&word, s + i, 8);
        if (word & 0x8080808080808080ull) break;
    }
    while (i < n && s[i] < 0x80) ++i;
    return i;
}

}  // namespace

size_t ReadUtf8(const unsigned char* s, size_t n, char32_t* code) {
    unsigned char b = s[0];
    if (b < 0x80) {
        *code = b;
        return 1;
    }
    // The lead byte: how many bytes follow, its bits, and the range of the first byte that
    // follows (no overlong forms, no surrogates, nothing past U+10FFFF).
    size_t trail;
    char32_t value;
    unsigned char lower = 0x80, upper = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        trail = 1, value = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        trail = 2, value = b & 0x0F;
        if (b == 0xE0) lower = 0xA0;
        if (b == 0xED) upper = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        trail = 3, value = b & 0x07;
        if (b == 0xF0) lower = 0x90;
        if (b == 0xF4) upper = 0x8F;
    } else {
        *code = 0xFFFD;
        return 1;
    }
    size_t k = 1;
    for (; k <= trail && k < n; ++k) {
        if (s[k] < lower || s[k] > upper) break;
        lower = 0x80, upper = 0xBF;
        value = value << 6 | (s[k] & 0x3F);
    }
    *code = k > trail ? value : 0xFFFD;
    return k;
}

bool IsValidUtf8(const char* bytes, size_t n) {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes);
    for (size_t i = 0; i < n;) {
        if (s[i] < 0x80) {
            i = AsciiEnd(s, i + 1, n);
            continue;
        }
        char32_t code;
        size_t length = ReadUtf8(s + i, n - i, &code);
        if (code == 0xFFFD && !(length == 3 && s[i] == 0xEF && s[i + 1] == 0xBF && s[i + 2] == 0xBD)) return false;
        i += length;
    }
    return true;
}

void AppendUtf8(char32_t code, std::string* text) {
    if (code < 0x80) {
        text->push_back(static_cast<char>(code));
        return;
    }
    if (code < 0x800) {
        text->push_back(static_cast<char>(0xC0 | (code >> 6)));
    } else {
        if (code < 0x10000) {
            text->push_back(static_cast<char>(0xE0 | (code >> 12)));
        } else {
            text->push_back(static_cast<char>(0xF0 | (code >> 18)));
            text->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
        }
        text->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    }
    text->push_back(static_cast<char>(0x80 | (code & 0x3F)));
}

std::string Utf16ToUtf8(const char16_t* text, size_t count) {
    std::string out(count * 3, '\0');  // a unit never takes more than three bytes, a pair four
    char* o = &out[0];
    for (size_t i = 0; i < count; ++i) {
        char32_t c = text[i];
        if (c < 0x80) {
            *o++ = static_cast<char>(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDFFF) {
            bool pair = c <= 0xDBFF && i + 1 < count && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
            c = pair ? 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00) : 0xFFFD;
        }
        if (c < 0x800) {
            *o++ = static_cast<char>(0xC0 | (c >> 6));
        } else {
            if (c < 0x10000) {
                *o++ = static_cast<char>(0xE0 | (c >> 12));
            } else {
                *o++ = static_cast<char>(0xF0 | (c >> 18));
                *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            }
            *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        }
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    out.resize(o - out.data());
    return out;
}

bool DecodeUtf16(const std::string& bytes, bool bigEndian, std::u16string* text) {
    if (bytes.size() % 2) return false;
    text->clear();
    DecodeUtf16Units(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), bigEndian, text);
    return true;
}

bool Iso2022JpToEucJp(const std::string& bytes, std::string* eucJp) {
    return ConvertIso2022Jp(bytes.data(), bytes.size(), eucJp, nullptr);
}

char16_t AsCodePage932Has(char16_t c) {
    switch (c) {
        case 0x301C: return 0xFF5E;  // WAVE DASH
        case 0x2016: return 0x2225;  // DOUBLE VERTICAL LINE
        case 0x2212: return 0xFF0D;  // MINUS SIGN
        case 0x00A2: return 0xFFE0;  // CENT SIGN
        case 0x00A3: return 0xFFE1;  // POUND SIGN
        case 0x00AC: return 0xFFE2;  // NOT SIGN
        case 0x2014: return 0x2015;  // EM DASH
        default: return c;
    }
}

PageHead ReadPageHead(const char* body, size_t count) {
    PageHead head;
    if (!body) return head;
    const auto* b = reinterpret_cast<const unsigned char*>(body);
    if (count >= 2 && ((b[0] == 0xFF && b[1] == 0xFE) || (b[0] == 0xFE && b[1] == 0xFF))) {
        bool bigEndian = b[0] == 0xFE;
        head.declaredCodePage = bigEndian ? kCodePageUtf16Be : kCodePageUtf16Le;
        head.markLength = 2;
        // Each unit narrowed to one byte: ASCII as itself, the rest as a byte no markup has.
        size_t units = (count - 2) / 2;
        std::string narrow(units, '\0');
        for (size_t k = 0; k < units; ++k) {
            unsigned unit = bigEndian ? (b[2 + 2 * k] << 8 | b[3 + 2 * k]) : (b[3 + 2 * k] << 8 | b[2 + 2 * k]);
            narrow[k] = unit < 0x80 ? static_cast<char>(unit) : '\x80';
        }
        ScanResult scan = ScanMarkup(narrow.data(), narrow.size());
        if (scan.found) {
            head.titleFound = true;
            head.titleBegin = 2 + 2 * scan.begin;
            head.titleEnd = 2 + 2 * scan.end;
        }
        return head;
    }
    if (StartsWith(body, count, "\xEF\xBB\xBF", 3)) {
        head.markLength = 3;
        head.declaredCodePage = kCodePageUtf8;
    }
    size_t skip = head.markLength;
    ScanResult scan = ScanMarkup(body + skip, count - skip);
    if (!head.declaredCodePage) head.declaredCodePage = scan.metaCodePage;
    if (scan.found) {
        head.titleFound = true;
        head.titleBegin = skip + scan.begin;
        head.titleEnd = skip + scan.end;
    }
    return head;
}

int UndeclaredCodePage(const char* bytes, size_t count) {
    bool high = AsciiEnd(reinterpret_cast<const unsigned char*>(bytes), 0, count) < count;
    return high && IsValidUtf8(bytes, count) ? kCodePageUtf8 : kCodePageShiftJis;
}

int BodyCodePage(const char* body, size_t count, const std::string& contentType) {
    int declared = ReadPageHead(body, count).declaredCodePage;
    if (declared) return declared;
    if (int fromHeader = CodePageOfCharset(CharsetOfContentType(contentType))) return fromHeader;
    return UndeclaredCodePage(body, count);
}

std::u16string DecodeBody(const char* body, size_t count, int codePage, CodePageDecoder decoder) {
    std::u16string text;
    if (!body) return text;
    const auto* b = reinterpret_cast<const unsigned char*>(body);
    switch (codePage) {
        case kCodePageUtf8: {
            size_t skip = StartsWith(body, count, "\xEF\xBB\xBF", 3) ? 3 : 0;
            DecodeUtf8(b + skip, count - skip, &text);
            return text;
        }
        case kCodePageUtf16Le:
        case kCodePageUtf16Be: {
            bool bigEndian = codePage == kCodePageUtf16Be;
            size_t skip = StartsWith(body, count, bigEndian ? "\xFE\xFF" : "\xFF\xFE", 2) ? 2 : 0;
            DecodeUtf16Units(b + skip, count - skip, bigEndian, &text);
            return text;
        }
        default:
            break;
    }
    bool decoded = false;
    if (decoder) {
        if (codePage == kCodePageEucJp) {
            decoded = DecodeEucJp(body, count, decoder, &text);
        } else if (codePage == kCodePageIso2022Jp || codePage == 50221 || codePage == 50222) {
            decoded = DecodeIso2022Jp(body, count, decoder, &text);
        } else {
            decoded = decoder(codePage, body, count, &text);
        }
    }
    if (decoded) return text;
    // A code page this system lacks: read as if the page declared nothing.
    text.clear();
    int undeclared = UndeclaredCodePage(body, count);
    if (undeclared == kCodePageUtf8) return DecodeBody(body, count, kCodePageUtf8, nullptr);
    if (decoder && decoder(undeclared, body, count, &text)) return text;
    // Not even that: each byte as the character of its value, which at least never fails.
    text.assign(b, b + count);
    return text;
}

namespace {

// Code pages in which every byte below 0x80 is the ASCII character and no character's bytes
// hold one below 0x40 (the lead and trail bytes of code page 932, 936, 949, 950 and EUC-JP
// are 0x40 and above; the rest are single-byte).
bool KeepsAscii(int codePage) {
    switch (codePage) {
        case kCodePageShiftJis: case 936: case 949: case 950: case kCodePageEucJp:
        case 874: case 866: case 10000: case 20866: case 21866:
            return true;
        default:
            return (codePage >= 1250 && codePage <= 1258) || (codePage >= 28591 && codePage <= 28606);
    }
}

// Where the run of bytes that the platform must read, starting at the byte above 0x7F at
// s[i], ends: at the next '<', which no character's bytes hold here (it is below 0x40), so a
// run is a whole text or tag, not a word.
size_t ForeignEnd(const unsigned char* s, size_t i, size_t n) {
    const void* open = std::memchr(s + i, '<', n - i);
    return open ? static_cast<const unsigned char*>(open) - s : n;
}

// The body as UTF-8 in a code page that KeepsAscii: its ASCII as it is, and only the runs
// with bytes above 0x7F decoded by the platform, all in one call (each followed by a '<',
// which no run holds), since markup is most of most pages. False when the platform cannot.
bool AsciiKeptAsUtf8(const unsigned char* s, size_t n, int codePage, CodePageDecoder decoder, std::string* out) {
    std::string foreign;
    size_t runs = 0;
    for (size_t i = AsciiEnd(s, 0, n); i < n; i = AsciiEnd(s, i, n)) {
        size_t end = ForeignEnd(s, i, n);
        foreign.append(reinterpret_cast<const char*>(s + i), end - i);
        foreign.push_back('<');
        ++runs;
        i = end;
    }
    std::u16string wide;
    if (runs && !decoder(codePage, foreign.data(), foreign.size(), &wide)) return false;
    if (codePage == kCodePageEucJp) PutAsCodePage932Has(&wide, 0);
    std::string decoded = Utf16ToUtf8(wide.data(), wide.size());
    if (static_cast<size_t>(std::count(decoded.begin(), decoded.end(), '<')) != runs) return false;
    out->clear();
    out->reserve(n + decoded.size());
    size_t from = 0;
    for (size_t i = 0; i < n;) {
        size_t ascii = AsciiEnd(s, i, n);
        out->append(reinterpret_cast<const char*>(s + i), ascii - i);
        if (ascii >= n) break;
        size_t separator = decoded.find('<', from);
        out->append(decoded, from, separator - from);
        from = separator + 1;
        i = ForeignEnd(s, ascii, n);
    }
    return true;
}

}  // namespace

std::string_view BodyAsUtf8(const char* body, size_t count, int codePage, CodePageDecoder decoder,
                            std::string* converted) {
    if (!body) return std::string_view();
    if (codePage == kCodePageUtf8) {
        size_t skip = StartsWith(body, count, "\xEF\xBB\xBF", 3) ? 3 : 0;
        return std::string_view(body + skip, count - skip);
    }
    const auto* s = reinterpret_cast<const unsigned char*>(body);
    if (decoder && KeepsAscii(codePage) && AsciiKeptAsUtf8(s, count, codePage, decoder, converted)) return *converted;
    std::u16string text = DecodeBody(body, count, codePage, decoder);
    *converted = Utf16ToUtf8(text.data(), text.size());
    return *converted;
}
