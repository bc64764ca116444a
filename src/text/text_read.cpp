// The read side of the text layer: the file's bytes become values for the
// layers above, with line ends turned into record ends, tabs expanded and a
// Ctrl-Z ending the data, as the options ask.
#include <cstring>

#include "core/block_paths.h"
#include "core/byte_scan.h"
#include "kxfiles.h"
#include "text/text_layer.h"

namespace kx {
namespace {

using namespace textchar;

// Classifies `v`, the next value from the stream or the held one. CR and LF
// that the options drop make it read on, so this loops until a value is due.
uint16_t Classify(FileHandle *handle, TextFields &t, uint16_t v) {
    const uint16_t options = t.options;
    for (;;) {
        switch (v) {
        case kValueEnd:
            t.phase = kTextEnded;
            return kValueEnd;
        case kValueError:
            return kValueError;  // the phase stays: a later call tries again
        case kCtrlZ:
            if (options & TXT_READ_CTRLZ_ENDS) {
                t.phase = kTextEnded;
                return kValueEnd;
            }
            break;
        case kCR:
            t.column = 0;
            if (options & TXT_READ_CR_ENDS_RECORD) return kValueRecordEnd;
            if (options & TXT_READ_CRLF_ENDS_RECORD) {
                if (options & TXT_READ_CR_TO_CRLF) return kValueRecordEnd;
                uint16_t w = StreamGetValue(handle->stream);
                if (w == kLF) return kValueRecordEnd;
                t.held = w;
                t.phase = kTextHeld;
                return kCR;
            }
            if (options & TXT_READ_CR_TO_CRLF) {
                t.held = kLF;
                t.phase = kTextHeld;
                return kCR;
            }
            if (options & TXT_DROP_CR) {
                v = StreamGetValue(handle->stream);
                continue;
            }
            return kCR;
        case kLF:
            t.column = 0;
            if (options & TXT_READ_LF_ENDS_RECORD) return kValueRecordEnd;
            if (options & TXT_DROP_LF) {
                v = StreamGetValue(handle->stream);
                continue;
            }
            return kLF;
        case kTab:
            // With a tab width of 0 there are no tab stops: the tab stays a tab.
            if ((options & TXT_TABS) && t.tabWidth != 0) {
                uint16_t n = static_cast<uint16_t>(t.tabWidth - t.column % t.tabWidth - 1);
                t.pending = n;
                if (n != 0) t.phase = kTextTab;
                ++t.column;
                return kSpace;
            }
            break;
        case kFF:
            if (t.ffRecordEnd) {
                t.ffRecordEnd = 0;
                t.column = 0;
                return kValueRecordEnd;
            }
            break;
        default:
            break;
        }
        ++t.column;
        return v;
    }
}

}  // namespace

uint16_t TextGetValueSlow(FileHandle *handle) {
    TextFields &t = handle->text->work;
    uint16_t v;
    switch (t.phase) {
    case kTextEnded:
        return kValueEnd;
    case kTextTab:
        if (--t.pending == 0) t.phase = kTextNormal;
        ++t.column;
        return kSpace;
    case kTextHeld:
        v = t.held;
        t.phase = kTextNormal;
        break;
    default: {
        int c = GetByte(handle->stream);
        if (c > kCtrlZ && c != kFF) {
            ++t.column;
            return static_cast<uint16_t>(c);
        }
        v = c >= 0 ? static_cast<uint16_t>(c) : c == kStreamEnd ? kValueEnd : kValueError;
        break;
    }
    }
    return Classify(handle, t, v);
}

namespace {

// The block path of TextRead: in the normal phase, the run of buffered bytes
// above Ctrl-Z other than 0xFF (at most `most`), which TextGetValue's inline
// half would give one by one, each adding 1 to the column, is copied at once.
// Words of eight bytes with none of the others are passed over whole. The
// bytes copied.
uint32_t CopyPlainRun(FileHandle *handle, uint8_t *out, uint32_t most) {
    TextFields &t = handle->text->work;
    BufferedStream *stream = handle->stream;
    if (t.phase != kTextNormal || !BlockPaths()) return 0;
    const uint8_t *in = stream->cursor;
    const uint32_t n = stream->count < most ? stream->count : most;
    uint32_t run = 0;
    while (run + 8 <= n) {
        uint64_t word = bytescan::Load8(in + run);
        uint64_t stops = bytescan::Below(word, kCtrlZ + 1) | bytescan::Equal(word, kFF);
        if (stops != 0) {
            run += bytescan::FirstMarked(stops);
            break;
        }
        run += 8;
    }
    if (run + 8 > n)
        while (run < n && in[run] > kCtrlZ && in[run] != kFF) ++run;
    std::memcpy(out, in, run);
    stream->cursor += run;
    stream->count -= run;
    t.column = static_cast<uint16_t>(t.column + run);
    return run;
}

}  // namespace

int TextRead(FileHandle *handle, void *buffer, uint32_t length, uint32_t *count) {
    if (!LayerEntryReady(handle, buffer, length, count, true)) return 0;
    auto *out = static_cast<uint8_t *>(buffer);
    uint32_t stored = 0;
    while (stored < length) {
        stored += CopyPlainRun(handle, out + stored, length - stored);
        if (stored == length) break;
        uint16_t v = TextGetValue(handle);
        if (v == kValueEnd) break;
        if (v == kValueError) return 0;
        out[stored++] = static_cast<uint8_t>(v);  // a record end arrives as 0xFF
    }
    *count = stored;
    return 1;
}

}  // namespace kx
