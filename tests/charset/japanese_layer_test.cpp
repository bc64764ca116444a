// Japanese text through the character-set layer: Shift-JIS files read for JIS,
// EUC and locking-shift hosts, host data written to Shift-JIS files, the
// katakana options and detection; each case through a stream and through
// kxFileTranslateBufferExt, and the block paths against the value paths.
#include <gtest/gtest.h>

#include <map>
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

// Shift-JIS (set 51) read for `host`, or the host's data written as
// Shift-JIS; bytes in hex, worked out by hand from the host's shift sequences.
struct Case {
    const char *label;
    uint16_t host;
    uint32_t options;
    const char *input, *expected;
    bool inMemory = true;  // false when the bytes hold a NUL
};

class JapaneseLayer : public CharsetFixture {
protected:
    // Through a file, and in memory unless a NUL or the text layer is in play.
    void Check(const std::vector<Case> &cases, bool reading, Layers layers = {}) {
        for (const Case &c : cases) {
            SCOPED_TRACE(c.label);
            const Charset cs{reading ? uint16_t{51} : c.host, reading ? c.host : uint16_t{51},
                             c.options, 0};
            const std::string input = Hex(c.input), expected = ToHex(Hex(c.expected));
            EXPECT_EQ(ToHex(reading ? Read(input, cs, layers) : Written(input, cs, layers)),
                      expected);
            if (c.inMemory && layers.text == 0) {
                EXPECT_EQ(ToHex(Translated(input, cs)), expected);
            }
        }
    }
};

TEST_F(JapaneseLayer, ReadingShiftJisForTheHosts) {
    const uint32_t ret = kOn | CSF_JIS_ASCII_RETURN;
    Check(
        {{"kanji between letters", 53, kOn, "41 889F 42", "41 1B2442 3021 1B284A 42"},
         {"kanji at the end: shifted out", 53, kOn, "889F", "1B2442 3021 1B284A"},
         {"a run of kanji is shifted once", 53, kOn, "889F 889F", "1B2442 3021 3021 1B284A"},
         {"set 52's double designation", 52, kOn, "889F", "1B2440 1B2442 3021 1B284A"},
         {"set 54's old designation and ordering", 54, kOn, "88B1", "1B2440 724D 1B284A"},
         {"half-width katakana", 53, kOn, "B1", "1B2849 31 1B284A"},
         {"katakana then kanji", 53, kOn, "B1 889F 41", "1B2849 31 1B2442 3021 1B284A 41"},
         {"EUC katakana single shift each time", 57, kOn, "B1 B1 41 B1", "8EB1 8EB1 41 8EB1"},
         {"locking shifts", 55, kOn, "B1 889F 41 B1 41", "1B7D B1 1B7C B0A1 41 1B7D B1 1B7C 41"},
         {"set 73 kanji", 73, kOn, "41 889F 42", "41 1B4B 3021 1B48 42"},
         {"set 73 katakana is a space", 73, kOn, "B1", "20"},
         {"set 73 katakana after a kanji: shifted out", 73, kOn, "889F B1", "1B4B 3021 1B48 20"},
         {"JIS X 0212 after its designation", 53, kOn, "FA55 FA55 41",
          "1B242844 2243 2243 1B284A 41"},
         {"JIS X 0212 then kanji", 53, kOn, "FA55 889F", "1B242844 2243 1B2442 3021 1B284A"},
         {"EUC JIS X 0212 after 0x8F", 57, kOn, "FA55", "8F A2C3"},
         {"user-defined row, no JIS X 0212", 53, kOn, "889F F540 41", "1B2442 3021 1B284A 20 41"},
         {"IBM code without a JIS X 0212 entry, EUC", 57, kOn, "FA54 41", "20 41"},
         {"a 7-bit host without JIS X 0212", 54, kOn, "889F F040 FA55", "1B2440 3021 1B284A 20 20"},
         {"the same for set 73", 73, kOn, "F040 41", "20 41"},
         {"IBM code with a JIS X 0208 equivalent", 54, kOn, "FA4A", "1B2440 2D35 1B284A"},
         {"without CSF_TRANSLATE bytes pass", 53, 0, "889F B1", "889F B1"},
         {"RFC 1468 return to ASCII", 53, ret, "41 889F 5C", "41 1B2442 3021 1B2842 5C"},
         {"the same after katakana", 52, ret, "B1", "1B2849 31 1B2842"},
         {"the flag leaves EUC alone", 57, ret, "889F", "B0A1"}},
        true);
}

