// The buffered file stream: one system file handle and one 4096-byte buffer,
// the lowest layer of every KXFILE. The layers above take bytes from it one at
// a time (GetByte) and give bytes to it one at a time (PutByte); unlayered
// reads and writes move whole blocks (ReadBlock, WriteBlock).
//
// Behind the buffer the stream keeps a larger area, so that the system is
// called once per kStreamAreaSize bytes rather than once per 4096 while the
// layers work through a file. Reading, a fill reads the area full and hands it
// out 4096 bytes at a time (the "window" the cursor walks), exactly as
// successive 4096-byte fills would: the counts, positions and marks are those
// of the bytes handed out, and the bytes read ahead are invisible. Writing,
// the area gathers full buffers only during one layered write
// (BeginDeferredWrites to EndDeferredWrites); at its end the file holds what
// 4096-byte flushes would have written by then, and the rest is back in the
// buffer. Between calls the stream is as the 4096-byte design leaves it.
#pragma once

#include <cstdint>

#include "core/errors.h"
#include "platform/platform.h"

namespace kx {

constexpr uint32_t kStreamBufferSize = 4096;
// The read-ahead and write-gathering area: a multiple of the buffer's size.
constexpr uint32_t kStreamAreaSize = 16 * kStreamBufferSize;

// Results of the byte operations besides a byte (0-255).
constexpr int kStreamEnd = -1;    // end of data
constexpr int kStreamError = -2;  // an error, its code kept in the stream's `error`

// Bits of BufferedStream::mode.
constexpr uint32_t kModeReading = 1;  // read-only, or an update stream that has read since positioned
constexpr uint32_t kModeWriting = 2;  // write-only, or an update stream that has written since positioned
constexpr uint32_t kModeUpdate = 4;   // may go either way, repositioned between the two
// A failed fill or flush is not remembered in the mode: its code is kept for
// the call to report, and the stream keeps what the system did
// not take, so that a later flush (or the close) may still write it.

// Bits of the open-mode byte.
constexpr uint32_t kOpenWrite = 0x01;       // write access (a write-only stream)
constexpr uint32_t kOpenReadWrite = 0x02;   // read and write access (an update stream)
constexpr uint32_t kOpenDenyAll = 0x10;     // no other opener may read or write
constexpr uint32_t kOpenDenyWrite = 0x20;   // other openers may only read

// Bits of AppendStream's flags.
constexpr uint32_t kAppendSkipCtrlZ = 0x01;  // the first byte written replaces a final Ctrl-Z

// What MarkPosition saved, so that ReturnToMark can read the same bytes again.
struct StreamMark {
    uint32_t count;            // saved count
    uint32_t cursorOffset;     // saved cursor, as an offset into the buffer
    uint16_t mode;             // saved mode (low 16 bits)
    uint32_t filledTotal;      // saved filledTotal
    uint32_t filePosition;     // the file position at the mark
    uint32_t bufferGeneration; // the buffer's generation at the mark
    uint8_t unread[kStreamBufferSize];  // the unread bytes of the buffer at the mark
};

struct BufferedStream {
    uint32_t count;            // reading: unread bytes left in the window; writing: free bytes left
    uint8_t *cursor;           // the next byte of the window to read or write
    // Reading: the bytes of the last fill (the buffer, or 4096 bytes of the
    // area). Writing: the first byte not yet given to the system (in the
    // buffer, or in the area while a layered write gathers).
    uint8_t *window;
    uint8_t buffer[kStreamBufferSize];
    os::HANDLE file;           // the system file handle
    uint32_t mode;             // kMode* bits
    uint32_t filledTotal;      // bytes loaded from the file by all fills
    uint32_t writtenTotal;     // bytes the system reported written by all flushes
    uint32_t bufferGeneration; // changes whenever the buffer's bytes are replaced
    StreamMark mark;           // filled by MarkPosition
    uint8_t *ahead;            // reading: the first byte read from the file but not yet filled
    uint32_t aheadCount;       // reading: how many bytes from `ahead` on; 0 when not reading
    bool deferring;            // writing: a layered write gathers full buffers in the area
    // The code of the failure a call on the stream met, kept by the stream or
    // layer function that failed until the export that made the call records
    // it (TakeStreamError): nothing below the exports records an error.
    ErrorCode error;
    uint8_t area[kStreamAreaSize];
};

// Out-of-line halves of the byte operations. FillBuffer is called only when
// `count` is 0 (or with a null stream); it returns the next byte, kStreamEnd or
// kStreamError. FlushBuffer writes the buffered bytes and then stores `c` unless
// it is -1; it returns c's low 8 bits (255 for -1) or kStreamError.
int FillBuffer(BufferedStream *stream);
int FlushBuffer(BufferedStream *stream, int c);

// The next byte of the stream, kStreamEnd or kStreamError.
inline int GetByte(BufferedStream *stream) {
    if (stream->count != 0) {
        --stream->count;
        return *stream->cursor++;
    }
    return FillBuffer(stream);
}

// Puts one byte; returns it, or kStreamError.
inline int PutByte(BufferedStream *stream, int byte) {
    if (stream->count != 0) {
        --stream->count;
        *stream->cursor++ = static_cast<uint8_t>(byte);
        return byte & 0xFF;
    }
    return FlushBuffer(stream, byte);
}

// Whether the stream may take a read (or a write) now: an update stream that is
// writing must be positioned before it reads, and the other way round; a
// read-only stream never writes and a write-only one never reads. False with
// 1 "Access denied" kept in the stream. The byte operations rely on their callers for
// this: with bytes in the buffer, `count` means unread bytes only while reading.
// Takes `n` of the bytes waiting in a reading stream's buffer (at most
// `count`), as n GetByte calls would.
inline void SkipBuffered(BufferedStream *stream, uint32_t n) {
    stream->cursor += n;
    stream->count -= n;
}

// Whether the stream may take a byte now, asked without keeping anything: a
// stream that can write and is not reading.
inline bool CanWriteNow(const BufferedStream *stream) {
    return stream != nullptr && (stream->mode & (kModeWriting | kModeUpdate)) && !(stream->mode & kModeReading);
}

bool ReadingAllowed(BufferedStream *stream);
bool WritingAllowed(BufferedStream *stream);

// The code of the stream's last failure, for the export that met it to
// record; the stream keeps none after. 11 without a stream; 16 when the
// failure kept no code.
ErrorCode TakeStreamError(BufferedStream *stream);

ErrorCode OpenStream(const char *name, uint32_t openMode, BufferedStream **out);
ErrorCode CreateStream(const char *name, uint32_t openMode, BufferedStream **out);
ErrorCode AppendStream(const char *name, uint32_t appendFlags, uint32_t openMode,
                       BufferedStream **out);
// Closes the file and frees the stream, in every case; the final flush's
// failure or the close's own, else kNone.
ErrorCode CloseStream(BufferedStream *stream);

// A layered write begins and ends: in between, a full buffer moves on into the
// area instead of going to the file, and the area goes to the file when full.
// EndDeferredWrites writes what 4096-byte flushes would have written by then
// and keeps the rest (at most 4096 bytes) in the buffer; false after a failed
// write (its code kept in the stream).
inline void BeginDeferredWrites(BufferedStream *stream) { stream->deferring = true; }
bool EndDeferredWrites(BufferedStream *stream);

// 1 with the bytes moved in `count`, or 0 with the cause kept in the stream
// (0 alone without a stream).
int ReadBlock(BufferedStream *stream, void *destination, uint32_t length, uint32_t *count);
int WriteBlock(BufferedStream *stream, const void *source, uint32_t length, uint32_t *count);

ErrorCode GetPosition(BufferedStream *stream, uint32_t *position);
// An ErrorCode, or kStreamError when the flush before the move failed.
int SetPosition(BufferedStream *stream, int32_t offset, int32_t origin, uint32_t *position);
int GetStreamSize(BufferedStream *stream, uint32_t *size);
// 1, or 0 with the cause kept in the stream (0 alone without a stream).
int TruncateStream(BufferedStream *stream);
ErrorCode InsertBuffer(BufferedStream *stream, const void *data, uint32_t length);
ErrorCode StreamBytesRead(const BufferedStream *stream, uint32_t *count);
ErrorCode StreamBytesWritten(const BufferedStream *stream, uint32_t *count);
ErrorCode MarkPosition(BufferedStream *stream);
ErrorCode ReturnToMark(BufferedStream *stream);

}  // namespace kx
