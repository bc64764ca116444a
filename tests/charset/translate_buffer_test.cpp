// Buffers and file names translated without a file: the byte table path, the
// layered path in memory, destinations too small, the escaped form of
// Shift-JIS names; and the detection of a Japanese encoding.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "charset/charset_fixture.h"
#include "charset/charset_layer.h"
#include "kxfiles.h"

namespace {

using kxtest::Hex;
using kxtest::ToHex;

constexpr uint8_t kGuard = 0xEE;

struct Result {
    int32_t code;
    std::string bytes;  // the whole destination, terminator and guard included
};

// `source` (hex) through kxFileTranslateBufferExt into a destination of
// `size` bytes followed by guard bytes; a length of -1 gives the source
// zero-terminated.
Result Translate(const std::string &source, int32_t length, int32_t size, uint16_t from,
                 uint16_t to, uint32_t options, uint32_t variant) {
    std::string in = Hex(source);
    in += '\0';
    std::vector<uint8_t> out(static_cast<size_t>(size) + 4, kGuard);
    int32_t code =
        kxFileTranslateBufferExt(reinterpret_cast<uint8_t *>(in.data()), length < 0 ? -1 : length,
                                 out.data(), size, from, to, options, variant);
    return {code, std::string(out.begin(), out.end())};
}

// The expected destination: the bytes, then guards up to size + 4.
std::string Expected(const std::string &hex, int32_t size) {
    std::string bytes = Hex(hex);
    bytes.resize(static_cast<size_t>(size) + 4, static_cast<char>(kGuard));
    return bytes;
}

class TranslateBuffer : public kxtest::CharsetFixture {};

TEST_F(TranslateBuffer, DirectAndLayeredPaths) {
    constexpr uint32_t kOn = CSF_TRANSLATE;
    struct Case {
        const char *label;
        const char *source;
        int32_t length, size;
        uint16_t from, to;
        uint32_t options;
        const char *expected;
        uint32_t variant = 0;
    } cases[] = {
        {"table, zero-terminated source", "C4 62", -1, 8, 15, 31, kOn, "8E 62 00"},
        {"table, room for one byte", "C4 62", -1, 2, 15, 31, kOn, "8E 00"},
        {"table, room for the terminator only", "C4 62", -1, 1, 15, 31, kOn, "00"},
        {"table, no room at all", "C4 62", -1, 0, 15, 31, kOn, ""},
        {"table without CSF_TRANSLATE copies", "C4 62", 2, 8, 15, 31, 0, "C4 62 00"},
        {"a NUL inside a counted source", "41 00 42", 3, 8, 15, 31, kOn, "41 00 42 00"},
        {"national target: German row", "E4 41", -1, 8, 26, 5, kOn | CSF_NATIONAL_TARGET,
         "7B 41 00", 9},
        {"read side cut before a whole sequence", "41 889F", -1, 6, 51, 53, kOn, "41 00"},
        {"read side: the sequence and its pair fit", "41 889F", -1, 7, 51, 53, kOn,
         "41 1B2442 3021 00"},
        {"read side: no room for the shift-out", "889F 41", -1, 8, 51, 53, kOn, "1B2442 3021 00"},
        {"read side, size 1", "889F", -1, 1, 51, 53, kOn, "00"},
        {"write side cut by the size", "B0A1 B0A1", -1, 4, 57, 51, kOn, "889F 00"},
        {"write side, size 1", "B0A1", -1, 1, 57, 51, kOn, "00"},
        {"detection in memory", "1B2442 3021", -1, 8, 57, 51, kOn | CSF_DETECT_JAPANESE, "889F 00"},
    };
    for (const auto &c : cases) {
        Result r = Translate(c.source, c.length, c.size, c.from, c.to, c.options, c.variant);
        EXPECT_EQ(r.code, 0) << c.label;
        EXPECT_EQ(ToHex(r.bytes), ToHex(Expected(c.expected, c.size))) << c.label;
    }
}

// A dead key at the end of the source comes out as a file's close writes it;
// with no room left for it, it is left out like any byte that does not fit.
TEST_F(TranslateBuffer, AFinalDeadKeyIsWrittenAsInAFile) {
    const kxtest::Charset hp5{6, 26, CSF_TRANSLATE | CSF_NATIONAL_SOURCE, 5};
    const std::string file = Written("a^", hp5);
    ASSERT_EQ(file.size(), 2u);
    Result r = Translate("61 5E", -1, 8, hp5.from, hp5.to, hp5.options, hp5.variant);
    EXPECT_EQ(ToHex(r.bytes.substr(0, 3)), ToHex(file + '\0'));
    r = Translate("61 5E", -1, 2, hp5.from, hp5.to, hp5.options, hp5.variant);
    EXPECT_EQ(ToHex(r.bytes.substr(0, 2)), ToHex(file.substr(0, 1) + '\0'));
}

TEST_F(TranslateBuffer, OemToAnsiConvertsTheCallersSource) {
    uint8_t source[] = {0x8E, 0x41, 0};  // CP437: A with diaeresis, A
    uint8_t out[4] = {};
    ASSERT_EQ(kxFileTranslateBufferExt(source, -1, out, 4, 26, 26, CSF_OEM_TO_ANSI, 0), 0);
    EXPECT_EQ(source[0], 0xC4);  // CP1252's A with diaeresis
    EXPECT_EQ(out[0], 0xC4);
    EXPECT_EQ(out[1], 0x41);
}

TEST_F(TranslateBuffer, NullPointers) {
    uint8_t some[4] = {0x41, 0};
    kxFileErrorClear();
    EXPECT_EQ(kxFileTranslateBufferExt(nullptr, -1, some, 4, 15, 31, CSF_TRANSLATE, 0), 16);
    EXPECT_EQ(kxFileErrorVal(), 16);
    EXPECT_EQ(kxFileTranslateBufferExt(some, -1, nullptr, 4, 51, 53, CSF_TRANSLATE, 0), 16);
    char name[8] = "A";
    EXPECT_EQ(kxFileTranslateFileNameExt(nullptr, name, 51, 15, 0), 16);
    EXPECT_EQ(kxFileTranslateFileNameExt(name, nullptr, 51, 15, 0), 16);
}

// `name` (hex) through kxFileTranslateFileNameExt; the result buffer of 260
// bytes is followed by guard bytes, which must stay.
std::string Name(const std::string &hex, uint32_t from, uint16_t to, uint32_t options) {
    std::string in = Hex(hex);
    std::vector<char> name(in.begin(), in.end());
    name.push_back('\0');
    std::vector<char> result(264, static_cast<char>(kGuard));
    EXPECT_EQ(kxFileTranslateFileNameExt(name.data(), result.data(), from, to, options), 0);
    for (size_t i = 260; i < result.size(); ++i)
        EXPECT_EQ(result[i], static_cast<char>(kGuard)) << hex;
    size_t end = std::find(result.begin(), result.begin() + 260, '\0') - result.begin();
    EXPECT_LT(end, 260u) << "not terminated";
    return std::string(result.begin(), result.begin() + static_cast<std::ptrdiff_t>(end));
}

TEST_F(TranslateBuffer, FileNames) {
    struct Case {
        const char *label;
        const char *name;
        uint32_t from;
        uint16_t to;
        uint32_t options;
        std::string expected;
    } cases[] = {
        {"escaped Shift-JIS", "8ABF 2E545854", 51, 15, CSF_ESCAPE_NAME, "__8A__BF.TXT"},
        {"the to set plays no part", "8ABF", 51, 0, CSF_ESCAPE_NAME | CSF_TRANSLATE, "__8A__BF"},
        {"without the option the top bit goes", "8ABF 2E545854", 51, 15, 0, Hex("0A3F 2E545854")},
        {"back to Shift-JIS", "5F5F3841 5F5F4246 2E545854", 15, 51, 0, Hex("8ABF 2E545854")},
        {"lower-case digits", "5F5F3861", 15, 51, 0, Hex("8A")},
        {"an escape cut short", "41 5F5F34", 15, 51, 0, "A__4"},
        {"a non-digit", "5F5F4731", 15, 51, 0, "__G1"},
        {"one underscore", "5F 4142", 15, 51, 0, "_AB"},
        {"the from set's high word is ignored", "8A", 0x10033, 15, CSF_ESCAPE_NAME, "__8A"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(ToHex(Name(c.name, c.from, c.to, c.options)), ToHex(c.expected)) << c.label;
}

TEST_F(TranslateBuffer, ALongEscapedNameIsCutAfterAWholeCharacter) {
    std::string kanji;
    for (int i = 0; i < 40; ++i) kanji += "889F";
    // 8 characters a kanji: 32 of them fit 259 after the letter.
    std::string got = Name("41" + kanji, 51, 15, CSF_ESCAPE_NAME);
    EXPECT_EQ(got.size(), 1u + 32 * 8);
    EXPECT_EQ(got.substr(got.size() - 8), "__88__9F");
    // A kanji whose second byte needs no escape is 5 characters.
    std::string mixed = "4142";
    for (int i = 0; i < 60; ++i) mixed += "8940";
    got = Name(mixed, 51, 15, CSF_ESCAPE_NAME);
    EXPECT_EQ(got.size(), 2u + 51 * 5);
    EXPECT_EQ(got.substr(got.size() - 5), "__89@");
    // The name read back is the name cut at a character.
    EXPECT_EQ(ToHex(Name(ToHex(got), 15, 51, 0)), ToHex(Hex(mixed).substr(0, 2 + 51 * 2)));
    // Names longer than the result from other sets, and through the table,
    // are cut at 259 bytes.
    std::string plain, accents;
    for (int i = 0; i < 300; ++i) {
        plain += "41";
        accents += "C4E9";
    }
    EXPECT_EQ(Name(plain, 15, 51, 0).size(), 259u);
    EXPECT_EQ(Name(plain, 51, 15, 0).size(), 259u);
    EXPECT_EQ(ToHex(Name(accents, 26, 31, CSF_TRANSLATE)),
              ToHex(kxtest::Translated(Hex(accents), {26, 31, CSF_TRANSLATE, 0}).substr(0, 259)));
}

TEST(DetectJapanese, ByTheBytesOnlyOneEncodingWrites) {
    struct Case {
        const char *label;
        const char *bytes;
        uint16_t expected;
    } cases[] = {
        {"ESC $ B", "41 1B2442 3021", 52},
        {"ESC $ (", "1B2428 44", 52},
        {"ESC $ @", "1B2440", 54},
        {"ESC K", "1B4B", 73},
        {"ESC }", "1B7D B1", 55},
        {"ESC pipe", "1B7C", 55},
        {"ESC and nothing", "41 1B", 0},
        {"ESC $ and nothing", "1B24", 0},
        {"plain ASCII", "414243", 0},
        {"a Shift-JIS first byte", "41 82A0", 51},
        {"EUC pair with a high first byte", "F0A1 41", 57},
        {"EUC: a high byte then 7 bits", "F0 41", 55},
        {"katakana before ASCII", "B1 41", 0},
        {"katakana-like pairs alone", "B0A1 B1B2", 0},
        {"katakana then a control", "B1 0D", 51},
        {"single shift before a Shift-JIS trail", "8E 40", 51},
        {"single shift before 0x80-0xA0", "8F 9F", 51},
        {"single shift, undecided, then EUC", "8E B1 F1A1", 57},
        {"single shift, undecided, then Shift-JIS", "8E B1 B1 41", 51},
        {"single shift, undecided at the end", "8E B1", 0},
        {"single shift at the end", "41 8E", 0},
        {"single shift after EUC evidence", "F0A1 8E B1", 57},
        {"0xE0-0xEF then 0x40-0x7E, then EUC", "E0 40 F0A1", 55},
        {"0xE0-0xEF then 0x80-0xA0", "E0 80", 51},
        {"a run decided by a Shift-JIS byte", "B1 E0 41 42 88", 51},
    };
    for (const auto &c : cases) {
        std::string bytes = Hex(c.bytes);
        EXPECT_EQ(kx::DetectJapaneseEncoding(reinterpret_cast<const uint8_t *>(bytes.data()),
                                             static_cast<uint32_t>(bytes.size())),
                  c.expected)
            << c.label;
    }
    EXPECT_EQ(kx::DetectJapaneseEncoding(nullptr, 4), 0);
}

}  // namespace
