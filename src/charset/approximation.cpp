// The constant data of approximate translation, as the table builder uses it.
#include "charset/approximation.h"

#include <cstddef>

namespace kx::charset {

// Low bytes of the next U+25xx character, sixteen to a row.
const uint8_t kBoxDrawingFallback[kBoxDrawingLast - kBoxDrawingFirst + 1] = {
    /* U+2500 */ 0x00, 0x50, 0x02, 0x51, 0x00, 0x50, 0x02, 0x51, 0x00, 0x50, 0x02, 0x51, 0x0C, 0x0C, 0x0C, 0x54,
    /* U+2510 */ 0x10, 0x10, 0x10, 0x57, 0x14, 0x14, 0x14, 0x5A, 0x18, 0x18, 0x18, 0x5D, 0x1C, 0x5E, 0x1C, 0x1C,
    /* U+2520 */ 0x5F, 0x1C, 0x1C, 0x60, 0x24, 0x61, 0x24, 0x24, 0x62, 0x24, 0x24, 0x63, 0x2C, 0x2C, 0x2C, 0x64,
    /* U+2530 */ 0x65, 0x2C, 0x2C, 0x66, 0x34, 0x34, 0x34, 0x67, 0x68, 0x34, 0x34, 0x69, 0x3C, 0x3C, 0x3C, 0x6A,
    /* U+2540 */ 0x3C, 0x3C, 0x6B, 0x3C, 0x3C, 0x3C, 0x3C, 0x3C, 0x3C, 0x3C, 0x3C, 0x6C, 0x00, 0x01, 0x02, 0x03,
    /* U+2550 */ 0x00, 0x02, 0x0C, 0x0C, 0x0C, 0x10, 0x10, 0x10, 0x14, 0x14, 0x14, 0x18, 0x18, 0x18, 0x1C, 0x1C,
    /* U+2560 */ 0x1C, 0x24, 0x24, 0x24, 0x2C, 0x2C, 0x2C, 0x34, 0x34, 0x34, 0x3C, 0x3C, 0x3C,
};

// Searched first to last; the first pair with the character gives the byte.
const ApproximationPair kApproximationPairs[kApproximationPairCount + 1] = {
    {0x2524, '|'}, {0x2561, '|'}, {0x2562, '|'}, {0x2556, '+'},
    {0x2555, '+'}, {0x2563, '|'}, {0x2551, '|'}, {0x2557, '+'},
    {0x255D, '+'}, {0x255C, '+'}, {0x255B, '+'}, {0x2510, '+'},
    {0x2514, '+'}, {0x2534, '-'}, {0x252C, '-'}, {0x251C, '|'},
    {0x2500, '-'}, {0x253C, '+'}, {0x255E, '|'}, {0x255F, '|'},
    {0x255A, '+'}, {0x2554, '+'}, {0x2569, '-'}, {0x2566, '-'},
    {0x2560, '|'}, {0x2550, '-'}, {0x256C, '+'}, {0x2567, '-'},
    {0x2568, '-'}, {0x2564, '-'}, {0x2565, '-'}, {0x2559, '+'},
    {0x2558, '+'}, {0x2552, '+'}, {0x2553, '+'}, {0x256B, '+'},
    {0x256A, '+'}, {0x2518, '+'}, {0x250C, '+'}, {0x20A7, 'P'},
    {0x2502, '|'}, {0x02C6, '^'}, {0x02DC, '~'}, {0x2030, '%'},
    {0x2122, 'T'}, {0x2039, '<'}, {0x203A, '>'}, {0x2018, '\''},
    {0x201A, ','}, {0x2019, '\''}, {0x201C, '"'}, {0x201E, ','},
    {0x201D, '"'}, {0x2026, '.'}, {0x2020, '+'}, {0x2013, '-'},
    {0x2014, '-'},
    {0, 0},
};

namespace {

// The accent table is written as rows of 32 characters, one per character
// from the row's first, with '_' where a character has no fallback.
constexpr size_t kAccentCount = kAccentLast - kAccentFirst + 1;

struct AccentRows {
    uint8_t bytes[kAccentCount];
};

template <size_t N>
constexpr AccentRows FromRows(const char (&text)[N]) {
    static_assert(N - 1 == kAccentCount, "one character per code");
    AccentRows rows{};
    for (size_t i = 0; i < kAccentCount; ++i)
        rows.bytes[i] = text[i] == '_' ? 0 : static_cast<uint8_t>(text[i]);
    return rows;
}

constexpr AccentRows kAccentRows = FromRows(
    /* U+00A0 */ "_!cP_Y|__c_<_-r____________>___?"
    /* U+00C0 */ "AAAAAAACEEEEIIIIDNOOOOO*OUUUUYTs"
    /* U+00E0 */ "aaaaaaaceeeeiiiidnooooo/ouuuuyty"
    /* U+0100 */ "AaAaAaCcCcCcCcDdDdEeEeEeEeEeGgGg"
    /* U+0120 */ "GgGgHhHhIiIiIiIiIkIiJjKkkLlLlLlL"
    /* U+0140 */ "lLlNnNnNnnNnOoOoOoOoRrRrRrSsSsSs"
    /* U+0160 */ "SsTtTtTtUuUuUuUuUuUuWwYyYZzZzZzs"
    /* U+0180 */ "bBBb__OCcDDDddE_EFfGGhIIKkllmNnO"
    /* U+01A0 */ "OoOoPpy____tTtTUuUVYyZzZZzz2____"
    /* U+01C0 */ "|__!DDdLLlNNnAaIiOoUuUuUuUuUueAa"
    /* U+01E0 */ "AaAaGgGgKkOoOoZzjDDdGg____AaAaOo"
    /* U+0200 */ "AaAaEeEeIiIiOoOoRrRrUuUu________"
    /* U+0220 */ "________________________________"
    /* U+0240 */ "________________aaabocdde__eeeej"
    /* U+0260 */ "ggGgghyhiiIllllmmmnnNoOoprrrrrrr"
    /* U+0280 */ "RRssjssttuuvvwyYzzzz___c.BeGHjxL"
    /* U+02A0 */ "q__dddttt_______");

}  // namespace

const uint8_t (&kAccentFallback)[kAccentCount] = kAccentRows.bytes;

}  // namespace kx::charset
