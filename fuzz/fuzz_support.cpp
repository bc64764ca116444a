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
                                        42, 43, 44, 46, 47, 48, 50, 63, 66, 74, 81, 82, 0, 999};
constexpr uint16_t kHostSets[] = {52, 53, 54, 55, 56, 57, 58, 60, 69, 73, 77};
constexpr uint16_t kPcDoubleByteSets[] = {51, 59, 61, 62};
constexpr uint16_t kUtf8 = KXCHARSET_UTF8;

template <typename T, size_t N>
T Pick(const T (&table)[N], uint8_t byte) {
    return table[byte % N];
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
    const uint8_t charset = input.Byte();
    bool unicode = false;
    switch (charset % 4) {
    case 0:  // none, or with charset >> 2 from 1 up a pair with UTF-8
        if (charset >> 2 == 0) break;
        unicode = true;
        switch ((charset >> 2) % 5) {
        case 0: layers.charset = {kUtf8, Pick(kSingleByteSets, input.Byte()), 0, 0}; break;
        case 1: layers.charset = {Pick(kSingleByteSets, input.Byte()), kUtf8, 0, 0}; break;
        case 2: layers.charset = {kUtf8, 51, 0, 0}; break;
        case 3: layers.charset = {51, kUtf8, 0, 0}; break;
        default: layers.charset = {kUtf8, kUtf8, 0, 0}; break;
        }
        break;
    case 1:
        layers.charset.from = Pick(kSingleByteSets, charset >> 2);
        layers.charset.to = Pick(kSingleByteSets, input.Byte());
        break;
    case 2:  // a PC double-byte text to or from a host
        layers.charset.from = Pick(kPcDoubleByteSets, charset >> 2);
        layers.charset.to = Pick(kHostSets, input.Byte());
        break;
    default:
        layers.charset.from = Pick(kHostSets, charset >> 2);
        layers.charset.to = Pick(kPcDoubleByteSets, input.Byte());
        break;
    }
    if (layers.charset.from != 0 || layers.charset.to != 0) {
        layers.charset.options = input.Word() & 0x1FF;
        layers.charset.variant = input.Byte() % 20;
        // The Shift-JIS mapping and the byte-order marks.
        if (unicode) layers.charset.options |= (input.Byte() & 7u) << 16;
    }
    static constexpr uint32_t kMethods[] = {0, 1, 2, 4, 8, 32, 3, 40};
    layers.method = Pick(kMethods, input.Byte());
    return layers;
}

std::vector<uint32_t> TakeSizes(Input &input) {
    std::vector<uint32_t> sizes(1 + input.Byte() % 4);
    for (uint32_t &size : sizes) size = 1u + input.Word();
    return sizes;
}

bool SwitchOn(KXFILE file, const Layers &layers) {
    if (file == nullptr) return false;
    const Charset &c = layers.charset;
    bool ok = (layers.text == 0 || kxFileSetTranslation(file, layers.text, layers.tabWidth) == 0) &&
              ((c.from == 0 && c.to == 0) ||
               kxFileSetCharsetFlags(file, c.from, c.to, c.options, c.variant) == 0) &&
              (layers.method == 0 || kxFileSetCompression(file, layers.method) == 0);
    if (!ok) kxFileClose(file);
    return ok;
}

namespace {

// A name in a writable 260-byte buffer, as the opening functions take it.
struct Name {
    char text[260];
    explicit Name(const char *name) {
        std::memset(text, 0, sizeof text);
        std::snprintf(text, sizeof text, "C:\\%s", name);
    }
};

}  // namespace

ReadResult ReadThrough(const char *name, const Layers &layers, const std::vector<uint32_t> &sizes) {
    ReadResult result;
    Name n(name);
    KXFILE file = kxFileOpen(n.text, 0);
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
        if (got == 0) {
            result.ok = true;
            break;
        }
        result.bytes.append(buffer.data(), got);
    }
    result.delivered = kxFileGetBytesRead(file, 1);
    result.streamRead = kxFileGetBytesRead(file, 0);
    kxFileClose(file);
    return result;
}

WriteResult WriteThrough(const char *name, const Layers &layers, const std::string &data,
                         const std::vector<uint32_t> &sizes) {
    WriteResult result;
    Name n(name);
    KXFILE file = kxFileCreate(n.text, 1);
    Check(file != nullptr, "the file is created", name);
    if (!SwitchOn(file, layers)) return result;
    result.opened = true;
    result.ok = true;
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
    result.accepted = kxFileGetBytesWritten(file, 2);
    if (kxFileClose(file) != 1 && result.ok) {
        result.ok = false;
        result.error = kxFileErrorVal();
    }
    result.file = ReadFile(DriveC() + "/" + name);
    return result;
}

std::string Hex(const std::string &bytes) { return kxtest::ToHex(bytes); }

}  // namespace kxfuzz
