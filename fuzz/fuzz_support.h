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
    // Up to `most` bytes.
    std::string Bytes(size_t most);
    // Everything not yet taken.
    std::string Rest() { return Bytes(size_ - at_); }

private:
    const uint8_t *data_;
    size_t size_;
    size_t at_ = 0;
};

// Stops the process when `condition` is false, naming what was expected.
void Check(bool condition, const char *what, const std::string &detail = "");

// Drive C: is a fresh temporary directory, the current drive at its root;
// made on the first call, removed when the process ends. Returns its POSIX path.
// Entering it changes the process's current directory: libFuzzer must be given
// absolute paths (corpus folders, -artifact_prefix).
const std::string &DriveC();
void WriteFile(const std::string &posixPath, const std::string &bytes);
std::string ReadFile(const std::string &posixPath);

// A character-set layer: from, to, options, variant.
struct Charset {
    uint16_t from, to;
    uint32_t options, variant;
};

// The layers of one handle, from the bottom up; text 0, charset.from 0 and
// method 0 leave a layer off.
struct Layers {
    uint32_t text = 0;
    uint32_t tabWidth = 8;
    Charset charset{0, 0, 0, 0};
    uint32_t method = 0;
};

// Five bytes: text options (2), tab width, character set pair and options
// (decoded from one byte into a set of interesting pairs, UTF-8 with a
// single-byte set, Shift-JIS or itself among them, and three option bytes
// when chosen, four with UTF-8), compression method.
Layers TakeLayers(Input &input);

// Read or write sizes: a count and that many sizes (1 to 65536).
std::vector<uint32_t> TakeSizes(Input &input);

// Switches the layers on; false (the handle closed) when one is refused.
bool SwitchOn(KXFILE file, const Layers &layers);

// The result of reading a file whole through some layers.
struct ReadResult {
    bool opened = false;  // every layer was accepted
    bool ok = false;      // every read succeeded
    int32_t error = 0;    // the error after a failed read
    std::string bytes;    // what the reads delivered
    uint32_t delivered = 0;  // kxFileGetBytesRead(file, 1)
    uint32_t streamRead = 0; // kxFileGetBytesRead(file, 0)
};

// Opens C:\<name> and reads it through `layers` in reads of `sizes` in turn.
ReadResult ReadThrough(const char *name, const Layers &layers, const std::vector<uint32_t> &sizes);

struct WriteResult {
    bool opened = false;
    bool ok = false;         // every write and the close succeeded
    int32_t error = 0;       // the error after the first failure
    std::string file;        // the file's bytes afterwards
    uint32_t accepted = 0;   // kxFileGetBytesWritten(file, 2) before the close
};

// Creates C:\<name> and writes `data` through `layers` in pieces of `sizes`,
// up to a write that takes fewer bytes than given or fails.
WriteResult WriteThrough(const char *name, const Layers &layers, const std::string &data,
                         const std::vector<uint32_t> &sizes);

std::string Hex(const std::string &bytes);

}  // namespace kxfuzz
