// Methods 4 and 8, adaptive rank coding. Each symbol passes a run-length stage
// and is then coded by its rank in a table kept in order of use, with a prefix
// code of 4 to 11 bits, most significant bit first. Both sides update the table
// the same way after every symbol, so no table travels with the data.
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
#include <utility>

#include "compress/space.h"

namespace kx {
namespace {

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

// CompressionState::decodeStep, the expander's place within a code.
enum DecodeStep : uint32_t {
    kDecodeStart = 0,      // waiting for the first bit of a code
    kDecodeClass = 1,      // waiting for the rest of the 3-bit class
    kDecodeSuffix = 2,     // waiting for the rest of the suffix
    kDecodeExtension = 3,  // waiting for the bit after a class 7 suffix of 127
    kDecodeEnded = 4,      // the end code was decoded; nothing more is taken
};

constexpr int kLongestCount = 250;
constexpr uint8_t kHalvingCount = 255;
constexpr uint32_t kClassBits = 3;
constexpr uint32_t kTopClass = 7;
constexpr uint32_t kTopSuffix = 127;
constexpr uint32_t kEndCode = 0x7FF;  // eleven 1-bits
constexpr uint32_t kEndCodeLength = 11;

// The code of each rank, right-aligned, and its length.
struct RankCodes {
    uint16_t code[256];
    uint8_t length[256];
    constexpr RankCodes() : code{}, length{} {
        for (uint32_t r = 0; r < 255; ++r) {
            uint32_t cls = 0, k = 1;
            if (r >= 2) {
                cls = 1;
                while ((2u << cls) <= r) ++cls;
                k = cls;
            }
            uint32_t base = cls == 0 ? 0 : 1u << cls;
            code[r] = static_cast<uint16_t>((cls << k) | (r - base));
            length[r] = static_cast<uint8_t>(kClassBits + k);
        }
        code[255] = static_cast<uint16_t>((kTopClass << 8) | (kTopSuffix << 1));  // ...1111110
        length[255] = 11;
    }
};
constexpr RankCodes kCodes;

constexpr uint32_t ClassBase(uint32_t cls) { return cls == 0 ? 0 : 1u << cls; }
constexpr uint32_t SuffixBits(uint32_t cls) { return cls == 0 ? 1 : cls; }

// The table stays sorted by count, highest first: an entry only ever moves up
// past the entries whose count its own count has just passed, and halving
// keeps the order. So the entries of one count stand together, and
// firstOfCount finds the top of each group without a scan.
void RebuildFirstOfCount(CompressionState &s) {
    for (int r = 255; r >= 0; --r) s.firstOfCount[s.ranks[r].count] = static_cast<uint8_t>(r);
}

void HalveCounts(CompressionState &s) {
    for (RankEntry &e : s.ranks) e.count = static_cast<uint8_t>(e.count / 2);
    RebuildFirstOfCount(s);
}

// After the symbol at rank r was coded: its count goes up by one, and it moves
// up to the first of the entries with its old count (the smallest t with every
// entry from t to r-1 counted less than the new count), trading places with
// that entry. All counts halve when one reaches 255.
inline void UpdateRanks(CompressionState &s, uint32_t r) {
    const uint8_t old = s.ranks[r].count;
    const uint8_t c = static_cast<uint8_t>(old + 1);
    const uint32_t t = s.firstOfCount[old];
    // Entry t has the old count too, so only the symbols change places and t
    // takes the new count. Without branches: when t is r nothing moves.
    const uint8_t moving = s.ranks[r].symbol, displaced = s.ranks[t].symbol;
    s.ranks[r].symbol = displaced;
    s.ranks[t].symbol = moving;
    s.ranks[t].count = c;
    s.rankOf[displaced] = static_cast<uint8_t>(r);
    s.rankOf[moving] = static_cast<uint8_t>(t);
    s.firstOfCount[old] = static_cast<uint8_t>(t + 1);  // (meaningless once no entry has `old`)
    const bool groupStarts = t == 0 || s.ranks[t - (t != 0)].count != c;
    s.firstOfCount[c] = groupStarts ? static_cast<uint8_t>(t) : s.firstOfCount[c];
    if (c == kHalvingCount) HalveCounts(s);
}

// The run stage's state, held in locals for the length of one read or write
// and stored back into the state record at its end.
struct RunStage {
    int32_t last;    // runLast
    uint32_t state;  // runState
};

// ---- Compressor ----

template <bool kRaw>
inline int NextSourceValue(FileHandle *handle, CompressionState &s) {
    if constexpr (kRaw) return GetByte(handle->stream);
    else return SpaceCompressor(handle, s);
}

// The next symbol of the run stage, or a negative value at the end or on error.
template <bool kRaw>
inline int NextSymbol(FileHandle *handle, CompressionState &s, RunStage &run) {
    int v;
    switch (run.state) {
    case kRunFirst:
        v = NextSourceValue<kRaw>(handle, s);
        run.last = v;
        run.state = kRunOnce;
        return v;
    case kRunOnce:
        v = NextSourceValue<kRaw>(handle, s);
        if (v == run.last) run.state = kRunTwice;
        else run.last = v;
        return v;
    case kRunTwice:
        v = NextSourceValue<kRaw>(handle, s);
        if (v == run.last) {
            run.state = kRunCount;
        } else {
            run.last = v;
            run.state = kRunOnce;
        }
        return v;
    case kRunCount: {
        int k = 0;
        v = NextSourceValue<kRaw>(handle, s);
        while (v == run.last && v >= 0 && k < kLongestCount) {
            ++k;
            v = NextSourceValue<kRaw>(handle, s);
        }
        run.last = v;
        run.state = kRunAfterCount;
        return k;
    }
    case kRunAfterCount:
        run.state = kRunOnce;
        return run.last;
    default:  // kRunFinished, kRunEndCoded
        return kStreamEnd;
    }
}

// The compressor's bits not yet sent, held in locals like the run stage.
struct PendingBits {
    uint32_t accumulator;  // the bits, in the low `count` bits
    uint32_t count;
};

inline void AppendBits(PendingBits &bits, uint32_t code, uint32_t length) {
    bits.accumulator = (bits.accumulator << length) | code;
    bits.count += length;
}

inline int TakeByte(PendingBits &bits) {
    bits.count -= 8;
    int byte = static_cast<int>((bits.accumulator >> bits.count) & 0xFF);
    bits.accumulator &= (1u << bits.count) - 1;
    return byte;
}

// The next compressed byte, kStreamEnd or kStreamError. kRaw: method 8.
template <bool kRaw>
inline int AdaptiveCompressor(FileHandle *handle, CompressionState &s, RunStage &run,
                              PendingBits &bits) {
    while (bits.count < 8) {
        int symbol = NextSymbol<kRaw>(handle, s, run);
        if (symbol >= 0) {
            uint32_t r = s.rankOf[symbol & 0xFF];
            AppendBits(bits, kCodes.code[r], kCodes.length[r]);
            UpdateRanks(s, r);
            continue;
        }
        if (symbol != kStreamEnd) return kStreamError;
        if (run.state == kRunEndCoded) {
            if (bits.count == 0) return kStreamEnd;
            // The rest of the last byte is filled with 1-bits.
            uint32_t fill = 8u - bits.count;
            AppendBits(bits, (1u << fill) - 1, fill);
            run.state = kRunFinished;
            break;
        }
        if (bits.count == 0 || run.state == kRunFinished) {
            // Nothing of a byte is filled: the data end here. From now on every
            // call answers the end, and no count is coded past it.
            run.state = kRunFinished;
            return kStreamEnd;
        }
        AppendBits(bits, kEndCode, kEndCodeLength);
        run.state = kRunEndCoded;
    }
    return TakeByte(bits);
}

// ---- Expander ----

// One decoded symbol through the run stage into the layer below.
inline bool PutSymbol(FileHandle *handle, CompressionState &s, RunStage &run, int symbol) {
    auto out = [&](int value) {
        if (s.method == kMethodRankRaw) {
            // Straight to the stream. Counted like every other expander's
            // output, so that the expanded count means the bytes passed down
            // whatever the method.
            if (PutByte(handle->stream, value) == kStreamError) return false;
            ++s.expandedCount;
            return true;
        }
        return SpaceExpander(handle, s, static_cast<uint8_t>(value)) >= 0;
    };
    switch (run.state) {
    case kRunFirst:
        run.last = symbol;
        run.state = kRunOnce;
        return out(symbol);
    case kRunOnce:
        if (symbol == run.last) run.state = kRunTwice;
        else run.last = symbol;
        return out(symbol);
    case kRunTwice:
        if (symbol == run.last) {
            run.state = kRunCount;
        } else {
            run.last = symbol;
            run.state = kRunOnce;
        }
        return out(symbol);
    case kRunCount:
        run.state = kRunFirst;
        for (int n = symbol; n > 0; --n)
            if (!out(run.last)) return false;
        return true;
    default:
        return false;
    }
}

// The code of every 11-bit window, for decoding whole codes at once: the rank
// the window begins with (kEndRank for the end code) and its code length.
constexpr uint32_t kEndRank = 256;
struct CodeWindows {
    uint16_t rank[2048];
    uint8_t length[2048];
    constexpr CodeWindows() : rank{}, length{} {
        for (uint32_t r = 0; r < 256; ++r) {
            uint32_t spare = 11 - kCodes.length[r];
            for (uint32_t x = 0; x < (1u << spare); ++x) {
                rank[(kCodes.code[r] << spare) | x] = static_cast<uint16_t>(r);
                length[(kCodes.code[r] << spare) | x] = kCodes.length[r];
            }
        }
        rank[kEndCode] = kEndRank;
        length[kEndCode] = kEndCodeLength;
    }
};
constexpr CodeWindows kWindows;

// Decodes the bits of `byte` not yet taken (the low `left` ones), most
// significant first, resuming a code that an earlier byte began. Stops at the
// end of the byte, or after a symbol when `oneSymbol` is set, with `left` the
// bits still not taken. 1, kStreamEnd after the end code (the rest of the byte
// and every later byte are ignored), or kStreamError.
int DecodeBits(FileHandle *handle, CompressionState &s, RunStage &run, uint8_t byte,
               uint32_t &left, bool oneSymbol) {
    while (left > 0) {
        if (s.decodeStep == kDecodeStart) {
            s.decodeStep = kDecodeClass;
            s.bitsNeeded = kClassBits;
            s.bitWindow = 0;
        }
        uint32_t take = s.bitsNeeded < left ? s.bitsNeeded : left;
        left -= take;
        s.bitWindow = (s.bitWindow << take) | ((byte >> left) & ((1u << take) - 1));
        s.bitsNeeded = static_cast<uint8_t>(s.bitsNeeded - take);
        if (s.bitsNeeded != 0) break;  // the byte ran out within this part

        uint32_t rank;
        switch (s.decodeStep) {
        case kDecodeClass:
            s.codeClass = static_cast<uint8_t>(s.bitWindow);
            s.bitsNeeded = static_cast<uint8_t>(SuffixBits(s.codeClass));
            s.bitWindow = 0;
            s.decodeStep = kDecodeSuffix;
            continue;
        case kDecodeSuffix:
            if (s.codeClass == kTopClass && s.bitWindow == kTopSuffix) {
                s.bitsNeeded = 1;
                s.bitWindow = 0;
                s.decodeStep = kDecodeExtension;
                continue;
            }
            rank = ClassBase(s.codeClass) + s.bitWindow;
            break;
        case kDecodeExtension:
            if (s.bitWindow == 1) {
                s.decodeStep = kDecodeEnded;
                return kStreamEnd;
            }
            rank = 255;
            break;
        default:
            return kStreamError;
        }
        uint8_t symbol = s.ranks[rank].symbol;
        UpdateRanks(s, rank);
        s.decodeStep = kDecodeStart;
        if (!PutSymbol(handle, s, run, symbol)) return kStreamError;
        if (oneSymbol) break;
    }
    return 1;
}

}  // namespace

int RankRead(FileHandle *handle, CompressionState &state, uint8_t *buffer, uint32_t length,
             uint32_t *count) {
    RunStage run{state.runLast, state.runState};
    PendingBits bits{state.bitAccumulator, state.pendingBits};
    int result = state.method == kMethodRankRaw
                     ? FillFromCompressor(buffer, length, count,
                                          [&] { return AdaptiveCompressor<true>(handle, state, run, bits); })
                     : FillFromCompressor(buffer, length, count,
                                          [&] { return AdaptiveCompressor<false>(handle, state, run, bits); });
    state.runLast = run.last;
    state.runState = run.state;
    state.bitAccumulator = bits.accumulator;
    state.pendingBits = static_cast<uint16_t>(bits.count);
    return result;
}

// The expander takes each byte's bits in turn. Where a code starts and the
// buffer holds at least three more bytes (11 bits from any bit of the first),
// whole codes are decoded at once through kWindows; this gives the same
// symbols, table updates and count as the bit-by-bit decoder, which takes
// codes that began in an earlier buffer and the buffer's last bytes.
int RankWrite(FileHandle *handle, CompressionState &state, const uint8_t *buffer,
              uint32_t length, uint32_t *count) {
    if (state.decodeStep == kDecodeEnded) return 1;  // nothing after the end code
    RunStage run{state.runLast, state.runState};
    int result = 1;
    uint32_t taken = length;
    uint32_t at = 0, left = 8;  // the byte being decoded, and its bits not yet taken
    while (at < length) {
        if (state.decodeStep == kDecodeStart && length - at >= 3) {
            uint32_t bit = at * 8 + (8 - left);  // the first bit not yet taken
            for (uint32_t q; (q = bit >> 3) + 2 < length;) {
                uint32_t window = (uint32_t{buffer[q]} << 16) | (uint32_t{buffer[q + 1]} << 8) |
                                  buffer[q + 2];
                uint32_t code = (window >> (13 - (bit & 7))) & 0x7FF;
                uint32_t rank = kWindows.rank[code];
                if (rank == kEndRank) {
                    state.decodeStep = kDecodeEnded;
                    taken = (bit + kEndCodeLength - 1) >> 3;  // the byte that completes it is not taken
                    at = length;
                    break;
                }
                bit += kWindows.length[code];
                uint8_t symbol = state.ranks[rank].symbol;
                UpdateRanks(state, rank);
                if (!PutSymbol(handle, state, run, symbol)) {
                    result = 0;
                    at = length;
                    break;
                }
            }
            if (at == length) break;
            at = bit >> 3;
            left = 8 - (bit & 7);
            continue;
        }
        int r = DecodeBits(handle, state, run, buffer[at], left, true);
        if (r == kStreamEnd) {
            taken = at;
            break;
        }
        if (r != 1) {
            result = 0;
            break;
        }
        if (left == 0) {
            ++at;
            left = 8;
        }
    }
    state.runLast = run.last;
    state.runState = run.state;
    if (result) *count = taken;
    return result;
}

}  // namespace kx
