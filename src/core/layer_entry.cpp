#include "core/layer_entry.h"

namespace kx {

bool LayerEntryReady(FileHandle *handle, const void *buffer, uint32_t length, uint32_t *count,
                     bool reading) {
    if (count != nullptr) *count = 0;
    if (handle->stream == nullptr) return false;
    if (count == nullptr || (length > 0 && buffer == nullptr)) {
        handle->stream->error = err::kInternal;
        return false;
    }
    return reading ? ReadingAllowed(handle->stream) : WritingAllowed(handle->stream);
}

}  // namespace kx
