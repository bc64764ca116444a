// The dead keys of the HP 7-bit national sets: an accented letter is typed as
// an accent (the dead key) followed by the letter. Writing joins the two into
// the HP Roman-8 code of the accented letter; reading splits that code again.
#pragma once

#include <array>
#include <cstdint>

namespace kx {

// Dead keys by index 1 to 4: apostrophe (acute), grave, circumflex, tilde
// (diaeresis). Index 0 is none.
inline constexpr uint8_t kDeadKeys[5] = {0, 0x27, 0x60, 0x5E, 0x7E};

// The letters a dead key joins with, by index 0 to 10: space a e i o u A E I O U.
inline constexpr uint8_t kBaseLetters[11] = {0x20, 'a', 'e', 'i', 'o', 'u', 'A', 'E', 'I', 'O', 'U'};

// The Roman-8 code of dead key d (row d - 1) with letter k.
inline constexpr uint8_t kComposeTable[4][11] = {
    {0xA8, 0xC4, 0xC5, 0xD5, 0xC6, 0xC7, 0xE0, 0xDC, 0xE5, 0xE7, 0xED},  // apostrophe
    {0xA9, 0xC8, 0xC9, 0xD9, 0xCA, 0xCB, 0xA1, 0xA3, 0xE6, 0xE8, 0xAD},  // grave
    {0xAA, 0xC0, 0xC1, 0xD1, 0xC2, 0xC3, 0xA2, 0xA4, 0xA6, 0xDF, 0xAE},  // circumflex
    {0xAB, 0xCC, 0xCD, 0xDD, 0xCE, 0xCF, 0xD8, 0xA5, 0xA7, 0xDA, 0xDB},  // tilde
};

// The split of each code by dead-key mode (row mode - 1): 0, or the letter
// index times 16 plus the dead key. Each mode splits the codes its dead keys
// can make, and the bare dead keys themselves as a dead key and a space.
struct DeadKeySplit {
    uint8_t code;
    uint8_t deadKey;
    uint8_t letter;
};

inline constexpr DeadKeySplit kSplitsCircumflexDiaeresis[] = {
    {0x5E, 3, 0}, {0x7E, 4, 0}, {0xA2, 3, 6}, {0xA4, 3, 7}, {0xA5, 4, 7}, {0xA6, 3, 8},
    {0xA7, 4, 8}, {0xAA, 3, 0}, {0xAB, 4, 0}, {0xAE, 3, 10}, {0xC0, 3, 1}, {0xC1, 3, 2},
    {0xC2, 3, 4}, {0xC3, 3, 5}, {0xCC, 4, 1}, {0xCD, 4, 2}, {0xCE, 4, 4}, {0xCF, 4, 5},
    {0xD1, 3, 3}, {0xD8, 4, 6}, {0xDA, 4, 9}, {0xDB, 4, 10}, {0xDD, 4, 3}, {0xDF, 3, 9},
};

inline constexpr DeadKeySplit kSplitsAcuteGraveDiaeresis[] = {
    {0x27, 1, 0}, {0x60, 2, 0}, {0x7E, 4, 0}, {0xA1, 2, 6}, {0xA3, 2, 7}, {0xA5, 4, 7},
    {0xA7, 4, 8}, {0xA8, 1, 0}, {0xA9, 2, 0}, {0xAB, 4, 0}, {0xAD, 2, 10}, {0xC4, 1, 1},
    {0xC5, 1, 2}, {0xC6, 1, 4}, {0xC7, 1, 5}, {0xC8, 2, 1}, {0xC9, 2, 2}, {0xCA, 2, 4},
    {0xCB, 2, 5}, {0xCC, 4, 1}, {0xCD, 4, 2}, {0xCE, 4, 4}, {0xCF, 4, 5}, {0xD5, 1, 3},
    {0xD8, 4, 6}, {0xD9, 2, 3}, {0xDA, 4, 9}, {0xDB, 4, 10}, {0xDC, 1, 7}, {0xDD, 4, 3},
    {0xE0, 1, 6}, {0xE5, 1, 8}, {0xE6, 2, 8}, {0xE7, 1, 9}, {0xE8, 2, 9}, {0xED, 1, 10},
};

template <std::size_t N>
constexpr std::array<uint8_t, 256> MakeDecomposeTable(const DeadKeySplit (&splits)[N]) {
    std::array<uint8_t, 256> table{};
    for (const DeadKeySplit &s : splits) table[s.code] = static_cast<uint8_t>(s.letter * 16 + s.deadKey);
    return table;
}

inline constexpr std::array<uint8_t, 256> kDecomposeTable[2] = {
    MakeDecomposeTable(kSplitsCircumflexDiaeresis),
    MakeDecomposeTable(kSplitsAcuteGraveDiaeresis),
};

}  // namespace kx
