// Record mode: no compression, but every record (what the layer below delivers
// up to a record end; the end of the data closes the last one) travels framed:
//   2 bytes   its length n, little-endian, 0 to 32767
//   n bytes   its data
//   0 or 1    a zero byte when n is odd, so that every record starts at an
//             even offset
// On writing, a length of 0xFFFF ends the records.
#include <cstring>
#include <new>

#include "compress/methods.h"

namespace kx {
namespace {

constexpr int32_t kLongestRecord = 32767;
constexpr uint32_t kPrefixSize = 2;
// The most of a caller's buffer that one read fills: even, and small enough
// that the count can never wrap to 0 in a 16-bit length.
constexpr uint32_t kLargestRead = 65534;
constexpr uint32_t kEndOfRecordsPrefix = 0xFFFF;
constexpr uint32_t kLargestPrefix = 0x7FFF;

// Storage of the handle (FileHandle::pendingData) for the data bytes of a
// record that a read has taken from below but not delivered: the record did
// not fit behind the complete records before it, or it is longer than the
// caller's buffer and the rest of it was read ahead to learn its length. The
// next read delivers them from here first, whatever buffer it is given, and
// then the value that ended the record when it was read ahead.
//
// Reading ahead keeps what it read rather than rewinding the layers below: a
// character-set layer's shift state and queued bytes could not be put back
// with the stream, and the bytes delivered must be the bytes counted.
struct RecordHold {
    uint32_t start;                     // the next byte to deliver
    uint32_t length;                    // bytes held
    int end;                            // after the held bytes: the value that ended
                                        // the record when it was read ahead, else 0
    int carried;                        // a framed byte that a one-byte read could not
                                        // take, delivered first by the next read; -1: none
    uint8_t bytes[kLongestRecord + 1];  // the held data
};

RecordHold *Hold(FileHandle *handle) { return reinterpret_cast<RecordHold *>(handle->pendingData); }

// Makes sure the handle has its hold storage, before a read takes anything.
bool HoldReady(FileHandle *handle) {
    if (handle->pendingData != nullptr) return true;
    void *memory = os::LocalAlloc(os::LPTR, sizeof(RecordHold));
    if (memory == nullptr) {
        SetThreadError(err::kOutOfMemory);
        return false;
    }
    auto *hold = new (memory) RecordHold{};
    hold->carried = -1;
    handle->pendingData = static_cast<uint8_t *>(memory);
    return true;
}

// The next value for the record being read: held bytes first, then the layer
// below (ValueFromBelow, or a BelowReader).
template <typename Below>
inline int NextValue(Below &below, RecordHold &hold) {
    if (hold.start < hold.length) return hold.bytes[hold.start++];
    if (hold.end != 0) {
        int v = hold.end;
        hold.end = 0;
        return v;
    }
    return below();
}

// Nothing held: the next value comes from below.
inline bool HoldEmpty(const RecordHold &hold) { return hold.start >= hold.length && hold.end == 0; }

inline void StorePrefix(uint8_t *at, uint32_t length) {
    at[0] = static_cast<uint8_t>(length);
    at[1] = static_cast<uint8_t>(length >> 8);
}

// The fields a failed read puts back.
struct RecordFields {
    int16_t recordLength;
    uint32_t continuation;
    uint32_t holdStart;
    uint32_t holdLength;
    int holdEnd;
};

RecordFields SaveFields(const FileHandle *handle, const RecordHold &hold) {
    return {handle->recordLength, handle->continuation, hold.start, hold.length, hold.end};
}

int FailRead(FileHandle *handle, RecordHold &hold, const RecordFields &before) {
    handle->recordLength = before.recordLength;
    handle->continuation = before.continuation;
    hold.start = before.holdStart;
    hold.length = before.holdLength;
    hold.end = before.holdEnd;
    return 0;
}

// Reads the rest of the open record into the hold, behind the bytes it still
// holds, and keeps the value that ended it for the reads that deliver it.
// `length` comes in as the record's bytes already stored and goes out as its
// total length. 0 on failure, after recording it. The hold has room: the bytes
// before its start went into this read's buffer as part of the same record,
// so what it holds never exceeds the record's length.
int ReadAhead(BelowReader &below, RecordHold &hold, int32_t &length) {
    int32_t total = length + static_cast<int32_t>(hold.length - hold.start);
    uint32_t at = hold.length;
    int end = hold.end;
    while (end == 0) {
        int v = below();
        if (v == kStreamError) return 0;
        if (v == kStreamEnd || v == kValueRecordEnd) {
            end = v;
            break;
        }
        if (total == kLongestRecord) {
            SetThreadError(err::kRecordTooLong);
            return 0;
        }
        hold.bytes[at++] = static_cast<uint8_t>(v);
        ++total;
    }
    hold.length = at;
    hold.end = end;
    length = total;
    return 1;
}

// RecordRead after the hold is ready, the values from below taken through `below`.
int ReadRecords(FileHandle *handle, BelowReader &below, uint8_t *buffer, uint32_t length,
                uint32_t *count) {
    RecordHold &hold = *Hold(handle);
    const RecordFields before = SaveFields(handle, hold);

    uint32_t usable = (length < kLargestRead ? length : kLargestRead) & ~1u;
    if (usable == 0) {  // no room for a prefix: nothing is taken
        *count = 0;
        return 1;
    }
    int32_t recordLength = handle->recordLength;
    bool continuation = handle->continuation != 0;
    // A record held back by the last read starts again at this buffer's start;
    // its data come from the hold.
    if (recordLength >= 0 && !continuation) {
        recordLength = -1;
        hold.start = 0;
    }
    uint32_t stored = 0;
    uint32_t prefixAt = 0;  // where the open record's prefix stands (not in continuation)

    while (usable > 0) {
        if (recordLength < 0) {
            prefixAt = stored;
            stored += kPrefixSize;
            usable -= kPrefixSize;
            recordLength = 0;
            continuation = false;
            // With only the prefix's room left, nothing more is taken: the
            // record goes on in the next read.
            if (usable == 0) break;
        }
        // Data bytes that need no work below go into the record as a block,
        // as far as the buffer and the longest record allow; the byte that
        // stops the run is taken one value at a time below.
        if (!continuation && HoldEmpty(hold)) {
            const uint32_t longest = static_cast<uint32_t>(kLongestRecord - recordLength);
            const uint32_t n = below.TakePlainRun(buffer + stored, usable < longest ? usable : longest);
            stored += n;
            usable -= n;
            recordLength += static_cast<int32_t>(n);
            // The run stopped at the buffer's end, the stream buffer's end, the
            // longest record, or a byte that is not plain: that byte is taken
            // next, without asking for a run again.
            if (usable == 0) break;
        }
        int v = HoldEmpty(hold) && below.TakeCrLf() ? kValueRecordEnd : NextValue(below, hold);
        if (v == kStreamError) return FailRead(handle, hold, before);
        if (v != kStreamEnd && v != kValueRecordEnd) {
            if (!continuation) {
                if (recordLength == kLongestRecord) {
                    SetThreadError(err::kRecordTooLong);
                    return FailRead(handle, hold, before);
                }
                ++recordLength;
            }
            buffer[stored++] = static_cast<uint8_t>(v);
            --usable;
            continue;
        }
        // The record ends. In continuation its prefix went out with the first
        // part, and recordLength is its total length.
        if (!continuation) StorePrefix(buffer + prefixAt, static_cast<uint32_t>(recordLength));
        if (v == kStreamEnd && recordLength == 0 && !continuation) {
            stored -= kPrefixSize;  // no empty record after the last one
            recordLength = -1;
            break;
        }
        if (recordLength & 1) {
            buffer[stored++] = 0;
            --usable;
        }
        recordLength = -1;
        continuation = false;
        if (v == kStreamEnd) break;
    }

    if (recordLength >= 0 && !continuation) {
        if (prefixAt > 0) {
            // The open record waits for the next read: its data bytes so far
            // move to the hold, the complete records before it go out.
            uint32_t taken = static_cast<uint32_t>(recordLength);
            std::memmove(hold.bytes, buffer + prefixAt + kPrefixSize, taken);
            hold.start = 0;
            hold.length = taken;
            hold.end = 0;
            handle->recordLength = static_cast<int16_t>(recordLength);
            handle->continuation = 0;
            *count = prefixAt;
            return 1;
        }
        // The record is longer than the buffer: its total length goes into
        // the prefix now, and the following reads deliver the rest of it.
        int32_t total = recordLength;
        if (!ReadAhead(below, hold, total)) return FailRead(handle, hold, before);
        if (total == 0 && hold.end == kStreamEnd) {
            // Nothing follows: no record, the end of the data (which the
            // next read finds again in the hold).
            handle->recordLength = -1;
            handle->continuation = 0;
            hold.start = hold.length = 0;
            *count = 0;
            return 1;
        }
        StorePrefix(buffer, static_cast<uint32_t>(total));
        recordLength = total;
        continuation = true;
    }
    if (recordLength < 0 && hold.start >= hold.length) hold.start = hold.length = 0;
    handle->recordLength = static_cast<int16_t>(recordLength);
    handle->continuation = continuation ? 1 : 0;
    *count = stored;
    return 1;
}

// One read's framing into `buffer`, whose length the framing rounds down to
// an even number of bytes.
int FrameRecords(FileHandle *handle, uint8_t *buffer, uint32_t length, uint32_t *count) {
    BelowReader below(handle);
    int result = ReadRecords(handle, below, buffer, length, count);
    below.Commit();
    return result;
}

}  // namespace

// The framed bytes do not depend on the sizes of the reads: a read of one
// byte frames two into the hold and carries the second over to the next read,
// which delivers it before anything else.
int RecordRead(FileHandle *handle, uint8_t *buffer, uint32_t length, uint32_t *count) {
    *count = 0;
    if (!HoldReady(handle)) return 0;
    if (length == 0) return 1;
    RecordHold &hold = *Hold(handle);
    uint32_t delivered = 0;
    if (hold.carried >= 0) {
        buffer[0] = static_cast<uint8_t>(hold.carried);
        hold.carried = -1;
        delivered = 1;
    }
    uint32_t framed = 0;
    int ok;
    if (length - delivered == 1) {
        uint8_t pair[2];
        ok = FrameRecords(handle, pair, sizeof pair, &framed);
        if (ok && framed > 0) buffer[delivered] = pair[0];
        if (ok && framed > 1) hold.carried = pair[1];
        if (framed > 1) framed = 1;
    } else {
        ok = FrameRecords(handle, buffer + delivered, length - delivered, &framed);
    }
    if (!ok) {
        // A failed read takes nothing: the carried byte waits for the next one.
        if (delivered == 1) hold.carried = buffer[0];
        return 0;
    }
    *count = delivered + framed;
    return 1;
}

int RecordWrite(FileHandle *handle, const uint8_t *buffer, uint32_t length, uint32_t *count) {
    if (handle->endOfRecords) return 1;  // everything after the last record is ignored
    uint32_t at = 0, done = 0;
    while (at < length) {
        if (handle->recordLength < 0) {
            if (length - at == 1) return 0;  // half a prefix: nothing recorded
            uint32_t prefix = buffer[at] | (buffer[at + 1] << 8);
            at += kPrefixSize;
            handle->continuation = prefix & 1;  // a pad byte follows an odd record
            if (prefix == kEndOfRecordsPrefix) {
                handle->endOfRecords = 1;
                break;
            }
            if (prefix > kLargestPrefix) {
                SetThreadError(err::kRecordTooLong);
                return 0;
            }
            handle->recordLength = static_cast<int16_t>(prefix);
        }
        uint32_t run = static_cast<uint32_t>(handle->recordLength);
        if (run > length - at) run = length - at;
        if (!PutBytesBelow(handle, buffer + at, run)) return 0;
        at += run;
        done += run;
        handle->recordLength = static_cast<int16_t>(handle->recordLength - run);
        if (handle->recordLength == 0) {
            if (PutBelow(handle, kValueRecordEnd) < 0) return 0;
            handle->recordLength = -1;
            ++done;
            if (handle->continuation && at < length) ++at;  // the pad byte
        }
    }
    *count = done;
    return 1;
}

}  // namespace kx
