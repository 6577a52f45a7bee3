#include "services/page_text.h"

#include <cstring>

#include "services/character_references.h"

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

unsigned FlagsOf(const char* name) {
    size_t low = 0, high = sizeof kElements / sizeof kElements[0];
    while (low < high) {
        size_t middle = (low + high) / 2;
        int order = std::strcmp(name, kElements[middle].name);
        if (order == 0) return kElements[middle].flags;
        if (order < 0) {
            high = middle;
        } else {
            low = middle + 1;
        }
    }
    return 0;
}

// The HTML tokenizer's white space, which separates a tag's name and attributes.
bool IsTagSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f'; }

bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }

char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c; }

// White space beyond ASCII's, as Unicode has it, and the no-break spaces with it.
bool IsWideSpace(char32_t c) {
    return c == 0x85 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 ||
           c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// The lines being written: each character goes through Put, each line end through EndLine;
// spaces are held back until a character follows them on the same line.
class LineWriter {
public:
    explicit LineWriter(bool withoutNumbers, size_t expected) : withoutNumbers_(withoutNumbers) {
        out_.reserve(expected);
    }

    bool hidden = false;  // within a template: nothing is shown
    int preformatted = 0;  // how many preformatted elements are open

    void Put(char32_t c) {
        if (c < 0x80) {
            if (c > 0x20 && c != 0x7F) {
                if (withoutNumbers_ && c >= u'0' && c <= u'9') return;
                if (Begin()) out_.push_back(static_cast<char>(c));
            } else if (c == u'\n' || c == u'\r') {
                if (preformatted) {
                    EndLine();
                } else {
                    Space();
                }
            } else if (c == u' ' || c == u'\t' || c == u'\f') {
                Space();
            }
            return;  // NUL, the other controls and DEL show nothing
        }
        if (IsWideSpace(c)) return Space();
        if (c == 0xFEFF) return;  // a zero-width no-break space: a byte-order mark mid-page
        if (withoutNumbers_ && c >= 0xFF10 && c <= 0xFF19) return;
        if (!Begin()) return;
        if (c < 0x800) {
            out_.push_back(static_cast<char>(0xC0 | (c >> 6)));
        } else {
            if (c < 0x10000) {
                out_.push_back(static_cast<char>(0xE0 | (c >> 12)));
            } else {
                out_.push_back(static_cast<char>(0xF0 | (c >> 18)));
                out_.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            }
            out_.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        }
        out_.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }

    void EndLine() {
        if (hidden) return;
        lineHasText_ = false;
        pendingSpace_ = false;
    }

    std::string Take() { return std::move(out_); }

private:
    void Space() {
        if (lineHasText_ && !hidden) pendingSpace_ = true;
    }
    // Before a shown character: the line's separator or the space held back. False when
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
    Extractor(const char16_t* s, size_t n, bool withoutNumbers) : s_(s), n_(n), writer_(withoutNumbers, n / 2) {}

    std::string Run() {
        size_t i = 0;
        while (i < n_) {
            i = Text(i, n_, true, true);
            if (i < n_) i = Markup(i);
        }
        return writer_.Take();
    }

private:
    // Puts s[i..end) as text, references decoded when asked, up to the first '<' when asked;
    // returns where it stopped.
    size_t Text(size_t i, size_t end, bool decode, bool stopAtTag) {
        while (i < end) {
            char16_t c = s_[i];
            if (c == u'<' && stopAtTag) return i;
            if (c == u'&' && decode) {
                char32_t code = 0;
                if (size_t read = ReadCharacterReference(s_ + i, end - i, &code)) {
                    writer_.Put(code);
                    i += read;
                    continue;
                }
            }
            if (c >= 0xD800 && c <= 0xDFFF) {
                bool pair = c <= 0xDBFF && i + 1 < end && s_[i + 1] >= 0xDC00 && s_[i + 1] <= 0xDFFF;
                writer_.Put(pair ? 0x10000 + ((char32_t(c) - 0xD800) << 10) + (s_[i + 1] - 0xDC00) : 0xFFFD);
                i += pair ? 2 : 1;
                continue;
            }
            writer_.Put(c);
            ++i;
        }
        return i;
    }

    // Where what starts at s[from] ends: just past the first '>', or the end of the page.
    size_t PastNext(size_t from, char16_t what) const {
        while (from < n_ && s_[from] != what) ++from;
        return from < n_ ? from + 1 : n_;
    }

    // The markup that starts with the '<' at s[i]; returns where the text goes on.
    size_t Markup(size_t i) {
        size_t j = i + 1;
        char16_t next = j < n_ ? s_[j] : 0;
        if (next == u'!') {
            if (j + 2 < n_ && s_[j + 1] == u'-' && s_[j + 2] == u'-') return PastComment(j + 3);
            return PastNext(j, u'>');  // <!DOCTYPE ...>, <![CDATA[ ...>: bogus comments
        }
        if (next == u'?') return PastNext(j, u'>');
        if (next == u'/') {
            char16_t after = j + 1 < n_ ? s_[j + 1] : 0;
            if (IsAsciiLetter(after)) return Tag(j + 1, true);
            if (after == u'>') return j + 2;  // "</>" is nothing
            if (j + 1 < n_) return PastNext(j + 1, u'>');
        } else if (IsAsciiLetter(next)) {
            return Tag(j, false);
        }
        writer_.Put(u'<');  // starts no markup: a reader sees it
        return j;
    }

    // A comment whose "<!--" ends just before s[k]: "<!-->" and "<!--->" end at once, any
    // other at the next "-->".
    size_t PastComment(size_t k) const {
        if (k < n_ && s_[k] == u'>') return k + 1;
        if (k + 1 < n_ && s_[k] == u'-' && s_[k + 1] == u'>') return k + 2;
        for (; k + 2 < n_; ++k) {
            if (s_[k] == u'-' && s_[k + 1] == u'-' && s_[k + 2] == u'>') return k + 3;
        }
        return n_;
    }

    // Where the tag whose attributes start at s[k] ends: just past its '>'; npos when it never
    // ends. Names end at white space, '/', '>' or '='; a value after '=' is quoted or runs to
    // white space or '>', so a '>' in quotes ends nothing.
    size_t PastTag(size_t k) const {
        for (;;) {
            while (k < n_ && (IsTagSpace(s_[k]) || s_[k] == u'/')) ++k;
            if (k >= n_) return std::string::npos;
            if (s_[k] == u'>') return k + 1;
            ++k;  // a leading '=' belongs to the name
            while (k < n_ && !IsTagSpace(s_[k]) && s_[k] != u'/' && s_[k] != u'>' && s_[k] != u'=') ++k;
            while (k < n_ && IsTagSpace(s_[k])) ++k;
            if (k >= n_ || s_[k] != u'=') continue;
            ++k;
            while (k < n_ && IsTagSpace(s_[k])) ++k;
            if (k < n_ && (s_[k] == u'"' || s_[k] == u'\'')) {
                k = PastNext(k + 1, s_[k]);
            } else {
                while (k < n_ && !IsTagSpace(s_[k]) && s_[k] != u'>') ++k;
            }
        }
    }

    // Where the end tag </name ...> starts at or after from, the name in any case; the end
    // of the page when there is none.
    size_t EndTag(size_t from, const char* name) const {
        size_t length = std::strlen(name);
        for (size_t k = from; k + 1 < n_; ++k) {
            if (s_[k] != u'<' || s_[k + 1] != u'/') continue;
            size_t m = 0;
            while (m < length && k + 2 + m < n_ && AsciiLower(s_[k + 2 + m]) == char16_t(name[m])) ++m;
            if (m < length) continue;
            size_t after = k + 2 + length;
            if (after >= n_ || IsTagSpace(s_[after]) || s_[after] == u'/' || s_[after] == u'>') return k;
        }
        return n_;
    }

    // A start or end tag whose name starts at s[k] (a letter).
    size_t Tag(size_t k, bool endTag) {
        char name[kLongestElementName + 1];
        size_t length = 0;
        bool known = true;
        for (; k < n_ && !IsTagSpace(s_[k]) && s_[k] != u'/' && s_[k] != u'>'; ++k) {
            char16_t c = AsciiLower(s_[k]);
            if (length == kLongestElementName || c >= 0x80) known = false;
            if (known) name[length++] = static_cast<char>(c);
        }
        name[length] = '\0';
        size_t after = PastTag(k);
        if (after == std::string::npos) return n_;  // never ends: nothing of it shows
        unsigned flags = known ? FlagsOf(name) : 0;
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

    const char16_t* s_;
    size_t n_;
    LineWriter writer_;
    int templates_ = 0;
};

}  // namespace

std::string ExtractPageText(const char16_t* text, size_t count, bool withoutNumbers) {
    if (!text) return std::string();
    return Extractor(text, count, withoutNumbers).Run();
}
