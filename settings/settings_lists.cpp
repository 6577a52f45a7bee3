#include "settings/settings_lists.h"

#include <cstddef>

#include "search/search_engine.h"
#include "services/config_list.h"

namespace {

constexpr size_t kValueWidth = 259;

// What the profile reader trims around lines, names and values (Ctrl-Z too, an old end-of-file
// mark).
bool IsBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1a'; }

bool IsCp932Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsCp932Trail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) return false;
    }
    return true;
}

std::string Trim(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// The reader keeps names and values as C strings: a NUL ends them.
std::string CutAtNul(const std::string& text) { return text.substr(0, text.find('\0')); }

struct Line {
    std::string text;  // without its line end
    std::string end;   // "\r\n", "\n", or nothing on a last line that has none
};

// A line ends at LF, CR LF, or a CR alone: the profile reader breaks lines at either byte.
std::vector<Line> SplitLines(const std::string& bytes) {
    std::vector<Line> lines;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t stop = bytes.find_first_of("\r\n", pos);
        Line line;
        if (stop == std::string::npos) {
            line.text = bytes.substr(pos);
            pos = bytes.size();
        } else {
            line.text = bytes.substr(pos, stop - pos);
            size_t length = bytes.compare(stop, 2, "\r\n") == 0 ? 2 : 1;
            line.end = bytes.substr(stop, length);
            pos = stop + length;
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

struct ParsedLine {
    enum Kind { Blank, Section, Key } kind = Blank;
    std::string name;   // the section's or the key's
    std::string value;  // as stored, before unquoting; empty for a key without '='
};

// The last ']' as characters go: a double-byte character's second byte may be 0x5D.
size_t LastCloseBracket(const std::string& text) {
    size_t found = std::string::npos;
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsCp932Lead(static_cast<unsigned char>(text[i])) && i + 1 < text.size() &&
            IsCp932Trail(static_cast<unsigned char>(text[i + 1]))) {
            ++i;
        } else if (text[i] == ']') {
            found = i;
        }
    }
    return found;
}

ParsedLine ParseLine(const std::string& text) {
    ParsedLine parsed;
    std::string line = Trim(text);
    if (line.empty()) return parsed;
    if (line[0] == '[') {
        size_t close = LastCloseBracket(line);
        if (close != std::string::npos) {
            // The name between the brackets, trimmed of blanks as the reader trims it.
            parsed.kind = ParsedLine::Section;
            parsed.name = CutAtNul(Trim(line.substr(1, close - 1)));
            return parsed;
        }
        // A '[' without its ']' makes an ordinary key line.
    }
    parsed.kind = ParsedLine::Key;
    size_t equals = line.find('=');
    parsed.name = CutAtNul(Trim(line.substr(0, equals)));
    if (equals != std::string::npos) parsed.value = CutAtNul(Trim(line.substr(equals + 1)));
    return parsed;
}

std::string Unquote(const std::string& value) {
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

struct ParsedFile {
    std::vector<Line> lines;
    std::vector<ParsedLine> parsed;

    explicit ParsedFile(const std::string& bytes) : lines(SplitLines(bytes)) {
        parsed.reserve(lines.size());
        for (const Line& line : lines) parsed.push_back(ParseLine(line.text));
    }

    // The first section of that name, as [begin, end) of its lines after the header; begin
    // is npos when there is none.
    std::pair<size_t, size_t> FindSection(const std::string& section) const {
        for (size_t i = 0; i < parsed.size(); ++i) {
            if (parsed[i].kind != ParsedLine::Section || !EqualsIgnoringCase(parsed[i].name, section)) continue;
            size_t end = i + 1;
            while (end < parsed.size() && parsed[end].kind != ParsedLine::Section) ++end;
            return {i + 1, end};
        }
        return {std::string::npos, 0};
    }

    std::string Read(const char* section, const char* key) const {
        std::pair<size_t, size_t> body = FindSection(section);
        if (body.first == std::string::npos) return {};
        for (size_t i = body.first; i < body.second; ++i) {
            if (parsed[i].kind == ParsedLine::Key && EqualsIgnoringCase(parsed[i].name, key)) {
                return Unquote(parsed[i].value).substr(0, kValueWidth);
            }
        }
        return {};
    }
};

// Read as atoi reads: blanks, a sign, digits; anything else is 0.
bool ReadsNonZero(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (text[i] != '0') return true;
    }
    return false;
}

// The blanks of the C locale, which end the item line's address and stand before its word.
bool IsLineBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

size_t SkipLineBlanks(const std::string& text, size_t at) {
    while (at < text.size() && IsLineBlank(text[at])) ++at;
    return at;
}

size_t NextLineBlank(const std::string& text, size_t at) {
    while (at < text.size() && !IsLineBlank(text[at])) ++at;
    return at;
}

WatchEntry ParseWatchValue(const std::string& value) {
    WatchEntry entry;
    entry.line = value;
    entry.comparison = Comparison::WholeBody;
    size_t first = value.find(',');
    entry.title = value.substr(0, first);
    if (first == std::string::npos) return entry;
    size_t second = value.find(',', first + 1);
    if (ReadsNonZero(value.substr(first + 1, second - first - 1))) entry.comparison = Comparison::Markup;
    if (second == std::string::npos) return entry;
    size_t address = SkipLineBlanks(value, second + 1);
    size_t addressEnd = NextLineBlank(value, address);
    entry.address = value.substr(address, addressEnd - address);
    size_t word = SkipLineBlanks(value, addressEnd);
    // The band's own reading of the word: a word it does not know leaves the number's say.
    ComparisonOfWord(value.substr(word, NextLineBlank(value, word) - word), true, &entry.comparison);
    return entry;
}

// In quotes when the reader would otherwise trim it or take its own quotes away.
std::string Quoted(const std::string& value) {
    bool quoted = value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0];
    if (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) || quoted)) return '"' + value + '"';
    return value;
}

