// The character-set layer: translates the bytes of a stream between two
// character sets while they are read or written. It sits above the text layer
// when that layer is on, else directly above the buffered stream, and below the
// compression layer. kxFileRead/kxFileWrite reach it through CharsetRead and
// CharsetWrite when it is the topmost active layer; the compression layer takes
// and gives values one at a time through CharsetGetValue and CharsetPutValue.
//
// On both sides the from set is that of the bytes entering the layer and the
// to set that of the bytes leaving it.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "core/errors.h"
#include "core/handle.h"
#include "core/layer_values.h"
#include "core/stream.h"
#include "kxfiles.h"
#include "text/text_layer.h"

namespace kx::dbcs {
struct ShiftJisUtf8;
}  // namespace kx::dbcs

namespace kx {

constexpr uint32_t kCharsetQueueLength = 10;  // places per queue
constexpr uint16_t kNationalVariantLast = 17;  // variants 1 to 17; 0 is none

// Dead-key modes, set by ApplyNationalSet for the HP national variants.
constexpr uint16_t kDeadKeysNone = 0;
constexpr uint16_t kDeadKeysCircumflexDiaeresis = 1;
constexpr uint16_t kDeadKeysAcuteGraveDiaeresis = 2;

// Results of CharsetPutValue besides the value put.
constexpr int kCharsetOutputFull = -1;   // memory mode: the output buffer is full
constexpr int kCharsetOutputError = -2;  // the layer below failed and recorded the cause

// UTF-8 as a set of the layer (on either side).
constexpr uint16_t kUtf8Set = 65001;
// Internal bit of CharsetState::stateFlags: the record translates through
// Unicode (UTF-8 on one side at least); never taken from the options.
constexpr uint16_t kStateUnicode = 0x8000;

// How the Unicode path reads or writes one side's bytes.
constexpr uint8_t kCodingSingleByte = 0;  // through the set's map
constexpr uint8_t kCodingShiftJis = 1;    // code page 932, or the JIS mapping
constexpr uint8_t kCodingUtf8 = 2;

// A character sequence begun but not ended: the bits so far, the bytes still
// to come and the range the next one must lie in (all 0 between characters).
struct UnicodeDecoder {
    uint32_t partial;
    uint8_t need;
    uint8_t low, high;
};

// The Unicode path's part of the record: the two sides' codings, the
// byte-order mark's state, the write side's decoder and the tables of the
// single-byte sides.
struct UnicodeCoding {
    uint8_t fromKind;            // kCoding* of the bytes entering the layer
    uint8_t toKind;              // kCoding* of the bytes leaving it
    uint8_t jisMapping;          // 1 with CSF_SJIS_JIS_MAPPING
    uint8_t dropBom;             // 1 until the first character: a leading U+FEFF is dropped
    uint8_t writeBom;            // 1 until the first output: EF BB BF goes first
    UnicodeDecoder decoder;      // write side: a sequence begun in an earlier value
    uint16_t fromValues[256];    // single-byte source: the character of each code
    uint16_t toMap[256];         // single-byte target: its map
    uint8_t lowCodes[256];       // single-byte target: the code of U+0000-U+00FF
    uint16_t hashKeys[512];      // single-byte target: characters from U+0100 (0: empty slot)
    uint8_t hashCodes[512];      // their codes
    uint16_t hashFilled;         // slots in use
    const uint16_t *shiftJisToUnicode;  // Shift-JIS side: the tables of dbcs/dbcs.h
    const uint16_t *unicodeToShiftJis;
    const dbcs::ShiftJisUtf8 *shiftJisToUtf8;  // Shift-JIS to UTF-8: the table of dbcs/dbcs.h
    uint32_t utf8Bytes[256];     // single-byte source to UTF-8: each code's bytes, in memory order
    uint8_t utf8Length[256];     // and their number
    uint8_t asciiAsItself;       // 1 when the single-byte side's codes 0x00-0x7E are U+0000-U+007E
};

// Allocated zero-filled from the local heap by BuildCharsetState and owned by
// the handle until kxFileClose or the next kxFileSetCharsetFlags.
struct CharsetState {
    uint16_t fromSet;                           // CharsetId of the bytes entering the layer
    uint16_t toSet;                             // CharsetId of the bytes leaving the layer
    uint16_t stateFlags;                        // the options' low 16 bits and CSF_TO_DBCS, CSF_ACTIVE, CSF_FROM_DBCS
    uint16_t variant;                           // national variant, 0 (none) to 17
    uint16_t deadKeyMode;                       // kDeadKeys*: how accents are typed in the 7-bit national set
    // The queues carry a count rather than a terminating 0, so that a NUL byte
    // owed or taken back is never lost. The read side looks only at the
    // counts; the single-byte write side keeps its pending dead key as
    // outputQueue[0] (1-4) with outputCount 0, the double-byte write side its
    // pending host bytes as outputQueue[0..outputCount).
    uint16_t outputQueue[kCharsetQueueLength];  // read: values still owed to the caller; write: see above
    uint16_t outputCount;                       // values in outputQueue
    uint16_t inputQueue[kCharsetQueueLength];   // read: source values (0-255 or a record end) read ahead and taken back
    uint16_t inputCount;                        // values in inputQueue
    uint16_t shiftState;                        // read: the host shift in force; write: the host shift parser's state (double-byte side)
    uint32_t kanaToFull;                        // 1 with CSF_KANA_TO_FULL
    uint32_t kanaToHalf;                        // 1 with CSF_KANA_TO_HALF
    uint32_t detectPending;                     // 1 from setup with CSF_DETECT_JAPANESE until the first CharsetWrite
    uint32_t jisAsciiReturn;                    // 1 with CSF_JIS_ASCII_RETURN: 7-bit JIS runs end with ESC ( B
    uint8_t kanaInSeq[4];                       // host sequence before half-width katakana, 0-terminated
    uint8_t kanjiInSeq[7];                      // host sequence before double-byte characters, 0-terminated
    uint8_t supplementInSeq[5];                 // host sequence before supplementary kanji, 0-terminated
    uint8_t shiftOutSeq[5];                     // host sequence back to single-byte characters, 0-terminated
    uint8_t table[256];                         // this handle's single-byte translation
    uint8_t *bufferCursor;                      // memory mode: the next byte of the caller's buffer; null for a stream
    uint8_t *bufferEnd;                         // memory mode: the end of that buffer
    uint16_t upperSet;                          // write: the set of host bytes 0x80-0xFF
    uint16_t lowerSet;                          // write: the set of host bytes 0x00-0x7F, 0 for single-byte
    UnicodeCoding unicode;                      // with kStateUnicode
    uint8_t printableAsItself;                  // 1 when the bytes 0x20-0x7E are written as themselves
};

// A new record for translating `from` into `to` with the CSF_* options and a
// national variant: 0 and the record in `out`, 9 when `out` is null, 10 when
// memory runs out. A pair without a table translates as the identity, with the
// OEM/ANSI options still applied.
ErrorCode BuildCharsetState(uint16_t from, uint16_t to, uint32_t options, uint32_t variant,
                            CharsetState **out);

// ---- The Unicode path (UTF-8 on either side) ----

// Whether the pair `from`, `to` goes through Unicode.
inline bool IsUnicodePair(uint16_t from, uint16_t to) { return from == kUtf8Set || to == kUtf8Set; }
// Sets up the record's Unicode path for its sets and options: 0, or 9 when
// the other side is a set the path cannot take (a host double-byte set).
ErrorCode SetupUnicode(CharsetState &s, uint32_t options);
// Step of CharsetGetValue with kStateUnicode: the value for the reader from
// the source value `v`; reads on to the end of a sequence and queues the
// further bytes of its character.
uint16_t ReadUnicode(FileHandle *handle, uint16_t v);
// Step of CharsetPutValue with kStateUnicode.
int WriteUnicode(FileHandle *handle, uint16_t v);
// At close or before a reposition: a sequence the write side began and
// never ended is written as one substitute.
void FinishUnicode(FileHandle *handle);

// The block paths' step: whole characters of `in` converted into `out` while
// both last, stopping before anything the value path must do (a sequence
// cut by the end of `in`, an ill-formed one, a character the target lacks,
// a byte-order mark to drop or write, output that might not fit). The bytes
// taken and stored are those the value path would take and store.
struct UnicodeBlock {
    uint32_t taken, stored;
};
UnicodeBlock ConvertUnicodeBlock(UnicodeCoding &u, const uint8_t *in, uint32_t length, uint8_t *out, uint32_t room);

// Whether the block paths may convert now: UTF-8 in use, nothing between the
// layer and the stream, no character begun on the write side.
inline bool UnicodeBlocks(const FileHandle *handle, const CharsetState &s) {
    return (s.stateFlags & (kStateUnicode | CSF_ACTIVE)) == (kStateUnicode | CSF_ACTIVE) &&
           (handle->flags & kLayerText) == 0 && s.bufferCursor == nullptr && handle->stream != nullptr &&
           s.unicode.decoder.need == 0 && !s.unicode.dropBom && !s.unicode.writeBom;
}

// ---- The double-byte side ----

// Sets CSF_FROM_DBCS / CSF_TO_DBCS, the host shift sequences and the write
// side's sets from the record's fromSet and toSet.
void SetupShiftSequences(CharsetState &state);
// Step of CharsetGetValue for a double-byte source: the value for the reader
// from the source value `v`; may read on and queue further values.
uint16_t ReadDoubleByte(FileHandle *handle, uint16_t v);
// Step of CharsetPutValue for a double-byte target: the result of the put.
int WriteDoubleByte(FileHandle *handle, uint16_t v);
// The Japanese encoding the data looks to be in, as a CharsetId, or 0.
uint16_t DetectJapaneseEncoding(const uint8_t *buffer, uint32_t length);

// ---- Dead keys ----

// The dead key waiting for its letter on the write side, 1 to 4, or 0.
// Held host bytes of the double-byte side (outputCount not 0) are never one.
inline uint16_t PendingDeadKey(const CharsetState &s) {
    if (s.outputCount != 0) return 0;
    uint16_t d = s.outputQueue[0];
    return d >= 1 && d <= 4 ? d : 0;
}

// The source value's split into a dead key and a letter on the read side, or
// its composition on the write side; out of line, taken only with a dead-key
// mode.
uint16_t SplitDeadKey(CharsetState &s, uint16_t v);
// Write side, single-byte path, with a dead-key mode or a pending dead key:
// true when `v` became a pending dead key and nothing goes down; otherwise
// `v` is the byte to translate (a letter joined with its dead key).
bool TakeDeadKey(CharsetState &s, uint16_t &v);

// ---- Values through the layer ----

// The out-of-line cases of CharsetGetValue: a value owed from the output queue.
uint16_t CharsetQueuedValue(CharsetState &s);
// Appends `v` to the values owed to the reader; false when the queue is full.
bool QueueOutput(CharsetState &s, uint16_t v);
// Puts a source value that was read but not used back in front of the input
// queue: it is the next source value. False when the queue is full.
bool GiveBackSource(CharsetState &s, uint16_t v);
// The first value of the non-empty input queue, removed.
uint16_t TakeBackSource(CharsetState &s);
// The end of the source (kValueEnd or kValueError) while shifted: the shift-out
// sequence comes first, then `v`.
uint16_t CharsetSourceEnded(CharsetState &s, uint16_t v);

// The next source value: one taken back, the next byte of the buffer in memory
// mode, else the text layer's or the stream's next value.
inline uint16_t CharsetSourceValue(FileHandle *handle, CharsetState &s) {
    if (s.inputCount != 0) return TakeBackSource(s);
    if (s.bufferCursor != nullptr) return s.bufferCursor < s.bufferEnd ? *s.bufferCursor++ : kValueEnd;
    if (handle->flags & kLayerText) return TextGetValue(handle);
    return StreamGetValue(handle->stream);
}

// The next value for the reader: a byte of the to set, kValueRecordEnd,
// kValueEnd or kValueError (already recorded).
inline uint16_t CharsetGetValue(FileHandle *handle) {
    CharsetState &s = *handle->charset;
    if (s.outputCount != 0) return CharsetQueuedValue(s);
    uint16_t v = CharsetSourceValue(handle, s);
    if (v > kValueRecordEnd) return s.shiftState != 0 ? CharsetSourceEnded(s, v) : v;
    if ((s.stateFlags & (kStateUnicode | CSF_ACTIVE)) == (kStateUnicode | CSF_ACTIVE)) return ReadUnicode(handle, v);
    if ((s.stateFlags & (CSF_FROM_DBCS | CSF_ACTIVE)) == (CSF_FROM_DBCS | CSF_ACTIVE))
        return ReadDoubleByte(handle, v);
    if (v == kValueRecordEnd) return v;
    if (s.stateFlags & CSF_ACTIVE) v = s.table[v];
    if (s.deadKeyMode != kDeadKeysNone) return SplitDeadKey(s, v);
    return v;
}

// The output step: a translated byte or kValueRecordEnd goes into the caller's
// buffer in memory mode, else to the text layer or the stream (which stores a
// record end as 0xFF). The value put, kCharsetOutputFull or kCharsetOutputError.
inline int CharsetOutput(FileHandle *handle, uint16_t v) {
    CharsetState &s = *handle->charset;
    if (s.bufferCursor != nullptr) {
        if (s.bufferCursor >= s.bufferEnd) return kCharsetOutputFull;
        *s.bufferCursor++ = static_cast<uint8_t>(v);
        return v & 0xFF;
    }
    if (handle->flags & kLayerText) {
        uint16_t r = TextPutValue(handle, v);
        return r == kValueError ? kCharsetOutputError : r;
    }
    int r = PutByte(handle->stream, v & 0xFF);
    return r == kStreamError ? kCharsetOutputError : v;
}

// Puts `v` (a byte of the from set, or kValueRecordEnd) through the layer. The
// value put (0-255 or kValueRecordEnd), kCharsetOutputFull or
// kCharsetOutputError.
inline int CharsetPutValue(FileHandle *handle, uint16_t v) {
    CharsetState &s = *handle->charset;
    if ((s.stateFlags & (kStateUnicode | CSF_ACTIVE)) == (kStateUnicode | CSF_ACTIVE)) return WriteUnicode(handle, v);
    if ((s.stateFlags & (CSF_TO_DBCS | CSF_ACTIVE)) == (CSF_TO_DBCS | CSF_ACTIVE))
        return WriteDoubleByte(handle, v);
    if (v == kValueRecordEnd) {
        s.outputQueue[0] = 0;  // a dead key waiting for its letter is dropped
        s.shiftState = 0;
        return CharsetOutput(handle, v);
    }
    if ((s.deadKeyMode != kDeadKeysNone || s.outputQueue[0] != 0) && TakeDeadKey(s, v)) return v;
    if (s.stateFlags & CSF_ACTIVE) v = s.table[v];
    return CharsetOutput(handle, v);
}

// The block paths' inner step: `n` bytes through `table`, or copied when it
// is null. Eight bytes at a time are gathered in a register and stored at
// once: the loads need not wait for byte stores that might alias the table,
// and the loop's speed does not hang on where the linker places it.
inline void TranslateBytes(const uint8_t *in, uint8_t *out, uint32_t n, const uint8_t *table) {
    if (table == nullptr) {
        std::memcpy(out, in, n);
        return;
    }
    uint32_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; i + 8 <= n; i += 8) {
            const uint8_t *p = in + i;
            uint64_t word = uint64_t{table[p[0]]} | uint64_t{table[p[1]]} << 8 | uint64_t{table[p[2]]} << 16 |
                            uint64_t{table[p[3]]} << 24 | uint64_t{table[p[4]]} << 32 |
                            uint64_t{table[p[5]]} << 40 | uint64_t{table[p[6]]} << 48 |
                            uint64_t{table[p[7]]} << 56;
            std::memcpy(out + i, &word, 8);
        }
    }
    for (; i < n; ++i) out[i] = table[in[i]];
}

