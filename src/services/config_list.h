// Numbered-key lists of pelorin.ini: prefix1, prefix2, ... in one section.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Reads one key's value from a section; empty when absent.
using ProfileReader = std::function<std::string(const char* section, const char* key)>;

// count < 0: open-ended, ends at the first missing or empty key (not added).
// count >= 0: exactly count entries, an absent key giving an empty one.
std::vector<std::string> ReadNumberedListWith(const ProfileReader& read, const char* section,
                                              const char* prefix, int count);

// The same over GetPrivateProfileStringA on the file at path; values of at most 259 bytes.
std::vector<std::string> ReadNumberedList(const char* section, const char* prefix, int count,
                                          const char* path);
