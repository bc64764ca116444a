#include "core/dispatch.h"

namespace kx {

// The layers plug in here, each above the next: a handle whose flags name a
// layer goes to that layer's entry. No layer is built into the library yet, so
// no flag bit is ever set and every call reaches the buffered stream.
int DispatchRead(FileHandle *handle, void *buffer, uint32_t length, uint32_t *count) {
    return ReadBlock(handle->stream, buffer, length, count);
}

int DispatchWrite(FileHandle *handle, const void *buffer, uint32_t length, uint32_t *count) {
    return WriteBlock(handle->stream, buffer, length, count);
}

ErrorCode CloseLayers(FileHandle * /*handle*/) { return err::kNone; }

}  // namespace kx
