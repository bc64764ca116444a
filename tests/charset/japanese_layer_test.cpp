// Japanese text through the character-set layer: Shift-JIS files read for JIS,
// EUC and locking-shift hosts, host data written to Shift-JIS files, the
// katakana options and detection. Each case is run through a stream and
// through kxFileTranslateBufferExt, which must agree.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "charset/charset_fixture.h"
#include "charset/charset_layer.h"
#include "core/block_paths.h"
#include "core/stream.h"
#include "kxfiles.h"
#include "platform/platform.h"

namespace {

using namespace kxtest;

struct Case {
    const char *label;
    Charset cs;
    const char *input, *expected;  // hex
    bool inMemory = true;          // false when the bytes hold a NUL
};

class JapaneseLayer : public kxtest::CharsetFixture {
protected:
    void CheckReading(const std::vector<Case> &cases) {
        for (const Case &c : cases) {
            EXPECT_EQ(ToHex(Read(Hex(c.input), c.cs)), ToHex(Hex(c.expected))) << c.label;
            if (c.inMemory) {
                EXPECT_EQ(ToHex(Translated(Hex(c.input), c.cs)), ToHex(Hex(c.expected))) << c.label;
            }
        }
    }
    void CheckWriting(const std::vector<Case> &cases) {
        for (const Case &c : cases) {
            EXPECT_EQ(ToHex(Written(Hex(c.input), c.cs)), ToHex(Hex(c.expected))) << c.label;
            if (c.inMemory) {
                EXPECT_EQ(ToHex(Translated(Hex(c.input), c.cs)), ToHex(Hex(c.expected))) << c.label;
            }
        }
    }
};

TEST_F(JapaneseLayer, ReadingShiftJisForTheHosts) {
    CheckReading({
        {"kanji between letters, set 53", {51, 53, kOn, 0}, "41 889F 42", "41 1B2442 3021 1B284A 42"},
        {"kanji at the end: shifted out", {51, 53, kOn, 0}, "889F", "1B2442 3021 1B284A"},
        {"a run of kanji is shifted once", {51, 53, kOn, 0}, "889F 889F", "1B2442 3021 3021 1B284A"},
        {"set 52's double designation", {51, 52, kOn, 0}, "889F", "1B2440 1B2442 3021 1B284A"},
        {"set 54's old designation and ordering", {51, 54, kOn, 0}, "88B1", "1B2440 724D 1B284A"},
        {"half-width katakana, set 53", {51, 53, kOn, 0}, "B1", "1B2849 31 1B284A"},
        {"katakana then kanji", {51, 53, kOn, 0}, "B1 889F 41", "1B2849 31 1B2442 3021 1B284A 41"},
        {"EUC katakana single shift each time", {51, 57, kOn, 0}, "B1 B1 41 B1", "8EB1 8EB1 41 8EB1"},
        {"locking shifts, set 55", {51, 55, kOn, 0}, "B1 889F 41 B1 41", "1B7D B1 1B7C B0A1 41 1B7D B1 1B7C 41"},
        {"set 73 kanji", {51, 73, kOn, 0}, "41 889F 42", "41 1B4B 3021 1B48 42"},
        {"set 73 katakana is a space", {51, 73, kOn, 0}, "B1", "20"},
        {"set 73 katakana after a kanji: shifted out first", {51, 73, kOn, 0}, "889F B1", "1B4B 3021 1B48 20"},
        {"JIS X 0212 after its designation", {51, 53, kOn, 0}, "FA55 FA55 41", "1B242844 2243 2243 1B284A 41"},
        {"JIS X 0212 then kanji", {51, 53, kOn, 0}, "FA55 889F", "1B242844 2243 1B2442 3021 1B284A"},
        {"EUC JIS X 0212 after 0x8F", {51, 57, kOn, 0}, "FA55", "8F A2C3"},
        {"user-defined row without JIS X 0212", {51, 53, kOn, 0}, "889F F540 41", "1B2442 3021 1B284A 20 41"},
        {"IBM code without a JIS X 0212 entry, EUC", {51, 57, kOn, 0}, "FA54 41", "20 41"},
        {"a 7-bit host without JIS X 0212 gets no 8-bit bytes", {51, 54, kOn, 0}, "889F F040 FA55", "1B2440 3021 1B284A 20 20"},
        {"the same for set 73", {51, 73, kOn, 0}, "F040 41", "20 41"},
        {"IBM code with a JIS X 0208 equivalent, set 54", {51, 54, kOn, 0}, "FA4A", "1B2440 2D35 1B284A"},
        {"without CSF_TRANSLATE bytes pass", {51, 53, 0, 0}, "889F B1", "889F B1"},
        {"RFC 1468 return to ASCII", {51, 53, kOn | CSF_JIS_ASCII_RETURN, 0}, "41 889F 5C", "41 1B2442 3021 1B2842 5C"},
        {"the same after katakana, set 52", {51, 52, kOn | CSF_JIS_ASCII_RETURN, 0}, "B1", "1B2849 31 1B2842"},
        {"the flag leaves EUC alone", {51, 57, kOn | CSF_JIS_ASCII_RETURN, 0}, "889F", "B0A1"},
    });
}

TEST_F(JapaneseLayer, ReadingKatakanaAsFullWidth) {
    CheckReading({
        {"voiced GA", {51, 53, kFull, 0}, "B6 DE", "1B2442 252C 1B284A"},
        {"semi-voiced PA", {51, 53, kFull, 0}, "CA DF", "1B2442 2551 1B284A"},
        {"voiced VU from U", {51, 53, kFull, 0}, "B3 DE", "1B2442 2574 1B284A"},
        {"a mark that joins nothing is a sign of its own", {51, 53, kFull, 0}, "B1 DE", "1B2442 2522 212B 1B284A"},
        {"semi-voiced mark after KA stays apart", {51, 53, kFull, 0}, "B6 DF", "1B2442 252B 212C 1B284A"},
        {"the look-ahead is read again", {51, 53, kFull, 0}, "B1 41", "1B2442 2522 1B284A 41"},
        {"look-ahead is a first byte", {51, 53, kFull, 0}, "B1 889F", "1B2442 2522 3021 1B284A"},
        {"Shift-JIS", {51, 51, kFull, 0}, "B6 DE B1", "834B 8341"},
        {"a NUL as look-ahead is kept", {51, 53, kFull, 0}, "B1 00 41", "1B2442 2522 1B284A 00 41", false},
    });
}

TEST_F(JapaneseLayer, StrayFirstBytesLoseNothing) {
    CheckReading({
        {"before a line end", {51, 53, kOn, 0}, "88 0D 0A", "20 0D 0A"},
        {"before a space", {51, 53, kOn, 0}, "88 20 41", "20 20 41"},
        {"before a digit", {51, 57, kOn, 0}, "88 31", "20 31"},
        {"before 0x7F", {51, 53, kOn, 0}, "88 7F", "20 7F"},
        {"a pair outside every row", {51, 53, kOn, 0}, "FCFC 889F", "20 1B2442 3021 1B284A"},
        {"shifted: out before the space", {51, 53, kOn, 0}, "889F 88 0D", "1B2442 3021 1B284A 20 0D"},
        {"at the end", {51, 53, kOn, 0}, "41 88", "41 20"},
        {"at the end, shifted", {51, 53, kOn, 0}, "889F 88", "1B2442 3021 1B284A 20"},
        {"before a NUL", {51, 53, kOn, 0}, "88 00 41", "20 00 41", false},
        {"a NUL after a kanji", {51, 53, kOn, 0}, "889F 00 41", "1B2442 3021 1B284A 00 41", false},
        {"a NUL after katakana", {51, 57, kOn, 0}, "B1 00", "8EB1 00", false},
    });
}

TEST_F(JapaneseLayer, RecordEndsComeThroughTheTextLayer) {
    const kxtest::Layers crlf{TXT_READ_CRLF_ENDS_RECORD, 8, 0};
    struct LineCase {
        const char *label;
        Charset cs;
        const char *input, *expected;
    } cases[] = {
        // The look-ahead of the katakana is the record end: taken back, it
        // still comes as a record end (0xFF in the buffer).
        {"line end after katakana", {51, 53, kFull, 0}, "B1 0D0A 41", "1B2442 2522 1B284A FF 41"},
        {"line end after katakana, EUC", {51, 57, kFull, 0}, "B1 0D0A", "A5A2 FF"},
        {"line end after a first byte", {51, 53, kOn, 0}, "889F 88 0D0A 41", "1B2442 3021 1B284A 20 FF 41"},
        {"line end after kanji", {51, 53, kOn, 0}, "889F 0D0A", "1B2442 3021 1B284A FF"},
    };
    for (const LineCase &c : cases)
        EXPECT_EQ(ToHex(Read(Hex(c.input), c.cs, crlf)), ToHex(Hex(c.expected))) << c.label;
}

TEST_F(JapaneseLayer, AnErrorTakingTheSecondByteFailsTheRead) {
    // A record over a stream that cannot read: the first byte of a pair is in
    // its buffer, the second must come from the file.
    auto *stream = new kx::BufferedStream{};
    stream->buffer[0] = 0x88;
    stream->cursor = stream->buffer;
    stream->count = 1;
    stream->mode = kx::kModeWriting;
    for (uint8_t first : {uint8_t{0x88}, uint8_t{0xB1}}) {
        kx::CharsetState *record = nullptr;
        ASSERT_EQ(kx::BuildCharsetState(51, 53, kFull, 0, &record), 0);
        KxFileHandle handle{};
        handle.flags = kx::kLayerCharset;
        handle.stream = stream;
        handle.charset = record;
        stream->buffer[0] = first;
        stream->cursor = stream->buffer;
        stream->count = 1;
        EXPECT_EQ(kx::CharsetGetValue(&handle), kx::kValueError) << int(first);
        kx::os::LocalFree(record);
    }
    delete stream;
}

TEST_F(JapaneseLayer, WritingHostDataToShiftJis) {
    CheckWriting({
        {"JIS kanji", {53, 51, kOn, 0}, "41 1B2442 3021 1B284A 42", "41 889F 42"},
        {"ESC ( B returns to single bytes", {53, 51, kOn, 0}, "1B2442 3021 1B2842 4142", "889F 4142"},
        {"old designation and ordering", {54, 51, kOn, 0}, "1B2440 724D 1B284A", "88B1"},
        {"JIS X 0212", {53, 51, kOn, 0}, "1B242844 2243 1B284A", "FA55"},
        {"an unknown sequence passes", {53, 51, kOn, 0}, "1B2441 3021", "1B2441 3021"},
        {"ESC ( followed by an unknown byte", {53, 51, kOn, 0}, "1B2858 41", "1B2858 41"},
        {"EUC katakana", {57, 51, kOn, 0}, "8EB1 41", "B1 41"},
        {"EUC JIS X 0212", {57, 51, kOn, 0}, "8FA2C3 41", "FA55 41"},
        {"a control after 0x8F is no half of a character", {57, 51, kOn, 0}, "8F0203", "20 0203", false},
        {"nor after its first byte", {57, 51, kOn, 0}, "41 8FA202", "41 20 02", false},
        {"a line end cuts a JIS first byte short", {53, 51, kOn, 0}, "1B2442 30 0A 3021", "20 0A 889F"},
        {"an EUC first byte before a line end", {57, 51, kOn, 0}, "B0 0D0A A4A2", "20 0D0A 82A0"},
        {"ESC after a first byte begins a sequence", {53, 51, kOn, 0}, "1B2442 30 1B2842 41", "20 41"},
        {"locking shifts", {55, 51, kOn, 0}, "1B7D B1 B2 1B7C B0A1", "B1 B2 889F"},
        {"set 73 kanji", {73, 51, kOn, 0}, "1B4B 3021 1B48 41", "889F 41"},
        {"a sequence begun at the end is not written", {53, 51, kOn, 0}, "41 1B24", "41"},
        {"a first byte at the end is not written", {53, 51, kOn, 0}, "1B2442 30", ""},
        {"katakana to half width", {53, 51, kHalf, 0}, "1B2442 252C 2522 2123 2551 2574 3021 1B284A",
         "B6DE B1 A1 CADF B3DE 889F"},
        {"EUC katakana to half width", {57, 51, kHalf, 0}, "A5AC A5A2", "B6DE B1"},
        {"without the option full width stays", {57, 51, kOn, 0}, "A5AC", "834B"},
    });
}

TEST_F(JapaneseLayer, ARecordEndPassesTheWriteSide) {
    KXFILE f = Open(nullptr, {53, 51, kOn, 0}, {0, 8, 0});
    ASSERT_NE(f, nullptr);
    // A record end reaches the stream as 0xFF, between two pairs.
    kx::CharsetState &s = *f->charset;
    // A first byte cut short by a record end becomes a space before it.
    for (uint16_t v : {0x1B, 0x24, 0x42, 0x30, 0x21, 0x1FF, 0x30, 0x21, 0x30, 0x1FF})
        ASSERT_GE(kx::CharsetPutValue(f, v), 0);
    EXPECT_EQ(s.lowerSet, 52);
    ASSERT_EQ(kxFileClose(f), 1);
    EXPECT_EQ(ToHex(ReadFile(Posix('C', "out.bin"))), ToHex(Hex("889F FF 889F 20 FF")));
}

TEST_F(JapaneseLayer, DetectionSetsTheFromSetOnce) {
    const uint32_t detect = kOn | CSF_DETECT_JAPANESE;
    struct Blocks {
        const char *label;
        std::vector<const char *> blocks;
        const char *expected;
    } cases[] = {
        {"JIS escapes", {"1B2442 3021 1B2842"}, "889F"},
        {"Shift-JIS passes", {"41 82A0 B1"}, "41 82A0 B1"},
        {"ASCII leaves the EUC from set", {"41 42", "B0A1"}, "41 42 889F"},
        {"only the first block decides", {"41", "1B2442 3021"}, "41 1B2442 3021"},
    };
    for (const Blocks &c : cases) {
        KXFILE f = Open(nullptr, {57, 51, detect, 0});
        ASSERT_NE(f, nullptr);
        for (const char *block : c.blocks) {
            std::string bytes = Hex(block);
            uint32_t put = 0;
            EXPECT_EQ(kxFileWrite(f, bytes.data(), static_cast<uint32_t>(bytes.size()), &put), 1);
        }
        ASSERT_EQ(kxFileClose(f), 1);
        EXPECT_EQ(ToHex(ReadFile(Posix('C', "out.bin"))), ToHex(Hex(c.expected))) << c.label;
    }
}

TEST_F(JapaneseLayer, KatakanaWidenAndNarrowBackForEveryByte) {
    // Each half-width katakana, and each with either mark, read as full width
    // for a JIS host and written back narrowed: the same bytes.
    std::string all;
    for (int k = 0xA1; k <= 0xDF; ++k) {
        all += static_cast<char>(k);
        all += static_cast<char>(k);
        all += '\xDE';
        all += static_cast<char>(k);
        all += '\xDF';
        all += 'x';
    }
    std::string jis = Read(all, {51, 53, kFull, 0});
    EXPECT_EQ(jis.find('\xDE'), std::string::npos);
    EXPECT_EQ(ToHex(Written(jis, {53, 51, kHalf, 0})), ToHex(all));
}

}  // namespace

