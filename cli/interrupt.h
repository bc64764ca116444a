// Unfinished files and the signals that may stop a command while it writes
// them. Each file that must not outlive a failure is recorded here with what
// undoes it; a failure runs that undo through the same code as SIGINT,
// SIGTERM, SIGHUP and SIGPIPE do (SIGINT and SIGTERM on Windows), after which
// a signal ends the command with 128 + its number.
#pragma once

#include <cstdint>
#include <string>
#ifndef _WIN32
#include <csignal>
#endif

namespace kxcli {

// The owner, group and permission bits a file is given before it takes a
// name (those of the file it replaces). `set` false: the file keeps its own.
struct FileAttributes {
    bool set = false;
    bool owner = false;  // owner and group too, not only the mode
    uint32_t mode = 0;
    uint32_t user = 0, group = 0;
};

// What undoes an unfinished file.
struct Undo {
    enum Kind {
        kRemove,   // remove `path`
        kKeep,     // give `path` the attributes and rename it to `target`
        kCutBack,  // cut `path` back to `size` bytes
    };
    Kind kind = kRemove;
    std::string path, target;
    uint64_t size = 0;
    FileAttributes attributes;
};

// Installs the handlers (once, before the first file is recorded).
void InstallInterruptHandlers();

// Records an unfinished file; the result names it for Forget and Run. Up to
// four at a time (a command has at most an input spool and one output).
int Remember(const Undo &undo);

// The file is finished: nothing undoes it any more.
void Forget(int slot);

// Undoes the file now (a failure) and forgets it; false when the system
// refused a step (errno says why).
bool RunUndo(int slot);

// Gives `path` the attributes (as far as the process may); false when the
// mode could not be set.
bool GiveAttributes(const char *path, const FileAttributes &attributes);

// Renames `from` to `to`, replacing a file that has that name (which the C
// library's rename does not do on Windows); false with errno set.
bool RenameOver(const char *from, const char *to);

// Holds the signals back while a file takes its final name, so that a
// signal sees the file either before or after, never half-way.
class SignalsHeld {
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld &) = delete;
    SignalsHeld &operator=(const SignalsHeld &) = delete;

private:
#ifndef _WIN32
    sigset_t saved_;  // the mask before
#endif
};

}  // namespace kxcli
