// Windows names on the POSIX file system: a name such as "C:\Work\report.txt",
// "D:notes.txt", "\dir\file" or "\\host\share\file" is resolved component by
// component through the drive table, each component first exactly and then
// without regard to case, as Windows file systems behave.
#pragma once

#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/posix/drives.h"

namespace kx::os::posix {

// A place in the drive table: a volume and on-disk components below its root.
struct Place {
    Volume volume;
    std::vector<std::string> components;

    std::string PosixPath() const;
    std::string WindowsPath() const;  // "C:\dir\file", "C:\" for a root
};

// Where a Windows name leads.
struct Resolved {
    Place place;                    // the last component is the given spelling when missing
    bool exists = false;            // the last component exists
    bool isDirectory = false;       // ... and is a directory
    bool trailingSeparator = false; // the name ended in '\' or '/'
    bool device = false;            // the last component names a DOS device (below)
    bool nullDevice = false;        // ... and that device is NUL
};

// Whether a component names a DOS device: CON, NUL, AUX, PRN, COM1-COM9 or
// LPT1-LPT9, in any case, with or without an extension. Windows takes such a
// last component as the device in every directory; so does this layer, and no
// file of that name is ever made, opened or deleted on disk.
bool IsDeviceName(const std::string &component);

// Resolves `name`; returns 0 or the Win32 error (ERROR_PATH_NOT_FOUND when a
// directory on the way is missing, ERROR_INVALID_NAME for a character Windows
// refuses, ERROR_FILENAME_EXCED_RANGE for a name of 260 characters or more).
// A missing last component is not an error: `exists` says so. As on Windows,
// the dots that end a component are dropped, and the spaces too in the last
// one ("dot.", "space ", a directory "sub.", but not "dir \f"), and a last
// component that names a device resolves to the device (`exists` and
// `device`; nothing is looked up on disk).
DWORD Resolve(const char *name, Resolved &out);

// The process's current directory as a place; 0 or the Win32 error.
DWORD CurrentPlace(Place &out);

// Whether a new component may be created on the volume: 0, or the Win32 error
// (8.3 shape on a volume of 8.3 names, the volume's length limit elsewhere).
DWORD CheckNewComponent(const Volume &volume, const std::string &component);

// The Win32 attributes of a file: read-only when its owner cannot write, hidden
// when its name begins with '.', directory or archive by its type.
DWORD AttributesOf(const std::string &lastComponent, const struct stat &info);

// The maximum component length of the volume.
DWORD MaxComponentLength(const Volume &volume);

// Whether a handle of this process holds the file at `posixPath` open without
// FILE_SHARE_DELETE, so that the file may be neither deleted nor renamed (as
// Windows refuses with ERROR_SHARING_VIOLATION). In files.cpp, beside the
// table of open handles.
bool HeldWithoutDeleteSharing(const std::string &posixPath);

// Whether the owner's write bit is clear: the read-only attribute, which
// Windows enforces against writing and deleting whatever the caller's rights
// (root's included).
bool IsReadOnly(const struct stat &info);

}  // namespace kx::os::posix
