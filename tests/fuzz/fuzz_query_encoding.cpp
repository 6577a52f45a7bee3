// Query encoding: exactly three characters per byte up to the first NUL, each "%" and two
// upper-case hexadecimal digits, and decoding gives the bytes back.
#include <cstdint>
#include <string>

#include "fuzz_check.h"
#include "search/query_encoding.h"

namespace {
int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;  // lower case is refused too
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string query(reinterpret_cast<const char*>(data), size);
    std::string encoded = EncodeQuery(query.c_str());
    std::string bytes = query.substr(0, query.find('\0'));
    FUZZ_CHECK(encoded.size() == 3 * bytes.size());

    std::string decoded;
    for (size_t i = 0; i < encoded.size(); i += 3) {
        FUZZ_CHECK(encoded[i] == '%');
        int high = HexValue(encoded[i + 1]), low = HexValue(encoded[i + 2]);
        FUZZ_CHECK(high >= 0 && low >= 0);
        decoded += static_cast<char>(high * 16 + low);
    }
    FUZZ_CHECK(decoded == bytes);
    FUZZ_CHECK(EncodeQuery(nullptr).empty());
    return 0;
}
