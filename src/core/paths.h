// Path validation and full names. Names are ANSI byte strings; path buffers
// hold 260 bytes (259 characters and the terminator). The separators are the
// backslash and, in the splitting and 8.3 operations, also '/' and ':'.
#pragma once

#include <cstdint>
#include <mutex>

#include "core/errors.h"

namespace kx {

// The process has one current directory for all its threads, and name
// validation enters directories for a moment to ask about them. Every export
// that resolves a name, or reads or changes the current directory, holds this
// lock for its whole call: no call of the library then resolves a relative
// name while another thread's call has the current directory elsewhere.
// Recursive, since exports call one another.
class DirectoryLock {
public:
    DirectoryLock();

private:
    std::unique_lock<std::recursive_mutex> lock_;
};

// The length of the path's drive (C:) or share (\\server\share) prefix. `root`
// (may be null) receives the prefix, a share connected to a drive as that drive
// (x:), or for a path without prefix the current directory's root; `drivePath`
// (may be null) receives the path rewritten on that drive.
int GetRootPrefix(const char *path, char *root, char *drivePath);

// The last component of the path, into `out`; 0 when either pointer is null.
int SplitFileName(const char *path, char *out);

// Everything before the last component, into `out` (which may be the path
// itself); 0 when the path has no directory part, and `out` is untouched.
int SplitDirectory(const char *path, char *out);

// The share root "\\server\share\" at the start of the path; 0 with `out` empty
// when the path does not start with a complete one.
int GetShareRoot(const char *path, char *out);

// The component limit taken for a volume that cannot be asked: a long-name volume.
constexpr uint32_t kUnknownVolumeLimit = 255;

// The maximum component length of the volume of the path; kUnknownVolumeLimit
// when it cannot be asked.
uint32_t VolumeNameLimit(const char *path);

// The current directory of the process, or of the drive or share `dir` names,
// always ending in a backslash.
ErrorCode CurrentDirectory(char *out);
ErrorCode ResolveDirectory(const char *dir, char *out);

// Enters the directory; 0 or the mapped system error.
ErrorCode EnterDirectory(const char *dir);

// The 8.3 rules: 0, 5, 18 or 19.
ErrorCode CheckShortName(const char *name);

// Validates a name by the rules of the volume that will hold it: 0, 5, 6, 18 or 19.
ErrorCode CheckFileName(const char *path);

// Cuts an over-long last component to 8 characters, in place: 0, or 5 for null.
ErrorCode CutToShortName(char *path);

// The full name of the path into `out` (260 bytes): 1, or 0 on failure.
int BuildFullName(const char *path, char *out);

}  // namespace kx