TEST_F(JapaneseLayer, ReadingKatakanaAsFullWidth) {
    Check(
        {{"voiced GA", 53, kFull, "B6 DE", "1B2442 252C 1B284A"},
         {"semi-voiced PA", 53, kFull, "CA DF", "1B2442 2551 1B284A"},
         {"voiced VU from U", 53, kFull, "B3 DE", "1B2442 2574 1B284A"},
         {"a mark that joins nothing is a sign", 53, kFull, "B1 DE", "1B2442 2522 212B 1B284A"},
         {"semi-voiced mark after KA stays apart", 53, kFull, "B6 DF", "1B2442 252B 212C 1B284A"},
         {"the look-ahead is read again", 53, kFull, "B1 41", "1B2442 2522 1B284A 41"},
         {"look-ahead is a first byte", 53, kFull, "B1 889F", "1B2442 2522 3021 1B284A"},
         {"Shift-JIS", 51, kFull, "B6 DE B1", "834B 8341"},
         {"a NUL as look-ahead is kept", 53, kFull, "B1 00 41", "1B2442 2522 1B284A 00 41", false}},
        true);
}

TEST_F(JapaneseLayer, StrayFirstBytesLoseNothing) {
    Check({{"before a line end", 53, kOn, "88 0D 0A", "20 0D 0A"},
           {"before a space", 53, kOn, "88 20 41", "20 20 41"},
           {"before a digit", 57, kOn, "88 31", "20 31"},
           {"before 0x7F", 53, kOn, "88 7F", "20 7F"},
           {"a pair outside every row", 53, kOn, "FCFC 889F", "20 1B2442 3021 1B284A"},
           {"shifted: out before the space", 53, kOn, "889F 88 0D", "1B2442 3021 1B284A 20 0D"},
           {"at the end", 53, kOn, "41 88", "41 20"},
           {"at the end, shifted", 53, kOn, "889F 88", "1B2442 3021 1B284A 20"},
           {"before a NUL", 53, kOn, "88 00 41", "20 00 41", false},
           {"a NUL after a kanji", 53, kOn, "889F 00 41", "1B2442 3021 1B284A 00 41", false},
           {"a NUL after katakana", 57, kOn, "B1 00", "8EB1 00", false}},
          true);
}

// A look-ahead taken back as a record end still comes as one (0xFF).
TEST_F(JapaneseLayer, RecordEndsComeThroughTheTextLayer) {
    Check(
        {{"line end after katakana", 53, kFull, "B1 0D0A 41", "1B2442 2522 1B284A FF 41"},
         {"line end after katakana, EUC", 57, kFull, "B1 0D0A", "A5A2 FF"},
         {"line end after a first byte", 53, kOn, "889F 88 0D0A 41", "1B2442 3021 1B284A 20 FF 41"},
         {"line end after kanji", 53, kOn, "889F 0D0A", "1B2442 3021 1B284A FF"}},
        true, {TXT_READ_CRLF_ENDS_RECORD, 8, 0});
}