namespace {

// Runs `convert` with the block paths off and on: the bytes must be the same.
template <typename Convert>
void ExpectBlocksAsValues(const std::string &label, Convert convert) {
    kx::testing::SetBlockPaths(false);
    const std::string valueByValue = convert();
    kx::testing::SetBlockPaths(true);
    const std::string inBlocks = convert();
    const size_t at = std::mismatch(inBlocks.begin(), inBlocks.end(), valueByValue.begin(), valueByValue.end()).first -
                      inBlocks.begin();
    EXPECT_EQ(inBlocks.size(), valueByValue.size()) << label;
    EXPECT_EQ(ToHex(inBlocks.substr(at, 12)), ToHex(valueByValue.substr(at, 12)))
        << label << ", first difference at " << at;
}

}  // namespace

// Shift-JIS read for a host in runs straight from the stream's buffer gives
// the bytes of the value-at-a-time path: text of ASCII, kanji, IBM extension
// codes (JIS X 0212 for some hosts), katakana, line ends and stray bytes,
// larger than the stream's buffer so that pairs straddle its end, read in
// blocks of several sizes.
TEST_F(JapaneseLayer, BlockReadsGiveTheValuePathsBytes) {
    std::mt19937 random(1206);
    std::uniform_int_distribution<int> kind(0, 9), lead(0x88, 0x9F), trail(0x40, 0xFC), ibm(0xFA, 0xFC),
        kana(0xA1, 0xDF), ascii(0x20, 0x7E), any(0, 255);
    std::string text;
    while (text.size() < 70000) {
        switch (kind(random)) {
        case 0: case 1: case 2: text += static_cast<char>(ascii(random)); break;
        case 3: case 4: case 5: text += static_cast<char>(lead(random)), text += static_cast<char>(trail(random)); break;
        case 6: text += static_cast<char>(ibm(random)), text += static_cast<char>(trail(random)); break;
        case 7: text += static_cast<char>(kana(random)); break;
        case 8: text += "\r\n"; break;
        default: text += static_cast<char>(any(random)); break;
        }
    }
    for (uint16_t to : {52, 53, 54, 55, 56, 57, 73})
        for (uint32_t options : {kOn, kFull}) {
            const Charset cs{51, to, options, 0};
            for (const std::vector<uint32_t> &sizes : std::vector<std::vector<uint32_t>>{{1}, {3, 4096}, {65536}}) {
                ExpectBlocksAsValues("to " + std::to_string(to) + " options " + std::to_string(options),
                                     [&] { return Read(text, cs, {}, sizes); });
            }
        }
}

