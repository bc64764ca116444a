// The compression methods: hex fixtures worked out from the stream formats,
// the adaptive coder against a plain working, round trips, random input.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "kxfiles.h"
#include "support/layer_io.h"
#include "support/temp_drives.h"

namespace {

using kxtest::Hex;
using kxtest::Layers;
using kxtest::ToHex;

constexpr uint32_t kReadCrLf = TXT_READ_CRLF_ENDS_RECORD;
constexpr uint32_t kWriteCrLf = TXT_WRITE_RECORD_CRLF;

struct Fixture {
    const char *label;
    uint32_t method;
    uint32_t readText;   // text options on the compressing side (0: no text layer)
    uint32_t writeText;  // text options on the expanding side
    std::string file;    // the file that is compressed
    std::string packed;  // its compressed form, hex
    std::string back;    // the file the expander writes from it
};

std::string Repeat(size_t n, char c) {
    return std::string(n, c);
}

std::vector<Fixture> Fixtures() {
    const std::string dots(230, 'x');
    return {
        // Method 1: 0x00-0x7F as they are, 0x81-0xFD runs of spaces, FE x an
        // escaped byte, FF a record end.
        {"1: data, five spaces, an escaped byte, a record end", 1, kReadCrLf, kWriteCrLf,
         "A     B\xe9\r\n", "41 85 42 fe 69 ff", "A     B\xe9\r\n"},
        {"1: one space", 1, 0, 0, " ", "20", " "},
        {"1: two spaces", 1, 0, 0, "  ", "82", "  "},
        {"1: 125 spaces", 1, 0, 0, Repeat(125, ' '), "fd", Repeat(125, ' ')},
        {"1: 126 spaces", 1, 0, 0, Repeat(126, ' '), "fd 20", Repeat(126, ' ')},
        {"1: 130 spaces", 1, 0, 0, Repeat(130, ' '), "fd 85", Repeat(130, ' ')},
        {"1: spaces at the end", 1, 0, 0, "a   ", "61 83", "a   "},
        {"1: FE and FF escaped", 1, 0, 0, "\xfe\xff", "fe 7e fe 7f", "\xfe\xff"},
        {"1: record end without a text layer", 1, kReadCrLf, 0, "a\r\n", "61 ff", "a\xff"},
        // Method 2: 7E (n + 32) b for runs of 3 to 223, 7E 21 7E for a 0x7E.
        {"2: a run of four", 2, 0, 0, "AAAAB", "7e 24 41 42", "AAAAB"},
        {"2: two equal bytes stay", 2, 0, 0, "AAB", "41 41 42", "AAB"},
        {"2: one 7E", 2, 0, 0, "~", "7e 21 7e", "~"},
        {"2: two 7E", 2, 0, 0, "~~", "7e 21 7e 7e 21 7e", "~~"},
        {"2: 230 in groups of 223 and 7", 2, 0, 0, dots, "7e ff 78 7e 27 78", dots},
        {"2: 225 as 223 and two literals", 2, 0, 0, Repeat(225, 'x'), "7e ff 78 78 78",
         Repeat(225, 'x')},
        {"2: one byte", 2, 0, 0, "Q", "51", "Q"},
        {"2: record ends travel as FF", 2, kReadCrLf, kWriteCrLf, "a\r\n", "61 ff", "a\xff"},
        // Method 8: 0x41 first has rank 65 (class 6, 110000001), then rank 0
        // (0000); the count 1 has rank 1 (0001); the end code fills the byte.
        {"8: four equal bytes", 8, 0, 0, "AAAA", "c0 80 0f ff", "AAAA"},
        // 254 x 0x41: 41 41 41, count 250 (rank 250: 111 1111010), 41 (0000),
        // then 11 end bits and a byte filled with 1-bits.
        {"8: 254 equal bytes", 8, 0, 0, Repeat(254, 'A'), "c0 80 7f 41 ff ff", Repeat(254, 'A')},
        // Two zero bytes: rank 0 twice, exactly one byte, no end code.
        {"8: codes ending on a byte", 8, 0, 0, Repeat(2, '\0'), "00", Repeat(2, '\0')},
        {"8: the text layer is bypassed", 8, kReadCrLf, kWriteCrLf, "AAAA", "c0 80 0f ff", "AAAA"},
        // Method 4 codes method 1's bytes: "AAAA" is the same symbols as for 8.
        {"4: four equal bytes", 4, 0, 0, "AAAA", "c0 80 0f ff", "AAAA"},
        // Two spaces become the symbol 0x82: rank 130, class 7 suffix 2
        // (1110000010), then the end code.
        {"4: a run of spaces", 4, 0, 0, "  ", "e0 bf ff", "  "},
    };
}

using Methods = kxtest::TempDrives;

TEST_F(Methods, FixturesCompress) {
    for (const Fixture &f : Fixtures()) {
        WriteFile(Posix('C', "in.bin"), f.file);
        for (uint32_t size : {1u, 2u, 3u, 4096u}) {
            KXFILE in = kxtest::OpenReading("C:\\in.bin", {f.readText, 8, f.method});
            ASSERT_NE(in, nullptr);
            std::string packed;
            ASSERT_TRUE(kxtest::ReadAll(in, {size}, packed));
            EXPECT_EQ(ToHex(packed), ToHex(Hex(f.packed))) << f.label << ", reads of " << size;
            // After the end every read reports it again: no count coded past it.
            char more[8];
            uint32_t count = 1;
            for (int i = 0; i < 3; ++i) {
                EXPECT_EQ(kxFileRead(in, more, sizeof more, &count), 1);
                EXPECT_EQ(count, 0u) << f.label << ", read " << i << " after the end";
            }
            EXPECT_EQ(kxFileClose(in), 1);
        }
    }
}

TEST_F(Methods, FixturesExpandInEveryPieceSize) {
    for (const Fixture &f : Fixtures()) {
        std::string packed = Hex(f.packed);
        for (uint32_t size = 1; size <= packed.size(); ++size) {
            ASSERT_TRUE(
                kxtest::WriteThrough("C:\\out.bin", {f.writeText, 8, f.method}, packed, size))
                << f.label;
            EXPECT_EQ(ToHex(ReadFile(Posix('C', "out.bin"))), ToHex(f.back))
                << f.label << ", pieces of " << size;
        }
    }
}

// Forms only an expander meets, and the ends of the adaptive coder: the bytes
// each write takes, the file, and the values passed down (selector 2, checked
// under the text layer).
TEST_F(Methods, ExpandingTakesAndCounts) {
    struct Case {
        uint32_t method;
        uint32_t text;
        std::vector<std::string> writes;  // hex, one per call
        std::vector<uint32_t> taken;
        std::string file;
        uint32_t expanded;
    };
    const std::vector<Case> cases = {
        {1, kWriteCrLf, {"41 85 42 fe 69 ff"}, {6}, "A     B\xe9\r\n", 9},
        {1, TXT_DROP_CR, {"80 81 41"}, {3}, " A", 2},  // 80 is nothing, 81 one space
        {1, TXT_DROP_CR, {"41 fe"}, {2}, "A", 1},      // an escape at the very end is dropped
        {2, TXT_DROP_CR, {"7e 24 41 42"}, {4}, "AAAAB", 5},
        {2, TXT_DROP_CR, {"7e 20 41"}, {3}, Repeat(256, 'A'), 256},  // count 0 means 256
        {2, TXT_DROP_CR, {"7e 10 41"}, {3}, Repeat(240, 'A'), 240},  // (0x10 - 32) mod 256
        {2, TXT_DROP_CR, {"41 7e"}, {2}, "A", 1},  // a marker at the end is dropped
        // Method 8 takes nothing from the byte that completes the end code on,
        // in the same write or in later ones.
        {8, TXT_DROP_CR, {"c0 80 0f ff"}, {3}, "AAAA", 4},
        {8, 0, {"c0 80 0f ff 00 00 00 00"}, {3}, "AAAA", 0},
        {8, 0, {"c0 80 7f 41 ff ff 12 34 56 78"}, {5}, Repeat(254, 'A'), 0},
        {8, 0, {"c0 80 0f ff", "00", "00 00 00", "7f ff"}, {3, 0, 0, 0}, "AAAA", 0},
    };
    for (const Case &c : cases) {
        KXFILE f = kxtest::CreateWriting("C:\\out.bin", {c.text, 8, c.method});
        ASSERT_NE(f, nullptr);
        for (size_t i = 0; i < c.writes.size(); ++i) {
            std::string packed = Hex(c.writes[i]);
            uint32_t count = 99;
            ASSERT_EQ(kxFileWrite(f, packed.data(), static_cast<uint32_t>(packed.size()), &count),
                      1);
            EXPECT_EQ(count, c.taken[i]) << c.writes[0] << ", write " << i;
        }
        if (c.text) {
            EXPECT_EQ(kxFileGetBytesWritten(f, 2), c.expanded) << c.writes[0];
        }
        EXPECT_EQ(kxFileClose(f), 1);
        EXPECT_EQ(ToHex(ReadFile(Posix('C', "out.bin"))), ToHex(c.file)) << c.writes[0];
    }
}

TEST_F(Methods, MethodNumbers) {
    EXPECT_EQ(kxFileSetCompression(nullptr, 1), 11);
    EXPECT_EQ(kxFileErrorVal(), 11);
    WriteFile(Posix('C', "in.bin"), "abc");
    for (uint32_t method : {3u, 5u, 6u, 7u, 9u, 31u, 33u}) {
        KXFILE f = kxtest::OpenReading("C:\\in.bin", {});
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(kxFileSetCompression(f, method), 0) << method;  // taken unchecked
        char buffer[8];
        uint32_t count = 5;
        kxFileErrorClear();
        EXPECT_EQ(kxFileRead(f, buffer, sizeof buffer, &count), 0) << method;
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(kxFileErrorVal(), 9) << method;
        kxFileClose(f);
    }
    KXFILE f = kxtest::OpenReading("C:\\in.bin", {});
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(kxFileSetCompression(f, 1), 0);
    EXPECT_EQ(kxFileSetCompression(f, 2), 13);
    EXPECT_EQ(kxFileErrorVal(), 13);
    EXPECT_EQ(kxFileSetCompression(f, 0), 0);
    EXPECT_EQ(kxFileSetCompression(f, 2), 0);  // a new method after turning off
    EXPECT_EQ(kxFileSetCompression(f, 0), 0);
    char buffer[8];
    uint32_t count = 0;
    ASSERT_EQ(kxFileRead(f, buffer, sizeof buffer, &count), 1);  // plain bytes again
    EXPECT_EQ(std::string(buffer, count), "abc");
    EXPECT_EQ(kxFileClose(f), 1);
}

// Text with the runs the formats treat apart: long runs around each limit,
// 0x7E runs, 0xFE and 0xFF, every byte value, a symbol used often enough to
// halve the counts, CR LF lines.
std::string Awkward(std::mt19937 &random, size_t size) {
    std::string out;
    for (int c = 0; c < 256; ++c) out += static_cast<char>(c);
    out += "\r\n";
    while (out.size() < size) {
        const uint32_t kind = random() % 10;
        if (kind == 0) {
            const size_t runs[] = {2, 3, 125, 126, 127, 222, 223, 224, 250, 253, 254, 300};
            out += std::string(runs[random() % 12], " ~xA\xfe\xff"[random() % 6]);
        } else if (kind == 1) {
            out += "\r\n";
        } else if (kind == 2) {
            for (int i = 0; i < 300; ++i)
                out += static_cast<char>(random() % 16 == 0 ? 'e' : 'a' + random() % 3);
        } else if (kind == 3) {
            for (int i = 0; i < 40; ++i) out += static_cast<char>(random());
        } else {
            for (int i = 0; i < 30; ++i) out += "abcdef ghij  klm.\t"[random() % 18];
        }
    }
    return out;
}

// What method 2 gives back under the text layer: record ends travel as 0xFF.
std::string LineEndsAsFF(const std::string &text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool end = text.compare(i, 2, "\r\n") == 0;
        out += end ? '\xff' : text[i];
        i += end;
    }
    return out;
}