// A record over a stream that cannot read: the first byte of a pair (or a
// katakana's) is in its buffer, the next must come from the file.
TEST_F(JapaneseLayer, AnErrorTakingTheSecondByteFailsTheRead) {
    auto *stream = new kx::BufferedStream{};
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
    Check({{"JIS kanji", 53, kOn, "41 1B2442 3021 1B284A 42", "41 889F 42"},
           {"ESC ( B returns to single bytes", 53, kOn, "1B2442 3021 1B2842 4142", "889F 4142"},
           {"old designation and ordering", 54, kOn, "1B2440 724D 1B284A", "88B1"},
           {"JIS X 0212", 53, kOn, "1B242844 2243 1B284A", "FA55"},
           {"an unknown sequence passes", 53, kOn, "1B2441 3021", "1B2441 3021"},
           {"ESC ( followed by an unknown byte", 53, kOn, "1B2858 41", "1B2858 41"},
           {"EUC katakana", 57, kOn, "8EB1 41", "B1 41"},
           {"EUC JIS X 0212", 57, kOn, "8FA2C3 41", "FA55 41"},
           {"a control after 0x8F is no half of one", 57, kOn, "8F0203", "20 0203", false},
           {"nor after its first byte", 57, kOn, "41 8FA202", "41 20 02", false},
           {"a line end cuts a JIS first byte short", 53, kOn, "1B2442 30 0A 3021", "20 0A 889F"},
           {"an EUC first byte before a line end", 57, kOn, "B0 0D0A A4A2", "20 0D0A 82A0"},
           {"ESC after a first byte begins a sequence", 53, kOn, "1B2442 30 1B2842 41", "20 41"},
           {"locking shifts", 55, kOn, "1B7D B1 B2 1B7C B0A1", "B1 B2 889F"},
           {"set 73 kanji", 73, kOn, "1B4B 3021 1B48 41", "889F 41"},
           {"a sequence begun at the end is not written", 53, kOn, "41 1B24", "41"},
           {"a first byte at the end is not written", 53, kOn, "1B2442 30", ""},
           {"katakana to half width", 53, kHalf, "1B2442 252C 2522 2123 2551 2574 3021 1B284A",
            "B6DE B1 A1 CADF B3DE 889F"},
           {"EUC katakana to half width", 57, kHalf, "A5AC A5A2", "B6DE B1"},
           {"without the option full width stays", 57, kOn, "A5AC", "834B"}},
          false);
}

// A record end reaches the stream as 0xFF, between two pairs; a first byte
// cut short by it becomes a space before it.
TEST_F(JapaneseLayer, ARecordEndPassesTheWriteSide) {
    KXFILE f = Open(nullptr, {53, 51, kOn, 0}, {0, 8, 0});
    ASSERT_NE(f, nullptr);
    for (uint16_t v : {0x1B, 0x24, 0x42, 0x30, 0x21, 0x1FF, 0x30, 0x21, 0x30, 0x1FF})
        ASSERT_GE(kx::CharsetPutValue(f, v), 0);
    EXPECT_EQ(f->charset->lowerSet, 52);
    ASSERT_EQ(kxFileClose(f), 1);
    EXPECT_EQ(ToHex(ReadFile(Posix('C', "out.bin"))), ToHex(Hex("889F FF 889F 20 FF")));
}

