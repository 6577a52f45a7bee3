#include <windows.h>

#include "services/config_list.h"

std::vector<std::string> ReadNumberedList(const char* section, const char* prefix, int count,
                                          const char* path) {
    return ReadNumberedListWith(
        [path](const char* s, const char* key) {
            char value[260] = "";
            GetPrivateProfileStringA(s, key, "", value, sizeof value, path);
            return std::string(value);
        },
        section, prefix, count);
}
