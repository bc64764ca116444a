// The buffered stream, driven directly: byte and block operations, direction
// rules, positions, insertion, marks, and failures of the disk.
#include "core/stream.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "kxfiles.h"
#include "platform/test_hooks.h"
#include "support/temp_drives.h"

namespace {

using kx::BufferedStream;
using kxtest::TempDrives;

std::string Pattern(size_t size, uint32_t seed = 1) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char &c : bytes) c = static_cast<char>(random());
    return bytes;
}

class StreamTest : public TempDrives {
protected:
    BufferedStream *Open(const char *name, uint32_t mode) {
        BufferedStream *stream = nullptr;
        EXPECT_EQ(kx::OpenStream(name, mode, &stream), 0) << name;
        return stream;
    }
    BufferedStream *Create(const char *name) {
        BufferedStream *stream = nullptr;
        EXPECT_EQ(kx::CreateStream(name, kx::kOpenReadWrite, &stream), 0) << name;
        return stream;
    }
    static std::string Drain(BufferedStream *stream) {
        std::string bytes;
        for (int c; (c = kx::GetByte(stream)) >= 0;) bytes.push_back(static_cast<char>(c));
        return bytes;
    }
    static uint32_t BytesRead(BufferedStream *stream) {
        uint32_t n = 0;
        EXPECT_EQ(kx::StreamBytesRead(stream, &n), 0);
        return n;
    }
    static uint32_t BytesWritten(BufferedStream *stream) {
        uint32_t n = 0;
        EXPECT_EQ(kx::StreamBytesWritten(stream, &n), 0);
        return n;
    }
};

// An empty file, a buffer and a byte, more than a buffer: read by bytes and
// in one block, every byte comes, then the end, again and again.
TEST_F(StreamTest, ReadsStopAtTheEnd) {
    for (size_t size : {0u, 4097u, 6000u}) {
        const std::string data = Pattern(size);
        WriteFile(Posix('C', "f"), data);
        BufferedStream *s = Open("C:\\f", 0);
        for (size_t i = 0; i < size; ++i) {
            if (i == 4096) {
                EXPECT_EQ(s->filledTotal, 4096u);  // the second fill only when needed
            }
            ASSERT_EQ(kx::GetByte(s), static_cast<uint8_t>(data[i]));
        }
        EXPECT_EQ(kx::GetByte(s), kx::kStreamEnd);
        EXPECT_EQ(kx::GetByte(s), kx::kStreamEnd);
        EXPECT_EQ(BytesRead(s), size);
        EXPECT_EQ(kx::CloseStream(s), 0);
        s = Open("C:\\f", 0);
        std::vector<char> buffer(10000);
        uint32_t count = 99;
        ASSERT_EQ(kx::ReadBlock(s, buffer.data(), 10000, &count), 1);
        EXPECT_EQ(std::string(buffer.data(), count), data);
        EXPECT_EQ(kx::ReadBlock(s, buffer.data(), 10000, &count), 1);
        EXPECT_EQ(count, 0u);
        kx::CloseStream(s);
    }
}

TEST_F(StreamTest, TheFourThousandNinetySeventhPutFlushesTheFirstBuffer) {
    BufferedStream *s = Create("C:\\out");
    for (int i = 0; i < 4096; ++i) ASSERT_EQ(kx::PutByte(s, 'a'), 'a');
    EXPECT_EQ(std::filesystem::file_size(Posix('C', "out")), 0u);
    ASSERT_EQ(kx::PutByte(s, 'b'), 'b');
    EXPECT_EQ(std::filesystem::file_size(Posix('C', "out")), 4096u);
    EXPECT_EQ(BytesWritten(s), 4097u);
    EXPECT_EQ(kx::CloseStream(s), 0);
    EXPECT_EQ(ReadFile(Posix('C', "out")), std::string(4096, 'a') + "b");
}

TEST_F(StreamTest, DirectionRulesRefuseWithAccessDenied) {
    WriteFile(Posix('C', "f"), "abc");
    BufferedStream *readOnly = Open("C:\\f", 0);
    uint32_t count = 7;
    EXPECT_EQ(kx::WriteBlock(readOnly, "xyz", 3, &count), 0);
    EXPECT_EQ(kx::TakeStreamError(readOnly), 1);
    EXPECT_EQ(count, 0u);
    kx::CloseStream(readOnly);

    BufferedStream *writeOnly = Open("C:\\f", kx::kOpenWrite);
    EXPECT_EQ(kx::GetByte(writeOnly), kx::kStreamError);
    EXPECT_EQ(kx::TakeStreamError(writeOnly), 1);
    kx::CloseStream(writeOnly);

    // An update stream that has read may not write until it is positioned.
    BufferedStream *update = Open("C:\\f", kx::kOpenReadWrite);
    EXPECT_EQ(Drain(update), "abc");
    EXPECT_EQ(kx::PutByte(update, 'Z'), kx::kStreamError);
    EXPECT_EQ(kx::TakeStreamError(update), 1);
    uint32_t position = 0;
    EXPECT_EQ(kx::SetPosition(update, 1, 0, &position), 0);
    EXPECT_EQ(kx::PutByte(update, 'Z'), 'Z');
    kx::CloseStream(update);
    EXPECT_EQ(ReadFile(Posix('C', "f")), "aZc");
}

