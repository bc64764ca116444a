#include "core/handle.h"

#include <new>

namespace kx {

FileHandle *AllocFileHandle(BufferedStream *stream) {
    void *memory = os::LocalAlloc(os::LPTR, sizeof(FileHandle));
    if (memory == nullptr) return nullptr;
    auto *handle = new (memory) FileHandle{};
    handle->stream = stream;
    return handle;
}

void FreeFileHandle(FileHandle *handle) {
    // Layer states are flat records from the local heap, like the handle.
    os::LocalFree(handle->text);
    os::LocalFree(handle->charset);
    os::LocalFree(handle->compression);
    os::LocalFree(handle->records);
    handle->~FileHandle();
    os::LocalFree(handle);
}

}  // namespace kx
