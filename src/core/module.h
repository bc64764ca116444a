// The module instance, through which message texts and data resources are
// loaded.
#pragma once

#include <cstdint>

#include "platform/platform.h"

namespace kx {

// The resource type of the character-set maps, the identity tables and the
// double-byte tables.
constexpr uint16_t kCharsetResourceType = 264;

// The library's module instance, stored when the module is loaded.
inline os::HMODULE ModuleInstance() { return os::ThisModule(); }

}  // namespace kx