// Compressed in mixed read sizes and expanded again, in pieces of one or two
// bytes (round 0: the expanders' byte-by-byte paths) or of mixed sizes (their
// block paths).
TEST_F(Methods, RandomRoundTrips) {
    std::mt19937 random(20260);
    for (int round = 0; round < 3; ++round) {
        // Round 0 writes in pieces of 1 and 2 bytes: a shorter file keeps it quick.
        std::string file = Awkward(random, round == 0 ? 30000 : 60000 + random() % 40000);
        WriteFile(Posix('C', "in.bin"), file);
        uint32_t spaceExpanded = 0;  // method 1's count of values passed down
        for (uint32_t method : {1u, 2u, 4u, 8u}) {
            for (bool text : {false, true}) {
                KXFILE in = kxtest::OpenReading("C:\\in.bin", {text ? kReadCrLf : 0, 8, method});
                ASSERT_NE(in, nullptr);
                std::string packed;
                ASSERT_TRUE(kxtest::ReadAll(in, kxtest::MixedSizes(random), packed));
                kxFileClose(in);
                KXFILE out =
                    kxtest::CreateWriting("C:\\out.bin", {text ? kWriteCrLf : 0, 8, method});
                ASSERT_NE(out, nullptr);
                const auto pieces =
                    round == 0 ? std::vector<uint32_t>{1, 2} : kxtest::MixedSizes(random);
                ASSERT_TRUE(kxtest::WriteAll(out, packed, pieces));
                // Under the text layer, the values passed down counted across
                // many flushes: method 4 passes method 1's, method 8 the file's.
                if (text && method != 2) {
                    uint32_t expanded = kxFileGetBytesWritten(out, 2);
                    if (method == 1) spaceExpanded = expanded;
                    EXPECT_EQ(expanded, method == 8 ? file.size() : spaceExpanded) << method;
                }
                ASSERT_EQ(kxFileClose(out), 1);
                std::string expected = (text && method == 2) ? LineEndsAsFF(file) : file;
                EXPECT_TRUE(ReadFile(Posix('C', "out.bin")) == expected)
                    << "method " << method << ", text " << text;
            }
        }
    }
}

