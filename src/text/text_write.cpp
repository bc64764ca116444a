// The write side of the text layer: values from above become the file's bytes,
// with record ends written as the options' line ends, CR added before LF,
// trailing spaces dropped and runs of spaces turned into tabs.
#include <cstring>

#include "core/byte_scan.h"
#include "kxfiles.h"
#include "text/text_layer.h"

namespace kx {
namespace {

using namespace textchar;

bool Put(FileHandle *handle, int byte) { return PutByte(handle->stream, byte) != kStreamError; }

// Writes the collected spaces: as tabs and spaces when the options ask for it
// and the run is long enough, one by one otherwise. The bytes written are
// spaces and tabs, so afterwards the last byte written is neither CR nor '.'.
bool WriteCollectedSpaces(FileHandle *handle, TextFields &t) {
    if ((t.options & TXT_SPACES_TO_TABS) && t.inQuotes == 0 && t.pending > t.minRun) {
        if (!TabCompress(handle)) return false;
    } else {
        for (; t.pending > 0; --t.pending) {
            if (!Put(handle, kSpace)) return false;
            ++t.column;
        }
        t.phase = kTextNormal;
    }
    t.lastWasCR = 0;
    t.minRun = 1;
    return true;
}

// What the options write for a record end: their line end, or 0xFF when they
// name none; `nothing` when they ask for no bytes at all.
struct RecordEndBytes {
    uint8_t end[2];
    uint32_t n;
    bool nothing;
};

inline RecordEndBytes RecordEndFor(uint16_t options) {
    if (options & TXT_WRITE_RECORD_CR) return {{kCR, kLF}, 1, false};
    if (options & TXT_WRITE_RECORD_LF) return {{kLF, kLF}, 1, false};
    if (options & TXT_WRITE_RECORD_CRLF) return {{kCR, kLF}, 2, false};
    if (options & TXT_WRITE_RECORD_NOTHING) return {{kLF, kLF}, 0, true};
    return {{kFF, kLF}, 1, false};
}

// A record end in the normal phase: written as the options' line end (or
// 0xFF when they name none); the value TextPutValue returns for it.
[[gnu::always_inline]] inline uint16_t WriteRecordEnd(FileHandle *handle, TextFields &t) {
    ++t.recordsWritten;
    t.column = 0;
    t.inQuotes = 0;
    const RecordEndBytes bytes = RecordEndFor(t.options);
    if (bytes.nothing) return kValueRecordEnd;
    const uint8_t *end = bytes.end;
    const uint32_t n = bytes.n;
    const uint8_t last = end[n - 1];
    BufferedStream *stream = handle->stream;
    const bool room = stream->count >= 2;
    if (room) {  // the line end stored at once
        std::memcpy(stream->cursor, end, 2);
        stream->cursor += n;
        stream->count -= n;
    } else if (n == 2 && !Put(handle, kCR)) {
        return kValueError;
    }
    t.lastWasCR = last == kCR ? 1 : 0;
    t.minRun = 1;
    if (!room && !Put(handle, last)) return kValueError;
    return last;
}

}  // namespace

bool TabCompress(FileHandle *handle) {
    TextFields &t = handle->text->work;
    const uint32_t width = t.tabWidth;
    const uint32_t run = t.pending;
    // The run starts at `column`, which does not advance while spaces are
    // collected. A width of 0 has no tab stops: the spaces stay spaces.
    uint32_t start = width != 0 ? t.column % width : 0;
    uint32_t span = run + start;
    uint32_t tabs = 0, spaces = run;
    if (width != 0 && span >= width) {
        tabs = span / width;
        spaces = span % width;
    }
    for (; tabs > 0; --tabs)
        if (!Put(handle, kTab)) return false;
    for (; spaces > 0; --spaces)
        if (!Put(handle, kSpace)) return false;
    t.column = static_cast<uint16_t>(t.column + run);
    t.pending = 0;
    t.phase = kTextNormal;
    return true;
}

uint16_t TextPutValueSlow(FileHandle *handle, uint16_t v) {
    TextFields &t = handle->text->work;
    const uint16_t options = t.options;
    if (t.phase == kTextSpaces) {
        if (v == kSpace) {
            ++t.pending;
            return kSpace;
        }
        if ((v == kCR || v == kLF || v == kValueRecordEnd) && (options & TXT_STRIP_TRAILING_SPACES)) {
            t.pending = 0;
            t.phase = kTextNormal;
        } else if (!WriteCollectedSpaces(handle, t)) {
            return kValueError;
        }
    }
    uint16_t byte = v;
    switch (v) {
    case kSpace:
        if (options & (TXT_SPACES_TO_TABS | TXT_STRIP_TRAILING_SPACES)) {
            t.pending = 1;
            t.phase = kTextSpaces;
            return kSpace;  // nothing is written yet
        }
        ++t.column;
        break;
    case kValueRecordEnd:
        return WriteRecordEnd(handle, t);
    case kLF:
        t.column = 0;
        t.inQuotes = 0;
        if (options & TXT_DROP_LF) return kLF;
        if ((options & TXT_WRITE_LF_TO_CRLF) && t.lastWasCR == 0 && !Put(handle, kCR))
            return kValueError;
        break;
    case kCR:
        t.column = 0;
        t.inQuotes = 0;
        if (options & TXT_DROP_CR) return kCR;
        break;
    case kTab:
        // With a tab width of 0 there are no tab stops: the tab is an ordinary byte.
        if ((options & TXT_TABS) && t.tabWidth != 0)
            t.column = static_cast<uint16_t>(t.column + t.tabWidth - t.column % t.tabWidth);
        else
            ++t.column;
        break;
    case kQuote:
    case kApostrophe:
        t.inQuotes = 1;
        ++t.column;
        break;
    default:
        ++t.column;
        break;
    }
    t.lastWasCR = byte == kCR ? 1 : 0;
    t.minRun = byte == kPeriod ? 2 : 1;
    if (!Put(handle, byte)) return kValueError;
    return byte;
}

bool TextWriteSpaces(FileHandle *handle) {
    TextFields &t = handle->text->work;
    return t.phase != kTextSpaces || WriteCollectedSpaces(handle, t);
}

// The bytes that end a run of TextPutPlainBytes: tab, LF and CR, and the space
// when the options collect spaces.
constexpr uint8_t kRunEnds[2][33] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1},
};

