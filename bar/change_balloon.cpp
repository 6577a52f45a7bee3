#include "change_balloon.h"

#include "texts.h"

void ChangeBalloon::Add(const std::wstring& title, const std::wstring& passage) {
    pages_.push_back({Text(TextId::BalloonPageChanged, {title}), passage});
}

std::wstring ChangeBalloon::Take(size_t maxCharacters) {
    auto compose = [&] {
        std::wstring text;
        for (const Page& page : pages_) {
            if (!text.empty()) text += L"\r\n";
            text += page.line;
            if (!page.passage.empty()) text += L"\r\n" + page.passage;
        }
        return text;
    };
    std::wstring text = compose();
    for (size_t i = pages_.size(); i > 0 && text.size() > maxCharacters; --i) {
        if (pages_[i - 1].passage.empty()) continue;
        pages_[i - 1].passage.clear();
        text = compose();
    }
    pages_.clear();
    return text;
}
