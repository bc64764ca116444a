// What every layer shares: values as signed numbers, the buffered stream seen
// as the lowest layer, and the checks at each layer's read and write entry.
#pragma once

#include <cstdint>

#include "core/handle.h"
#include "core/layer_values.h"
#include "core/stream.h"

namespace kx {

// A value of the layer chain as a signed number: bytes and kValueRecordEnd
// stay as they are, kValueEnd becomes kStreamEnd and kValueError kStreamError.
inline int SignedValue(uint16_t value) { return static_cast<int16_t>(value); }

// The buffered stream seen as a layer: GetByte's result as a value.
inline uint16_t StreamGetValue(BufferedStream *stream) {
    int c = GetByte(stream);
    if (c >= 0) return static_cast<uint16_t>(c);
    return c == kStreamEnd ? kValueEnd : kValueError;
}

// Checks shared by every layer's read and write entry, as the block operations
// make them: a count to fill (set to 0 here), memory for `length` bytes, and a
// stream that may go in the asked direction now. False with 16 or 1 kept in the
// stream, or without a stream.
bool LayerEntryReady(FileHandle *handle, const void *buffer, uint32_t length, uint32_t *count,
                     bool reading);

}  // namespace kx
