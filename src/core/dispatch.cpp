#include "core/dispatch.h"

#include "compress/compression_layer.h"
#include "text/text_layer.h"

namespace kx {

// The layers plug in here, each above the next: a handle whose flags name a
// layer goes to that layer's entry. The character-set layer's entries join
// between compression and text, on kLayerCharset, when that layer is built;
// until then the bit is never set.
int DispatchRead(FileHandle *handle, void *buffer, uint32_t length, uint32_t *count) {
    if (handle->flags & (kLayerCompression | kLayerRecordMode))
        return CompressionRead(handle, buffer, length, count);
    if (handle->flags & kLayerText) return TextRead(handle, buffer, length, count);
    return ReadBlock(handle->stream, buffer, length, count);
}

int DispatchWrite(FileHandle *handle, const void *buffer, uint32_t length, uint32_t *count) {
    if (handle->flags & (kLayerCompression | kLayerRecordMode))
        return CompressionWrite(handle, buffer, length, count);
    if (handle->flags & kLayerText) return TextWrite(handle, buffer, length, count);
    return WriteBlock(handle->stream, buffer, length, count);
}

// The text layer writes what it still holds and its closing Ctrl-Z.
ErrorCode CloseLayers(FileHandle *handle) {
    if (handle->flags & kLayerText) return TextClose(handle);
    return err::kNone;
}

}  // namespace kx
