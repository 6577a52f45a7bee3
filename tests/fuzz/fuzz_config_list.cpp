// The numbered-list reader over a profile held in memory: the keys it asks for, in order,
// and the list it makes, in both modes, against the convention written out again here.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "services/config_list.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    int count = input.ConsumeIntegralInRange<int>(-3, 40);
    // Texts reach the reader as C strings: each ends at its first NUL.
    std::string section = input.ConsumeRandomLengthString(16).c_str();
    std::string prefix = input.ConsumeRandomLengthString(400).c_str();

    std::map<std::string, std::string> profile;
    for (int entries = input.ConsumeIntegralInRange(0, 48); entries > 0; --entries) {
        int number = input.ConsumeIntegralInRange(0, 45);
        std::string key;
        switch (input.ConsumeIntegralInRange(0, 3)) {
            case 0: key = prefix + "0" + std::to_string(number); break;  // never a formed key
            case 1: key = input.ConsumeRandomLengthString(8) + std::to_string(number); break;
            default: key = prefix + std::to_string(number); break;
        }
        profile[key] = input.ConsumeRandomLengthString(24);
    }

    std::vector<std::string> asked;
    ProfileReader reader = [&](const char* s, const char* key) {
        FUZZ_CHECK(section == s);
        asked.push_back(key);
        auto it = profile.find(key);
        return it == profile.end() ? std::string() : it->second;
    };
    std::vector<std::string> list = ReadNumberedListWith(reader, section.c_str(), prefix.c_str(), count);

    std::vector<std::string> expectedAsked, expected;
    for (int n = 1; count < 0 || n <= count; ++n) {
        std::string key = prefix + std::to_string(n);
        expectedAsked.push_back(key);
        auto it = profile.find(key);
        std::string value = it == profile.end() ? std::string() : it->second;
        if (count < 0 && value.empty()) break;
        expected.push_back(value);
    }
    FUZZ_CHECK(asked == expectedAsked);
    FUZZ_CHECK(list == expected);
    return 0;
}
