// The exported stream functions on temporary drives.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/handle.h"
#include "kxfiles.h"
#include "platform/test_hooks.h"
#include "support/portable.h"
#include "support/temp_drives.h"

namespace {

using kxtest::Name;
using kxtest::OpenDescriptors;
using kxtest::TempDrives;

std::string Pattern(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char &c : bytes) c = static_cast<char>(random());
    return bytes;
}

// Wine counts no handles (GetProcessHandleCount gives 0): the counts are
// compared only where they are counted.
bool HandlesCounted() {
    return OpenDescriptors() > 0;
}

using StreamApi = TempDrives;

TEST_F(StreamApi, CopiesFilesByteForByte) {
    const size_t sizes[] = {0, 1, 4095, 4096, 4097, 10u * 1024 * 1024};
    const uint32_t blocks[] = {65536, 1000, 4096};
    for (size_t size : sizes) {
        std::string data = Pattern(size, static_cast<uint32_t>(size));
        WriteFile(Posix('C', "source.bin"), data);
        for (uint32_t block : blocks) {
            Name source("C:\\source.bin"), target("copy.bin");
            KXFILE in = kxFileOpen(source.text, 0);
            KXFILE out = kxFileCreate(target.text, 1);
            ASSERT_TRUE(in && out);
            std::vector<char> buffer(block);
            uint32_t got = 0, put = 0;
            do {
                ASSERT_EQ(kxFileRead(in, buffer.data(), block, &got), 1);
                ASSERT_EQ(kxFileWrite(out, buffer.data(), got, &put), 1);
                ASSERT_EQ(put, got);
            } while (got == block);
            EXPECT_EQ(kxFileGetBytesRead(in, 1), size);
            EXPECT_EQ(kxFileGetBytesRead(in, 0), size);
            EXPECT_EQ(kxFileGetBytesWritten(out, 2), size);
            EXPECT_EQ(kxFileGetBytesWritten(out, 1), size);
            EXPECT_EQ(kxFileClose(in), 1);
            EXPECT_EQ(kxFileClose(out), 1);
            ASSERT_EQ(ReadFile(Posix('C', "copy.bin")), data) << size << " in blocks of " << block;
        }
    }
}

// A layered write gathers full buffers and writes them in larger pieces; when
// each call returns, the file holds what 4096-byte flushes would have written
// by then: every full buffer but the last.
TEST_F(StreamApi, LayeredWritesLeaveTheFileAsFullBuffersWould) {
    Name target("C:\\layered.txt");
    KXFILE out = kxFileCreate(target.text, 1);
    ASSERT_NE(out, nullptr);
    ASSERT_EQ(kxFileSetCharsetFlags(out, 31, 15, CSF_TRANSLATE, 0), 0);  // letters stay letters
    std::string all;
    for (uint32_t size : {1u, 4095u, 4096u, 1u, 4097u, 65535u, 65536u, 65537u, 200000u, 3u}) {
        std::string data(size, '\0');
        for (char &c : data) c = static_cast<char>('a' + (all.size() + (&c - data.data())) % 26);
        uint32_t put = 0;
        ASSERT_EQ(kxFileWrite(out, data.data(), size, &put), 1);
        all += data;
        const std::string onDisk = ReadFile(Posix('C', "layered.txt"));
        EXPECT_EQ(onDisk.size(), (all.size() - 1) / 4096 * 4096)
            << "after " << all.size() << " bytes";
        EXPECT_TRUE(all.compare(0, onDisk.size(), onDisk) == 0);
        EXPECT_EQ(kxFileGetBytesWritten(out, 1), all.size());
    }
    EXPECT_EQ(kxFileClose(out), 1);
    EXPECT_TRUE(ReadFile(Posix('C', "layered.txt")) == all);
}

TEST_F(StreamApi, OpeningCutsLongNamesOnlyOnAShortNameVolume) {
    KXTEST_NEEDS_SHORT_NAME_VOLUME();
    WriteFile(Posix('A', "reportlo"), "short");
    WriteFile(Posix('C', "reportlong.txt"), "long");
    Name onShort("A:\\reportlong.txt"), onLong("C:\\reportlong.txt");
    KXFILE a = kxFileOpen(onShort.text, 0);
    ASSERT_NE(a, nullptr);
    EXPECT_STREQ(onShort.text, "A:\\reportlo");
    EXPECT_STREQ(a->fullName, "A:\\reportlo");
    KXFILE c = kxFileOpen(onLong.text, 0);
    ASSERT_NE(c, nullptr);
    EXPECT_STREQ(onLong.text, "C:\\reportlong.txt");
    char buffer[16] = {};
    uint32_t n = 0;
    kxFileRead(a, buffer, sizeof buffer, &n);
    EXPECT_EQ(std::string(buffer, n), "short");
    kxFileRead(c, buffer, sizeof buffer, &n);
    EXPECT_EQ(std::string(buffer, n), "long");
    kxFileClose(a);
    kxFileClose(c);

    // Creating on the short-name volume cuts too; an over-long extension is refused.
    Name created("A:\\quarterly.txt"), badExtension("A:\\note.html");
    KXFILE q = kxFileCreate(created.text, 0);
    ASSERT_NE(q, nullptr);
    EXPECT_STREQ(created.text, "A:\\quarterl");
    kxFileClose(q);
    EXPECT_TRUE(std::filesystem::exists(Posix('A', "quarterl")));
    EXPECT_EQ(kxFileCreate(badExtension.text, 0), nullptr);
    EXPECT_EQ(kxFileErrorVal(), 19);
}

