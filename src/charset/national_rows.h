// The 7-bit national replacement sets of sets 5 (DEC Multinational), 15
// (ISO 8859-1) and 6 (HP Roman-8).
#pragma once

#include <cstdint>

namespace kx::charset {

constexpr uint32_t kNationalVariants = 17;       // variants 1 to 17
constexpr int kNationalPositions = 12;           // replaced positions of sets 5 and 15
constexpr int kNationalPositionsRoman8 = 14;     // replaced positions of set 6

// Row 0 lists the ASCII positions a national variant may replace; row v, the
// code in the 8-bit set of the character variant v shows at each of them. In
// the HP Roman-8 rows, 0xA8 to 0xAB are the non-spacing acute, grave,
// circumflex and diaeresis, which the dead-key modes turn into key sequences.
extern const uint8_t kNationalRowsDecMcs[kNationalVariants + 1][kNationalPositions];
extern const uint8_t kNationalRowsLatin1[kNationalVariants + 1][kNationalPositions];
extern const uint8_t kNationalRowsRoman8[kNationalVariants + 1][kNationalPositionsRoman8];

}  // namespace kx::charset
