// The write side of the character-set layer: bytes of the from set become
// bytes of the to set, and in an HP national set a dead key waits for its
// letter and joins with it.
#include <cstring>

#include "charset/charset_layer.h"
#include "charset/dbcs_layer.h"
#include "charset/dead_keys.h"
#include "core/block_paths.h"

namespace kx {
namespace {

// The dead key that `v` types in the record's dead-key mode, or 0.
uint16_t DeadKeyOf(const CharsetState &s, uint16_t v) {
    switch (s.deadKeyMode) {
    case kDeadKeysCircumflexDiaeresis:
        return v == 0x7E ? 4 : v == 0x5E ? 3 : 0;
    case kDeadKeysAcuteGraveDiaeresis:
        return v == 0x7E ? 4 : v == 0x27 ? 1 : v == 0x60 ? 2 : 0;
    default:
        return 0;
    }
}


// Entry conditions of the single-byte block path: the block-path switch is
// on, the layer writes below (not into memory), no dead-key mode and no dead
// key pending, no double-byte or UTF-8 side. Each byte then goes below as its table
// entry (itself when the layer is not active), as CharsetPutValue puts it.
bool PlainBlocks(const CharsetState &s) {
    return BlockPaths() && s.bufferCursor == nullptr && s.deadKeyMode == kDeadKeysNone &&
           PendingDeadKey(s) == 0 && (s.stateFlags & (CSF_TO_DBCS | CSF_ACTIVE)) != (CSF_TO_DBCS | CSF_ACTIVE) &&
           (s.stateFlags & (kStateUnicode | CSF_ACTIVE)) != (kStateUnicode | CSF_ACTIVE);
}

// The block path straight into the stream's buffer (no text layer below).
bool PutPlainToStream(FileHandle *handle, const uint8_t *in, uint32_t length, const uint8_t *table) {
    BufferedStream *stream = handle->stream;
    uint32_t i = 0;
    while (i < length) {
        if (stream->count == 0) {
            // The buffer is full: one value flushes it.
            if (CharsetPutValue(handle, in[i++]) < 0) return false;
            continue;
        }
        uint32_t n = stream->count < length - i ? stream->count : length - i;
        TranslateBytes(in + i, stream->cursor, n, table);
        stream->cursor += n;
        stream->count -= n;
        i += n;
    }
    return true;
}

// The block path over the text layer: the bytes translated a piece at a
// time, then the runs the text layer stores unchanged put as blocks and each
// byte that stops a run put as a value, as CharsetPutValue would put it.
bool PutPlainToText(FileHandle *handle, const uint8_t *in, uint32_t length, const uint8_t *table) {
    uint8_t piece[1024];
    for (uint32_t i = 0; i < length;) {
        const uint32_t n = length - i < sizeof piece ? length - i : static_cast<uint32_t>(sizeof piece);
        const uint8_t *bytes = in + i;
        if (table != nullptr) {
            TranslateBytes(bytes, piece, n, table);
            bytes = piece;
        }
        for (uint32_t j = 0; j < n;) {
            uint32_t taken = 0;
            if (!TextPutPlainBytes(handle, bytes + j, n - j, &taken)) return false;
            j += taken;
            if (j < n && TextPutValue(handle, bytes[j++]) == kValueError) return false;
        }
        i += n;
    }
    return true;
}

}  // namespace

bool CharsetPutBytes(FileHandle *handle, const uint8_t *in, uint32_t length) {
    CharsetState &s = *handle->charset;
    if (PlainBlocks(s)) {
        const uint8_t *table = (s.stateFlags & CSF_ACTIVE) ? s.table : nullptr;
        return (handle->flags & kLayerText) ? PutPlainToText(handle, in, length, table)
                                            : PutPlainToStream(handle, in, length, table);
    }
    for (uint32_t i = 0; i < length; ++i) {
        if (HostBlocks(handle, s)) {
            i += WriteHostBlock(handle, in + i, length - i);
            if (i == length) break;
        }
        if (BlockPaths() && UnicodeBlocks(handle, s)) {
            BufferedStream *stream = handle->stream;
            const UnicodeBlock block = ConvertUnicodeBlock(s.unicode, in + i, length - i, stream->cursor, stream->count);
            stream->cursor += block.stored;
            stream->count -= block.stored;
            i += block.taken;
            if (i == length) break;
        }
        if (CharsetPutValue(handle, in[i]) < 0) return false;
    }
    return true;
}

namespace {

// The conditions of CharsetPutRecordInPlace: the single-byte block path's,
// or the UTF-8 block path's over any layer below, with no character begun
// and no byte-order mark due.
bool RecordBlocks(const CharsetState &s, bool unicode) {
    return unicode ? BlockPaths() && s.bufferCursor == nullptr && s.unicode.decoder.need == 0 &&
                         !s.unicode.dropBom && !s.unicode.writeBom
                   : PlainBlocks(s);
}

bool UnicodeActive(const CharsetState &s) {
    return (s.stateFlags & (kStateUnicode | CSF_ACTIVE)) == (kStateUnicode | CSF_ACTIVE);
}

}  // namespace

bool CharsetPassesPrintable(const FileHandle *handle) {
    const CharsetState &s = *handle->charset;
    return s.printableAsItself && RecordBlocks(s, UnicodeActive(s));
}

void CharsetRecordsEnded(FileHandle *handle) {
    // What a record end does to the layer (CharsetPutValue): a UTF-8 sequence
    // cannot be open here; a single-byte table forgets a dead key.
    CharsetState &s = *handle->charset;
    if (!UnicodeActive(s)) {
        s.outputQueue[0] = 0;
        s.shiftState = 0;
    }
}

bool CharsetPutRecordInPlace(FileHandle *handle, const uint8_t *in, uint32_t length) {
    CharsetState &s = *handle->charset;
    BufferedStream *stream = handle->stream;
    const uint32_t room = stream->count - 2;  // the record end's room kept
    const bool unicode = UnicodeActive(s);
    if (!RecordBlocks(s, unicode)) return false;
    bool put;
    if (!unicode) {
        if (length > room) return false;
        TranslateBytes(in, stream->cursor, length, (s.stateFlags & CSF_ACTIVE) ? s.table : nullptr);
        put = TextPutRecordInPlace(handle, length);
    } else {
        // Whole characters only: the block stops before a sequence cut short,
        // an ill-formed one, a character the target lacks.
        const UnicodeBlock block = ConvertUnicodeBlock(s.unicode, in, length, stream->cursor, room);
        put = block.taken == length && TextPutRecordInPlace(handle, block.stored);
    }
    if (put) CharsetRecordsEnded(handle);
    return put;
}

bool TakeDeadKey(CharsetState &s, uint16_t &v) {
    if (uint16_t pending = PendingDeadKey(s)) {
        // The letter after a dead key: joined when the pair has a code,
        // otherwise the letter alone goes on and the dead key is dropped.
        s.outputQueue[0] = 0;
        for (uint32_t k = 0; k < sizeof kBaseLetters; ++k)
            if (kBaseLetters[k] == v) {
                v = kComposeTable[pending - 1][k];
                break;
            }
        return false;
    }
    if (uint16_t d = DeadKeyOf(s, v)) {
        s.outputQueue[0] = d;
        return true;
    }
    return false;
}

int CharsetWrite(FileHandle *handle, const void *buffer, uint32_t length, uint32_t *count) {
    if (!LayerEntryReady(handle, buffer, length, count, false)) return 0;
    CharsetState *s = handle->charset;
    if (s == nullptr) {
        handle->stream->error = err::kInvalidHandle;
        return 0;
    }
    const auto *in = static_cast<const uint8_t *>(buffer);
    if (s->detectPending) {
        s->detectPending = 0;
        if (uint16_t d = DetectJapaneseEncoding(in, length)) {
            s->fromSet = d;
            SetupShiftSequences(*s);
        }
    }
    // Memory mode stops when the caller's buffer is full: value by value.
    if (s->bufferCursor == nullptr) {
        if (!CharsetPutBytes(handle, in, length)) return 0;
        *count = length;
        return 1;
    }
    for (uint32_t i = 0; i < length; ++i) {
        if (HostBlocks(handle, *s)) {
            i += WriteHostBlock(handle, in + i, length - i);
            if (i == length) break;
        }
        int r = CharsetPutValue(handle, in[i]);
        if (r == kCharsetOutputFull) {
            *count = i;
            return 1;
        }
        if (r < 0) return 0;
    }
    *count = length;
    return 1;
}

ErrorCode CharsetClose(FileHandle *handle) {
    if (handle == nullptr || handle->charset == nullptr) return err::kInvalidHandle;
    FinishUnicode(handle);
    CharsetState &s = *handle->charset;
    uint16_t pending = PendingDeadKey(s);
    if (pending == 0) return err::kNone;
    s.outputQueue[0] = 0;
    // A file that ends in an accent keeps it: the dead key is written as its
    // own character, translated as any other byte would be. A handle that is
    // reading now gets nothing; a failed write is kept by the stream and the
    // close goes on, as with the text layer's closing bytes.
    if (s.bufferCursor == nullptr && !CanWriteNow(handle->stream)) return err::kNone;
    uint16_t v = kDeadKeys[pending];
    if (s.stateFlags & CSF_ACTIVE) v = s.table[v];
    CharsetOutput(handle, v);
    return err::kNone;
}

void CharsetReposition(FileHandle *handle) {
    CharsetClose(handle);
    CharsetState &s = *handle->charset;
    std::memset(s.outputQueue, 0, sizeof s.outputQueue);
    std::memset(s.inputQueue, 0, sizeof s.inputQueue);
    s.outputCount = 0;
    s.inputCount = 0;
    s.shiftState = 0;
    // A byte-order mark belongs to the start of the data as first read or
    // written, not to wherever the stream moves.
    s.unicode.decoder = {};
    s.unicode.dropBom = 0;
    s.unicode.writeBom = 0;
}

}  // namespace kx
