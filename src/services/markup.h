// Markup tags taken out of a page body before it is digested, so that changes inside tags
// alone keep a page's digest.
#pragma once

#include <cstddef>

// Removes, in place, every run from a "<" through the next ">" of the size bytes at text and
// returns the new size. A ">" before any "<" stays, and so do an unclosed "<" and all after
// it. NUL bytes are ordinary bytes. The bytes past the new size hold
// whatever was left there.
// One pass over the body: each byte is looked at and moved at most once.
size_t RemoveMarkupTags(char* text, size_t size);
