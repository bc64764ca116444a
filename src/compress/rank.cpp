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
#include <bit>
#include <cstring>
#include <type_traits>
#include <utility>

#include "compress/space.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
    uint16_t above[256];  // entries whose count is greater than the index (0-256)
};

constexpr uint16_t Place(uint32_t rank, uint32_t count) { return static_cast<uint16_t>(rank | count << 8); }

// above[] from the counts alone.
inline void CountAbove(WorkTable &w) {
    uint16_t entries[256] = {};
    for (uint32_t r = 0; r < 256; ++r) ++entries[w.count[r]];
    uint32_t sum = 0;
    for (int x = 255; x >= 0; --x) {
        w.above[x] = static_cast<uint16_t>(sum);
        sum += entries[x];
    }
}

void LoadTable(WorkTable &w, const CompressionState &s) {
    for (uint32_t r = 0; r < 256; ++r) {
        w.count[r] = s.ranks[r].count;
        w.symbol[r] = s.ranks[r].symbol;
    }
    for (uint32_t r = 0; r < 256; ++r) w.place[w.symbol[r]] = Place(r, w.count[r]);
    CountAbove(w);
}

// The compressor's counts are those of place, the expander's those of count.
template <bool kBySymbol>
void StoreTable(const WorkTable &w, CompressionState &s) {
    for (uint32_t r = 0; r < 256; ++r) {
        uint8_t count = kBySymbol ? static_cast<uint8_t>(w.place[w.symbol[r]] >> 8) : w.count[r];
        s.ranks[r] = RankEntry{count, w.symbol[r]};
        s.rankOf[w.symbol[r]] = static_cast<uint8_t>(r);
    }
    // The first rank of each count that some entry has.
    for (uint32_t x = 0; x < 256; ++x) s.firstOfCount[x] = static_cast<uint8_t>(w.above[x]);
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

[[gnu::noinline]] void HalveCounts(WorkTable &w) {
    for (uint8_t &c : w.count) c = static_cast<uint8_t>(c >> 1);
    HalveAbove(w.above);
}

[[gnu::noinline]] void HalvePlaces(WorkTable &w) {
    for (uint32_t x = 0; x < 256; ++x) w.place[x] = Place(w.place[x] & 0xFF, w.place[x] >> 9);
    HalveAbove(w.above);
}

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

// The run stage's state, held in locals for the length of one read or write
// and stored back into the state record at its end.
struct RunStage {
    int32_t last;    // runLast
    uint32_t state;  // runState
};

// ---- Compressor ----

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

// The next symbol of the run stage, or a negative value at the end or on error.
template <typename Source>
inline int NextSymbol(Source &source, RunStage &run) {
    int v;
    switch (run.state) {
    case kRunFirst:
        v = source();
        run.last = v;
        run.state = kRunOnce;
        return v;
    case kRunOnce:
        v = source();
        if (v == run.last) run.state = kRunTwice;
        else run.last = v;
        return v;
    case kRunTwice:
        v = source();
        if (v == run.last) {
            run.state = kRunCount;
        } else {
            run.last = v;
            run.state = kRunOnce;
        }
        return v;
    case kRunCount: {
        int k = 0;
        v = source();
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

// The run stage in states kRunOnce and kRunTwice, the usual ones, as one
// expression rather than NextSymbol's switch: the value read is always the new
// runLast, and the state moves on by one when it equals the old runLast, else
// returns to kRunOnce. The same as NextSymbol in these states, for any value.
template <typename Source>
inline int NextPlainSymbol(Source &source, RunStage &run) {
    int v = source();
    run.state = v == run.last ? run.state + 1 : static_cast<uint32_t>(kRunOnce);
    run.last = v;
    return v;
}

// The compressor: fills `buffer` with compressed bytes, each made as soon as
// eight code bits are pending, drawing symbols only while fewer are pending.
// The pending bits sit in the low bits of a 64-bit accumulator (the bits above
// them are left over and never looked at).
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
    uint64_t accumulator = s.bitAccumulator;
    uint32_t pending = s.pendingBits;
    uint32_t stored = 0;
    int result = 1;
    int held = 0;  // a negative value drawn by the gathering loop, not yet handled
    while (length - stored >= 4) {
        while (pending < 32) {
            int symbol = run.state - kRunOnce <= kRunTwice - kRunOnce ? NextPlainSymbol(source, run)
                                                                      : NextSymbol(source, run);
            if (symbol < 0) [[unlikely]] {
                held = symbol;
                goto bytewise;
            }
            const uint8_t coded = static_cast<uint8_t>(symbol);
            const uint32_t place = w.place[coded], r = place & 0xFF;
            accumulator = (accumulator << kCodes.length[r]) | kCodes.code[r];
            pending += kCodes.length[r];
            UpdateRanksOf(w, coded, place);
        }
        pending -= 32;
        uint32_t word = static_cast<uint32_t>(accumulator >> pending);
        buffer[stored] = static_cast<uint8_t>(word >> 24);
        buffer[stored + 1] = static_cast<uint8_t>(word >> 16);
        buffer[stored + 2] = static_cast<uint8_t>(word >> 8);
        buffer[stored + 3] = static_cast<uint8_t>(word);
        stored += 4;
    }
bytewise:
    while (stored < length) {
        if (pending >= 8) {
            pending -= 8;
            buffer[stored++] = static_cast<uint8_t>(accumulator >> pending);
            continue;
        }
        int symbol = held < 0 ? held : NextSymbol(source, run);
        held = 0;
        if (symbol >= 0) [[likely]] {
            const uint8_t coded = static_cast<uint8_t>(symbol);
            const uint32_t place = w.place[coded], r = place & 0xFF;
            accumulator = (accumulator << kCodes.length[r]) | kCodes.code[r];
            pending += kCodes.length[r];
            UpdateRanksOf(w, coded, place);
            continue;
        }
        if (symbol != kStreamEnd) {
            result = 0;
            break;
        }
        if (run.state == kRunEndCoded) {
            if (pending == 0) break;
            // The rest of the last byte is filled with 1-bits.
            uint32_t fill = 8u - pending;
            accumulator = (accumulator << fill) | ((1u << fill) - 1);
            pending = 8;
            run.state = kRunFinished;
            continue;
        }
        if (pending == 0 || run.state == kRunFinished) {
            // Nothing of a byte is filled: the data end here. From now on every
            // call answers the end, and no count is coded past it.
            run.state = kRunFinished;
            break;
        }
        accumulator = (accumulator << kEndCodeLength) | kEndCode;
        pending += kEndCodeLength;
        run.state = kRunEndCoded;
    }
    source.Close();
    s.runLast = run.last;
    s.runState = run.state;
    s.bitAccumulator = static_cast<uint32_t>(accumulator & ((uint64_t{1} << pending) - 1));
    s.pendingBits = static_cast<uint16_t>(pending);
    if (result) *count = stored;
    return result;
}

// ---- Expander ----

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

// kWindows in one table: rank << 4 | length.
struct PackedWindows {
    uint16_t entry[2048];
    constexpr PackedWindows() : entry{} {
        for (uint32_t x = 0; x < 2048; ++x)
            entry[x] = static_cast<uint16_t>(kWindows.rank[x] << 4 | kWindows.length[x]);
    }
};
constexpr PackedWindows kPacked;

// Decodes the bits of `byte` not yet taken (the low `left` ones), most
// significant first, resuming a code that an earlier byte began. Stops at the
// end of the byte, or after a symbol when `oneSymbol` is set, with `left` the
// bits still not taken. 1, kStreamEnd after the end code (the rest of the byte
// and every later byte are ignored), or kStreamError.
template <typename Out>
[[gnu::always_inline]] inline int DecodeBits(Out &out, CompressionState &s, WorkTable &w, RunStage &run, uint8_t byte,
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
        uint8_t symbol = w.symbol[rank];
        UpdateRanks(w, rank);
        s.decodeStep = kDecodeStart;
        if (!RunStageOut(run, symbol, out)) return kStreamError;
        if (oneSymbol) break;
    }
    return 1;
}

}  // namespace

int RankRead(FileHandle *handle, CompressionState &state, uint8_t *buffer, uint32_t length,
             uint32_t *count) {
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
    StoreTable<true>(w, state);
    return result;
}

namespace {

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
            uint32_t bit = at * 8 + (8 - left);  // the first bit not yet taken
            // Where eight bytes remain: 57 bits or more of them in a register,
            // enough for five codes.
            for (uint32_t q; (q = bit >> 3) + 8 <= length;) {
                uint64_t window = LoadBigEndian64(buffer + q) << (bit & 7);
                // Unrolled: the loop's own count and test cost as much as
                // a fifth of the work per code.
#pragma GCC unroll 5
                for (int i = 0; i < 5; ++i) {
                    uint32_t entry = kPacked.entry[window >> 53];
                    uint32_t rank = entry >> 4, codeLength = entry & 15;
                    if (rank == kEndRank) [[unlikely]] {
                        state.decodeStep = kDecodeEnded;
                        taken = (bit + kEndCodeLength - 1) >> 3;
                        at = length;
                        break;
                    }
                    window <<= codeLength;
                    bit += codeLength;
                    uint8_t symbol = w.symbol[rank];
                    UpdateRanks(w, rank);
                    if (!RunStageOut(run, symbol, out)) [[unlikely]] {
                        result = 0;
                        at = length;
                        break;
                    }
                }
                if (at == length) break;
            }
            if (at == length) break;
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
                uint8_t symbol = w.symbol[rank];
                UpdateRanks(w, rank);
                if (!RunStageOut(run, symbol, out)) {
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
        int r = DecodeBits(out, state, w, run, buffer[at], left, true);
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

int RankWrite(FileHandle *handle, CompressionState &state, const uint8_t *buffer,
              uint32_t length, uint32_t *count) {
    if (state.decodeStep == kDecodeEnded) return 1;  // nothing after the end code
    WorkTable w;
    LoadTable(w, state);
    int result = state.method == kMethodRankRaw
                     ? ExpandInto<true>(handle, state, w, buffer, length, count)
                     : ExpandInto<false>(handle, state, w, buffer, length, count);
    StoreTable<false>(w, state);
    return result;
}

}  // namespace kx