// The entries from kxFileRead and kxFileWrite: 1 with `count` set, or 0 after
// recording the cause (count 0). A record end from below arrives in the buffer
// as the byte 0xFF.
int CharsetRead(FileHandle *handle, void *buffer, uint32_t length, uint32_t *count);
int CharsetWrite(FileHandle *handle, const void *buffer, uint32_t length, uint32_t *count);
// Puts `length` bytes through the layer to the text layer or the stream, as
// one CharsetPutValue per byte would, runs of them as blocks where the layer
// allows; false after a failure (recorded). Not in memory mode.
bool CharsetPutBytes(FileHandle *handle, const uint8_t *bytes, uint32_t length);

// A whole record and its record end in one step, as CharsetPutBytes and a
// CharsetPutValue of the record end would put them: the record's `length`
// bytes converted straight into the stream's buffer (through the single-byte
// block path's table, or as whole UTF-8 characters), then handed to the text
// layer with TextPutRecordInPlace. The caller has checked that the stream is
// writing with room for at least two bytes. False, with nothing put and the
// layer as it was, when the block paths cannot take the record whole now
// (another kind of conversion, a character that needs the value path, too
// little room in the buffer, a byte the text layer works on).
bool CharsetPutRecordInPlace(FileHandle *handle, const uint8_t *bytes, uint32_t length);