// Method 8 worked out the plain way: the rank table updated by scanning, every
// code emitted bit by bit, runs grouped as three copies and a count of at most
// 250 further copies.
std::string RankCodedPlainly(const std::string &data) {
    struct Entry {
        int count, symbol;
    } table[256];
    for (int i = 0; i < 256; ++i) table[i] = {0, i};
    std::string out;
    int byte = 0, filled = 0;
    auto bit = [&](int b) {
        byte = byte << 1 | b;
        if (++filled == 8) {
            out += static_cast<char>(byte);
            byte = filled = 0;
        }
    };
    auto code = [&](int symbol) {
        int r = 0;
        while (table[r].symbol != symbol) ++r;
        int cls = 0;
        while (cls < 7 && r >= 2 << cls) ++cls;
        int base = cls == 0 ? 0 : 1 << cls, k = cls == 0 ? 1 : cls;
        int suffix = r == 255 ? 127 : r - base;
        for (int i = 2; i >= 0; --i) bit(cls >> i & 1);
        for (int i = k - 1; i >= 0; --i) bit(suffix >> i & 1);
        if (r == 255) bit(0);
        int c = ++table[r].count;
        bool halve = r == 0 && c == 255;
        if (r > 0 && table[r - 1].count < c) {
            int t = r - 1;
            while (t > 0 && table[t - 1].count < c) --t;
            std::swap(table[t], table[r]);
            halve = c == 255;
        }
        if (halve)
            for (Entry &e : table) e.count /= 2;
    };
    for (size_t i = 0; i < data.size();) {
        size_t run = 1;
        while (i + run < data.size() && data[i + run] == data[i]) ++run;
        int symbol = static_cast<unsigned char>(data[i]);
        i += run;
        while (run > 0) {
            size_t plain = std::min<size_t>(run, 3);
            for (size_t k = 0; k < plain; ++k) code(symbol);
            run -= plain;
            if (plain == 3) {
                size_t more = std::min<size_t>(run, 250);
                code(static_cast<int>(more));
                run -= more;
            }
        }
    }
    if (filled != 0) {
        for (int i = 0; i < 11; ++i) bit(1);
        while (filled != 0) bit(1);
    }
    return out;
}

