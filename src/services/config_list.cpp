#include "services/config_list.h"

std::vector<std::string> ReadNumberedListWith(const ProfileReader& read, const char* section,
                                              const char* prefix, int count) {
    std::vector<std::string> list;
    for (int n = 1; count < 0 || n <= count; ++n) {
        // Formed whole: a key cut to a buffer would name another entry (a long prefix's
        // item10 read as item1).
        std::string key = prefix + std::to_string(n);
        std::string value = read(section, key.c_str());
        if (count < 0 && value.empty()) break;
        list.push_back(std::move(value));
    }
    return list;
}