// prefix followed by a number from 1, written without leading zeros: the names the band
// reads for the list (a key such as item01 it never reads, so it is left alone).
bool IsListKey(const std::string& name, const std::vector<std::string>& prefixes) {
    for (const std::string& prefix : prefixes) {
        if (name.size() <= prefix.size() || !EqualsIgnoringCase(name.substr(0, prefix.size()), prefix)) continue;
        if (name[prefix.size()] < '1' || name[prefix.size()] > '9') continue;
        bool digits = true;
        for (size_t i = prefix.size(); i < name.size(); ++i) digits = digits && name[i] >= '0' && name[i] <= '9';
        if (digits) return true;
    }
    return false;
}

struct ListKeys {
    std::string section;
    std::vector<std::string> prefixes;
    std::vector<std::pair<std::string, std::string>> keys;  // name, value, in the order written
};

}  // namespace

std::string ItemLine(const WatchEntry& entry) {
    if (!entry.line.empty()) {
        WatchEntry read = ParseWatchValue(entry.line);
        if (read.title == entry.title && read.comparison == entry.comparison && read.address == entry.address) {
            return entry.line;
        }
    }
    // Flag 1 with a word too, so that a band that knows no words still removes the markup.
    std::string line = entry.title + (entry.comparison == Comparison::WholeBody ? ",0," : ",1,") + entry.address;
    bool worded = entry.comparison == Comparison::Text || entry.comparison == Comparison::TextNoNumbers;
    return worded ? line + " " + ComparisonWord(entry.comparison) : line;
}

SettingsLists ReadSettingsLists(const std::string& fileBytes) {
    ParsedFile file(fileBytes);
    ProfileReader read = [&file](const char* section, const char* key) { return file.Read(section, key); };

    SettingsLists lists;
    for (const std::string& value : ReadNumberedListWith(read, "watch", "item", -1)) {
        lists.watch.push_back(ParseWatchValue(value));
    }
    SearchListReader readSearch = [&read](const char* prefix, int count) {
        return ReadNumberedListWith(read, "search", prefix, count);
    };
    for (SearchEngine& engine : LoadSearchEnginesWith(readSearch)) {
        lists.search.push_back({std::move(engine.url), std::move(engine.cond), std::move(engine.method),
                                std::move(engine.form)});
    }
    return lists;
}

