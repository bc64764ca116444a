// The encoding of an input, decided by contradiction over the whole input,
// with the evidence that decided it.
#pragma once

#include <cstdint>
#include <string>

#include "input_bytes.h"

namespace kxcli {

enum class Answer {
    kUndecided,   // two candidates remain, or one without positive evidence
    kAscii,       // 7-bit text without escape sequences: every set reads it
    kUtf8,        // valid UTF-8 with multi-byte characters
    kUtf16,       // a UTF-16 byte-order mark (not converted)
    kSet,         // a Japanese set of the library, `charset`
    kSingleByte,  // 8-bit text that no multi-byte encoding explains
};

struct Detection {
    Answer answer = Answer::kUndecided;
    uint16_t charset = 0;  // kSet: the CharsetId (51, 52, 54, 55, 57, 73)
    std::string name;      // what the answer is called ("shift_jis", "utf-8", ...)
    std::string evidence;  // what was found and what ruled the others out, with offsets
};

// Reads the input to its end.
Detection DetectEncoding(InputBytes &input);

// "shift_jis (...evidence...)" or "undecided: ...".
std::string DescribeDetection(const Detection &detection);

}  // namespace kxcli
