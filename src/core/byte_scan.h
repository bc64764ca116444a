// Looking at eight bytes at once: the layers' block paths use these to find
// where a run of bytes that needs no work ends. Each test sets bit 7 of every
// byte of the word that passes it and clears every other bit; each is exact
// for every byte value (no carry crosses from one byte into the next).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace kx::bytescan {

constexpr uint64_t kOnes = 0x0101010101010101ull;
constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
constexpr uint64_t kHigh = 0x8080808080808080ull;

// The eight bytes at `p`, the first in the low bits.
inline uint64_t Load8(const uint8_t *p) {
    uint64_t word;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&word, p, sizeof word);
    } else {
        word = 0;
        for (int i = 7; i >= 0; --i) word = word << 8 | p[i];
    }
    return word;
}

// The bytes from `low` to 0x7F (low at most 0x80).
inline uint64_t InRangeToAscii(uint64_t word, uint32_t low) {
    return ((word & kLow7) + kOnes * (0x80 - low)) & ~word & kHigh;
}

// The bytes below `limit` (at most 0x80).
inline uint64_t Below(uint64_t word, uint32_t limit) {
    return ~((word & kLow7) + kOnes * (0x80 - limit)) & ~word & kHigh;
}

// The bytes equal to `byte`.
inline uint64_t Equal(uint64_t word, uint8_t byte) {
    uint64_t x = word ^ (kOnes * byte);
    return ~(((x & kLow7) + kLow7) | x) & kHigh;
}

// The bytes with bit 7 set.
inline uint64_t HighBit(uint64_t word) { return word & kHigh; }

// The index (0-7) of the first byte marked in `flags`, which is not 0.
inline uint32_t FirstMarked(uint64_t flags) { return static_cast<uint32_t>(std::countr_zero(flags)) >> 3; }

}  // namespace kx::bytescan
