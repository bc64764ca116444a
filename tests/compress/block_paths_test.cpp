// The layers' block paths against their value-at-a-time paths: every method,
// record mode and text option, translations, every single-byte set to and from
// UTF-8, Shift-JIS, in reads and writes of every size from 1 to 40 and around the buffer.
#include "core/block_paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "kxfiles.h"
#include "support/layer_io.h"
#include "support/temp_drives.h"

namespace {

using kxtest::Layers;

constexpr uint16_t kCp437 = 31;
constexpr uint16_t kLatin1 = 15;
constexpr uint16_t kShiftJis = 51;
constexpr uint16_t kUtf8 = KXCHARSET_UTF8;

// Lines of words with the bytes the layers act on mixed in: single spaces and
// runs of spaces (some at a line's end), tabs, CR LF, lone CR and LF, Ctrl-Z,
// quotes and periods, 0x7E, 0x80-0xFF, long runs of one byte.
std::string TextLike(std::mt19937 &random, size_t size) {
    static const char *const pieces[] = {
        "word", " ", " ", " ", "  ",   "   ",  "\t",   "\r\n", "\r\n", "\r",     "\n",   "\x1a",
        "\"",   "'", ".", "~", "\xe9", "\xff", "\xfe", "x.",   "0001", "  \r\n", "\x7f", "\x01"};
    std::string out;
    while (out.size() < size) {
        uint32_t kind = random() % 40;
        if (kind == 0) {
            out.append(1 + random() % 300, " -~A\xff"[random() % 5]);
        } else if (kind == 1) {
            out.append(random() % 200, static_cast<char>('a' + random() % 26));  // a long word
        } else {
            out += pieces[random() % (sizeof pieces / sizeof *pieces)];
        }
    }
    return out;
}

// UTF-8 text: runs of ASCII of every length up to 40, with DEL and controls
// among them; characters of two, three and four bytes, of the scripts the
// single-byte sets hold and of none; ill-formed parts (lone continuation
// bytes, overlong forms, surrogates, values above U+10FFFF, sequences cut
// short by the next byte) and a byte-order mark inside the text.
std::string Utf8Like(std::mt19937 &random, size_t size) {
    static const char *const pieces[] = {"\xC3\xA9",
                                         "\xC2\xA0",
                                         "\xC3\xBF",
                                         "\xC4\x80",
                                         "\xCE\xB1",
                                         "\xD0\xB6",
                                         "\xD7\x90",
                                         "\xD8\xB9",
                                         "\xE2\x94\x80",
                                         "\xE2\x82\xAC",
                                         "\xE2\x98\xBA",
                                         "\xE2\x8C\x82",
                                         "\xE3\x81\x82",
                                         "\xEF\xBD\xB1",
                                         "\xE2\x80\x9C",
                                         "\xF0\x9D\x84\x9E",
                                         "\x7f",
                                         "\x01",
                                         "\r\n",
                                         "\x1a",
                                         "\xEF\xBB\xBF",
                                         "\x80",
                                         "\xBF",
                                         "\xC0\xAF",
                                         "\xE0\x80\xBF",
                                         "\xED\xA0\x80",
                                         "\xF4\x90\x80\x80",
                                         "\xE2\x82",
                                         "\xF0\x9F\x98",
                                         "\xFF",
                                         "\xC2"};
    std::string out;
    while (out.size() < size) {
        if (random() % 2 == 0) {
            for (uint32_t n = random() % 41; n > 0; --n)
                out += static_cast<char>(' ' + random() % 95);
        } else {
            out += pieces[random() % (sizeof pieces / sizeof *pieces)];
        }
    }
    return out;
}

// The read and write text options tried under the methods.
struct TextOptions {
    uint32_t read;
    uint32_t write;
    uint32_t tabWidth;
};
const TextOptions kTextOptions[] = {
    {0, 0, 8},
    {TXT_READ_CRLF_ENDS_RECORD, TXT_WRITE_RECORD_CRLF, 8},
    {TXT_READ_CRLF_ENDS_RECORD | TXT_READ_CTRLZ_ENDS | TXT_TABS,
     TXT_WRITE_RECORD_CRLF | TXT_SPACES_TO_TABS | TXT_TABS, 8},
    {TXT_READ_LF_ENDS_RECORD | TXT_DROP_CR, TXT_WRITE_RECORD_LF | TXT_STRIP_TRAILING_SPACES, 4},
    {TXT_READ_CR_ENDS_RECORD | TXT_TABS, TXT_WRITE_LF_TO_CRLF | TXT_SPACES_TO_TABS, 3},
    {TXT_READ_CR_TO_CRLF, TXT_WRITE_RECORD_NOTHING | TXT_DROP_LF, 8},
    // A CR LF is one record end only when a CR alone neither ends a record
    // nor becomes CR LF.
    {TXT_READ_CRLF_ENDS_RECORD | TXT_READ_CR_ENDS_RECORD, TXT_WRITE_RECORD_CRLF, 8},
    {TXT_READ_CRLF_ENDS_RECORD | TXT_READ_CR_TO_CRLF, TXT_WRITE_RECORD_LF, 8},
    {TXT_READ_LF_ENDS_RECORD, TXT_WRITE_RECORD_CRLF, 8},
};

// Bytes with their length in front, so that joined fields stay apart.
std::string Field(const std::string &bytes) {
    return std::to_string(bytes.size()) + ":" + bytes;
}

class BlockPaths : public kxtest::TempDrives {
protected:
    void TearDown() override {
        kx::testing::SetBlockPaths(true);
        kxtest::TempDrives::TearDown();
    }

