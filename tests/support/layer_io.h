// Whole files read and written through a handle's layers, and hex fixtures.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "kxfiles.h"
#include "support/hex_text.h"

namespace kxtest {

// Text options with a tab width, a compression method (32: record mode) and a
// translation between two character sets; 0 switches a layer off.
struct Layers {
    uint32_t text = 0;
    uint32_t tabWidth = 8;
    uint32_t method = 0;
    uint16_t from = 0, to = 0;
};

// "41 42 0d" -> the bytes; spaces between bytes are optional.
std::string Hex(const std::string &text);

// Opens `name` read-only or creates it, with the layers on; null on failure.
KXFILE OpenReading(const std::string &name, const Layers &layers);
KXFILE CreateWriting(const std::string &name, const Layers &layers);

// Reads until a read returns 0 bytes, in reads of `sizes` in turn; false on failure.
bool ReadAll(KXFILE file, const std::vector<uint32_t> &sizes, std::string &out);
// Writes `data` in pieces of `sizes` in turn, up to a write that takes fewer
// bytes than given (an expander that has seen the end code); false on failure.
bool WriteAll(KXFILE file, const std::string &data, const std::vector<uint32_t> &sizes);

// The file `name` read whole through `layers` in reads of `size`, or "<failed>".
std::string ReadThrough(const std::string &name, const Layers &layers, uint32_t size = 65536);
// Writes `data` through `layers` to a new file `name` in pieces of `size`.
bool WriteThrough(const std::string &name, const Layers &layers, const std::string &data,
                  uint32_t size = 65536);

// Sizes mostly random up to `largest`, with 1, 4095, 4096 and 4097 among them.
std::vector<uint32_t> MixedSizes(std::mt19937 &random, uint32_t largest = 9000);

}  // namespace kxtest
