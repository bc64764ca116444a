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

// The next compressed byte, kStreamEnd or kStreamError.
inline int SpaceCompressor(FileHandle *handle, CompressionState &state) {
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
        v = ValueFromBelow(handle);
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
            next = ValueFromBelow(handle);
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
        for (int n = byte - kRunBase; n > 0; --n)  // 0x80 gives nothing
            if (!PassDown(handle, state, kSpace)) return kStreamError;
    }
    return byte;
}

}  // namespace kx
