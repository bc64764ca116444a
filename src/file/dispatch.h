// The one place where a handle's reads, writes and close reach its layers.
// The topmost active layer takes the call: compression (or record mode), then
// the character-set layer, then the text layer, else the buffered stream. Each
// layer reaches the next active one below it through its own get-value and
// put-value operations.
#pragma once

#include <cstdint>

#include "core/handle.h"

namespace kx {

// 1 with the bytes delivered or accepted in `count`, or 0 after recording the cause.
int DispatchRead(FileHandle *handle, void *buffer, uint32_t length, uint32_t *count);
int DispatchWrite(FileHandle *handle, const void *buffer, uint32_t length, uint32_t *count);

// What the layers must do before the stream closes (the character-set layer's
// pending dead key, the text layer's closing Ctrl-Z): 0, or an ErrorCode, in
// which case nothing is closed.
ErrorCode CloseLayers(FileHandle *handle);

// Before the stream moves or takes data back: from the top down, every layer
// whose state the handle holds writes what it holds for the file (a pending
// dead key, collected spaces) and starts afresh, so that nothing read, owed or
// half-expanded at the old position comes out at the new one. 0, or
// kStreamError when writing held bytes failed (the stream recorded the cause);
// the layers are reset either way.
int RepositionLayers(FileHandle *handle);

}  // namespace kx
