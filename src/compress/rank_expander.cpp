// Methods 4 and 8, the expander: the compressed bytes of a write decoded into
// ranks, the ranks into symbols, the symbols through the run stage and down.
// The table and the code are in rank_table.h.
#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "compress/rank_table.h"
#include "compress/space.h"

namespace kx {
namespace rank {
namespace {

// CompressionState::decodeStep, the expander's place within a code.
enum DecodeStep : uint32_t {
    kDecodeStart = 0,      // waiting for the first bit of a code
    kDecodeClass = 1,      // waiting for the rest of the 3-bit class
    kDecodeSuffix = 2,     // waiting for the rest of the suffix
    kDecodeExtension = 3,  // waiting for the bit after a class 7 suffix of 127
    kDecodeEnded = 4,      // the end code was decoded; nothing more is taken
};

// One decoded symbol through the run stage, its output given to `out` (a
// value at a time; false when a put failed). In states kRunFirst, kRunOnce and
// kRunTwice the symbol is the new runLast, and the state moves on by one when
// it equals the old runLast (never from kRunFirst), else returns to kRunOnce.
template <typename Out>
inline bool RunStageOut(RunStage &run, int symbol, Out &&out) {
    if (run.state <= kRunTwice) [[likely]] {
        bool repeats = run.state != kRunFirst && symbol == run.last;
        run.state = repeats ? run.state + 1 : static_cast<uint32_t>(kRunOnce);
        run.last = symbol;
        return out(symbol);
    }
    if (run.state != kRunCount) return false;
    run.state = kRunFirst;
    for (int n = symbol; n > 0; --n)
        if (!out(run.last)) return false;
    return true;
}

// Eight bytes as a number, the first the most significant.
inline uint64_t LoadBigEndian64(const uint8_t *p) {
#if defined(__GNUC__)
    if constexpr (std::endian::native == std::endian::little) {
        uint64_t v;
        std::memcpy(&v, p, sizeof v);
        return __builtin_bswap64(v);
    }
#endif
    uint64_t v = 0;
    for (uint32_t i = 0; i < 8; ++i) v = v << 8 | p[i];
    return v;
}

// Method 8's way into the stream for a stretch of decoding: PutByte, with the
// stream's cursor and free count held in locals and the bytes counted here;
// Close puts them back. The bytes are counted like every other expander's
// output, so that the expanded count means the bytes passed down whatever the
// method.
struct RawOutput {
    BufferedStream *stream;
    uint8_t *cursor;
    uint32_t room;
    uint32_t expanded = 0;
    RawOutput(FileHandle *handle, CompressionState &, uint8_t *)
        : stream(handle->stream), cursor(stream->cursor), room(stream->count) {}
    bool operator()(int value) {
        if (room != 0) [[likely]] {
            --room;
            *cursor++ = static_cast<uint8_t>(value);
            ++expanded;
            return true;
        }
        stream->cursor = cursor;
        stream->count = 0;
        int r = FlushBuffer(stream, value);
        cursor = stream->cursor;
        room = stream->count;
        if (r == kStreamError) return false;
        ++expanded;
        return true;
    }
    // True: nothing can fail here.
    bool Close(CompressionState &s) {
        stream->cursor = cursor;
        stream->count = room;
        s.expandedCount += expanded;
        expanded = 0;
        return true;
    }
};

// Method 4's way down for a stretch of decoding: the run stage's output is
// method 1's compressed form, gathered here and handed to SpaceWrite in blocks
// rather than to SpaceExpander a byte at a time, so that the runs which need
// no work go down as blocks. SpaceWrite takes the bytes in order with the same
// state, so the layers below receive the same values. A put that fails is
// found at the next block's hand-over: the decoding has then gone on up to
// that point, but the write fails as it would have.
//
// The gathered bytes stand in `staged`, storage of the caller's, so that this
// object itself never has its address taken and its fields can live in
// registers.
class SpaceStageOutput {
public:
    static constexpr uint32_t kBlock = 4096;
    SpaceStageOutput(FileHandle *handle, CompressionState &state, uint8_t *staged)
        : handle_(handle), state_(state), staged_(staged) {}
    bool operator()(int value) {
        staged_[length_++] = static_cast<uint8_t>(value);
        if (length_ < kBlock) [[likely]] return true;
        return HandOver();
    }
    // Hands the gathered bytes down; false when a put failed.
    bool Close(CompressionState &) { return HandOver(); }

private:
    [[gnu::always_inline]] bool HandOver() {
        uint32_t length = length_;
        length_ = 0;
        return length == 0 || HandDown(handle_, state_, staged_, length);
    }
    [[gnu::noinline]] static bool HandDown(FileHandle *handle, CompressionState &state,
                                           const uint8_t *bytes, uint32_t length) {
        if (!BlockPaths()) {
            for (uint32_t i = 0; i < length; ++i)
                if (SpaceExpander(handle, state, bytes[i]) < 0) return false;
            return true;
        }
        uint32_t taken = 0;
        return SpaceWrite(handle, state, bytes, length, &taken) != 0;
    }
    FileHandle *handle_;
    CompressionState &state_;
    uint8_t *staged_;
    uint32_t length_ = 0;
};

// Where each method's expander puts the run stage's output.
template <bool kRaw>
using ExpanderOutput = std::conditional_t<kRaw, RawOutput, SpaceStageOutput>;

// The code of every 11-bit window, for decoding whole codes at once: the rank
// the window begins with (kEndRank for the end code) << 4 | its code length.
constexpr uint32_t kEndRank = 256;
struct CodeWindows {
    uint16_t entry[2048];
    constexpr CodeWindows() : entry{} {
        for (uint32_t r = 0; r < 256; ++r) {
            const uint32_t spare = kLongestCode - kCodes.length[r];
            for (uint32_t x = 0; x < (1u << spare); ++x)
                entry[(kCodes.code[r] << spare) | x] = static_cast<uint16_t>(r << 4 | kCodes.length[r]);
        }
        entry[kEndCode] = static_cast<uint16_t>(kEndRank << 4 | kEndCodeLength);
    }
};
constexpr CodeWindows kWindows;

// A decoded rank: its symbol goes through the run stage, after the table is
// updated. False when a put failed.
template <typename Out>
[[gnu::always_inline]] inline bool TakeRank(Out &out, WorkTable &w, RunStage &run, uint32_t rank) {
    const uint8_t symbol = w.symbol[rank];
    UpdateRanks(w, rank);
    return RunStageOut(run, symbol, out);
}

// The code at the top of `window`, whose first 11 bits are the buffer's,
// decoded whole; `window` and `bit` move past it. 1, kStreamEnd at the end
// code (nothing moved), or kStreamError after a failed put.
template <typename Out>
[[gnu::always_inline]] inline int DecodeTop(Out &out, WorkTable &w, RunStage &run, uint64_t &window,
                                            uint32_t &bit) {
    const uint32_t entry = kWindows.entry[window >> (64 - kLongestCode)];
    const uint32_t rank = entry >> 4, codeLength = entry & 15;
    if (rank == kEndRank) [[unlikely]] return kStreamEnd;
    window <<= codeLength;
    bit += codeLength;
    return TakeRank(out, w, run, rank) ? 1 : kStreamError;
}

// Decodes the bits of `byte` not yet taken (the low `left` ones), most
// significant first, resuming a code that an earlier byte began. Stops at the
// end of the byte or after a symbol, with `left` the bits still not taken. 1,
// kStreamEnd after the end code (the rest of the byte and every later byte
// are ignored), or kStreamError.
template <typename Out>
[[gnu::always_inline]] inline int DecodeBits(Out &out, CompressionState &s, WorkTable &w, RunStage &run,
                                             uint8_t byte, uint32_t &left) {
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
        s.decodeStep = kDecodeStart;
        return TakeRank(out, w, run, rank) ? 1 : kStreamError;
    }
    return 1;
}

// The expander takes each byte's bits in turn. Where a code starts and the
// buffer holds at least three more bytes (11 bits from any bit of the first),
// whole codes are decoded at once through kWindows; this gives the same
// symbols, table updates and count as the bit-by-bit decoder, which takes
// codes that began in an earlier buffer and the buffer's last bytes.
template <bool kRaw>
int ExpandInto(FileHandle *handle, CompressionState &state, WorkTable &w, const uint8_t *buffer,
               uint32_t length, uint32_t *count) {
    RunStage run{state.runLast, state.runState};
    uint8_t staged[kRaw ? 1 : SpaceStageOutput::kBlock];  // method 4: SpaceStageOutput's bytes
    ExpanderOutput<kRaw> out(handle, state, staged);
    int result = 1;
    uint32_t taken = length;
    uint32_t at = 0, left = 8;  // the byte being decoded, and its bits not yet taken
    while (at < length) {
        if (state.decodeStep == kDecodeStart && length - at >= 3) {
            // Both loops below decode through DecodeTop. They stand here rather
            // than in a function of their own: with the bit position and the
            // length passed to one, the compiler kept the length and the
            // buffer in memory, and method 8 took 2% more instructions.
            uint32_t bit = at * 8 + (8 - left);  // the first bit not yet taken
            int r = 1;
            // Where eight bytes remain: 57 bits or more of them in a register,
            // enough for five codes.
            for (uint32_t q; (q = bit >> 3) + 8 <= length;) {
                uint64_t window = LoadBigEndian64(buffer + q) << (bit & 7);
                // Unrolled: the loop's own count and test cost as much as a
                // fifth of the work per code.
#pragma GCC unroll 5
                for (int i = 0; i < 5; ++i)
                    if ((r = DecodeTop(out, w, run, window, bit)) != 1) [[unlikely]] break;
                if (r != 1) break;
            }
            // Then a code from each three bytes: 11 bits from any bit of the first.
            if (r == 1) {
                for (uint32_t q; (q = bit >> 3) + 2 < length;) {
                    uint64_t window = (uint64_t{buffer[q]} << 56 | uint64_t{buffer[q + 1]} << 48 |
                                       uint64_t{buffer[q + 2]} << 40) << (bit & 7);
                    if ((r = DecodeTop(out, w, run, window, bit)) != 1) break;
                }
            }
            if (r == kStreamEnd) {
                state.decodeStep = kDecodeEnded;
                taken = (bit + kEndCodeLength - 1) >> 3;  // the byte that completes it is not taken
                break;
            }
            if (r != 1) {
                result = 0;
                break;
            }
            at = bit >> 3;
            left = 8 - (bit & 7);
            continue;
        }
        const int r = DecodeBits(out, state, w, run, buffer[at], left);
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
    if (!out.Close(state)) result = 0;
    state.runLast = run.last;
    state.runState = run.state;
    if (result) *count = taken;
    return result;
}

}  // namespace
}  // namespace rank

int RankWrite(FileHandle *handle, CompressionState &state, const uint8_t *buffer,
              uint32_t length, uint32_t *count) {
    using namespace rank;
    if (state.decodeStep == kDecodeEnded) return 1;  // nothing after the end code
    WorkTable w;
    LoadTable(w, state);
    int result = state.method == kMethodRankRaw
                     ? ExpandInto<true>(handle, state, w, buffer, length, count)
                     : ExpandInto<false>(handle, state, w, buffer, length, count);
    StoreTableByCount(w, state);
    return result;
}

}  // namespace kx