// Whether CharsetPutRecordInPlace may take records now and writes printable
// ASCII (0x20-0x7E) as itself: the layer above may then hand such a record
// to TextPutPrintableRecord itself, and call CharsetRecordsEnded after it
// (before anything else reaches this layer). It stays so while only records
// go below that way.
bool CharsetPassesPrintable(const FileHandle *handle);
void CharsetRecordsEnded(FileHandle *handle);

// ---- Buffers and file names in memory ----

// A buffer through the byte table of `from` to `to` alone (with the OEM/ANSI
// options); at most size - 1 bytes, then a terminator.
void TranslateBufferDirect(uint8_t *source, int32_t length, uint8_t *destination, int32_t size,
                           uint16_t from, uint16_t to, uint32_t options);
// A buffer through `record` in memory mode: the read side for the directions
// whose work is there (from a PC double-byte set, to a national set), else the
// write side. At most size - 1 bytes, then a terminator.
void TranslateBufferLayered(uint8_t *source, int32_t length, uint8_t *destination, int32_t size,
                            CharsetState &record);
// A file name into the 260 bytes of `result`: Shift-JIS names to and from
// their escaped ASCII form, other names through the byte table.
void TranslateFileName(char *name, char *result, uint16_t from, uint16_t to, uint32_t options);

// Before the layers below close: a dead key still waiting for its letter is
// written as its own character, translated like any other byte. 0, or 11
// without a record.
ErrorCode CharsetClose(FileHandle *handle);

// Before the stream moves (or takes data back): a pending dead key is written
// as at close, then the layer starts afresh in single-byte state with nothing
// queued on either side. The sets, options and table stay.
void CharsetReposition(FileHandle *handle);

}  // namespace kx
