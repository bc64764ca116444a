// A fixture for the character-set layer's tests: a file read or written
// whole through a handle with the layer on (and, when asked, the text layer
// and compression below or above it).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "charset/xlat_testing.h"
#include "kxfiles.h"
#include "support/layer_io.h"
#include "support/portable.h"
#include "support/temp_drives.h"

namespace kxtest {

// The options the tests use most.
constexpr uint32_t kOn = CSF_TRANSLATE;
constexpr uint32_t kFull = CSF_TRANSLATE | CSF_KANA_TO_FULL;
constexpr uint32_t kHalf = CSF_TRANSLATE | CSF_KANA_TO_HALF;

struct Charset {
    uint16_t from, to;
    uint32_t options, variant;
};

// `bytes` through kxFileTranslateBufferExt with room to spare, up to the
// terminator.
inline std::string Translated(const std::string &bytes, const Charset &cs) {
    std::string in = bytes;
    std::vector<uint8_t> out(bytes.size() * 4 + 16, 0xEE);
    EXPECT_EQ(kxFileTranslateBufferExt(reinterpret_cast<uint8_t *>(in.data()),
                                       static_cast<int32_t>(in.size()), out.data(),
                                       static_cast<int32_t>(out.size()), cs.from, cs.to, cs.options,
                                       cs.variant),
              0);
    return reinterpret_cast<const char *>(out.data());
}

// A character below U+10000 in UTF-8.
inline std::string Utf8(uint32_t c) {
    if (c < 0x80) return std::string(1, static_cast<char>(c));
    if (c < 0x800) return {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
    return {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)),
            static_cast<char>(0x80 | (c & 0x3F))};
}

class CharsetFixture : public TempDrives {
protected:
    void SetUp() override {
        TempDrives::SetUp();
        kx::charset::testing::ResetCaches();
        kxtest::UnsetEnv("KXFILES_OEMCP");
        kxtest::UnsetEnv("KXFILES_ACP");
    }
    // C:\in.bin made to hold `*file` and opened for reading, or without a file
    // C:\out.bin created, with the layers on; null after a failed step.
    KXFILE Open(const std::string *file, const Charset &cs, Layers layers = {}) {
        if (file != nullptr) WriteFile(Posix('C', "in.bin"), *file);
        KXFILE f = file ? OpenReading("C:\\in.bin", layers) : CreateWriting("C:\\out.bin", layers);
        if (f != nullptr && kxFileSetCharsetFlags(f, cs.from, cs.to, cs.options, cs.variant) != 0) {
            kxFileClose(f);
            return nullptr;
        }
        return f;
    }
    std::string Read(const std::string &file, const Charset &cs, Layers layers = {},
                     const std::vector<uint32_t> &sizes = {3, 1, 4096}) {
        KXFILE f = Open(&file, cs, layers);
        EXPECT_NE(f, nullptr);
        if (f == nullptr) return "<failed>";
        std::string out;
        EXPECT_TRUE(ReadAll(f, sizes, out));
        kxFileClose(f);
        return out;
    }
    std::string Written(const std::string &data, const Charset &cs, Layers layers = {},
                        const std::vector<uint32_t> &sizes = {1, 2, 4096}) {
        KXFILE f = Open(nullptr, cs, layers);
        EXPECT_NE(f, nullptr);
        if (f == nullptr) return "<failed>";
        EXPECT_TRUE(WriteAll(f, data, sizes));
        EXPECT_EQ(kxFileClose(f), 1);
        return ReadFile(Posix('C', "out.bin"));
    }
};

}  // namespace kxtest
