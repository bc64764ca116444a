// The constant tables of the double-byte conversion: the 1978/1983 JIS
// exchanges, row 0x74, the host box-drawing row of set 56, the JIS X 0212
// codes of the IBM extension characters, the trail bytes of set 77, and the
// IBM extension codes that sets 54 and 73 send as JIS X 0208 characters.
#pragma once

#include <cstdint>

namespace kx::dbcs {

// The 22 pairs of kanji that exchange places between the 1978 and the 1983
// ordering of JIS; each code of a pair becomes the other, in both directions.
struct JisPair {
    uint16_t first;
    uint16_t second;
};
extern const JisPair JisSwapPairs[22];

// Row 0x74 of the 1983 ordering: towards the host (new to old) six codes,
// towards the PC (old to new) four.
extern const JisPair JisRowSeventyFourToHost[6];
extern const JisPair JisRowSeventyFourToPc[4];

// Set 56: the second bytes of host row 0xFE for the JIS box-drawing codes
// 0x2821 + i, and the folding of the mixed box characters 0x2837 to 0x2840.
constexpr int kHostBoxCount = 11;
extern const uint8_t HostBoxRow[kHostBoxCount];
extern const uint8_t HostBoxMixed[10];

// The JIS X 0212 codes (JIS form, 0 for none) of the IBM extension
// characters from host code 0xC035 to 0xC42C (Shift-JIS 0xFA54 to 0xFC4B):
// index = (row - 0xC0) * 94 + (column - 0x21) - 20.
constexpr int kJis0212Entries = 368;
extern const uint16_t Jis0212Table[kJis0212Entries];

// Set 77: trail bytes 0x40 to 0x7E that change towards the host, and back.
struct TrailPair {
    uint8_t pc;
    uint8_t host;
};
extern const TrailPair TrailRemap[11];

// Sets 54 and 73: the 15 IBM extension codes (extended-row numbering,
// Shift-JIS 0xFA4A to 0xFA54 and 0xFA58 to 0xFA5B) with the JIS X 0208 codes
// of the same characters.
extern const JisPair IbmSpecialCharacters[15];

}  // namespace kx::dbcs
