// Files: CreateFileA and the calls on its handles. A handle is an open file
// descriptor with the access and share mode it was opened with; share modes are
// honoured between the handles of this process, as Windows honours them.
#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/faults.h"
#include "platform/posix/names.h"
#include "platform/posix/system_error.h"

namespace kx::os {
namespace {

using posix::Fail;

struct OpenFile {
    int descriptor;   // the POSIX file descriptor
    dev_t device;     // identity of the file, for share modes
    ino_t inode;
    DWORD access;     // GENERIC_READ / GENERIC_WRITE
    DWORD shareMode;  // FILE_SHARE_READ / FILE_SHARE_WRITE
    bool writeTimeSet;          // SetFileTime fixed the last-write time through this handle
    struct timespec writeTime;  // ... to this time, which later writes keep
    bool nullDevice;            // NUL: no descriptor; writes vanish, reads find nothing
};

std::mutex openFilesLock;          // guards openFiles
std::vector<OpenFile *> openFiles;  // every handle open in this process

// Whether a new opener with `access` and `shareMode` may join the handles
// already open on the same file.
bool SharingAllows(const struct stat &info, DWORD access, DWORD shareMode) {
    for (const OpenFile *open : openFiles) {
        if (open->nullDevice || open->device != info.st_dev || open->inode != info.st_ino) continue;
        if ((access & GENERIC_READ) && !(open->shareMode & FILE_SHARE_READ)) return false;
        if ((access & GENERIC_WRITE) && !(open->shareMode & FILE_SHARE_WRITE)) return false;
        if ((open->access & GENERIC_READ) && !(shareMode & FILE_SHARE_READ)) return false;
        if ((open->access & GENERIC_WRITE) && !(shareMode & FILE_SHARE_WRITE)) return false;
    }
    return true;
}

}  // namespace

bool posix::HeldWithoutDeleteSharing(const std::string &posixPath) {
    struct stat info;
    if (::stat(posixPath.c_str(), &info) != 0) return false;
    std::lock_guard<std::mutex> guard(openFilesLock);
    for (const OpenFile *open : openFiles)
        if (!open->nullDevice && open->device == info.st_dev && open->inode == info.st_ino &&
            !(open->shareMode & FILE_SHARE_DELETE))
            return true;
    return false;
}

namespace {

OpenFile *FromHandle(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
    return static_cast<OpenFile *>(handle);
}

// 100-nanosecond intervals since 1601-01-01, as Windows counts file times.
FILETIME ToFileTime(const struct timespec &time) {
    constexpr uint64_t kEpochDifference = 116444736000000000ull;  // 1601 to 1970
    uint64_t value = static_cast<uint64_t>(time.tv_sec) * 10000000ull +
                     static_cast<uint64_t>(time.tv_nsec) / 100 + kEpochDifference;
    return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

// 100-nanosecond intervals since 1601 back to POSIX time.
struct timespec FromFileTime(const FILETIME &time) {
    constexpr int64_t kEpochDifference = 116444736000000000ll;
    int64_t value = static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) |
                                         time.dwLowDateTime) - kEpochDifference;
    int64_t seconds = value / 10000000, rest = value % 10000000;
    if (rest < 0) {
        rest += 10000000;
        --seconds;
    }
    return timespec{static_cast<time_t>(seconds), static_cast<long>(rest * 100)};
}

// A last-write time set through a handle stays what was set, whatever the handle
// writes afterwards (as on Windows).
void KeepWriteTime(const OpenFile &file) {
    if (!file.writeTimeSet) return;
    struct timespec times[2] = {{0, UTIME_OMIT}, file.writeTime};
    ::futimens(file.descriptor, times);
}

}  // namespace

