// The digest of each page as the user last opened it, per user, under
// HKEY_CURRENT_USER\Software\Vorna\Pelorin: one REG_SZ value per page address.
#pragma once

#include <string>

void WriteSeenDigest(const std::string& pageAddress, const std::string& digest);
// The stored text; empty for a missing value; defaultText only when the key cannot be opened.
std::string ReadSeenDigest(const std::string& pageAddress, const std::string& defaultText);
