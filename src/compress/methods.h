// Inside the compression layer: how it reaches the layer below, the entries of
// record mode and of each method, and the loops they share. Not for the other
// subsystems: they include compression_layer.h.
#pragma once

#include <cstdint>
#include <cstring>

#include "charset/charset_layer.h"
#include "core/block_paths.h"
#include "core/byte_scan.h"
#include "compress/compression_layer.h"
#include "core/layer_values.h"
#include "core/stream.h"
#include "text/text_layer.h"

namespace kx {

// Within this layer a value is an int: a byte 0-255, kValueRecordEnd, or
// kStreamEnd / kStreamError for the end of the data and an error already
// recorded.

// The value from below: the next value of the highest active layer under this
// one. The choice is made here and only here, per value, from the handle's
// flags: the character-set layer when kLayerCharset is set, else the text
// layer, else the buffered stream.
inline int ValueFromBelow(FileHandle *handle) {
    if (handle->flags & kLayerCharset) return SignedValue(CharsetGetValue(handle));
    if (handle->flags & kLayerText) return SignedValue(TextGetValue(handle));
    return GetByte(handle->stream);
}

// ValueFromBelow for the length of one read, a value per call, with a block
// path for the bytes that need no work below: without the character-set layer,
// a byte in the stream's buffer that the text layer (in its normal phase)
// passes unchanged, any byte above Ctrl-Z but 0xFF, or any byte at all without
// the text layer. Such a byte is taken straight from the buffer through a
// cursor held here, as TextGetValue's or GetByte's inline half would take it,
// and so is a line end that the text layer reads as one record end
// (TakeLineEnd); every other value comes from ValueFromBelow, after Commit
// has written the cursor back. The values are those of ValueFromBelow, one
// for one.
//
// Entry conditions of the block path, decided at each Reload: the block-path
// switch is on, the character-set layer is off, and the text layer (when on)
// is in its normal phase (TextPlainRuleNow). Commit before anything else looks
// at the stream or the text layer: it hands the bytes taken to the text layer
// (TextTakePlainBytes, or TextTakeLines after a line end) or the stream
// (SkipBuffered), as TextGetValue or GetByte would take them value by value.
class BelowReader {
public:
    explicit BelowReader(FileHandle *handle) : handle_(handle) { Reload(); }

    // Keeps the code of a failure the reading layer found itself, for the
    // export to record.
    void Fail(ErrorCode code) { handle_->stream->error = code; }

    int operator()() {
        if (at_ != end_ && static_cast<uint32_t>(*at_ - plainLow_) < plainSpan_) [[likely]]
            return *at_++;
        Commit();
        int v = ValueFromBelow(handle_);
        Reload();
        return v;
    }

    // The bytes at the cursor that the block path may take (Plain tells which
    // of them it would), without taking them; Skip takes them.
    const uint8_t *Cursor() const { return at_; }
    uint32_t Left() const { return static_cast<uint32_t>(end_ - at_); }
    bool Plain(uint8_t byte) const { return static_cast<uint32_t>(byte - plainLow_) < plainSpan_; }
    // The plain bytes below 0x80 are those from PlainLow() up.
    uint32_t PlainLow() const { return plainLow_; }
    void Skip(uint32_t n) { at_ += n; }
    // How many bytes from the cursor on, at most `limit`, the block path may
    // take: all that are left without the text layer, else up to the first
    // byte below Ctrl-Z + 1 or 0xFF, found eight bytes at a time.
    uint32_t PlainRun(uint32_t limit) const {
        if (limit > Left()) limit = Left();
        if (everyBytePlain_) return limit;
        uint32_t n = 0;
        if (scanByWords_) {
            for (; n + 8 <= limit; n += 8) {
                const uint64_t word = bytescan::Load8(at_ + n);
                if (uint64_t stop = bytescan::Below(word, plainLow_) | bytescan::Equal(word, 0xFF))
                    return n + bytescan::FirstMarked(stop);
            }
        }
        while (n < limit && Plain(at_[n])) ++n;
        return n;
    }

