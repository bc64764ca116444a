// Methods 4 and 8, the compressor: symbols from the run stage, coded by rank
// into the read's buffer. The table and the code are in rank_table.h.
#include <cstdint>

#include "compress/rank_table.h"
#include "compress/space.h"

namespace kx {
namespace rank {
namespace {

constexpr int kLongestCount = 250;

// Where the symbols come from, a value per call. Method 4: the space
// compressor; between the values that need its work, the bytes of a run that
// compresses to itself (SpacePlainRun), taken straight from the stream's
// buffer. Close takes the bytes of the run drawn so far.
//
// The run being drawn is held in this object's own fields, which live in
// registers: nothing takes this object's address (the reader and the state
// it reaches through pointers), and the work between runs is out of line.
class SpaceInput {
public:
    SpaceInput(BelowReader &below, CompressionState &s) : below_(&below), s_(&s) {}

    [[gnu::always_inline]] int operator()() {
        if (at_ != end_) [[likely]] return *at_++;
        Refilled next = Refill(*below_, *s_, start_, at_);
        start_ = next.start;
        at_ = next.at;
        end_ = next.end;
        return next.value;
    }
    void Close() {
        TakeDrawn(*below_, *s_, start_, at_);
        below_->Commit();
    }

private:
    struct Refilled {
        int value;
        const uint8_t *start, *at, *end;  // the new run, empty when value is not from one
    };

    // Takes what was drawn of the run [start, at), then gives the next value:
    // the first byte of a new run, or the compressor's next value.
    [[gnu::noinline]] static Refilled Refill(BelowReader &below, CompressionState &s,
                                              const uint8_t *start, const uint8_t *at) {
        TakeDrawn(below, s, start, at);
        if (s.spaceKind == space::kSpaceNothing) {
            const uint8_t *run;
            uint32_t n = SpacePlainRun(below, run, UINT32_MAX);
            if (n > 0) return {run[0], run, run + 1, run + n};
        }
        return {SpaceCompressor(below, s), nullptr, nullptr, nullptr};
    }

    // Takes the bytes of the run drawn so far. When the last of them is a
    // space, the byte behind it (in the run, not a space) is taken as the
    // compressor's look-ahead, as the compressor reads it ahead of a space.
    static void TakeDrawn(BelowReader &below, CompressionState &s, const uint8_t *start,
                          const uint8_t *at) {
        if (at == start) return;
        below.Skip(static_cast<uint32_t>(at - start));
        if (at[-1] == space::kSpace) {
            s.spaceKind = space::kSpaceLookahead;
            s.spaceValue = *at;
            below.Skip(1);
        }
    }

