// The read side of the character-set layer: values from below become bytes of
// the to set, an accented letter of an HP national set becomes its dead key
// and letter, and the data ends in single-byte state.
#include "charset/charset_layer.h"
#include "charset/dbcs_layer.h"
#include "charset/dead_keys.h"
#include "core/block_paths.h"

namespace kx {

uint16_t CharsetSourceEnded(CharsetState &s, uint16_t v) {
    if (s.shiftOutSeq[0] == 0) return v;
    for (uint32_t i = 1; i < sizeof s.shiftOutSeq && s.shiftOutSeq[i] != 0; ++i)
        QueueOutput(s, s.shiftOutSeq[i]);
    QueueOutput(s, v);
    s.shiftState = 0;
    return s.shiftOutSeq[0];
}

uint16_t SplitDeadKey(CharsetState &s, uint16_t v) {
    if (s.deadKeyMode > kDeadKeysAcuteGraveDiaeresis) return v;
    uint8_t d = kDecomposeTable[s.deadKeyMode - 1][v];
    if (d == 0) return v;
    QueueOutput(s, kBaseLetters[d / 16]);
    return kDeadKeys[d % 16];
}

namespace {

// Whether the bytes of the stream's buffer may be taken as a block: straight
// from the stream, each byte through the table alone, nothing owed or taken
// back. Then a block gives exactly what one CharsetGetValue per byte would.
bool PlainBlocks(const FileHandle *handle, const CharsetState &s) {
    return BlockPaths() && (handle->flags & kLayerText) == 0 && s.bufferCursor == nullptr && s.outputCount == 0 &&
           s.inputCount == 0 && s.deadKeyMode == kDeadKeysNone && s.shiftState == 0 &&
           (s.stateFlags & (kStateUnicode | CSF_ACTIVE)) != (kStateUnicode | CSF_ACTIVE) &&
           (s.stateFlags & (CSF_FROM_DBCS | CSF_ACTIVE)) != (CSF_FROM_DBCS | CSF_ACTIVE);
}

// Whether Shift-JIS text may be read for a host in runs straight from the
// stream's buffer (ReadShiftJisBlock), between the values that need the
// double-byte path's full work.
bool ShiftJisBlocks(const FileHandle *handle, const CharsetState &s) {
    return BlockPaths() && (handle->flags & kLayerText) == 0 && s.bufferCursor == nullptr &&
           handle->stream != nullptr && s.fromSet == dbcs::sets::kShiftJis &&
           (s.stateFlags & (CSF_FROM_DBCS | CSF_ACTIVE)) == (CSF_FROM_DBCS | CSF_ACTIVE);
}

}  // namespace

int CharsetRead(FileHandle *handle, void *buffer, uint32_t length, uint32_t *count) {
    if (!LayerEntryReady(handle, buffer, length, count, true)) return 0;
    if (handle->charset == nullptr) {
        handle->stream->error = err::kInvalidHandle;
        return 0;
    }
    CharsetState &s = *handle->charset;
    auto *out = static_cast<uint8_t *>(buffer);
    uint32_t stored = 0;
    if (PlainBlocks(handle, s)) {
        BufferedStream *stream = handle->stream;
        const bool active = (s.stateFlags & CSF_ACTIVE) != 0;
        while (stored < length) {
            if (stream->count == 0) {
                // One value refills the buffer, or ends the data.
                uint16_t v = CharsetGetValue(handle);
                if (v == kValueEnd) break;
                if (v > kValueRecordEnd) return 0;
                out[stored++] = static_cast<uint8_t>(v);
                continue;
            }
            uint32_t n = stream->count < length - stored ? stream->count : length - stored;
            TranslateBytes(stream->cursor, out + stored, n, active ? s.table : nullptr);
            stream->cursor += n;
            stream->count -= n;
            stored += n;
        }
        *count = stored;
        return 1;
    }
    const bool shiftJisBlocks = ShiftJisBlocks(handle, s);
    const bool unicodeBlocks = BlockPaths() && UnicodeBlocks(handle, s);
    while (stored < length) {
        if (unicodeBlocks && s.outputCount == 0 && s.inputCount == 0 && handle->stream->count != 0 &&
            !s.unicode.dropBom) {
            BufferedStream *stream = handle->stream;
            const UnicodeBlock block =
                ConvertUnicodeBlock(s.unicode, stream->cursor, stream->count, out + stored, length - stored);
            stream->cursor += block.taken;
            stream->count -= block.taken;
            stored += block.stored;
            if (stored == length) break;
        }
        if (shiftJisBlocks && s.outputCount == 0 && s.inputCount == 0 && handle->stream->count != 0) {
            stored += ReadShiftJisBlock(handle, out + stored, length - stored);
            if (stored == length) break;
        }
        uint16_t v = CharsetGetValue(handle);
        if (v == kValueEnd) break;
        if (v > kValueRecordEnd) return 0;
        out[stored++] = static_cast<uint8_t>(v);  // a record end arrives as 0xFF
    }
    *count = stored;
    return 1;
}

}  // namespace kx