    // PlainRun's bytes, copied to `to` and taken. `to` has room for `limit`
    // bytes, and may be written beyond the count up to there.
    uint32_t TakePlainRun(uint8_t *to, uint32_t limit) {
        if (limit > Left()) limit = Left();
        uint32_t n;
        if (everyBytePlain_) {
            std::memcpy(to, at_, limit);
            n = limit;
        } else if (scanByWords_) {
            n = bytescan::CopyUntilBelowOrFF(at_, to, limit, plainLow_);
        } else {
            n = PlainRun(limit);
            std::memcpy(to, at_, n);
        }
        at_ += n;
        return n;
    }

    // A line end at the cursor that the text layer reads as one record end
    // (TextPlainRule): taken, with the column back at 0 from there, as
    // TextGetValue takes it. False, taking nothing, when anything else stands
    // at the cursor.
    bool TakeLineEnd() {
        const uint32_t ending = LineEndAt(0);
        if (ending == 0) return false;
        TakeLine(0, ending);
        return true;
    }

    // Whether whole lines may be taken at the cursor: the block path is on
    // over the text layer, and some line end ends records.
    bool TakesLines() const { return scanByWords_ && (lfEndsRecord_ || crEndsRecord_ || crLfEndsRecord_); }
    // The line ends that end records, copied out for a loop of the caller's
    // own over whole lines (whose stores into bytes could otherwise make the
    // compiler read this reader's fields again after each one).
    struct LineEnds {
        bool lf, cr, crLf;
        // The length of the line end at `p`, before `end`, or 0.
        uint32_t At(const uint8_t *p, const uint8_t *end) const {
            if (p >= end) return 0;
            if (*p == textchar::kCR) {
                if (cr) return 1;
                return crLf && p + 1 < end && p[1] == textchar::kLF ? 2 : 0;
            }
            return *p == textchar::kLF && lf ? 1 : 0;
        }
    };
    LineEnds Ends() const { return {lfEndsRecord_, crEndsRecord_, crLfEndsRecord_}; }
    const uint8_t *End() const { return end_; }
    // The length of the line end that TakeLineEnd would take `offset` bytes
    // past the cursor (within Left()), or 0.
    uint32_t LineEndAt(uint32_t offset) const { return Ends().At(at_ + offset, end_); }
    // Takes `n` plain bytes and the line end of `ending` bytes after them.
    void TakeLine(uint32_t n, uint32_t ending) { TakeLinesTo(at_ + n + ending); }
    // Takes whole lines up to `to`, just past a line end.
    void TakeLinesTo(const uint8_t *to) {
        at_ = to;
        lineStart_ = to;
    }

    void Commit() {
        auto taken = static_cast<uint32_t>(at_ - start_);
        if (taken == 0) return;
        if (lineStart_ != nullptr) {
            TextTakeLines(handle_, taken, static_cast<uint32_t>(at_ - lineStart_));
            lineStart_ = nullptr;
        } else if (handle_->flags & kLayerText) {
            TextTakePlainBytes(handle_, taken);
        } else {
            SkipBuffered(handle_->stream, taken);
        }
        start_ = at_;
    }

private:
    // Where the block path may take bytes now: none with the character-set
    // layer or outside the text layer's normal phase.
    void Reload() {
        BufferedStream *stream = handle_->stream;
        start_ = at_ = end_ = stream->cursor;
        lineStart_ = nullptr;
        lfEndsRecord_ = crEndsRecord_ = crLfEndsRecord_ = everyBytePlain_ = scanByWords_ = false;
        if (!BlockPaths() || (handle_->flags & kLayerCharset)) return;
        if (handle_->flags & kLayerText) {
            const TextPlainRule rule = TextPlainRuleNow(handle_);
            if (!rule.plainBytes) return;
            plainLow_ = kTextPlainLow;  // 27-254: above Ctrl-Z, not 0xFF
            plainSpan_ = textchar::kFF - plainLow_;
            scanByWords_ = true;
            lfEndsRecord_ = rule.lfEndsRecord;
            crEndsRecord_ = rule.crEndsRecord;
            crLfEndsRecord_ = rule.crLfEndsRecord;
        } else {
            plainLow_ = 0;
            plainSpan_ = 256;
            everyBytePlain_ = true;
        }
        end_ = at_ + stream->count;
    }

