// The Japanese encoding of received data, decided by the same rules as the
// character-set layer's detection on the first block it writes, and the
// evidence that decided it.
#pragma once

#include <cstdint>
#include <string>

#include "input_bytes.h"

namespace kxcli {

struct Detection {
    uint16_t charset = 0;  // a CharsetId (51, 52, 54, 55, 57, 73), 0: undecided
    std::string evidence;  // what was found, with its offset
};

// Scans bytes until the encoding is decided or the data ends.
Detection DetectJapanese(InputBytes &input);

// "shift_jis (Shift-JIS lead byte 82 at offset 3)" or "undecided: ...".
std::string DescribeDetection(const Detection &detection);

}  // namespace kxcli
