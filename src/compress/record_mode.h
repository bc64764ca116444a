// Record mode of the compression layer: no compression, but every record (what
// the layer below delivers up to a record end; the end of the data closes the
// last one) travels framed:
//   2 bytes   its length n, little-endian, 0 to 32767
//   n bytes   its data
//   0 or 1    a zero byte when n is odd, so that every record starts at an
//             even offset
// On writing, a length of 0xFFFF ends the records.
//
// The mode keeps all it knows in its own record, RecordState, which the handle
// owns from kxFileSetCompression(32) on. Both sides can stop at any byte: a
// read of any size continues where the last one stopped, and a write may end
// anywhere in a frame (inside a prefix, in the data, before the pad byte) and
// the next write resumes there.
#pragma once

#include <cstdint>

#include "core/handle.h"

namespace kx {

constexpr int32_t kLongestRecord = 32767;

// Where the write side stands in the framed bytes it is given.
enum RecordWriteStep : uint8_t {
    kRecordPrefixLow = 0,   // the next byte is a prefix's low byte
    kRecordPrefixHigh = 1,  // the next byte is a prefix's high byte
    kRecordData = 2,        // data bytes of the open record follow (`left` of them)
    kRecordPad = 3,         // the pad byte after an odd record follows
    kRecordsEnded = 4,      // a 0xFFFF prefix came: everything after it is ignored
};

struct RecordState {
    // Read side.
    int16_t recordLength;   // the record under way: its bytes so far, or its total
                            // length in continuation; -1 between records
    uint8_t continuation;   // 1: the record's prefix went out, its data follow
    int16_t carried;        // a framed byte that a one-byte read could not take,
                            // delivered first by the next read; -1: none
    // The data bytes of a record that a read took from below but did not
    // deliver: the record did not fit behind the complete records before it,
    // or it is longer than the caller's buffer and the rest of it was read
    // ahead to learn its length. The next read delivers them first, then the
    // value that ended the record when it was read ahead (holdEnd).
    uint32_t holdStart;     // the next held byte to deliver
    uint32_t holdLength;    // bytes held
    int32_t holdEnd;        // the value that ended the held record, else 0

    // Write side.
    uint8_t writeStep;      // a RecordWriteStep
    uint8_t prefixLow;      // kRecordPrefixHigh: the prefix's low byte
    uint16_t left;          // kRecordData: data bytes still to come
    uint8_t padDue;         // the open record is odd: a pad byte follows its data

    uint8_t hold[kLongestRecord + 1];
};

// Switches record mode on for the handle: 0, or 10 when memory runs out
// (recorded). The record is freed with the handle.
ErrorCode RecordStart(FileHandle *handle);

// Back to the state of a newly switched-on record mode: nothing held, no
// record open, the write side expecting a prefix.
void RecordReset(RecordState &state);

// The layer's read and write entries in record mode.
int RecordRead(FileHandle *handle, uint8_t *buffer, uint32_t length, uint32_t *count);
int RecordWrite(FileHandle *handle, const uint8_t *buffer, uint32_t length, uint32_t *count);

}  // namespace kx
