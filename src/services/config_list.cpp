#include "services/config_list.h"

#include <cstdio>

std::vector<std::string> ReadNumberedListWith(const ProfileReader& read, const char* section,
                                              const char* prefix, int count) {
    std::vector<std::string> list;
    for (int n = 1; count < 0 || n <= count; ++n) {
        char key[260];
        std::snprintf(key, sizeof key, "%s%d", prefix, n);
        std::string value = read(section, key);
        if (count < 0 && value.empty()) break;
        list.push_back(std::move(value));
    }
    return list;
}