    // Runs `work` with the block paths off, then on: both must give the same.
    static void ExpectSameBothWays(const std::function<std::string()> &work) {
        kx::testing::SetBlockPaths(false);
        const std::string values = work();
        kx::testing::SetBlockPaths(true);
        const std::string blocks = work();
        const size_t at =
            std::mismatch(blocks.begin(), blocks.end(), values.begin(), values.end()).first -
            blocks.begin();
        EXPECT_TRUE(blocks == values)
            << "first difference at " << at << ": " << kxtest::ToHex(blocks.substr(at, 12))
            << " instead of " << kxtest::ToHex(values.substr(at, 12));
    }

    // C:\in.bin read through `reading` in reads of `sizes`.
    std::string Read(const Layers &reading, const std::vector<uint32_t> &sizes) {
        KXFILE in = kxtest::OpenReading("C:\\in.bin", reading);
        EXPECT_NE(in, nullptr);
        std::string out;
        EXPECT_TRUE(in != nullptr && kxtest::ReadAll(in, sizes, out));
        if (in != nullptr) kxFileClose(in);
        return out;
    }

    // `data` written through `writing` in pieces of `sizes` in turn: the file
    // and the expanded count (selector 2) and the sum of the write counts.
    std::string Write(const Layers &writing, const std::string &data,
                      const std::vector<uint32_t> &sizes) {
        KXFILE out = kxtest::CreateWriting("C:\\out.bin", writing);
        EXPECT_NE(out, nullptr);
        if (out == nullptr) return "<failed>";
        uint32_t total = 0;
        for (size_t at = 0, i = 0; at < data.size(); ++i) {
            const auto n =
                static_cast<uint32_t>(std::min<size_t>(sizes[i % sizes.size()], data.size() - at));
            uint32_t count = 0;
            EXPECT_EQ(kxFileWrite(out, data.data() + at, n, &count), 1);
            total += count;
            at += n;
        }
        const uint32_t expanded = kxFileGetBytesWritten(out, 2);
        EXPECT_EQ(kxFileClose(out), 1);
        return Field(ReadFile(Posix('C', "out.bin"))) + "/" + std::to_string(expanded) + "/" +
               std::to_string(total);
    }
};

// Compressed in odd read sizes (even ones for record mode, which needs room
// for a prefix) and expanded again; random bytes expanded too.
TEST_F(BlockPaths, GiveWhatTheValueAtATimePathsGive) {
    std::mt19937 random(4096);
    for (int round = 0; round < 4; ++round) {
        const bool text = round % 2 == 0;
        std::string file(20000 + random() % 10000, '\0');
        if (text) {
            file = TextLike(random, 30000 + random() % 30000);
        } else {
            for (char &c : file) c = static_cast<char>(random() % 4 == 0 ? random() % 8 : random());
        }
        WriteFile(Posix('C', "in.bin"), file);
        for (uint32_t method : {0u, 1u, 2u, 4u, 8u, 32u}) {
            for (const TextOptions &options : kTextOptions) {
                // Every other setting writes through a translation.
                const bool translate = (round + (&options - kTextOptions)) % 2 == 1;
                // Record mode needs records shorter than 32768 bytes.
                const uint32_t recordEnds =
                    TXT_READ_CR_ENDS_RECORD | TXT_READ_LF_ENDS_RECORD | TXT_READ_CRLF_ENDS_RECORD;
                if (method == 32 && text && (options.read & recordEnds) == 0) continue;
                const uint32_t seed = static_cast<uint32_t>(random());
                SCOPED_TRACE(testing::Message()
                             << "round " << round << ", method " << method << ", read options "
                             << options.read << ", translated " << translate);
                const Layers writing{options.write, options.tabWidth, method,
                                     translate ? kCp437 : uint16_t{0}, kLatin1};
                ExpectSameBothWays([&] {
                    std::mt19937 sizes(seed);
                    std::vector<uint32_t> reads = kxtest::MixedSizes(sizes, 7000);
                    if (method == 32)
                        for (uint32_t &size : reads) size = (size + 2) & ~1u;
                    const std::string packed =
                        Read({options.read, options.tabWidth, method}, reads);
                    // Record mode takes whole records, prefixes and pad bytes in one
                    // buffer; random bytes are no records.
                    if (method == 32) return Field(packed) + Write(writing, packed, {1u << 30});
                    std::string noise(14000, '\0');
                    for (char &c : noise) c = static_cast<char>(sizes());
                    return Field(packed) + Write(writing, packed, kxtest::MixedSizes(sizes, 5000)) +
                           Write(writing, noise, kxtest::MixedSizes(sizes, 700));
                });
            }
        }
    }
}

// The compressors' block paths stop short of a space whose follower they
// cannot see, and record mode's at a line end; reads of every size from 1 to
// 40 cut the runs at every place.
TEST_F(BlockPaths, ReadsOfEverySmallSizeAgree) {
    std::mt19937 random(7);
    WriteFile(Posix('C', "in.bin"), TextLike(random, 3000));
    for (uint32_t method : {1u, 2u, 4u, 32u, 32u}) {
        const uint32_t lineEnds = method != 32   ? TXT_READ_CRLF_ENDS_RECORD
                                  : random() % 2 ? TXT_READ_LF_ENDS_RECORD
                                                 : TXT_READ_CR_ENDS_RECORD;
        for (uint32_t size = 1; size <= 40; ++size) {
            SCOPED_TRACE(testing::Message() << "method " << method << ", size " << size);
            ExpectSameBothWays([&] { return Read({lineEnds, 8, method}, {size}); });
        }
    }
}

// Each single-byte set (a set number without a map reads as Latin-1) from and
// into UTF-8, and Shift-JIS and UTF-8, read and written in pieces of 1 to 40
// bytes, then of sizes around the stream's buffer, so that runs and sequences
// are cut everywhere.
TEST_F(BlockPaths, UnicodePathsGiveWhatTheValuePathsGive) {
    std::mt19937 random(65001);
    const std::string single = TextLike(random, 12000), utf8 = Utf8Like(random, 12000);
    std::vector<uint32_t> sizes;
    for (uint32_t size = 1; size <= 40; ++size) sizes.push_back(size);
    for (uint32_t size : kxtest::MixedSizes(random, 5000)) sizes.push_back(size);
    struct Pair {
        uint16_t from, to;
        const std::string *data;
    };
    std::vector<Pair> pairs = {
        {kUtf8, kUtf8, &utf8}, {kUtf8, kShiftJis, &utf8}, {kShiftJis, kUtf8, &single}};
    for (uint16_t set = 1; set <= 82; ++set) {
        if ((set >= 51 && set <= 62) || set == 73 || set == 77) continue;  // the double-byte sets
        pairs.push_back({set, kUtf8, &single});
        pairs.push_back({kUtf8, set, &utf8});
    }
    for (const Pair &pair : pairs) {
        SCOPED_TRACE(testing::Message() << pair.from << " to " << pair.to);
        WriteFile(Posix('C', "in.bin"), *pair.data);
        const Layers layers{0, 8, 0, pair.from, pair.to};
        ExpectSameBothWays(
            [&] { return Field(Read(layers, sizes)) + Write(layers, *pair.data, sizes); });
    }
}

// Record-mode writes take each whole frame below in one step where the layers
// allow: the same file and counts as the value-at-a-time path for records of
// every kind (empty, odd, 32767 bytes, every byte value, printable, UTF-8
// whole and cut short), under each line end and write option, through no
// table, a table and UTF-8 on either side, the framed bytes written whole, in
// random pieces, and (a small stream) in two pieces split at every offset.
TEST_F(BlockPaths, RecordWritesAgree) {
    std::mt19937 random(32);
    auto frames = [](const std::vector<std::string> &records) {
        std::string framed;
        for (const std::string &r : records) {
            framed += static_cast<char>(r.size() & 0xFF);
            framed += static_cast<char>(r.size() >> 8);
            framed += r + std::string(r.size() & 1, '\0');
        }
        return framed;
    };
    std::vector<std::string> records = {"",
                                        "a",
                                        "plain \"quoted\" and 'so'.",
                                        "x.",
                                        "\t tab",
                                        "cr\rlf\nend",
                                        "cr\r",
                                        "\nlf",
                                        "  trailing  ",
                                        "caf\xc3\xa9 \xe2\x82\xac",
                                        "cut \xe2\x82",
                                        "\xff\xfe",
                                        std::string(32767, 'q'),
                                        std::string(16, 'x'),
                                        std::string(17, 'y')};
    records.emplace_back();
    for (int c = 0; c < 256; ++c) records.back() += static_cast<char>(c);
    for (int i = 0; i < 300; ++i) {
        std::string r(random() % 90, '\0');
        const bool printable = random() % 4 != 0;
        for (char &c : r) c = static_cast<char>(printable ? ' ' + random() % 95 : random());
        records.insert(records.begin() + random() % records.size(), r);
    }
    const std::string big = frames(records);
    const std::string small =
        frames({"ab", "", "x\xe9y", "cut \xe2", "0123456789abcdefg", "cr\r", "ab", "\nlf"}) +
        "\xff\xff";
    const std::vector<uint32_t> pieces = kxtest::MixedSizes(random, 5000);
    const uint32_t writeOptions[] = {TXT_WRITE_RECORD_CR,
                                     TXT_WRITE_RECORD_LF,
                                     TXT_WRITE_RECORD_CRLF,
                                     TXT_WRITE_RECORD_NOTHING,
                                     TXT_WRITE_RECORD_CRLF | TXT_SPACES_TO_TABS | TXT_TABS,
                                     TXT_WRITE_RECORD_LF | TXT_STRIP_TRAILING_SPACES,
                                     TXT_WRITE_RECORD_CR | TXT_WRITE_LF_TO_CRLF | TXT_DROP_CR,
                                     TXT_WRITE_RECORD_NOTHING | TXT_WRITE_LF_TO_CRLF,
                                     0};
    const std::pair<uint16_t, uint16_t> sets[] = {
        {0, 0}, {kCp437, kLatin1}, {kLatin1, kUtf8}, {kUtf8, kCp437}};
    for (uint32_t text : writeOptions) {
        for (const auto &[from, to] : sets) {
            const Layers layers{text, 8, 32, from, to};
            SCOPED_TRACE(testing::Message()
                         << "write options " << text << ", from " << from << " to " << to);
            ExpectSameBothWays(
                [&] { return Write(layers, big, {1u << 30}) + Write(layers, big, pieces); });
            for (uint32_t split = 0; split <= small.size(); ++split) {
                SCOPED_TRACE(testing::Message() << "split at " << split);
                ExpectSameBothWays([&] { return Write(layers, small, {split, 1u << 30}); });
            }
        }
    }
}

}  // namespace
