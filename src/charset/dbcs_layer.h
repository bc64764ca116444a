// The double-byte side of the character-set layer, between its read and write
// hooks (charset_layer.h) and the pair conversion of dbcs/dbcs.h: the katakana
// conversions and the write side's parser of host shift sequences.
#pragma once

#include <cstdint>

#include "charset/charset_layer.h"
#include "dbcs/dbcs.h"

namespace kx {

// Shift states of the read side.
constexpr uint16_t kShiftSingle = 0;      // single-byte text
constexpr uint16_t kShiftKana = 1;        // half-width katakana
constexpr uint16_t kShiftKanji = 3;       // double-byte characters
constexpr uint16_t kShiftSupplement = 4;  // JIS X 0212 characters

// Write side: half-width katakana as a state of the hosts (the bytes gain
// their top bit); not a set to configure.
constexpr uint16_t kHostKanaSet = 58;

constexpr uint8_t kEscape = 0x1B;
constexpr uint8_t kSubstitute = 0x20;  // what the read side sends for a character the host lacks

// Whether `set` is one of the PC's double-byte sets.
inline bool IsPcDoubleByteSet(uint16_t set) {
    return set == dbcs::sets::kShiftJis || set == dbcs::sets::kPassA || set == dbcs::sets::kPassB ||
           set == dbcs::sets::kPassC;
}

// Reading Shift-JIS from the stream with nothing owed or taken back: the
// run at the stream's cursor that needs no shift sequence, converted straight
// into `out` (at most `room` bytes). The number of bytes stored; the stream's
// bytes they came from are consumed. What stops the run is left for
// ReadDoubleByte, and the bytes are those it would give one value at a time.
uint32_t ReadShiftJisBlock(FileHandle *handle, uint8_t *out, uint32_t room);

// The half-width katakana `first` (0xA1-0xDF) as its full-width Shift-JIS
// pair, joined with a voiced or semi-voiced mark that follows it in the
// source. A following value that is no such mark is given back to the input
// queue. False when the source failed while looking ahead (the error is
// recorded); the end of the data counts as no mark.
bool HalfToFullKana(FileHandle *handle, uint8_t first, uint16_t &pair);

// The JIS X 0208 code (row, cell) of a full-width katakana or katakana sign
// as a half-width katakana byte in `first` and, for a voiced or semi-voiced
// one, its mark (0xDE or 0xDF) in `second`, else 0. False, with both
// unchanged, for any other code.
bool FullToHalfKana(uint8_t &first, uint8_t &second);

// Write side: takes the host byte `v` into the record's parser of shift
// sequences and pairs. 0: the byte is held or consumed, nothing goes down. 1:
// the pending bytes (outputQueue[0..outputCount)) and then `v`, possibly
// changed, go down.
int HostShiftParser(CharsetState &s, uint16_t &v);

// Writing a host's bytes as Shift-JIS with nothing pending: whether the run
// below may take them now, and the run itself, which converts bytes and
// pairs of `in` straight into the stream's buffer and returns how many bytes
// of `in` it took. The bytes written are those WriteDoubleByte would write
// one value at a time.
bool HostBlocks(const FileHandle *handle, const CharsetState &s);
uint32_t WriteHostBlock(FileHandle *handle, const uint8_t *in, uint32_t length);

}  // namespace kx
