// The module instance the loader hands to DllMain, kept for ThisModule().
#pragma once

#include "platform/platform.h"

namespace kx::os::win32 {

// Records the library's own module; called once, on DLL_PROCESS_ATTACH.
void StoreModuleInstance(HMODULE module);

}  // namespace kx::os::win32
