#include "core/stream.h"

#include <cstring>
#include <new>

namespace kx {
namespace {

constexpr int32_t kOriginStart = 0;
constexpr int32_t kOriginCurrent = 1;
constexpr int32_t kOriginEnd = 2;
constexpr uint8_t kCtrlZ = 26;

// The access and sharing that an open-mode byte asks for; `defaultShare` is
// the calling operation's sharing when the byte names none.
void AccessOfOpenMode(uint32_t openMode, os::DWORD defaultShare, os::DWORD &access,
                      os::DWORD &share) {
    if (openMode & kOpenReadWrite) access = os::GENERIC_READ | os::GENERIC_WRITE;
    else if (openMode & kOpenWrite) access = os::GENERIC_WRITE;
    else access = os::GENERIC_READ;
    if (openMode & kOpenDenyAll) share = 0;
    else if (openMode & kOpenDenyWrite) share = os::FILE_SHARE_READ;
    else share = defaultShare;
}

// Moves the file pointer by a 64-bit distance; the new position must fit in 32
// bits. 0, or the mapped system error.
ErrorCode Seek(os::HANDLE file, int64_t distance, os::DWORD method, uint32_t *newPosition) {
    os::LONG high = static_cast<os::LONG>(distance >> 32);
    os::SetLastError(os::ERROR_SUCCESS);
    os::DWORD low = os::SetFilePointer(file, static_cast<os::LONG>(distance), &high, method);
    if (low == os::INVALID_SET_FILE_POINTER && os::GetLastError() != os::ERROR_SUCCESS)
        return LastSystemError();
    if (high != 0) return MapSystemError(os::ERROR_INVALID_PARAMETER);  // beyond 4 GiB
    if (newPosition) *newPosition = low;
    return err::kNone;
}

ErrorCode FilePosition(os::HANDLE file, uint32_t *position) {
    return Seek(file, 0, os::FILE_CURRENT, position);
}

// The file position as the stream's counts see it: behind the system's by the
// bytes read ahead and not yet filled.
ErrorCode LogicalPosition(const BufferedStream *stream, uint32_t *position) {
    ErrorCode code = FilePosition(stream->file, position);
    if (code == err::kNone) *position -= stream->aheadCount;
    return code;
}

// Opens the file and wraps it in a new stream with the given mode.
ErrorCode NewStream(const char *name, os::DWORD access, os::DWORD share, os::DWORD disposition,
                    uint32_t mode, BufferedStream **out) {
    os::HANDLE file = os::CreateFileA(name, access, share, nullptr, disposition,
                                      os::FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == os::INVALID_HANDLE_VALUE) return LastSystemError();
    void *memory = os::LocalAlloc(os::LPTR, sizeof(BufferedStream));
    if (memory == nullptr) {
        os::CloseHandle(file);
        return err::kOutOfMemory;
    }
    auto *stream = new (memory) BufferedStream{};
    stream->cursor = stream->window = stream->buffer;
    stream->file = file;
    stream->mode = mode;
    *out = stream;
    return err::kNone;
}

void FreeStream(BufferedStream *stream) {
    stream->~BufferedStream();
    os::LocalFree(stream);
}


void FailStream(BufferedStream *stream, ErrorCode code) {
    stream->error = code;
    stream->count = 0;
}

// Writes `length` bytes straight to the file; keeps a failure (the mapped
// error, or 12 when the system took fewer bytes) and reports how many it took.
bool WriteToFile(BufferedStream *stream, const uint8_t *data, uint32_t length, uint32_t &taken) {
    os::DWORD written = 0;
    bool ok = os::WriteFile(stream->file, data, length, &written, nullptr) != 0;
    taken = written;
    stream->writtenTotal += written;
    if (!ok) {
        FailStream(stream, LastSystemError());
        return false;
    }
    if (written < length) {
        FailStream(stream, err::kDiskFull);
        return false;
    }
    return true;
}

}  // namespace

// A refusal leaves the buffer as it is: the unread bytes or the bytes still to
// be written stay for the direction the stream is going.
bool ReadingAllowed(BufferedStream *stream) {
    if ((stream->mode & (kModeReading | kModeUpdate)) && !(stream->mode & kModeWriting)) return true;
    stream->error = err::kAccessDenied;
    return false;
}

bool WritingAllowed(BufferedStream *stream) {
    if ((stream->mode & (kModeWriting | kModeUpdate)) && !(stream->mode & kModeReading)) return true;
    stream->error = err::kAccessDenied;
    return false;
}

ErrorCode TakeStreamError(BufferedStream *stream) {
    if (stream == nullptr) return err::kInvalidHandle;
    ErrorCode code = stream->error;
    stream->error = err::kNone;
    // A failure that kept no code is the library's own fault, not the caller's.
    return code != err::kNone ? code : err::kInternal;
}

namespace {

// The direction rule of a fill (a flush): a stream that may read and is not
// writing starts, or goes on, reading (and the other way round).
bool BeginReading(BufferedStream *stream) {
    if (!ReadingAllowed(stream)) return false;
    stream->mode |= kModeReading;
    return true;
}

bool BeginWriting(BufferedStream *stream) {
    if (!WritingAllowed(stream)) return false;
    stream->mode |= kModeWriting;
    return true;
}

}  // namespace

namespace {

// The next window of a reading stream: up to 4096 bytes read ahead, after
// reading the area full when none are left. The window's size, or 0 at the
// end of the file (count 0, so that every later GetByte tries the file
// again), or -1 after a failed read (its code kept).
int NextWindow(BufferedStream *stream) {
    if (stream->aheadCount == 0) {
        os::DWORD n = 0;
        if (!os::ReadFile(stream->file, stream->area, kStreamAreaSize, &n, nullptr)) {
            FailStream(stream, LastSystemError());
            return -1;
        }
        if (n == 0) {
            stream->count = 0;
            return 0;
        }
        stream->ahead = stream->area;
        stream->aheadCount = n;
    }
    uint32_t n = stream->aheadCount < kStreamBufferSize ? stream->aheadCount : kStreamBufferSize;
    stream->window = stream->cursor = stream->ahead;
    stream->ahead += n;
    stream->aheadCount -= n;
    stream->count = n;
    stream->filledTotal += n;
    ++stream->bufferGeneration;
    return static_cast<int>(n);
}

// Drops the bytes read ahead, when the stream moves or turns to writing.
void DropAhead(BufferedStream *stream) {
    stream->aheadCount = 0;
    stream->ahead = nullptr;
}

}  // namespace

int FillBuffer(BufferedStream *stream) {
    if (stream == nullptr) return kStreamError;
    if (!BeginReading(stream)) return kStreamError;
    int n = NextWindow(stream);
    if (n < 0) return kStreamError;
    if (n == 0) return kStreamEnd;
    --stream->count;
    return *stream->cursor++;
}

int FlushBuffer(BufferedStream *stream, int c) {
    if (stream == nullptr) return kStreamError;
    if (!BeginWriting(stream)) return kStreamError;
    auto pending = static_cast<uint32_t>(stream->cursor - stream->window);
    if (stream->deferring && stream->count == 0 && pending > 0) {
        // A full buffer during a layered write: its bytes move on into the
        // area, and the area goes to the file only when it is full.
        if (stream->window == stream->buffer) {
            std::memcpy(stream->area, stream->buffer, pending);
            stream->window = stream->area;
            stream->cursor = stream->area + pending;
        }
        auto room = static_cast<uint32_t>(stream->area + kStreamAreaSize - stream->cursor);
        if (room > 0) {
            stream->count = room;
            if (c == kStreamEnd) return 0xFF;
            --stream->count;
            *stream->cursor++ = static_cast<uint8_t>(c);
            return c & 0xFF;
        }
    }
    if (pending > 0) {
        uint32_t taken = 0;
        if (!WriteToFile(stream, stream->window, pending, taken)) {
            // The bytes the system took leave the window, so that a later
            // flush writes only the rest and nothing reaches the file twice.
            stream->window += taken;
            return kStreamError;
        }
    }
    ++stream->bufferGeneration;
    if (stream->deferring) {
        stream->window = stream->cursor = stream->area;
        stream->count = kStreamAreaSize;
    } else {
        stream->window = stream->cursor = stream->buffer;
        stream->count = kStreamBufferSize;
    }
    if (c == kStreamEnd) return 0xFF;
    --stream->count;
    *stream->cursor++ = static_cast<uint8_t>(c);
    return c & 0xFF;
}

ErrorCode OpenStream(const char *name, uint32_t openMode, BufferedStream **out) {
    os::DWORD access, share;
    AccessOfOpenMode(openMode, os::FILE_SHARE_READ | os::FILE_SHARE_WRITE, access, share);
    uint32_t mode = (openMode & kOpenWrite) ? kModeWriting
                    : (openMode & kOpenReadWrite) ? kModeUpdate
                                                  : kModeReading;
    return NewStream(name, access, share, os::OPEN_EXISTING, mode, out);
}

ErrorCode CreateStream(const char *name, uint32_t openMode, BufferedStream **out) {
    os::DWORD access, share;
    AccessOfOpenMode(openMode, os::FILE_SHARE_READ, access, share);
    return NewStream(name, access, share, os::CREATE_ALWAYS, kModeUpdate, out);
}

ErrorCode AppendStream(const char *name, uint32_t appendFlags, uint32_t openMode,
                       BufferedStream **out) {
    os::DWORD access, share;
    AccessOfOpenMode(openMode, os::FILE_SHARE_READ, access, share);
    BufferedStream *stream = nullptr;
    ErrorCode code = NewStream(name, access, share, os::OPEN_EXISTING, kModeUpdate, &stream);
    if (code != err::kNone) return code;

    uint32_t size = 0;
    code = Seek(stream->file, 0, os::FILE_END, &size);
    if (code == err::kNone && size > 0 && (appendFlags & kAppendSkipCtrlZ)) {
        code = Seek(stream->file, -1, os::FILE_END, nullptr);
        uint8_t last = 0;
        os::DWORD n = 0;
        if (code == err::kNone && !os::ReadFile(stream->file, &last, 1, &n, nullptr))
            code = LastSystemError();
        if (code == err::kNone && n == 1 && last == kCtrlZ)
            code = Seek(stream->file, -1, os::FILE_END, nullptr);
    }
    if (code != err::kNone) {
        os::CloseHandle(stream->file);
        FreeStream(stream);
        return code;
    }
    *out = stream;
    return err::kNone;
}

ErrorCode CloseStream(BufferedStream *stream) {
    if (stream == nullptr) return err::kInvalidHandle;
    // Bytes still in the buffer are written, also after an earlier failure: a
    // failed flush keeps only the bytes the system did not take, so trying again
    // writes nothing twice, and bytes written after the failure are not dropped
    // by a close that reports success.
    ErrorCode flushError = err::kNone;
    if ((stream->mode & kModeWriting) && stream->cursor != stream->window &&
        FlushBuffer(stream, kStreamEnd) == kStreamError)
        flushError = TakeStreamError(stream);
    bool closed = os::CloseHandle(stream->file) != 0;
    ErrorCode closeError = closed ? err::kNone : LastSystemError();
    // The stream's memory goes in every case: the handle that owned it is gone.
    FreeStream(stream);
    return closed ? flushError : closeError;
}

namespace {

// The arguments of a block read or write: a stream, an out count (set to 0
// here) and memory for `length` bytes. False without a stream, or after
// keeping 16 in the stream.
bool BlockArgumentsValid(BufferedStream *stream, const void *memory, uint32_t length,
                         uint32_t *count) {
    if (stream == nullptr) return false;
    if (count != nullptr) *count = 0;
    if (count == nullptr || (length > 0 && memory == nullptr)) {
        stream->error = err::kInternal;
        return false;
    }
    return true;
}

}  // namespace

int ReadBlock(BufferedStream *stream, void *destination, uint32_t length, uint32_t *count) {
    if (!BlockArgumentsValid(stream, destination, length, count) || !ReadingAllowed(stream))
        return 0;
    auto *out = static_cast<uint8_t *>(destination);
    uint32_t got = 0;
    while (got < length) {
        if (stream->count == 0 && stream->aheadCount != 0) {
            // Bytes read ahead by the layers come first, a window at a time.
            if (!BeginReading(stream) || NextWindow(stream) < 0) return 0;
            continue;
        }
        if (stream->count == 0) {
            uint32_t wanted = length - got;
            if (wanted < kStreamBufferSize) {
                int c = FillBuffer(stream);
                if (c == kStreamEnd) break;
                if (c == kStreamError) return 0;
                out[got++] = static_cast<uint8_t>(c);
                continue;
            }
            // Whole buffers' worth go straight into the caller's memory: the
            // same bytes and counters as filling and draining the buffer.
            if (!BeginReading(stream)) return 0;
            uint32_t request = wanted - wanted % kStreamBufferSize;
            os::DWORD n = 0;
            if (!os::ReadFile(stream->file, out + got, request, &n, nullptr)) {
                FailStream(stream, LastSystemError());
                return 0;
            }
            stream->filledTotal += n;
            got += n;
            if (n < request) break;  // the end of the file
            continue;
        }
        uint32_t n = stream->count < length - got ? stream->count : length - got;
        std::memcpy(out + got, stream->cursor, n);
        stream->cursor += n;
        stream->count -= n;
        got += n;
    }
    *count = got;
    return 1;
}

int WriteBlock(BufferedStream *stream, const void *source, uint32_t length, uint32_t *count) {
    if (!BlockArgumentsValid(stream, source, length, count) || !WritingAllowed(stream))
        return 0;
    const auto *in = static_cast<const uint8_t *>(source);
    uint32_t done = 0;
    while (done < length) {
        if (stream->count == 0 && FlushBuffer(stream, kStreamEnd) == kStreamError) return 0;
        uint32_t remaining = length - done;
        if (stream->cursor == stream->window && remaining >= kStreamBufferSize) {
            // Nothing is buffered: whole buffers' worth go straight to the file.
            uint32_t request = remaining - remaining % kStreamBufferSize;
            uint32_t taken = 0;
            if (!WriteToFile(stream, in + done, request, taken)) return 0;
            done += request;
            continue;
        }
        uint32_t n = stream->count < remaining ? stream->count : remaining;
        std::memcpy(stream->cursor, in + done, n);
        stream->cursor += n;
        stream->count -= n;
        done += n;
    }
    *count = length;
    return 1;
}

bool EndDeferredWrites(BufferedStream *stream) {
    stream->deferring = false;
    // Nothing gathered: not writing, or the buffer never filled.
    if (!(stream->mode & kModeWriting) || stream->window == stream->buffer) return true;
    // The 4096-byte design would have written every full buffer but the last
    // one before the call's end: all but the last 1-4096 bytes gathered.
    auto pending = static_cast<uint32_t>(stream->cursor - stream->window);
    bool ok = true;
    if (pending > kStreamBufferSize) {
        uint32_t due = pending - ((pending - 1) % kStreamBufferSize + 1);
        uint32_t taken = 0;
        ok = WriteToFile(stream, stream->window, due, taken);
        stream->window += taken;
        pending -= taken;
    }
    if (pending <= kStreamBufferSize) {
        // After a failure `count` stays 0, so that the next byte tries again.
        if (ok || stream->count != 0) stream->count = kStreamBufferSize - pending;
        std::memmove(stream->buffer, stream->window, pending);
        stream->window = stream->buffer;
        stream->cursor = stream->buffer + pending;
    }
    ++stream->bufferGeneration;
    return ok;
}

ErrorCode GetPosition(BufferedStream *stream, uint32_t *position) {
    if (stream == nullptr) return err::kInvalidHandle;
    uint32_t filePosition = 0;
    ErrorCode code = LogicalPosition(stream, &filePosition);
    if (code != err::kNone) return code;
    auto used = static_cast<uint32_t>(stream->cursor - stream->window);
    if (filePosition == 0) *position = used;
    else if (stream->mode & kModeReading) *position = filePosition - stream->count;
    else *position = filePosition + used;
    return err::kNone;
}

int SetPosition(BufferedStream *stream, int32_t offset, int32_t origin, uint32_t *position) {
    if (stream == nullptr) return err::kInvalidHandle;
    // Only the three origins exist; another value is an unsupported argument.
    if (origin != kOriginStart && origin != kOriginCurrent && origin != kOriginEnd)
        return err::kMisc;
    int64_t distance = offset;
    if (origin == kOriginCurrent) {
        uint32_t current = 0;
        ErrorCode code = GetPosition(stream, &current);
        if (code != err::kNone) return code;
        distance += current;
        origin = kOriginStart;
    }
    if ((stream->mode & kModeWriting) && FlushBuffer(stream, kStreamEnd) == kStreamError)
        return kStreamError;
    if (stream->mode & kModeUpdate) stream->mode &= ~(kModeReading | kModeWriting);
    // The buffered bytes are dropped; the cursor goes back to the buffer's start
    // too, so that the position of a stream that has neither read nor written
    // since is the file's own.
    stream->count = 0;
    stream->cursor = stream->window = stream->buffer;
    DropAhead(stream);
    ++stream->bufferGeneration;
    uint32_t newPosition = 0;
    ErrorCode code = Seek(stream->file, distance,
                          origin == kOriginStart ? os::FILE_BEGIN : os::FILE_END, &newPosition);
    if (code != err::kNone) return code;
    if (position) *position = newPosition;
    return err::kNone;
}

int GetStreamSize(BufferedStream *stream, uint32_t *size) {
    if (stream == nullptr) return err::kInvalidHandle;
    if ((stream->mode & kModeWriting) && FlushBuffer(stream, kStreamEnd) == kStreamError)
        return kStreamError;
    os::BY_HANDLE_FILE_INFORMATION info;
    if (!os::GetFileInformationByHandle(stream->file, &info)) return LastSystemError();
    *size = info.nFileSizeLow;
    return err::kNone;
}

int TruncateStream(BufferedStream *stream) {
    if (stream == nullptr) return 0;
    if (FlushBuffer(stream, kStreamEnd) == kStreamError) return 0;
    os::DWORD written = 0;
    // The file is cut at the current position: a zero-length write alone would
    // leave it whole on most file systems, which is not what a caller asks for.
    if (!os::WriteFile(stream->file, stream->buffer, 0, &written, nullptr) ||
        !os::SetEndOfFile(stream->file)) {
        stream->error = LastSystemError();
        return 0;
    }
    return 1;
}

ErrorCode InsertBuffer(BufferedStream *stream, const void *data, uint32_t length) {
    if (stream == nullptr) return err::kInvalidHandle;
    // A stream that is writing holds bytes still to be written in the buffer;
    // inserting would overwrite them, so it is refused like any read.
    if (!(stream->mode & (kModeReading | kModeUpdate)) || (stream->mode & kModeWriting))
        return err::kAccessDenied;
    if (stream->count != 0) return err::kCannotInsert;
    if (length >= kStreamBufferSize) return err::kInsertTooLarge;
    if (length > 0 && data == nullptr) return err::kInternal;
    stream->count = length;
    stream->mode |= kModeReading;
    stream->cursor = stream->window = stream->buffer;
    if (length > 0) std::memcpy(stream->buffer, data, length);
    ++stream->bufferGeneration;
    return err::kNone;
}

ErrorCode StreamBytesRead(const BufferedStream *stream, uint32_t *count) {
    if (stream == nullptr) return err::kInvalidHandle;
    // Inserted bytes may exceed what came from the file; the count stops at 0.
    *count = stream->filledTotal > stream->count ? stream->filledTotal - stream->count : 0;
    return err::kNone;
}

ErrorCode StreamBytesWritten(const BufferedStream *stream, uint32_t *count) {
    if (stream == nullptr) return err::kInvalidHandle;
    // Only a writing stream's buffer holds bytes still to be written.
    uint32_t pending = (stream->mode & kModeWriting)
                           ? static_cast<uint32_t>(stream->cursor - stream->window)
                           : 0;
    *count = stream->writtenTotal + pending;
    return err::kNone;
}

ErrorCode MarkPosition(BufferedStream *stream) {
    if (stream == nullptr) return err::kInvalidHandle;
    StreamMark &mark = stream->mark;
    mark.count = stream->count;
    mark.cursorOffset = static_cast<uint32_t>(stream->cursor - stream->window);
    mark.mode = static_cast<uint16_t>(stream->mode);
    mark.filledTotal = stream->filledTotal;
    mark.bufferGeneration = stream->bufferGeneration;
    // A private copy of the unread bytes: whatever replaces the buffer later (a
    // fill, short or full, or inserted data), ReturnToMark brings them back.
    std::memcpy(mark.unread, stream->cursor, stream->count);
    return LogicalPosition(stream, &mark.filePosition);
}

ErrorCode ReturnToMark(BufferedStream *stream) {
    if (stream == nullptr) return err::kInvalidHandle;
    const StreamMark &mark = stream->mark;
    uint32_t filePosition = 0;
    ErrorCode code = LogicalPosition(stream, &filePosition);
    if (code != err::kNone) return code;
    if (filePosition != mark.filePosition) {
        // The bytes read ahead lie beyond the mark: the file is read again
        // from there.
        code = Seek(stream->file, mark.filePosition, os::FILE_BEGIN, nullptr);
        if (code != err::kNone) return code;
        DropAhead(stream);
    }
    if (stream->bufferGeneration != mark.bufferGeneration) {
        std::memcpy(stream->buffer + mark.cursorOffset, mark.unread, mark.count);
        stream->window = stream->buffer;
        ++stream->bufferGeneration;
    }
    stream->count = mark.count;
    stream->cursor = stream->window + mark.cursorOffset;
    stream->filledTotal = mark.filledTotal;
    stream->mode = (stream->mode & ~0xFFFFu) | mark.mode;
    return err::kNone;
}

}  // namespace kx
