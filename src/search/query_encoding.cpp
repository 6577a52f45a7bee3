#include "search/query_encoding.h"

#include <cstring>

std::string EncodeQuery(const char* query) {
    static const char digits[] = "0123456789ABCDEF";
    std::string encoded;
    if (!query) return encoded;
    encoded.reserve(3 * std::strlen(query));
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(query); *p; ++p) {
        encoded += '%';
        encoded += digits[*p >> 4];
        encoded += digits[*p & 0x0F];
    }
    return encoded;
}
