// The output of a command, written so that a user's files come to no harm:
//  - a regular file (or a new one) is written under a temporary name in the
//    target's directory and takes the target's name, mode, owner and group
//    only when everything has been written;
//  - a symbolic link is followed and the file it leads to written;
//  - a device, FIFO or socket is written in place, as a pipe is;
//  - appending writes in place and, on failure, cuts the file back;
//  - a target that is the input, a directory, or a file the user may not
//    write is refused before anything is touched.
// What a failure undoes, a signal undoes too (interrupt.h).
#pragma once

#include <cstdint>
#include <string>

#include "file_facts.h"

namespace kxcli {

struct OutputRequest {
    bool append = false;
    bool keepPartial = false;
    // The output may be the input itself (it is staged, so the input is read
    // whole before it is replaced); appending to the input never may.
    bool mayReplaceInput = true;
    FileFacts input;  // the input's facts (kMissing: none to compare)
    // The target's spelling is the only one in its directory without regard
    // to case (the caller listed it): a missing target is created as spelled,
    // without reading the directory again.
    bool exactName = false;
};

class StagedOutput {
public:
    StagedOutput() = default;
    StagedOutput(const StagedOutput &) = delete;
    StagedOutput &operator=(const StagedOutput &) = delete;
    ~StagedOutput();  // an output that neither committed nor aborted is aborted

    // Prepares to write `target` (a command-line path; "-": standard output).
    // Returns the library name to create, or to append to when Appending();
    // "" with a message printed, and nothing touched.
    std::string Begin(const std::string &target, const OutputRequest &request);

    bool Appending() const { return mode_ == Mode::kAppend; }
    // Written in place (a device, a FIFO, a pipe): opened for writing only,
    // so that a FIFO waits for its reader and a reader that goes away is
    // seen as a broken pipe, as with any writer of a pipe.
    bool InPlace() const { return mode_ == Mode::kInPlace; }

    // Gives the written file its name (or copies it to standard output).
    // False with a message printed.
    bool Commit();

    // Undoes what was written: removes the temporary file or cuts an append
    // back; with keepPartial the partial file takes the target's name.
    void Abort();

private:
    enum class Mode {
        kStaged,          // a temporary file, renamed at the end
        kAppend,          // appended in place
        kInPlace,         // a device, FIFO or pipe written as it is
        kStandardOutput,  // a temporary file copied to standard output at the end
    };
    std::string Refuse(const std::string &message);  // prints; ""

    Mode mode_ = Mode::kStaged;
    std::string shown_;   // the target as given, for messages
    std::string target_;  // the file reached (links followed, case found)
    std::string staged_;  // the temporary file
    FileAttributes attributes_;  // what the staged file takes on at the end
    bool keepPartial_ = false;
    bool open_ = false;
    int undo_ = -1;  // the interrupt slot of the unfinished file
};

// A new empty file, readable and writable by its owner alone, with a name of
// 8.3 form in `directory` (POSIX, "" for the current one), made so that no
// other file of that name can exist; "" with a message printed when none
// could be made.
std::string MakeTemporaryFile(const std::string &directory);

// False, with a message, when standard output is a file that is the input
// (appending a file to itself never ends).
bool CheckStandardOutput(const FileFacts &input);

// The directory for files that only pass through kxfile ($TMPDIR or /tmp).
std::string TemporaryDirectory();

}  // namespace kxcli
