#include "services/page_text.h"

#include <cstring>

#include "services/character_references.h"
#include "services/charset.h"

namespace {

// What an element's tags do to the text.
enum ElementFlags : unsigned {
    kBlock = 1,         // its start and end tags end a line
    kHidden = 2,        // its content, up to its end tag, is never shown
    kTextContent = 4,   // its content, up to its end tag, is text with references decoded
    kRawContent = 8,    // its content, up to its end tag, is text as written
    kToTheEnd = 16,     // that content has no end tag: it runs to the end of the page
    kPreformatted = 32, // within it a line end in the source ends a line
    kTemplate = 64,     // its markup is read, its text never shown
};

struct Element {
    const char* name;
    unsigned flags;
};

// The elements whose tags do more than disappear, sorted by name for the binary search.
// Block-level: the ones browsers lay out as blocks by default (sections, grouping content,
// lists, tables and their rows and cells, forms' blocks, the document's own elements),
// with br and hr, and title and option, which stand apart from the text around them.
constexpr Element kElements[] = {
    {"address", kBlock},
    {"article", kBlock},
    {"aside", kBlock},
    {"blockquote", kBlock},
    {"body", kBlock},
    {"br", kBlock},
    {"caption", kBlock},
    {"center", kBlock},
    {"dd", kBlock},
    {"details", kBlock},
    {"dialog", kBlock},
    {"dir", kBlock},
    {"div", kBlock},
    {"dl", kBlock},
    {"dt", kBlock},
    {"fieldset", kBlock},
    {"figcaption", kBlock},
    {"figure", kBlock},
    {"footer", kBlock},
    {"form", kBlock},
    {"frameset", kBlock},
    {"h1", kBlock},
    {"h2", kBlock},
    {"h3", kBlock},
    {"h4", kBlock},
    {"h5", kBlock},
    {"h6", kBlock},
    {"head", kBlock},
    {"header", kBlock},
    {"hgroup", kBlock},
    {"hr", kBlock},
    {"html", kBlock},
    {"iframe", kHidden},
    {"legend", kBlock},
    {"li", kBlock},
    {"listing", kBlock | kPreformatted},
    {"main", kBlock},
    {"menu", kBlock},
    {"nav", kBlock},
    {"noembed", kHidden},
    {"noframes", kHidden},
    {"noscript", kHidden},
    {"ol", kBlock},
    {"optgroup", kBlock},
    {"option", kBlock},
    {"p", kBlock},
    {"plaintext", kBlock | kRawContent | kToTheEnd | kPreformatted},
    {"pre", kBlock | kPreformatted},
    {"script", kHidden},
    {"search", kBlock},
    {"section", kBlock},
    {"select", kBlock},
    {"style", kHidden},
    {"summary", kBlock},
    {"table", kBlock},
    {"tbody", kBlock},
    {"td", kBlock},
    {"template", kTemplate},
    {"textarea", kBlock | kTextContent | kPreformatted},
    {"tfoot", kBlock},
    {"th", kBlock},
    {"thead", kBlock},
    {"title", kBlock | kTextContent},
    {"tr", kBlock},
    {"ul", kBlock},
    {"xmp", kBlock | kRawContent | kPreformatted},
};

constexpr size_t kLongestElementName = 10;  // figcaption

// Where the elements of each first letter begin in kElements, which is sorted.
struct LetterIndex {
    unsigned char first[27];
    constexpr LetterIndex() : first() {
        size_t k = 0;
        for (int letter = 0; letter < 26; ++letter) {
            while (k < sizeof kElements / sizeof kElements[0] && kElements[k].name[0] < 'a' + letter) ++k;
            first[letter] = static_cast<unsigned char>(k);
        }
        first[26] = static_cast<unsigned char>(sizeof kElements / sizeof kElements[0]);
    }
};
constexpr LetterIndex kLetterIndex;

// The flags of the element named (lower case, length bytes, starting with a letter); 0 for
// every element not in the table. Called for every tag, so it looks only at the elements of
// the name's first letter.
unsigned FlagsOf(const char* name, size_t length) {
    int letter = name[0] - 'a';
    if (letter < 0 || letter >= 26) return 0;
    for (size_t k = kLetterIndex.first[letter]; k < kLetterIndex.first[letter + 1]; ++k) {
        const char* candidate = kElements[k].name;
        size_t m = 0;
        while (m < length && candidate[m] != '\0' && candidate[m] == name[m]) ++m;
        if (m == length && candidate[m] == '\0') return kElements[k].flags;
    }
    return 0;
}

// How the text reader sees each byte of UTF-8 text.
enum ByteClass : unsigned char {
    kPlain,    // shown as it is
    kSpace,    // ' ', '\t', '\n', '\r', '\f'
    kOpen,     // '<'
    kAmp,      // '&'
    kDigit,    // '0' to '9'
    kNothing,  // NUL, the other C0 controls and DEL: shown as nothing
    kHigh,     // starts a character beyond ASCII (or is a stray byte of one)
};

struct ByteClasses {
    ByteClass of[256];
    constexpr ByteClasses() : of() {
        for (int b = 0; b < 256; ++b) {
            of[b] = b >= 0x80 ? kHigh : b < 0x20 || b == 0x7F ? kNothing : kPlain;
        }
        for (char c : {' ', '\t', '\n', '\r', '\f'}) of[static_cast<unsigned char>(c)] = kSpace;
        of[static_cast<unsigned char>('<')] = kOpen;
        of[static_cast<unsigned char>('&')] = kAmp;
        for (int b = '0'; b <= '9'; ++b) of[b] = kDigit;
    }
};
constexpr ByteClasses kClasses;

// The HTML tokenizer's white space, which separates a tag's name and attributes.
bool IsTagSpace(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

bool IsAsciiLetter(unsigned char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

unsigned char AsciiLower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 0x20) : c; }

// White space beyond ASCII's, as Unicode has it, and the no-break spaces with it.
bool IsWideSpace(char32_t c) {
    return c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 ||
           c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// The lines being written: text goes through Append and Put, line ends through EndLine;
// spaces are held back until something shown follows them on the same line.
class LineWriter {
public:
    LineWriter(bool withoutNumbers, size_t expected) : withoutNumbers_(withoutNumbers) { out_.reserve(expected); }

    bool hidden = false;   // within a template: nothing is shown
    int preformatted = 0;  // how many preformatted elements are open

    // Bytes shown as they are: valid UTF-8 with no space, control or (without numbers) digit.
    void Append(const unsigned char* bytes, size_t count) {
        if (Begin()) out_.append(reinterpret_cast<const char*>(bytes), count);
    }

    void Put(char32_t c) {
        if (c < 0x80) {
            if (kClasses.of[c] == kSpace) return Space(c == '\n' || c == '\r');
            if (kClasses.of[c] == kNothing || (withoutNumbers_ && kClasses.of[c] == kDigit)) return;
        } else if (IsWideSpace(c)) {
            return Space(false);
        } else if (c == 0xFEFF || (withoutNumbers_ && c >= 0xFF10 && c <= 0xFF19)) {
            return;  // a zero-width no-break space (a byte-order mark mid-page), a digit
        }
        if (Begin()) AppendUtf8(c, &out_);
    }

    // White space; a line end in the source ends the line within preformatted text.
    void Space(bool lineEnd) {
        if (lineEnd && preformatted) return EndLine();
        if (lineHasText_ && !hidden) pendingSpace_ = true;
    }

    void EndLine() {
        if (hidden) return;
        lineHasText_ = false;
        pendingSpace_ = false;
    }

    bool withoutNumbers() const { return withoutNumbers_; }
    std::string Take() { return std::move(out_); }

private:
    // Before something shown: the line's separator or the space held back. False when
    // nothing may be shown.
    bool Begin() {
        if (hidden) return false;
        if (!lineHasText_) {
            if (!out_.empty()) out_.push_back('\n');
            lineHasText_ = true;
        } else if (pendingSpace_) {
            out_.push_back(' ');
        }
        pendingSpace_ = false;
        return true;
    }

    bool withoutNumbers_;
    bool lineHasText_ = false;
    bool pendingSpace_ = false;
    std::string out_;
};

class Extractor {
public:
    Extractor(std::string_view page, bool withoutNumbers)
        : s_(reinterpret_cast<const unsigned char*>(page.data())), n_(page.size()),
          writer_(withoutNumbers, page.size() / 4) {
        for (int b = 0; b < 256; ++b) {
            verbatim_[b] = kClasses.of[b] == kPlain || (kClasses.of[b] == kDigit && !withoutNumbers);
        }
    }

    std::string Run() {
        size_t i = 0;
        while (i < n_) {
            i = Text(i, n_, true, true);
            if (i < n_) i = Markup(i);
        }
        return writer_.Take();
    }

private:
    // Where c is at or after from; npos when it is not.
    size_t Next(size_t from, unsigned char c) const {
        if (from >= n_) return std::string::npos;
        const void* hit = std::memchr(s_ + from, c, n_ - from);
        return hit ? static_cast<const unsigned char*>(hit) - s_ : std::string::npos;
    }

    // The length of the character at s[j] when it is shown exactly as its bytes are: ASCII
    // other than spaces, controls, '<' and '&' where they mean more, and left-out digits;
    // valid UTF-8 other than the spaces, digits and marks that Put treats apart. 0 for any
    // other.
    size_t ShownAsIs(size_t j, size_t end, bool stopAtTag, bool decode) const {
        unsigned char b = s_[j];
        switch (kClasses.of[b]) {
            case kPlain:
                return 1;
            case kDigit:
                return writer_.withoutNumbers() ? 0 : 1;
            case kOpen:
                return stopAtTag ? 0 : 1;
            case kAmp:
                return decode ? 0 : 1;
            case kHigh: {
                // Most text beyond ASCII is kana and kanji, U+3000 to U+CFFF: three bytes, of
                // which only U+3000 itself is a space.
                if (b >= 0xE3 && b <= 0xEC && j + 2 < end && (s_[j + 1] & 0xC0) == 0x80 && (s_[j + 2] & 0xC0) == 0x80) {
                    return (b == 0xE3 && s_[j + 1] == 0x80 && s_[j + 2] == 0x80) ? 0 : 3;
                }
                char32_t code;
                size_t read = ReadUtf8(s_ + j, end - j, &code);
                if (IsWideSpace(code) || code == 0xFEFF || (code >= 0xFF10 && code <= 0xFF19 && writer_.withoutNumbers())) {
                    return 0;
                }
                return code != 0xFFFD || (read == 3 && b == 0xEF) ? read : 0;  // a replacement is Put's
            }
            default:
                return 0;
        }
    }

    // Where the run of bytes from s[i] that are shown as they are ends: characters ShownAsIs,
    // and single ' 's between them, which stay one space anyway.
    size_t ShownRun(size_t i, size_t end, bool stopAtTag, bool decode) const {
        size_t j = i;
        while (j < end) {
            if (verbatim_[s_[j]]) {
                ++j;  // the common case, looked at first
            } else if (size_t length = ShownAsIs(j, end, stopAtTag, decode)) {
                j += length;
            } else if (s_[j] == ' ' && j > i && j + 1 < end &&
                       (verbatim_[s_[j + 1]] || ShownAsIs(j + 1, end, stopAtTag, decode))) {
                ++j;
            } else {
                break;
            }
        }
        return j;
    }

    // Puts s[i..end) as text, references decoded when asked, up to the first '<' when asked;
    // returns where it stopped.
    size_t Text(size_t i, size_t end, bool decode, bool stopAtTag) {
        while (i < end) {
            size_t run = ShownRun(i, end, stopAtTag, decode);
            if (run > i) {
                writer_.Append(s_ + i, run - i);
                i = run;
                continue;
            }
            unsigned char b = s_[i];
            switch (kClasses.of[b]) {
                case kOpen:
                    return i;
                case kAmp: {
                    char32_t code = 0;
                    size_t read = ReadCharacterReference(reinterpret_cast<const char*>(s_) + i, end - i, &code);
                    writer_.Put(read ? code : U'&');
                    i += read ? read : 1;
                    break;
                }
                case kHigh: {
                    char32_t code = 0;
                    i += ReadUtf8(s_ + i, end - i, &code);
                    writer_.Put(code);
                    break;
                }
                default:  // spaces, digits left out, controls
                    writer_.Put(b);
                    ++i;
                    break;
            }
        }
        return i;
    }

    // Just past the first c at or after from; the end of the page when there is none.
    size_t PastNext(size_t from, unsigned char c) const {
        size_t at = Next(from, c);
        return at == std::string::npos ? n_ : at + 1;
    }

    // The markup that starts with the '<' at s[i]; returns where the text goes on.
    size_t Markup(size_t i) {
        size_t j = i + 1;
        unsigned char next = j < n_ ? s_[j] : 0;
        if (next == '!') {
            if (j + 2 < n_ && s_[j + 1] == '-' && s_[j + 2] == '-') return PastComment(j + 3);
            return PastNext(j, '>');  // <!DOCTYPE ...>, <![CDATA[ ...>: bogus comments
        }
        if (next == '?') return PastNext(j, '>');
        if (next == '/') {
            unsigned char after = j + 1 < n_ ? s_[j + 1] : 0;
            if (IsAsciiLetter(after)) return Tag(j + 1, true);
            if (after == '>') return j + 2;  // "</>" is nothing
            if (j + 1 < n_) return PastNext(j + 1, '>');
        } else if (IsAsciiLetter(next)) {
            return Tag(j, false);
        }
        writer_.Put(U'<');  // starts no markup: a reader sees it
        return j;
    }

    // A comment whose "<!--" ends just before s[k]: "<!-->" and "<!--->" end at once, any
    // other at the next "-->".
    size_t PastComment(size_t k) const {
        if (k < n_ && s_[k] == '>') return k + 1;
        if (k + 1 < n_ && s_[k] == '-' && s_[k + 1] == '>') return k + 2;
        for (size_t at = Next(k, '>'); at != std::string::npos; at = Next(at + 1, '>')) {
            if (at >= k + 2 && s_[at - 1] == '-' && s_[at - 2] == '-') return at + 1;
        }
        return n_;
    }

    // Where the tag whose attributes start at s[k] ends: just past its '>'; npos when it never
    // ends. Names end at white space, '/', '>' or '='; a value after '=' is quoted or runs to
    // white space or '>', so a '>' in quotes ends nothing.
    size_t PastTag(size_t k) const {
        for (;;) {
            while (k < n_ && (IsTagSpace(s_[k]) || s_[k] == '/')) ++k;
            if (k >= n_) return std::string::npos;
            if (s_[k] == '>') return k + 1;
            ++k;  // a leading '=' belongs to the name
            while (k < n_ && !IsTagSpace(s_[k]) && s_[k] != '/' && s_[k] != '>' && s_[k] != '=') ++k;
            while (k < n_ && IsTagSpace(s_[k])) ++k;
            if (k >= n_ || s_[k] != '=') continue;
            ++k;
            while (k < n_ && IsTagSpace(s_[k])) ++k;
            if (k < n_ && (s_[k] == '"' || s_[k] == '\'')) {
                size_t close = Next(k + 1, s_[k]);
                if (close == std::string::npos) return std::string::npos;
                k = close + 1;
            } else {
                while (k < n_ && !IsTagSpace(s_[k]) && s_[k] != '>') ++k;
            }
        }
    }

    // Where the end tag </name ...> starts at or after from, the name in any case; the end
    // of the page when there is none.
    size_t EndTag(size_t from, const char* name) const {
        size_t length = std::strlen(name);
        for (size_t k = Next(from, '<'); k != std::string::npos; k = Next(k + 1, '<')) {
            if (k + 2 + length > n_ || s_[k + 1] != '/') continue;
            size_t m = 0;
            while (m < length && AsciiLower(s_[k + 2 + m]) == static_cast<unsigned char>(name[m])) ++m;
            if (m < length) continue;
            size_t after = k + 2 + length;
            if (after >= n_ || IsTagSpace(s_[after]) || s_[after] == '/' || s_[after] == '>') return k;
        }
        return n_;
    }

    // A start or end tag whose name starts at s[k] (a letter).
    size_t Tag(size_t k, bool endTag) {
        char name[kLongestElementName + 1];
        size_t length = 0;
        bool known = true;
        for (; k < n_ && !IsTagSpace(s_[k]) && s_[k] != '/' && s_[k] != '>'; ++k) {
            unsigned char c = AsciiLower(s_[k]);
            if (length == kLongestElementName || c >= 0x80) known = false;
            if (known) name[length++] = static_cast<char>(c);
        }
        name[length] = '\0';
        size_t after = PastTag(k);
        if (after == std::string::npos) return n_;  // never ends: nothing of it shows
        unsigned flags = known ? FlagsOf(name, length) : 0;
        if (flags & kBlock) writer_.EndLine();
        if (endTag) {
            if ((flags & kPreformatted) && writer_.preformatted > 0) --writer_.preformatted;
            if ((flags & kTemplate) && templates_ > 0 && --templates_ == 0) writer_.hidden = false;
            return after;
        }
        if (flags & kPreformatted) ++writer_.preformatted;
        if (flags & kTemplate) {
            ++templates_;
            writer_.hidden = true;
        }
        if (!(flags & (kHidden | kTextContent | kRawContent))) return after;
        // Content that is no markup: up to its own end tag, which is then read as a tag.
        size_t close = (flags & kToTheEnd) ? n_ : EndTag(after, name);
        if (!(flags & kHidden)) Text(after, close, (flags & kTextContent) != 0, false);
        return close;
    }

    const unsigned char* s_;
    size_t n_;
    LineWriter writer_;
    bool verbatim_[256];  // ASCII shown as it is wherever it stands: ShownAsIs's quick answer
    int templates_ = 0;
};

}  // namespace

std::string ExtractPageText(std::string_view page, bool withoutNumbers) {
    return Extractor(page, withoutNumbers).Run();
}
