// The rank table of methods 4 and 8: its first order, the working copy a read
// or write uses, and halving.
#include "compress/rank_table.h"

#include "compress/methods.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kx {

void ResetRanks(CompressionState &state) {
    for (int i = 0; i < 256; ++i) state.ranks[i] = RankEntry{0, static_cast<uint8_t>(i)};
}

namespace rank {
namespace {

// above[] from the counts alone.
void CountAbove(WorkTable &w) {
    uint16_t entries[256] = {};
    for (uint32_t r = 0; r < 256; ++r) ++entries[w.count[r]];
    uint32_t sum = 0;
    for (int x = 255; x >= 0; --x) {
        w.above[x] = static_cast<uint16_t>(sum);
        sum += entries[x];
    }
}

// Halving: the entries above count x afterwards are those counted above 2x+1
// before; nothing counts above 127 afterwards.
void HalveAbove(uint16_t (&above)[256]) {
    uint32_t x = 0;
#if defined(__SSE2__)
    // Eight at a time: the odd entries of sixteen, packed (every number is at
    // most 256, so the signed packing keeps it). Each group is read before the
    // lower entries it fills are written.
    for (; x < 128; x += 8) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i *>(above + 2 * x));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i *>(above + 2 * x + 8));
        const __m128i odd = _mm_packs_epi32(_mm_srli_epi32(low, 16), _mm_srli_epi32(high, 16));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(above + x), odd);
    }
#endif
    for (; x < 128; ++x) above[x] = above[2 * x + 1];
    for (x = 128; x < 256; ++x) above[x] = 0;
}

}  // namespace

void LoadTable(WorkTable &w, const CompressionState &s) {
    for (uint32_t r = 0; r < 256; ++r) {
        w.count[r] = s.ranks[r].count;
        w.symbol[r] = s.ranks[r].symbol;
    }
    for (uint32_t r = 0; r < 256; ++r) w.place[w.symbol[r]] = Place(r, w.count[r]);
    CountAbove(w);
}

void StoreTableByPlace(const WorkTable &w, CompressionState &s) {
    for (uint32_t r = 0; r < 256; ++r)
        s.ranks[r] = RankEntry{static_cast<uint8_t>(w.place[w.symbol[r]] >> 8), w.symbol[r]};
}

void StoreTableByCount(const WorkTable &w, CompressionState &s) {
    for (uint32_t r = 0; r < 256; ++r) s.ranks[r] = RankEntry{w.count[r], w.symbol[r]};
}

void HalveCounts(WorkTable &w) {
    for (uint8_t &c : w.count) c = static_cast<uint8_t>(c >> 1);
    HalveAbove(w.above);
}

void HalvePlaces(WorkTable &w) {
    for (uint32_t x = 0; x < 256; ++x) w.place[x] = Place(w.place[x] & 0xFF, w.place[x] >> 9);
    HalveAbove(w.above);
}

}  // namespace rank
}  // namespace kx