    BelowReader *below_;
    CompressionState *s_;
    const uint8_t *start_ = nullptr, *at_ = nullptr, *end_ = nullptr;
};

// Method 8: GetByte, with the stream's cursor and unread count held in locals
// for the length of one read; Close puts them back.
struct RawInput {
    BufferedStream *stream;
    uint8_t *cursor;
    uint32_t left;
    explicit RawInput(BufferedStream *from) : stream(from), cursor(from->cursor), left(from->count) {}
    int operator()() {
        if (left != 0) [[likely]] {
            --left;
            return *cursor++;
        }
        stream->cursor = cursor;
        stream->count = 0;
        int v = FillBuffer(stream);
        cursor = stream->cursor;
        left = stream->count;
        return v;
    }
    void Close() {
        stream->cursor = cursor;
        stream->count = left;
    }
};

// The run stage in states kRunOnce and kRunTwice, the usual ones, as one
// expression: the value read is always the new runLast, and the state moves
// on by one when it equals the old runLast, else returns to kRunOnce.
template <typename Source>
inline int NextPlainSymbol(Source &source, RunStage &run) {
    int v = source();
    run.state = v == run.last ? run.state + 1 : static_cast<uint32_t>(kRunOnce);
    run.last = v;
    return v;
}

// The next symbol of the run stage, or a negative value at the end or on error.
template <typename Source>
inline int NextSymbol(Source &source, RunStage &run) {
    switch (run.state) {
    case kRunFirst: {
        int v = source();
        run.last = v;
        run.state = kRunOnce;
        return v;
    }
    case kRunOnce:
    case kRunTwice:
        return NextPlainSymbol(source, run);
    case kRunCount: {
        int k = 0;
        int v = source();
        while (v == run.last && v >= 0 && k < kLongestCount) {
            ++k;
            v = source();
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

// The code bits not yet sent, in the low `pending` bits of a 64-bit
// accumulator (the bits above them are left over and never looked at).
struct Bits {
    uint64_t accumulator;
    uint32_t pending;

    void Append(uint32_t code, uint32_t length) {
        accumulator = (accumulator << length) | code;
        pending += length;
    }
    // Appends the code of `symbol`'s rank, and updates the table.
    [[gnu::always_inline]] void AppendSymbol(WorkTable &w, int symbol) {
        const uint8_t coded = static_cast<uint8_t>(symbol);
        const uint32_t place = w.place[coded], r = place & 0xFF;
        Append(kCodes.code[r], kCodes.length[r]);
        UpdateRanksOf(w, coded, place);
    }
    // The next `n` bits (at most 32) that go out.
    uint32_t Take(uint32_t n) {
        pending -= n;
        return static_cast<uint32_t>(accumulator >> pending);
    }
};

// The compressor: fills `buffer` with compressed bytes, each made as soon as
// eight code bits are pending, drawing symbols only while fewer are pending.
//
// While four bytes or more of the buffer are free, the codes are gathered until
// 32 bits or more are pending and four bytes go out at once. A symbol is then
// drawn only where the bytewise rule would draw it within this call as well
// (fewer than 32 pending bits where four bytes are still free means fewer bits
// than the rest of the buffer holds), so the same symbols are drawn in the same
// order. A negative value (the end of the data or an error) is held and
// handled bytewise, after the complete bytes before it have gone out.
// At the end of the data a byte partly filled is closed by the end code, and
// the end code's last byte is filled with 1-bits; data that end on a byte
// boundary carry no end code.
template <typename Source>
int CompressInto(Source source, CompressionState &s, WorkTable &w, uint8_t *buffer,
                 uint32_t length, uint32_t *count) {
    RunStage run{s.runLast, s.runState};
    Bits bits{s.bitAccumulator, s.pendingBits};
    uint32_t stored = 0;
    int result = 1;
    int held = 0;  // a negative value drawn by the gathering loop, not yet handled
    while (length - stored >= 4) {
        while (bits.pending < 32) {
            int symbol = run.state - kRunOnce <= kRunTwice - kRunOnce ? NextPlainSymbol(source, run)
                                                                      : NextSymbol(source, run);
            if (symbol < 0) [[unlikely]] {
                held = symbol;
                goto bytewise;
            }
            bits.AppendSymbol(w, symbol);
        }
        uint32_t word = bits.Take(32);
        buffer[stored] = static_cast<uint8_t>(word >> 24);
        buffer[stored + 1] = static_cast<uint8_t>(word >> 16);
        buffer[stored + 2] = static_cast<uint8_t>(word >> 8);
        buffer[stored + 3] = static_cast<uint8_t>(word);
        stored += 4;
    }
bytewise:
    while (stored < length) {
        if (bits.pending >= 8) {
            buffer[stored++] = static_cast<uint8_t>(bits.Take(8));
            continue;
        }
        int symbol = held < 0 ? held : NextSymbol(source, run);
        held = 0;
        if (symbol >= 0) [[likely]] {
            bits.AppendSymbol(w, symbol);
            continue;
        }
        if (symbol != kStreamEnd) {
            result = 0;
            break;
        }
        if (run.state == kRunEndCoded) {
            if (bits.pending == 0) break;
            // The rest of the last byte is filled with 1-bits.
            uint32_t fill = 8u - bits.pending;
            bits.Append((1u << fill) - 1, fill);
            run.state = kRunFinished;
            continue;
        }
        if (bits.pending == 0 || run.state == kRunFinished) {
            // Nothing of a byte is filled: the data end here. From now on every
            // call answers the end, and no count is coded past it.
            run.state = kRunFinished;
            break;
        }
        bits.Append(kEndCode, kEndCodeLength);
        run.state = kRunEndCoded;
    }
    source.Close();
    s.runLast = run.last;
    s.runState = run.state;
    s.bitAccumulator = static_cast<uint32_t>(bits.accumulator & ((uint64_t{1} << bits.pending) - 1));
    s.pendingBits = static_cast<uint16_t>(bits.pending);
    if (result) *count = stored;
    return result;
}

}  // namespace
}  // namespace rank

int RankRead(FileHandle *handle, CompressionState &state, uint8_t *buffer, uint32_t length,
             uint32_t *count) {
    using namespace rank;
    WorkTable w;
    LoadTable(w, state);
    int result;
    // The source goes by value: CompressInto works on a copy of its own,
    // which nothing else can reach, and closes it.
    if (state.method == kMethodRankRaw) {
        result = CompressInto(RawInput(handle->stream), state, w, buffer, length, count);
    } else {
        BelowReader below(handle);
        result = CompressInto(SpaceInput(below, state), state, w, buffer, length, count);
    }
    StoreTableByPlace(w, state);
    return result;
}

}  // namespace kx
