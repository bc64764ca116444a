// The one-shot file-system calls: existence, deletion, renaming, directories,
// attributes, stream dates, the current directory.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <thread>

#include "kxfiles.h"
#include "support/fs_calls.h"
#include "support/temp_drives.h"

namespace {

using kxtest::Called;
using kxtest::Delete;
using kxtest::Name;
using kxtest::Outcome;
using kxtest::Rename;

class FileSystemOps : public kxtest::TempDrives {
protected:
    void SetUp() override {
        TempDrives::SetUp();
        std::filesystem::create_directories(Posix('C', "work/sub"));
        WriteFile(Posix('C', "work/report.txt"), "data");
        kxtest::UseTimeZone("UTC0");
    }
};

TEST_F(FileSystemOps, ExistenceByTheLibrarysNameRules) {
    const std::pair<const char *, Outcome> cases[] = {
        {"C:\\work\\report.txt", {1, 0}},  {"c:\\WORK\\REPORT.TXT", {1, 0}},
        {"C:\\work\\sub", {1, 0}},  // a directory exists too
        {"C:\\work\\missing.txt", {0, 5}}, {"C:\\nowhere\\report.txt", {0, 6}},
    };
    for (const auto &c : cases) {
        const char *name = c.first;
        EXPECT_EQ(Called([&] { return kxFileExists(name); }), c.second) << name;
    }
}

TEST_F(FileSystemOps, DeleteRenameAndCreateDirectories) {
    EXPECT_EQ(Called([] { return kxFileCreateDir("C:\\work\\new"); }), Outcome(1, 0));
    EXPECT_TRUE(std::filesystem::is_directory(Posix('C', "work/new")));
    // Exists: no row of its own.
    EXPECT_EQ(Called([] { return kxFileCreateDir("C:\\work\\new"); }), Outcome(0, 9));
    EXPECT_EQ(Called([] { return kxFileCreateDir("C:\\no\\such\\dir"); }), Outcome(0, 6));
    EXPECT_EQ(Delete("C:\\work\\new"), Outcome(1, 0));
    EXPECT_FALSE(std::filesystem::exists(Posix('C', "work/new")));
    EXPECT_EQ(Delete("C:\\work\\missing.txt"), Outcome(0, 5));

    EXPECT_EQ(Rename("C:\\work\\report.txt", "C:\\work\\Renamed.txt"), Outcome(1, 0));
    EXPECT_EQ(ReadFile(Posix('C', "work/Renamed.txt")), "data");
    EXPECT_EQ(Rename("C:\\work\\gone.txt", "C:\\work\\x.txt"), Outcome(0, 5));
    if (IsShortNameVolume()) {  // refused by the 8.3 rules before the disk is asked
        EXPECT_EQ(Called([] { return kxFileExists("A:\\toolongname.txt"); }), Outcome(0, 18));
        EXPECT_EQ(Rename("C:\\work\\Renamed.txt", "A:\\toolongname.txt"), Outcome(0, 18));
    }
    EXPECT_EQ(Delete("c:\\work\\renamed.TXT"), Outcome(1, 0));
    EXPECT_FALSE(std::filesystem::exists(Posix('C', "work/Renamed.txt")));
}

TEST_F(FileSystemOps, Attributes) {
    WriteFile(Posix('C', "work/.hidden"), "");
    WriteFile(Posix('C', "work/locked.txt"), "");
    kxtest::MakeReadOnly(Posix('C', "work/locked.txt"));
    struct Case {
        const char *name;
        Outcome expected;
        uint32_t bits;  // KXATTR bits 0 to 3 afterwards
    } cases[] = {
        {"C:", {1, 0}, KXATTR_DRIVE},
        {"C:\\", {1, 0}, KXATTR_DIRECTORY},
        {"C:\\work\\", {1, 0}, KXATTR_DIRECTORY},  // read as C:\work
        {"C:\\work/", {1, 0}, KXATTR_DIRECTORY},
        {"\\\\srv\\shr", {1, 0}, KXATTR_DRIVE},  // a bare share
        {"C:\\work\\report.txt", {1, 0}, 0},
        {"C:\\work\\.hidden", {1, 0}, KXATTR_HIDDEN},
        {"C:\\work\\locked.txt", {1, 0}, KXATTR_READONLY},
        {"C:\\work\\missing", {0, 5}, 0},
        {"C:\\none\\missing", {0, 6}, 0},
    };
    for (const Case &c : cases) {
        // Bits 4 and up are the caller's; bits 0 to 3 are cleared first.
        uint32_t attributes = 0xF0F0 | KXATTR_READONLY | KXATTR_DRIVE;
        EXPECT_EQ(Called([&] { return kxFileGetAttributes(c.name, &attributes); }), c.expected)
            << c.name;
        EXPECT_EQ(attributes, 0xF0F0u | c.bits) << c.name;
    }
}

TEST_F(FileSystemOps, CurrentDirectory) {
    char buffer[261];
    EXPECT_EQ(Called([&] { return kxFileGetPath(buffer); }), Outcome(1, 0));
    EXPECT_STREQ(buffer, "C:\\");  // a root keeps its one backslash
    EXPECT_EQ(Called([] { return kxFileSetPath("c:\\work\\sub\\"); }), Outcome(1, 0));
    kxFileGetPath(buffer);
    // Windows keeps the spelling a directory was entered with; the POSIX layer
    // shows the spelling on disk.
#ifdef _WIN32
    EXPECT_STREQ(buffer, "c:\\work\\sub\\");
#else
    EXPECT_STREQ(buffer, "C:\\work\\sub\\");
#endif
    EXPECT_EQ(Called([] { return kxFileSetPath("D:\\"); }), Outcome(1, 0));
    kxFileGetPath(buffer);
    EXPECT_STREQ(buffer, "D:\\");
}

// Validating a name enters its directory for a moment. Another thread that
// creates a file by a relative name meanwhile must still create it in the
// current directory, not in the directory being asked about.
TEST_F(FileSystemOps, RelativeNamesStayPutWhileAnotherThreadValidates) {
    Enter("C:\\work");
    std::filesystem::create_directories(Posix('C', "work/sub/deep"));
    std::atomic<bool> done{false};
    std::thread validator([&] {
        while (!done)
            for (int i = 0; i < 50; ++i) kxFileValidateFileName("C:\\work\\sub\\deep\\x.txt");
    });
    int misplaced = 0;
    for (int i = 0; i < 400 && misplaced == 0; ++i) {
        Name name("made.txt");
        KXFILE file = kxFileCreate(name.text, 1);
        if (file != nullptr) kxFileClose(file);
        std::error_code ignored;
        if (std::filesystem::exists(Posix('C', "work/sub/deep/made.txt"), ignored)) ++misplaced;
        std::filesystem::remove(Posix('C', "work/sub/deep/made.txt"), ignored);
        std::filesystem::remove(Posix('C', "work/made.txt"), ignored);
    }
    done = true;
    validator.join();
    EXPECT_EQ(misplaced, 0);
    char buffer[261];
    kxFileGetPath(buffer);
    EXPECT_STREQ(buffer, "C:\\work\\");
}

TEST_F(FileSystemOps, StreamDatesInLocalTime) {
    std::tm t{};  // 1996-03-03 14:05:09 UTC
    t.tm_year = 96, t.tm_mon = 2, t.tm_mday = 3, t.tm_hour = 14, t.tm_min = 5, t.tm_sec = 9;
    std::filesystem::path path = Posix('C', "work/report.txt");
    ASSERT_TRUE(kxtest::SetFileTimes(path, kxtest::UtcSeconds(t)));

    Name name("C:\\work\\report.txt");
    KXFILE file = kxFileOpen(name.text, 2);
    ASSERT_NE(file, nullptr);
    KXFILEDATETIME date{};
    EXPECT_EQ(kxFileGetDate(file, &date), 1);
    EXPECT_EQ(kxtest::Fields(date), (std::array<int, 6>{3, 3, 96, 9, 5, 14}));
    if (kxtest::UseTimeZone("EST5")) {  // only where the zone is the process's own
        EXPECT_EQ(kxFileGetDate(file, &date), 1);
        EXPECT_EQ(date.hour, 9);
    }

    // Setting the same date back keeps the last-write time to the second, also
    // after more is written through the stream.
    date.second = 30;
    EXPECT_EQ(kxFileSetDate(file, &date), 1);
    uint32_t count = 0;
    kxFileWrite(file, "more", 4, &count);
    EXPECT_EQ(kxFileClose(file), 1);
    if (kxtest::UnderWine())
        GTEST_SKIP() << "wine lets later writes move a time set by SetFileTime, "
                        "and sets times through read-only handles";
    EXPECT_EQ(kxtest::LastWriteTime(path), kxtest::UtcSeconds(t) + 21);

    // A read-only stream cannot have its date changed.
    file = kxFileOpen(name.text, 0);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(Called([&] { return kxFileSetDate(file, &date); }), Outcome(0, 1));
    kxFileClose(file);
}

TEST_F(FileSystemOps, ImpossibleDatesAreRefusedWith9) {
    Name name("C:\\work\\report.txt");
    KXFILE file = kxFileOpen(name.text, 2);
    ASSERT_NE(file, nullptr);
    const KXFILEDATETIME bad[] = {
        {1, 13, 96, 0, 0, 0}, {0, 3, 96, 0, 0, 0},  {3, 3, 96, 0, 0, 24},
        {30, 2, 96, 0, 0, 0}, {29, 2, 97, 0, 0, 0}, {3, 3, 96, 60, 0, 0},
    };
    for (const KXFILEDATETIME &d : bad)
        EXPECT_EQ(Called([&] { return kxFileSetDate(file, &d); }), Outcome(0, 9))
            << int(d.day) << "/" << int(d.month);
    const KXFILEDATETIME leapDay{29, 2, 96, 0, 0, 12};
    EXPECT_EQ(Called([&] { return kxFileSetDate(file, &leapDay); }), Outcome(1, 0));
    kxFileClose(file);
}

TEST_F(FileSystemOps, FileNameAndCurrentDate) {
    Name name("c:\\work\\..\\work\\report.txt");
    KXFILE file = kxFileOpen(name.text, 0);
    ASSERT_NE(file, nullptr);
    char buffer[260] = "untouched";
    EXPECT_EQ(kxFileGetFileName(file, buffer), 1);
    EXPECT_STREQ(buffer, "c:\\work\\report.txt");
    EXPECT_EQ(kxFileGetFileName(file, nullptr), 0);
    kxFileClose(file);

    // The current date is the clock's, in UTC here: a second between the two
    // readings, or one after (std::time may read a coarser clock).
    KXFILEDATETIME date{};
    const std::time_t before = std::time(nullptr);
    EXPECT_EQ(kxFileCurrentDate(&date), 0);
    const std::time_t after = std::time(nullptr);
    bool found = false;
    for (std::time_t t = before; t <= after + 1; ++t) {
        const std::tm now = kxtest::UtcCalendar(t);
        found = found || kxtest::Fields(date) == std::array<int, 6>{now.tm_mday, now.tm_mon + 1,
                                                                    now.tm_year, now.tm_sec,
                                                                    now.tm_min,  now.tm_hour};
    }
    EXPECT_TRUE(found) << "the date is not a second between the two readings";
}

TEST_F(FileSystemOps, SearchPathExistence) {
    WriteFile(Posix('C', "found.dat"), "x");
    char result[260] = "junk";
    uint32_t systemError = 77;
    EXPECT_EQ(kxFileExistsEx("found.dat", result, sizeof result, &systemError), 1);
    EXPECT_STREQ(result, "C:\\found.dat");
    EXPECT_EQ(systemError, 0u);
    EXPECT_EQ(kxFileExistsEx("found.dat", nullptr, 0, nullptr), 1);  // existence only
    EXPECT_EQ(kxFileExistsEx("absent.dat", result, sizeof result, &systemError), 0);
    EXPECT_STREQ(result, "");
    EXPECT_EQ(systemError, 2u);      // the system's own number, not an ErrorCode
    EXPECT_EQ(kxFileErrorVal(), 0);  // the library's last error is not touched
    std::strcpy(result, "found.dat");
    EXPECT_EQ(kxFileExistsEx(result, result, sizeof result, nullptr), 0);  // the same memory
    EXPECT_EQ(kxFileExistsEx("found.dat", result, 0, nullptr), 0);
}

}  // namespace
