// Method 2, repeat-prefix compression. The compressed stream:
//   0x7E c b    the byte b, (c - 32) times
//   any other   that byte
// The compressor sends runs of 3 to 223 equal values as 7E (n + 32) b, longer
// runs as groups of 223, and every 0x7E as 7E 21 7E. Values are compared
// whole, so a record end travels as the byte 0xFF and comes back as data.
#include <cstring>

#include "compress/methods.h"

namespace kx {
namespace {

// CompressionState::repeatState.
//
// Compressor: kRepeatStart -> (literal) kRepeatAfterLiteral, or (run or 0x7E)
// kRepeatSendCount -> kRepeatSendByte -> repeatNextState (kRepeatAfterRun after
// a run, kRepeatAfterLiteral after a marked 0x7E).
// Expander: kRepeatStart -> (0x7E) kRepeatSendCount -> kRepeatSendByte -> kRepeatStart.
enum RepeatState : uint32_t {
    kRepeatStart = 0,         // waiting for three fresh values / for a byte or the marker
    kRepeatAfterRun = 1,      // compressor: look-ahead 1 holds the value that ended a run
    kRepeatAfterLiteral = 2,  // compressor: both look-aheads hold values read ahead
    kRepeatSendCount = 3,     // compressor: the count byte is due; expander: waiting for it
    kRepeatSendByte = 4,      // compressor: the run's byte is due; expander: waiting for it
};

constexpr int kMarker = 0x7E;
constexpr uint32_t kCountBias = 32;
constexpr uint32_t kLongestRun = 223;

}  // namespace

namespace {

int RepeatCompressor(BelowReader &below, CompressionState &s) {
    int c1, c2, c3;
    switch (s.repeatState) {
    case kRepeatStart:
        c1 = below();
        c2 = below();
        c3 = below();
        break;
    case kRepeatAfterRun:
        c1 = s.repeatAhead1;
        c2 = below();
        c3 = below();
        break;
    case kRepeatAfterLiteral:
        c1 = s.repeatAhead1;
        c2 = s.repeatAhead2;
        c3 = below();
        break;
    case kRepeatSendCount:
        s.repeatState = kRepeatSendByte;
        return static_cast<int>(s.repeatCount + kCountBias);
    case kRepeatSendByte:
        s.repeatState = s.repeatNextState;
        return s.repeatByte;
    default:
        return kStreamError;
    }
    // At the end of the data the look-aheads hold kStreamEnd, and the layers
    // below keep answering it: reading past the end does no harm.
    if (c1 < 0) return c1;
    if (c1 == kMarker) {
        s.repeatByte = kMarker;
        s.repeatCount = 1;
        s.repeatAhead1 = c2;
        s.repeatAhead2 = c3;
        s.repeatNextState = kRepeatAfterLiteral;
        s.repeatState = kRepeatSendCount;
        return kMarker;
    }
    if (c1 == c2 && c2 == c3) {
        uint32_t n = 3;
        int c = below();
        while (c == c1 && n < kLongestRun) {
            ++n;
            c = below();
        }
        s.repeatAhead1 = c;
        s.repeatByte = c1;
        s.repeatCount = n;
        s.repeatNextState = kRepeatAfterRun;
        s.repeatState = kRepeatSendCount;
        return kMarker;
    }
    s.repeatAhead1 = c2;
    s.repeatAhead2 = c3;
    s.repeatState = kRepeatAfterLiteral;
    return c1;
}

int RepeatExpander(FileHandle *handle, CompressionState &s, uint8_t b) {
    switch (s.repeatState) {
    case kRepeatStart:
        if (b == kMarker) {
            s.repeatState = kRepeatSendCount;
            return b;
        }
        if (PutBelow(handle, b) < 0) return kStreamError;
        ++s.expandedCount;
        return b;
    case kRepeatSendCount:
        s.repeatCount = b - kCountBias;
        s.repeatState = kRepeatSendByte;
        return b;
    case kRepeatSendByte: {
        // The count is taken modulo 256 with 0 meaning 256, so that count bytes
        // the compressor never writes (below 0x21) still expand.
        uint32_t n = s.repeatCount & 0xFF;
        if (n == 0) n = 256;
        s.repeatState = kRepeatStart;
        if (!PutCopiesBelow(handle, b, n)) return kStreamError;
        s.expandedCount += n;
        return b;
    }
    default:
        return kStreamError;
    }
}

}  // namespace

int RepeatRead(FileHandle *handle, CompressionState &state, uint8_t *buffer, uint32_t length,
               uint32_t *count) {
    BelowReader below(handle);
    int result = FillFromCompressor(buffer, length, count,
                                    [&] { return RepeatCompressor(below, state); });
    below.Commit();
    return result;
}

int RepeatWrite(FileHandle *handle, CompressionState &state, const uint8_t *buffer,
                uint32_t length, uint32_t *count) {
    uint32_t i = 0;
    while (i < length) {
        // Between runs, the bytes up to the next marker go down as a block.
        if (state.repeatState == kRepeatStart) {
            const auto *marker = static_cast<const uint8_t *>(std::memchr(buffer + i, kMarker, length - i));
            uint32_t n = marker != nullptr ? static_cast<uint32_t>(marker - (buffer + i)) : length - i;
            if (n > 0) {
                if (!PutBytesBelow(handle, buffer + i, n)) return 0;
                state.expandedCount += n;
                i += n;
                continue;
            }
        }
        if (RepeatExpander(handle, state, buffer[i]) < 0) return 0;
        ++i;
    }
    *count = length;
    return 1;
}

}  // namespace kx
