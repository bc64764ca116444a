// The name functions on arbitrary names, with output buffers holding leftover
// text: each writes inside its buffer only, ends what it stores with a zero,
// and gives the same answer whatever the buffer held; in place, inside the name.
// Input: a mode byte, a flags byte, a window width, leftover text for the
// buffers (up to the first zero, at most 40 bytes), then the name.
#include <algorithm>
#include <cstring>
#include <functional>

#include "fuzz_support.h"

using namespace kxfuzz;

namespace {

constexpr size_t kBuffer = 260;
constexpr char kGuardByte = '\x5A';

// A buffer of `size` bytes holding `fill` over and over (no zero in it), or
// `fill` and its zero when `copy` is set, then L's; guard bytes behind it.
struct Buffer {
    std::string bytes;
    size_t size;
    Buffer(size_t size, const std::string &fill, bool copy = false)
        : bytes(size + 16, kGuardByte), size(size) {
        for (size_t i = 0; i < size; ++i)
            bytes[i] = fill.empty() || copy ? 'L' : fill[i % fill.size()];
        if (copy) std::memcpy(data(), fill.c_str(), fill.size() + 1);
    }
    char *data() { return &bytes[0]; }
    void CheckGuard(const char *what) const { kxfuzz::CheckGuard(bytes, size, kGuardByte, what); }
    // What it holds up to its zero; a result without one fails the check.
    std::string Text(const char *what) const {
        const void *zero = std::memchr(bytes.data(), 0, size);
        Check(zero != nullptr, what, "no zero in the buffer");
        return std::string(bytes.data(), static_cast<const char *>(zero));
    }
};

// One function called with two different leftovers: the results agree, and
// the texts stored when it returns nonzero.
void OneBuffer(const char *what, const std::string &leftover,
               const std::function<int32_t(char *)> &call) {
    Buffer first(kBuffer, leftover), second(kBuffer, leftover + "#other");
    const int32_t a = call(first.data());
    const int32_t b = call(second.data());
    first.CheckGuard(what);
    second.CheckGuard(what);
    Check(a == b, what, "the result depends on the buffer's leftover");
    if (a != 0)
        Check(first.Text(what) == second.Text(what), what,
              "the text depends on the buffer's leftover");
}

// A name changed in place, in a copy of exactly its size: it does not grow.
void InPlace(const char *what, const std::string &name, const std::function<void(char *)> &call) {
    Buffer copy(name.size() + 1, name, true);
    call(copy.data());
    copy.CheckGuard(what);
    Check(copy.Text(what).size() <= name.size(), what, "the name grew");
}

int32_t Measure(void *context, const char *, int32_t length) {
    return length * static_cast<int32_t>(*static_cast<uint8_t *>(context) % 4 + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Input input(data, size);
    const uint8_t mode = input.Byte();
    const uint8_t flags = input.Byte();
    uint8_t width = input.Byte();
    const std::string leftover = input.Text(40);
    const std::string name = input.Text(600);
    const char *n = name.c_str();
    DriveC();

    kxFileValidateFileName(n);
    OneBuffer("kxFileGetFullName", leftover, [&](char *out) { return kxFileGetFullName(n, out); });
    if (name == "\\") {
        Buffer out(kBuffer, leftover);
        Check(kxFileGetFullName(n, out.data()) == 1 && out.Text("root") == "C:\\",
              "a lone backslash is the current root");
    }
    OneBuffer("kxFileMakeLocalName", leftover,
              [&](char *out) { return kxFileMakeLocalName(n, out); });
    OneBuffer("kxFileMakeLocalName2", leftover, [&](char *out) {
        Buffer host(std::max(name.size() + 1, kBuffer), name, true);
        const int32_t result = kxFileMakeLocalName2(host.data(), out, flags & 3);
        host.CheckGuard("kxFileMakeLocalName2's host name");
        return result;
    });
    OneBuffer("kxFileMakeName", leftover, [&](char *out) { return kxFileMakeName(n, out); });
    OneBuffer("kxFileMakeNewName", leftover, [&](char *out) { return kxFileMakeNewName(n, out); });
    OneBuffer("kxFileExtractFileName", leftover,
              [&](char *out) { return kxFileExtractFileName(n, out); });
    OneBuffer("kxFileExtractPath", leftover, [&](char *out) { return kxFileExtractPath(n, out); });
    OneBuffer("kxFileGetDrive's prefix", leftover, [&](char *out) {
        Buffer rewritten(kBuffer, leftover);
        const int32_t length = kxFileGetDrive(n, out, rewritten.data());
        rewritten.CheckGuard("kxFileGetDrive's rewritten name");
        return length;
    });

    InPlace("kxFileNormalizeFilenameCase", name,
            [&](char *p) { kxFileNormalizeFilenameCase(p, mode % 4); });
    InPlace("kxFileUnderscoresToSpaces", name, [&](char *p) { kxFileUnderscoresToSpaces(p); });
    InPlace("kxFileSpacesToUnderscores", name, [&](char *p) { kxFileSpacesToUnderscores(p); });
    InPlace("kxFileTruncateName", name, [&](char *p) {
        KXTEXTWINDOW window{width, (flags & 4) ? Measure : nullptr, &width};
        kxFileTruncateName(p, nullptr, &window, flags & 8);
    });
    if (name.size() < kBuffer) {
        Buffer path(kBuffer, name, true);
        kxFileCorrectDirectoryCase(path.data(), 1, mode % 3);
        path.CheckGuard("kxFileCorrectDirectoryCase");
        path.Text("kxFileCorrectDirectoryCase");
    }
    uint32_t attributes = 0;
    kxFileGetAttributes(n, &attributes);
    kxFileExists(n);
    return 0;
}
