// The character-set layer: bytes read and written through it alone, over the
// text layer and under compression method 1; the HP national variants' dead
// keys; switching translation off and on; bad arguments. Expected bytes come
// from the map sources: a code becomes the lowest code of the same character.
#include "charset/charset_layer.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "charset/charset_fixture.h"
#include "charset/map_sources.h"
#include "charset/xlat_testing.h"
#include "kxfiles.h"
#include "support/layer_io.h"
#include "support/temp_drives.h"

namespace {

using namespace kxtest;

constexpr uint32_t kReadCrLf = TXT_READ_CRLF_ENDS_RECORD;
constexpr uint32_t kWriteCrLf = TXT_WRITE_RECORD_CRLF;

// The code of `to` that the map sources give the character of `code` in
// `from`, or -1 when `to` lacks it.
int ByMaps(uint16_t from, uint16_t to, uint8_t code) {
    const auto source = MapOf(from), target = MapOf(to);
    for (int c = 0; c < 256; ++c)
        if (target[c] == source[code]) return c;
    return -1;
}

std::string Bytes(std::initializer_list<int> codes) {
    std::string s;
    for (int c : codes) s += static_cast<char>(c);
    return s;
}

using CharsetLayer = CharsetFixture;

TEST_F(CharsetLayer, ReadingAlone) {
    const uint32_t target = kOn | CSF_NATIONAL_TARGET, source = kOn | CSF_NATIONAL_SOURCE;
    // Variant 4 of Latin-1 shows A and O with diaeresis and A with ring at [ \ ].
    const std::string variant4 =
        Bytes({ByMaps(15, 26, 0xC4), ByMaps(15, 26, 0xD6), ByMaps(15, 26, 0xC5), 'x'});
    struct Case {
        const char *label;
        Charset cs;
        std::string file, expected;
    } cases[] = {
        {"Latin-1 to CP437", {15, 31, kOn, 0}, "\xC4", Bytes({ByMaps(15, 31, 0xC4)})},
        {"no CSF_TRANSLATE", {15, 31, CSF_NATIONAL_TARGET, 0}, "\xC4", "\xC4"},
        {"options 0, two sets", {15, 31, 0, 0}, "\xC4\x81", "\xC4\x81"},
        {"a set without a map", {47, 15, kOn, 0}, "\x8E\xC4", "\x8E\xC4"},
        {"no map, OEM to ANSI", {47, 47, kOn | CSF_OEM_TO_ANSI, 0}, "\x8E", Bytes({0xC4})},
        {"Latin-1 variant 4 as the from set", {15, 26, source, 4}, "[\\]x", variant4},
        {"HP variant 5 splits a circumflex", {26, 6, target, 5}, "x\xE2y", "x^ay"},
        {"HP variant 5 splits a diaeresis", {26, 6, target, 5}, "\xEB", "~e"},
        {"HP variant 12 splits an acute", {26, 6, target, 12}, "\xE9", "'e"},
    };
    for (const Case &c : cases) EXPECT_EQ(ToHex(Read(c.file, c.cs)), ToHex(c.expected)) << c.label;
}

TEST_F(CharsetLayer, ReadingOverTheTextLayer) {
    // A record end from below passes untranslated and arrives as 0xFF.
    const std::string file = "ab\x8E\r\ndefghij";
    KXFILE f = Open(&file, {31, 15, kOn, 0}, {kReadCrLf, 8, 0});
    ASSERT_NE(f, nullptr);
    char buffer[10];
    uint32_t got = 0;
    ASSERT_EQ(kxFileRead(f, buffer, 10, &got), 1);
    EXPECT_EQ(ToHex(std::string(buffer, got)),
              ToHex("ab" + Bytes({ByMaps(31, 15, 0x8E), 0xFF}) + "defghi"));
    EXPECT_EQ(kxFileClose(f), 1);
}

TEST_F(CharsetLayer, Writing) {
    const int hatA = ByMaps(6, 26, 0xC0), umlautE = ByMaps(6, 26, 0xCD);
    const int acuteE = ByMaps(6, 26, 0xC5), tilde = ByMaps(6, 26, 0xAB);
    const int accent = ByMaps(6, 26, 0xAA);  // variant 5 shows the Roman-8 circumflex at '^'
    const Charset hp5{6, 26, kOn | CSF_NATIONAL_SOURCE, 5};
    const Charset hp12{6, 26, kOn | CSF_NATIONAL_SOURCE, 12};
    const std::string latin1 = Bytes({ByMaps(31, 15, 0x8E), ByMaps(31, 15, 0x81)});
    const Layers ctrlZ{TXT_CTRLZ_AT_CLOSE};
    struct Case {
        const char *label;
        Charset cs;
        std::string data, expected;
        Layers layers = {};
    };
    const std::vector<Case> cases = {
        {"CP437 to Latin-1", {31, 15, kOn, 0}, "\x8E\x81", latin1},
        {"circumflex then a", hp5, "x^ay", Bytes({'x', hatA, 'y'})},
        {"tilde then e", hp5, "~e", Bytes({umlautE})},
        {"circumflex then x: x alone", hp5, "^x", "x"},
        {"apostrophe then e", hp12, "'e", Bytes({acuteE})},
        {"circumflex twice: the second is a character", hp5, "^^a", Bytes({accent}) + "a"},
        {"over the text layer", hp5, "^e\x1F", Bytes({ByMaps(6, 26, 0xC1)}) + "\x1F", {kWriteCrLf}},
        // The mend: a dead key still waiting at the close is written itself.
        {"a final circumflex", hp5, "ab^", "ab" + Bytes({accent})},
        {"a final tilde", hp12, "~", Bytes({tilde})},
        {"a final circumflex, Ctrl-Z", hp5, "ab^", "ab" + Bytes({accent, 0x1A}), ctrlZ},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ToHex(Written(c.data, c.cs, c.layers)), ToHex(c.expected)) << c.label;
}

TEST_F(CharsetLayer, ARecordEndDropsAPendingDeadKey) {
    KXFILE f = Open(nullptr, {6, 26, kOn | CSF_NATIONAL_SOURCE, 5});
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(kx::CharsetPutValue(f, '^'), '^');
    EXPECT_EQ(kx::CharsetPutValue(f, kx::kValueRecordEnd), kx::kValueRecordEnd);
    EXPECT_EQ(kxFileClose(f), 1);
    EXPECT_EQ(ToHex(ReadFile(Posix('C', "out.bin"))), "ff ");
}

TEST_F(CharsetLayer, SwitchingTranslationOffAndOn) {
    KXFILE f = Open(nullptr, {31, 15, kOn, 0});
    ASSERT_NE(f, nullptr);
    const std::string block(100, '\x8E');
    uint32_t n = 0;
    ASSERT_EQ(kxFileWrite(f, block.data(), 100, &n), 1);
    EXPECT_EQ(kxFileSetCharsetState(f, 0), 0);
    EXPECT_EQ(ReadFile(Posix('C', "out.bin")).size(), 100u);  // flushed at the switch
    ASSERT_EQ(kxFileWrite(f, block.data(), 100, &n), 1);
    EXPECT_EQ(kxFileSetCharsetState(f, 1), 0);
    ASSERT_EQ(kxFileWrite(f, block.data(), 100, &n), 1);
    ASSERT_EQ(kxFileClose(f), 1);
    const std::string translated(100, static_cast<char>(ByMaps(31, 15, 0x8E)));
    EXPECT_TRUE(ReadFile(Posix('C', "out.bin")) == translated + block + translated);

    // A reading handle only changes the flag.
    f = Open(&block, {31, 15, kOn, 0});
    ASSERT_NE(f, nullptr);
    char got[100];
    ASSERT_EQ(kxFileRead(f, got, 40, &n), 1);
    EXPECT_EQ(kxFileSetCharsetState(f, 0), 0);
    ASSERT_EQ(kxFileRead(f, got + 40, 60, &n), 1);
    ASSERT_EQ(n, 60u);
    kxFileClose(f);
    EXPECT_TRUE(std::string(got, 100) == translated.substr(0, 40) + block.substr(40));

    // Without CSF_TRANSLATE there is nothing to switch on.
    f = Open(nullptr, {31, 15, 0, 0});
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(kxFileSetCharsetState(f, 1), 0);
    ASSERT_EQ(kxFileWrite(f, block.data(), 100, &n), 1);
    ASSERT_EQ(kxFileClose(f), 1);
    EXPECT_TRUE(ReadFile(Posix('C', "out.bin")) == block);
}

TEST_F(CharsetLayer, Cp437LinesRoundTripThroughMethod1) {
    // Characters CP437 and Latin-1 share, lines ended by CR LF, runs of spaces.
    std::string file;
    for (int line = 0; line < 300; ++line) {
        file += "Line " + std::to_string(line) + std::string(line % 17, ' ') + "\x8E\x81\x82\xA4";
        file += std::string(line % 5, ' ') + "end\r\n";
    }
    KXFILE in = Open(&file, {31, 15, kOn, 0}, {kReadCrLf, 8, 1});
    ASSERT_NE(in, nullptr);
    std::string packed;
    ASSERT_TRUE(ReadAll(in, {7, 4096, 333}, packed));
    kxFileClose(in);

    // Expanded without the character-set layer, the data is the file in Latin-1.
    std::string latin1;
    for (char c : file)  // CR and LF are controls, kept as they are
        latin1 +=
            c == '\r' || c == '\n' ? c : static_cast<char>(ByMaps(31, 15, static_cast<uint8_t>(c)));
    ASSERT_TRUE(WriteThrough("C:\\latin1.bin", {kWriteCrLf, 8, 1}, packed));
    EXPECT_TRUE(ReadFile(Posix('C', "latin1.bin")) == latin1);

    KXFILE out = Open(nullptr, {15, 31, kOn, 0}, {kWriteCrLf, 8, 1});
    ASSERT_NE(out, nullptr);
    ASSERT_TRUE(WriteAll(out, packed, {5, 4096, 1000}));
    ASSERT_EQ(kxFileClose(out), 1);
    EXPECT_TRUE(ReadFile(Posix('C', "out.bin")) == file);
}

TEST_F(CharsetLayer, BlocksAgreeWithOneValueAtATime) {
    std::mt19937 random(3207);
    std::string bytes(20000, '\0');
    for (char &c : bytes) c = static_cast<char>(random());
    // Text for UTF-8 and Shift-JIS: runs of ASCII, characters of every
    // length (some that CP437 and Shift-JIS lack), stray bytes and pairs.
    std::string text;
    const char *pieces[] = {"plain ASCII text, ", "\xC3\xA9", "\xE2\x94\x80", "\xE6\x97\xA5",
                            "\xF0\x9D\x84\x9E",   "\xE2\x82", "\x80",         "\x88\x9F",
                            "\x82\xA0",           "\xB1",     "\r\n",         "\xEF\xBB\xBF"};
    while (text.size() < 20000) text += pieces[random() % std::size(pieces)];
    const std::pair<Charset, const std::string *> cases[] = {
        {{31, 15, kOn, 0}, &bytes},
        {{31, 15, 0, 0}, &bytes},
        {{26, 31, kOn | CSF_OEM_TO_ANSI, 0}, &bytes},
        {{31, KXCHARSET_UTF8, kOn, 0}, &bytes},
        {{KXCHARSET_UTF8, 31, kOn, 0}, &text},
        {{KXCHARSET_UTF8, 51, kOn, 0}, &text},
        {{51, KXCHARSET_UTF8, kOn, 0}, &text},
        {{KXCHARSET_UTF8, KXCHARSET_UTF8, kOn | CSF_KEEP_BOM, 0}, &text}};
    for (const auto &[cs, pointer] : cases) {
        const std::string &data = *pointer;
        std::string byValue;
        KXFILE f = Open(&data, cs);
        ASSERT_NE(f, nullptr);
        for (uint16_t v; (v = kx::CharsetGetValue(f)) != kx::kValueEnd;)
            byValue += static_cast<char>(v);
        kxFileClose(f);
        EXPECT_TRUE(Read(data, cs) == byValue) << cs.options;

        f = Open(nullptr, cs);
        ASSERT_NE(f, nullptr);
        for (char c : data) ASSERT_GE(kx::CharsetPutValue(f, static_cast<uint8_t>(c)), 0);
        ASSERT_EQ(kxFileClose(f), 1);
        byValue = ReadFile(Posix('C', "out.bin"));
        f = Open(nullptr, cs);
        ASSERT_NE(f, nullptr);
        ASSERT_TRUE(WriteAll(f, data, MixedSizes(random)));
        ASSERT_EQ(kxFileClose(f), 1);
        EXPECT_TRUE(ReadFile(Posix('C', "out.bin")) == byValue) << cs.options;
    }
}

TEST_F(CharsetLayer, BadArguments) {
    EXPECT_EQ(kxFileSetCharsetFlags(nullptr, 31, 15, kOn, 0), 11);
    EXPECT_EQ(kxFileErrorVal(), 11);
    kxFileErrorClear();
    EXPECT_EQ(kxFileSetCharsetState(nullptr, 1), 11);
    EXPECT_EQ(kxFileErrorVal(), 11);
    EXPECT_EQ(kx::BuildCharsetState(31, 15, kOn, 0, nullptr), 9);

    // Unknown sets translate as the identity; variants out of range add no row.
    const std::string some = "#@[\\]^_`{|}~\x8E\xC4";
    for (const Charset &cs :
         {Charset{0, 15, kOn, 0}, Charset{15, 99, kOn, 0}, Charset{65535, 47, kOn, 0},
          Charset{14, 15, kOn | CSF_NATIONAL_TARGET, 0},
          Charset{14, 15, kOn | CSF_NATIONAL_TARGET, 18},
          Charset{14, 15, kOn | CSF_NATIONAL_TARGET, 0xFFFFFFFF}})
        EXPECT_EQ(ToHex(Read(some, cs)), ToHex(some))
            << cs.from << " " << cs.to << " " << cs.variant;
    // While a variant in range does change the same bytes.
    EXPECT_NE(ToHex(Read(some, {14, 15, kOn | CSF_NATIONAL_TARGET, 4})), ToHex(some));
}

}  // namespace
