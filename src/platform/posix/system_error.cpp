#include "platform/posix/system_error.h"

#include <cerrno>
#include <sys/syscall.h>
#include <unistd.h>

namespace kx::os {
namespace {

thread_local DWORD lastError = ERROR_SUCCESS;

struct ErrnoRow {
    int error;    // errno value
    DWORD win32;  // the Win32 error a Windows file system reports for the same failure
};

// Missing names and missing directories are told apart by the name resolution
// itself (names.cpp), which reports ERROR_PATH_NOT_FOUND for a missing or
// non-directory component before the last; ENOTDIR from the system means the
// same thing.
constexpr ErrnoRow kErrnoTable[] = {
    {ENOENT, ERROR_FILE_NOT_FOUND},
    {ENOTDIR, ERROR_PATH_NOT_FOUND},
    {EACCES, ERROR_ACCESS_DENIED},
    {EPERM, ERROR_ACCESS_DENIED},
    {EISDIR, ERROR_ACCESS_DENIED},
    {EROFS, ERROR_WRITE_PROTECT},
    {EEXIST, ERROR_FILE_EXISTS},
    {ENOTEMPTY, ERROR_DIR_NOT_EMPTY},
    {EBUSY, ERROR_SHARING_VIOLATION},
    {ETXTBSY, ERROR_SHARING_VIOLATION},
    {EMFILE, ERROR_TOO_MANY_OPEN_FILES},
    {ENFILE, ERROR_TOO_MANY_OPEN_FILES},
    {EBADF, ERROR_INVALID_HANDLE},
    {ENOMEM, ERROR_NOT_ENOUGH_MEMORY},
    {ENOSPC, ERROR_DISK_FULL},
    {EDQUOT, ERROR_DISK_FULL},
    {EFBIG, ERROR_DISK_FULL},
    {ENAMETOOLONG, ERROR_FILENAME_EXCED_RANGE},
    {ELOOP, ERROR_INVALID_NAME},
    {EINVAL, ERROR_INVALID_PARAMETER},
    {EXDEV, ERROR_NOT_SAME_DEVICE},
    {ENODEV, ERROR_NOT_READY},
    {ENXIO, ERROR_NOT_READY},
    {EIO, ERROR_NOT_READY},
};

}  // namespace

DWORD posix::Win32ErrorFromErrno(int error) {
    for (const ErrnoRow &row : kErrnoTable)
        if (row.error == error) return row.win32;
    return ERROR_INVALID_PARAMETER;
}

DWORD posix::SetLastErrorFromErrno(int error) {
    lastError = Win32ErrorFromErrno(error);
    return lastError;
}

DWORD GetLastError() { return lastError; }

void SetLastError(DWORD error) { lastError = error; }

DWORD GetCurrentThreadId() { return static_cast<DWORD>(::syscall(SYS_gettid)); }

}  // namespace kx::os