// A host's text written as Shift-JIS in runs straight into the stream's
// buffer gives the bytes of the value-at-a-time path: ASCII, JIS and EUC
// pairs, alone and in long runs, the designations JIS text changes at every
// run, the other shift sequences of each host, EUC single shifts, line ends,
// pairs cut short by a control and stray bytes, in writes of several sizes
// so that pairs and sequences straddle them.
TEST_F(JapaneseLayer, BlockWritesGiveTheValuePathsBytes) {
    std::mt19937 random(1207);
    std::uniform_int_distribution<int> kind(0, 17), jis(0x21, 0x7E), euc(0xA1, 0xFE), ascii(0x20, 0x7E),
        any(0, 255), run(8, 60);
    const char *sequences[] = {"\x1b$B", "\x1b(B", "\x1b(J", "\x1b(I", "\x1b$@", "\x1b$D", "\x1b$(D",
                               "\x1bK",  "\x1bH",  "\x1b|",  "\x1b}",  "\x1b(Z", "\x1b"};
    std::string text;
    while (text.size() < 70000) {
        switch (kind(random)) {
        case 0: case 1: case 2: text += static_cast<char>(ascii(random)); break;
        case 3: case 4: text += static_cast<char>(jis(random)), text += static_cast<char>(jis(random)); break;
        case 5: case 6: text += static_cast<char>(euc(random)), text += static_cast<char>(euc(random)); break;
        case 7: case 8: text += sequences[random() % 3]; break;
        case 9: text += sequences[random() % std::size(sequences)]; break;
        case 10: text += '\x8e', text += static_cast<char>(euc(random)); break;
        case 11: text += '\x8f', text += static_cast<char>(euc(random)), text += static_cast<char>(euc(random)); break;
        case 12: text += "\r\n"; break;
        case 13: text += static_cast<char>(euc(random)), text += '\n'; break;
        case 14: for (int n = run(random); n > 0; --n) text += static_cast<char>(ascii(random)); break;
        case 15: for (int n = run(random); n > 0; --n) text += static_cast<char>(jis(random)), text += static_cast<char>(jis(random)); break;
        case 16: for (int n = run(random); n > 0; --n) text += static_cast<char>(euc(random)), text += static_cast<char>(euc(random)); break;
        default: text += static_cast<char>(any(random)); break;
        }
    }
    for (uint16_t from : {52, 53, 54, 55, 56, 57, 59, 73, 77})
        for (uint32_t options : {kOn, kHalf}) {
            const Charset cs{from, 51, options, 0};
            for (const std::vector<uint32_t> &sizes :
                 std::vector<std::vector<uint32_t>>{{1}, {3, 4096, 5}, {7, 2, 17, 16}, {65536}}) {
                ExpectBlocksAsValues("from " + std::to_string(from) + " options " + std::to_string(options),
                                     [&] { return Written(text, cs, {}, sizes); });
            }
        }
    // Writes of every size up to 16 over the start of the text: a sequence,
    // a pair or a run cut at each place.
    const std::string start = text.substr(0, 4000);
    for (uint16_t from : {53, 57})
        for (uint32_t size = 2; size <= 16; ++size)
            ExpectBlocksAsValues("from " + std::to_string(from) + " writes of " + std::to_string(size),
                                 [&] { return Written(start, {from, 51, kOn, 0}, {}, {size}); });
}

