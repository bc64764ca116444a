#include <cstdlib>

#include "platform/faults.h"
#include "platform/platform.h"

namespace kx::os {

HLOCAL LocalAlloc(UINT flags, size_t bytes) {
    if (faults::AllocationFails()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (bytes == 0) bytes = 1;  // a zero-byte block is still a distinct block, as on Windows
    void *memory = (flags & LMEM_ZEROINIT) ? std::calloc(1, bytes) : std::malloc(bytes);
    if (memory == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return memory;
}

HLOCAL LocalFree(HLOCAL memory) {
    std::free(memory);
    return nullptr;
}

}  // namespace kx::os
