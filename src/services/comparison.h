// How a watched page's body is compared from one poll to the next: what is digested.
#pragma once

#include <string>

enum class Comparison {
    WholeBody,      // every byte of the body
    Markup,         // the body with every run from '<' to the next '>' removed
    Text,           // what a reader sees (page_text.h)
    TextNoNumbers,  // that text without its digits
};

// The comparison an item line's number means when no word follows its URL, as every band
// has read it: 0 the whole body, anything else markup removed.
inline Comparison ComparisonOfFlag(int flag) { return flag ? Comparison::Markup : Comparison::WholeBody; }

// Whether the page is compared by what a reader sees: such a page has a text to keep and to
// say what is new in (kept_text.h, new_passages.h).
inline bool ComparesText(Comparison comparison) {
    return comparison == Comparison::Text || comparison == Comparison::TextNoNumbers;
}

// The word for a comparison: "text" and "text-no-numbers" as item lines write them after the
// URL; "whole-body" and "markup" name the other two where a word is needed (the seen store).
const char* ComparisonWord(Comparison comparison);

// The comparison a word names, in any ASCII letter case; false for any other word. With
// itemLine, only the words an item line may carry ("text", "text-no-numbers") are known: the
// other two are the number's to say.
bool ComparisonOfWord(const std::string& word, bool itemLine, Comparison* comparison);
