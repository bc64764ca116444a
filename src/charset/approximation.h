// The constant data of approximate translation: what a character becomes in a
// set that lacks it.
#pragma once

#include <cstdint>

namespace kx::charset {

// For each box-drawing character U+2500 to U+256C, the low byte of the
// U+25xx character to try next. Heavy lines lead to double lines, double and
// dashed lines to single lines; every chain ends at a character that names
// itself.
constexpr uint16_t kBoxDrawingFirst = 0x2500;
constexpr uint16_t kBoxDrawingLast = 0x256C;
extern const uint8_t kBoxDrawingFallback[kBoxDrawingLast - kBoxDrawingFirst + 1];

// A character and the ASCII byte that stands for it, searched first to last;
// the list ends with a pair of zeros.
struct ApproximationPair {
    uint16_t character;
    uint8_t byte;
};
constexpr int kApproximationPairCount = 57;
extern const ApproximationPair kApproximationPairs[kApproximationPairCount + 1];

// For each character U+00A0 to U+02AF, the ASCII letter or sign without its
// accent; 0 for none.
constexpr uint16_t kAccentFirst = 0x00A0;
constexpr uint16_t kAccentLast = 0x02AF;
extern const uint8_t (&kAccentFallback)[kAccentLast - kAccentFirst + 1];

}  // namespace kx::charset
