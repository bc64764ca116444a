// The block paths of the layers against their value-at-a-time paths: seeded
// random files, text-like and binary, read through every method, record mode
// and the text layer alone, with and without the text layer and under several
// of its options, written with and without a single-byte translation, in
// reads and writes of odd sizes. Both ways must give the same compressed
// bytes, the same expanded files and the same expanded counts. The Unicode
// paths: every single-byte set to and from UTF-8, Shift-JIS and UTF-8, read
// and written in pieces of every size from 1 to 40 and around the buffer.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/block_paths.h"
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
    static const char *const pieces[] = {"word", " ", " ", " ", "  ", "   ", "\t", "\r\n", "\r\n",
                                         "\r", "\n", "\x1a", "\"", "'", ".", "~", "\xe9", "\xff",
                                         "\xfe", "x.", "0001", "  \r\n", "\x7f", "\x01"};
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
    static const char *const pieces[] = {
        "\xC3\xA9", "\xC2\xA0", "\xC3\xBF", "\xC4\x80", "\xCE\xB1", "\xD0\xB6", "\xD7\x90", "\xD8\xB9",
        "\xE2\x94\x80", "\xE2\x82\xAC", "\xE2\x98\xBA", "\xE2\x8C\x82", "\xE3\x81\x82", "\xEF\xBD\xB1",
        "\xE2\x80\x9C", "\xF0\x9D\x84\x9E", "\x7f", "\x01", "\r\n", "\x1a", "\xEF\xBB\xBF", "\x80", "\xBF",
        "\xC0\xAF", "\xE0\x80\xBF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "\xF0\x9F\x98", "\xFF", "\xC2"};
    std::string out;
    while (out.size() < size) {
        if (random() % 2 == 0) {
            for (uint32_t n = random() % 41; n > 0; --n) out += static_cast<char>(' ' + random() % 95);
        } else {
            out += pieces[random() % (sizeof pieces / sizeof *pieces)];
        }
    }
    return out;
}

