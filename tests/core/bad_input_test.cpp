// Every export of the core called with null pointers, empty or overlong names and
// impossible modes: each returns its failure (the sanitizer build checks the buffers).
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "kxfiles.h"
#include "platform/platform.h"
#include "support/temp_drives.h"

namespace {

using kxtest::TempDrives;

class BadInput : public TempDrives {
protected:
    // Expects `result` to equal `failure` with `code` as the last error.
    template <typename T>
    void ExpectFailure(T result, T failure, int32_t code, const char *what) {
        EXPECT_EQ(result, failure) << what;
        EXPECT_EQ(kxFileErrorVal(), code) << what;
        kxFileErrorClear();
    }
};

TEST_F(BadInput, NullHandles) {
    uint32_t count = 5;
    char buffer[8];
    int32_t position = 0;
    ExpectFailure(kxFileClose(nullptr), 0, 11, "close");
    ExpectFailure(kxFileRead(nullptr, buffer, 8, &count), 0, 11, "read");
    EXPECT_EQ(count, 0u);
    count = 5;
    ExpectFailure(kxFileWrite(nullptr, buffer, 8, &count), 0, 11, "write");
    EXPECT_EQ(count, 0u);
    ExpectFailure(kxFileRead(nullptr, buffer, 8, nullptr), 0, 11, "read without count");
    ExpectFailure(kxFileFlush(nullptr), 0, 11, "flush");
    ExpectFailure(kxFileSetPos(nullptr, 0, &position), -1, 11, "setpos");
    ExpectFailure(kxFileGetSize(nullptr), 0u, 11, "size");
    ExpectFailure(kxFileTruncate(nullptr), 0, 11, "truncate");
    ExpectFailure(kxFileInsertData(nullptr, "a", 1), 0, 11, "insert");
    ExpectFailure(kxFileGetBytesRead(nullptr, 1), 0u, 11, "bytes read");
    ExpectFailure(kxFileGetBytesWritten(nullptr, 1), 0u, 11, "bytes written");
}

TEST_F(BadInput, NullBuffersOnAnOpenHandle) {
    WriteFile(Posix('C', "f"), "abc");
    kxtest::Name name("C:\\f");
    KXFILE f = kxFileOpen(name.text, 2);
    ASSERT_NE(f, nullptr);
    uint32_t count = 9;
    ExpectFailure(kxFileRead(f, nullptr, 10, &count), 0, 16, "read into null");
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(kxFileRead(f, nullptr, 0, &count), 1);  // nothing asked, nothing done
    ExpectFailure(kxFileInsertData(f, nullptr, 3), 0, 16, "insert null");
    ExpectFailure(kxFileSetPos(f, 0, nullptr), 16, 16, "setpos null");
    int32_t position = 0;
    EXPECT_EQ(kxFileSetPos(f, 0, &position), 0);
    ExpectFailure(kxFileWrite(f, nullptr, 10, &count), 0, 16, "write from null");
    ExpectFailure(kxFileGetDate(f, nullptr), 0, 9, "date into null");
    ExpectFailure(kxFileSetDate(f, nullptr), 0, 9, "date from null");
    ExpectFailure(kxFileGetFileName(f, nullptr), 0, 9, "name into null");
    EXPECT_EQ(kxFileClose(f), 1);
    EXPECT_EQ(ReadFile(Posix('C', "f")), "abc");
}

TEST_F(BadInput, NamesThatCannotBeFiles) {
    std::string longName = "C:\\" + std::string(300, 'n');
    std::string longPath = "C:\\" + std::string(150, 'd') + "\\" + std::string(150, 'f');
    std::string longShare = "\\\\srv\\" + std::string(300, 's') + "\\f";
    struct Case {
        const char *what;
        const char *name;
        int32_t code;
    } cases[] = {
        {"null", nullptr, 5},
        {"empty", "", 5},
        {"300 characters", longName.c_str(), 18},
        {"300-character path", longPath.c_str(), 18},
        {"300-character share", longShare.c_str(), 18},
        {"missing directory", "C:\\no\\such\\dir\\f.txt", 6},
        {"missing drive", "Q:\\f.txt", 6},
        {"unknown share", "\\\\nobody\\nothing\\f.txt", 6},
    };
    for (const Case &c : cases) {
        char buffer[400];
        if (c.name) std::strcpy(buffer, c.name);
        char *name = c.name ? buffer : nullptr;
        ExpectFailure(kxFileValidateFileName(name), 0, c.code, c.what);
        char out[260];
        ExpectFailure(kxFileGetFullName(name, out), 0, c.code, c.what);
        ExpectFailure(kxFileOpen(name, 0), static_cast<KXFILE>(nullptr), c.code, c.what);
        ExpectFailure(kxFileCreate(name, 1), static_cast<KXFILE>(nullptr), c.code, c.what);
        ExpectFailure(kxFileCreate2(name, 1, 0xFFFFFFFF), static_cast<KXFILE>(nullptr), c.code,
                      c.what);
        ExpectFailure(kxFileAppend(name, 1, 1), static_cast<KXFILE>(nullptr), c.code, c.what);
    }
}

// Names far beyond a path buffer (one long component, a long server name),
// then random names made of the characters that steer the path operations:
// every result fits a path buffer, and the current directory is where it was.
TEST_F(BadInput, RandomNamesThroughTheNameFunctions) {
    const std::string longName = std::string(300, 'x') + "\\" + std::string(300, 'y');
    const std::string fixed[] = {longName, "\\\\a\\b\\" + longName,
                                 "\\\\" + std::string(290, 's') + "\\" + std::string(20, 't') +
                                     "\\" + std::string(100, 'f')};
    const char alphabet[] = "\\\\/:..aZ~ *?";
    std::mt19937 random(2024);
    char before[260];
    ASSERT_GT(kx::os::GetCurrentDirectoryA(sizeof before, before), 0u);
    for (int round = 0; round < 3003; ++round) {
        std::string name;
        if (round < 3) {
            name = fixed[round];
        } else {
            size_t length = random() % (round % 10 == 0 ? 400 : 24);
            for (size_t i = 0; i < length; ++i)
                name.push_back(alphabet[random() % (sizeof alphabet - 1)]);
            if (random() % 3 == 0) name = "C:" + name;
        }
        char a[260] = {}, b[260] = {}, c[260] = {};
        kxFileValidateFileName(name.c_str());
        kxFileGetFullName(name.c_str(), a);
        kxFileGetDrive(name.c_str(), b, c);
        ASSERT_EQ(kxFileExtractFileName(name.c_str(), b), 1) << name;
        kxFileExtractPath(name.c_str(), c);
        ASSERT_LT(std::strlen(a), 260u) << name;
        ASSERT_LT(std::strlen(b), 260u) << name;
        ASSERT_LT(std::strlen(c), 260u) << name;
        char now[260];
        ASSERT_GT(kx::os::GetCurrentDirectoryA(sizeof now, now), 0u);
        ASSERT_STREQ(now, before) << name;
    }
}

TEST_F(BadInput, ImpossibleModesAndSelectors) {
    WriteFile(Posix('C', "f"), "abc");
    kxtest::Name name("C:\\f");
    // Only the low 8 bits of an open mode count.
    KXFILE f = kxFileOpen(name.text, 0xFFFFFF00);
    ASSERT_NE(f, nullptr);
    ExpectFailure(kxFileWrite(f, "x", 1, nullptr), 0, 1, "read-only by its low byte");
    int32_t position = 0;
    EXPECT_EQ(kxFileSetPos(f, -1, &position), 9);
    EXPECT_EQ(kxFileSetPos(f, 0x7FFFFFFF, &position), 9);
    EXPECT_EQ(kxFileClose(f), 1);
    ExpectFailure(kxFileAppend2("C:\\f", 1, 1, 0x101), static_cast<KXFILE>(nullptr), 9,
                  "append mode");
    // Opening a directory as a file.
    std::filesystem::create_directories(Posix('C', "dir"));
    kxtest::Name dir("C:\\dir");
    ExpectFailure(kxFileOpen(dir.text, 0), static_cast<KXFILE>(nullptr), 1, "directory");
}

}  // namespace
