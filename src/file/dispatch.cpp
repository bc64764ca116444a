#include "file/dispatch.h"

#include "charset/charset_layer.h"
#include "compress/compression_layer.h"
#include "text/text_layer.h"

namespace kx {

// The layers plug in here, each above the next: a handle whose flags name a
// layer goes to that layer's entry, the topmost first.
int DispatchRead(FileHandle *handle, void *buffer, uint32_t length, uint32_t *count) {
    if (handle->flags & (kLayerCompression | kLayerRecordMode))
        return CompressionRead(handle, buffer, length, count);
    if (handle->flags & kLayerCharset) return CharsetRead(handle, buffer, length, count);
    if (handle->flags & kLayerText) return TextRead(handle, buffer, length, count);
    return ReadBlock(handle->stream, buffer, length, count);
}

namespace {

int LayeredWrite(FileHandle *handle, const void *buffer, uint32_t length, uint32_t *count) {
    if (handle->flags & (kLayerCompression | kLayerRecordMode))
        return CompressionWrite(handle, buffer, length, count);
    if (handle->flags & kLayerCharset) return CharsetWrite(handle, buffer, length, count);
    return TextWrite(handle, buffer, length, count);
}

}  // namespace

// A layered write gathers the stream's full buffers and writes them in larger
// pieces; when it returns, the file holds what 4096-byte flushes would have
// written (EndDeferredWrites).
int DispatchWrite(FileHandle *handle, const void *buffer, uint32_t length, uint32_t *count) {
    if ((handle->flags & (kLayerCompression | kLayerRecordMode | kLayerCharset | kLayerText)) == 0)
        return WriteBlock(handle->stream, buffer, length, count);
    if (handle->stream == nullptr) return LayeredWrite(handle, buffer, length, count);
    BeginDeferredWrites(handle->stream);
    int ok = LayeredWrite(handle, buffer, length, count);
    if (!EndDeferredWrites(handle->stream) && ok) {
        *count = 0;
        ok = 0;
    }
    return ok;
}

// From the top down, each layer writes what it still holds: the character-set
// layer a dead key still waiting for its letter, then the text layer its
// collected spaces and its closing Ctrl-Z.
ErrorCode CloseLayers(FileHandle *handle) {
    if (handle->flags & kLayerCharset) {
        ErrorCode code = CharsetClose(handle);
        if (code != err::kNone) return code;
    }
    if (handle->flags & kLayerText) return TextClose(handle);
    return err::kNone;
}

// Layers switched off since keep their states, and reset them too: switched on
// again, they start afresh like the others.
int RepositionLayers(FileHandle *handle) {
    CompressionReposition(handle);
    if (handle->charset != nullptr) CharsetReposition(handle);
    return handle->text != nullptr ? TextReposition(handle) : 0;
}

}  // namespace kx
