// The digest of each page as the user last opened it, per user, under
// HKEY_CURRENT_USER\Software\Vorna\Pelorin: one REG_SZ value per page address.
//
// Beside it, in the subkey Comparisons, the comparison that digest was made with: a REG_SZ
// value of the same name holding the comparison's word, one space and the digest it was
// written with ("text 0123...EF"). Bands older than the comparisons read and write the
// digests alone, as ever, and never look into the subkey; when one of them has written
// another digest since, the record no longer goes with the digest and counts as absent.
#pragma once

#include <string>

#include "services/comparison.h"

void WriteSeenDigest(const std::string& pageAddress, const std::string& digest);
// The stored text; empty for a missing value; defaultText only when the key cannot be opened.
std::string ReadSeenDigest(const std::string& pageAddress, const std::string& defaultText);

// The digest, then the comparison it was made with.
void WriteSeenDigest(const std::string& pageAddress, const std::string& digest, Comparison comparison);
// The comparison the page's seen digest (seenDigest, as ReadSeenDigest gave it) was made
// with: the one written with that digest, else `otherwise` (the comparison an older band made
// it with: the one the item line's number means).
Comparison ReadSeenComparison(const std::string& pageAddress, const std::string& seenDigest, Comparison otherwise);