// Shift-JIS to UTF-8 and back in runs gives the bytes of the value-at-a-time
// path, reading and writing: ASCII alone and in long runs, kana and kanji
// alone and in long runs, half-width katakana, characters of two and four
// UTF-8 bytes, codes and characters the other side lacks, sequences led by
// 0xE0 and 0xED, lead bytes without a trail byte, broken and cut sequences
// and stray bytes, in pieces of several sizes so that characters straddle
// them.
TEST_F(JapaneseLayer, UnicodeBlocksGiveTheValuePathsBytes) {
    std::mt19937 random(1208);
    std::uniform_int_distribution<int> kind(0, 13), ascii(0x20, 0x7E), any(0, 255), run(8, 60), lead(0x81, 0x9F),
        trail(0x40, 0xFC), kana(0xA1, 0xDF), kanji(0x4E00, 0x9FFF), hiragana(0x3041, 0x3093);
    const auto utf8 = [](uint32_t c) {
        std::string out;
        if (c < 0x800) return out + static_cast<char>(0xC0 | c >> 6) + static_cast<char>(0x80 | (c & 0x3F));
        return out + static_cast<char>(0xE0 | c >> 12) + static_cast<char>(0x80 | (c >> 6 & 0x3F)) +
               static_cast<char>(0x80 | (c & 0x3F));
    };
    std::string sjis, text;
    while (sjis.size() < 70000) {
        const int k = kind(random);
        switch (k) {
        case 0: case 1: sjis += static_cast<char>(ascii(random)); break;
        case 2: for (int n = run(random); n > 0; --n) sjis += static_cast<char>(ascii(random)); break;
        case 3: case 4: sjis += static_cast<char>(lead(random)), sjis += static_cast<char>(trail(random)); break;
        case 5: for (int n = run(random); n > 0; --n) sjis += static_cast<char>(0x88 + random() % 8), sjis += static_cast<char>(0x9F + random() % 0x5D); break;
        case 6: sjis += static_cast<char>(kana(random)); break;
        case 7: sjis += static_cast<char>(0xE0 + random() % 0x1D), sjis += static_cast<char>(any(random)); break;
        case 8: sjis += "\x81\x8F\xF0\x40\x84\x40\r\n"; break;
        default: sjis += static_cast<char>(any(random)); break;
        }
        switch (k) {
        case 0: case 1: text += static_cast<char>(ascii(random)); break;
        case 2: for (int n = run(random); n > 0; --n) text += static_cast<char>(ascii(random)); break;
        case 3: case 4: text += utf8(hiragana(random)); break;
        case 5: for (int n = run(random); n > 0; --n) text += utf8(random() % 2 ? kanji(random) : hiragana(random)); break;
        case 6: text += utf8(0xFF61 + random() % 63); break;
        case 7: text += utf8(0xA0 + random() % 0x700); break;
        case 8: text += "\xE0\xA0\x80\xE0\x9F\x80\xED\x9F\xBF\xED\xA0\x80\xF0\x9F\x98\x80\xE3\x81"; break;
        case 9: text += "\xE3\x81\xE3\x80\x80\x80\xC2"; break;
        default: text += static_cast<char>(any(random)); break;
        }
    }
    // The whole texts in pieces of several sizes, and their start in pieces
    // of every size up to 16.
    constexpr size_t kWhole = std::string::npos;
    std::vector<std::pair<std::vector<uint32_t>, size_t>> runs{
        {{1}, kWhole}, {{3, 4096, 5}, kWhole}, {{7, 2, 17, 16}, kWhole}, {{65536}, kWhole}};
    for (uint32_t size = 2; size <= 16; ++size) runs.push_back({{size}, 4000});
    for (uint32_t options : {kOn, kOn | CSF_SJIS_JIS_MAPPING})
        for (const auto &run : runs) {
            const std::vector<uint32_t> &pieces = run.first;
            const size_t length = run.second;
            const std::string label = "options " + std::to_string(options) + " pieces " + std::to_string(pieces[0]);
            const std::string from = sjis.substr(0, length), to = text.substr(0, length);
            ExpectBlocksAsValues("from Shift-JIS, written, " + label,
                                 [&] { return Written(from, {51, 65001, options, 0}, {}, pieces); });
            ExpectBlocksAsValues("from Shift-JIS, read, " + label,
                                 [&] { return Read(from, {51, 65001, options, 0}, {}, pieces); });
            ExpectBlocksAsValues("to Shift-JIS, written, " + label,
                                 [&] { return Written(to, {65001, 51, options, 0}, {}, pieces); });
            ExpectBlocksAsValues("to Shift-JIS, read, " + label,
                                 [&] { return Read(to, {65001, 51, options, 0}, {}, pieces); });
        }
}
