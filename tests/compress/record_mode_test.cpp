// Record mode: the length-prefixed framing read from text files with buffers
// of every size, held-back records, the record length limit, and the write
// side with well-formed and random input.
#include "compress/record_mode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "core/handle.h"
#include "kxfiles.h"
#include "support/layer_io.h"
#include "support/temp_drives.h"

namespace {

using kxtest::Hex;
using kxtest::Layers;
using kxtest::ToHex;

constexpr uint32_t kRecords = 32;
const Layers kReadLines{TXT_READ_CRLF_ENDS_RECORD, 8, kRecords};
const Layers kWriteLines{TXT_WRITE_RECORD_CRLF, 8, kRecords};

using RecordMode = kxtest::TempDrives;

// One read into a fresh buffer of `length` bytes followed by guard bytes,
// freed afterwards (a held record must live in the handle); fails the test
// when a guard byte changed.
std::string ReadOnce(KXFILE f, uint32_t length, int *ok = nullptr) {
    std::vector<char> buffer(length + 64, '\x5a');
    uint32_t count = 0xdead;
    int result = kxFileRead(f, buffer.data(), length, &count);
    if (ok) *ok = result;
    for (size_t i = length; i < buffer.size(); ++i)
        EXPECT_EQ(buffer[i], '\x5a') << "byte " << i << " written past a buffer of " << length;
    EXPECT_LE(count, length);
    return result ? std::string(buffer.data(), count) : "<failed>";
}

// Reads through ReadOnce in buffers of `sizes` in turn up to an empty read or
// a failure (then `ok` is 0); what the reads gave.
std::string ReadInBuffers(KXFILE f, const std::vector<uint32_t> &sizes, int *ok = nullptr) {
    std::string all;
    int result = 1;
    for (size_t i = 0;; ++i) {
        std::string part = ReadOnce(f, sizes[i % sizes.size()], &result);
        if (!result || part.empty()) break;
        all += part;
    }
    if (ok) *ok = result;
    return all;
}

TEST_F(RecordMode, Fixtures) {
    struct Case {
        const char *label;
        Layers layers;
        std::string file;
        std::string records;  // hex
    };
    const std::vector<Case> cases = {
        {"last record closed by the end, padded", kReadLines, "AB\r\nC", "02 00 41 42 01 00 43 00"},
        {"no empty record after the last line end", kReadLines, "AB\r\n", "02 00 41 42"},
        {"an empty line", kReadLines, "AB\r\n\r\nC\r\n", "02 00 41 42 00 00 01 00 43 00"},
        {"an empty file", kReadLines, "", ""},
        {"without a text layer the file is one record",
         {0, 8, kRecords},
         "ab\r\nc",
         "05 00 61 62 0d 0a 63 00"},
        // In buffers of 6, after "a" exactly a prefix's room remains.
        {"records of one byte", kReadLines, "a\r\nb\r\nc", "01 00 61 00 01 00 62 00 01 00 63 00"},
        // In buffers of 10 each read holds back the start of the next record;
        // in 10, 2, 4 a held record reaches a smaller buffer than it was taken in.
        {"records of three bytes", kReadLines, "abc\r\ndef\r\nghi",
         "03 00 61 62 63 00 03 00 64 65 66 00 03 00 67 68 69 00"},
    };
    const std::vector<std::vector<uint32_t>> sizes = {{2}, {4}, {6}, {10}, {4096}, {10, 2, 4}};
    for (const Case &c : cases) {
        WriteFile(Posix('C', "in.txt"), c.file);
        for (const std::vector<uint32_t> &size : sizes) {
            KXFILE f = kxtest::OpenReading("C:\\in.txt", c.layers);
            ASSERT_NE(f, nullptr);
            EXPECT_EQ(ToHex(ReadInBuffers(f, size)), ToHex(Hex(c.records)))
                << c.label << ", buffers of " << size[0];
            EXPECT_EQ(kxFileClose(f), 1);
        }
    }
}

// What each read gives: a record that fits the buffer is not split, one that
// does not fill it to the last byte.
TEST_F(RecordMode, EachRead) {
    const struct {
        std::string file;
        uint32_t size;
        std::vector<std::string> reads;
    } cases[] = {
        {"abc\r\ndef\r\nghi",
         10,
         {Hex("03 00 61 62 63 00"), Hex("03 00 64 65 66 00"), Hex("03 00 67 68 69 00"), ""}},
        {std::string(100, 'r'),
         20,
         {Hex("64 00") + std::string(18, 'r'), std::string(20, 'r'), std::string(20, 'r'),
          std::string(20, 'r'), std::string(20, 'r'), "rr", ""}},
    };
    for (const auto &c : cases) {
        WriteFile(Posix('C', "in.txt"), c.file);
        KXFILE f = kxtest::OpenReading("C:\\in.txt", kReadLines);
        ASSERT_NE(f, nullptr);
        for (size_t i = 0; i < c.reads.size(); ++i)
            EXPECT_EQ(ToHex(ReadOnce(f, c.size)), ToHex(c.reads[i]))
                << c.file.substr(0, 3) << ", read " << i;
        EXPECT_EQ(kxFileClose(f), 1);
    }
}

TEST_F(RecordMode, LargeBuffersUseAtMost65534Bytes) {
    std::string file;
    for (int i = 0; i < 5; ++i) file += std::string(30000 + i, 'x') + "\r\n";
    WriteFile(Posix('C', "in.txt"), file);
    std::string large = kxtest::ReadThrough("C:\\in.txt", kReadLines, 1u << 20);
    EXPECT_EQ(large.size(), 5 * 2 + 5 * 30000 + 10 + 2u);  // prefixes, data, the two odd pads
    for (uint32_t size : {65535u, 65536u, 65537u, 131072u}) {
        KXFILE f = kxtest::OpenReading("C:\\in.txt", kReadLines);
        ASSERT_NE(f, nullptr);
        std::string all;
        for (std::string part; !(part = ReadOnce(f, size)).empty();) {
            EXPECT_LE(part.size(), 65534u);
            all += part;
        }
        EXPECT_TRUE(all == large) << "buffers of " << size;
        kxFileClose(f);
    }
}

TEST_F(RecordMode, EveryEvenBufferSizeGivesTheSameBytes) {
    std::mt19937 random(5);
    std::string file;
    for (size_t length : {0, 1, 2, 3, 7, 30, 31, 64, 65, 100, 301}) {
        for (size_t i = 0; i < length; ++i) file += static_cast<char>('a' + random() % 26);
        file += "\r\n";
    }
    file += "tail without a line end";
    WriteFile(Posix('C', "in.txt"), file);
    std::string large = kxtest::ReadThrough("C:\\in.txt", kReadLines, 65534);
    ASSERT_EQ(large.substr(0, 8), Hex("00 00 01 00") + file.substr(2, 1) + '\0' + Hex("02 00"));
    for (uint32_t size = 2; size <= 64; size += 2) {
        KXFILE f = kxtest::OpenReading("C:\\in.txt", kReadLines);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(ToHex(ReadInBuffers(f, {size})), ToHex(large)) << "buffers of " << size;
        kxFileClose(f);
    }
}

// Under the character-set layer a record's bytes include shift sequences that
// the layer makes as it goes: a record longer than the buffer must deliver
// exactly the bytes its prefix counted, whatever the read size (odd sizes
// included), with nothing stored past the buffer.
TEST_F(RecordMode, EveryReadSizeGivesTheSameBytesOverCharacterSets) {
    const std::string file = Hex("41 88 9F 88 9F 88 9F 42 0D 0A 43 44 0D 0A") + "plain line\r\n" +
                             Hex("88 9F 20 B1 B2 0D 0A 0D 0A 88 9F");
    WriteFile(Posix('C', "in.txt"), file);
    for (uint16_t host : {52, 53, 54, 56}) {
        const Layers layers{TXT_READ_CRLF_ENDS_RECORD, 8, kRecords, 51, host};
        KXFILE f = kxtest::OpenReading("C:\\in.txt", layers);
        ASSERT_NE(f, nullptr);
        const std::string large = ReadOnce(f, 65534);
        EXPECT_EQ(ReadOnce(f, 65534), "");
        kxFileClose(f);
        // The prefixes chain exactly to the end: six records, the first
        // holding "A", three kanji between the host's shifts, and "B".
        size_t at = 0, records = 0;
        while (at + 2 <= large.size()) {
            const size_t n = static_cast<uint8_t>(large[at]) | static_cast<uint8_t>(large[at + 1])
                                                                   << 8;
            if (records++ == 0) {
                EXPECT_EQ(large[at + 1 + n], 'B') << host;
            }
            at += 2 + n + (n & 1);
        }
        EXPECT_EQ(at, large.size()) << host;
        EXPECT_EQ(records, 6u) << host;
        for (uint32_t size = 1; size <= 40; ++size) {
            f = kxtest::OpenReading("C:\\in.txt", layers);
            int ok = 0;
            EXPECT_EQ(ToHex(ReadInBuffers(f, {size}, &ok)), ToHex(large))
                << "set " << host << ", reads of " << size;
            EXPECT_EQ(ok, 1);
            kxFileClose(f);
        }
    }
}

TEST_F(RecordMode, RecordsLongerThan32767BytesFail) {
    for (uint32_t size : {64u, 65534u}) {
        WriteFile(Posix('C', "in.txt"), std::string(32767, 'a') + "\r\n");
        EXPECT_EQ(kxtest::ReadThrough("C:\\in.txt", kReadLines, size).size(), 2 + 32767 + 1u);
        WriteFile(Posix('C', "in.txt"), "ab\r\n" + std::string(32768, 'a') + "\r\n");
        KXFILE f = kxtest::OpenReading("C:\\in.txt", kReadLines);
        ASSERT_NE(f, nullptr);
        int ok = 1;
        ReadInBuffers(f, {size}, &ok);
        EXPECT_EQ(ok, 0) << size;
        EXPECT_EQ(kxFileErrorVal(), 17);
        kxFileClose(f);
    }
}

TEST_F(RecordMode, Writing) {
    struct Case {
        const char *label;
        std::vector<std::string> writes;  // hex, one per call
        std::vector<uint32_t> counts;
        std::string file;
        int32_t error = 0;  // the writes' failure
    };
    const std::vector<Case> cases = {
        {"records, then the end; what follows is ignored",
         {"03 00 61 62 63 00 ff ff 7a", "01 00 62 00"},
         {4, 0},
         "abc\r\n"},
        {"an empty record", {"00 00 01 00 78 00"}, {3}, "\r\nx\r\n"},
        {"a record split inside its data",
         {"05 00 61 62", "63 64", "65 00 02 00 66 67"},
         {2, 2, 5},
         "abcde\r\nfg\r\n"},
        {"a length of 0x8000 or more is refused", {"00 80"}, {0}, "", 17},
    };
    for (const Case &c : cases) {
        KXFILE f = kxtest::CreateWriting("C:\\out.txt", kWriteLines);
        ASSERT_NE(f, nullptr);
        for (size_t i = 0; i < c.writes.size(); ++i) {
            std::string bytes = Hex(c.writes[i]);
            uint32_t count = 99;
            kxFileErrorClear();
            EXPECT_EQ(kxFileWrite(f, bytes.data(), static_cast<uint32_t>(bytes.size()), &count),
                      c.error ? 0 : 1)
                << c.label;
            EXPECT_EQ(count, c.counts[i]) << c.label << ", write " << i;
            EXPECT_EQ(kxFileErrorVal(), c.error) << c.label;
        }
        EXPECT_EQ(kxFileClose(f), 1);
        EXPECT_EQ(ToHex(ReadFile(Posix('C', "out.txt"))), ToHex(c.file)) << c.label;
    }
}

// Framed bytes handed over in two pieces, split at every offset (inside a
// prefix, in the data, before a pad byte, in the end marker), store the same
// file as one write, and the counts add up to one write's.
TEST_F(RecordMode, WritesMayEndAtAnyByte) {
    const std::string framed = Hex("03 00 61 62 63 00 00 00 02 00 66 67 01 00 7a 00 ff ff 41");
    for (const Layers &layers : {kWriteLines, Layers{0, 8, kRecords}}) {
        ASSERT_TRUE(kxtest::WriteThrough("C:\\one.txt", layers, framed, 4096));
        const std::string whole = ReadFile(Posix('C', "one.txt"));
        // Without the text layer the stream stores a record end as 0xFF.
        ASSERT_EQ(ToHex(whole), ToHex(layers.text ? "abc\r\n\r\nfg\r\nz\r\n"
                                                  : "abc\xff\xff"
                                                    "fg\xffz\xff"));
        for (size_t split = 0; split <= framed.size(); ++split) {
            KXFILE f = kxtest::CreateWriting("C:\\two.txt", layers);
            ASSERT_NE(f, nullptr);
            uint32_t first = 0, second = 0;
            EXPECT_EQ(kxFileWrite(f, framed.data(), static_cast<uint32_t>(split), &first), 1)
                << split;
            EXPECT_EQ(kxFileWrite(f, framed.data() + split,
                                  static_cast<uint32_t>(framed.size() - split), &second),
                      1)
                << split;
            EXPECT_EQ(first + second, 3u + 2u + 1u + 4u) << "split at " << split;
            EXPECT_EQ(kxFileClose(f), 1);
            EXPECT_EQ(ToHex(ReadFile(Posix('C', "two.txt"))), ToHex(whole)) << "split at " << split;
        }
    }
}

TEST_F(RecordMode, SwitchingOn) {
    WriteFile(Posix('C', "in.txt"), "x");
    KXFILE f = kxtest::OpenReading("C:\\in.txt", {0, 8, kRecords});
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(kxFileSetCompression(f, 1), 13);
    EXPECT_EQ(kxFileSetCompression(f, 0), 0);
    EXPECT_EQ(kxFileSetCompression(f, 1), 13);  // record mode stays on
    EXPECT_EQ(kxFileSetCompression(f, kRecords), 13);
    EXPECT_EQ(ReadOnce(f, 64), Hex("01 00 78 00"));
    kxFileClose(f);
}

// Read and written back in buffers of random even lengths, which keep
// prefixes whole (a write's count is data bytes and record ends).
TEST_F(RecordMode, RoundTripsThroughTheTextLayer) {
    std::mt19937 random(11);
    std::string file;
    while (file.size() < 200000) {
        size_t length = random() % 8 == 0 ? random() % 5000 : random() % 80;
        for (size_t i = 0; i < length; ++i) file += static_cast<char>(' ' + random() % 95);
        file += "\r\n";
    }
    WriteFile(Posix('C', "in.txt"), file);
    for (int round = 0; round < 4; ++round) {
        std::vector<uint32_t> sizes[2];
        for (auto &list : sizes)
            for (int i = 0; i < 16; ++i) list.push_back(2 * (1 + random() % 3000));
        KXFILE in = kxtest::OpenReading("C:\\in.txt", kReadLines);
        ASSERT_NE(in, nullptr);
        std::string records;
        ASSERT_TRUE(kxtest::ReadAll(in, sizes[0], records));
        kxFileClose(in);
        KXFILE out = kxtest::CreateWriting("C:\\out.txt", kWriteLines);
        ASSERT_NE(out, nullptr);
        for (size_t at = 0, i = 0; at < records.size(); at += sizes[1][i++ % 16]) {
            uint32_t size =
                static_cast<uint32_t>(std::min<size_t>(sizes[1][i % 16], records.size() - at));
            uint32_t count = 0;
            ASSERT_EQ(kxFileWrite(out, records.data() + at, size, &count), 1);
        }
        ASSERT_EQ(kxFileClose(out), 1);
        std::string back = ReadFile(Posix('C', "out.txt"));
        const size_t differ =
            std::mismatch(back.begin(), back.end(), file.begin(), file.end()).first - back.begin();
        EXPECT_TRUE(back == file) << "round " << round << ": " << back.size() << " bytes of "
                                  << file.size() << ", first difference at " << differ;
    }
}

TEST_F(RecordMode, WritingRandomBytes) {
    std::mt19937 random(99);
    for (bool text : {true, false}) {
        const Layers layers{text ? TXT_WRITE_RECORD_LF : 0, 8, kRecords};
        KXFILE f = kxtest::CreateWriting("C:\\out.txt", layers);
        ASSERT_NE(f, nullptr);
        for (int i = 0; i < 5000; ++i) {
            std::string bytes(1 + random() % 40, '\0');
            for (char &c : bytes)
                c = static_cast<char>(random() % 3 == 0 ? random() % 256 : random() % 4);
            kxFileErrorClear();
            uint32_t count = 7;
            int ok = kxFileWrite(f, bytes.data(), static_cast<uint32_t>(bytes.size()), &count);
            int error = kxFileErrorVal();
            if (!ok) {
                ASSERT_EQ(count, 0u);
                ASSERT_TRUE(error == 17 || error == 0) << error;
            }
            if (ok && f->records->writeStep == kx::kRecordsEnded) {
                // After the end every write succeeds with count 0.
                ASSERT_EQ(kxFileWrite(f, bytes.data(), static_cast<uint32_t>(bytes.size()), &count),
                          1);
                ASSERT_EQ(count, 0u);
                ASSERT_EQ(kxFileClose(f), 1);
                f = kxtest::CreateWriting("C:\\out.txt", layers);
                ASSERT_NE(f, nullptr);
            }
        }
        EXPECT_EQ(kxFileClose(f), 1);
    }
}

}  // namespace