std::string Binary(std::mt19937 &random, size_t size) {
    std::string out(size, '\0');
    for (char &c : out) c = static_cast<char>(random() % 4 == 0 ? random() % 8 : random());
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

// Everything one way of working gives for one file and one setting.
struct Outcome {
    std::string packed;    // the file read through the compressor
    std::string expanded;  // the packed bytes written through the expander
    uint32_t expandedCount = 0;
    std::string garbage;   // random bytes written through the expander
};

class BlockPaths : public kxtest::TempDrives {
protected:
    void TearDown() override {
        kx::testing::SetBlockPaths(true);
        kxtest::TempDrives::TearDown();
    }

    // Reads and writes with the sizes drawn from `seed`, so that both ways
    // get the same sizes.
    // `translate`: the writing side also translates code page 437 to ISO 8859-1.
    Outcome Run(bool blocks, uint32_t method, const TextOptions &text, bool translate, uint32_t seed) {
        kx::testing::SetBlockPaths(blocks);
        std::mt19937 random(seed);
        Outcome outcome;
        KXFILE in = kxtest::OpenReading("C:\\in.bin", {text.read, text.tabWidth, method});
        EXPECT_NE(in, nullptr);
        if (in == nullptr) return outcome;
        EXPECT_TRUE(kxtest::ReadAll(in, ReadSizes(random, method), outcome.packed));
        kxFileClose(in);

        const kxtest::Layers writing{text.write, text.tabWidth, method, translate ? kCp437 : uint16_t{0}, kLatin1};
        KXFILE out = kxtest::CreateWriting("C:\\out.bin", writing);
        EXPECT_NE(out, nullptr);
        if (out == nullptr) return outcome;
        // Record mode takes whole records, prefixes and pad bytes in one buffer.
        std::vector<uint32_t> sizes = method == 32 ? std::vector<uint32_t>{1u << 30}
                                                   : kxtest::MixedSizes(random, 5000);
        EXPECT_TRUE(kxtest::WriteAll(out, outcome.packed, sizes));
        outcome.expandedCount = kxFileGetBytesWritten(out, 2);
        EXPECT_EQ(kxFileClose(out), 1);
        outcome.expanded = ReadFile(Posix('C', "out.bin"));

        if (method != 32) {  // random bytes are no records
            KXFILE noise = kxtest::CreateWriting("C:\\noise.bin", writing);
            EXPECT_NE(noise, nullptr);
            if (noise == nullptr) return outcome;
            for (int i = 0; i < 40; ++i) {
                std::string bytes(1 + random() % 700, '\0');
                for (char &c : bytes) c = static_cast<char>(random());
                uint32_t count = 0;
                EXPECT_EQ(kxFileWrite(noise, bytes.data(), static_cast<uint32_t>(bytes.size()), &count), 1);
            }
            EXPECT_EQ(kxFileClose(noise), 1);
            outcome.garbage = ReadFile(Posix('C', "noise.bin"));
        }
        return outcome;
    }

    // Odd sizes, with sizes around the stream's buffer; even ones for record
    // mode, which needs room for a prefix.
    static std::vector<uint32_t> ReadSizes(std::mt19937 &random, uint32_t method) {
        std::vector<uint32_t> sizes = kxtest::MixedSizes(random, 7000);
        if (method == 32)
            for (uint32_t &size : sizes) size = (size + 2) & ~1u;
        return sizes;
    }
};

TEST_F(BlockPaths, GiveWhatTheValueAtATimePathsGive) {
    std::mt19937 random(4096);
    for (int round = 0; round < 4; ++round) {
        const bool text = round % 2 == 0;
        std::string file = text ? TextLike(random, 30000 + random() % 30000)
                                : Binary(random, 20000 + random() % 10000);
        WriteFile(Posix('C', "in.bin"), file);
        for (uint32_t method : {0u, 1u, 2u, 4u, 8u, 32u}) {
            for (const TextOptions &options : kTextOptions) {
                // Every other setting writes through a translation.
                const bool translate = (round + (&options - kTextOptions)) % 2 == 1;
                // Record mode needs records shorter than 32768 bytes.
                const uint32_t recordEnds = TXT_READ_CR_ENDS_RECORD | TXT_READ_LF_ENDS_RECORD |
                                            TXT_READ_CRLF_ENDS_RECORD;
                if (method == 32 && text && (options.read & recordEnds) == 0) continue;
                const uint32_t seed = static_cast<uint32_t>(random());
                Outcome valueAtATime = Run(false, method, options, translate, seed);
                Outcome blocks = Run(true, method, options, translate, seed);
                SCOPED_TRACE(testing::Message() << "round " << round << ", method " << method
                                                << ", read options " << options.read << ", translated " << translate);
                EXPECT_TRUE(blocks.packed == valueAtATime.packed);
                EXPECT_TRUE(blocks.expanded == valueAtATime.expanded);
                EXPECT_EQ(blocks.expandedCount, valueAtATime.expandedCount);
                EXPECT_TRUE(blocks.garbage == valueAtATime.garbage);
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
        const uint32_t lineEnds = method != 32 ? TXT_READ_CRLF_ENDS_RECORD : random() % 2 ? TXT_READ_LF_ENDS_RECORD
                                                                                        : TXT_READ_CR_ENDS_RECORD;
        for (uint32_t size = 1; size <= 40; ++size) {
            std::string packed[2];
            for (int blocks = 0; blocks < 2; ++blocks) {
                kx::testing::SetBlockPaths(blocks != 0);
                KXFILE in = kxtest::OpenReading("C:\\in.bin", {lineEnds, 8, method});
                ASSERT_NE(in, nullptr);
                ASSERT_TRUE(kxtest::ReadAll(in, {size}, packed[blocks]));
                kxFileClose(in);
            }
            EXPECT_TRUE(packed[0] == packed[1]) << "method " << method << ", size " << size;
        }
    }
}

// The Unicode paths: each single-byte set (a set number without a map reads
// as Latin-1) from and into UTF-8, and Shift-JIS and UTF-8, read and written
// with the block paths on and off in pieces of 1 to 40 bytes, then of sizes
// around the stream's buffer, so that runs and sequences are cut everywhere.
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
    std::vector<Pair> pairs = {{KXCHARSET_UTF8, KXCHARSET_UTF8, &utf8},
                               {KXCHARSET_UTF8, kShiftJis, &utf8},
                               {kShiftJis, KXCHARSET_UTF8, &single}};
    for (uint16_t set = 1; set <= 82; ++set) {
        if ((set >= 51 && set <= 62) || set == 73 || set == 77) continue;  // the double-byte sets
        pairs.push_back({set, KXCHARSET_UTF8, &single});
        pairs.push_back({KXCHARSET_UTF8, set, &utf8});
    }
    for (const Pair &pair : pairs) {
        SCOPED_TRACE(testing::Message() << pair.from << " to " << pair.to);
        WriteFile(Posix('C', "in.bin"), *pair.data);
        std::string read[2], written[2];
        for (int blocks = 0; blocks < 2; ++blocks) {
            kx::testing::SetBlockPaths(blocks != 0);
            KXFILE in = kxtest::OpenReading("C:\\in.bin", {});
            ASSERT_NE(in, nullptr);
            ASSERT_EQ(kxFileSetCharsetFlags(in, pair.from, pair.to, CSF_TRANSLATE, 0), 0);
            EXPECT_TRUE(kxtest::ReadAll(in, sizes, read[blocks]));
            kxFileClose(in);
            KXFILE out = kxtest::CreateWriting("C:\\out.bin", {});
            ASSERT_NE(out, nullptr);
            ASSERT_EQ(kxFileSetCharsetFlags(out, pair.from, pair.to, CSF_TRANSLATE, 0), 0);
            EXPECT_TRUE(kxtest::WriteAll(out, *pair.data, sizes));
            EXPECT_EQ(kxFileClose(out), 1);
            written[blocks] = ReadFile(Posix('C', "out.bin"));
        }
        for (const std::string *both : {read, written}) {
            const size_t at = std::mismatch(both[1].begin(), both[1].end(), both[0].begin(), both[0].end()).first -
                              both[1].begin();
            EXPECT_TRUE(both[1] == both[0]) << (both == read ? "read" : "written") << ", first difference at " << at
                                            << ": " << kxtest::ToHex(both[1].substr(at, 12)) << " instead of "
                                            << kxtest::ToHex(both[0].substr(at, 12));
        }
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
    std::vector<std::string> records = {"", "a", "plain \"quoted\" and 'so'.", "x.", "\t tab", "cr\rlf\nend", "cr\r", "\nlf",
                                        "  trailing  ", "caf\xc3\xa9 \xe2\x82\xac", "cut \xe2\x82", "\xff\xfe",
                                        std::string(32767, 'q'), std::string(16, 'x'), std::string(17, 'y')};
    records.emplace_back();
    for (int c = 0; c < 256; ++c) records.back() += static_cast<char>(c);
    for (int i = 0; i < 300; ++i) {
        std::string r(random() % 90, '\0');
        const bool printable = random() % 4 != 0;
        for (char &c : r) c = static_cast<char>(printable ? ' ' + random() % 95 : random());
        records.insert(records.begin() + random() % records.size(), r);
    }
    const std::string big = frames(records);
    const std::string small = frames({"ab", "", "x\xe9y", "cut \xe2", "0123456789abcdefg", "cr\r", "ab", "\nlf"}) + "\xff\xff";
    const std::vector<uint32_t> pieces = kxtest::MixedSizes(random, 5000);

    const uint32_t writeOptions[] = {TXT_WRITE_RECORD_CR, TXT_WRITE_RECORD_LF, TXT_WRITE_RECORD_CRLF,
                                     TXT_WRITE_RECORD_NOTHING, TXT_WRITE_RECORD_CRLF | TXT_SPACES_TO_TABS | TXT_TABS,
                                     TXT_WRITE_RECORD_LF | TXT_STRIP_TRAILING_SPACES,
                                     TXT_WRITE_RECORD_CR | TXT_WRITE_LF_TO_CRLF | TXT_DROP_CR,
                                     TXT_WRITE_RECORD_NOTHING | TXT_WRITE_LF_TO_CRLF, 0};
    const std::pair<uint16_t, uint16_t> sets[] = {{0, 0}, {kCp437, kLatin1}, {kLatin1, kUtf8}, {kUtf8, kCp437}};
    // The file and the summed counts, the framed bytes written in pieces of
    // `sizes` in turn (the last one repeated).
    auto write = [&](bool blocks, const Layers &layers, const std::string &framed, std::vector<uint32_t> sizes) {
        kx::testing::SetBlockPaths(blocks);
        KXFILE out = kxtest::CreateWriting("C:\\out.bin", layers);
        EXPECT_NE(out, nullptr);
        if (out == nullptr) return std::string("<failed>");
        uint32_t total = 0;
        for (size_t at = 0, i = 0; at < framed.size(); ++i) {
            const auto n = static_cast<uint32_t>(std::min<size_t>(sizes[std::min(i, sizes.size() - 1)], framed.size() - at));
            uint32_t count = 0;
            EXPECT_EQ(kxFileWrite(out, framed.data() + at, n, &count), 1);
            total += count;
            at += n;
        }
        EXPECT_EQ(kxFileClose(out), 1);
        return ReadFile(Posix('C', "out.bin")) + "/" + std::to_string(total);
    };
    for (uint32_t text : writeOptions) {
        for (const auto &[from, to] : sets) {
            const Layers layers{text, 8, 32, from, to};
            SCOPED_TRACE(testing::Message() << "write options " << text << ", from " << from << " to " << to);
            EXPECT_TRUE(write(true, layers, big, {1u << 30}) == write(false, layers, big, {1u << 30}));
            EXPECT_TRUE(write(true, layers, big, pieces) == write(false, layers, big, pieces));
            for (uint32_t split = 0; split <= small.size(); ++split)
                EXPECT_EQ(write(true, layers, small, {split, 1u << 30}), write(false, layers, small, {split, 1u << 30}))
                    << "split at " << split;
        }
    }
}

}  // namespace
