// The tag removal exactly as the steps read, kept only as the reference that the one-pass
// version is checked and measured against: find the first "<" from the start of the body,
// the first ">" at or after it, move the rest (with its terminator) down over them, and start
// again from the start of the body.
#pragma once

#include <cstring>
#include <string>

// Over a NUL-terminated text, as the steps are written: the text ends at its first NUL.
inline size_t LiteralRemoveTagsFromText(char* body, size_t count) {
    for (;;) {
        char* open = std::strchr(body, '<');
        if (!open) break;
        char* close = std::strchr(open, '>');
        if (!close) break;
        std::memmove(open, close + 1, std::strlen(close + 1) + 1);
        count -= close - open + 1;
    }
    return count;
}

// The same steps over the whole byte count, a NUL being an ordinary byte.
inline size_t LiteralRemoveTags(char* body, size_t count) {
    for (;;) {
        char* open = static_cast<char*>(std::memchr(body, '<', count));
        if (!open) break;
        char* close = static_cast<char*>(std::memchr(open, '>', body + count - open));
        if (!close) break;
        std::memmove(open, close + 1, body + count - (close + 1));
        count -= close - open + 1;
    }
    return count;
}
