// The loss report: every character of the input that has no counterpart in
// the target set, so that a transfer approximates it or puts the default
// character in its place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "input_bytes.h"

namespace kxcli {

struct LostCharacter {
    uint64_t offset;     // in the input
    std::string bytes;   // hexadecimal, "C9" or "88 9F"
    std::string fate;    // "approximated as 2B", "replaced by 20", ...
};

struct LossReport {
    uint64_t count = 0;
    std::vector<LostCharacter> first;  // the first few, in input order
};

// Scans the input as text of set `from` going to set `to`. kanaToFull: the
// half-width katakana of a PC double-byte text are widened before conversion.
// False when the input cannot be read (a message has been printed).
bool ScanLosses(InputBytes &input, uint16_t from, uint16_t to, bool kanaToFull, LossReport &report);

// The same where UTF-8 is `from` or `to` (loss_unicode.cpp).
bool ScanUnicodeLosses(InputBytes &input, uint16_t from, uint16_t to, LossReport &report);

// The count and the first positions on stderr, under the input's name.
void PrintLossReport(const LossReport &report, const std::string &inputName, uint16_t from, uint16_t to);

}  // namespace kxcli
