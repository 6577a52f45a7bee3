// Search definitions from the "search" section of pelorin.ini, which queries each one takes,
// and the request it makes of a query. Pure: the profile is read through a reader and double-
// byte characters are recognised by a lead-byte test, so this builds and is tested natively.
// On Windows the callers pass IsAnsiLeadByte (common/ansi.h).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/mbcs.h"

// One definition, as read: nothing is trimmed, checked or normalised.
struct SearchEngine {
    std::string cond;    // "eng", "jpn" or anything else for no condition
    std::string url;     // never empty
    std::string method;  // "post" for POST, anything else for GET
    std::string form;    // put verbatim in front of the encoded query
};

// Reads one numbered list of the "search" section, as ReadNumberedList does (count < 0:
// open-ended).
using SearchListReader = std::function<std::vector<std::string>(const char* prefix, int count)>;

// url1, url2, ... up to the first missing or empty one; cond, method and form for exactly
// those numbers. An absent file or section gives an empty list.
std::vector<SearchEngine> LoadSearchEnginesWith(const SearchListReader& readList);
// The same over ReadNumberedList on the file at path (the text of ConfigPath); Windows only.
std::vector<SearchEngine> LoadSearchEngines(const char* path);

// A query is multibyte when it holds a lead byte of a double-byte character, a lone one at the
// end included; the empty query is single-byte.
bool IsMultibyteQuery(const std::string& query, LeadBytePredicate isLead);

// "eng" definitions take single-byte queries only, "jpn" ones multibyte queries only, every
// other definition takes all. Keywords match the whole value, ASCII case ignored.
bool EngineAccepts(const SearchEngine& engine, bool multibyte, LeadBytePredicate isLead);
bool IsPostEngine(const SearchEngine& engine, LeadBytePredicate isLead);

// What one definition asks for a query already percent-encoded. GET: url, "?", form, query
// (the "?" always, even after a url that holds one). POST: url unchanged, body form + query.
struct SearchRequest {
    bool post = false;
    std::string address;
    std::string body;
};
SearchRequest MakeSearchRequest(const SearchEngine& engine, const std::string& encodedQuery,
                                LeadBytePredicate isLead);
