// The bytes of an input file as they lie on disk, read through the library's
// plain stream ("-": standard input), a block at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "kxfiles.h"

namespace kxcli {

class InputBytes {
public:
    InputBytes() = default;
    InputBytes(const InputBytes &) = delete;
    InputBytes &operator=(const InputBytes &) = delete;
    ~InputBytes();

    // Opens a file by its command-line path; false with a message printed.
    bool Open(const std::string &path);

    // The next byte, or -1 at the end of the data or after a read error.
    int Next() {
        if (position_ == filled_ && !Fill()) return -1;
        return block_[position_++];
    }

    // The offset in the file of the byte that Next returned last.
    uint64_t Offset() const { return blockStart_ + position_ - 1; }

    // Shows every block to `observer` as it is read, so that one pass can
    // serve two readers (one pulling bytes, one looking at whole blocks).
    void SetObserver(std::function<void(const unsigned char *, size_t)> observer) { observer_ = std::move(observer); }

    // Reads to the end; false when reading failed.
    bool Drain() {
        while (position_ < filled_ || Fill()) position_ = filled_;
        return !failed_;
    }

    // True when reading stopped on an error (a message has been printed).
    bool Failed() const { return failed_; }

private:
    bool Fill();

    std::string path_;
    KXFILE file_ = nullptr;
    FILE *stream_ = nullptr;  // standard input
    std::vector<unsigned char> block_;
    size_t position_ = 0;
    size_t filled_ = 0;
    uint64_t blockStart_ = 0;
    bool failed_ = false;
    std::function<void(const unsigned char *, size_t)> observer_;
};

// The frame of a command that reads FILE... ('-': standard input) and takes
// no options: --help prints `usage`, no FILE is bad usage, and `each` runs
// for every file that opens. Returns the exit code: 1 when a file could not
// be opened or `each` returned false, else 0.
int RunOverFiles(const char *command, int argc, char **argv, void (*usage)(FILE *),
                 const std::function<bool(const std::string &path, InputBytes &input)> &each);

}  // namespace kxcli