namespace {

// The length of the leading run of `bytes` that TextPutPlainBytes writes: up
// to the first tab, LF or CR, or space when `collecting` spaces. Words with no
// byte below the least of these (14, or 33 when collecting) are passed over
// eight bytes at a time; the word that has one is looked at byte by byte.
uint32_t PlainRunLength(const uint8_t *bytes, uint32_t length, bool collecting) {
    const uint8_t *ends = kRunEnds[collecting];
    const uint32_t limit = collecting ? kSpace + 1 : kCR + 1;
    uint32_t n = 0;
    for (;;) {
        while (n + 8 <= length && bytescan::Below(bytescan::Load8(bytes + n), limit) == 0) n += 8;
        uint32_t stop = n + 8 < length ? n + 8 : length;
        for (; n < stop; ++n)
            if (bytes[n] <= kSpace && ends[bytes[n]]) return n;
        if (n == length) return n;
    }
}

// Whether the first `length` bytes hold a '"' or a '\''.
bool HasQuote(const uint8_t *bytes, uint32_t length) {
    uint32_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t word = bytescan::Load8(bytes + i);
        if ((bytescan::Equal(word, kQuote) | bytescan::Equal(word, kApostrophe)) != 0) return true;
    }
    for (; i < length; ++i)
        if (bytes[i] == kQuote || bytes[i] == kApostrophe) return true;
    return false;
}

// PlainRunLength and HasQuote of the run together: the length of the run
// and whether a '"' or '\'' stands in it. Where the processor can, sixteen
// bytes are looked at once for both, the last group overlapping the one
// before it rather than leaving a tail to be looked at byte by byte.
struct PlainRun {
    uint32_t length;
    bool quote;
};

PlainRun ScanPlainRun(const uint8_t *bytes, uint32_t length, bool collecting) {
#if defined(__SSE2__)
    if (length >= 16) {
        bool quote = false;
        for (uint32_t n = 0;;) {
            const uint32_t at = n + 16 <= length ? n : length - 16;
            const uint32_t seen = n - at;  // lanes an earlier group looked at
            const bytescan::Bytes16 x(bytes + at);
            const uint32_t stops = (x.Equal(kTab) | x.Equal(kLF) | x.Equal(kCR) | (collecting ? x.Equal(kSpace) : 0))
                                   >> seen << seen;
            uint32_t quotes = (x.Equal(kQuote) | x.Equal(kApostrophe)) >> seen << seen;
            if (stops != 0) {
                const uint32_t first = bytescan::FirstMarked16(stops);
                quotes &= (1u << first) - 1;
                return {at + first, quote || quotes != 0};
            }
            quote = quote || quotes != 0;
            if (at + 16 == length) return {length, quote};
            n = at + 16;
        }
    }
#endif
    const uint32_t n = PlainRunLength(bytes, length, collecting);
    return {n, HasQuote(bytes, n)};
}

}  // namespace

