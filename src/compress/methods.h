// Inside the compression layer: how it reaches the layer below, the entries of
// record mode and of each method, and the loops they share. Not for the other
// subsystems: they include compression_layer.h.
#pragma once

#include <cstdint>

#include "charset/charset_layer.h"
#include "compress/compression_layer.h"
#include "core/layer_values.h"
#include "core/stream.h"
#include "text/text_layer.h"

namespace kx {

// Within this layer a value is an int: a byte 0-255, kValueRecordEnd, or
// kStreamEnd / kStreamError for the end of the data and an error already
// recorded.

// The value from below: the next value of the highest active layer under this
// one. The choice is made here and only here, per value, from the handle's
// flags: the character-set layer when kLayerCharset is set, else the text
// layer, else the buffered stream.
inline int ValueFromBelow(FileHandle *handle) {
    if (handle->flags & kLayerCharset) return SignedValue(CharsetGetValue(handle));
    if (handle->flags & kLayerText) return SignedValue(TextGetValue(handle));
    return GetByte(handle->stream);
}

// Puts a value (a byte or kValueRecordEnd) to the layer below, chosen as in
// ValueFromBelow; the stream stores a record end as the byte 0xFF. A negative
// result is a failure, already recorded.
inline int PutBelow(FileHandle *handle, int value) {
    if (handle->flags & kLayerCharset) return CharsetPutValue(handle, static_cast<uint16_t>(value));
    if (handle->flags & kLayerText) return SignedValue(TextPutValue(handle, static_cast<uint16_t>(value)));
    return PutByte(handle->stream, value & 0xFF);
}

// Puts `length` data bytes below, as one PutBelow per byte would: runs that
// the text layer stores unchanged go down as blocks when it is the layer
// below. False after a failure.
inline bool PutBytesBelow(FileHandle *handle, const uint8_t *bytes, uint32_t length) {
    uint32_t i = 0;
    while (i < length) {
        if ((handle->flags & (kLayerCharset | kLayerText)) == kLayerText) {
            uint32_t taken = 0;
            if (!TextPutPlainBytes(handle, bytes + i, length - i, &taken)) return false;
            i += taken;
            if (i == length) break;
        }
        if (PutBelow(handle, bytes[i++]) < 0) return false;
    }
    return true;
}

// Record mode (record_mode.cpp).
int RecordRead(FileHandle *handle, uint8_t *buffer, uint32_t length, uint32_t *count);
int RecordWrite(FileHandle *handle, const uint8_t *buffer, uint32_t length, uint32_t *count);

// Each method's side of a read or a write: fills `buffer` with compressed bytes
// or takes compressed bytes from it. 1 with `count` set, or 0.
int SpaceRead(FileHandle *handle, CompressionState &state, uint8_t *buffer, uint32_t length,
              uint32_t *count);
int SpaceWrite(FileHandle *handle, CompressionState &state, const uint8_t *buffer,
               uint32_t length, uint32_t *count);
int RepeatRead(FileHandle *handle, CompressionState &state, uint8_t *buffer, uint32_t length,
               uint32_t *count);
int RepeatWrite(FileHandle *handle, CompressionState &state, const uint8_t *buffer,
                uint32_t length, uint32_t *count);
int RankRead(FileHandle *handle, CompressionState &state, uint8_t *buffer, uint32_t length,
             uint32_t *count);
int RankWrite(FileHandle *handle, CompressionState &state, const uint8_t *buffer,
              uint32_t length, uint32_t *count);

// The rank table as it starts: entry i holds symbol i, unused.
void ResetRanks(CompressionState &state);

// A compressed read: `next` gives one output byte per call. The end of the
// data ends the read with the bytes stored so far; an error fails it.
template <typename Next>
inline int FillFromCompressor(uint8_t *buffer, uint32_t length, uint32_t *count, Next next) {
    uint32_t stored = 0;
    while (stored < length) {
        int c = next();
        if (c < 0) {
            if (c == kStreamEnd) break;
            return 0;
        }
        buffer[stored++] = static_cast<uint8_t>(c);
    }
    *count = stored;
    return 1;
}

}  // namespace kx
