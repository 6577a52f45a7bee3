// The pages that turned Changed since the last balloon, told in one balloon: each page's line
// (「ニュース」が更新されました) and under it what is new in it, as the band told it. UI
// thread only.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class ChangeBalloon {
public:
    // passage: the band's words for what is new in the page; empty when it has none (a page
    // compared as its whole body, or a band that tells only the address and title).
    void Add(const std::wstring& title, const std::wstring& passage);
    bool Empty() const { return pages_.empty(); }
    void Clear() { pages_.clear(); }
    // The balloon's text, then nothing gathered. A balloon holds maxCharacters: every page's
    // line comes first, so what is new is left out, the last page's first, where it would
    // not fit.
    std::wstring Take(size_t maxCharacters);

private:
    struct Page {
        std::wstring line;
        std::wstring passage;
    };
    std::vector<Page> pages_;
};
