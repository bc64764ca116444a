// Methods 4 and 8, adaptive rank coding: what the compressor
// (rank_compressor.cpp) and the expander (rank_expander.cpp) share. Each
// symbol passes a run-length stage and is then coded by its rank in a table
// kept in order of use, with a prefix code of 4 to 11 bits, most significant
// bit first. Both sides update the table the same way after every symbol, so
// no table travels with the data.
//
// Method 4 codes the output of the space compressor (and expands into the
// space expander), which reach the layers below as usual; method 8 codes the
// file's bytes straight from the buffered stream and expands straight into it.
//
// The code of a rank: a 3-bit class, then a suffix of k bits, rank - base.
//   class  base  k   ranks
//     0      0   1   0-1
//     1      2   1   2-3
//     c    2^c   c   2^c to 2^(c+1)-1, for c = 2..6
//     7    128   7   128-254 (suffix 0-126)
// The class 7 suffix 127 is followed by one more bit: 0 is rank 255, 1 the
// end code (eleven 1-bits), which closes data that do not end on a byte.
#pragma once

#include <cstdint>

#include "compress/compression_layer.h"

namespace kx {
namespace rank {

constexpr uint32_t kMethodRankRaw = 8;

// CompressionState::runState. A value seen three times in a row is followed
// by a count symbol (0-250) for the further copies, which are not coded.
//
// Compressor: kRunFirst -> kRunOnce -> kRunTwice -> kRunCount -> kRunAfterCount
// -> kRunOnce ...; at the end of the data kRunEndCoded or kRunFinished.
// Expander: kRunFirst -> kRunOnce -> kRunTwice -> kRunCount -> kRunFirst.
enum RunState : uint32_t {
    kRunFirst = 0,       // waiting for the first symbol
    kRunOnce = 1,        // runLast seen once in a row
    kRunTwice = 2,       // runLast seen twice in a row
    kRunCount = 3,       // runLast seen three times: waiting for (sending) the count
    kRunAfterCount = 4,  // compressor: runLast, the value that ended the run, is due
    kRunFinished = 5,    // compressor: the data and its last byte are out; only the end remains
    kRunEndCoded = 6,    // compressor: the end code is in the accumulator
};

// The run stage's state, held in locals for the length of one read or write
// and stored back into the state record at its end.
struct RunStage {
    int32_t last;    // runLast
    uint32_t state;  // runState
};

constexpr uint8_t kHalvingCount = 255;
constexpr uint32_t kClassBits = 3;
constexpr uint32_t kTopClass = 7;
constexpr uint32_t kTopSuffix = 127;
constexpr uint32_t kEndCode = 0x7FF;  // eleven 1-bits
constexpr uint32_t kEndCodeLength = 11;
constexpr uint32_t kLongestCode = 11;

constexpr uint32_t ClassBase(uint32_t cls) { return cls == 0 ? 0 : 1u << cls; }
constexpr uint32_t SuffixBits(uint32_t cls) { return cls == 0 ? 1 : cls; }

// The code of each rank, right-aligned, and its length.
struct RankCodes {
    uint16_t code[256];
    uint8_t length[256];
    constexpr RankCodes() : code{}, length{} {
        for (uint32_t r = 0; r < 255; ++r) {
            uint32_t cls = 0;
            if (r >= 2) {
                cls = 1;
                while ((2u << cls) <= r) ++cls;
            }
            const uint32_t k = SuffixBits(cls);
            code[r] = static_cast<uint16_t>((cls << k) | (r - ClassBase(cls)));
            length[r] = static_cast<uint8_t>(kClassBits + k);
        }
        code[255] = static_cast<uint16_t>((kTopClass << 8) | (kTopSuffix << 1));  // ...1111110
        length[255] = kLongestCode;
    }
};
inline constexpr RankCodes kCodes;

// The table stays sorted by count, highest first: an entry only ever moves up
// past the entries whose count its own count has just passed, and halving
// keeps the order. So the entries of one count stand together.
//
// For the length of one read or write the table is worked on in a copy of its
// own: the symbols in rank order, each symbol's rank, the counts, and for each
// count x the number of entries counted above x, which is where the group of
// count x begins. Being local, its stores cannot touch the stream or the state
// record, so the hot loops keep those in registers.
//
// The compressor keeps each symbol's rank and count together (place): it
// knows the symbol before its rank, so one load gives both, rather than the
// rank and then the count, which shortens the chain of loads each symbol waits
// for. The expander knows the rank first and keeps the counts by rank (count).
struct WorkTable {
    uint8_t count[256];    // expander: the count of the entry at each rank
    uint8_t symbol[256];
    uint16_t place[256];   // compressor: each symbol's rank | its count << 8
    uint16_t above[256];   // entries whose count is greater than the index (0-256)
};

constexpr uint16_t Place(uint32_t rank, uint32_t count) { return static_cast<uint16_t>(rank | count << 8); }

// The working copy from the state record, every field filled, and back: the
// compressor's counts are those of place, the expander's those of count.
void LoadTable(WorkTable &w, const CompressionState &s);
void StoreTableByPlace(const WorkTable &w, CompressionState &s);
void StoreTableByCount(const WorkTable &w, CompressionState &s);

// All counts halved, with above[] to match: count alone (the expander's) or
// place (the compressor's).
[[gnu::noinline]] void HalveCounts(WorkTable &w);
[[gnu::noinline]] void HalvePlaces(WorkTable &w);

// After the symbol at rank r was coded: its count goes up by one, and it moves
// up to the first of the entries with its old count (the smallest t with every
// entry from t to r-1 counted less than the new count), trading places with
// that entry. All counts halve when one reaches 255.
//
// Entry t = above[old] has the old count too, so only the symbols change places
// and t takes the new count; one more entry now counts above `old`, and no other
// number of entries above a count changes. When t is r nothing moves.
//
// Where t is r (most often) the stores at t and at r go to one place; the
// store at r, whose address is known early, comes last and gives the value, so
// that the next symbol's loads from r need not wait for t to be known.
inline void UpdateRanks(WorkTable &w, uint32_t r) {
    const uint32_t old = w.count[r];
    const uint32_t t = w.above[old];
    w.above[old] = static_cast<uint16_t>(t + 1);
    const uint8_t moving = w.symbol[r], displaced = w.symbol[t];
    w.symbol[t] = moving;
    w.symbol[r] = displaced;
    w.count[t] = static_cast<uint8_t>(old + 1);
    w.count[r] = static_cast<uint8_t>(old + (t == r));
    if (old + 1 == kHalvingCount) [[unlikely]] HalveCounts(w);
}

// The compressor's UpdateRanks, for `symbol` found at `place`, with the
// places kept up to date: the same moves. The displaced entry had the old
// count too.
inline void UpdateRanksOf(WorkTable &w, uint8_t symbol, uint32_t place) {
    const uint32_t r = place & 0xFF, old = place >> 8;
    const uint32_t t = w.above[old];
    w.above[old] = static_cast<uint16_t>(t + 1);
    const uint8_t displaced = w.symbol[t];
    w.symbol[t] = symbol;
    w.symbol[r] = displaced;
    // Where t is r the displaced symbol is this one, and the second store,
    // whose address is known early, gives its place.
    w.place[displaced] = Place(r, old);
    w.place[symbol] = Place(t, old + 1);
    if (old + 1 == kHalvingCount) [[unlikely]] HalvePlaces(w);
}

}  // namespace rank
}  // namespace kx
