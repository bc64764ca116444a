// Directory matching: attribute classes, name case, literal patterns, the
// exclusion list, the date window, the summary, the volume label, and the
// directory-case correction built on it.
#include "fs/match.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <set>
#include <string>

#include "kxfiles.h"
#include "platform/test_hooks.h"
#include "support/fs_calls.h"
#include "support/temp_drives.h"

namespace {

using Names = std::set<std::string>;

// 1996-03-03 14:05:09 UTC plus `offset` seconds.
time_t Moment(int offset = 0) {
    std::tm t{};
    t.tm_year = 96, t.tm_mon = 2, t.tm_mday = 3, t.tm_hour = 14, t.tm_min = 5, t.tm_sec = 9;
    return kxtest::UtcSeconds(t) + offset;
}

class Matching : public kxtest::TempDrives {
protected:
    void SetUp() override {
        TempDrives::SetUp();
        kxtest::UseTimeZone("UTC0");
        std::filesystem::create_directories(Posix('C', "data/Sub Dir"));
        for (const char *name :
             {"README.TXT", "Long Name.doc", "keep.bak", "scratch.tmp", "txt", "txt.old"})
            WriteFile(Posix('C', std::string("data/") + name), "abc");
        WriteFile(Posix('C', "data/.profile"), "");
        WriteFile(Posix('C', "data/ro.txt"), "");
        kxtest::MakeReadOnly(Posix('C', "data/ro.txt"));
    }
    void SetTime(const std::string &relative, time_t when) {
        ASSERT_TRUE(kxtest::SetFileTimes(Posix('C', relative), when));
    }
    // Every name a match returns.
    static Names All(KXMATCH match) {
        Names names;
        char name[260];
        while (kxFileGetMatch(match, name)) names.insert(name);
        return names;
    }
    // Every name a new match returns, with the case mode set unless it is -1.
    static Names List(const char *pattern, uint32_t mask, const char *exclusions = nullptr,
                      int caseMode = -1, const KXFILEDATETIME *notAfter = nullptr,
                      const KXFILEDATETIME *notBefore = nullptr) {
        KXMATCH match = kxFileInitMatch(pattern, mask, notAfter, notBefore, exclusions);
        if (match == nullptr) return {"null, error " + std::to_string(kxFileErrorVal())};
        if (caseMode >= 0) kxFileSetMatchCase(match, static_cast<uint16_t>(caseMode));
        Names names = All(match);
        kxFileDoneMatch(match);
        return names;
    }
};

TEST_F(Matching, AttributeMasks) {
    const Names files = {"C:\\data\\readme.txt",  "C:\\data\\Long Name.doc", "C:\\data\\keep.bak",
                         "C:\\data\\scratch.tmp", "C:\\data\\txt",           "C:\\data\\txt.old"};
    const Names directories = {"C:\\data\\.", "C:\\data\\..", "C:\\data\\Sub Dir"};
    auto with = [](Names a, const Names &b) {
        a.insert(b.begin(), b.end());
        return a;
    };
    struct Case {
        uint32_t mask;
        Names expected;
    } cases[] = {
        {0, files},  // ordinary files only: no read-only, hidden or directory
        {MATCH_NORMAL, files},
        {MATCH_READONLY, with(files, {"C:\\data\\ro.txt"})},
        {MATCH_HIDDEN, with(files, {"C:\\data\\.profile"})},
        {MATCH_DIRECTORY, directories},
        {MATCH_DIRECTORY | MATCH_NORMAL, with(files, directories)},
        {MATCH_DIRECTORY | MATCH_READONLY, directories},
    };
    for (const Case &c : cases)
        EXPECT_EQ(List("C:\\data\\*.*", c.mask), c.expected) << "mask " << c.mask;
}

TEST_F(Matching, NamesTakeTheMatchsCase) {
    const char *others = "*.bak,*.tmp,txt,txt.*";
    EXPECT_EQ(List("C:\\data\\*.*", 0, others, 0),
              (Names{"C:\\data\\readme.txt", "C:\\data\\Long Name.doc"}));
    for (int mode : {1, 2})
        EXPECT_EQ(List("C:\\data\\*.*", 0, others, mode),
                  (Names{"C:\\data\\README.TXT", "C:\\data\\Long Name.doc"}));
}

TEST_F(Matching, LiteralPatternsComeBackAsSpelled) {
    WriteFile(Posix('C', "data/REPORT.TXT"), "");
    KXMATCH match = kxFileInitMatch("c:\\data\\Report.TXT", 0, nullptr, nullptr, nullptr);
    ASSERT_NE(match, nullptr);
    kxFileSetMatchCase(match, 2);
    char name[260];
    ASSERT_EQ(kxFileGetMatch(match, name), 1);
    EXPECT_STREQ(name, "c:\\data\\Report.TXT");
    EXPECT_EQ(kxFileGetMatch(match, name), 0);
    KXMATCHSUMMARY summary{7, 7};
    EXPECT_EQ(kxFileGetMatchInfo(match, &summary), 1);
    EXPECT_EQ(summary.hasWildcards, 0);
    EXPECT_EQ(summary.count, 1);
    kxFileDoneMatch(match);

    // Relative to the current directory: the prefix is the current directory.
    Enter("C:\\data");
    EXPECT_EQ(List("readme.txt", 0), (Names{"C:\\data\\readme.txt"}));
    EXPECT_EQ(List("C:readme.txt", 0), (Names{"C:readme.txt"}));
}

TEST_F(Matching, ExclusionList) {
    EXPECT_EQ(List("C:\\data\\*.*", 0, " *.bak , *.tmp"),
              (Names{"C:\\data\\readme.txt", "C:\\data\\Long Name.doc", "C:\\data\\txt",
                     "C:\\data\\txt.old"}));
    EXPECT_EQ(List("C:\\data\\*.*", 0, "txt"),
              (Names{"C:\\data\\readme.txt", "C:\\data\\Long Name.doc", "C:\\data\\keep.bak",
                     "C:\\data\\scratch.tmp", "C:\\data\\txt.old"}));
    // Two commas in a row end the list: *.tmp is never read.
    EXPECT_EQ(List("C:\\data\\*.bak", 0, "*.bak,,*.tmp"), Names{});
    EXPECT_EQ(List("C:\\data\\*.tmp", 0, "*.bak,,*.tmp"), (Names{"C:\\data\\scratch.tmp"}));
}

TEST(ExclusionItems, MatchingRules) {
    struct Case {
        const char *name;
        const char *item;
        bool matches;
    } cases[] = {
        {"keep.bak", "*.bak", true},
        {"KEEP.BAK", "*.bak", true},
        {"a.b.bak", "*.bak", false},
        {"a.b", "*.*", true},
        {"abc", "*.*", false},
        {"a.b", "*", false},
        {"abc", "*", true},
        {"abc", "abc*", false},
        {"abc.txt", "abc*", false},
        {"ab", "a?", true},
        {"a", "a?", false},
        {"a.b", "a?.b", true},
        {"txt", "txt", true},
        {"txt.old", "txt", false},
        {"", "", true},
        {"", "*", false},
        {"x", "", false},
        {"\xE9t\xE9", "\xC9T\xC9", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(kx::MatchesItem(c.name, c.item), c.matches) << c.name << " / " << c.item;
}

TEST_F(Matching, DateWindow) {
    SetTime("data/txt", Moment());
    SetTime("data/txt.old", Moment(-86400));
    KXFILEDATETIME at{3, 3, 96, 9, 5, 14};  // the entry's own date
    KXFILEDATETIME secondBefore{3, 3, 96, 8, 5, 14};
    KXFILEDATETIME secondAfter{3, 3, 96, 10, 5, 14};
    struct Case {
        const KXFILEDATETIME *notAfter;
        const KXFILEDATETIME *notBefore;
        Names expected;
    } cases[] = {
        {&at, nullptr, {"C:\\data\\txt", "C:\\data\\txt.old"}},
        {&secondBefore, nullptr, {"C:\\data\\txt.old"}},
        {nullptr, &at, {"C:\\data\\txt"}},
        {nullptr, &secondAfter, {}},
        {&at, &at, {"C:\\data\\txt"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(List("C:\\data\\txt*", 0, nullptr, -1, c.notAfter, c.notBefore), c.expected);
}

TEST_F(Matching, EntryInformation) {
    SetTime("data/txt", Moment());
    std::filesystem::resize_file(Posix('C', "data/txt.old"), 4294967296ull);  // 4 GiB
    KXMATCH match = kxFileInitMatch("C:\\data\\txt*", MATCH_READONLY, nullptr, nullptr, nullptr);
    ASSERT_NE(match, nullptr);
    char name[260];
    KXMATCHENTRYINFO info;
    int seen = 0;
    while (true) {
        info = KXMATCHENTRYINFO{0xABCD, 9, {}, 0xFF00 | KXATTR_DRIVE};
        if (!kxFileGetMatchExtended(match, name, &info)) break;
        ++seen;
        EXPECT_EQ(info.reserved, 0xABCDu);  // the caller's
        EXPECT_EQ(info.attributes, 0xFF00u | KXATTR_ARCHIVE) << name;
        if (std::string(name) == "C:\\data\\txt") {
            EXPECT_EQ(info.size, 3u);
            EXPECT_EQ(kxtest::Fields(info.date), (std::array<int, 6>{3, 3, 96, 9, 5, 14}));
        } else {
            EXPECT_EQ(info.size, 0u) << name;  // 4 GiB or more
        }
    }
    EXPECT_EQ(seen, 2);
    kxFileDoneMatch(match);
}

TEST_F(Matching, SummaryAndAnEndOfFilteredEntries) {
    KXMATCH match = kxFileInitMatch("C:\\data\\*.*", 0, nullptr, nullptr, nullptr);
    ASSERT_NE(match, nullptr);
    char name[260];
    for (int i = 0; i < 3; ++i) ASSERT_EQ(kxFileGetMatch(match, name), 1);
    KXMATCHSUMMARY summary{};
    EXPECT_EQ(kxFileGetMatchInfo(match, &summary), 1);
    EXPECT_EQ(summary.hasWildcards, 1);
    EXPECT_EQ(summary.count, 3);
    EXPECT_EQ(kxFileGetMatchInfo(match, nullptr), 0);
    kxFileDoneMatch(match);

    // Only directories and a hidden file match, and all are filtered out: the
    // enumeration runs out while skipping, which is reported as 9.
    kxFileErrorClear();
    match = kxFileInitMatch("C:\\data\\.*", 0, nullptr, nullptr, nullptr);
    ASSERT_NE(match, nullptr);
    EXPECT_EQ(kxFileGetMatch(match, name), 0);
    EXPECT_EQ(kxFileErrorVal(), 9);
    EXPECT_EQ(kxFileGetMatch(match, name), 0);  // stays ended
    kxFileDoneMatch(match);
}

TEST_F(Matching, NothingFoundIsNotAnError) {
    for (const char *pattern : {"C:\\data\\*.zip", "C:\\missing\\*.*", "C:\\data\\none.txt"}) {
        kxFileErrorClear();
        KXMATCH match = kxFileInitMatch(pattern, 0, nullptr, nullptr, nullptr);
        ASSERT_NE(match, nullptr) << pattern;
        char name[260] = "untouched";
        EXPECT_EQ(kxFileGetMatch(match, name), 0) << pattern;
        EXPECT_STREQ(name, "untouched");
        EXPECT_EQ(kxFileErrorVal(), 0) << pattern;
        kxFileDoneMatch(match);
    }
}

TEST_F(Matching, ShortNameVolumes) {
    KXTEST_NEEDS_SHORT_NAME_VOLUME();
    WriteFile(Posix('A', "REPORT.TXT"), "");
    WriteFile(Posix('A', "averylon"), "");
    EXPECT_EQ(List("A:\\*.*", 0), (Names{"A:\\report.txt", "A:\\averylon"}));
    EXPECT_EQ(List("A:\\averylongname", 0),
              (Names{"null, error 5"}));  // longer than the volume's 12
    // A long literal is cut to 8 characters before the search, as the opening functions cut.
    EXPECT_EQ(List("A:\\averylongnm", 0), (Names{"A:\\averylon"}));
    EXPECT_EQ(List("A:\\averylong.t", 0), (Names{"A:\\averylon"}));
}

TEST_F(Matching, VolumeLabel) {
    std::string description =
        "C:=" + Posix('C').string() + ",label=Backup 7;D:=" + Posix('D').string();
    if (!kx::os::testing::ConfigureDrives(description))
        GTEST_SKIP() << "labels are given through the drive table, which only the POSIX layer has";
    KXFILEDATETIME bound{1, 1, 80, 0, 0, 0};
    KXMATCH match = kxFileInitMatch("C:\\*.*", MATCH_VOLUME, &bound, nullptr, nullptr);
    ASSERT_NE(match, nullptr);
    char name[260];
    KXMATCHENTRYINFO info{0, 5, {1, 1, 1, 1, 1, 1}, 0x100 | KXATTR_DIRECTORY};
    ASSERT_EQ(kxFileGetMatchExtended(match, name, &info), 1);
    EXPECT_STREQ(name, "C:\\Backup 7");
    EXPECT_EQ(info.size, 0u);
    EXPECT_EQ(info.attributes, 0x100u);                            // no attributes of its own
    EXPECT_EQ(kxtest::Fields(info.date), (std::array<int, 6>{}));  // no date
    kxFileErrorClear();
    EXPECT_EQ(kxFileGetMatch(match, name), 0);
    EXPECT_EQ(kxFileErrorVal(), 0);
    kxFileDoneMatch(match);
    EXPECT_EQ(List("D:\\*.*", MATCH_VOLUME), (Names{"D:\\"}));  // a volume without a label
}

TEST_F(Matching, DirectoryCaseFromTheDisk) {
    std::filesystem::create_directories(Posix('C', "DOS/Long Dir Name/Inner"));
    struct Case {
        const char *path;
        uint16_t mode;
        const char *expected;
    } cases[] = {
        {"C:\\DOS\\long dir name", 0, "c:\\dos\\Long Dir Name"},
        {"c:\\dos\\LONG DIR NAME", 1, "C:\\DOS\\Long Dir Name"},
        {"c:\\dos\\long dir name\\inner", 2, "c:\\DOS\\Long Dir Name\\Inner"},
        {"C:\\dos\\long dir name\\missing dir", 2, "C:\\DOS\\Long Dir Name\\missing dir"},
        {"\\dos\\long dir name", 2, "\\DOS\\Long Dir Name"},  // from the current drive's root
        {"C:\\dos\\no such\\long dir name", 2, "C:\\DOS\\no such\\long dir name"},
    };
    for (const Case &c : cases) {
        char path[260];
        std::strcpy(path, c.path);
        EXPECT_EQ(kxFileCorrectDirectoryCase(path, 0, c.mode), 1);
        EXPECT_STREQ(path, c.expected) << c.path;
    }
    EXPECT_EQ(kxFileCorrectDirectoryCase(nullptr, 0, 0), 0);
    char buffer[261];
    kxFileGetPath(buffer);
    EXPECT_STREQ(buffer, "C:\\");  // the current directory is where it was
}

}  // namespace
