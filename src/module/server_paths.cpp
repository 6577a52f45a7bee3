#include "module/server_paths.h"

std::string TypeLibFallbackPath(const std::string& modulePath, LeadBytePredicate isLead) {
    size_t dot = FindLastCharacter(modulePath.c_str(), '.', isLead);
    std::string path = modulePath.substr(0, dot == std::string::npos ? std::string::npos : dot);
    return path + ".tlb";
}

std::string HelpDirectoryOf(const std::string& path, LeadBytePredicate isLead) {
    size_t cut = std::string::npos;
    for (char separator : {'\\', '/', ':'}) {
        size_t at = FindLastCharacter(path.c_str(), separator, isLead);
        if (at != std::string::npos && (cut == std::string::npos || at > cut)) cut = at;
    }
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}
