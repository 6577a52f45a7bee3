#include "module/registry_script.h"

#include <cctype>
#include <cstring>

namespace {

struct Token {
    std::string text;
    bool quoted = false;
    bool Is(const char* word) const { return !quoted && text == word; }
};

// Words as the registrar reads them: '}' and '=' stand alone, 'quoted text' is one word,
// everything else runs to the next white space (so "{GUID}" is a name, "{" an opening brace).
bool Tokenize(const std::string& text, std::vector<Token>* tokens) {
    size_t pos = 0;
    for (;;) {
        while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
        if (pos >= text.size()) return true;
        Token token;
        char c = text[pos];
        if (c == '}' || c == '=') {
            token.text.assign(1, c);
            ++pos;
        } else if (c == '\'') {
            size_t end = text.find('\'', pos + 1);
            if (end == std::string::npos) return false;
            token.text = text.substr(pos + 1, end - pos - 1);
            token.quoted = true;
            pos = end + 1;
        } else {
            size_t start = pos;
            while (pos < text.size() && !std::isspace(static_cast<unsigned char>(text[pos]))) ++pos;
            token.text = text.substr(start, pos - start);
        }
        tokens->push_back(token);
    }
}

bool IsWord(const Token& token, const char* word) {
    if (token.quoted || token.text.size() != std::strlen(word)) return false;
    for (size_t i = 0; i < token.text.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(token.text[i])) !=
            std::tolower(static_cast<unsigned char>(word[i]))) {
            return false;
        }
    }
    return true;
}

class Reader {
public:
    Reader(const std::vector<Token>& tokens, std::vector<ScriptRemoval>* out) : t_(tokens), out_(out) {}

    bool ReadRoots() {
        while (i_ < t_.size()) {
            root_ = t_[i_++].text;
            if (i_ >= t_.size() || !t_[i_++].Is("{")) return false;
            std::vector<std::string> path;
            if (!ReadLevel(path, true)) return false;
        }
        return true;
    }

private:
    // One level up to its closing brace. `kept` holds while every key above is NoRemove:
    // only then is a removable key the top of a tree still to remove.
    bool ReadLevel(std::vector<std::string>& path, bool kept) {
        while (i_ < t_.size()) {
            if (t_[i_].Is("}")) {
                ++i_;
                return true;
            }
            enum { Normal, NoRemove, ForceRemove, Value, Delete } kind = Normal;
            if (IsWord(t_[i_], "NoRemove")) kind = NoRemove;
            else if (IsWord(t_[i_], "ForceRemove")) kind = ForceRemove;
            else if (IsWord(t_[i_], "val")) kind = Value;
            else if (IsWord(t_[i_], "Delete")) kind = Delete;
            if (kind != Normal) ++i_;
            if (i_ >= t_.size() || t_[i_].Is("}") || t_[i_].Is("=")) return false;
            std::string name = t_[i_++].text;

            bool hasValue = false;
            if (i_ < t_.size() && t_[i_].Is("=")) {
                if (i_ + 2 >= t_.size() || t_[i_ + 1].text.size() != 1) return false;
                i_ += 3;
                hasValue = true;
            }
            if (kind == Value) {
                if (!hasValue) return false;
                if (kept) out_->push_back({root_, path, true, name});
                continue;
            }
            if (kind == Delete) continue;
            if (kept && kind != NoRemove) {
                std::vector<std::string> keyPath = path;
                keyPath.push_back(name);
                out_->push_back({root_, keyPath, false, std::string()});
            }
            if (i_ < t_.size() && t_[i_].Is("{")) {
                ++i_;
                path.push_back(name);
                bool ok = ReadLevel(path, kept && kind == NoRemove);
                path.pop_back();
                if (!ok) return false;
            }
        }
        return false;  // a level that never closes
    }

    const std::vector<Token>& t_;
    std::vector<ScriptRemoval>* out_;
    size_t i_ = 0;
    std::string root_;
};

}  // namespace

bool ReadScriptRemovals(const std::string& script, std::vector<ScriptRemoval>* removals) {
    removals->clear();
    std::vector<Token> tokens;
    std::vector<ScriptRemoval> found;
    if (!Tokenize(script, &tokens) || !Reader(tokens, &found).ReadRoots()) return false;
    *removals = std::move(found);
    return true;
}
