// Bytes as hexadecimal text ("41 42 0d "), for failure messages of the tests
// and the fuzz targets alike; needs nothing but the standard library.
#pragma once

#include <cstdio>
#include <string>

namespace kxtest {

inline std::string ToHex(const std::string &bytes) {
    std::string text;
    char cell[4];
    for (unsigned char c : bytes) {
        std::snprintf(cell, sizeof cell, "%02x ", c);
        text += cell;
    }
    return text;
}

}  // namespace kxtest