TEST_F(StreamTest, AppendStepsBackOverAFinalCtrlZOnlyWhenAsked) {
    struct Case {
        std::string content;
        uint32_t flags;
        std::string expected;
    } cases[] = {
        {"text\x1a", kx::kAppendSkipCtrlZ, "text!"},
        {"text", kx::kAppendSkipCtrlZ, "text!"},
        {"text\x1a", 0, "text\x1a!"},
        {"", kx::kAppendSkipCtrlZ, "!"},
        {"\x1a", kx::kAppendSkipCtrlZ, "!"},
    };
    for (const Case &c : cases) {
        WriteFile(Posix('C', "log"), c.content);
        BufferedStream *s = nullptr;
        ASSERT_EQ(kx::AppendStream("C:\\log", c.flags, kx::kOpenReadWrite, &s), 0);
        EXPECT_EQ(kx::PutByte(s, '!'), '!');
        EXPECT_EQ(kx::CloseStream(s), 0);
        EXPECT_EQ(ReadFile(Posix('C', "log")), c.expected) << c.content;
    }
}

// Inserted bytes come before the rest, also after a return to a mark set
// among them.
TEST_F(StreamTest, InsertBufferGivesBytesBackBeforeTheRest) {
    WriteFile(Posix('C', "f"), "xyz");
    BufferedStream *s = Open("C:\\f", 0);
    std::string big(4096, 'q');
    EXPECT_EQ(kx::InsertBuffer(s, big.data(), 4096), 15);
    EXPECT_EQ(kx::InsertBuffer(s, "ab", 2), 0);
    EXPECT_EQ(kx::InsertBuffer(s, "cd", 2), 14);  // unread bytes are buffered
    EXPECT_EQ(kx::GetByte(s), 'a');
    ASSERT_EQ(kx::MarkPosition(s), 0);
    EXPECT_EQ(Drain(s), "bxyz");
    ASSERT_EQ(kx::ReturnToMark(s), 0);
    EXPECT_EQ(Drain(s), "bxyz");
    EXPECT_EQ(kx::InsertBuffer(s, big.data(), 4095), 0);
    EXPECT_EQ(Drain(s), big.substr(0, 4095));
    kx::CloseStream(s);
}

TEST_F(StreamTest, InsertBufferRefusesAStreamThatHoldsBytesToWrite) {
    BufferedStream *s = Create("C:\\f");
    std::string data(4096, 'w');  // a full buffer, not yet written
    for (char c : data) kx::PutByte(s, c);
    EXPECT_EQ(s->count, 0u);
    EXPECT_EQ(kx::InsertBuffer(s, "oops", 4), 1);
    EXPECT_EQ(kx::CloseStream(s), 0);
    EXPECT_EQ(ReadFile(Posix('C', "f")), data);

    BufferedStream *writeOnly = Open("C:\\f", kx::kOpenWrite);
    EXPECT_EQ(kx::InsertBuffer(writeOnly, "a", 1), 1);
    kx::CloseStream(writeOnly);
}

TEST_F(StreamTest, PositionsFollowTheLogicalPlace) {
    std::string data = Pattern(10000);
    WriteFile(Posix('C', "f"), data);
    BufferedStream *s = Open("C:\\f", kx::kOpenReadWrite);
    for (int i = 0; i < 10; ++i) kx::GetByte(s);
    uint32_t position = 0;
    ASSERT_EQ(kx::GetPosition(s, &position), 0);
    EXPECT_EQ(position, 10u);
    // Relative to the logical position, not the file's (which is 4096).
    ASSERT_EQ(kx::SetPosition(s, 5, 1, &position), 0);
    EXPECT_EQ(position, 15u);
    // After positioning, an update stream that has neither read nor written
    // since is at the new place.
    ASSERT_EQ(kx::GetPosition(s, &position), 0);
    EXPECT_EQ(position, 15u);
    EXPECT_EQ(kx::GetByte(s), static_cast<uint8_t>(data[15]));
    ASSERT_EQ(kx::SetPosition(s, -1, 2, &position), 0);
    EXPECT_EQ(position, 9999u);
    EXPECT_EQ(kx::GetByte(s), static_cast<uint8_t>(data[9999]));
    EXPECT_EQ(kx::SetPosition(s, -20000, 1, &position), 9);  // before the start
    EXPECT_EQ(kx::SetPosition(s, 0, 3, &position), 9);       // no such origin
    kx::CloseStream(s);
}