namespace {

// The fields that `written` plain bytes (a '"' or '\'' among them when
// `quote`) set as TextPutValue writes them one by one; the last one decides.
void SettlePlain(TextFields &t, const uint8_t *bytes, uint32_t written, bool quote) {
    if (written == 0) return;
    t.column = static_cast<uint16_t>(t.column + written);
    t.lastWasCR = 0;
    t.minRun = bytes[written - 1] == kPeriod ? 2 : 1;
    if (quote) t.inQuotes = 1;
}

// The stream's cursor past `length` bytes stored there, then the record end.
bool EndRecordInPlace(FileHandle *handle, uint32_t length) {
    BufferedStream *stream = handle->stream;
    stream->cursor += length;
    stream->count -= length;
    if (!(handle->flags & kLayerText)) return PutByte(stream, kFF) != kStreamError;
    return WriteRecordEnd(handle, handle->text->work) != kValueError;
}

bool CollectsSpaces(const TextFields &t) { return (t.options & (TXT_SPACES_TO_TABS | TXT_STRIP_TRAILING_SPACES)) != 0; }

}  // namespace

bool TextPutRecordInPlace(FileHandle *handle, uint32_t length) {
    if (handle->flags & kLayerText) {
        TextFields &t = handle->text->work;
        if (t.phase != kTextNormal) return false;
        const uint8_t *bytes = handle->stream->cursor;
        const PlainRun run = ScanPlainRun(bytes, length, CollectsSpaces(t));
        if (run.length != length) return false;
        SettlePlain(t, bytes, length, run.quote);
    }
    return EndRecordInPlace(handle, length);
}

PrintableRecordRule TextPrintableRecordRule(const FileHandle *handle) {
    if (!(handle->flags & kLayerText)) return {true, {kFF, kFF}, 1};
    const TextFields &t = handle->text->work;
    // Printable ASCII holds no tab, LF or CR, but it may hold spaces.
    if (t.phase != kTextNormal || CollectsSpaces(t)) return {false, {0, 0}, 0};
    const RecordEndBytes bytes = RecordEndFor(t.options);
    return {true, {bytes.end[0], bytes.end[1]}, bytes.n};
}

void TextPrintableRecordsPut(FileHandle *handle, uint32_t records, int lastByte) {
    if (!(handle->flags & kLayerText) || records == 0) return;
    TextFields &t = handle->text->work;
    // Each record's bytes then its record end, as TextPutValue leaves them:
    // the record end puts the column and the quotes back to 0, and when it
    // writes bytes it also decides lastWasCR and minRun; when it writes none,
    // the last data byte written decides them.
    t.recordsWritten += records;
    t.column = 0;
    t.inQuotes = 0;
    const RecordEndBytes bytes = RecordEndFor(t.options);
    if (!bytes.nothing) {
        t.lastWasCR = bytes.end[bytes.n - 1] == kCR ? 1 : 0;
        t.minRun = 1;
    } else if (lastByte >= 0) {
        t.lastWasCR = 0;
        t.minRun = lastByte == kPeriod ? 2 : 1;
    }
}

int TextPutPlainBytes(FileHandle *handle, const uint8_t *bytes, uint32_t length, uint32_t *taken) {
    TextFields &t = handle->text->work;
    BufferedStream *stream = handle->stream;
    *taken = 0;
    if (t.phase != kTextNormal) return 1;
    const bool collecting = (t.options & (TXT_SPACES_TO_TABS | TXT_STRIP_TRAILING_SPACES)) != 0;
    const PlainRun run = ScanPlainRun(bytes, length, collecting);
    const uint32_t n = run.length;
    auto settle = [&](uint32_t written, bool quote) { SettlePlain(t, bytes, written, quote); };
    uint32_t done = 0;
    while (done < n) {
        if (stream->count == 0 && FlushBuffer(stream, kStreamEnd) == kStreamError) {
            // as PutByte fails on this byte: counted, not stored
            settle(done + 1, HasQuote(bytes, done + 1));
            return 0;
        }
        uint32_t room = stream->count < n - done ? stream->count : n - done;
        std::memcpy(stream->cursor, bytes + done, room);
        stream->cursor += room;
        stream->count -= room;
        done += room;
    }
    settle(n, run.quote);
    *taken = n;
    return 1;
}

int TextWrite(FileHandle *handle, const void *buffer, uint32_t length, uint32_t *count) {
    if (!LayerEntryReady(handle, buffer, length, count, false)) return 0;
    const auto *in = static_cast<const uint8_t *>(buffer);
    uint32_t i = 0;
    while (i < length) {
        uint32_t plain = 0;
        if (!TextPutPlainBytes(handle, in + i, length - i, &plain)) return 0;
        i += plain;
        if (i < length && TextPutValue(handle, in[i++]) == kValueError) return 0;
    }
    *count = length;
    return 1;
}

}  // namespace kx
