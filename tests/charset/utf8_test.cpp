// UTF-8 as a set of the character-set layer: ill-formed input one substitute
// per maximal subpart, sequences split across reads, writes and layers
// decoded whole, the byte-order mark, the JIS mapping's six codes, names and
// buffers, and pairs the path refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "charset/charset_fixture.h"
#include "kxfiles.h"

namespace {

using kxtest::Hex;
using kxtest::Layers;
using kxtest::ToHex;

constexpr uint16_t kUtf8 = KXCHARSET_UTF8;
constexpr uint16_t kLatin1 = 15, kCp437 = 31, kShiftJis = 51;
constexpr uint32_t kOn = CSF_TRANSLATE;

std::string Translate(const std::string &bytes, uint16_t from, uint16_t to,
                      uint32_t options = kOn) {
    return kxtest::Translated(bytes, {from, to, options, 0});
}

class Utf8 : public kxtest::CharsetFixture {};

// The Unicode Standard's examples of maximal subparts (section 3.9), read as
// UTF-8 into UTF-8: every ill-formed part is one U+FFFD.
TEST_F(Utf8, MaximalSubpartsBecomeOneSubstituteEach) {
    const std::pair<const char *, std::string> cases[] = {
        // R: U+FFFD
        {"61 F1 80 80 E1 80 C2 62 80 63 80 BF 64", "61 R R R 62 R 63 R R 64"},
        {"C0 AF E0 80 BF F0 81 82 41", "R R R R R R R R 41"},
        {"ED A0 80 ED BF BF ED AF 41", "R R R R R R R R 41"},
        {"F4 91 92 93 FF 41 80 BF 42", "R R R R R 41 R R 42"},
        {"E1 80 E2 F0 91 92 F1 BF 41", "R R R R 41"},
        {"F0 9F 98", "R"},  // cut short by the end of the data
        {"41 E2 82", "41 R"},
        {"F4 90 80 80", "R R R R"},  // above U+10FFFF
        // After a run of ASCII that the block paths copy whole.
        {"41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 51 52 E2 82 41 42 43 44 45 46 47 48 C3",
         "41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 51 52 R 41 42 43 44 45 46 47 48 R"},
        // Four-byte sequences broken at their second, third and fourth byte
        // and cut by the end, each after a run of ASCII.
        {"41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 F0 41 42 43 44 45 46 47 48 49 F0 9F 41 "
         "42 43 44 45 46 47 48 49 F0 9F 98 41 42 43 44 45 46 47 48 49 F0 9F 98",
         "41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 R 41 42 43 44 45 46 47 48 49 R 41 42 43 44 "
         "45 46 47 48 49 R 41 42 43 44 45 46 47 48 49 R"},
    };
    for (const auto &[input, hex] : cases) {
        SCOPED_TRACE(input);
        std::string expected;
        for (char c : hex) expected += c == 'R' ? std::string("EFBFBD") : std::string(1, c);
        const std::string in = Hex(input);
        expected = Hex(expected);
        EXPECT_EQ(ToHex(Translate(in, kUtf8, kUtf8)), ToHex(expected));
        for (uint32_t size : {1u, 2u, 3u, 4096u}) {
            EXPECT_EQ(ToHex(Read(in, {kUtf8, kUtf8, kOn, 0}, {}, {size})), ToHex(expected))
                << "reads of " << size;
            EXPECT_EQ(ToHex(Written(in, {kUtf8, kUtf8, kOn, 0}, {}, {size})), ToHex(expected))
                << "writes of " << size;
        }
        // Into a single-byte set the substitute is its default byte, the space.
        const std::string latin = Translate(in, kUtf8, kLatin1);
        EXPECT_EQ(std::count(latin.begin(), latin.end(), ' '),
                  std::count(hex.begin(), hex.end(), 'R'));
    }
}

// Text of one- to four-byte characters, split at every point by reads and
// writes of 1 to 7 bytes, with and without the layers below and above.
TEST_F(Utf8, SequencesSplitAnywhereDecodeWhole) {
    const std::string text =
        Hex("41 C3 A9 E2 82 AC F0 9D 84 9E 42 E3 81 82 0D 0A C2 A0 E2 94 80 0D 0A");
    // CP437 keeps e-acute and the box line; the no-break space (CP437's
    // 0xFF is a plain space in its map) becomes a space, as between two
    // single-byte sets; the euro sign, the clef and hiragana A become the
    // default space. Shift-JIS writes e-acute as its letter without accent.
    const std::string cp437 = Hex("41 82 20 20 42 20 0D 0A 20 C4 0D 0A");
    const std::string shiftJis = Hex("41 65 20 20 42 82 A0 0D 0A 20 84 9F 0D 0A");
    struct Case {
        uint16_t to;
        Layers layers;
        std::string expected;
    } cases[] = {
        {kUtf8, {}, text},
        {kCp437, {}, cp437},
        {kShiftJis, {}, shiftJis},
        {kCp437, {TXT_READ_CRLF_ENDS_RECORD | TXT_WRITE_RECORD_CRLF, 8, 0}, cp437},
        {kUtf8, {0, 8, 1}, text},
        {kShiftJis, {0, 8, 32}, shiftJis},
    };
    WriteFile(Posix('C', "text.bin"), text);
    for (const Case &c : cases) {
        const uint32_t method = c.layers.method;
        SCOPED_TRACE("to " + std::to_string(c.to) + " text " + std::to_string(c.layers.text) +
                     " method " + std::to_string(method));
        // Read with the text layer, a CR LF is a record end: 0xFF.
        std::string expectedRead;
        for (size_t i = 0; i < c.expected.size(); ++i) {
            const bool lineEnd = c.layers.text != 0 && c.expected.compare(i, 2, "\r\n") == 0;
            expectedRead += lineEnd ? '\xFF' : c.expected[i];
            i += lineEnd;
        }
        // Under compression the reader gets the translated text packed, and
        // the writer takes the text packed and writes it translated.
        const std::string packedText =
            method ? kxtest::ReadThrough("C:\\text.bin", {0, 8, method}) : text;
        for (uint32_t size = 1; size <= 7; ++size) {
            SCOPED_TRACE("pieces of " + std::to_string(size));
            // Record mode takes whole records in a write.
            if (method != 32) {
                EXPECT_EQ(ToHex(Written(packedText, {kUtf8, c.to, kOn, 0}, c.layers, {size})),
                          ToHex(c.expected));
            }
            std::string read = Read(text, {kUtf8, c.to, kOn, 0}, c.layers, {size});
            if (method != 0) {
                ASSERT_TRUE(kxtest::WriteThrough("C:\\plain.bin", {0, 8, method}, read));
                read = ReadFile(Posix('C', "plain.bin"));
            }
            // Framed and unframed again, the text ends its last record.
            EXPECT_EQ(ToHex(read), ToHex(method == 32 ? expectedRead + '\xFF' : expectedRead));
        }
    }
    // Shift-JIS pairs split the same way, back to UTF-8.
    for (uint32_t size = 1; size <= 7; ++size)
        EXPECT_EQ(ToHex(Read(shiftJis, {kShiftJis, kUtf8, kOn, 0}, {}, {size})),
                  ToHex(Hex("41 65 20 20 42 E3 81 82 0D 0A 20 E2 94 80 0D 0A")));
}

TEST_F(Utf8, ByteOrderMark) {
    const std::string marked = Hex("EF BB BF 41 EF BB BF");
    struct Case {
        const char *label;
        uint16_t from, to;
        uint32_t options;
        std::string input, expected;
    } cases[] = {
        {"dropped at the start only", kUtf8, kUtf8, kOn, marked, Hex("41 EF BB BF")},
        {"kept", kUtf8, kUtf8, kOn | CSF_KEEP_BOM, marked, marked},
        {"not written unless asked", kCp437, kUtf8, kOn, "A", "A"},
        {"written when asked", kCp437, kUtf8, kOn | CSF_WRITE_BOM, "A", Hex("EF BB BF 41")},
        {"dropped on the way to Latin-1", kUtf8, kLatin1, kOn, marked, Hex("41 20")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(ToHex(Read(c.input, {c.from, c.to, c.options, 0})), ToHex(c.expected));
        EXPECT_EQ(ToHex(Written(c.input, {c.from, c.to, c.options, 0})), ToHex(c.expected));
        EXPECT_EQ(ToHex(Translate(c.input, c.from, c.to, c.options)), ToHex(c.expected));
    }
}

// The six codes where code page 932 and the JIS mapping differ: read by the
// mode, written from either form in both modes; ASCII in both.
TEST_F(Utf8, JisMappingOfTheSixCodes) {
    const std::string codes = Hex("81 60 81 61 81 7C 81 91 81 92 81 CA 5C 7E");
    const std::string windows = Hex("EF BD 9E E2 88 A5 EF BC 8D EF BF A0 EF BF A1 EF BF A2 5C 7E");
    const std::string jis = Hex("E3 80 9C E2 80 96 E2 88 92 C2 A2 C2 A3 C2 AC 5C 7E");
    EXPECT_EQ(ToHex(Translate(codes, kShiftJis, kUtf8)), ToHex(windows));
    EXPECT_EQ(ToHex(Translate(codes, kShiftJis, kUtf8, kOn | CSF_SJIS_JIS_MAPPING)), ToHex(jis));
    for (uint32_t mode : {0u, static_cast<uint32_t>(CSF_SJIS_JIS_MAPPING)}) {
        EXPECT_EQ(ToHex(Translate(windows, kUtf8, kShiftJis, kOn | mode)), ToHex(codes));
        EXPECT_EQ(ToHex(Translate(jis, kUtf8, kShiftJis, kOn | mode)), ToHex(codes));
    }
}

TEST_F(Utf8, NamesPairsAndOptions) {
    char name[] = "caf\xC3\xA9.txt";
    char result[260];
    ASSERT_EQ(kxFileTranslateFileNameExt(name, result, kUtf8, kCp437, kOn), 0);
    EXPECT_EQ(ToHex(result), ToHex("caf\x82.txt"));
    char back[260];
    ASSERT_EQ(kxFileTranslateFileNameExt(result, back, kCp437, kUtf8, kOn), 0);
    EXPECT_STREQ(back, name);
    // CP437's controls stay controls; its glyphs come back from UTF-8.
    EXPECT_EQ(ToHex(Translate(Hex("09 0D 0A 01 7F"), kCp437, kUtf8)),
              ToHex(Hex("09 0D 0A 01 E2 8C 82")));
    EXPECT_EQ(ToHex(Translate(Hex("E2 98 BA E2 97 99 0A"), kUtf8, kCp437)), ToHex(Hex("01 0A 0A")));
    // A destination too small for a character stores none of its bytes.
    uint8_t in[] = {0x41, 0xC3, 0xA9};
    uint8_t out[3] = {0xEE, 0xEE, 0xEE};
    ASSERT_EQ(kxFileTranslateBufferExt(in, 3, out, 3, kLatin1, kUtf8, kOn, 0), 0);
    in[1] = 0xE9;
    ASSERT_EQ(kxFileTranslateBufferExt(in, 2, out, 3, kLatin1, kUtf8, kOn, 0), 0);
    EXPECT_EQ(ToHex(std::string(reinterpret_cast<char *>(out), 3)), ToHex(Hex("41 00 EE")));
    // Without CSF_TRANSLATE the bytes pass; a host double-byte set is refused.
    EXPECT_EQ(Read("\xC3\xA9", {kUtf8, kLatin1, 0, 0}), "\xC3\xA9");
    std::string file;
    KXFILE f = Open(&file, {kUtf8, kLatin1, kOn, 0});
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(kxFileSetCharsetFlags(f, kUtf8, 57, kOn, 0), 9);
    EXPECT_EQ(kxFileSetCharsetFlags(f, 53, kUtf8, kOn, 0), 9);
    kxFileClose(f);
    uint8_t refused[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(kxFileTranslateBufferExt(in, 2, refused, 4, kUtf8, 57, kOn, 0), 9);
    EXPECT_EQ(refused[0], 0);
}

// What the writer still holds when the file closes or moves: a sequence
// begun is one substitute, written where it stood.
TEST_F(Utf8, BegunSequenceAtCloseAndReposition) {
    EXPECT_EQ(ToHex(Written(Hex("41 E2 82"), {kUtf8, kLatin1, kOn, 0})), ToHex(Hex("41 20")));
    EXPECT_EQ(ToHex(Written(Hex("41 82"), {kShiftJis, kUtf8, kOn, 0})), ToHex(Hex("41 EF BF BD")));
    KXFILE f = Open(nullptr, {kUtf8, kUtf8, kOn, 0});
    ASSERT_NE(f, nullptr);
    uint32_t count = 0;
    ASSERT_TRUE(kxFileWrite(f, "\xE2\x82", 2, &count));
    int32_t position = 0;
    ASSERT_EQ(kxFileSetPos(f, 2, &position), 0);  // to the end: the layer starts afresh
    ASSERT_TRUE(kxFileWrite(f, "\xAC", 1, &count));
    ASSERT_EQ(kxFileClose(f), 1);
    EXPECT_EQ(ToHex(ReadFile(Posix('C', "out.bin"))), ToHex(Hex("EF BF BD EF BF BD")));
}

}  // namespace
