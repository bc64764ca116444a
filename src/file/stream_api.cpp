// The exported stream functions: opening, creating and appending files as
// KXFILE handles, reading and writing them through their layers, and closing.
#include <cstring>

#include "compress/compression_layer.h"
#include "core/boundary.h"
#include "file/dispatch.h"
#include "core/handle.h"
#include "core/paths.h"
#include "kxfiles.h"
#include "platform/platform.h"
#include "text/text_layer.h"

namespace kx {
namespace {

constexpr uint32_t kDefaultOpenMode = kOpenReadWrite;  // kxFileCreate and kxFileAppend

// Bits of kxFileGetBytesRead's and kxFileGetBytesWritten's selector.
constexpr uint32_t kSelectDelivered = 1;  // kxFileGetBytesRead: bytes delivered to callers
constexpr uint32_t kSelectStream = 1;     // kxFileGetBytesWritten: bytes given to the file
constexpr uint32_t kSelectAccepted = 2;   // bytes accepted (expanded count under compression)
constexpr uint32_t kSelectRecords = 3;    // records the text layer has ended

// Validates a name for kxFileOpen and kxFileCreate2: a name refused as too
// long on a volume of 8.3 names is cut to 8 characters in the caller's buffer
// and tried again.
ErrorCode ValidateForOpening(char *name) {
    ErrorCode code = CheckFileName(name);
    if (code == err::kNameTooLong && VolumeNameLimit(name) <= 12) {
        code = CutToShortName(name);
        if (code == err::kNone) code = CheckFileName(name);
    }
    return code;
}

// The new handle of an opened stream, with the file's full name; the opening's
// failure, or 10 when there is no memory for the handle (the stream is closed
// again), is recorded.
FileHandle *Opened(ErrorCode code, BufferedStream *stream, const char *name) {
    if (code != err::kNone) return Failed<FileHandle *>(code, nullptr);
    FileHandle *handle = AllocFileHandle(stream);
    if (handle == nullptr) {
        CloseStream(stream);
        return Failed<FileHandle *>(err::kOutOfMemory, nullptr);
    }
    BuildFullName(name, handle->fullName);
    return handle;
}

bool NameExists(const char *name) { return os::GetFileAttributesA(name) != os::INVALID_FILE_ATTRIBUTES; }

}  // namespace
}  // namespace kx

using namespace kx;

KXEXPORT KXFILE KXAPI kxFileOpen(char *name, uint32_t openMode) {
    return Guarded<KXFILE>(nullptr, [&]() -> KXFILE {
        DirectoryLock lock;
        ErrorCode code = ValidateForOpening(name);
        BufferedStream *stream = nullptr;
        if (code == err::kNone) code = OpenStream(name, openMode & 0xFF, &stream);
        return Opened(code, stream, name);
    });
}

KXEXPORT KXFILE KXAPI kxFileCreate(char *name, int32_t overwrite) {
    return kxFileCreate2(name, overwrite, kDefaultOpenMode);
}

KXEXPORT KXFILE KXAPI kxFileCreate2(char *name, int32_t overwrite, uint32_t openMode) {
    return Guarded<KXFILE>(nullptr, [&]() -> KXFILE {
        DirectoryLock lock;
        ErrorCode code = ValidateForOpening(name);
        if (code == err::kNone && overwrite == 0 && NameExists(name)) code = err::kFileExists;
        BufferedStream *stream = nullptr;
        if (code == err::kNone) code = CreateStream(name, openMode & 0xFF, &stream);
        return Opened(code, stream, name);
    });
}

KXEXPORT KXFILE KXAPI kxFileAppend(const char *name, int32_t skipCtrlZ, int32_t create) {
    return kxFileAppend2(name, skipCtrlZ, create, kDefaultOpenMode);
}

KXEXPORT KXFILE KXAPI kxFileAppend2(const char *name, int32_t skipCtrlZ, int32_t create,
                                    uint32_t openMode) {
    return Guarded<KXFILE>(nullptr, [&]() -> KXFILE {
        DirectoryLock lock;
        openMode &= 0xFF;
        if ((openMode & (kOpenReadWrite | kOpenWrite)) != kOpenReadWrite) {
            SetThreadError(err::kMisc);  // appending needs read and write access
            return nullptr;
        }
        ErrorCode code = CheckFileName(name);
        if (code != err::kNone) {
            SetThreadError(code);
            return nullptr;
        }
        BufferedStream *stream = nullptr;
        if (!NameExists(name)) {
            if (create == 0) {
                SetThreadError(LastSystemError());
                return nullptr;
            }
            code = CreateStream(name, openMode, &stream);
        } else {
            code = AppendStream(name, static_cast<uint32_t>(skipCtrlZ) & kAppendSkipCtrlZ,
                                openMode, &stream);
        }
        return Opened(code, stream, name);
    });
}

KXEXPORT int32_t KXAPI kxFileClose(KXFILE file) {
    return Guarded<int32_t>(0, [&] {
        if (file == nullptr) {
            SetThreadError(err::kInvalidHandle);
            return 0;
        }
        ErrorCode code = CloseLayers(file);
        if (code != err::kNone) {
            SetThreadError(code);
            return 0;
        }
        int closed = CloseStream(file->stream);
        file->stream = nullptr;
        FreeFileHandle(file);
        return closed == 0 ? 1 : 0;
    });
}

