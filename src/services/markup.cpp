#include "services/markup.h"

#include <cstring>

size_t RemoveMarkupTags(char* text, size_t size) {
    char* out = text;
    const char* in = text;
    const char* end = text + size;
    while (in < end) {
        const char* open = static_cast<const char*>(std::memchr(in, '<', end - in));
        const char* close =
            open ? static_cast<const char*>(std::memchr(open, '>', end - open)) : nullptr;
        // Nothing left to remove: the rest stays as it is, an unclosed "<" with it.
        const char* keepEnd = close ? open : end;
        if (out != in) std::memmove(out, in, keepEnd - in);
        out += keepEnd - in;
        if (!close) break;
        in = close + 1;
    }
    return out - text;
}
