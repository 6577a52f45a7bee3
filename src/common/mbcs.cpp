#include "common/mbcs.h"

bool IsCp932LeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

size_t FindLastCharacter(const char* text, char ch, LeadBytePredicate isLead) {
    size_t found = std::string::npos;
    for (size_t i = 0; text[i] != '\0'; ++i) {
        if (isLead(static_cast<unsigned char>(text[i]))) {
            if (text[i + 1] == '\0') break;  // a lone lead byte ends the text
            ++i;                             // skip the trail byte, whatever its value
        } else if (text[i] == ch) {
            found = i;
        }
    }
    return found;
}

static char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringAsciiCase(const std::string& a, const std::string& b, LeadBytePredicate isLead) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (isLead(static_cast<unsigned char>(a[i])) && i + 1 < a.size()) {
            // A double-byte character: both bytes must match exactly.
            if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
            ++i;
        } else if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

bool HoldsLeadByte(const std::string& text, LeadBytePredicate isLead) {
    for (size_t i = 0; i < text.size(); ++i) {
        if (isLead(static_cast<unsigned char>(text[i]))) return true;
    }
    return false;
}