HANDLE CreateFileA(const char *name, DWORD access, DWORD shareMode, void * /*security*/,
                   DWORD disposition, DWORD /*flagsAndAttributes*/, HANDLE /*templateFile*/) {
    posix::Resolved where;
    DWORD error = posix::Resolve(name, where);
    if (error != 0) return Fail(error, INVALID_HANDLE_VALUE);
    if (where.device) {
        // NUL opens as the null device, kept in the process (no device file is
        // touched); the other devices are refused rather than made files.
        if (!where.nullDevice) return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);
        auto *null = new (std::nothrow) OpenFile{-1, 0, 0, access, shareMode, false, {}, true};
        if (null == nullptr) return Fail(ERROR_NOT_ENOUGH_MEMORY, INVALID_HANDLE_VALUE);
        std::lock_guard<std::mutex> guard(openFilesLock);
        openFiles.push_back(null);
        return null;
    }
    if (where.place.components.empty() || where.isDirectory)
        return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);  // a directory is not a file
    if (where.trailingSeparator) return Fail(ERROR_INVALID_NAME, INVALID_HANDLE_VALUE);

    if (where.exists && disposition == CREATE_NEW)
        return Fail(ERROR_FILE_EXISTS, INVALID_HANDLE_VALUE);
    if (!where.exists) {
        if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)
            return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
        error = posix::CheckNewComponent(where.place.volume, where.place.components.back());
        if (error != 0) return Fail(error, INVALID_HANDLE_VALUE);
    }

    // A read-only file refuses writers, root among them, as on Windows.
    struct stat existing;
    bool writes = (access & GENERIC_WRITE) || disposition == CREATE_ALWAYS ||
                  disposition == TRUNCATE_EXISTING;
    if (where.exists && writes && ::stat(where.place.PosixPath().c_str(), &existing) == 0 &&
        posix::IsReadOnly(existing))
        return Fail(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);

    int flags = O_CLOEXEC;
    if ((access & GENERIC_READ) && (access & GENERIC_WRITE)) flags |= O_RDWR;
    else if (access & GENERIC_WRITE) flags |= O_WRONLY;
    else flags |= O_RDONLY;
    if (!where.exists) flags |= O_CREAT | O_EXCL;
    bool truncate = where.exists && (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING);
    if (truncate && !(access & GENERIC_WRITE)) flags = (flags & ~O_ACCMODE) | O_RDWR;

    std::string path = where.place.PosixPath();
    int descriptor;
    do descriptor = ::open(path.c_str(), flags, 0666);
    while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        posix::SetLastErrorFromErrno(errno);
        return INVALID_HANDLE_VALUE;
    }

    auto *file = new (std::nothrow) OpenFile{descriptor, 0, 0, access, shareMode, false, {}, false};
    if (file == nullptr) {
        ::close(descriptor);
        return Fail(ERROR_NOT_ENOUGH_MEMORY, INVALID_HANDLE_VALUE);
    }
    // Emptying an existing file writes to it, so a truncating opener must be one
    // that the other handles let write, whatever access it asked for (as Windows
    // adds write access to an overwriting open).
    DWORD sharedAccess = truncate ? (access | GENERIC_WRITE) : access;
    struct stat info;
    std::lock_guard<std::mutex> guard(openFilesLock);
    if (::fstat(descriptor, &info) != 0 || !SharingAllows(info, sharedAccess, shareMode)) {
        ::close(descriptor);
        delete file;
        return Fail(ERROR_SHARING_VIOLATION, INVALID_HANDLE_VALUE);
    }
    // Emptied only once sharing allows it, so that a refused opener changes
    // nothing. A file that is already empty is left alone: some file systems
    // take a truncation to zero as a file being replaced and write its new
    // data out at the close, which would make every close of a file created
    // empty (a reserved unique name, say) wait for the disk.
    if (truncate && info.st_size != 0 && ::ftruncate(descriptor, 0) != 0) {
        int cause = errno;
        ::close(descriptor);
        delete file;
        posix::SetLastErrorFromErrno(cause);
        return INVALID_HANDLE_VALUE;
    }
    file->device = info.st_dev;
    file->inode = info.st_ino;
    openFiles.push_back(file);
    return file;
}

BOOL ReadFile(HANDLE handle, void *buffer, DWORD length, DWORD *read, void * /*overlapped*/) {
    OpenFile *file = FromHandle(handle);
    if (read) *read = 0;
    if (file == nullptr) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!(file->access & GENERIC_READ)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (file->nullDevice) return TRUE;
    DWORD total = 0;
    while (total < length) {
        ssize_t n = ::read(file->descriptor, static_cast<char *>(buffer) + total, length - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            posix::SetLastErrorFromErrno(errno);
            return FALSE;
        }
        if (n == 0) break;
        total += static_cast<DWORD>(n);
    }
    if (read) *read = total;
    return TRUE;
}

// A full disk is reported as a short write (the bytes it took), so that the
// caller sees which bytes were lost and says "Out of disk space".
BOOL WriteFile(HANDLE handle, const void *buffer, DWORD length, DWORD *written,
               void * /*overlapped*/) {
    OpenFile *file = FromHandle(handle);
    if (written) *written = 0;
    if (file == nullptr) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!(file->access & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (file->nullDevice) {
        if (written) *written = length;
        return TRUE;
    }
    DWORD allowed = faults::TakeDiskSpace(length);
    DWORD total = 0;
    while (total < allowed) {
        ssize_t n = ::write(file->descriptor, static_cast<const char *>(buffer) + total,
                            allowed - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG) break;
            posix::SetLastErrorFromErrno(errno);
            if (written) *written = total;  // what reached the file before the failure
            return FALSE;
        }
        total += static_cast<DWORD>(n);
    }
    if (written) *written = total;
    KeepWriteTime(*file);
    return TRUE;
}