    FileHandle *handle_;
    const uint8_t *start_ = nullptr;  // the cursor at the last Commit
    const uint8_t *at_ = nullptr;
    const uint8_t *end_ = nullptr;
    uint32_t plainLow_ = 0;  // the block path takes the bytes b with b - plainLow_ < plainSpan_
    uint32_t plainSpan_ = 0;
    // The line ends TakeLineEnd may take (TextPlainRule).
    bool lfEndsRecord_ = false;
    bool crEndsRecord_ = false;
    bool crLfEndsRecord_ = false;
    // After the last line end taken since the last Commit; null when none was.
    const uint8_t *lineStart_ = nullptr;
    // What PlainRun tests, decided once per Reload rather than per call from
    // the two fields above (which the compiler may read as one 64-bit word
    // just after storing them as two halves, a stall on every call).
    bool everyBytePlain_ = false;  // no text layer: every byte is plain
    bool scanByWords_ = false;     // plain = from plainLow_ (at most 0x80) up, but 0xFF
};

// Puts a value (a byte or kValueRecordEnd) to the layer below, chosen as in
// ValueFromBelow; the stream stores a record end as the byte 0xFF. A negative
// result is a failure, already recorded.
inline int PutBelow(FileHandle *handle, int value) {
    if (handle->flags & kLayerCharset) return CharsetPutValue(handle, static_cast<uint16_t>(value));
    if (handle->flags & kLayerText) return SignedValue(TextPutValue(handle, static_cast<uint16_t>(value)));
    return PutByte(handle->stream, value & 0xFF);
}

// Puts `length` data bytes below, as one PutBelow per byte would: runs that
// the character-set layer or the text layer pass as blocks go down as blocks.
// False after a failure.
inline bool PutBytesBelow(FileHandle *handle, const uint8_t *bytes, uint32_t length) {
    if (handle->flags & kLayerCharset) return CharsetPutBytes(handle, bytes, length);
    uint32_t i = 0;
    while (i < length) {
        if ((handle->flags & (kLayerCharset | kLayerText)) == kLayerText && BlockPaths()) {
            uint32_t taken = 0;
            if (!TextPutPlainBytes(handle, bytes + i, length - i, &taken)) return false;
            i += taken;
            if (i == length) break;
        }
        if (PutBelow(handle, bytes[i++]) < 0) return false;
    }
    return true;
}

// Puts `count` copies (at most 256) of the data byte `byte` below, as one
// PutBelow per copy would, through PutBytesBelow. False after a failure.
inline bool PutCopiesBelow(FileHandle *handle, uint8_t byte, uint32_t count) {
    uint8_t copies[256];
    std::memset(copies, byte, count);
    return PutBytesBelow(handle, copies, count);
}

// Each method's side of a read or a write: fills `buffer` with compressed bytes
// or takes compressed bytes from it. 1 with `count` set, or 0.
int SpaceRead(FileHandle *handle, CompressionState &state, uint8_t *buffer, uint32_t length,
              uint32_t *count);
int SpaceWrite(FileHandle *handle, CompressionState &state, const uint8_t *buffer,
               uint32_t length, uint32_t *count);
int RepeatRead(FileHandle *handle, CompressionState &state, uint8_t *buffer, uint32_t length,
               uint32_t *count);
int RepeatWrite(FileHandle *handle, CompressionState &state, const uint8_t *buffer,
                uint32_t length, uint32_t *count);
int RankRead(FileHandle *handle, CompressionState &state, uint8_t *buffer, uint32_t length,
             uint32_t *count);
int RankWrite(FileHandle *handle, CompressionState &state, const uint8_t *buffer,
              uint32_t length, uint32_t *count);

// The rank table as it starts: entry i holds symbol i, unused.
void ResetRanks(CompressionState &state);

// A compressed read: `next` gives one output byte per call. The end of the
// data ends the read with the bytes stored so far; an error fails it.
template <typename Next>
inline int FillFromCompressor(uint8_t *buffer, uint32_t length, uint32_t *count, Next next) {
    uint32_t stored = 0;
    while (stored < length) {
        int c = next();
        if (c < 0) {
            if (c == kStreamEnd) break;
            return 0;
        }
        buffer[stored++] = static_cast<uint8_t>(c);
    }
    *count = stored;
    return 1;
}

}  // namespace kx
