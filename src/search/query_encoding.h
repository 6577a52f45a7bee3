// The typed query as it goes after a definition's form text: every byte a percent escape.
#pragma once

#include <string>

// Each byte up to the first NUL as "%" and two upper-case hexadecimal digits, so the result
// is plain ASCII and the service receives the query's bytes (ANSI code page) exactly; the
// space becomes %20, never "+", and no byte is left as it is.
std::string EncodeQuery(const char* query);
