// The Windows character-set number of what the system displays.
#pragma once

#include <cstdint>

namespace kx::charset {

// 0 ANSI, 161 Greek, 162 Turkish, 177 Hebrew, 178 Arabic, 204 Russian, 238
// Eastern European, or whatever other number the display font reports.
uint32_t DisplayCharset();

}  // namespace kx::charset
