// The text of a page as a reader sees it, which is what the Text comparisons digest. Pure.
//
// From the body as UTF-8 (charset.h) the markup is read as the HTML tokenizer reads it, and
// left out: comments (<!-- to -->, and <!...>, <?...> and </ followed by no letter up to '>'),
// every tag (attributes, quoted '>' and all), and what these elements hold, up to their own
// end tag: script, style, noscript, iframe, noembed and noframes (never shown), and template
// (its markup is read, its text never shown). A '<' that starts no tag is text. A comment, a
// tag or a hidden element that never ends takes the rest of the page with it.
//
// The text is then laid out in lines: each start or end tag of a block-level element
// (kElements in page_text.cpp: paragraphs, headings, list items, table rows and cells,
// br, hr, title, option, ...) ends a line. Within a line every run of white space (ASCII
// blanks, U+0085, U+00A0, U+1680, U+2000 to U+200A, U+2028, U+2029, U+202F, U+205F, U+3000)
// becomes one space, and none is kept at its ends; a line end in the source is white space
// too, except within pre, listing, xmp, plaintext and textarea, where it ends a line. Empty
// lines are dropped. Character references are decoded (character_references.h), in text and
// in title and textarea, whose content is text up to their end tag; xmp's and plaintext's
// content is text as written. NUL, the other C0 controls, DEL and U+FEFF are left out: a
// reader sees nothing of them.
//
// One pass over the bytes, the markup skipped with memchr: linear in the length of the page
// whatever it holds.
#pragma once

#include <string>
#include <string_view>

// The text as UTF-8, its lines joined by '\n' (none after the last); empty when the page shows
// no text. The page is given as UTF-8 (BodyAsUtf8 in charset.h makes any body so); bytes that
// are invalid there read as U+FFFD. Without numbers, every digit (ASCII 0-9 and full-width
// U+FF10 to U+FF19) is left out before the spaces are collapsed and the empty lines dropped, so
// "12:30 pm" reads ": pm" and a line of digits alone goes.
std::string ExtractPageText(std::string_view page, bool withoutNumbers);
