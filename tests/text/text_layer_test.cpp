// The text layer: values read from files with each option, bytes written for
// each option, and what closing, inserting data and counting records do.
#include "text/text_layer.h"

#include <gtest/gtest.h>

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
using kxtest::TempDrives;
using kxtest::ToHex;

constexpr uint16_t R = 0x1FF;   // a record end
constexpr uint16_t E = 0xFFFF;  // the end of the data
constexpr uint16_t SP = 0x20;

using TextLayer = TempDrives;

// The values TextGetValue gives for a file, up to and including the first end.
std::vector<uint16_t> ValuesOf(KXFILE file) {
    std::vector<uint16_t> values;
    for (int i = 0; i < 100000; ++i) {
        uint16_t v = kx::TextGetValue(file);
        values.push_back(v);
        if (v == E) break;
    }
    return values;
}

std::vector<uint16_t> Spaces(int n) {
    return std::vector<uint16_t>(n, SP);
}

std::vector<uint16_t> Join(std::initializer_list<std::vector<uint16_t>> parts) {
    std::vector<uint16_t> all;
    for (const auto &p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST_F(TextLayer, ReadingTurnsBytesIntoValues) {
    struct Case {
        const char *label;
        uint32_t options;
        uint32_t width;
        std::string file;
        std::vector<uint16_t> values;
    };
    const uint32_t crlf = TXT_READ_CRLF_ENDS_RECORD;
    const std::vector<Case> cases = {
        {"CR LF ends a record", crlf, 8, "AB\r\nC", {'A', 'B', R, 'C', E}},
        {"a CR alone stays", crlf, 8, "AB\rC", {'A', 'B', 13, 'C', E}},
        {"a final CR stays", crlf, 8, "AB\r", {'A', 'B', 13, E}},
        {"CR CR LF", crlf, 8, "\r\r\n", {13, R, E}},
        {"CR ends a record", TXT_READ_CR_ENDS_RECORD, 8, "A\rB\n", {'A', R, 'B', 10, E}},
        {"LF ends a record", TXT_READ_LF_ENDS_RECORD, 8, "A\rB\n", {'A', 13, 'B', R, E}},
        {"Ctrl-Z ends the data",
         TXT_READ_CTRLZ_ENDS,
         8,
         "AB\x1a"
         "CD",
         {'A', 'B', E}},
        {"Ctrl-Z without the option", TXT_DROP_CR, 8, "A\x1a", {'A', 26, E}},
        {"CR gains an LF", TXT_READ_CR_TO_CRLF, 8, "A\rB", {'A', 13, 10, 'B', E}},
        {"CR alone ends a record",
         crlf | TXT_READ_CR_TO_CRLF,
         8,
         "A\rB\r\nC",
         {'A', R, 'B', R, 10, 'C', E}},
        {"CR and LF dropped", TXT_DROP_CR | TXT_DROP_LF, 8, "A\r\r\n\nB", {'A', 'B', E}},
        {"CR dropped", TXT_DROP_CR, 8, "A\r\nB", {'A', 10, 'B', E}},
        {"LF dropped", TXT_DROP_LF, 8, "A\r\nB", {'A', 13, 'B', E}},
        {"tab at column 0", TXT_TABS, 8, "\tX", Join({Spaces(8), {'X', E}})},
        {"tab at column 5", TXT_TABS, 8, "ABCDE\tX",
         Join({{'A', 'B', 'C', 'D', 'E'}, Spaces(3), {'X', E}})},
        {"tab at column 7", TXT_TABS, 8, "ABCDEFG\tX",
         Join({{'A', 'B', 'C', 'D', 'E', 'F', 'G'}, Spaces(1), {'X', E}})},
        {"columns restart after a line end", TXT_TABS | TXT_READ_LF_ENDS_RECORD, 4, "AB\n\tX",
         Join({{'A', 'B', R}, Spaces(4), {'X', E}})},
        {"tab without the option", TXT_DROP_CR, 8, "\tX", {9, 'X', E}},
        {"tab width 0 keeps tabs", TXT_TABS, 0, "A\tB", {'A', 9, 'B', E}},
        {"0xFF is data", TXT_TABS, 8, "A\xff", {'A', 255, E}},
    };
    for (const Case &c : cases) {
        WriteFile(Posix('C', "in.txt"), c.file);
        KXFILE f = kxtest::OpenReading("C:\\in.txt", {c.options, c.width, 0});
        ASSERT_NE(f, nullptr) << c.label;
        EXPECT_EQ(ValuesOf(f), c.values) << c.label;
        EXPECT_EQ(kx::TextGetValue(f), E) << c.label << ": the end stays the end";
        EXPECT_EQ(kxFileClose(f), 1);
    }
}

TEST_F(TextLayer, WritingTurnsValuesIntoBytes) {
    struct Case {
        const char *label;
        uint32_t options;
        uint32_t width;
        std::vector<uint16_t> values;
        std::string file;
    };
    const uint32_t tabs = TXT_SPACES_TO_TABS;
    auto text = [](const std::string &s) { return std::vector<uint16_t>(s.begin(), s.end()); };
    const std::vector<Case> cases = {
        {"record end as CR LF, trailing spaces dropped",
         TXT_WRITE_RECORD_CRLF | TXT_STRIP_TRAILING_SPACES,
         8,
         {'A', 'B', SP, SP, SP, R},
         "AB\r\n"},
        {"spaces inside a line kept", TXT_STRIP_TRAILING_SPACES, 8, text("A  B\n"), "A  B\n"},
        {"record end as CR", TXT_WRITE_RECORD_CR, 8, {'A', R}, "A\r"},
        {"record end as LF", TXT_WRITE_RECORD_LF, 8, {'A', R}, "A\n"},
        {"record end as nothing", TXT_WRITE_RECORD_NOTHING, 8, {'A', R, 'B'}, "AB"},
        {"record end as 0xFF", TXT_DROP_CR, 8, {'A', R}, "A\xff"},
        {"six spaces from column 5", tabs, 8, text("ABCDE      X"), "ABCDE\t   X"},
        {"one space stays", tabs, 8, text("A B"), "A B"},
        {"two spaces to the tab stop", tabs, 8, text("ABCDEF  X"), "ABCDEF\tX"},
        {"after '.' two spaces stay", tabs, 8, text("ABCDE.  X"), "ABCDE.  X"},
        {"after '.' three spaces compress", tabs, 8, text("ABCDE.   X"), "ABCDE.\t X"},
        {"not after a quote", tabs, 8, text("A\"CDEF  X"), "A\"CDEF  X"},
        {"not after an apostrophe", tabs, 8, text("A'CDEF  X"), "A'CDEF  X"},
        {"again after the line end", tabs, 8, text("\"\nABCDEF  X"), "\"\nABCDEF\tX"},
        {"tabs set the column", tabs | TXT_TABS, 8, text("\tABCDEF  X"), "\tABCDEF\tX"},
        {"tabs count one column", tabs, 8, text("\tABCDEF  X"), "\tABCDEF\t X"},
        {"LF gains a CR", TXT_WRITE_LF_TO_CRLF, 8, text("A\nB\r\nC"), "A\r\nB\r\nC"},
        {"LF dropped", TXT_DROP_LF, 8, text("A\r\nB"), "A\rB"},
        {"CR dropped", TXT_DROP_CR, 8, text("A\r\nB"), "A\nB"},
        {"tab width 0: tabs and spaces stay", tabs | TXT_TABS, 0, text("ABCDEFGH        X\tY"),
         "ABCDEFGH        X\tY"},
        // Spaces still collected at the close are written out.
        {"at close, short of a tab stop", tabs, 8, text("AB  "), "AB  "},
        {"at close, up to a tab stop", tabs, 8, text("ABCDEF  "), "ABCDEF\t"},
        {"at close, before Ctrl-Z", tabs | TXT_CTRLZ_AT_CLOSE, 8, text("A "), "A \x1a"},
        {"at close, trailing spaces dropped", TXT_STRIP_TRAILING_SPACES, 8, text("AB   "), "AB"},
        {"at close, dropped before Ctrl-Z", TXT_STRIP_TRAILING_SPACES | TXT_CTRLZ_AT_CLOSE, 8,
         text("AB   "), "AB\x1a"},
    };
    for (const Case &c : cases) {
        KXFILE f = kxtest::CreateWriting("C:\\out.txt", {c.options, c.width, 0});
        ASSERT_NE(f, nullptr) << c.label;
        for (uint16_t v : c.values) ASSERT_NE(kx::TextPutValue(f, v), 0xFFFE) << c.label;
        EXPECT_EQ(kxFileClose(f), 1) << c.label;
        EXPECT_EQ(ToHex(ReadFile(Posix('C', "out.txt"))), ToHex(c.file)) << c.label;
    }
}

TEST_F(TextLayer, ReadAndWriteEntries) {
    // Through kxFileRead a record end arrives as 0xFF; through kxFileWrite 0xFF
    // is an ordinary byte.
    WriteFile(Posix('C', "in.txt"), "ab\r\ncd\r\n");
    EXPECT_EQ(kxtest::ReadThrough("C:\\in.txt", {TXT_READ_CRLF_ENDS_RECORD, 8, 0}, 3),
              "ab\xff"
              "cd\xff");
    ASSERT_TRUE(kxtest::WriteThrough("C:\\out.txt", {TXT_WRITE_RECORD_CRLF, 8, 0}, "ab\xff"));
    EXPECT_EQ(ReadFile(Posix('C', "out.txt")), "ab\xff");

    // A record end put through the value operation is counted (selector 3).
    KXFILE f = kxtest::CreateWriting("C:\\out.txt", {TXT_WRITE_RECORD_CRLF, 8, 0});
    ASSERT_NE(f, nullptr);
    kx::TextPutValue(f, 'x');
    kx::TextPutValue(f, R);
    kx::TextPutValue(f, R);
    EXPECT_EQ(kxFileGetBytesWritten(f, 3), 2u);
    EXPECT_EQ(kxFileSetTranslation(f, 0, 0), 0);
    kxFileErrorClear();
    EXPECT_EQ(kxFileGetBytesWritten(f, 3), 0u);  // the layer is off
    EXPECT_EQ(kxFileErrorVal(), 9);
    EXPECT_EQ(kxFileClose(f), 1);
    EXPECT_EQ(ReadFile(Posix('C', "out.txt")), "x\r\n\r\n");
}

// A reading handle under the text layer refuses writes, and closing it
// writes no Ctrl-Z and no collected spaces.
TEST_F(TextLayer, AReadHandleKeepsItsDirection) {
    WriteFile(Posix('C', "in.txt"), "abc");
    KXFILE f = kxtest::OpenReading("C:\\in.txt", {TXT_CTRLZ_AT_CLOSE | TXT_SPACES_TO_TABS, 8, 0});
    ASSERT_NE(f, nullptr);
    uint32_t count = 7;
    EXPECT_EQ(kxFileWrite(f, "x", 1, &count), 0);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(kxFileErrorVal(), 1);
    char buffer[16];
    ASSERT_EQ(kxFileRead(f, buffer, sizeof buffer, &count), 1);
    EXPECT_EQ(count, 3u);
    kxFileErrorClear();
    EXPECT_EQ(kxFileClose(f), 1);
    EXPECT_EQ(kxFileErrorVal(), 0);
    EXPECT_EQ(ReadFile(Posix('C', "in.txt")), "abc");
}

TEST_F(TextLayer, InsertedDataEndingIn0xFFEndsARecordOnce) {
    struct Case {
        uint32_t options;
        std::string inserted;
        std::vector<uint16_t> values;
    };
    const std::vector<Case> cases = {
        {TXT_TABS, "Z\xff", {'Z', R, E}},
        {TXT_TABS, "\xff\xff", {R, 255, E}},  // the flag turns one 0xFF only
        {TXT_TABS, "Z", {'Z', E}},
        {TXT_TABS | TXT_READ_CRLF_ENDS_RECORD, "Z\xff", {'Z', 255, E}},
        {TXT_TABS | TXT_READ_CR_ENDS_RECORD, "Z\xff", {'Z', 255, E}},
        {TXT_TABS | TXT_READ_LF_ENDS_RECORD, "Z\xff", {'Z', 255, E}},
    };
    for (const Case &c : cases) {
        WriteFile(Posix('C', "in.txt"), "Q");
        KXFILE f = kxtest::OpenReading("C:\\in.txt", {c.options, 8, 0});
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(kx::TextGetValue(f), 'Q');
        ASSERT_EQ(kxFileInsertData(f, c.inserted.data(), static_cast<uint32_t>(c.inserted.size())),
                  1);
        EXPECT_EQ(ValuesOf(f), c.values) << ToHex(c.inserted);
        kxFileClose(f);
    }
}

// kxFileWrite takes runs of ordinary bytes as blocks; TextPutValue one at a
// time is the reference. Same file, same layer state, for every write option.
TEST_F(TextLayer, BlockWritesAgreeWithValueWrites) {
    std::mt19937 random(3);
    const char alphabet[] = "ab. \"'\t\r\n  xyz\xff";
    const uint32_t writeOptions[] = {TXT_SPACES_TO_TABS,   TXT_TABS,    TXT_STRIP_TRAILING_SPACES,
                                     TXT_WRITE_LF_TO_CRLF, TXT_DROP_LF, TXT_DROP_CR};
    for (int round = 0; round < 40; ++round) {
        uint32_t options = TXT_CTRLZ_AT_CLOSE;
        for (uint32_t o : writeOptions)
            if (random() % 2) options |= o;
        std::string data(20000 + random() % 10000, '\0');
        for (char &c : data) c = alphabet[random() % (sizeof alphabet - 1)];
        const auto width = static_cast<uint32_t>(random() % 10);  // 0 included
        kx::TextFields states[2];
        std::string files[2];
        for (int block = 0; block < 2; ++block) {
            KXFILE f = kxtest::CreateWriting("C:\\out.txt", {options, width, 0});
            ASSERT_NE(f, nullptr);
            if (block) {
                ASSERT_TRUE(kxtest::WriteAll(f, data, kxtest::MixedSizes(random, 5000)));
            } else {
                for (char c : data) ASSERT_NE(kx::TextPutValue(f, static_cast<uint8_t>(c)), 0xFFFE);
            }
            states[block] = f->text->work;
            ASSERT_EQ(kxFileClose(f), 1);
            files[block] = ReadFile(Posix('C', "out.txt"));
        }
        EXPECT_TRUE(files[0] == files[1]) << "options " << std::hex << options;
        auto fields = [](const kx::TextFields &t) {
            return std::vector<uint32_t>{t.phase,  t.pending,        t.column,   t.inQuotes,
                                         t.minRun, t.recordsWritten, t.lastWasCR};
        };
        EXPECT_EQ(fields(states[0]), fields(states[1])) << "options " << std::hex << options;
    }
}

TEST_F(TextLayer, SwitchingOnAndOff) {
    EXPECT_EQ(kxFileSetTranslation(nullptr, TXT_TABS, 8), 11);
    EXPECT_EQ(kxFileErrorVal(), 11);
    WriteFile(Posix('C', "in.txt"), "a\tb\r\n");
    KXFILE f = kxtest::OpenReading("C:\\in.txt", {});
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(kxFileSetTranslation(f, 0, 0), 0);  // off without a state
    EXPECT_EQ(f->text, nullptr);
    ASSERT_EQ(kxFileSetTranslation(f, TXT_TABS, 4), 0);
    char buffer[4];
    uint32_t count = 0;
    ASSERT_EQ(kxFileRead(f, buffer, 2, &count), 1);  // "a" and the first of 3 spaces
    // Switched on again: a fresh state, so no spaces of the tab remain due.
    ASSERT_EQ(kxFileSetTranslation(f, TXT_READ_CRLF_ENDS_RECORD, 4), 0);
    ASSERT_EQ(kxFileRead(f, buffer, 4, &count), 1);
    EXPECT_EQ(std::string(buffer, count), "b\xff");
    EXPECT_EQ(kxFileClose(f), 1);
}

}  // namespace
