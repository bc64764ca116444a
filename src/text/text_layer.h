// The text layer: between a file's line ends, tabs and Ctrl-Z and the record
// structure of a transfer. It sits directly on the buffered stream; the layers
// above reach it one value at a time through TextGetValue and TextPutValue, and
// kxFileRead/kxFileWrite reach it through TextRead and TextWrite when it is the
// topmost active layer.
#pragma once

#include <cstdint>

#include "core/errors.h"
#include "core/handle.h"
#include "core/layer_entry.h"
#include "core/layer_values.h"
#include "core/stream.h"
#include "kxfiles.h"

namespace kx {

// The bytes the text layer acts on.
namespace textchar {
constexpr uint16_t kTab = 9;
constexpr uint16_t kLF = 10;
constexpr uint16_t kCR = 13;
constexpr uint16_t kCtrlZ = 26;
constexpr uint16_t kSpace = 32;
constexpr uint16_t kQuote = 34;
constexpr uint16_t kApostrophe = 39;
constexpr uint16_t kPeriod = 46;
constexpr uint16_t kFF = 255;  // a record end where no line end is written
}  // namespace textchar

// TextFields::phase. The read side uses 0-3, the write side 1 and 4: a stream
// is read or written, so one field serves both.
enum TextPhase : uint16_t {
    kTextHeld = 0,      // read: waiting to deliver `held`, a value read ahead
    kTextNormal = 1,    // waiting for the next byte (either side)
    kTextTab = 2,       // read: waiting to deliver `pending` more spaces of a tab
    kTextEnded = 3,     // read: the end of the data was reached; nothing more is read
    kTextSpaces = 4,    // write: collecting a run of spaces, `pending` of them so far
};

// The working fields of the text layer.
struct TextFields {
    uint16_t options;         // TXT_* bits
    uint16_t tabWidth;        // columns between tab stops; 0: tabs are ordinary bytes
    uint16_t phase;           // a TextPhase
    uint16_t pending;         // read: spaces still due for a tab; write: spaces collected
    uint16_t column;          // current column, 0 at the start of a line
    uint16_t held;            // read: the value read ahead, delivered next in kTextHeld
    uint32_t inQuotes;        // write: 1 once a '"' or '\'' was written on this line
    uint16_t minRun;          // write: 2 after a '.', else 1; longer space runs become tabs
    uint32_t recordsWritten;  // write: record ends written
    uint32_t lastWasCR;       // write: 1 when the last byte written was CR
    uint32_t ffRecordEnd;     // read: one-shot, the next 0xFF read is a record end
};

// Allocated zero-filled from the local heap by kxFileSetTranslation and owned
// by the handle until kxFileClose.
struct TextState {
    TextFields work;  // the fields in use
};

// The out-of-line halves of TextGetValue and TextPutValue below: every case
// the inline halves do not take.
uint16_t TextGetValueSlow(FileHandle *handle);
uint16_t TextPutValueSlow(FileHandle *handle, uint16_t value);

// The next value towards the reader: a byte, kValueRecordEnd, kValueEnd or
// kValueError (already recorded). Inline: a buffered byte above Ctrl-Z (other
// than 0xFF) in the normal phase only advances the column.
inline uint16_t TextGetValue(FileHandle *handle) {
    TextFields &t = handle->text->work;
    BufferedStream *stream = handle->stream;
    if (t.phase == kTextNormal && stream->count != 0) {
        uint8_t c = *stream->cursor;
        if (c > 26 && c != 0xFF) {
            --stream->count;
            ++stream->cursor;
            ++t.column;
            return c;
        }
    }
    return TextGetValueSlow(handle);
}

// ---- The block path of a layer above ----
// A layer above may take bytes straight from the stream's buffer where the
// text layer would pass them on unchanged, one value each: in the normal
// phase, the bytes from kTextPlainLow up but 0xFF. It may also take the line
// ends that TextGetValue turns into one record end each, as TextPlainRule
// says. It takes them through TextTakePlainBytes and TextTakeLines, which
// keep the layer's column.
constexpr uint8_t kTextPlainLow = 27;  // above Ctrl-Z

struct TextPlainRule {
    bool plainBytes;      // the normal phase: plain bytes may be taken now
    bool lfEndsRecord;    // an LF is one record end
    bool crEndsRecord;    // a CR is one record end
    bool crLfEndsRecord;  // CR LF ends records, a CR alone neither ends one nor
                          // becomes CR LF: a CR LF is one record end
};

inline TextPlainRule TextPlainRuleNow(const FileHandle *handle) {
    const TextFields &t = handle->text->work;
    if (t.phase != kTextNormal) return {false, false, false, false};
    return {true, (t.options & TXT_READ_LF_ENDS_RECORD) != 0, (t.options & TXT_READ_CR_ENDS_RECORD) != 0,
            (t.options & TXT_READ_CRLF_ENDS_RECORD) &&
                !(t.options & (TXT_READ_CR_ENDS_RECORD | TXT_READ_CR_TO_CRLF))};
}

// Takes `n` plain bytes at the stream's cursor, as n TextGetValue calls would.
inline void TextTakePlainBytes(FileHandle *handle, uint32_t n) {
    SkipBuffered(handle->stream, n);
    handle->text->work.column = static_cast<uint16_t>(handle->text->work.column + n);
}

// Takes `n` bytes at the stream's cursor that are plain bytes and line ends
// taken as TextPlainRule allows, the last line end followed by `column`
// plain bytes: as TextGetValue takes them, which puts the column at 0 at
// each line end.
inline void TextTakeLines(FileHandle *handle, uint32_t n, uint32_t column) {
    SkipBuffered(handle->stream, n);
    handle->text->work.column = static_cast<uint16_t>(column);
}

// The bytes TextPutValue looks at twice: tab, LF, CR, space, '"', '\'', '.'.
inline constexpr uint8_t kTextWriteNoted[256] = {
    0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0, 0,  // 0x00: tab, LF, CR
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // 0x10
    1, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 1, 0,  // 0x20: space, '"', '\'', '.'
};

// Writes `value` (a byte or kValueRecordEnd) as the options say. Returns the
// value written or consumed (a byte, 13, 10, 32 or kValueRecordEnd), or
// kValueError after the stream recorded a failure. Inline: any other byte, in
// the normal phase and with room in the buffer, is stored and advances the
// column.
inline uint16_t TextPutValue(FileHandle *handle, uint16_t value) {
    TextFields &t = handle->text->work;
    BufferedStream *stream = handle->stream;
    if (value <= 0xFF && !kTextWriteNoted[value] && t.phase == kTextNormal && stream->count != 0) {
        ++t.column;
        t.lastWasCR = 0;
        t.minRun = 1;
        --stream->count;
        *stream->cursor++ = static_cast<uint8_t>(value);
        return value;
    }
    return TextPutValueSlow(handle, value);
}

// The block form of TextPutValue for the bytes it stores unchanged: writes the
// longest leading run of `bytes` without tab, LF, CR (and space, when the
// options collect spaces), in the normal phase, exactly as one TextPutValue
// per byte would. The bytes written in `taken`; 0 after the stream recorded a
// failure.
int TextPutPlainBytes(FileHandle *handle, const uint8_t *bytes, uint32_t length, uint32_t *taken);

// A whole record of a layer above in one step: that layer has stored the
// record's `length` data bytes at the stream's cursor, in a writing stream
// whose buffer has room for them and two bytes more. When the text layer
// would store each of them unchanged (TextPutPlainBytes would take them all),
// they are taken and the record end is written as TextPutValue writes it:
// true. Otherwise nothing is taken (the bytes at the cursor are left to be
// overwritten): false. With the text layer off the bytes are taken and the
// record end is the stream's 0xFF.
bool TextPutRecordInPlace(FileHandle *handle, uint32_t length);

// Records of printable ASCII written whole by record mode's own loop, for a
// layer above that passes them unchanged. The rule says whether the text
// layer stores printable ASCII as it stands now (the normal phase, no spaces
// collected) and which bytes end a record (`endLength` of them counted, two
// always stored); with the text layer off a record end is the stream's 0xFF.
// The caller stores each record and its end at the writing stream's cursor,
// moves the cursor past them, then calls TextPrintableRecordsPut, which sets
// the layer's fields as one TextPutValue per byte and per record end would
// have left them. `lastByte` is the last data byte of the last non-empty
// record put, or -1 when all were empty.
struct PrintableRecordRule {
    bool unchanged;
    uint8_t end[2];
    uint32_t endLength;
};
PrintableRecordRule TextPrintableRecordRule(const FileHandle *handle);
void TextPrintableRecordsPut(FileHandle *handle, uint32_t records, int lastByte);

// Writes the collected run of spaces as tabs and spaces up to the tab stops.
// False after the stream recorded a failure.
bool TabCompress(FileHandle *handle);

// Writes the run of spaces being collected as it is written before any byte
// other than a line end. False after the stream recorded a failure.
bool TextWriteSpaces(FileHandle *handle);

// The entries from kxFileRead and kxFileWrite: 1 with `count` set, or 0 after
// recording the cause. A record end arrives in the buffer as the byte 0xFF; the
// byte 0xFF given to TextWrite is an ordinary byte.
int TextRead(FileHandle *handle, void *buffer, uint32_t length, uint32_t *count);
int TextWrite(FileHandle *handle, const void *buffer, uint32_t length, uint32_t *count);

// Before the stream closes: writes what the layer still holds (collected
// spaces) and the closing Ctrl-Z when asked. 0, or 11 without a TextState.
ErrorCode TextClose(FileHandle *handle);

// Before the stream moves (or takes data back): collected spaces are written
// as at close, then the layer starts afresh at column 0 with nothing held,
// owed or pending. 0, or kStreamError when writing the spaces failed (the
// stream recorded the cause); the layer is reset either way.
int TextReposition(FileHandle *handle);

// kxFileInsertData gave back `data`: when it ends in 0xFF and the layer's
// records are not ended by CR, LF or CR LF, the next 0xFF read is a record end
// again, as it was when first read.
void TextNoteInsertedData(FileHandle *handle, const void *data, uint32_t length);

// Record ends the layer has written; 0 without a TextState.
uint32_t TextRecordsWritten(const FileHandle *handle);

}  // namespace kx
