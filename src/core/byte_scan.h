// Looking at eight bytes at once: the layers' block paths use these to find
// where a run of bytes that needs no work ends. Each test sets bit 7 of every
// byte of the word that passes it and clears every other bit; each is exact
// for every byte value (no carry crosses from one byte into the next).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

#if defined(__SSE2__)
// Sixteen bytes at once, where the processor has the instructions for it:
// each test gives a mask with bit i set for byte i when that byte passes it.
class Bytes16 {
public:
    explicit Bytes16(const uint8_t *p) : v_(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p))) {}
    // The bytes equal to `byte`.
    uint32_t Equal(uint8_t byte) const { return Mask(_mm_cmpeq_epi8(v_, _mm_set1_epi8(static_cast<char>(byte)))); }
    // The bytes with bit 7 set.
    uint32_t HighBit() const { return Mask(v_); }
    // The bytes outside `low` to 0x7F (low below 0x80): compared as signed
    // values, the bytes from 0x80 up are below every such `low`.
    uint32_t OutsideLowToAscii(uint32_t low) const {
        return Mask(_mm_cmpgt_epi8(_mm_set1_epi8(static_cast<char>(low)), v_));
    }
    // The bytes below `low` (1 to 0x80).
    uint32_t Below(uint32_t low) const {
        // min(x, low - 1) == x exactly when x < low, unsigned
        const __m128i lastBelow = _mm_set1_epi8(static_cast<char>(low - 1));
        return Mask(_mm_cmpeq_epi8(_mm_min_epu8(v_, lastBelow), v_));
    }
    // The bytes below `low` (0 to 0x80) or equal to 0xFF: x + 1, wrapping,
    // is at most `low` exactly for those.
    uint32_t BelowOrFF(uint32_t low) const {
        const __m128i next = _mm_add_epi8(v_, _mm_set1_epi8(1));
        return Mask(_mm_cmpeq_epi8(_mm_min_epu8(next, _mm_set1_epi8(static_cast<char>(low))), next));
    }
    void Store(uint8_t *p) const { _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v_); }

private:
    static uint32_t Mask(__m128i flags) { return static_cast<uint32_t>(_mm_movemask_epi8(flags)); }
    __m128i v_;
};

// The index (0-15) of the first byte marked in a Bytes16 mask, which is not 0.
inline uint32_t FirstMarked16(uint32_t mask) { return static_cast<uint32_t>(std::countr_zero(mask)); }
#endif

// Copies the bytes from `from` to `to` up to the first one below `low` (at
// most 0x80) or equal to 0xFF, and at most `limit` of them; the count copied.
// Sixteen bytes are looked at and stored at once where the processor has the
// instructions for it, eight otherwise: `to` may be written beyond the count,
// never beyond `limit` bytes.
inline uint32_t CopyUntilBelowOrFF(const uint8_t *from, uint8_t *to, uint32_t limit, uint32_t low) {
    uint32_t n = 0;
#if defined(__SSE2__)
    for (; n + 16 <= limit; n += 16) {
        const Bytes16 x(from + n);
        x.Store(to + n);
        if (const uint32_t stop = x.BelowOrFF(low)) return n + FirstMarked16(stop);
    }
#endif
    if constexpr (std::endian::native == std::endian::little) {
        for (; n + 8 <= limit; n += 8) {
            const uint64_t word = Load8(from + n);
            std::memcpy(to + n, &word, sizeof word);
            if (const uint64_t stop = Below(word, low) | Equal(word, 0xFF)) return n + FirstMarked(stop);
        }
    }
    for (; n < limit; ++n) {
        if (from[n] < low || from[n] == 0xFF) break;
        to[n] = from[n];
    }
    return n;
}

// Copies the bytes from `from` to `to` up to the first one with bit 7 set or
// equal to `stop` (0x80 for no other stop), and at most `limit` of them; the count
// copied. As CopyUntilBelowOrFF, `to` may be written beyond the count, never
// beyond `limit` bytes.
inline uint32_t CopyAsciiUntil(const uint8_t *from, uint8_t *to, uint32_t limit, uint8_t stop) {
    uint32_t n = 0;
#if defined(__SSE2__)
    for (; n + 16 <= limit; n += 16) {
        const Bytes16 x(from + n);
        x.Store(to + n);
        if (const uint32_t end = x.HighBit() | x.Equal(stop)) return n + FirstMarked16(end);
    }
#endif
    if constexpr (std::endian::native == std::endian::little) {
        for (; n + 8 <= limit; n += 8) {
            const uint64_t word = Load8(from + n);
            std::memcpy(to + n, &word, sizeof word);
            if (const uint64_t end = HighBit(word) | Equal(word, stop)) return n + FirstMarked(end);
        }
    }
    for (; n < limit; ++n) {
        if (from[n] >= 0x80 || from[n] == stop) break;
        to[n] = from[n];
    }
    return n;
}

// Copies `n` bytes from `from` to `to` while they are printable ASCII (0x20
// to 0x7E): true when all of them were (else `to` holds an unspecified part
// of them). `readable` bytes (at least n) may be read at `from`; `to` may be
// written up to n + 16 bytes, beyond the count, where sixteen bytes are
// looked at and stored at once (the lanes beyond n not looked at).
inline bool CopyPrintable(const uint8_t *from, [[maybe_unused]] uint32_t readable, uint8_t *to, uint32_t n) {
    uint32_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= n; i += 16) {
        const Bytes16 x(from + i);
        if ((x.OutsideLowToAscii(0x20) | x.Equal(0x7F)) != 0) return false;
        x.Store(to + i);
    }
    if (i == n) return true;
    if (i + 16 <= readable) {
        const Bytes16 x(from + i);
        x.Store(to + i);
        return ((x.OutsideLowToAscii(0x20) | x.Equal(0x7F)) & ((1u << (n - i)) - 1)) == 0;
    }
#endif
    for (; i < n; ++i) {
        if (from[i] < 0x20 || from[i] > 0x7E) return false;
        to[i] = from[i];
    }
    return true;
}

}  // namespace kx::bytescan
