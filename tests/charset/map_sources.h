// The character-set sources under resources/charsets, read by the tests as a
// reviewer reads them: the registry and one text file of 256 lines per map.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kxtest {

struct RegistryRow {
    uint16_t id;
    std::string file;  // "-", "=51", or the map source's file name
};

// Every row of registry.txt, in order.
const std::vector<RegistryRow> &Registry();

// The 256 values of a source file: Unicode values ("# format: unicode map") or
// bytes ("# format: identity bytes"); `identity` says which it was.
std::array<uint16_t, 256> SourceValues(const std::string &file, bool *identity = nullptr);

// The Unicode map of a set as its source gives it; the set must have one.
std::array<uint16_t, 256> MapOf(uint16_t id);

}  // namespace kxtest
