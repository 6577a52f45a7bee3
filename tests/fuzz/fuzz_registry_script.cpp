// The registration-script reader. The first byte chooses between two kinds of input:
//   - any text: the reader must refuse it or read it, never run off its tokens, and a refusal
//     leaves nothing to remove;
//   - a script written from a key tree made of the input, with every kind of entry, quoted
//     names and any white space: the reader must find exactly the tree's removable keys and
//     the values under kept keys.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "module/registry_script.h"

namespace {

enum class Kind { Normal, NoRemove, ForceRemove, Value, Delete };

class ScriptWriter {
public:
    explicit ScriptWriter(FuzzedDataProvider& input) : in_(input) {}

    std::string Write(std::vector<ScriptRemoval>* expected) {
        static const char* const kRoots[] = {"HKCR", "HKLM", "HKCU", "HKU"};
        for (int roots = in_.ConsumeIntegralInRange(0, 3); roots > 0; --roots) {
            root_ = kRoots[in_.ConsumeIntegralInRange(0, 3)];
            text_ += Blank() + root_ + Blank(true) + "{";
            std::vector<std::string> path;
            Level(path, true, 0, expected);
            text_ += Blank(true) + "}";
        }
        return text_ + Blank();
    }

private:
    std::string Blank(bool required = false) {
        static const char* const kBlanks[] = {" ", "\t", "\r\n", "\n\t\t", "  \r\n  "};
        std::string blank = required ? " " : "";
        for (int n = in_.ConsumeIntegralInRange(0, 2); n > 0; --n) blank += kBlanks[in_.ConsumeIntegralInRange(0, 4)];
        return blank;
    }

    // A name as a script spells it; the returned name is what the reader should make of it.
    std::string Name(std::string* spelt) {
        static const char* const kPlain[] = {"CLSID", "{408EA957-CF17-4D81-93AB-FDDA7ACDA90F}",
                                             "Pelorin.Pelorin", "InprocServer32", "a", "Toolbar"};
        static const char* const kQuoted[] = {"Internet Explorer", "NoRemove", "val", "}", "{",
                                              "=", "Delete", "", "two words", "ForceRemove"};
        std::string name;
        if (in_.ConsumeBool()) {
            name = kPlain[in_.ConsumeIntegralInRange(0, 5)];
            *spelt = name;
        } else {
            name = kQuoted[in_.ConsumeIntegralInRange(0, 9)];
            *spelt = "'" + name + "'";
        }
        return name;
    }

    void Level(std::vector<std::string>& path, bool kept, int depth, std::vector<ScriptRemoval>* expected) {
        for (int entries = in_.ConsumeIntegralInRange(0, 4); entries > 0 && in_.remaining_bytes(); --entries) {
            Kind kind = static_cast<Kind>(in_.ConsumeIntegralInRange(0, 4));
            static const char* const kKeywords[] = {"", "NoRemove", "ForceRemove", "val", "Delete"};
            std::string keyword = kKeywords[static_cast<int>(kind)];
            if (in_.ConsumeBool()) {  // keywords are read without regard to case
                for (char& c : keyword) c = static_cast<char>(c ^ (in_.ConsumeBool() ? 0x20 : 0));
            }
            std::string spelt;
            std::string name = Name(&spelt);
            text_ += Blank(true) + (keyword.empty() ? "" : keyword + Blank(true)) + spelt;
            bool value = kind == Kind::Value || in_.ConsumeBool();
            if (value) {
                text_ += Blank(true) + "=" + Blank(true) +
                         (in_.ConsumeBool() ? "s" + Blank(true) + "'%MODULE%'" : "d" + Blank(true) + "1");
            }
            if (kind == Kind::Value) {
                if (kept) expected->push_back({root_, path, true, name});
                continue;
            }
            if (kind == Kind::Delete) continue;
            if (kept && kind != Kind::NoRemove) {
                std::vector<std::string> keyPath = path;
                keyPath.push_back(name);
                expected->push_back({root_, keyPath, false, std::string()});
            }
            if (depth < 6 && in_.ConsumeBool()) {
                text_ += Blank(true) + "{";
                path.push_back(name);
                Level(path, kept && kind == Kind::NoRemove, depth + 1, expected);
                path.pop_back();
                text_ += Blank(true) + "}";
            }
        }
    }

    FuzzedDataProvider& in_;
    std::string text_;
    std::string root_;
};

bool Same(const ScriptRemoval& a, const ScriptRemoval& b) {
    return a.root == b.root && a.path == b.path && a.isValue == b.isValue && a.valueName == b.valueName;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    std::vector<ScriptRemoval> removals = {ScriptRemoval{"stale", {}, false, {}}};
    if (data[0] & 1) {
        std::string script(reinterpret_cast<const char*>(data + 1), size - 1);
        bool read = ReadScriptRemovals(script, &removals);
        if (!read) FUZZ_CHECK(removals.empty());
        std::vector<ScriptRemoval> again;
        FUZZ_CHECK(ReadScriptRemovals(script, &again) == read);
        FUZZ_CHECK(again.size() == removals.size());
        for (size_t i = 0; i < again.size(); ++i) FUZZ_CHECK(Same(again[i], removals[i]));
        return 0;
    }

    FuzzedDataProvider input(data + 1, size - 1);
    std::vector<ScriptRemoval> expected;
    std::string script = ScriptWriter(input).Write(&expected);
    if (!ReadScriptRemovals(script, &removals)) {
        std::fprintf(stderr, "refused:\n%s\n", script.c_str());
        FUZZ_CHECK(false);
    }
    if (removals.size() != expected.size()) std::fprintf(stderr, "script:\n%s\n", script.c_str());
    FUZZ_CHECK(removals.size() == expected.size());
    for (size_t i = 0; i < removals.size(); ++i) FUZZ_CHECK(Same(removals[i], expected[i]));
    return 0;
}
