// The values that travel between the layers of a stream, one at a time.
#pragma once

#include <cstdint>

namespace kx {

// 0-255 are data bytes; the others:
constexpr uint16_t kValueRecordEnd = 0x1FF;  // the end of a record
constexpr uint16_t kValueEnd = 0xFFFF;       // the end of the data
constexpr uint16_t kValueError = 0xFFFE;     // an error the lower layer has already recorded

}  // namespace kx
