// The POSIX side's error plumbing: errno to Win32 error numbers, and the
// thread's last error.
#pragma once

#include "platform/platform.h"

namespace kx::os::posix {

// The Win32 error number for an errno value (one table, in system_error.cpp).
DWORD Win32ErrorFromErrno(int error);

// Records the Win32 error for errno as the thread's last error; returns it.
DWORD SetLastErrorFromErrno(int error);

// Records `error` as the thread's last error and returns `result`, so that a
// failing call can end with `return Fail(ERROR_X, FALSE);`.
template <typename T>
T Fail(DWORD error, T result) {
    SetLastError(error);
    return result;
}

}  // namespace kx::os::posix