TEST_F(StreamTest, SizeAndTruncateSeePendingWrites) {
    BufferedStream *s = Create("C:\\f");
    for (int i = 0; i < 100; ++i) kx::PutByte(s, 'a' + i % 26);
    uint32_t size = 0;
    ASSERT_EQ(kx::GetStreamSize(s, &size), 0);
    EXPECT_EQ(size, 100u);
    uint32_t position = 0;
    ASSERT_EQ(kx::SetPosition(s, 40, 0, &position), 0);
    ASSERT_EQ(kx::TruncateStream(s), 1);
    ASSERT_EQ(kx::GetStreamSize(s, &size), 0);
    EXPECT_EQ(size, 40u);
    EXPECT_EQ(kx::CloseStream(s), 0);
    EXPECT_EQ(std::filesystem::file_size(Posix('C', "f")), 40u);
}

// Reading a record twice: whatever happened to the buffer since the mark, the
// same bytes come back.
TEST_F(StreamTest, ReturnToMarkBringsBackTheBytesOfTheMark) {
    std::string data = Pattern(9000, 7);
    WriteFile(Posix('C', "f"), data);
    for (size_t markAt : {0u, 100u, 4095u, 4096u, 4097u, 8500u, 9000u}) {
        BufferedStream *s = Open("C:\\f", 0);
        for (size_t i = 0; i < markAt; ++i) kx::GetByte(s);
        uint32_t readBefore = BytesRead(s);
        ASSERT_EQ(kx::MarkPosition(s), 0);
        std::string first = Drain(s);  // to the end: full fills, then a short one
        EXPECT_EQ(first, data.substr(markAt));
        ASSERT_EQ(kx::ReturnToMark(s), 0) << markAt;
        EXPECT_EQ(BytesRead(s), readBefore);
        EXPECT_EQ(Drain(s), first) << markAt;
        ASSERT_EQ(kx::ReturnToMark(s), 0);
        EXPECT_EQ(Drain(s), first) << "twice, " << markAt;
        kx::CloseStream(s);
    }
}

TEST_F(StreamTest, BlockPathsMatchTheBytePath) {
    std::string data = Pattern(3 * 4096 + 1234, 3);
    WriteFile(Posix('C', "f"), data);
    std::mt19937 random(11);
    const uint32_t sizes[] = {1, 7, 4095, 4096, 4097, 10000, 65536};
    for (int round = 0; round < 20; ++round) {
        BufferedStream *blocks = Open("C:\\f", 0);
        BufferedStream *bytes = Open("C:\\f", 0);
        std::string viaBlocks, viaBytes;
        for (;;) {
            uint32_t want = sizes[random() % std::size(sizes)];
            std::vector<char> buffer(want);
            uint32_t got = 0;
            ASSERT_EQ(kx::ReadBlock(blocks, buffer.data(), want, &got), 1);
            viaBlocks.append(buffer.data(), got);
            for (uint32_t i = 0; i < want; ++i) {
                int c = kx::GetByte(bytes);
                if (c < 0) break;
                viaBytes.push_back(static_cast<char>(c));
            }
            ASSERT_EQ(viaBlocks, viaBytes);
            ASSERT_EQ(BytesRead(blocks), BytesRead(bytes));
            if (got < want) break;
        }
        EXPECT_EQ(viaBlocks, data);
        kx::CloseStream(blocks);
        kx::CloseStream(bytes);

        BufferedStream *out = Create("C:\\blocks");
        BufferedStream *outBytes = Create("C:\\bytes");
        size_t done = 0;
        while (done < data.size()) {
            uint32_t n = std::min<uint32_t>(sizes[random() % std::size(sizes)],
                                            static_cast<uint32_t>(data.size() - done));
            uint32_t count = 0;
            ASSERT_EQ(kx::WriteBlock(out, data.data() + done, n, &count), 1);
            EXPECT_EQ(count, n);
            for (uint32_t i = 0; i < n; ++i)
                kx::PutByte(outBytes, static_cast<uint8_t>(data[done + i]));
            done += n;
            ASSERT_EQ(BytesWritten(out), BytesWritten(outBytes));
        }
        EXPECT_EQ(kx::CloseStream(out), 0);
        EXPECT_EQ(kx::CloseStream(outBytes), 0);
        EXPECT_EQ(ReadFile(Posix('C', "blocks")), data);
        EXPECT_EQ(ReadFile(Posix('C', "bytes")), data);
    }
}

