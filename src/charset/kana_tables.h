// Katakana data of the double-byte side of the character-set layer: the
// full-width forms of the Shift-JIS half-width katakana as JIS X 0208 codes
// (and so as Shift-JIS pairs), and the JIS cells of the voiced and
// semi-voiced katakana.
#pragma once

#include <cstdint>

namespace kx {

constexpr uint8_t kHalfKanaFirst = 0xA1;   // first Shift-JIS half-width katakana byte
constexpr uint8_t kHalfKanaLast = 0xDF;    // last one
constexpr uint8_t kVoicedMark = 0xDE;      // half-width voiced sound mark
constexpr uint8_t kSemiVoicedMark = 0xDF;  // half-width semi-voiced sound mark

// For each byte 0xA0 to 0xDF (index byte - 0xA0), the JIS X 0208 code (row
// high, cell low) of the full-width form of that half-width katakana; 0 for
// 0xA0, which has none.
constexpr int kKanaJisEntries = 64;
extern const uint16_t KanaJisTable[kKanaJisEntries];

// The Shift-JIS pair of the full-width form of the half-width katakana
// `half` (0xA1-0xDF), lead byte high: its JIS code in Shift-JIS.
uint16_t KanaFullWidth(uint8_t half);

// The katakana row of JIS X 0208 and the cells in it of the voiced katakana
// (the last, 0x74, is the voiced U) and of the semi-voiced ones.
constexpr uint8_t kKatakanaRow = 0x25;
extern const uint8_t KanaVoicedCells[21];
extern const uint8_t KanaSemiVoicedCells[5];

}  // namespace kx
