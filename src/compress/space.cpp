// Method 1, space compression: the read and write entries. The format and the
// per-value operations are in space.h.
#include "compress/space.h"

namespace kx {

int SpaceRead(FileHandle *handle, CompressionState &state, uint8_t *buffer, uint32_t length,
              uint32_t *count) {
    return FillFromCompressor(buffer, length, count,
                              [&] { return SpaceCompressor(handle, state); });
}

int SpaceWrite(FileHandle *handle, CompressionState &state, const uint8_t *buffer,
               uint32_t length, uint32_t *count) {
    uint32_t i = 0;
    while (i < length) {
        // A run of plain bytes (below 0x80, nothing escaped pending) goes down
        // as a block; every other byte through the expander.
        if (state.spaceKind == space::kSpaceNothing) {
            uint32_t n = 0;
            while (i + n < length && buffer[i + n] < space::kHighBit) ++n;
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