TEST_F(StreamTest, AFullDiskIsReportedAndNothingIsWrittenTwice) {
    std::string data = Pattern(5000, 5);
    BufferedStream *s = Create("C:\\f");
    kx::os::testing::SetDiskSpace(1000);
    int failedAt = -1;
    for (size_t i = 0; i < data.size() && failedAt < 0; ++i)
        if (kx::PutByte(s, static_cast<uint8_t>(data[i])) == kx::kStreamError)
            failedAt = static_cast<int>(i);
    EXPECT_EQ(failedAt, 4096);
    EXPECT_EQ(kx::TakeStreamError(s), 12);
    EXPECT_EQ(ReadFile(Posix('C', "f")), data.substr(0, 1000));
    // Room again: the rest of the buffer follows what the disk already took.
    kx::os::testing::SetDiskSpace(-1);
    ASSERT_EQ(kx::FlushBuffer(s, static_cast<uint8_t>(data[4096])),
              static_cast<uint8_t>(data[4096]));
    for (size_t i = 4097; i < data.size(); ++i) kx::PutByte(s, static_cast<uint8_t>(data[i]));
    EXPECT_EQ(kx::CloseStream(s), 0);
    EXPECT_EQ(ReadFile(Posix('C', "f")), data);
}

TEST_F(StreamTest, CloseReportsAFailedFinalFlush) {
    BufferedStream *s = Create("C:\\f");
    for (int i = 0; i < 300; ++i) kx::PutByte(s, 'x');
    kx::os::testing::SetDiskSpace(10);
    EXPECT_EQ(kx::CloseStream(s), 12);
    EXPECT_EQ(ReadFile(Posix('C', "f")), std::string(10, 'x'));
}

TEST_F(StreamTest, OpenModesSelectAccessAndSharing) {
    WriteFile(Posix('C', "f"), "data");
    BufferedStream *exclusive = Open("C:\\f", kx::kOpenDenyAll);
    BufferedStream *second = nullptr;
    EXPECT_EQ(kx::OpenStream("C:\\f", 0, &second), 7);
    kx::CloseStream(exclusive);

    BufferedStream *denyWrite = Open("C:\\f", kx::kOpenDenyWrite);
    EXPECT_EQ(kx::OpenStream("C:\\f", kx::kOpenWrite, &second), 7);
    BufferedStream *reader = Open("C:\\f", 0);
    ASSERT_NE(reader, nullptr);
    kx::CloseStream(reader);
    kx::CloseStream(denyWrite);

    // Bits 0 and 1 together: opened for both, but a write-only stream.
    BufferedStream *both = Open("C:\\f", kx::kOpenWrite | kx::kOpenReadWrite);
    EXPECT_EQ(both->mode, kx::kModeWriting);
    kx::CloseStream(both);
    EXPECT_EQ(kx::OpenStream("C:\\missing", 0, &second), 5);
    EXPECT_EQ(kx::OpenStream("C:\\nodir\\f", 0, &second), 6);
}

TEST_F(StreamTest, NullStreamsAreRefused) {
    uint32_t n = 0;
    EXPECT_EQ(kx::FillBuffer(nullptr), kx::kStreamError);
    EXPECT_EQ(kx::FlushBuffer(nullptr, 'a'), kx::kStreamError);
    EXPECT_EQ(kx::ReadBlock(nullptr, &n, 1, &n), 0);
    EXPECT_EQ(kx::WriteBlock(nullptr, &n, 1, &n), 0);
    EXPECT_EQ(kx::TruncateStream(nullptr), 0);
    EXPECT_EQ(kx::TakeStreamError(nullptr), 11);
    EXPECT_EQ(kx::CloseStream(nullptr), 11);
    EXPECT_EQ(kx::GetPosition(nullptr, &n), 11);
    EXPECT_EQ(kx::SetPosition(nullptr, 0, 0, &n), 11);
    EXPECT_EQ(kx::InsertBuffer(nullptr, "a", 1), 11);
    EXPECT_EQ(kx::MarkPosition(nullptr), 11);
    EXPECT_EQ(kx::ReturnToMark(nullptr), 11);
    EXPECT_EQ(kxFileErrorVal(), 0);  // nothing below the exports records an error

    WriteFile(Posix('C', "f"), "abc");
    BufferedStream *s = Open("C:\\f", 0);
    EXPECT_EQ(kx::ReadBlock(s, &n, 1, nullptr), 0);
    EXPECT_EQ(kx::TakeStreamError(s), 16);
    EXPECT_EQ(kx::TakeStreamError(s), 16);  // none kept: the library's own fault
    kx::CloseStream(s);
}

}  // namespace
