// The local pages through which the default browser stands in for the browser where an
// address alone cannot: a POST (a form the page submits as it loads) and an address too long
// to hand to the shell (a page that moves on to it). Pure: the caller passes the conversion
// from the system's ANSI bytes to characters.
#pragma once

#include <string>
#include <vector>

struct FormField {
    std::string name;   // bytes, decoded from the body
    std::string value;
};

// Splits an application/x-www-form-urlencoded body into its fields: '&' between fields, the
// first '=' between name and value, %XX and '+' decoded. A field without '=' has an empty
// value; empty pieces between '&'s are no fields. A '%' not followed by two hexadecimal
// digits stands for itself.
std::vector<FormField> DecodeFormBody(const std::string& body);

// Turns ANSI bytes into Unicode code points (code page 932 on a Japanese system).
using ToCodePoints = std::u32string (*)(const std::string& bytes);

// The page that posts the fields to action as it loads, in Shift_JIS, so that the browser
// sends Japanese text as the same bytes the band encoded. Everything from outside is written
// as character references: the page itself is plain ASCII.
std::string MakePostPage(const std::string& action, const std::vector<FormField>& fields,
                         ToCodePoints decode);

// The page that goes on to address at once.
std::string MakeRedirectPage(const std::string& address, ToCodePoints decode);

// Text escaped for an HTML attribute or element: printable ASCII other than & < > " ' as it
// is, every other character as a decimal character reference.
std::string EscapeHtml(const std::u32string& text);
