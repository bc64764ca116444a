// Record mode's two sides: framing what the layers below deliver, and taking
// framed bytes apart for them.
#include "compress/record_mode.h"

#include <cstring>
#include <new>

#include "compress/methods.h"

namespace kx {
namespace {

constexpr uint32_t kPrefixSize = 2;
// The most of a caller's buffer that one read fills: even, and small enough
// that the count can never wrap to 0 in a 16-bit length.
constexpr uint32_t kLargestRead = 65534;
constexpr uint32_t kEndOfRecordsPrefix = 0xFFFF;
constexpr uint32_t kLargestPrefix = 0x7FFF;

// The next value for the record being read: held bytes first, then the layer
// below (ValueFromBelow, or a BelowReader).
template <typename Below>
inline int NextValue(Below &below, RecordState &state) {
    if (state.holdStart < state.holdLength) return state.hold[state.holdStart++];
    if (state.holdEnd != 0) {
        int v = state.holdEnd;
        state.holdEnd = 0;
        return v;
    }
    return below();
}

// Nothing held: the next value comes from below.
inline bool HoldEmpty(const RecordState &state) {
    return state.holdStart >= state.holdLength && state.holdEnd == 0;
}

inline void StorePrefix(uint8_t *at, uint32_t length) {
    at[0] = static_cast<uint8_t>(length);
    at[1] = static_cast<uint8_t>(length >> 8);
}

// A failed read puts the read side back as it was: the fields it changes
// are these, and the held bytes themselves are only appended to.
struct ReadFields {
    int16_t recordLength;
    uint8_t continuation;
    uint32_t holdStart;
    uint32_t holdLength;
    int32_t holdEnd;
};

ReadFields SaveFields(const RecordState &state) {
    return {state.recordLength, state.continuation, state.holdStart, state.holdLength, state.holdEnd};
}

int FailRead(RecordState &state, const ReadFields &before) {
    state.recordLength = before.recordLength;
    state.continuation = before.continuation;
    state.holdStart = before.holdStart;
    state.holdLength = before.holdLength;
    state.holdEnd = before.holdEnd;
    return 0;
}

// Reads the rest of the open record into the hold, behind the bytes it still
// holds, and keeps the value that ended it for the reads that deliver it.
// `length` comes in as the record's bytes already stored and goes out as its
// total length. 0 on failure, its code kept in the stream. The hold has room: the bytes
// before its start went into this read's buffer as part of the same record,
// so what it holds never exceeds the record's length.
int ReadAhead(BelowReader &below, RecordState &state, int32_t &length) {
    int32_t total = length + static_cast<int32_t>(state.holdLength - state.holdStart);
    uint32_t at = state.holdLength;
    int end = state.holdEnd;
    while (end == 0) {
        int v = below();
        if (v == kStreamError) return 0;
        if (v == kStreamEnd || v == kValueRecordEnd) {
            end = v;
            break;
        }
        if (total == kLongestRecord) {
            below.Fail(err::kRecordTooLong);
            return 0;
        }
        state.hold[at++] = static_cast<uint8_t>(v);
        ++total;
    }
    state.holdLength = at;
    state.holdEnd = end;
    length = total;
    return 1;
}

// The block path of record-mode reads for lines: whole records, each a run of
// plain bytes and the line end that ends it, framed into `out` while it has
// room (`room`, even) and the stream's buffer holds them, as the value path
// would frame them; the bytes stored, an even number. It stops before a line that needs anything more (a byte the
// text layer works on, the end of the stream's buffer, the longest record),
// which the value path then takes from its start.
//
// Entry conditions: no record open, nothing held, and BelowReader::TakesLines
// (the block-path switch on, no character-set layer, the text layer in its
// normal phase with a line end that ends records).
uint32_t FrameWholeLines(BelowReader &below, uint8_t *out, uint32_t room) {
    // The cursor and the rules held here for the loop, given back at its end.
    const uint8_t *at = below.Cursor();
    const uint8_t *const end = below.End();
    const uint32_t low = below.PlainLow();
    const BelowReader::LineEnds ends = below.Ends();
    uint32_t stored = 0;
    while (room - stored > kPrefixSize) {
        uint32_t limit = room - stored - kPrefixSize;
        if (limit > static_cast<uint32_t>(end - at)) limit = static_cast<uint32_t>(end - at);
        if (limit > static_cast<uint32_t>(kLongestRecord)) limit = kLongestRecord;
        uint8_t *record = out + stored;
        const uint32_t n = bytescan::CopyUntilBelowOrFF(at, record + kPrefixSize, limit, low);
        // As the value path, which leaves a record whose data fill the room
        // open for the next read.
        if (kPrefixSize + n >= room - stored) break;
        const uint32_t ending = ends.At(at + n, end);
        if (ending == 0) break;
        const uint32_t frame = kPrefixSize + n + (n & 1);
        StorePrefix(record, n);
        if (n & 1) record[frame - 1] = 0;
        stored += frame;
        at += n + ending;
    }
    if (stored > 0) below.TakeLinesTo(at);
    return stored;
}

// One read's framing into `buffer`, whose length it rounds down to an even
// number of bytes, the values from below taken through `below`.
int ReadRecords(RecordState &state, BelowReader &below, uint8_t *buffer, uint32_t length,
                uint32_t *count) {
    const ReadFields before = SaveFields(state);

    uint32_t usable = (length < kLargestRead ? length : kLargestRead) & ~1u;
    if (usable == 0) {  // no room for a prefix: nothing is taken
        *count = 0;
        return 1;
    }
    int32_t recordLength = state.recordLength;
    bool continuation = state.continuation != 0;
    // A record held back by the last read starts again at this buffer's start;
    // its data come from the hold.
    if (recordLength >= 0 && !continuation) {
        recordLength = -1;
        state.holdStart = 0;
    }
    uint32_t stored = 0;
    uint32_t prefixAt = 0;  // where the open record's prefix stands (not in continuation)

    while (usable > 0) {
        if (recordLength < 0 && HoldEmpty(state) && below.TakesLines()) {
            const uint32_t framed = FrameWholeLines(below, buffer + stored, usable);
            stored += framed;
            usable -= framed;
            if (usable == 0) break;
        }
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
        if (!continuation && HoldEmpty(state)) {
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
        int v = HoldEmpty(state) && below.TakeLineEnd() ? kValueRecordEnd : NextValue(below, state);
        if (v == kStreamError) return FailRead(state, before);
        if (v != kStreamEnd && v != kValueRecordEnd) {
            if (!continuation) {
                if (recordLength == kLongestRecord) {
                    below.Fail(err::kRecordTooLong);
                    return FailRead(state, before);
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
            std::memmove(state.hold, buffer + prefixAt + kPrefixSize, taken);
            state.holdStart = 0;
            state.holdLength = taken;
            state.holdEnd = 0;
            state.recordLength = static_cast<int16_t>(recordLength);
            state.continuation = 0;
            *count = prefixAt;
            return 1;
        }
        // The record is longer than the buffer: its total length goes into
        // the prefix now, and the following reads deliver the rest of it.
        int32_t total = recordLength;
        if (!ReadAhead(below, state, total)) return FailRead(state, before);
        if (total == 0 && state.holdEnd == kStreamEnd) {
            // Nothing follows: no record, the end of the data (which the
            // next read finds again in the hold).
            state.recordLength = -1;
            state.continuation = 0;
            state.holdStart = state.holdLength = 0;
            *count = 0;
            return 1;
        }
        StorePrefix(buffer, static_cast<uint32_t>(total));
        recordLength = total;
        continuation = true;
    }
    if (recordLength < 0 && state.holdStart >= state.holdLength) state.holdStart = state.holdLength = 0;
    state.recordLength = static_cast<int16_t>(recordLength);
    state.continuation = continuation ? 1 : 0;
    *count = stored;
    return 1;
}

int FrameRecords(FileHandle *handle, uint8_t *buffer, uint32_t length, uint32_t *count) {
    BelowReader below(handle);
    int result = ReadRecords(*handle->records, below, buffer, length, count);
    below.Commit();
    return result;
}

}  // namespace

// The framed bytes do not depend on the sizes of the reads: a read of one
// byte frames two and carries the second over to the next read, which
// delivers it before anything else.
int RecordRead(FileHandle *handle, uint8_t *buffer, uint32_t length, uint32_t *count) {
    *count = 0;
    RecordState &state = *handle->records;
    if (length == 0) return 1;
    uint32_t delivered = 0;
    if (state.carried >= 0) {
        buffer[0] = static_cast<uint8_t>(state.carried);
        state.carried = -1;
        delivered = 1;
    }
    uint32_t framed = 0;
    int ok;
    if (length - delivered == 1) {
        uint8_t pair[2];
        ok = FrameRecords(handle, pair, sizeof pair, &framed);
        if (ok && framed > 0) buffer[delivered] = pair[0];
        if (ok && framed > 1) state.carried = pair[1];
        if (framed > 1) framed = 1;
    } else {
        ok = FrameRecords(handle, buffer + delivered, length - delivered, &framed);
    }
    if (!ok) {
        // A failed read takes nothing: the carried byte waits for the next one.
        if (delivered == 1) state.carried = buffer[0];
        return 0;
    }
    *count = delivered + framed;
    return 1;
}

namespace {

// The frame at `at` when the whole of it stands in the caller's buffer and its
// prefix is one the step-by-step path takes: its data length, else -1.
inline int32_t WholeFrameAt(const uint8_t *buffer, uint32_t length, uint32_t at) {
    if (length - at < kPrefixSize) return -1;
    const uint32_t prefix = buffer[at] | (buffer[at + 1] << 8);
    if (prefix > kLargestPrefix || length - at - kPrefixSize < prefix + (prefix & 1)) return -1;
    return static_cast<int32_t>(prefix);
}

// Records of printable ASCII from `at` on, each with its record end, stored
// straight at the stream's cursor while their frames are whole and the
// buffer has room for a record's copy (sixteen bytes may be stored past its
// data) and its end; `at` and `done` advance past them. The cursor is held
// here and given back once, and the text layer settles its fields once for
// the run. The number of records put.
uint32_t PutPrintableRun(FileHandle *handle, const PrintableRecordRule &rule, const uint8_t *buffer, uint32_t length,
                         uint32_t &at, uint32_t &done) {
    BufferedStream *stream = handle->stream;
    uint8_t *cursor = stream->cursor;
    uint32_t count = stream->count;
    uint32_t records = 0;
    int lastByte = -1;
    for (int32_t frame; (frame = WholeFrameAt(buffer, length, at)) >= 0;) {
        const auto prefix = static_cast<uint32_t>(frame);
        const uint8_t *data = buffer + at + kPrefixSize;
        if (count < prefix + 18 || !bytescan::CopyPrintable(data, length - at - kPrefixSize, cursor, prefix)) break;
        std::memcpy(cursor + prefix, rule.end, 2);
        cursor += prefix + rule.endLength;
        count -= prefix + rule.endLength;
        if (prefix != 0) lastByte = data[prefix - 1];
        at += kPrefixSize + prefix + (prefix & 1);
        done += prefix + 1;
        ++records;
    }
    stream->cursor = cursor;
    stream->count = count;
    TextPrintableRecordsPut(handle, records, lastByte);
    return records;
}

// The block path of record-mode writes: each record whose whole frame stands
// in the caller's buffer goes below in one step, its data and its record end,
// with the same bytes and layer state as the value-at-a-time path's one
// PutBytesBelow and one PutBelow of the record end. `at` and `done` advance
// past the frames taken; the first frame it does not take (cut off by the
// buffer's end, a 0xFFFF or too long a prefix, or refused below) is left to
// the step-by-step path, which flushes the stream's buffer as needed.
//
// Entry conditions: the block-path switch is on; the stream is writing with
// room in its buffer for the record's output and a two-byte line end; the
// character-set layer is off, or on with its single-byte block path or UTF-8
// block path (CharsetPutRecordInPlace; CharsetPassesPrintable for printable
// ASCII it writes as itself, copied straight below); the text layer is off,
// or in its normal phase and would store every byte of the record's output
// unchanged (TextPutRecordInPlace; TextPrintableRecordRule for printable
// ASCII, PutPrintableRun).
void PutRecordsInPlace(FileHandle *handle, const uint8_t *buffer, uint32_t length, uint32_t &at, uint32_t &done) {
    BufferedStream *stream = handle->stream;
    if (!BlockPaths() || !CanWriteNow(stream)) return;
    const bool charset = (handle->flags & kLayerCharset) != 0;
    const PrintableRecordRule rule = TextPrintableRecordRule(handle);
    const bool printable = rule.unchanged && (!charset || CharsetPassesPrintable(handle));
    bool charsetOwed = false;  // records went past the character-set layer
    for (int32_t frame; (frame = WholeFrameAt(buffer, length, at)) >= 0;) {
        if (printable && PutPrintableRun(handle, rule, buffer, length, at, done) > 0) {
            charsetOwed = charset;
            continue;
        }
        const auto prefix = static_cast<uint32_t>(frame);
        const uint8_t *data = buffer + at + kPrefixSize;
        if (charsetOwed) CharsetRecordsEnded(handle);
        charsetOwed = false;
        if (stream->count < 2) break;
        if (charset) {
            if (!CharsetPutRecordInPlace(handle, data, prefix)) break;
        } else {
            if (prefix > stream->count - 2) break;
            std::memcpy(stream->cursor, data, prefix);
            if (!TextPutRecordInPlace(handle, prefix)) break;
        }
        at += kPrefixSize + prefix + (prefix & 1);
        done += prefix + 1;
    }
    if (charsetOwed) CharsetRecordsEnded(handle);
}

}  // namespace

// Takes the framed bytes apart one step at a time, so that a write may end at
// any byte and the next one go on from there; a whole frame that the block
// path can take goes below in one step. The count is that of the values
// passed down: the data bytes and one per record end. A failed write leaves
// the state as after the last step it completed.
int RecordWrite(FileHandle *handle, const uint8_t *buffer, uint32_t length, uint32_t *count) {
    RecordState &state = *handle->records;
    uint32_t at = 0, done = 0;
    while (at < length && state.writeStep != kRecordsEnded) {
        switch (state.writeStep) {
        case kRecordPrefixLow:
            PutRecordsInPlace(handle, buffer, length, at, done);
            if (at == length) break;
            state.prefixLow = buffer[at++];
            state.writeStep = kRecordPrefixHigh;
            break;
        case kRecordPrefixHigh: {
            const uint32_t prefix = state.prefixLow | (buffer[at++] << 8);
            if (prefix == kEndOfRecordsPrefix) {
                state.writeStep = kRecordsEnded;
                break;
            }
            if (prefix > kLargestPrefix) {
                state.writeStep = kRecordPrefixLow;  // the frame is refused whole
                handle->stream->error = err::kRecordTooLong;
                return 0;
            }
            state.left = static_cast<uint16_t>(prefix);
            state.padDue = prefix & 1;
            state.writeStep = kRecordData;
            break;
        }
        case kRecordData: {
            uint32_t run = state.left;
            if (run > length - at) run = length - at;
            if (!PutBytesBelow(handle, buffer + at, run)) return 0;
            at += run;
            done += run;
            state.left = static_cast<uint16_t>(state.left - run);
            break;
        }
        case kRecordPad:
            ++at;  // its value is not looked at
            state.writeStep = kRecordPrefixLow;
            break;
        }
        if (state.writeStep == kRecordData && state.left == 0) {
            if (PutBelow(handle, kValueRecordEnd) < 0) return 0;
            ++done;
            state.writeStep = state.padDue ? kRecordPad : kRecordPrefixLow;
        }
    }
    *count = done;
    return 1;
}

void RecordReset(RecordState &state) {
    state.recordLength = -1;
    state.continuation = 0;
    state.carried = -1;
    state.holdStart = state.holdLength = 0;
    state.holdEnd = 0;
    state.writeStep = kRecordPrefixLow;
    state.prefixLow = 0;
    state.left = 0;
    state.padDue = 0;
}

ErrorCode RecordStart(FileHandle *handle) {
    void *memory = os::LocalAlloc(os::LPTR, sizeof(RecordState));
    if (memory == nullptr) return err::kOutOfMemory;
    auto *state = new (memory) RecordState{};
    RecordReset(*state);
    os::LocalFree(handle->records);
    handle->records = state;
    return err::kNone;
}

}  // namespace kx
