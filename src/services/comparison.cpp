#include "services/comparison.h"

namespace {

const struct {
    Comparison comparison;
    const char* word;
    bool itemLine;  // an item line may carry it after the URL
} kWords[] = {
    {Comparison::WholeBody, "whole-body", false},
    {Comparison::Markup, "markup", false},
    {Comparison::Text, "text", true},
    {Comparison::TextNoNumbers, "text-no-numbers", true},
};

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameWord(const std::string& text, const char* word) {
    size_t k = 0;
    for (; k < text.size() && word[k]; ++k) {
        if (Lower(text[k]) != word[k]) return false;
    }
    return k == text.size() && !word[k];
}

}  // namespace

const char* ComparisonWord(Comparison comparison) {
    for (const auto& entry : kWords) {
        if (entry.comparison == comparison) return entry.word;
    }
    return kWords[0].word;
}

bool ComparisonOfWord(const std::string& word, bool itemLine, Comparison* comparison) {
    for (const auto& entry : kWords) {
        if ((entry.itemLine || !itemLine) && SameWord(word, entry.word)) {
            *comparison = entry.comparison;
            return true;
        }
    }
    return false;
}
