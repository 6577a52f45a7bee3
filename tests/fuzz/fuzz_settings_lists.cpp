// The settings dialog's lists from any file: what is written reads back as the lists given,
// writing again changes nothing, and every line that is not a list key stays, in order, byte
// for byte. Which lines are list keys is judged here on its own, loosely (any section, any
// digits), so a line the writer drops without cause is caught.
#include <cstdint>
#include <string>
#include <vector>

#include "settings/settings_lists.h"
#include "fuzz_check.h"

namespace {

bool Same(const SettingsLists& a, const SettingsLists& b) {
    if (a.watch.size() != b.watch.size() || a.search.size() != b.search.size()) return false;
    for (size_t i = 0; i < a.watch.size(); ++i) {
        const WatchEntry &x = a.watch[i], &y = b.watch[i];
        if (x.title != y.title || x.ignoreMarkup != y.ignoreMarkup || x.address != y.address) return false;
    }
    for (size_t i = 0; i < a.search.size(); ++i) {
        const SearchEntry &x = a.search[i], &y = b.search[i];
        if (x.url != y.url || x.cond != y.cond || x.method != y.method || x.form != y.form) return false;
    }
    return true;
}

// Lines without their ends: a line ends at LF, CR LF or a CR alone.
std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < bytes.size()) {
        size_t stop = bytes.find_first_of("\r\n", pos);
        if (stop == std::string::npos) {
            lines.push_back(bytes.substr(pos));
            break;
        }
        lines.push_back(bytes.substr(pos, stop - pos));
        pos = stop + (bytes.compare(stop, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

bool Blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1a'; }

bool MaybeListKey(const std::string& line) {
    std::string name = line.substr(0, line.find('='));
    name = name.substr(0, name.find('\0'));
    size_t begin = 0, end = name.size();
    while (begin < end && Blank(name[begin])) ++begin;
    while (end > begin && Blank(name[end - 1])) --end;
    name = name.substr(begin, end - begin);
    for (char& c : name) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    for (const char* prefix : {"item", "url", "cond", "method", "form"}) {
        std::string p = prefix;
        if (name.size() <= p.size() || name.compare(0, p.size(), p) != 0) continue;
        if (name.find_first_not_of("0123456789", p.size()) == std::string::npos) return true;
    }
    return false;
}

std::vector<std::string> OtherLines(const std::string& bytes) {
    std::vector<std::string> kept;
    for (const std::string& line : Lines(bytes)) {
        if (!MaybeListKey(line)) kept.push_back(line);
    }
    return kept;
}

void CheckWrite(const std::string& file, const SettingsLists& lists) {
    std::string written = WriteSettingsLists(file, lists);
    FUZZ_CHECK(Same(ReadSettingsLists(written), lists));
    FUZZ_CHECK(WriteSettingsLists(written, lists) == written);

    std::vector<std::string> before = OtherLines(file), after = OtherLines(written);
    FUZZ_CHECK(after.size() >= before.size());
    for (size_t i = 0; i < before.size(); ++i) FUZZ_CHECK(after[i] == before[i]);
    // All that may follow is a new section: its header and a blank line before it.
    for (size_t i = before.size(); i < after.size(); ++i) {
        FUZZ_CHECK(after[i].empty() || after[i] == "[watch]" || after[i] == "[search]");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string file(reinterpret_cast<const char*>(data), size);
    SettingsLists lists = ReadSettingsLists(file);
    CheckWrite(file, lists);

    // The dialog's edits: an entry removed from the middle, one added at the end.
    if (!lists.watch.empty()) lists.watch.erase(lists.watch.begin() + lists.watch.size() / 2);
    lists.search.push_back({"http://new.test/", "", "post", ""});
    CheckWrite(file, lists);
    return 0;
}
