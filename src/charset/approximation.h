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

// The stand-in for `character` in a set that lacks it, where codeOf(c) is the
// set's code of the character c or -1. Box-drawing characters follow their
// fallback chain (heavy to double to single lines) until the set has one;
// then a known ASCII look-alike, the character itself when it is ASCII, or
// the letter without its accent, each as its ASCII code; else
// `defaultCode`.
template <class CodeOf>
int ApproximateIn(uint32_t character, CodeOf codeOf, int defaultCode) {
    if (character >= kBoxDrawingFirst && character <= kBoxDrawingLast) {
        for (;;) {
            uint32_t next = kBoxDrawingFirst | kBoxDrawingFallback[character - kBoxDrawingFirst];
            if (next == character) break;
            character = next;
            int code = codeOf(static_cast<uint16_t>(character));
            if (code >= 0) return code;
        }
    }
    for (const ApproximationPair *pair = kApproximationPairs; pair->character != 0; ++pair)
        if (pair->character == character) return pair->byte;
    if (character >= 0x20 && character <= 0x7F) return static_cast<int>(character);
    if (character >= kAccentFirst && character <= kAccentLast) {
        uint8_t letter = kAccentFallback[character - kAccentFirst];
        if (letter != 0) return letter;
    }
    return defaultCode;
}

}  // namespace kx::charset
