// An output file that never half-exists: the data go to a temporary file in
// the target's directory, which takes the target's name only when everything
// has been written. Appending writes in place and, on failure, cuts the file
// back to its old size.
#pragma once

#include <cstdint>
#include <string>

namespace kxcli {

class StagedOutput {
public:
    StagedOutput() = default;
    StagedOutput(const StagedOutput &) = delete;
    StagedOutput &operator=(const StagedOutput &) = delete;
    ~StagedOutput();  // a transfer that neither committed nor aborted is aborted

    // Prepares to write `target` (a command-line path; "-": standard output,
    // staged in the temporary directory). Returns the library name to create
    // or append to, or "" with a message printed.
    std::string Begin(const std::string &target, bool append, bool keepPartial);

    // Gives the written file its name (or copies it to standard output).
    // False with a message printed.
    bool Commit();

    // Removes what was written: the temporary file, or the appended bytes.
    // With keepPartial the partial file takes the target's name instead.
    void Abort();

private:
    std::string target_;
    std::string staged_;  // POSIX path of the temporary file, "" when appending
    bool append_ = false;
    bool keepPartial_ = false;
    bool open_ = false;
    bool existed_ = false;       // appending: the target was there before
    uintmax_t appendedFrom_ = 0;  // appending: its size then
};

// A new empty file with a name of 8.3 form in `directory` (POSIX, "" for the
// current one), made so that no other file of that name can exist; "" with a
// message printed when none could be made.
std::string MakeTemporaryFile(const std::string &directory);

// The directory for files that only pass through kxfile ($TMPDIR or /tmp).
std::string TemporaryDirectory();

}  // namespace kxcli
