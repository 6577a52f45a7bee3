#include "settings/page_title.h"

PageTitle FindPageTitle(const char* body, size_t count) {
    PageTitle title;
    PageHead head = ReadPageHead(body, count);
    title.declaredCodePage = head.declaredCodePage;
    if (head.titleFound) {
        title.found = true;
        title.bytes.assign(body + head.titleBegin, head.titleEnd - head.titleBegin);
    }
    return title;
}

int TitleCodePage(const PageTitle& title) {
    if (title.declaredCodePage) return title.declaredCodePage;
    return UndeclaredCodePage(title.bytes.data(), title.bytes.size());
}

std::u16string CleanTitleText(const std::u16string& text) {
    std::u16string out;
    bool pendingSpace = false;
    for (char16_t c : DecodeCharacterReferences(text)) {
        // Line ends, tabs, NULs and the like cannot stand in an item line; a no-break space has
        // no code page 932 form. All are spaces in a title.
        if (c < 0x20 || c == 0x7F || c == 0x00A0 || c == u' ') {
            pendingSpace = !out.empty();
            continue;
        }
        if (pendingSpace) out.push_back(u' ');
        pendingSpace = false;
        out.push_back(c == u',' ? char16_t(0xFF0C) : AsCodePage932Has(c));
    }
    return out;
}
