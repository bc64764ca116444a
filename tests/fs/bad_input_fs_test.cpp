// The file-system, matching, name and date exports given null pointers, empty
// names, names and patterns beyond a path buffer. Output buffers are 260 bytes
// on the heap, so that the sanitizer build catches a write past their end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "kxfiles.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "support/temp_drives.h"

namespace {

class BadFileSystemInput : public kxtest::TempDrives {
protected:
    // A 260-byte buffer of its own.
    static std::unique_ptr<char[]> Buffer() {
        auto buffer = std::make_unique<char[]>(260);
        std::memset(buffer.get(), 'x', 260);
        buffer[259] = '\0';
        return buffer;
    }
    // Expects `result` with `code` as the last error.
    void Expect(int32_t result, int32_t expected, int32_t code, const std::string &what) {
        EXPECT_EQ(result, expected) << what;
        EXPECT_EQ(kxFileErrorVal(), code) << what;
        kxFileErrorClear();
    }
};

TEST_F(BadFileSystemInput, NullArguments) {
    auto out = Buffer();
    uint32_t attributes = 0;
    KXFILEDATETIME date{};
    Expect(kxFileExists(nullptr), 0, 5, "exists");
    Expect(kxFileExistsEx(nullptr, out.get(), 260, nullptr), 0, 9, "exists along the path");
    Expect(kxFileDelete(nullptr), 0, 5, "delete");
    Expect(kxFileRename(nullptr, "C:\\a"), 0, 5, "rename from null");
    Expect(kxFileRename("C:\\a", nullptr), 0, 5, "rename to null");
    Expect(kxFileCreateDir(nullptr), 0, 9, "create directory");
    Expect(kxFileGetAttributes(nullptr, &attributes), 0, 9, "attributes of null");
    Expect(kxFileGetAttributes("C:\\", nullptr), 0, 9, "attributes into null");
    Expect(kxFileGetDate(nullptr, &date), 0, 11, "date of null");
    Expect(kxFileSetDate(nullptr, &date), 0, 11, "set date of null");
    Expect(kxFileCurrentDate(nullptr), 9, 9, "current date into null");
    Expect(kxFileGetFileName(nullptr, out.get()), 0, 11, "file name of null");
    Expect(kxFileGetPath(nullptr), 0, 16, "path into null");
    Expect(kxFileSetPath(nullptr), 0, 9, "set path");
    Expect(kxFileGetDrive(nullptr, out.get(), out.get()), 0, 9, "drive");
    Expect(kxFileExtractFileName(nullptr, out.get()), 0, 9, "file name of a null name");
    Expect(kxFileExtractFileName("C:\\a", nullptr), 0, 9, "file name into null");
    Expect(kxFileExtractPath(nullptr, out.get()), 0, 9, "path of a null name");
    Expect(kxFileExtractPath("C:\\a", nullptr), 0, 9, "path into null");
    Expect(kxFileMakeLocalName2(nullptr, out.get(), 3), 0, 5, "local name");
    Expect(kxFileMakeNewName(nullptr, out.get()), 0, 5, "new name");
    Expect(kxFileMakeNewName("C:\\a", nullptr), 0, 5, "new name into null");
    Expect(kxFileMakeName(nullptr, out.get()), 0, 0, "make name (a predicate: records nothing)");
    Expect(kxFileTruncateName(nullptr, nullptr, nullptr, 1), 0, 9, "truncate");
    Expect(kxFileCorrectDirectoryCase(nullptr, 1, 0), 0, 9, "directory case");
    Expect(kxFileBuildIntlTimeStrShortFormat(1, 1, nullptr, 100), 0, 9, "time into null");
    Expect(kxFileBuildIntlDateStrShortFormat(1, 1, 1, nullptr, 100), 0, 9, "date into null");

    Expect(kxFileInitMatch(nullptr, 0, nullptr, nullptr, nullptr) == nullptr, 1, 5,
           "match of null");
    Expect(kxFileGetMatch(nullptr, out.get()), 0, 11, "get of a null match");
    Expect(kxFileGetMatchExtended(nullptr, out.get(), nullptr), 0, 11,
           "extended get of a null match");
    KXMATCHSUMMARY summary{};
    Expect(kxFileGetMatchInfo(nullptr, &summary), 0, 11, "info of a null match");
    kxFileSetMatchCase(nullptr, 1);
    kxFileDoneMatch(nullptr);
    WriteFile(Posix('C', "one.txt"), "");
    KXMATCH match = kxFileInitMatch("C:\\*.*", 0, nullptr, nullptr, nullptr);
    ASSERT_NE(match, nullptr);
    Expect(kxFileGetMatch(match, nullptr), 0, 16, "get into null");
    kxFileDoneMatch(match);
}

TEST_F(BadFileSystemInput, EmptyAndOverLongNames) {
    auto out = Buffer();
    uint32_t attributes = 0;
    // A component over 255 characters is an invalid name (5); a name of 260 or
    // more is refused by the system's ANSI calls (9); wine lets one of exactly
    // 260 through to the file system (5).
    for (size_t length : {259u, 260u, 300u, 1000u}) {
        const int32_t overLong = length < 260 || (length == 260 && kxtest::UnderWine()) ? 5 : 9;
        std::string name = "C:\\" + std::string(length - 3, 'n');
        std::string what = std::to_string(length) + " characters: ";
        Expect(kxFileExists(name.c_str()), 0, 18, what + "exists");
        Expect(kxFileDelete(name.c_str()), 0, 18, what + "delete");
        Expect(kxFileRename(name.c_str(), "C:\\b"), 0, 18, what + "rename");
        Expect(kxFileCreateDir(name.c_str()), 0, overLong, what + "create directory");
        Expect(kxFileGetAttributes(name.c_str(), &attributes), 0, overLong, what + "attributes");
        Expect(kxFileSetPath(name.c_str()), 0, overLong, what + "set path");
        Expect(kxFileExistsEx(name.c_str(), out.get(), 260, nullptr), 0, 0,
               what + "exists along the path");
        Expect(kxFileMakeName(name.c_str(), out.get()), 0, 0, what + "make name");
        // Under 260 characters the local form (cut to 253) does not exist: 5 from the existence
        // test.
        Expect(kxFileMakeNewName(name.c_str(), out.get()), 0, 5, what + "new name");
        Expect(kxFileMakeLocalName(name.c_str(), out.get()), length >= 260 ? 0 : 1,
               length >= 260 ? 5 : 0, what + "local name");
        Expect(kxFileGetDrive(name.c_str(), out.get(), out.get()), 2, 0, what + "drive");
        Expect(kxFileExtractFileName(name.c_str(), out.get()), 1, 0, what + "extract file name");
        EXPECT_EQ(std::strlen(out.get()), std::min<size_t>(length - 3, 259));
        Expect(kxFileExtractPath(name.c_str(), out.get()), 1, 0, what + "extract path");
        EXPECT_STREQ(out.get(), "C:\\");
        Expect(kxFileInitMatch(name.c_str(), 0, nullptr, nullptr, nullptr) == nullptr, 1, 5,
               what + "match");

        // On D:, whose root holds nothing of the system's (under wine C: does).
        std::string path = "D:" + name.substr(2);
        Expect(kxFileCorrectDirectoryCase(path.data(), 0, 0), 1, 0, what + "directory case");
        Expect(kxFileCorrectDirectoryCase(path.data(), 1, 2), 1, 0,
               what + "directory case, stored");
#ifndef _WIN32  // the text window stands for a window only where there are no windows
        KXTEXTWINDOW window{10, nullptr, nullptr};
        Expect(kxFileTruncateName(path.data(), nullptr, &window, 1), 1, 0, what + "truncate");
        EXPECT_LE(std::strlen(path.c_str()), length);
#endif
    }
    Expect(kxFileExists(""), 0, 5, "exists, empty");
    Expect(kxFileDelete(""), 0, 5, "delete, empty");
    Expect(kxFileMakeLocalName("", out.get()), 0, 5, "local name, empty");
    Expect(kxFileMakeNewName("", out.get()), 0, 5, "new name, empty");
    Expect(kxFileMakeName("", out.get()), 0, 0, "make name, empty");
    KXMATCH empty = kxFileInitMatch("", 0, nullptr, nullptr, nullptr);
    EXPECT_NE(empty, nullptr);  // nothing to find is not an error
    Expect(kxFileGetMatch(empty, out.get()), 0, 0, "match, empty");
    kxFileDoneMatch(empty);
}

TEST_F(BadFileSystemInput, PatternsBeyondAPathBuffer) {
    auto out = Buffer();
    // A relative pattern that fits alone but not after the current directory.
    std::string deep = "C:\\";
    std::string posix;
    while (deep.size() < 200) {
        deep += "dddddddddd\\";
        posix += "dddddddddd/";
    }
    std::filesystem::create_directories(Posix('C', posix));
    Enter(deep.c_str());
    std::string pattern(70, '?');
    Expect(kxFileInitMatch(pattern.c_str(), 0, nullptr, nullptr, nullptr) == nullptr, 1, 5,
           "prefix and pattern");
    // A found name that would make the whole over 259 characters is cut to fit.
    std::string name(70, 'n');
    WriteFile(Posix('C', posix + name), "");
    KXMATCH match = kxFileInitMatch((deep + "*").c_str(), 0, nullptr, nullptr, " ,,");
    ASSERT_NE(match, nullptr);
    ASSERT_EQ(kxFileGetMatch(match, out.get()), 1);
    EXPECT_EQ(std::string(out.get()), deep + name.substr(0, 259 - deep.size()));
    kxFileDoneMatch(match);
    Enter("C:\\");
}

TEST_F(BadFileSystemInput, OutOfMemoryInMatching) {
    for (uint64_t n = 1; n <= 3; ++n) {
        kx::os::testing::FailAllocation(n);
        KXMATCH match = kxFileInitMatch("C:\\*.*", 0, nullptr, nullptr, "*.bak");
        kx::os::testing::FailAllocation(0);
        EXPECT_EQ(match, nullptr) << "allocation " << n;
        EXPECT_EQ(kxFileErrorVal(), 10) << "allocation " << n;
        kxFileErrorClear();
    }
}

}  // namespace
