// Helpers of the double-byte conversion tests: one call of each export with
// a known starting value in *out, and the reference files of this folder.
#pragma once

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kxfiles.h"

namespace kxtest::dbcs {

constexpr uint16_t kUntouched = 0xABCD;  // *out before the call

struct Converted {
    int32_t ok;
    uint16_t out;
};

inline Converted ToHost(uint16_t code, uint32_t set) {
    uint16_t out = kUntouched;
    int32_t ok = kxFileMicro2HostDBCS(code, &out, set);
    return {ok, out};
}

inline Converted ToPc(uint16_t code, uint32_t set) {
    uint16_t out = kUntouched;
    int32_t ok = kxFileHost2MicroDBCS(code, &out, set);
    return {ok, out};
}

// The lines of a file under tests/dbcs, without comments and blank lines,
// each split into its fields.
inline std::vector<std::vector<std::string>> ReadFields(const std::string &name) {
    std::ifstream in(std::string(KXFILES_SOURCE_DIR) + "/tests/dbcs/" + name);
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::vector<std::string> row;
        for (std::string field; fields >> field;) row.push_back(field);
        rows.push_back(row);
    }
    return rows;
}

inline uint16_t Hex(const std::string &text) {
    return static_cast<uint16_t>(std::stoul(text, nullptr, 16));
}

// Every two-byte Shift-JIS code of lead bytes `first` to `last`.
inline std::vector<uint16_t> ShiftJisCodes(unsigned first, unsigned last) {
    std::vector<uint16_t> codes;
    for (unsigned lead = first; lead <= last; ++lead)
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail)
            if (trail != 0x7F) codes.push_back(static_cast<uint16_t>(lead << 8 | trail));
    return codes;
}

}  // namespace kxtest::dbcs
