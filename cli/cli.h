// kxfile: the command-line tool. Built only on the public header.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "kxfiles.h"

namespace kxcli {

// The library's name for a path given on the command line, or "" when the
// path lies on no drive the library knows (a message has been printed).
std::string LibraryName(const std::string &path);
// The same; without reportFailure nothing is printed when it gives "".
std::string LibraryName(const std::string &path, bool reportFailure);

// A path by which the library can open the process's own descriptor `fd`
// (0 standard input, 1 standard output) as a file, so that its layers read a
// pipe or write to one as they go; "" where there is none (Windows, or a
// drive table that leaves /proc on no drive).
std::string DescriptorPath(int fd);

// The POSIX path of a name the library gave back (a drive name such as
// "C:\work\a.txt", or a relative name with backslashes).
std::string PosixPath(const std::string &libraryName);

// A byte in two hexadecimal digits, "0A".
inline std::string Hex(unsigned byte) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", byte & 0xFF);
    return text;
}

// "kxfile: WHAT: <the library's message for its last error>" on stderr.
void ReportLibraryError(const std::string &what);

// A name in a 260-byte buffer, as the library's name functions take it (the
// opening functions may rewrite it on a volume of 8.3 names).
struct NameBuffer {
    char text[260] = {};
    // False, with a message, when the name is empty or too long.
    bool Set(const std::string &name);
};

// The local file name (a POSIX path) that the library makes of a host's file
// name, numbered when taken and `unique` is set; "" with a message printed.
std::string LocalNameOf(const std::string &hostName, bool force83, bool dropLastExt, bool unique);

int CopyCommand(int argc, char **argv);
int SendCommand(int argc, char **argv);
int ReceiveCommand(int argc, char **argv);
int ConvertCommand(int argc, char **argv);
int DetectCommand(int argc, char **argv);
int CharsetsCommand(int argc, char **argv);
int LsCommand(int argc, char **argv);
int NameCommand(int argc, char **argv);
int InspectCommand(int argc, char **argv);

}  // namespace kxcli
