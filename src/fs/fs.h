// File-system operations and directory matching: what the other subsystems use
// of them. Dates are FileDateTime records (KXFILEDATETIME of the public header):
// day, month, year - 1900, second, minute, hour, in local time.
#pragma once

#include <cstdint>
#include <string>

#include "core/errors.h"
#include "kxfiles.h"
#include "platform/platform.h"

namespace kx {

using FileDateTime = KXFILEDATETIME;

// kNone when the name exists (a file or a directory), by the library's name
// rules; otherwise the validation error, 9 when the full name cannot be
// built, or the mapped system error (a missing name gives the system's
// not-found error).
ErrorCode FindName(const char *name);

// A file time (UTC) as a local FileDateTime; false when it cannot be converted.
bool FileTimeToDate(const os::FILETIME &time, FileDateTime &date);

// The FileDateTime of a calendar time.
FileDateTime DateFromSystemTime(const os::SYSTEMTIME &time);

// Field by field from the year down to the second: the difference of the first
// unequal field (a - b), or 0.
int CompareDates(const FileDateTime &a, const FileDateTime &b);

// The name without one trailing separator, when the separator is not needed to
// name a root ("C:\dir\" is read as "C:\dir", "C:\" stays).
std::string WithoutTrailingSeparator(const char *name);

}  // namespace kx
