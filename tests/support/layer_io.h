// Reading and writing whole files through a handle's layers, for the tests of
// the text and compression layers, and hex fixtures.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "kxfiles.h"
#include "support/hex_text.h"

namespace kxtest {

// The layers a test switches on: text options (0: none) with a tab width, a
// compression method (0: none, 32: record mode), and a translation between
// two character sets (from 0: none).
struct Layers {
    uint32_t text = 0;
    uint32_t tabWidth = 8;
    uint32_t method = 0;
    uint16_t from = 0, to = 0;
};

// "41 42 0d" -> the bytes; spaces between bytes are optional.
std::string Hex(const std::string &text);

// Opens `name` (kxFileOpen, read-only) or creates it, and switches on the
// layers; null when any step fails.
KXFILE OpenReading(const std::string &name, const Layers &layers);
KXFILE CreateWriting(const std::string &name, const Layers &layers);

// Reads until a read returns count 0, taking the read sizes from `sizes` in
// turn. False when a read fails.
bool ReadAll(KXFILE file, const std::vector<uint32_t> &sizes, std::string &out);
// Writes `data` in pieces of the sizes in turn, up to a write that takes fewer
// bytes than given (an expander that has seen the end code). False when a
// write fails.
bool WriteAll(KXFILE file, const std::string &data, const std::vector<uint32_t> &sizes);

// The file `name` read whole through `layers` in reads of `size` bytes, or
// "<failed>".
std::string ReadThrough(const std::string &name, const Layers &layers, uint32_t size = 65536);
// Writes `data` through `layers` to a new file `name` in pieces of `size`;
// false when any step fails.
bool WriteThrough(const std::string &name, const Layers &layers, const std::string &data,
                  uint32_t size = 65536);

// Sizes for reads and writes: mostly random up to `largest`, with 1, 4095,
// 4096 and 4097 among them.
std::vector<uint32_t> MixedSizes(std::mt19937 &random, uint32_t largest = 9000);

}  // namespace kxtest