// An existing file is replaced only when asked; the handle keeps the full name.
TEST_F(StreamApi, CreateRespectsOverwrite) {
    std::filesystem::create_directories(Posix('C', "work"));
    WriteFile(Posix('C', "work/f.txt"), "old");
    Enter("C:\\work");
    Name name("sub\\..\\f.txt");
    EXPECT_EQ(kxFileCreate(name.text, 0), nullptr);
    EXPECT_EQ(kxFileErrorVal(), 2);
    EXPECT_EQ(ReadFile(Posix('C', "work/f.txt")), "old");
    KXFILE f = kxFileCreate(name.text, 1);
    ASSERT_NE(f, nullptr);
    EXPECT_STREQ(f->fullName, "C:\\work\\f.txt");
    EXPECT_EQ(ReadFile(Posix('C', "work/f.txt")), "");
    kxFileClose(f);
}

TEST_F(StreamApi, AppendCreatesOnlyWhenAsked) {
    EXPECT_EQ(kxFileAppend("C:\\log.txt", 0, 0), nullptr);
    EXPECT_EQ(kxFileErrorVal(), 5);
    EXPECT_FALSE(std::filesystem::exists(Posix('C', "log.txt")));
    KXFILE f = kxFileAppend("C:\\log.txt", 0, 1);
    ASSERT_NE(f, nullptr);
    kxFileWrite(f, "one\x1a", 4, nullptr);
    kxFileClose(f);
    f = kxFileAppend("C:\\log.txt", 1, 0);
    ASSERT_NE(f, nullptr);
    kxFileWrite(f, "two", 3, nullptr);
    kxFileClose(f);
    EXPECT_EQ(ReadFile(Posix('C', "log.txt")), "onetwo");
    // Appending needs read and write access; the name is not even looked at.
    for (uint32_t mode : {0u, 1u, 3u, 0x11u}) {
        kxFileErrorClear();
        EXPECT_EQ(kxFileAppend2(nullptr, 0, 1, mode), nullptr);
        EXPECT_EQ(kxFileErrorVal(), 9) << mode;
    }
    EXPECT_EQ(kxFileAppend("C:\\nodir\\log.txt", 0, 1), nullptr);
    EXPECT_EQ(kxFileErrorVal(), 6);
}

TEST_F(StreamApi, CountsAndSelectors) {
    WriteFile(Posix('C', "f"), "0123456789");
    Name name("C:\\f");
    KXFILE f = kxFileOpen(name.text, 2);
    ASSERT_NE(f, nullptr);
    char buffer[4];
    EXPECT_EQ(kxFileRead(f, buffer, 4, nullptr), 1);  // a null count still counts
    EXPECT_EQ(kxFileGetBytesRead(f, 1), 4u);
    EXPECT_EQ(kxFileGetBytesRead(f, 0), 4u);  // 10 loaded, 6 unread
    for (uint32_t selector : {0u, 3u, 4u, 0xFFFFFFFFu}) {
        kxFileErrorClear();
        EXPECT_EQ(kxFileGetBytesWritten(f, selector), 0u);
        EXPECT_EQ(kxFileErrorVal(), 9) << selector;
    }
    EXPECT_EQ(kxFileGetSize(f), 10u);
    int32_t position = 2;
    EXPECT_EQ(kxFileSetPos(f, 0, &position), 0);
    EXPECT_EQ(position, 2);
    EXPECT_EQ(kxFileWrite(f, "AB", 2, nullptr), 1);
    EXPECT_EQ(kxFileGetBytesWritten(f, 1), 2u);
    EXPECT_EQ(kxFileGetBytesWritten(f, 2), 2u);
    position = 0;
    EXPECT_EQ(kxFileSetPos(f, 1, &position), 0);
    EXPECT_EQ(position, 4);
    EXPECT_EQ(kxFileTruncate(f), 1);
    EXPECT_EQ(kxFileGetSize(f), 4u);
    EXPECT_EQ(kxFileClose(f), 1);
    EXPECT_EQ(ReadFile(Posix('C', "f")), "01AB");
}

TEST_F(StreamApi, InsertDataRecordsItsRefusals) {
    WriteFile(Posix('C', "f"), "rest");
    Name name("C:\\f");
    KXFILE f = kxFileOpen(name.text, 0);
    ASSERT_NE(f, nullptr);
    std::string big(4096, 'x');
    EXPECT_EQ(kxFileInsertData(f, big.data(), 4096), 0);
    EXPECT_EQ(kxFileErrorVal(), 15);
    EXPECT_EQ(kxFileInsertData(f, "ab\xff", 3), 1);
    EXPECT_EQ(kxFileInsertData(f, "c", 1), 0);
    EXPECT_EQ(kxFileErrorVal(), 14);
    char buffer[16];
    uint32_t n = 0;
    kxFileRead(f, buffer, sizeof buffer, &n);
    EXPECT_EQ(std::string(buffer, n), "ab\xffrest");
    kxFileClose(f);
}

