// kxfile: the command-line tool. Built only on the public header.
#pragma once

#include <string>

#include "kxfiles.h"

namespace kxcli {

// The library's name for a path given on the command line, or "" when the
// path lies on no drive the library knows (a message has been printed).
std::string LibraryName(const std::string &path);

// "kxfile: WHAT: <the library's message for its last error>" on stderr.
void ReportLibraryError(const std::string &what);

int CopyCommand(int argc, char **argv);

}  // namespace kxcli