TEST_F(JapaneseLayer, DetectionSetsTheFromSetOnce) {
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
        KXFILE f = Open(nullptr, {57, 51, kOn | CSF_DETECT_JAPANESE, 0});
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

// Each half-width katakana, alone and with either mark, widened for a JIS
// host and narrowed back: the same bytes.
TEST_F(JapaneseLayer, KatakanaWidenAndNarrowBackForEveryByte) {
    std::string all;
    for (int k = 0xA1; k <= 0xDF; ++k) {
        const char kana = static_cast<char>(k);
        all += std::string{kana, kana, '\xDE', kana, '\xDF', 'x'};
    }
    std::string jis = Read(all, {51, 53, kFull, 0});
    EXPECT_EQ(jis.find('\xDE'), std::string::npos);
    EXPECT_EQ(ToHex(Written(jis, {53, 51, kHalf, 0})), ToHex(all));
}

struct Range {
    int low, high;
    bool utf8;  // a character of the range in UTF-8, else a byte
};
const std::map<char, Range> kRanges = {
    {'a', {0x20, 0x7E, false}},    {'z', {0x00, 0xFF, false}},     // ASCII, any byte
    {'j', {0x21, 0x7E, false}},    {'p', {0xA1, 0xFE, false}},     // JIS and EUC bytes
    {'l', {0x88, 0x9F, false}},    {'t', {0x40, 0xFC, false}},     // Shift-JIS lead and trail
    {'f', {0x81, 0x9F, false}},    {'x', {0xE0, 0xFC, false}},     // all leads
    {'m', {0x88, 0x8F, false}},    {'n', {0x9F, 0xFB, false}},     // kanji
    {'i', {0xFA, 0xFC, false}},    {'k', {0xA1, 0xDF, false}},     // IBM codes, katakana
    {'h', {0x3041, 0x3093, true}}, {'c', {0x4E00, 0x9FFF, true}},  // hiragana, kanji
    {'w', {0xFF61, 0xFF9F, true}}, {'u', {0x00A0, 0x079F, true}},  // half-width, two bytes
};

// About 70000 bytes of pieces drawn at random. In a piece a lowercase letter
// stands for a random byte or character of its range above, a leading '+'
// repeats the rest 8 to 60 times, and any other byte stands for itself.
std::string RandomText(std::mt19937 &random, const std::vector<std::string> &pieces) {
    const auto pick = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    std::string text;
    while (text.size() < 70000) {
        const std::string &piece = pieces[random() % pieces.size()];
        const bool run = piece[0] == '+';
        for (int n = run ? pick(8, 60) : 1; n > 0; --n) {
            for (char c : piece.substr(run ? 1 : 0)) {
                const auto range = kRanges.find(c);
                if (range == kRanges.end()) {
                    text += c;
                    continue;
                }
                const int v = pick(range->second.low, range->second.high);
                text += range->second.utf8 ? Utf8(v) : std::string(1, static_cast<char>(v));
            }
        }
    }
    return text;
}

// The pieces a text goes in: whole in pieces of several sizes, and its start
// in pieces of every size up to 16, so that pairs and sequences straddle them.
constexpr size_t kWhole = std::string::npos;
std::vector<std::pair<std::vector<uint32_t>, size_t>> Runs() {
    std::vector<std::pair<std::vector<uint32_t>, size_t>> runs{
        {{1}, kWhole}, {{3, 4096, 5}, kWhole}, {{7, 2, 17, 16}, kWhole}, {{65536}, kWhole}};
    for (uint32_t size = 2; size <= 16; ++size) runs.push_back({{size}, 4000});
    return runs;
}

// Runs `convert` with the block paths off and on: the bytes must be the same.
template <typename Convert>
void ExpectBlocksAsValues(const std::string &label, Convert convert) {
    kx::testing::SetBlockPaths(false);
    const std::string valueByValue = convert();
    kx::testing::SetBlockPaths(true);
    const std::string inBlocks = convert();
    size_t at = 0;
    while (at < inBlocks.size() && at < valueByValue.size() && inBlocks[at] == valueByValue[at])
        ++at;
    EXPECT_EQ(inBlocks.size(), valueByValue.size()) << label;
    EXPECT_EQ(ToHex(inBlocks.substr(at, 12)), ToHex(valueByValue.substr(at, 12)))
        << label << ", first difference at " << at;
}

// Shift-JIS read for a host in runs straight from the stream's buffer: ASCII,
// kanji, IBM codes (JIS X 0212 for some hosts), katakana, line ends, stray
// bytes, larger than the stream's buffer so that pairs straddle its end.
TEST_F(JapaneseLayer, BlockReadsGiveTheValuePathsBytes) {
    std::mt19937 random(1206);
    const std::string text =
        RandomText(random, {"a", "a", "a", "lt", "lt", "lt", "it", "k", "\r\n", "z"});
    for (uint16_t to : {52, 53, 54, 55, 56, 57, 73})
        for (uint32_t options : {kOn, kFull})
            for (const auto &sizes : std::vector<std::vector<uint32_t>>{{1}, {3, 4096}, {65536}}) {
                const Charset cs{51, to, options, 0};
                ExpectBlocksAsValues(
                    "to " + std::to_string(to) + " options " + std::to_string(options),
                    [&] { return Read(text, cs, {}, sizes); });
            }
}

// A host's text written as Shift-JIS in runs straight into the stream's
// buffer: ASCII, JIS and EUC pairs alone and in runs, the designations JIS
// text changes often, every host's other sequences, EUC single shifts, line
// ends, pairs cut short by a control, stray bytes.
TEST_F(JapaneseLayer, BlockWritesGiveTheValuePathsBytes) {
    std::mt19937 random(1207);
    const std::string text = RandomText(
        random, {"a",       "a",      "a",      "jj",     "jj",     "pp",     "pp",     "\x1b$B",
                 "\x1b(B",  "\x1b(J", "\x1b$B", "\x1b(B", "\x1b(J", "\x1b(I", "\x1b$@", "\x1b$D",
                 "\x1b$(D", "\x1bK",  "\x1bH",  "\x1b|",  "\x1b}",  "\x1b(Z", "\x1b",   "\x8ep",
                 "\x8fpp",  "\r\n",   "p\n",    "+a",     "+jj",    "+pp",    "z"});
    for (uint16_t from : {52, 53, 54, 55, 56, 57, 59, 73, 77})
        for (uint32_t options : {kOn, kHalf})
            for (const auto &run : Runs()) {
                const std::vector<uint32_t> &pieces = run.first;
                const size_t length = run.second;
                if (length != kWhole && (options != kOn || (from != 53 && from != 57))) continue;
                const std::string start = text.substr(0, length);
                const Charset cs{from, 51, options, 0};
                ExpectBlocksAsValues("from " + std::to_string(from) + " options " +
                                         std::to_string(options) + " pieces " +
                                         std::to_string(pieces[0]),
                                     [&] { return Written(start, cs, {}, pieces); });
            }
}

// Shift-JIS to UTF-8 and back in runs, reading and writing: ASCII, kana and
// kanji alone and in runs, half-width katakana, characters of two and four
// UTF-8 bytes, codes and characters the other side lacks, sequences led by
// 0xE0 and 0xED, lead bytes without a trail byte, broken and cut sequences,
// stray bytes.
TEST_F(JapaneseLayer, UnicodeBlocksGiveTheValuePathsBytes) {
    std::mt19937 random(1208);
    const std::string sjis = RandomText(random, {"a", "a", "+a", "ft", "ft", "+mn", "k", "xz",
                                                 "\x81\x8F\xF0\x40\x84\x40\r\n", "z", "z", "z"});
    const std::string utf8 = RandomText(
        random, {"a", "a", "+a", "h", "h", "+hc", "w", "u",
                 "\xE0\xA0\x80\xE0\x9F\x80\xED\x9F\xBF\xED\xA0\x80\xF0\x9F\x98\x80\xE3\x81",
                 "\xE3\x81\xE3\x80\x80\x80\xC2\xF0\x9F\x98\x41\xF0\x9F\x41\xF0\x41", "z", "z"});
    for (uint32_t options : {kOn, kOn | CSF_SJIS_JIS_MAPPING})
        for (const auto &run : Runs()) {
            const std::vector<uint32_t> &pieces = run.first;
            const size_t length = run.second;
            const std::string label =
                "options " + std::to_string(options) + " pieces " + std::to_string(pieces[0]);
            const std::string from = sjis.substr(0, length), to = utf8.substr(0, length);
            const Charset out{51, 65001, options, 0}, in{65001, 51, options, 0};
            ExpectBlocksAsValues("from Shift-JIS, written, " + label,
                                 [&] { return Written(from, out, {}, pieces); });
            ExpectBlocksAsValues("from Shift-JIS, read, " + label,
                                 [&] { return Read(from, out, {}, pieces); });
            ExpectBlocksAsValues("to Shift-JIS, written, " + label,
                                 [&] { return Written(to, in, {}, pieces); });
            ExpectBlocksAsValues("to Shift-JIS, read, " + label,
                                 [&] { return Read(to, in, {}, pieces); });
        }
}

}  // namespace
