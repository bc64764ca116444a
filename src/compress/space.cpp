// Method 1, space compression: the read and write entries. The format and the
// per-value operations are in space.h.
#include "compress/space.h"

#include <cstring>

namespace kx {

int SpaceRead(FileHandle *handle, CompressionState &state, uint8_t *buffer, uint32_t length,
              uint32_t *count) {
    BelowReader below(handle);
    uint32_t stored = 0;
    int result = 1;
    while (stored < length) {
        if (state.spaceKind == space::kSpaceNothing) {
            const uint8_t *run;
            uint32_t n = SpacePlainRun(below, run, length - stored);
            if (n > 0) {
                std::memcpy(buffer + stored, run, n);
                below.Skip(n);
                stored += n;
                continue;
            }
        }
        int c = SpaceCompressor(below, state);
        if (c < 0) {
            if (c != kStreamEnd) result = 0;
            break;
        }
        buffer[stored++] = static_cast<uint8_t>(c);
    }
    below.Commit();
    if (result) *count = stored;
    return result;
}

namespace {

// The length of the leading run of bytes below 0x80, sixteen or eight bytes
// at a time where as many remain.
uint32_t AsciiRunLength(const uint8_t *bytes, uint32_t length) {
    uint32_t n = 0;
#if defined(__SSE2__)
    for (; n + 16 <= length; n += 16)
        if (uint32_t high = bytescan::Bytes16(bytes + n).HighBit()) return n + bytescan::FirstMarked16(high);
#endif
    for (; n + 8 <= length; n += 8) {
        uint64_t high = bytescan::HighBit(bytescan::Load8(bytes + n));
        if (high != 0) return n + bytescan::FirstMarked(high);
    }
    while (n < length && bytes[n] < space::kHighBit) ++n;
    return n;
}

}  // namespace

int SpaceWrite(FileHandle *handle, CompressionState &state, const uint8_t *buffer,
               uint32_t length, uint32_t *count) {
    uint32_t i = 0;
    while (i < length) {
        // A run of plain bytes (below 0x80, nothing escaped pending) goes down
        // as a block; every other byte through the expander.
        if (state.spaceKind == space::kSpaceNothing) {
            uint32_t n = AsciiRunLength(buffer + i, length - i);
            if (n > 0) {
                if (!PutBytesBelow(handle, buffer + i, n)) return 0;
                state.expandedCount += n;
                i += n;
                continue;
            }
        }
        if (SpaceExpander(handle, state, buffer[i]) < 0) return 0;
        ++i;
    }
    *count = length;
    return 1;
}

}  // namespace kx
