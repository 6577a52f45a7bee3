// What the harnesses share: a check that stops the run with the input in hand (libFuzzer
// keeps it as a finding), and code page 932's lead bytes as a table to check against.
#pragma once

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                          \
    do {                                                                               \
        if (!(condition)) {                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                              \
        }                                                                              \
    } while (0)

// Code page 932's lead bytes as Windows reports them (GetCPInfo's ranges 0x81-0x9F and
// 0xE0-0xFC), spelt out byte by byte rather than computed; row n holds 0xn0 to 0xnF.
constexpr char kCp932LeadTable[] =
    "0000000000000000"  // 0x00
    "0000000000000000"  // 0x10
    "0000000000000000"  // 0x20
    "0000000000000000"  // 0x30
    "0000000000000000"  // 0x40
    "0000000000000000"  // 0x50
    "0000000000000000"  // 0x60
    "0000000000000000"  // 0x70
    "0111111111111111"  // 0x80
    "1111111111111111"  // 0x90
    "0000000000000000"  // 0xA0
    "0000000000000000"  // 0xB0
    "0000000000000000"  // 0xC0
    "0000000000000000"  // 0xD0
    "1111111111111111"  // 0xE0
    "1111111111111000"; // 0xF0

inline bool ReferenceLead(unsigned char b) { return kCp932LeadTable[b] == '1'; }