TEST_F(StreamApi, FlushAndDirectionErrors) {
    WriteFile(Posix('C', "f"), "abc");
    Name name("C:\\f");
    KXFILE f = kxFileOpen(name.text, 0);
    EXPECT_EQ(kxFileFlush(f), 0);
    EXPECT_EQ(kxFileErrorVal(), 1);
    EXPECT_EQ(kxFileWrite(f, "x", 1, nullptr), 0);
    kxFileClose(f);
    KXFILE w = kxFileCreate(name.text, 1);
    kxFileWrite(w, "xyz", 3, nullptr);
    EXPECT_EQ(kxFileFlush(w), 1);
    EXPECT_EQ(ReadFile(Posix('C', "f")), "xyz");
    int32_t position = 0;
    kxFileErrorClear();
    EXPECT_EQ(kxFileSetPos(w, 5, &position), 9);  // no such origin: refused, and recorded
    EXPECT_EQ(kxFileErrorVal(), 9);
    kxFileClose(w);
}

TEST_F(StreamApi, AnUpdateStreamIsPositionedBetweenReadingAndWriting) {
    WriteFile(Posix('C', "f"), "abcdef");
    Name name("C:\\f");
    KXFILE f = kxFileOpen(name.text, 2);
    char buffer[8];
    uint32_t n = 0;
    ASSERT_EQ(kxFileRead(f, buffer, 2, &n), 1);
    EXPECT_EQ(kxFileWrite(f, "Z", 1, &n), 0);  // refused, not swallowed by the read buffer
    EXPECT_EQ(kxFileErrorVal(), 1);
    EXPECT_EQ(n, 0u);
    ASSERT_EQ(kxFileRead(f, buffer, 8, &n), 1);  // the unread bytes are still there
    EXPECT_EQ(std::string(buffer, n), "cdef");
    int32_t position = 2;
    ASSERT_EQ(kxFileSetPos(f, 0, &position), 0);
    ASSERT_EQ(kxFileWrite(f, "Z", 1, &n), 1);
    EXPECT_EQ(kxFileRead(f, buffer, 8, &n), 0);  // nor does a read return the write buffer
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(kxFileClose(f), 1);
    EXPECT_EQ(ReadFile(Posix('C', "f")), "abZdef");
}

TEST_F(StreamApi, SharingBetweenHandles) {
    WriteFile(Posix('C', "f"), "abc");
    Name name("C:\\f");
    KXFILE exclusive = kxFileOpen(name.text, 0x10);
    ASSERT_NE(exclusive, nullptr);
    EXPECT_EQ(kxFileCreate(name.text, 1), nullptr);
    EXPECT_EQ(kxFileErrorVal(), 7);
    kxFileClose(exclusive);
    EXPECT_EQ(ReadFile(Posix('C', "f")), "abc");
}

TEST_F(StreamApi, AllocationFailuresLeaveNothingOpen) {
    WriteFile(Posix('C', "f"), "abc");
    kxFileErrorClear();  // this thread's error record exists before the loop
    int before = OpenDescriptors();
    int failures = 0;
    for (uint64_t n = 1; n < 50; ++n) {
        Name name("C:\\f");
        kx::os::testing::FailAllocation(n);
        KXFILE f = kxFileOpen(name.text, 0);
        kx::os::testing::FailAllocation(0);
        if (f == nullptr) {
            ++failures;
            EXPECT_EQ(kxFileErrorVal(), 10) << n;
            if (HandlesCounted()) {
                EXPECT_EQ(OpenDescriptors(), before) << n;
            }
            continue;
        }
        EXPECT_EQ(kxFileClose(f), 1);
        break;  // allocation n was not needed: every earlier one has been failed
    }
    EXPECT_GE(failures, 2);  // the stream and the handle
    if (HandlesCounted()) {
        EXPECT_EQ(OpenDescriptors(), before);
    }
}

// The only check of a full disk at close that runs under wine too, where the
// Windows layer's short write must report 12 as the POSIX layer does.
TEST_F(StreamApi, CloseOnAFullDiskReportsOutOfDiskSpace) {
    Name name("C:\\f");
    KXFILE f = kxFileCreate(name.text, 1);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(kxFileWrite(f, std::string(2000, 'z').data(), 2000, nullptr), 1);
    kx::os::testing::SetDiskSpace(100);
    int before = OpenDescriptors();
    EXPECT_EQ(kxFileClose(f), 0);
    EXPECT_EQ(kxFileErrorVal(), 12);
    if (HandlesCounted()) {
        EXPECT_EQ(OpenDescriptors(), before - 1);  // the handle is gone all the same
    }
    EXPECT_EQ(std::filesystem::file_size(Posix('C', "f")), 100u);
}

}  // namespace