// The coder gathers codes four bytes at a time where the read has room, and
// decodes from eight bytes at a time where the write has them; reads and
// writes of every small size and of thousands of bytes, and data of few or many
// distinct values (few: frequent halving), give the same bytes as the plain working.
TEST_F(Methods, RankCodingInAnySizeAgreesWithThePlainWorking) {
    for (uint32_t seed = 0; seed < 24; ++seed) {
        std::mt19937 random(1000 + seed);
        std::string file;
        if (seed % 3 == 0) {
            file = Awkward(random, 1 + random() % 30000);
        } else if (seed % 3 == 1) {
            // Few values, runs of every length up to past a count group.
            const uint32_t values = 2 + random() % 6;
            const size_t size = 1 + random() % 40000;
            while (file.size() < size) {
                const char c = static_cast<char>(random() % values);
                file.append(random() % 4 == 0 ? random() % 300 : 1, c);
            }
        } else {
            file.resize(random() % 20000);
            for (char &c : file) c = static_cast<char>(random() % (1 + seed * 11));
        }
        WriteFile(Posix('C', "in.bin"), file);
        const std::string expected = RankCodedPlainly(file);
        const uint32_t largest[] = {9, 70, 6000};
        std::vector<uint32_t> sizes;
        for (int i = 0; i < 64; ++i) sizes.push_back(1 + random() % largest[seed / 3 % 3]);
        KXFILE in = kxtest::OpenReading("C:\\in.bin", {0, 8, 8});
        ASSERT_NE(in, nullptr);
        std::string packed;
        ASSERT_TRUE(kxtest::ReadAll(in, sizes, packed));
        kxFileClose(in);
        ASSERT_TRUE(packed == expected) << "seed " << seed << ", " << file.size() << " bytes";
        KXFILE out = kxtest::CreateWriting("C:\\out.bin", {0, 8, 8});
        ASSERT_NE(out, nullptr);
        ASSERT_TRUE(kxtest::WriteAll(out, packed, sizes));
        ASSERT_EQ(kxFileClose(out), 1);
        EXPECT_TRUE(ReadFile(Posix('C', "out.bin")) == file) << "seed " << seed;
    }
}

