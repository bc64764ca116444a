// The file-system additions of the POSIX layer: enumeration with Windows
// wildcards, deletion, renaming, directory creation, the search path, file
// times and the local time zone.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <future>
#include <memory>
#include <set>
#include <string>
#include <thread>

#include "kxfiles.h"
#include "platform/platform.h"
#include "support/temp_drives.h"

namespace {

namespace os = kx::os;

using Names = std::set<std::string>;

// The names a pattern lists, or {"error N"} when it lists none.
Names Find(const std::string &pattern) {
    os::WIN32_FIND_DATAA data;
    os::HANDLE find = os::FindFirstFileA(pattern.c_str(), &data);
    if (find == os::INVALID_HANDLE_VALUE) return {"error " + std::to_string(os::GetLastError())};
    Names names;
    do names.insert(data.cFileName);
    while (os::FindNextFileA(find, &data));
    EXPECT_EQ(os::GetLastError(), os::ERROR_NO_MORE_FILES);
    os::FindClose(find);
    return names;
}

class FsPlatform : public kxtest::TempDrives {
protected:
    void SetUp() override {
        TempDrives::SetUp();
        std::filesystem::create_directories(Posix('C', "dir"));
        for (const char *name :
             {"README.TXT", "Long Name.doc", "archive.tar.gz", "noext", "a.b", "ab.txt"})
            WriteFile(Posix('C', std::string("dir/") + name), "x");
    }
};

TEST_F(FsPlatform, WildcardsFollowWindowsRules) {
    const Names all = {".",     "..",  "README.TXT", "Long Name.doc", "archive.tar.gz",
                       "noext", "a.b", "ab.txt"};
    struct Case {
        const char *pattern;
        Names expected;
    } cases[] = {
        {"C:\\dir\\*.*", all},
        {"C:\\dir\\*", all},
        {"C:\\dir\\*.txt", {"README.TXT", "ab.txt"}},  // without regard to case
        {"C:\\dir\\*.GZ", {"archive.tar.gz"}},
        {"C:\\dir\\?.b", {"a.b"}},
        {"C:\\dir\\??.txt", {"ab.txt"}},
        {"C:\\dir\\noext.*", {"noext"}},  // ".*" also matches no extension at all
        {"C:\\dir\\*.", {".", "..", "noext"}},
        {"C:\\dir\\readme.txt", {"README.TXT"}},
        {"C:\\dir\\read*", {"README.TXT"}},
        {"C:\\dir\\*.zip", {"error 2"}},
        {"C:\\missing\\*.*", {"error 3"}},
        {"C:\\dir\\", {"error 2"}},
    };
    for (const Case &c : cases) EXPECT_EQ(Find(c.pattern), c.expected) << c.pattern;
}

// Runs of stars against long names: each answer comes in well under the
// limit (a matcher that tries every split of the name for every star takes
// hours here), and stars before a dot still stop at the last dot.
TEST_F(FsPlatform, ManyStarsAgainstLongNames) {
    const std::string name(200, 'a');
    std::filesystem::create_directories(Posix('C', "long"));
    WriteFile(Posix('C', "long/" + name), "x");
    WriteFile(Posix('C', "long/" + name + ".b.c"), "x");
    struct Case {
        std::string pattern;
        Names expected;
    } cases[] = {
        {"*****x", {"error 2"}},    {"*a*a*a*a*a*a*a*a*a*a*a*a*b", {"error 2"}},
        {"**********a", {name}},    {"*a*a*a*a*a*a*a*a*a*a*a*a*.c", {name + ".b.c"}},
        {"**.b", {"error 2"}},  // the last star stops at the last dot
        {"*.*.c", {name + ".b.c"}},
    };
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    std::thread([cases, done] {
        for (const Case &c : cases)
            EXPECT_EQ(Find("C:\\long\\" + c.pattern), c.expected) << c.pattern;
        done->set_value();
    }).detach();
    ASSERT_EQ(finished.wait_for(std::chrono::seconds(60)), std::future_status::ready)
        << "matching did not finish";
}

TEST_F(FsPlatform, RootsListNoDotEntriesAndEntriesCarryTheirFacts) {
    Names root = Find("C:\\*.*");
    EXPECT_EQ(root.count("."), 0u);
    EXPECT_EQ(root.count("dir"), 1u);
    EXPECT_EQ(Find("dir\\a.*"), (Names{"a.b"}));  // relative to the current directory

    WriteFile(Posix('C', "dir/.hidden"), "12345");
    os::WIN32_FIND_DATAA data;
    os::HANDLE find = os::FindFirstFileA("C:\\DIR\\.HIDDEN", &data);
    ASSERT_NE(find, os::INVALID_HANDLE_VALUE);
    EXPECT_STREQ(data.cFileName, ".hidden");
    EXPECT_EQ(data.nFileSizeLow, 5u);
    EXPECT_EQ(data.dwFileAttributes, os::FILE_ATTRIBUTE_HIDDEN | os::FILE_ATTRIBUTE_ARCHIVE);
    os::FindClose(find);
    find = os::FindFirstFileA("C:\\dir\\..", &data);
    ASSERT_NE(find, os::INVALID_HANDLE_VALUE);
    EXPECT_EQ(data.dwFileAttributes, os::FILE_ATTRIBUTE_DIRECTORY);
    os::FindClose(find);
}

TEST_F(FsPlatform, DeleteRemoveMoveAndCreate) {
    EXPECT_TRUE(os::DeleteFileA("c:\\DIR\\readme.txt"));
    EXPECT_FALSE(std::filesystem::exists(Posix('C', "dir/README.TXT")));
    EXPECT_TRUE(os::MoveFileA("C:\\dir\\ab.txt", "D:\\moved.txt"));
    EXPECT_EQ(ReadFile(Posix('D', "moved.txt")), "x");
    EXPECT_TRUE(os::MoveFileA("C:\\dir\\noext", "C:\\dir\\NOEXT"));  // a change of case only
    EXPECT_TRUE(std::filesystem::exists(Posix('C', "dir/NOEXT")));
    EXPECT_TRUE(os::CreateDirectoryA("A:\\short", nullptr));
    EXPECT_TRUE(std::filesystem::is_directory(Posix('A', "short")));
}

TEST_F(FsPlatform, EachFailureReportsItsOwnError) {
    const std::pair<os::BOOL (*)(), os::DWORD> cases[] = {
        {[] { return os::DeleteFileA("C:\\dir"); }, os::ERROR_ACCESS_DENIED},
        {[] { return os::RemoveDirectoryA("C:\\dir\\a.b"); }, os::ERROR_DIRECTORY},
        {[] { return os::RemoveDirectoryA("C:\\dir\\none"); }, os::ERROR_FILE_NOT_FOUND},
        {[] { return os::RemoveDirectoryA("C:\\no\\x"); }, os::ERROR_PATH_NOT_FOUND},
        {[] { return os::RemoveDirectoryA("C:\\dir"); }, os::ERROR_DIR_NOT_EMPTY},
        {[] { return os::CreateDirectoryA("C:\\DIR", nullptr); }, os::ERROR_ALREADY_EXISTS},
        {[] { return os::CreateDirectoryA("A:\\longdirname", nullptr); }, os::ERROR_INVALID_NAME},
        {[] { return os::MoveFileA("C:\\dir\\a.b", "C:\\dir\\AB.TXT"); }, os::ERROR_ALREADY_EXISTS},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        os::SetLastError(0);
        EXPECT_FALSE(cases[i].first()) << "row " << i;
        EXPECT_EQ(os::GetLastError(), cases[i].second) << "row " << i;
    }
}

TEST_F(FsPlatform, SearchPathLooksInTheCurrentDirectoryThenPath) {
    std::filesystem::create_directories(Posix('D', "bin"));
    WriteFile(Posix('D', "bin/tool.exe"), "x");
    const char *savedPath = std::getenv("PATH");
    std::string saved = savedPath != nullptr ? savedPath : "";
    ::setenv("PATH", ("/nonexistent:" + Posix('D', "bin").string()).c_str(), 1);
    char buffer[260] = "";
    char *filePart = nullptr;
    os::DWORD length =
        os::SearchPathA(nullptr, "TOOL.EXE", nullptr, sizeof buffer, buffer, &filePart);
    EXPECT_STREQ(buffer, "D:\\bin\\tool.exe");
    EXPECT_EQ(length, 15u);
    EXPECT_STREQ(filePart, "tool.exe");
    EXPECT_EQ(os::SearchPathA(nullptr, "tool.exe", nullptr, 0, nullptr, nullptr),
              16u);  // room needed
    // The current directory comes before PATH.
    WriteFile(Posix('C', "tool.exe"), "x");
    os::SearchPathA(nullptr, "tool.exe", nullptr, sizeof buffer, buffer, nullptr);
    EXPECT_STREQ(buffer, "C:\\tool.exe");
    EXPECT_EQ(os::SearchPathA(nullptr, "absent.exe", nullptr, sizeof buffer, buffer, nullptr), 0u);
    EXPECT_EQ(os::GetLastError(), os::ERROR_FILE_NOT_FOUND);
    ::setenv("PATH", saved.c_str(), 1);
}

// The fixture restores the time zone.
using ZoneTest = kxtest::TempDrives;

// 1996-03-03 14:05:09 UTC as a file time: seconds since 1970 from the
// C library's own calendar, plus the 1601 epoch.
os::FILETIME March3rd1996() {
    std::tm t{};
    t.tm_year = 96, t.tm_mon = 2, t.tm_mday = 3, t.tm_hour = 14, t.tm_min = 5, t.tm_sec = 9;
    uint64_t ticks = (static_cast<uint64_t>(::timegm(&t)) + 11644473600ull) * 10000000ull;
    return os::FILETIME{static_cast<os::DWORD>(ticks), static_cast<os::DWORD>(ticks >> 32)};
}

TEST_F(ZoneTest, ConvertsBetweenFileTimesCalendarAndLocalTime) {
    os::FILETIME utc = March3rd1996();
    os::SYSTEMTIME system{};
    ASSERT_TRUE(os::FileTimeToSystemTime(&utc, &system));
    EXPECT_EQ((std::array<int, 6>{system.wYear, system.wMonth, system.wDay, system.wDayOfWeek,
                                  system.wHour, system.wSecond}),
              (std::array<int, 6>{1996, 3, 3, 0, 14, 9}));  // a Sunday
    os::FILETIME back{};
    ASSERT_TRUE(os::SystemTimeToFileTime(&system, &back));
    EXPECT_EQ(back.dwLowDateTime, utc.dwLowDateTime);
    EXPECT_EQ(back.dwHighDateTime, utc.dwHighDateTime);

    struct Zoned {
        const char *zone;
        int hour;
    } zones[] = {{"UTC0", 14}, {"EST5", 9}, {"CET-1", 15}, {"EST5EDT,M3.2.0,M11.1.0", 9}};
    for (const Zoned &z : zones) {
        kxtest::UseTimeZone(z.zone);
        os::FILETIME local{}, again{};
        ASSERT_TRUE(os::FileTimeToLocalFileTime(&utc, &local));
        os::FileTimeToSystemTime(&local, &system);
        EXPECT_EQ(system.wHour, z.hour) << z.zone;
        ASSERT_TRUE(os::LocalFileTimeToFileTime(&local, &again));
        EXPECT_EQ(again.dwLowDateTime, utc.dwLowDateTime) << z.zone;
    }
}

TEST_F(ZoneTest, RefusesImpossibleCalendarTimes) {
    const os::SYSTEMTIME bad[] = {
        {1996, 13, 0, 1, 0, 0, 0, 0}, {1996, 2, 0, 30, 0, 0, 0, 0}, {1997, 2, 0, 29, 0, 0, 0, 0},
        {1996, 3, 0, 0, 0, 0, 0, 0},  {1996, 3, 0, 3, 24, 0, 0, 0}, {1996, 3, 0, 3, 0, 60, 0, 0},
    };
    for (const os::SYSTEMTIME &t : bad) {
        os::FILETIME time{};
        EXPECT_FALSE(os::SystemTimeToFileTime(&t, &time))
            << t.wMonth << "/" << t.wDay << " " << t.wHour;
    }
    os::SYSTEMTIME leap{1996, 2, 0, 29, 0, 0, 0, 0};
    os::FILETIME time{};
    EXPECT_TRUE(os::SystemTimeToFileTime(&leap, &time));
}

TEST(WindowText, MeasuresAKxTextWindow) {
    KXTEXTWINDOW window{40, [](void *, const char *, int32_t length) { return length * 3; },
                        nullptr};
    os::WindowText text;
    os::LONG room = 0, width = 0;
    ASSERT_TRUE(os::OpenWindowText(&window, &text, &room));
    EXPECT_EQ(room, 40);
    EXPECT_TRUE(os::MeasureWindowText(&text, "abcd", 4, &width));
    EXPECT_EQ(width, 12);
    os::CloseWindowText(&text);
    EXPECT_FALSE(os::OpenWindowText(nullptr, &text, &room));
}

}  // namespace
