// What the fuzz targets share: the input taken apart field by field, drive C:,
// files, the layers a target switches on, and the checks.
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

// Stops the process (libFuzzer then keeps the input) when `condition` is false.
void Check(bool condition, const char *what, const std::string &detail = "");
// Checks that bytes[from...] all still hold the guard byte.
void CheckGuard(const std::string &bytes, size_t from, char guard, const char *what);
// Two byte strings in hex, for a check's detail.
std::string Versus(const std::string &a, const std::string &b);

// Drive C:, the current drive at its root: a temporary directory made on the
// first call (which moves the current directory: libFuzzer needs absolute paths).
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

// Text options (2 bytes), tab width, a character-set pair among the
// interesting ones with the bytes it needs, and a compression method.
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

// Reads C:\<name> through `layers` in reads of `sizes` in turn.
Result ReadThrough(const char *name, const Layers &layers, const std::vector<uint32_t> &sizes);
// Writes C:\<name> in pieces of `sizes`, up to a write that takes less or fails.
Result WriteThrough(const char *name, const Layers &layers, const std::string &data,
                    const std::vector<uint32_t> &sizes);

}  // namespace kxfuzz
