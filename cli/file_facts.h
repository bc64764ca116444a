// What a command-line path reaches, looked at before the library touches it:
// the file itself after symbolic links and the library's lookup without
// regard to case, its kind and identity, and messages that say what is wrong
// with an input.
#pragma once

#include <cstdint>
#include <string>

#include "interrupt.h"

namespace kxcli {

enum class FileKind {
    kMissing,
    kRegular,
    kDirectory,
    kOther,  // a device, a FIFO, a socket
};

struct FileFacts {
    FileKind kind = FileKind::kMissing;
    int error = 0;                   // errno when the path could not be looked at (not a missing name)
    uint64_t device = 0, inode = 0;  // the file's identity (Windows: volume serial and file index)
    uint64_t size = 0;
    FileAttributes attributes;       // mode, owner and group of a regular file

    // Both name one file (a pipe on Windows has no identity: never the same).
    bool SameFileAs(const FileFacts &other) const {
        return kind != FileKind::kMissing && other.kind != FileKind::kMissing && inode != 0 &&
               device == other.device && inode == other.inode;
    }
};

// The path of the file that the library reaches for `path`: symbolic links
// followed to their end, and a name missing as spelled found as the library
// finds it, component by component without regard to case. `path` itself
// when nothing is there. searchCase false: `path` itself, when missing, is
// not searched for (its caller knows that no other spelling exists); the
// files its links lead to still are.
std::string ReachedPath(const std::string &path, bool searchCase = true);

// Whether the path itself is a symbolic link (never on Windows).
bool IsSymbolicLink(const std::string &path);

// The facts of a path (symbolic links followed) or of an open descriptor.
FileFacts Examine(const std::string &path);
FileFacts ExamineDescriptor(int fd);

// The facts of an input given on the command line ('-': standard input);
// false with "No such file or directory" or "Is a directory" printed under
// the path when it is no input.
bool ExamineInput(const std::string &path, FileFacts &facts);

// "kxfile: WHAT: <strerror(error)>" on stderr.
void ReportSystemError(const std::string &what, int error);

}  // namespace kxcli
