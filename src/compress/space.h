// Method 1 one value at a time: the compressor and the expander, inline, as
// method 1 itself and as the first stage of method 4 use them. The compressed
// stream:
//   0x00-0x7F   that byte (0x20 a single space)
//   0x80        nothing
//   0x81-0xFD   1 to 125 spaces
//   0xFE x      the byte x | 0x80
//   0xFF        a record end
// The compressor sends one space as 0x20 and runs of 2 to 125 as 0x82-0xFD.
#pragma once

#include "compress/methods.h"
#include "core/byte_scan.h"

namespace kx {
namespace space {

// CompressionState::spaceKind.
enum SpaceKind : uint32_t {
    kSpaceNothing = 0,    // both sides: waiting for a fresh value
    kSpaceLookahead = 1,  // compressor: spaceValue is a value read ahead, not yet looked at
    kSpaceLowBits = 2,    // compressor: spaceValue is due, the low 7 bits of an escaped byte
    kSpaceEscaped = 3,    // expander: waiting for the low part of an escaped byte
};

constexpr int kSpace = 0x20;
constexpr int kLongestRun = 125;
constexpr int kRunBase = 0x80;
constexpr int kEscape = 0xFE;
constexpr int kRecordEndByte = 0xFF;
constexpr int kHighBit = 0x80;

// Passes one value down and counts it.
inline bool PassDown(FileHandle *handle, CompressionState &state, int value) {
    if (PutBelow(handle, value) < 0) return false;
    ++state.expandedCount;
    return true;
}

}  // namespace space

// The next compressed byte, kStreamEnd or kStreamError; `below` gives the
// values from below (a BelowReader).
template <typename Below>
inline int SpaceCompressor(Below &below, CompressionState &state) {
    using namespace space;
    int v;
    switch (state.spaceKind) {
    case kSpaceLowBits:
        state.spaceKind = kSpaceNothing;
        return state.spaceValue;
    case kSpaceLookahead:
        v = state.spaceValue;
        break;
    case kSpaceNothing:
        v = below();
        break;
    default:
        return kStreamError;
    }
    // The end or an error: a look-ahead stays pending, so every later call
    // answers the same.
    if (v < 0) return v;
    if (v == kSpace) {
        int n = 0, next;
        do {
            if (n == kLongestRun) break;
            ++n;
            next = below();
        } while (next == kSpace);
        state.spaceKind = kSpaceLookahead;
        state.spaceValue = next;  // what stopped the run, or its 126th space
        return n == 1 ? kSpace : kRunBase + n;
    }
    if (v == kValueRecordEnd) {
        state.spaceKind = kSpaceNothing;
        return kRecordEndByte;
    }
    if (v & kHighBit) {
        state.spaceKind = kSpaceLowBits;
        state.spaceValue = v & 0x7F;
        return kEscape;
    }
    state.spaceKind = kSpaceNothing;
    return v;
}

// The block path of the compressor, in kind kSpaceNothing: the longest run at
// the reader's cursor (at most `most` bytes) that compresses to itself, with
// the run in `run`; nothing is taken. A byte below 0x80 other than a space
// passes unchanged, and so does a single space: the compressor sends it as
// 0x20 after reading the value behind it ahead. So a space joins the run only
// when the byte behind it is in the run too (a byte below 0x80, not a space);
// the run never ends in a space, and after it the compressor is in kind
// kSpaceNothing as it would be after taking the same bytes one by one.
//
// Sixteen bytes at a time where seventeen are at hand and the processor can,
// eight where nine are (the byte after the last tells whether the last, a
// space, ends the run), then byte by byte.
inline uint32_t SpacePlainRun(const BelowReader &below, const uint8_t *&run, uint32_t most) {
    using namespace space;
    const uint8_t *b = run = below.Cursor();
    uint32_t n = below.Left() < most ? below.Left() : most;
    uint32_t i = 0;
#if defined(__SSE2__)
    for (; i + 17 <= n; i += 16) {
        const bytescan::Bytes16 x(b + i), next(b + i + 1);
        const uint32_t stopsX = x.OutsideLowToAscii(below.PlainLow());
        const uint32_t stopsNext = next.OutsideLowToAscii(below.PlainLow());
        const uint32_t ends = stopsX | (x.Equal(kSpace) & (stopsNext | next.Equal(kSpace)));
        if (ends != 0) return i + bytescan::FirstMarked16(ends);
    }
#endif
    for (; i + 9 <= n; i += 8) {
        using namespace bytescan;
        uint64_t x = Load8(b + i), next = Load8(b + i + 1);
        uint64_t stopsX = ~InRangeToAscii(x, below.PlainLow()) & kHigh;
        uint64_t stopsNext = ~InRangeToAscii(next, below.PlainLow()) & kHigh;
        uint64_t ends = stopsX | (Equal(x, kSpace) & (stopsNext | Equal(next, kSpace)));
        if (ends != 0) return i + FirstMarked(ends);
    }
    // Passes: a byte the layers below give unchanged and below 0x80.
    auto passes = [&](uint8_t x) { return below.Plain(x) & (x < kHighBit); };
    auto stops = [&](uint8_t x) { return !passes(x); };
    for (; i + 1 < n; ++i) {
        uint8_t x = b[i], next = b[i + 1];
        const bool stopsX = stops(x), stopsNext = stops(next);
        // Bitwise, not branching: spaces come at no foreseeable place.
        bool ends = stopsX | ((x == kSpace) & (stopsNext | (next == kSpace)));
        if (ends) return i;
    }
    return i < n && passes(b[i]) && b[i] != kSpace ? n : i;
}

// Takes one compressed byte: returns it, or kStreamError when a put below failed.
inline int SpaceExpander(FileHandle *handle, CompressionState &state, uint8_t byte) {
    using namespace space;
    if (state.spaceKind == kSpaceEscaped) {
        state.spaceKind = kSpaceNothing;
        if (!PassDown(handle, state, byte | kHighBit)) return kStreamError;
    } else if (byte < kHighBit) {
        if (!PassDown(handle, state, byte)) return kStreamError;
    } else if (byte == kRecordEndByte) {
        if (!PassDown(handle, state, kValueRecordEnd)) return kStreamError;
    } else if (byte == kEscape) {
        state.spaceKind = kSpaceEscaped;
    } else {
        uint32_t n = byte - kRunBase;  // 0x80 gives nothing
        if (!PutCopiesBelow(handle, kSpace, n)) return kStreamError;
        state.expandedCount += n;
    }
    return byte;
}

}  // namespace kx
