// What the fuzz targets share: the input taken apart field by field, a
// temporary directory mapped as drive C:, whole files read and written by
// their POSIX paths, the layers a target switches on, and a check that stops
// the process with a message (libFuzzer then keeps the input).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "kxfiles.h"

namespace kxfuzz {

// Reads fields from the front of the input; past its end every field is 0.
class Input {
public:
    Input(const uint8_t *data, size_t size) : data_(data), size_(size) {}

    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    uint16_t Word() {
        uint16_t low = Byte();
        return static_cast<uint16_t>(low | Byte() << 8);
    }
    std::string Bytes(size_t most);
    // Up to `most` bytes, cut at the first zero among them.
    std::string Text(size_t most) {
        const std::string bytes = Bytes(most);
        return bytes.substr(0, bytes.find('\0'));
    }
    std::string Rest() { return Bytes(size_ - at_); }

private:
    const uint8_t *data_;
    size_t size_;
    size_t at_ = 0;
};

// Stops the process when `condition` is false, naming what was expected.
void Check(bool condition, const char *what, const std::string &detail = "");
// Checks that bytes[from...] all still hold the guard byte.
void CheckGuard(const std::string &bytes, size_t from, char guard, const char *what);
// Two byte strings in hex, for a check's detail.
std::string Versus(const std::string &a, const std::string &b);

// Drive C: is a fresh temporary directory, the current drive at its root;
// made on the first call, removed when the process ends. Returns its POSIX
// path. Entering it moves the process's current directory: libFuzzer must be
// given absolute paths (corpus folders, -artifact_prefix).
const std::string &DriveC();
void WriteFile(const std::string &posixPath, const std::string &bytes);
std::string ReadFile(const std::string &posixPath);

// The layers of one handle, from the bottom up; text 0, no set and method 0
// leave a layer off.
struct Layers {
    uint32_t text = 0, tabWidth = 8;
    uint16_t from = 0, to = 0;  // the character-set layer
    uint32_t options = 0, variant = 0;
    uint32_t method = 0;
};

// Text options (2 bytes), tab width, a byte choosing a character set pair
// among the interesting ones (UTF-8 with a single-byte set, Shift-JIS or
// itself among them) with the bytes it needs, and a compression method.
Layers TakeLayers(Input &input);
// Read or write sizes: a count and that many sizes (1 to 65536).
std::vector<uint32_t> TakeSizes(Input &input);

struct Result {
    bool opened = false;  // every layer was accepted
    bool ok = false;      // every call succeeded
    int32_t error = 0;    // the error after the first failure
    std::string bytes;    // what the reads delivered, or the file written
    uint32_t count = 0;   // reads: kxFileGetBytesRead(file, 1); writes: (file, 2) before the close
    uint32_t streamRead = 0;  // reads: kxFileGetBytesRead(file, 0)
};

// Opens C:\<name> and reads it through `layers` in reads of `sizes` in turn.
Result ReadThrough(const char *name, const Layers &layers, const std::vector<uint32_t> &sizes);
// Creates C:\<name> and writes `data` through `layers` in pieces of `sizes`,
// up to a write that takes fewer bytes than given or fails.
Result WriteThrough(const char *name, const Layers &layers, const std::string &data,
                    const std::vector<uint32_t> &sizes);

}  // namespace kxfuzz
