// Paths that registration derives from the module's own path, free of Windows headers. The
// walks respect double-byte characters: a trail byte may equal '.', '\\' or '/'.
#pragma once

#include <string>

#include "common/mbcs.h"

// The type library beside the module: the part from the last "." on replaced by ".tlb",
// or ".tlb" appended when there is no ".".
std::string TypeLibFallbackPath(const std::string& modulePath, LeadBytePredicate isLead);

// The help directory: the path cut right after its last "\", "/" or ":" (the separator
// stays); the empty text when there is none.
std::string HelpDirectoryOf(const std::string& path, LeadBytePredicate isLead);