DWORD SetFilePointer(HANDLE handle, LONG distance, LONG *distanceHigh, DWORD method) {
    OpenFile *file = FromHandle(handle);
    if (file == nullptr) return Fail(ERROR_INVALID_HANDLE, INVALID_SET_FILE_POINTER);
    if (file->nullDevice) {  // always at its start
        if (distanceHigh) *distanceHigh = 0;
        SetLastError(ERROR_SUCCESS);
        return 0;
    }
    int64_t offset = distanceHigh ? (static_cast<int64_t>(*distanceHigh) << 32) |
                                        static_cast<uint32_t>(distance)
                                  : distance;
    int64_t base;
    if (method == FILE_BEGIN) {
        base = 0;
    } else if (method == FILE_CURRENT) {
        base = ::lseek(file->descriptor, 0, SEEK_CUR);
    } else if (method == FILE_END) {
        struct stat info;
        base = ::fstat(file->descriptor, &info) == 0 ? info.st_size : -1;
    } else {
        return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
    }
    if (base < 0) {
        posix::SetLastErrorFromErrno(errno);
        return INVALID_SET_FILE_POINTER;
    }
    int64_t target = base + offset;
    if (target < 0) return Fail(ERROR_NEGATIVE_SEEK, INVALID_SET_FILE_POINTER);
    if (distanceHigh == nullptr && target > 0xFFFFFFFEll)
        return Fail(ERROR_INVALID_PARAMETER, INVALID_SET_FILE_POINTER);
    if (::lseek(file->descriptor, target, SEEK_SET) < 0) {
        posix::SetLastErrorFromErrno(errno);
        return INVALID_SET_FILE_POINTER;
    }
    if (distanceHigh) *distanceHigh = static_cast<LONG>(target >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(target);
}

BOOL SetEndOfFile(HANDLE handle) {
    OpenFile *file = FromHandle(handle);
    if (file == nullptr) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!(file->access & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (file->nullDevice) return TRUE;
    off_t position = ::lseek(file->descriptor, 0, SEEK_CUR);
    if (position < 0 || ::ftruncate(file->descriptor, position) != 0) {
        posix::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}

BOOL CloseHandle(HANDLE handle) {
    OpenFile *file = FromHandle(handle);
    if (file == nullptr) return Fail(ERROR_INVALID_HANDLE, FALSE);
    {
        std::lock_guard<std::mutex> guard(openFilesLock);
        for (auto it = openFiles.begin(); it != openFiles.end(); ++it) {
            if (*it == file) {
                openFiles.erase(it);
                break;
            }
        }
    }
    int result = file->nullDevice ? 0 : ::close(file->descriptor);
    int cause = errno;
    delete file;
    // The descriptor is released even when close reports an error (Linux).
    if (result != 0 && cause != EINTR) {
        posix::SetLastErrorFromErrno(cause);
        return FALSE;
    }
    return TRUE;
}

BOOL GetFileInformationByHandle(HANDLE handle, BY_HANDLE_FILE_INFORMATION *info) {
    OpenFile *file = FromHandle(handle);
    if (file == nullptr) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (info == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (file->nullDevice) return Fail(ERROR_INVALID_FUNCTION, FALSE);  // a device has no file record
    struct stat status;
    if (::fstat(file->descriptor, &status) != 0) {
        posix::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    *info = BY_HANDLE_FILE_INFORMATION{};
    info->dwFileAttributes = posix::AttributesOf("", status);
    info->ftCreationTime = ToFileTime(status.st_ctim);
    info->ftLastAccessTime = ToFileTime(status.st_atim);
    info->ftLastWriteTime = ToFileTime(status.st_mtim);
    info->dwVolumeSerialNumber = static_cast<DWORD>(status.st_dev);
    info->nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(status.st_size) >> 32);
    info->nFileSizeLow = static_cast<DWORD>(status.st_size);
    info->nNumberOfLinks = static_cast<DWORD>(status.st_nlink);
    info->nFileIndexHigh = static_cast<DWORD>(static_cast<uint64_t>(status.st_ino) >> 32);
    info->nFileIndexLow = static_cast<DWORD>(status.st_ino);
    return TRUE;
}

// The creation time has no place in a POSIX file system and is accepted without
// effect; the last-access and last-write times are set. Setting times needs a
// handle opened for writing, as Windows needs write-attribute access.
BOOL SetFileTime(HANDLE handle, const FILETIME * /*creation*/, const FILETIME *lastAccess,
                 const FILETIME *lastWrite) {
    OpenFile *file = FromHandle(handle);
    if (file == nullptr) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (!(file->access & GENERIC_WRITE)) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (file->nullDevice) return Fail(ERROR_INVALID_FUNCTION, FALSE);
    struct timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};
    if (lastAccess != nullptr) times[0] = FromFileTime(*lastAccess);
    if (lastWrite != nullptr) times[1] = FromFileTime(*lastWrite);
    if (::futimens(file->descriptor, times) != 0) {
        posix::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    if (lastWrite != nullptr) {
        file->writeTimeSet = true;
        file->writeTime = times[1];
    }
    return TRUE;
}

}  // namespace kx::os
