// Name validation, full names and the small path operations, on drives mapped to
// temporary directories: C: and D: hold long names, A: 8.3 names, and X: is
// connected to \\srv\shr.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "core/paths.h"
#include "kxfiles.h"
#include "platform/platform.h"
#include "support/temp_drives.h"

namespace {

constexpr const char *kUntouched = "<untouched>";
constexpr const char *kFail = "<fail>";

std::string WindowsCurrentDirectory() {
    char buffer[300] = {};
    return kx::os::GetCurrentDirectoryA(sizeof buffer, buffer) != 0 ? buffer : "<unreadable>";
}

struct NameCode {
    std::string name;
    kx::ErrorCode code;
};

class Paths : public kxtest::TempDrives {
protected:
    void SetUp() override {
        TempDrives::SetUp();
        for (const char *dir : {"C:work", "C:dir", "D:sub", "D:other", "A:dir"})
            std::filesystem::create_directories(Posix(dir[0], dir + 2));
        WriteFile(Posix('C', "file.txt"), "x");
    }

    // Runs a probe and checks that it left the current directory where it was,
    // also when it failed.
    template <typename Probe>
    auto Probed(const std::string &name, Probe probe) {
        std::string before = WindowsCurrentDirectory();
        std::filesystem::path posixBefore = std::filesystem::current_path();
        auto result = probe(name.c_str());
        EXPECT_EQ(WindowsCurrentDirectory(), before) << "after " << name;
        EXPECT_EQ(std::filesystem::current_path(), posixBefore) << "after " << name;
        return result;
    }
    void ExpectChecks(std::initializer_list<NameCode> cases) {
        for (const auto &c : cases) EXPECT_EQ(Probed(c.name, kx::CheckFileName), c.code) << c.name;
    }
    std::string Full(const std::string &name) {
        return Probed(name, [](const char *path) {
            char out[260];
            return kx::BuildFullName(path, out) == 1 ? std::string(out) : std::string(kFail);
        });
    }
};

TEST_F(Paths, ShortNameVolumeAppliesEightDotThreeRules) {
    KXTEST_NEEDS_SHORT_NAME_VOLUME();
    ExpectChecks({{"A:\\report.txt", 0}, {"A:\\reports12.txt", 18}, {"A:\\a.html", 19},
                  {"A:\\.cfg", 0}, {"A:\\.", 0}, {"A:\\dir\\", 5}, {"A:\\a.b.c", 0},
                  {"A:\\abcdefgh.txt", 0}, {"A:\\abcdefghi", 18}, {"A:\\dir\\abc.defg", 19},
                  {"a:report.txt", 0}, {"A:\\nodir\\f.txt", 6}});
    EXPECT_EQ(kx::VolumeNameLimit("A:\\x"), 12u);
    // A name without a directory is judged by the volume of the current directory.
    ExpectChecks({{"reports12.txt", 0}});
    Enter("A:\\dir");
    EXPECT_EQ(kx::VolumeNameLimit("f.txt"), 12u);
    ExpectChecks({{"reports12.txt", 18}, {"a.html", 19}});
}

TEST_F(Paths, LongNameVolumeAppliesItsOwnLimit) {
    uint32_t limit = kx::VolumeNameLimit("C:\\");
    ASSERT_GT(limit, 12u);
    EXPECT_EQ(kx::VolumeNameLimit("f.txt"), limit);  // the current directory's volume
    EXPECT_GT(kx::VolumeNameLimit("\\\\srv\\shr\\f"), 12u);
    EXPECT_EQ(kx::VolumeNameLimit("Q:\\x"), kx::kUnknownVolumeLimit);  // no such drive
    ExpectChecks({{"C:\\" + std::string(limit + 1, 'n'), 18}, {"C:\\", 0}, {"C:\\reports12.txt", 0},
                  {"C:\\work\\a.b.html", 0}, {"C:\\dir\\", 0}, {"C:\\nodir\\f.txt", 6},
                  {"D:\\other\\nodir\\f", 6}, {"C:\\file.txt\\x", 6}, {"", 5},
                  {"C:\\..\\", 0}});  // ".." stays at the root
    if (3 + limit <= 259) {
        ExpectChecks({{"C:\\" + std::string(limit, 'n'), 0}});
    }
    EXPECT_EQ(kx::CheckFileName(nullptr), 5);

    // From a current directory of 204 characters a short relative name can still
    // make a full name over 259 characters.
    std::string d(100, 'd'), e(100, 'e');
    std::filesystem::create_directories(Posix('C', d + "/" + e));
    Enter(("C:\\" + d + "\\" + e).c_str());
    ExpectChecks({{std::string(50, 'f'), 0}, {std::string(60, 'f'), 18}});  // 255 and 265
}

TEST_F(Paths, CutToShortNameKeepsEightCharacters) {
    const struct {
        const char *in, *out;
    } cases[] = {
        {"C:\\dir\\averylongname.txt", "C:\\dir\\averylon"},
        {"C:\\dir\\abc.html", "C:\\dir\\abc.html"}, {"averylongname", "averylon"},
        {"abcdefgh.txt", "abcdefgh.txt"}, {"abcdefghi.txt", "abcdefgh"},
        {"C:ninechars", "C:ninechar"},
        {"\\\\srv\\shr\\longername.c", "\\\\srv\\shr\\longerna"},
    };
    for (const auto &c : cases) {
        kxtest::Name name(c.in);
        EXPECT_EQ(kx::CutToShortName(name.text), 0) << c.in;
        EXPECT_STREQ(name.text, c.out) << c.in;
    }
    EXPECT_EQ(kx::CutToShortName(nullptr), 5);
}

TEST_F(Paths, BuildFullName) {
    Enter("C:\\work");
    const std::pair<const char *, const char *> cases[] = {
        {"a\\..\\b.txt", "C:\\work\\b.txt"}, {"", "C:\\work\\"}, {".", "C:\\work"},
        {"..\\x", "C:\\x"}, {"..\\..", "C:\\"}, {"C:\\..", "C:\\"}, {"C:\\", "C:\\"},
        {"C:\\a\\.\\b\\", "C:\\a\\b"}, {"C:\\a\\\\b", "C:\\a\\\\b"},  // doubled stays doubled
        {"C:x.txt", "C:\\work\\x.txt"}, {"sub/Name.TXT", "C:\\work\\sub/Name.TXT"},
        {"\\\\srv\\shr\\dir\\f.txt", IsConnectedDrive() ? "x:\\dir\\f.txt" : "\\\\srv\\shr\\dir\\f.txt"},
        {"\\\\SRV\\Shr\\f.txt", IsConnectedDrive() ? "x:\\f.txt" : "\\\\SRV\\Shr\\f.txt"},
        {"\\\\other\\s\\f.txt", "\\\\other\\s\\f.txt"}, {"\\\\other\\s\\", "\\\\other\\s\\"},
        {"\\\\other\\s", kFail},  // an unknown share has no current directory
    };
    for (const auto &[name, full] : cases) EXPECT_EQ(Full(name), full) << name;
    Enter("D:\\sub");
    EXPECT_EQ(Full("\\x"), "D:\\x");
    EXPECT_EQ(kx::BuildFullName(nullptr, nullptr), 0);
    std::string a(150, 'a');
    std::string fits = "C:\\" + a + "\\" + std::string(104, 'b');  // 258 characters
    EXPECT_EQ(Full(fits), fits);
    EXPECT_EQ(Full("C:\\" + a + "\\" + std::string(120, 'b')), kFail);
}

TEST_F(Paths, EachDriveHasItsOwnCurrentDirectory) {
    Enter("D:\\sub");
    Enter("C:\\work");
    EXPECT_EQ(Full("D:f.txt"), "D:\\sub\\f.txt");
    EXPECT_EQ(Full("D:..\\g"), "D:\\g");
    EXPECT_EQ(Full("A:f.txt"), "A:\\f.txt");  // never entered: its root
    char out[260];
    EXPECT_EQ(kx::ResolveDirectory("D:", out), 0);
    EXPECT_STREQ(out, "D:\\sub\\");
    EXPECT_EQ(kx::ResolveDirectory("D:\\OTHER", out), 0);
#ifdef _WIN32
    EXPECT_STREQ(out, "D:\\OTHER\\");  // Windows keeps the spelling given
#else
    EXPECT_STREQ(out, "D:\\other\\");  // the POSIX layer shows the spelling on disk
#endif
    std::strcpy(out, kUntouched);
    EXPECT_NE(kx::ResolveDirectory("C:\\nodir", out), 0);
    EXPECT_STREQ(out, kUntouched);
    EXPECT_EQ(kx::EnterDirectory("C:\\nodir\\deeper"), 6);
    EXPECT_EQ(kx::EnterDirectory("C:\\file.txt"), 6);  // not a directory
    EXPECT_EQ(WindowsCurrentDirectory(), "C:\\work");
    EXPECT_EQ(kx::EnterDirectory("C:\\"), 0);
    EXPECT_EQ(kx::CurrentDirectory(out), 0);
    EXPECT_STREQ(out, "C:\\");  // a root already ends in a backslash
}

TEST_F(Paths, GetRootPrefix) {
    const struct {
        const char *path;
        int result;
        const char *root, *drivePath;
    } cases[] = {
        {"C:x", 2, "C:", kUntouched}, {"d:\\dir", 2, "d:", kUntouched},
        // Without a drive connected to the share, the share is its own root.
        {"\\\\srv\\shr\\f.txt", 9, IsConnectedDrive() ? "x:" : "\\\\srv\\shr", IsConnectedDrive() ? "x:\\f.txt" : kUntouched},
        {"\\\\SRV\\SHR\\f", 9, IsConnectedDrive() ? "x:" : "\\\\SRV\\SHR", IsConnectedDrive() ? "x:\\f" : kUntouched},
        {"\\\\srv\\shr", 9, IsConnectedDrive() ? "x:" : "\\\\srv\\shr", IsConnectedDrive() ? "x:" : kUntouched},
        {"\\\\other\\s\\f.txt", 9, "\\\\other\\s", kUntouched},
        {"\\\\srv", 0, "", kUntouched}, {"rel\\f", 0, "C:", kUntouched},
        {"x", 0, kUntouched, kUntouched},
    };
    using Fn = int32_t (*)(const char *, char *, char *);
    for (Fn fn : {static_cast<Fn>(kx::GetRootPrefix), static_cast<Fn>(kxFileGetDrive)}) {
        for (const auto &c : cases) {
            char root[300], drivePath[300];
            std::strcpy(root, kUntouched);
            std::strcpy(drivePath, kUntouched);
            EXPECT_EQ(fn(c.path, root, drivePath), c.result) << c.path;
            EXPECT_STREQ(root, c.root) << c.path;
            EXPECT_STREQ(drivePath, c.drivePath) << c.path;
        }
    }
    EXPECT_EQ(kx::GetRootPrefix("\\\\srv\\shr\\f.txt", nullptr, nullptr), 9);
    EXPECT_EQ(kx::GetRootPrefix(nullptr, nullptr, nullptr), 0);
    Enter("D:\\sub");
    char root[300];
    EXPECT_EQ(kx::GetRootPrefix("rel\\f", root, nullptr), 0);
    EXPECT_STREQ(root, "D:");
}

TEST_F(Paths, SplitFileNameAndDirectory) {
    const struct {
        const char *path, *name;
        int hasDirectory;
        const char *directory;
    } cases[] = {
        {"C:\\dir\\f.txt", "f.txt", 1, "C:\\dir\\"}, {"f.txt", "f.txt", 0, kUntouched},
        {"C:f.txt", "f.txt", 1, "C:"}, {"C:", "", 1, "C:"}, {"dir/sub:f", "f", 1, "dir/sub:"},
        {"\\\\srv\\shr\\f", "f", 1, "\\\\srv\\shr\\"}, {"\\\\srv\\shr", "", 1, "\\\\srv\\shr"},
        {"C:\\dir\\", "", 1, "C:\\dir\\"},
    };
    for (bool exported : {false, true}) {
        for (const auto &c : cases) {
            char name[300], dir[300];
            std::strcpy(dir, kUntouched);
            EXPECT_EQ(exported ? kxFileExtractFileName(c.path, name)
                               : kx::SplitFileName(c.path, name), 1);
            EXPECT_STREQ(name, c.name) << c.path;
            EXPECT_EQ(exported ? kxFileExtractPath(c.path, dir) : kx::SplitDirectory(c.path, dir),
                      c.hasDirectory) << c.path;
            EXPECT_STREQ(dir, c.directory) << c.path;
        }
    }
    kxtest::Name inPlace("C:\\dir\\f.txt"), bare("f.txt");
    EXPECT_EQ(kx::SplitDirectory(inPlace.text, inPlace.text), 1);
    EXPECT_STREQ(inPlace.text, "C:\\dir\\");
    EXPECT_EQ(kx::SplitDirectory(bare.text, bare.text), 0);
    EXPECT_STREQ(bare.text, "f.txt");
    EXPECT_EQ(kx::SplitFileName(nullptr, bare.text), 0);
    EXPECT_EQ(kx::SplitFileName("f", nullptr), 0);

    for (auto [path, root] : {std::pair{"\\\\srv\\shr\\f", "\\\\srv\\shr\\"},
                              std::pair{"//srv/shr/", "//srv/shr/"}, std::pair{"\\\\srv\\shr", ""},
                              std::pair{"C:\\x", ""}}) {
        char out[300] = "<untouched>";
        EXPECT_EQ(kx::GetShareRoot(path, out), root[0] != '\0') << path;
        EXPECT_STREQ(out, root) << path;
    }
}

TEST_F(Paths, ExportedValidationAndFullName) {
    EXPECT_EQ(kxFileValidateFileName("C:\\work\\new.txt"), 1);
    EXPECT_EQ(kxFileErrorVal(), 0);
    EXPECT_EQ(kxFileValidateFileName("C:\\nodir\\new.txt"), 0);
    EXPECT_EQ(kxFileErrorVal(), 6);
    EXPECT_EQ(kxFileValidateFileName("C:\\work\\new.txt"), 1);
    EXPECT_EQ(kxFileErrorVal(), 6);  // success leaves the last error alone
    EXPECT_EQ(kxFileValidateFileName(nullptr), 0);
    EXPECT_EQ(kxFileErrorVal(), 5);

    Enter("C:\\work");
    char out[260];
    EXPECT_EQ(kxFileGetFullName("a\\..\\b.txt", out), 1);
    EXPECT_STREQ(out, "C:\\work\\b.txt");
    kxFileErrorClear();
    EXPECT_EQ(kxFileGetFullName("C:\\..", out), 1);  // ".." stays at the root
    EXPECT_STREQ(out, "C:\\");
    EXPECT_EQ(kxFileErrorVal(), 0);
    // Nowhere to put the full name: a failure with its code, 9.
    EXPECT_EQ(kxFileGetFullName("C:\\nodir\\f.txt", nullptr), 0);
    EXPECT_EQ(kxFileErrorVal(), 9);
    kxFileErrorClear();
    kxtest::Name same("C:\\work\\f.txt");
    EXPECT_EQ(kxFileGetFullName(same.text, same.text), 0);
    EXPECT_STREQ(same.text, "C:\\work\\f.txt");
    EXPECT_EQ(kxFileErrorVal(), 9);
    EXPECT_EQ(kxFileGetFullName("C:\\nodir\\f.txt", out), 0);
    EXPECT_EQ(kxFileErrorVal(), 6);
    if (IsShortNameVolume()) {
        EXPECT_EQ(kxFileGetFullName("A:\\reports12.txt", out), 0);
        EXPECT_EQ(kxFileErrorVal(), 18);
    }
    EXPECT_EQ(WindowsCurrentDirectory(), "C:\\work");
}

// A lone backslash is the current drive's root, whatever the caller's buffer
// held before; a buffer without a terminator must not be read.
TEST_F(Paths, LoneBackslashIsTheCurrentRoot) {
    Enter("D:\\sub");
    char out[260];
    std::memset(out, 'L', sizeof out);
    EXPECT_EQ(kxFileGetFullName("\\", out), 1);
    EXPECT_STREQ(out, "D:\\");
    std::strcpy(out, "LEFTOVER-TEXT");
    EXPECT_EQ(kxFileGetFullName("\\", out), 1);
    EXPECT_STREQ(out, "D:\\");
    EXPECT_EQ(Full("\\"), "D:\\");
    EXPECT_EQ(kxFileValidateFileName("\\"), 1);
}

}  // namespace
