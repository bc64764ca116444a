// The rules of the Windows file system that every build keeps alike (on Linux
// over the drive table, on Windows over mapped drives): files held open,
// read-only files, ".." at a root, trailing dots and spaces, device names, each
// drive's current directory, volumes that cannot be asked, system errors.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/paths.h"
#include "kxfiles.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "support/fs_calls.h"
#include "support/temp_drives.h"

namespace {

namespace fs = std::filesystem;
using kxtest::Called;
using kxtest::Delete;
using kxtest::FullName;
using kxtest::Name;
using kxtest::Outcome;
using kxtest::Rename;

constexpr int32_t kAccessDenied = 1;
constexpr int32_t kInvalidFileName = 5;
constexpr int32_t kInvalidPath = 6;
constexpr int32_t kSharingViolation = 7;

class WindowsRules : public kxtest::TempDrives {
protected:
    void SetUp() override {
        TempDrives::SetUp();
        fs::create_directories(Posix('C', "work"));
        fs::create_directories(Posix('D', "sub"));
        WriteFile(Posix('C', "work/report.txt"), "data");
    }

    // Writes `bytes` into a new file through the library and leaves it open.
    static KXFILE CreateWith(const char *name, const std::string &bytes) {
        Name buffer(name);
        KXFILE file = kxFileCreate(buffer.text, 1);
        uint32_t written = 0;
        if (file != nullptr)
            kxFileWrite(file, bytes.data(), static_cast<uint32_t>(bytes.size()), &written);
        return file;
    }
};

TEST_F(WindowsRules, AFileHeldOpenIsNeitherDeletedNorRenamed) {
    KXFILE writer = CreateWith("C:\\work\\open.txt", "first");
    ASSERT_NE(writer, nullptr);
    ASSERT_EQ(kxFileFlush(writer), 1);
    EXPECT_EQ(Delete("C:\\work\\open.txt"), Outcome(0, kSharingViolation));
    EXPECT_EQ(Rename("C:\\work\\open.txt", "C:\\work\\moved.txt"), Outcome(0, kSharingViolation));
    uint32_t written = 0;
    EXPECT_EQ(kxFileWrite(writer, " second", 7, &written), 1);
    EXPECT_EQ(kxFileClose(writer), 1);
    EXPECT_EQ(ReadFile(Posix('C', "work/open.txt")),
              "first second");  // nothing went to a lost file
    EXPECT_FALSE(fs::exists(Posix('C', "work/moved.txt")));

    // A reader holds the file as firmly; once it is closed both calls work.
    Name name("C:\\work\\report.txt");
    KXFILE reader = kxFileOpen(name.text, 0);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(Rename("C:\\work\\report.txt", "C:\\work\\r.txt"), Outcome(0, kSharingViolation));
    EXPECT_EQ(Delete("C:\\work\\report.txt"), Outcome(0, kSharingViolation));
    EXPECT_EQ(kxFileClose(reader), 1);
    EXPECT_EQ(Rename("C:\\work\\report.txt", "C:\\work\\r.txt"), Outcome(1, 0));
    EXPECT_EQ(Delete("C:\\work\\r.txt"), Outcome(1, 0));
}

TEST_F(WindowsRules, AReadOnlyFileIsNeitherDeletedNorWritten) {
    if (kxtest::UnderWine()) GTEST_SKIP() << "wine run as root opens read-only files for writing";
    fs::path path = Posix('C', "work/report.txt");
    kxtest::MakeReadOnly(path);
    Name name("C:\\work\\report.txt");
    const std::pair<const char *, KXFILE (*)(char *)> writers[] = {
        {"open to write", [](char *n) { return kxFileOpen(n, 0x01); }},
        {"open to read and write", [](char *n) { return kxFileOpen(n, 0x02); }},
        {"overwrite", [](char *n) { return kxFileCreate(n, 1); }},
        {"append", [](char *n) { return kxFileAppend(n, 0, 0); }},
    };
    for (const auto &[what, call] : writers) {
        kxFileErrorClear();
        KXFILE file = call(name.text);
        EXPECT_EQ(file, nullptr) << what;
        if (file != nullptr) kxFileClose(file);
        EXPECT_EQ(kxFileErrorVal(), kAccessDenied) << what;
    }
    EXPECT_EQ(Delete("C:\\work\\report.txt"), Outcome(0, kAccessDenied));
    EXPECT_EQ(ReadFile(path), "data");

    KXFILE reader = kxFileOpen(name.text, 0);  // reading is allowed
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(kxFileClose(reader), 1);
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(Delete("C:\\work\\report.txt"), Outcome(1, 0));
}

TEST_F(WindowsRules, DotDotAtARootStaysAtTheRoot) {
    const struct {
        const char *current, *name, *full, *onDisk;  // onDisk: drive letter and relative path
    } cases[] = {
        {"C:\\", "..\\x.txt", "C:\\x.txt", "C:x.txt"},
        {"C:\\work", "..\\..\\..\\y.txt", "C:\\y.txt", "C:y.txt"},
        {"C:\\work", "C:\\..\\work\\..\\..\\z.txt", "C:\\z.txt", "C:z.txt"},
        {"C:\\", "D:\\..\\sub\\w.txt", "D:\\sub\\w.txt", "D:sub/w.txt"},
    };
    for (const auto &c : cases) {
        Enter(c.current);
        EXPECT_EQ(Called([&] { return kxFileValidateFileName(c.name); }), Outcome(1, 0)) << c.name;
        EXPECT_EQ(FullName(c.name), c.full) << c.name;
        Name name(c.name);
        KXFILE file = kxFileCreate(name.text, 1);
        ASSERT_NE(file, nullptr) << c.name;
        char handleName[260] = "";
        EXPECT_EQ(kxFileGetFileName(file, handleName), 1);
        EXPECT_STREQ(handleName, c.full) << c.name;
        EXPECT_EQ(kxFileClose(file), 1);
        EXPECT_TRUE(fs::exists(Posix(c.onDisk[0], c.onDisk + 2))) << c.name;
    }
    Enter("C:\\");
    EXPECT_EQ(FullName("C:\\.."), "C:\\");
    EXPECT_EQ(FullName(".."), "C:\\");
}

TEST_F(WindowsRules, DotsAndSpacesEndingAComponentAreDropped) {
    const struct {
        const char *given, *stored;
    } files[] = {{"C:\\work\\dot.", "dot"},
                 {"C:\\work\\space ", "space"},
                 {"C:\\work\\both. .", "both"},
                 {"C:\\work\\note.txt..", "note.txt"}};
    for (const auto &f : files) {
        KXFILE file = CreateWith(f.given, "x");
        ASSERT_NE(file, nullptr) << f.given;
        EXPECT_EQ(kxFileClose(file), 1);
        EXPECT_TRUE(fs::exists(Posix('C', std::string("work/") + f.stored))) << f.given;
    }
    EXPECT_EQ(Called([] { return kxFileCreateDir("C:\\work\\sub."); }), Outcome(1, 0));
    EXPECT_TRUE(fs::is_directory(Posix('C', "work/sub")));

    // Lookups find the stored names through the same rule.
    // A directory on the way loses its trailing dots only.
    const char *existing[] = {"C:\\work\\report.txt.", "C:\\work\\report.txt ",
                              "C:\\work\\sub.\\..\\dot", "C:\\work.\\report.txt", "C:\\work.\\sub"};
    for (const char *name : existing)
        EXPECT_EQ(Called([&] { return kxFileExists(name); }), Outcome(1, 0)) << name;
    Name dotted("C:\\work.\\report.txt. ");
    KXFILE reader = kxFileOpen(dotted.text, 0);
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(kxFileClose(reader), 1);
    EXPECT_EQ(Rename("C:\\work\\dot.", "C:\\work\\renamed. "), Outcome(1, 0));
    EXPECT_TRUE(fs::exists(Posix('C', "work/renamed")));
    EXPECT_EQ(Delete("C:\\work\\renamed.."), Outcome(1, 0));
    EXPECT_FALSE(fs::exists(Posix('C', "work/renamed")));
}

// The devices are taken as devices in every directory: their names exist
// already, so a new name for one is numbered; NUL takes writes and keeps none;
// no file of a device's name is ever made or deleted.
TEST_F(WindowsRules, DeviceNamesAreDevicesNeverFiles) {
    const struct {
        const char *host, *fresh;
    } names[] = {{"CON", "CON000"},         {"nul", "nul000"},   {"Aux.txt", "Aux000.txt"},
                 {"prn.log", "prn000.log"}, {"COM1", "COM1000"}, {"lpt9.doc", "lpt9000.doc"}};
    Enter("C:\\work");
    for (const auto &n : names) {
        char out[260] = "";
        EXPECT_EQ(kxFileMakeNewName(n.host, out), 1) << n.host;
        EXPECT_STREQ(out, n.fresh) << n.host;
        EXPECT_EQ(Called([&] { return kxFileValidateFileName(n.host); }), Outcome(1, 0)) << n.host;
    }
    // COM10 and LPT0 are ordinary names: free, so they come back as given (0).
    for (const char *plain : {"COM10", "LPT0", "CONSOLE", "nul_"}) {
        char out[260] = "";
        EXPECT_EQ(kxFileMakeNewName(plain, out), 0) << plain;
        EXPECT_STREQ(out, plain);
    }

    KXFILE null = CreateWith("C:\\work\\NUL.txt", "vanishes");
    ASSERT_NE(null, nullptr);
    EXPECT_EQ(kxFileClose(null), 1);
    Name nul("C:\\work\\nul");
    KXFILE reader = kxFileOpen(nul.text, 0);
    ASSERT_NE(reader, nullptr);
    char byte;
    uint32_t got = 1;
    EXPECT_EQ(kxFileRead(reader, &byte, 1, &got), 1);
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(kxFileClose(reader), 1);
    EXPECT_EQ(Delete("C:\\work\\prn").first, 0);
    EXPECT_EQ(Rename("C:\\work\\report.txt", "C:\\work\\aux").first, 0);
    EXPECT_EQ(ReadFile(Posix('C', "work/report.txt")), "data");
    std::string entries;
    for (const auto &entry : fs::directory_iterator(Posix('C', "work")))
        entries += entry.path().filename().string() + ";";
    EXPECT_EQ(entries, "report.txt;");
}

TEST_F(WindowsRules, EachDriveKeepsItsCurrentDirectory) {
    EXPECT_EQ(kxFileSetPath("D:\\sub"), 1);
    EXPECT_EQ(kxFileSetPath("C:\\work"), 1);
    EXPECT_EQ(FullName("D:f.txt"), "D:\\sub\\f.txt");
    EXPECT_EQ(FullName("D:..\\g"), "D:\\g");
    EXPECT_EQ(FullName("f.txt"), "C:\\work\\f.txt");
    EXPECT_EQ(kxFileSetPath("D:"), 1);  // back to D:'s own directory
    char path[261];
    ASSERT_EQ(kxFileGetPath(path), 1);
    EXPECT_STREQ(path, "D:\\sub\\");
    EXPECT_EQ(FullName("C:x.txt"), "C:\\work\\x.txt");
}

TEST_F(WindowsRules, AVolumeThatCannotBeAskedHoldsLongNames) {
    kx::os::testing::FailVolumeQueries(true);
    EXPECT_EQ(kx::VolumeNameLimit("\\\\srv\\shr\\f"), kx::kUnknownVolumeLimit);
    EXPECT_EQ(Called([] { return kxFileValidateFileName("\\\\srv\\shr\\Long Name.txt"); }),
              Outcome(1, 0));
    EXPECT_EQ(Called([] { return kxFileValidateFileName("C:\\work\\reports12.text"); }),
              Outcome(1, 0));
    KXFILE file = CreateWith("\\\\srv\\shr\\Long Name.txt", "x");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(kxFileClose(file), 1);
    kx::os::testing::FailVolumeQueries(false);
    EXPECT_TRUE(fs::exists(Posix('X', "Long Name.txt")));
    EXPECT_FALSE(fs::exists(Posix('X', "Long Nam")));
}

TEST_F(WindowsRules, SystemErrorNumbers) {
    fs::create_directories(Posix('C', "here"));
    Enter("C:\\here");
    EXPECT_EQ(Delete("C:\\here"), Outcome(0, kSharingViolation));
    Enter("C:\\");
    EXPECT_TRUE(fs::is_directory(Posix('C', "here")));
    EXPECT_EQ(Delete("C:\\here"), Outcome(1, 0));

    const struct {
        const char *directory;
        uint32_t system;  // the system's own error
        int32_t library;
    } missing[] = {{"C:\\nodir", 2, kInvalidFileName}, {"C:\\nodir\\deeper", 3, kInvalidPath}};
    for (const auto &m : missing) {
        EXPECT_FALSE(kx::os::SetCurrentDirectoryA(m.directory));
        EXPECT_EQ(kx::os::GetLastError(), m.system) << m.directory;
        EXPECT_EQ(Called([&] { return kxFileSetPath(m.directory); }), Outcome(0, m.library))
            << m.directory;
    }

    // A default that the profile does not override keeps its leading blank
    // (KXFILES_PROFILE names the POSIX layer's profile; Windows ignores it).
    kxtest::SetEnv("KXFILES_PROFILE", (top_ / "none.ini").string().c_str());
    char value[16];
    EXPECT_EQ(kx::os::GetProfileStringA("kxfiles test", "no such key", " 1", value, sizeof value),
              2u);
    kxtest::UnsetEnv("KXFILES_PROFILE");
    EXPECT_STREQ(value, " 1");
}

}  // namespace