namespace kx {
namespace {

// kxFileRead and kxFileWrite: the call goes to the handle's top layer; on
// success the count moved is reported and added to `total`, on failure the
// count is 0 even when some bytes had moved.
template <typename Buffer, typename Dispatch>
int32_t MoveBytes(KXFILE file, Buffer buffer, uint32_t length, uint32_t *count,
                  uint32_t FileHandle::*total, Dispatch dispatch) {
    return Guarded<int32_t>(0, [&] {
        uint32_t moved = 0;
        int ok = 0;
        if (file == nullptr) SetThreadError(err::kInvalidHandle);
        else ok = dispatch(file, buffer, length, &moved);
        if (!ok) moved = 0;
        if (count) *count = moved;
        if (ok) file->*total += moved;
        return ok;
    });
}

}  // namespace
}  // namespace kx

KXEXPORT int32_t KXAPI kxFileRead(KXFILE file, void *buffer, uint32_t length, uint32_t *count) {
    return MoveBytes(file, buffer, length, count, &FileHandle::bytesRead, DispatchRead);
}

KXEXPORT int32_t KXAPI kxFileWrite(KXFILE file, const void *buffer, uint32_t length,
                                   uint32_t *count) {
    return MoveBytes(file, buffer, length, count, &FileHandle::bytesWritten, DispatchWrite);
}

KXEXPORT int32_t KXAPI kxFileFlush(KXFILE file) {
    return Guarded<int32_t>(0, [&] {
        if (file == nullptr) {
            SetThreadError(err::kInvalidHandle);
            return 0;
        }
        return FlushBuffer(file->stream, kStreamEnd) == kStreamError ? 0 : 1;
    });
}

KXEXPORT int32_t KXAPI kxFileSetPos(KXFILE file, int32_t origin, int32_t *position) {
    return Guarded<int32_t>(err::kInternal, [&]() -> int32_t {
        if (file == nullptr) {
            SetThreadError(err::kInvalidHandle);
            return -1;
        }
        if (position == nullptr) {
            SetThreadError(err::kInternal);
            return err::kInternal;
        }
        // A move from the current position by 0 only asks where the stream
        // stands: the layers keep what they hold. Any other call moves.
        if (!(origin == 1 && *position == 0)) {
            int held = RepositionLayers(file);
            if (held != 0) return held;
        }
        uint32_t newPosition = 0;
        int result = SetPosition(file->stream, *position, origin, &newPosition);
        if (result != 0) return result;  // not recorded: -2's cause already is
        *position = static_cast<int32_t>(newPosition);
        return 0;
    });
}

KXEXPORT uint32_t KXAPI kxFileGetSize(KXFILE file) {
    return Guarded<uint32_t>(0, [&]() -> uint32_t {
        if (file == nullptr || file->stream == nullptr) {
            SetThreadError(err::kInvalidHandle);
            return 0;
        }
        uint32_t size = 0;
        int result = GetStreamSize(file->stream, &size);
        if (result == kStreamError) return 0;  // the flush recorded its cause
        if (result != 0) {
            SetThreadError(static_cast<ErrorCode>(result));
            return 0;
        }
        return size;
    });
}

KXEXPORT int32_t KXAPI kxFileTruncate(KXFILE file) {
    return Guarded<int32_t>(0, [&] {
        return file == nullptr ? Failed<int32_t>(err::kInvalidHandle, 0) : TruncateStream(file->stream);
    });
}

KXEXPORT int32_t KXAPI kxFileInsertData(KXFILE file, const void *data, uint32_t length) {
    return Guarded<int32_t>(0, [&] {
        if (file == nullptr) {
            SetThreadError(err::kInvalidHandle);
            return 0;
        }
        // The given-back bytes are read again through every layer from its start.
        if (RepositionLayers(file) != 0) return 0;  // writing held bytes failed; the stream recorded why
        ErrorCode code = InsertBuffer(file->stream, data, length);
        // Whether or not the data went back: a text layer that ends records with
        // 0xFF reads a final 0xFF of given-back data as a record end again.
        TextNoteInsertedData(file, data, length);
        if (code != err::kNone) {
            SetThreadError(code);
            return 0;
        }
        return 1;
    });
}

KXEXPORT uint32_t KXAPI kxFileGetBytesRead(KXFILE file, uint32_t selector) {
    return Guarded<uint32_t>(0, [&]() -> uint32_t {
        if (file == nullptr) {
            SetThreadError(err::kInvalidHandle);
            return 0;
        }
        if (selector & kSelectDelivered) return file->bytesRead;
        uint32_t count = 0;
        StreamBytesRead(file->stream, &count);
        return count;
    });
}

KXEXPORT uint32_t KXAPI kxFileGetBytesWritten(KXFILE file, uint32_t selector) {
    return Guarded<uint32_t>(0, [&]() -> uint32_t {
        if (file == nullptr) {
            SetThreadError(err::kInvalidHandle);
            return 0;
        }
        uint32_t count = 0;
        switch (selector) {
        case kSelectStream:
            StreamBytesWritten(file->stream, &count);
            return count;
        case kSelectAccepted:
            if (!(file->flags & kLayerCompression)) return file->bytesWritten;
            if (file->flags & kLayerText) return CompressionExpandedCount(file);
            StreamBytesWritten(file->stream, &count);
            return count;
        case kSelectRecords:  // only a text layer counts records
            if (file->flags & kLayerText) return TextRecordsWritten(file);
            [[fallthrough]];
        default:
            SetThreadError(err::kMisc);
            return 0;
        }
    });
}
