// The module instance, through which message texts and data resources are
// loaded.
#pragma once

#include "platform/platform.h"

namespace kx {

// The library's module instance, stored when the module is loaded.
inline os::HMODULE ModuleInstance() { return os::ThisModule(); }

}  // namespace kx