std::string WriteSettingsLists(const std::string& fileBytes, const SettingsLists& lists) {
    ParsedFile file(fileBytes);
    std::string eol = "\r\n";
    for (const Line& line : file.lines) {
        if (!line.end.empty()) {
            eol = line.end;
            break;
        }
    }

    ListKeys watch{"watch", {"item"}, {}};
    for (size_t i = 0; i < lists.watch.size(); ++i) {
        watch.keys.emplace_back("item" + std::to_string(i + 1), ItemLine(lists.watch[i]));
    }
    ListKeys search{"search", {"url", "cond", "method", "form"}, {}};
    for (size_t i = 0; i < lists.search.size(); ++i) {
        const SearchEntry& entry = lists.search[i];
        std::string n = std::to_string(i + 1);
        search.keys.emplace_back("url" + n, entry.url);
        // Absent reads as empty, so an empty one needs no line.
        if (!entry.cond.empty()) search.keys.emplace_back("cond" + n, entry.cond);
        if (!entry.method.empty()) search.keys.emplace_back("method" + n, entry.method);
        if (!entry.form.empty()) search.keys.emplace_back("form" + n, entry.form);
    }

    size_t count = file.lines.size();
    std::vector<bool> dropped(count, false);
    std::vector<std::vector<std::string>> before(count + 1);  // new lines put before line i
    std::vector<std::string> appended;
    for (const ListKeys* list : {&watch, &search}) {
        std::vector<std::string> written;
        for (const auto& key : list->keys) written.push_back(key.first + "=" + Quoted(key.second));

        std::pair<size_t, size_t> body = file.FindSection(list->section);
        if (body.first == std::string::npos) {
            if (written.empty()) continue;
            // A section of its own at the end, set off by a blank line.
            bool endsBlank = appended.empty() ? count == 0 || file.parsed[count - 1].kind == ParsedLine::Blank
                                              : appended.back().empty();
            if (!endsBlank) appended.push_back("");
            appended.push_back("[" + list->section + "]");
            appended.insert(appended.end(), written.begin(), written.end());
            continue;
        }
        size_t at = std::string::npos;
        size_t afterLast = body.first;  // after the section's last line that is not blank
        for (size_t i = body.first; i < body.second; ++i) {
            const ParsedLine& parsed = file.parsed[i];
            if (parsed.kind == ParsedLine::Key && IsListKey(parsed.name, list->prefixes)) {
                dropped[i] = true;
                if (at == std::string::npos) at = i;
            }
            if (parsed.kind != ParsedLine::Blank) afterLast = i + 1;
        }
        if (at == std::string::npos) at = afterLast;
        before[at].insert(before[at].end(), written.begin(), written.end());
    }

    std::string out;
    out.reserve(fileBytes.size() + 64);
    // A last line without an end gets one when something comes after it. A blank LF line
    // right after a line that ends in a CR alone would turn into half of a CR LF and vanish:
    // it is written as CR LF.
    bool open = false;
    auto put = [&](const std::string& text, const std::string& end) {
        if (open) out += eol;
        out += text;
        bool merges = text.empty() && end == "\n" && !out.empty() && out.back() == '\r';
        out += merges ? "\r\n" : end;
        open = end.empty();
    };
    for (size_t i = 0; i <= count; ++i) {
        for (const std::string& text : before[i]) put(text, eol);
        if (i < count && !dropped[i]) put(file.lines[i].text, file.lines[i].end);
    }
    for (const std::string& text : appended) put(text, eol);
    return out;
}

namespace {

// A well-formed UTF-8 sequence at text[i]: its length, or 0. Overlong forms, surrogates and
// values past U+10FFFF are not well-formed.
size_t Utf8SequenceAt(const std::string& text, size_t i) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) return 1;
    size_t length = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return 0;
    unsigned char second = static_cast<unsigned char>(text[i + 1]);
    unsigned char low = 0x80, high = 0xBF;
    if (b == 0xE0) low = 0xA0;
    if (b == 0xED) high = 0x9F;
    if (b == 0xF0) low = 0x90;
    if (b == 0xF4) high = 0x8F;
    if (second < low || second > high) return 0;
    for (size_t k = 2; k < length; ++k) {
        unsigned char next = static_cast<unsigned char>(text[i + k]);
        if (next < 0x80 || next > 0xBF) return 0;
    }
    return length;
}

}  // namespace

FileEncoding DetectEncoding(const std::string& fileBytes) {
    if (fileBytes.compare(0, 3, "\xEF\xBB\xBF") == 0) return FileEncoding::Utf8WithMark;
    if (fileBytes.compare(0, 2, "\xFF\xFE") == 0) return FileEncoding::Utf16Le;
    if (fileBytes.compare(0, 2, "\xFE\xFF") == 0) return FileEncoding::Utf16Be;
    bool beyondAscii = false;
    for (size_t i = 0; i < fileBytes.size();) {
        size_t length = Utf8SequenceAt(fileBytes, i);
        if (length == 0) return FileEncoding::CodePage;
        beyondAscii = beyondAscii || length > 1;
        i += length;
    }
    return beyondAscii ? FileEncoding::Utf8 : FileEncoding::CodePage;
}