TEST_F(Methods, ExpandersTakeRandomBytes) {
    std::mt19937 random(77);
    for (uint32_t method : {1u, 2u, 4u, 8u}) {
        for (bool text : {false, true}) {
            const Layers layers{text ? kWriteCrLf : 0, 8, method};
            KXFILE f = kxtest::CreateWriting("C:\\out.bin", layers);
            ASSERT_NE(f, nullptr);
            bool ended = false;
            for (int i = 0; i < 3000; ++i) {
                if (ended && random() % 4 == 0) {
                    // A fresh expander, so that most of the input is decoded.
                    ASSERT_EQ(kxFileClose(f), 1);
                    f = kxtest::CreateWriting("C:\\out.bin", layers);
                    ASSERT_NE(f, nullptr);
                    ended = false;
                }
                std::string bytes(1 + random() % 64, '\0');
                for (char &c : bytes) c = static_cast<char>(random());
                uint32_t count = 12345;
                ASSERT_EQ(kxFileWrite(f, bytes.data(), static_cast<uint32_t>(bytes.size()), &count),
                          1);
                ASSERT_LE(count, ended ? 0u : bytes.size()) << "nothing after the end code";
                if (method < 4) {
                    ASSERT_EQ(count, bytes.size()) << "every byte is valid input";
                }
                ended = count < bytes.size();
            }
            EXPECT_EQ(kxFileClose(f), 1);
        }
    }
}

}  // namespace
