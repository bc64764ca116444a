#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "support/hex_text.h"

namespace kxfuzz {

std::string Input::Bytes(size_t most) {
    size_t n = size_ - at_ < most ? size_ - at_ : most;
    std::string out(reinterpret_cast<const char *>(data_ + at_), n);
    at_ += n;
    return out;
}

void Check(bool condition, const char *what, const std::string &detail) {
    if (condition) return;
    std::fprintf(stderr, "kxfuzz: check failed: %s\n%s\n", what, detail.c_str());
    std::abort();
}

void CheckGuard(const std::string &bytes, size_t from, char guard, const char *what) {
    for (size_t i = from; i < bytes.size(); ++i)
        Check(bytes[i] == guard, what, "wrote behind the buffer");
}

std::string Versus(const std::string &a, const std::string &b) {
    return kxtest::ToHex(a) + "\n-- against --\n" + kxtest::ToHex(b);
}

namespace {

struct TemporaryDrive {
    std::string path;
    TemporaryDrive() {
        char pattern[] = "/tmp/kxfiles-fuzz-XXXXXX";
        Check(::mkdtemp(pattern) != nullptr, "a temporary directory");
        path = pattern;
        Check(kx::os::testing::ConfigureDrives("C:=" + path), "drive C: mapped");
        Check(kx::os::SetCurrentDirectoryA("C:\\") != 0, "C:\\ entered");
    }
    ~TemporaryDrive() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

// The sets a single-byte layer translates between, and the Japanese ones.
constexpr uint16_t kSingleByteSets[] = {5,  6,  7,  8,  14, 15, 16, 19, 21, 26, 30, 31, 32, 39,
                                        42, 43, 44, 46, 47, 48, 50, 63, 66, 74, 81, 82, 0,  999};
constexpr uint16_t kHostSets[] = {52, 53, 54, 55, 56, 57, 58, 60, 69, 73, 77};
constexpr uint16_t kPcDoubleByteSets[] = {51, 59, 61, 62};
constexpr uint16_t kUtf8 = KXCHARSET_UTF8;
constexpr uint32_t kMethods[] = {0, 1, 2, 4, 8, 32, 3, 40};

template <typename T, size_t N>
T Pick(const T (&table)[N], uint8_t byte) {
    return table[byte % N];
}

// A name in a writable 260-byte buffer, as the opening functions take it.
struct Name {
    char text[260] = {};
    explicit Name(const char *name) { std::snprintf(text, sizeof text, "C:\\%s", name); }
};

// Switches the layers on; false (the handle closed) when one is refused.
bool SwitchOn(KXFILE file, const Layers &l) {
    bool ok = (l.text == 0 || kxFileSetTranslation(file, l.text, l.tabWidth) == 0) &&
              ((l.from == 0 && l.to == 0) ||
               kxFileSetCharsetFlags(file, l.from, l.to, l.options, l.variant) == 0) &&
              (l.method == 0 || kxFileSetCompression(file, l.method) == 0);
    if (!ok) kxFileClose(file);
    return ok;
}

}  // namespace

const std::string &DriveC() {
    static TemporaryDrive drive;
    return drive.path;
}

void WriteFile(const std::string &posixPath, const std::string &bytes) {
    std::ofstream out(posixPath, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    Check(out.good(), "file written", posixPath);
}

std::string ReadFile(const std::string &posixPath) {
    std::ifstream in(posixPath, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

Layers TakeLayers(Input &input) {
    Layers layers;
    layers.text = input.Word();
    layers.tabWidth = input.Byte() % 17;
    const uint8_t charset = input.Byte(), high = charset >> 2, kind = charset % 4;
    const bool unicode = kind == 0 && high != 0;
    if (unicode) {
        // UTF-8 from and to a single-byte set, from and to Shift-JIS, to itself.
        const int pick = high % 5;
        const uint16_t other = pick < 2 ? Pick(kSingleByteSets, input.Byte()) : 51;
        layers.from = (pick == 1 || pick == 3) ? other : kUtf8;
        layers.to = (pick == 0 || pick == 2) ? other : kUtf8;
    } else if (kind == 1) {
        layers.from = Pick(kSingleByteSets, high);
        layers.to = Pick(kSingleByteSets, input.Byte());
    } else if (kind == 2) {  // a PC double-byte text to or from a host
        layers.from = Pick(kPcDoubleByteSets, high);
        layers.to = Pick(kHostSets, input.Byte());
    } else if (kind == 3) {
        layers.from = Pick(kHostSets, high);
        layers.to = Pick(kPcDoubleByteSets, input.Byte());
    }
    if (layers.from != 0 || layers.to != 0) {
        layers.options = input.Word() & 0x1FF;
        layers.variant = input.Byte() % 20;
        // The Shift-JIS mapping and the byte-order marks.
        if (unicode) layers.options |= (input.Byte() & 7u) << 16;
    }
    layers.method = Pick(kMethods, input.Byte());
    return layers;
}

std::vector<uint32_t> TakeSizes(Input &input) {
    std::vector<uint32_t> sizes(1 + input.Byte() % 4);
    for (uint32_t &size : sizes) size = 1u + input.Word();
    return sizes;
}

Result ReadThrough(const char *name, const Layers &layers, const std::vector<uint32_t> &sizes) {
    Result result;
    KXFILE file = kxFileOpen(Name(name).text, 0);
    Check(file != nullptr, "the file opens", name);
    if (!SwitchOn(file, layers)) return result;
    result.opened = true;
    std::vector<char> buffer;
    for (size_t i = 0;; ++i) {
        const uint32_t size = sizes[i % sizes.size()];
        buffer.assign(size, '\0');
        uint32_t got = 0;
        if (!kxFileRead(file, buffer.data(), size, &got)) {
            result.error = kxFileErrorVal();
            break;
        }
        Check(got <= size, "a read delivers at most its length");
        result.ok = got == 0;
        if (result.ok) break;
        result.bytes.append(buffer.data(), got);
    }
    result.count = kxFileGetBytesRead(file, 1);
    result.streamRead = kxFileGetBytesRead(file, 0);
    kxFileClose(file);
    return result;
}

Result WriteThrough(const char *name, const Layers &layers, const std::string &data,
                    const std::vector<uint32_t> &sizes) {
    Result result;
    KXFILE file = kxFileCreate(Name(name).text, 1);
    Check(file != nullptr, "the file is created", name);
    if (!SwitchOn(file, layers)) return result;
    result.opened = result.ok = true;
    size_t at = 0;
    for (size_t i = 0; at < data.size(); ++i) {
        uint32_t size = sizes[i % sizes.size()];
        if (size > data.size() - at) size = static_cast<uint32_t>(data.size() - at);
        uint32_t put = 0;
        if (!kxFileWrite(file, data.data() + at, size, &put)) {
            result.ok = false;
            result.error = kxFileErrorVal();
            break;
        }
        // An expander that has seen the end code takes fewer bytes than given;
        // record mode counts what it passes down, not what it takes.
        if (put < size && layers.method != 32) break;
        at += size;
    }
    result.count = kxFileGetBytesWritten(file, 2);
    if (kxFileClose(file) != 1 && result.ok) {
        result.ok = false;
        result.error = kxFileErrorVal();
    }
    result.bytes = ReadFile(DriveC() + "/" + name);
    return result;
}

}  // namespace kxfuzz
