// The POSIX side of the operating-system layer: Windows names through the drive
// table, per-drive current directories, volumes, connections, share modes,
// attributes and the errors a Windows file system gives.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "support/temp_drives.h"

namespace {

namespace os = kx::os;
namespace fs = std::filesystem;

constexpr os::DWORD kShareAll = os::FILE_SHARE_READ | os::FILE_SHARE_WRITE;

os::HANDLE Open(const std::string &name, os::DWORD access, os::DWORD share, os::DWORD disposition) {
    return os::CreateFileA(name.c_str(), access, share, nullptr, disposition, 0, nullptr);
}

// 0 when the file opens (it is closed again), else the layer's error.
os::DWORD OpenError(const std::string &name, os::DWORD access = os::GENERIC_READ,
                    os::DWORD share = kShareAll, os::DWORD disposition = os::OPEN_EXISTING) {
    os::HANDLE file = Open(name, access, share, disposition);
    if (file == os::INVALID_HANDLE_VALUE) return os::GetLastError();
    os::CloseHandle(file);
    return 0;
}
os::DWORD CreateError(const std::string &name) {
    return OpenError(name, os::GENERIC_WRITE, 0, os::CREATE_NEW);
}

std::string ReadWhole(const std::string &name) {
    os::HANDLE file = Open(name, os::GENERIC_READ, kShareAll, os::OPEN_EXISTING);
    if (file == os::INVALID_HANDLE_VALUE) return "error " + std::to_string(os::GetLastError());
    char buffer[256];
    os::DWORD count = 0;
    os::ReadFile(file, buffer, sizeof buffer, &count, nullptr);
    os::CloseHandle(file);
    return std::string(buffer, count);
}

std::string CurrentDirectory() {
    char buffer[300] = {};
    return os::GetCurrentDirectoryA(sizeof buffer, buffer) != 0 ? buffer : "<unreadable>";
}

// The volume's maximum component length, 0 when the volume cannot be asked.
os::DWORD Limit(const char *root) {
    os::DWORD limit = 0;
    bool ok = os::GetVolumeInformationA(root, nullptr, 0, nullptr, &limit, nullptr, nullptr, 0);
    return ok ? limit : 0;
}

std::set<std::string> Entries(const fs::path &directory) {
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(directory))
        names.insert(entry.path().filename());
    return names;
}

class PosixLayer : public kxtest::TempDrives {
protected:
    void SetUp() override {
        TempDrives::SetUp();
        fs::create_directories(Posix('C', "Docs"));
        WriteFile(Posix('C', "Docs/README.TXT"), "upper");
        WriteFile(Posix('C', "file.txt"), "x");
    }
};

TEST_F(PosixLayer, NamesResolveWithoutRegardToCase) {
    WriteFile(Posix('C', "CAF\xC9\xD8\x8A.TXT"), "latin");  // code page 1252 letters
    for (const char *name :
         {"C:\\Docs\\README.TXT", "C:\\docs\\readme.txt", "c:/DOCS/ReadMe.Txt",
          "\\Docs\\readme.txt", "docs\\readme.txt", "C:\\..\\docs\\.\\Readme.txt"})
        EXPECT_EQ(ReadWhole(name), "upper") << name;
    EXPECT_EQ(ReadWhole("C:\\caf\xE9\xF8\x9A.txt"), "latin");

    // A new name keeps the case given; an existing one is reused whatever its case.
    EXPECT_EQ(CreateError("C:\\docs\\NewFile.Txt"), 0u);
    EXPECT_EQ(OpenError("C:\\docs\\readme.txt", os::GENERIC_WRITE, 0, os::CREATE_ALWAYS), 0u);
    EXPECT_EQ(Entries(Posix('C', "Docs")), (std::set<std::string>{"NewFile.Txt", "README.TXT"}));
    EXPECT_EQ(ReadFile(Posix('C', "Docs/README.TXT")), "");
}

TEST_F(PosixLayer, ExactSpellingWinsOverOtherCase) {
    WriteFile(Posix('C', "Same.txt"), "first");
    WriteFile(Posix('C', "same.txt"), "second");
    if (Entries(Posix('C')).count("same.txt") == 0) GTEST_SKIP() << "file system ignores case";
    EXPECT_EQ(ReadWhole("C:\\same.txt"), "second");
    EXPECT_EQ(ReadWhole("C:\\Same.txt"), "first");
}

TEST_F(PosixLayer, DotAndDotDotApplyToTheNameBeforeLookup) {
    // As on Windows: a missing directory that ".." takes away is never looked up.
    for (const char *name : {"C:\\nodir\\..\\file.txt", "C:\\..\\..\\file.txt", "C:\\file.txt\\.",
                             "C:\\docs\\nodir\\..\\..\\file.txt"})
        EXPECT_EQ(ReadWhole(name), "x") << name;
    Enter("C:\\docs");
    EXPECT_EQ(ReadWhole("..\\file.txt"), "x");  // climbs from the current directory
}

TEST_F(PosixLayer, MissingAndRefusedNames) {
    const std::pair<std::string, os::DWORD> cases[] = {
        {"C:\\missing.txt", os::ERROR_FILE_NOT_FOUND},
        {"C:\\nodir\\f", os::ERROR_PATH_NOT_FOUND},
        {"C:\\nodir\\deep\\f", os::ERROR_PATH_NOT_FOUND},
        {"C:\\file.txt\\f", os::ERROR_PATH_NOT_FOUND},  // a file on the way
        {"Q:\\f.txt", os::ERROR_PATH_NOT_FOUND},
        {"\\\\nohost\\s\\f", os::ERROR_BAD_NETPATH},
        {"C:\\a?b", os::ERROR_INVALID_NAME},
        {"C:\\a*b", os::ERROR_INVALID_NAME},
        {"C:\\a<b>", os::ERROR_INVALID_NAME},
        {"C:\\a|b", os::ERROR_INVALID_NAME},
        {"C:\\a\"b", os::ERROR_INVALID_NAME},
        {"C:\\x:y", os::ERROR_INVALID_NAME},
        {"C:\\tab\tname", os::ERROR_INVALID_NAME},
        {"C:\\bad?dir\\f", os::ERROR_INVALID_NAME},
        {"C:\\" + std::string(300, 'n'), os::ERROR_FILENAME_EXCED_RANGE},
    };
    auto before = Entries(Posix('C'));
    for (const auto &[name, error] : cases) {
        EXPECT_EQ(OpenError(name), error) << name;
        os::SetLastError(0);
        EXPECT_EQ(os::GetFileAttributesA(name.c_str()), os::INVALID_FILE_ATTRIBUTES) << name;
        EXPECT_EQ(os::GetLastError(), error) << name;
        if (error != os::ERROR_FILE_NOT_FOUND) {
            EXPECT_EQ(OpenError(name, os::GENERIC_WRITE, 0, os::CREATE_ALWAYS), error) << name;
        }
    }
    EXPECT_EQ(Entries(Posix('C')), before);  // nothing was created
    EXPECT_EQ(CreateError("C:\\FILE.txt"), os::ERROR_FILE_EXISTS);
    fs::create_symlink(Posix('C', "nowhere"), Posix('C', "dangling"));
    EXPECT_EQ(OpenError("C:\\dangling"), os::ERROR_FILE_NOT_FOUND);
}

TEST_F(PosixLayer, CurrentDirectoryPerDriveInWindowsForm) {
    fs::create_directories(Posix('D', "sub"));
    WriteFile(Posix('D', "sub/f.txt"), "on d");
    Enter("D:\\SUB");
    EXPECT_EQ(CurrentDirectory(), "D:\\sub");
    EXPECT_TRUE(fs::equivalent(fs::current_path(), Posix('D', "sub")));
    Enter("C:\\");
    EXPECT_EQ(CurrentDirectory(), "C:\\");
    EXPECT_EQ(ReadWhole("D:f.txt"), "on d");
    Enter("D:");
    EXPECT_EQ(CurrentDirectory(), "D:\\sub");
    Enter("A:");  // never entered: its root
    EXPECT_EQ(CurrentDirectory(), "A:\\");

    fs::create_directories(Posix('C', "Work/Deep"));
    Enter("c:\\WORK\\deep");
    char buffer[32];
    EXPECT_EQ(os::GetCurrentDirectoryA(sizeof buffer, buffer), 12u);
    EXPECT_STREQ(buffer, "C:\\Work\\Deep");
    EXPECT_EQ(os::GetCurrentDirectoryA(12, buffer), 13u);  // too small: the size needed
    EXPECT_EQ(os::GetCurrentDirectoryA(13, buffer), 12u);

    EXPECT_FALSE(os::SetCurrentDirectoryA("C:\\file.txt"));  // missing ones: WindowsRules
    EXPECT_EQ(os::GetLastError(), os::ERROR_DIRECTORY);
    EXPECT_EQ(CurrentDirectory(), "C:\\Work\\Deep");
    Enter("\\\\srv\\shr\\");  // shown as the drive connected to the share
    EXPECT_EQ(CurrentDirectory(), "X:\\");
}

TEST_F(PosixLayer, VolumesAndDriveTypes) {
    EXPECT_EQ(Limit("A:\\"), 12u);
    EXPECT_GT(Limit("C:\\"), 12u);
    EXPECT_GT(Limit("\\\\srv\\shr\\"), 12u);
    EXPECT_EQ(Limit("Q:\\"), 0u);
    Enter("A:\\");
    EXPECT_EQ(Limit(nullptr), 12u);  // the current directory's volume

    const std::pair<const char *, os::UINT> cases[] = {{"C:\\", os::DRIVE_FIXED},
                                                       {"A:\\", os::DRIVE_FIXED},
                                                       {"X:\\", os::DRIVE_REMOTE},
                                                       {"x:", os::DRIVE_REMOTE},
                                                       {"\\\\srv\\shr\\", os::DRIVE_REMOTE},
                                                       {"Q:\\", os::DRIVE_NO_ROOT_DIR},
                                                       {"\\\\nohost\\s\\", os::DRIVE_NO_ROOT_DIR}};
    for (const auto &[root, type] : cases) EXPECT_EQ(os::GetDriveTypeA(root), type) << root;
}

TEST_F(PosixLayer, NetworkConnections) {
    char remote[64];
    os::DWORD length = sizeof remote;
    EXPECT_EQ(os::WNetGetConnectionA("X:", remote, &length), os::ERROR_SUCCESS);
    EXPECT_STREQ(remote, "\\\\srv\\shr");
    EXPECT_EQ(os::WNetGetConnectionA("C:", remote, &length), os::ERROR_NOT_CONNECTED);
    length = 9;  // one short of the terminator
    EXPECT_EQ(os::WNetGetConnectionA("x:", remote, &length), os::ERROR_MORE_DATA);
    EXPECT_EQ(length, 10u);
    EXPECT_EQ(os::WNetGetConnectionA("X:", remote, &length), os::ERROR_SUCCESS);
    WriteFile(Posix('X', "f.txt"), "shared");
    EXPECT_EQ(ReadWhole("\\\\SRV\\shr\\F.TXT"), "shared");
}

TEST_F(PosixLayer, ShareModesBetweenHandles) {
    WriteFile(Posix('C', "share.txt"), "hello");
    os::HANDLE reader =
        Open("C:\\share.txt", os::GENERIC_READ, os::FILE_SHARE_READ, os::OPEN_EXISTING);
    ASSERT_NE(reader, os::INVALID_HANDLE_VALUE);
    const os::DWORD readWrite = os::GENERIC_READ | os::GENERIC_WRITE;
    EXPECT_EQ(OpenError("C:\\SHARE.TXT", os::GENERIC_WRITE), os::ERROR_SHARING_VIOLATION);
    EXPECT_EQ(OpenError("C:\\share.txt", readWrite, kShareAll, os::CREATE_ALWAYS),
              os::ERROR_SHARING_VIOLATION);
    // Emptying the file writes to it, whatever access the opener asked for.
    for (os::DWORD disposition : {os::CREATE_ALWAYS, os::TRUNCATE_EXISTING})
        EXPECT_EQ(OpenError("C:\\share.txt", os::GENERIC_READ, os::FILE_SHARE_READ, disposition),
                  os::ERROR_SHARING_VIOLATION);
    EXPECT_EQ(ReadFile(Posix('C', "share.txt")), "hello");
    EXPECT_EQ(OpenError("C:\\share.txt", os::GENERIC_READ, os::FILE_SHARE_READ), 0u);
    EXPECT_EQ(OpenError("C:\\share.txt", os::GENERIC_READ, 0), os::ERROR_SHARING_VIOLATION);
    EXPECT_TRUE(os::CloseHandle(reader));
    EXPECT_EQ(OpenError("C:\\share.txt", os::GENERIC_WRITE, 0, os::CREATE_ALWAYS), 0u);
    EXPECT_EQ(ReadFile(Posix('C', "share.txt")), "");
}

TEST_F(PosixLayer, Attributes) {
    WriteFile(Posix('C', ".hidden"), "");
    WriteFile(Posix('C', "ro.txt"), "");
    fs::permissions(Posix('C', "ro.txt"), fs::perms::owner_read | fs::perms::group_read);
    fs::create_directories(Posix('C', ".hdir"));
    constexpr os::DWORD kArchive = os::FILE_ATTRIBUTE_ARCHIVE, kDir = os::FILE_ATTRIBUTE_DIRECTORY;
    const std::pair<const char *, os::DWORD> cases[] = {
        {"C:\\file.txt", kArchive},
        {"C:\\.hidden", kArchive | os::FILE_ATTRIBUTE_HIDDEN},
        {"C:\\RO.TXT", kArchive | os::FILE_ATTRIBUTE_READONLY},
        {"C:\\docs", kDir},
        {"C:\\docs\\", kDir},
        {"C:\\.hdir", kDir | os::FILE_ATTRIBUTE_HIDDEN},
        {"C:\\", kDir},
        {"C:\\docs\\..", kDir}};
    for (const auto &[name, bits] : cases) EXPECT_EQ(os::GetFileAttributesA(name), bits) << name;
    EXPECT_EQ(OpenError("C:\\docs"), os::ERROR_ACCESS_DENIED);  // a directory is not a file
}

TEST_F(PosixLayer, PermissionsRefuseAsAccessDenied) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not bind the superuser";
    fs::permissions(Posix('C', "file.txt"), fs::perms::owner_read);
    EXPECT_EQ(OpenError("C:\\file.txt", os::GENERIC_WRITE), os::ERROR_ACCESS_DENIED);
    fs::permissions(Posix('C', "Docs"), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_EQ(CreateError("C:\\docs\\new.txt"), os::ERROR_ACCESS_DENIED);
    fs::permissions(Posix('C', "Docs"), fs::perms::owner_all);
}

TEST_F(PosixLayer, NewNamesMustFitTheVolume) {
    EXPECT_EQ(CreateError("A:\\report.txt"), 0u);
    EXPECT_EQ(CreateError("A:\\REPORT2"), 0u);
    EXPECT_EQ(CreateError("A:\\longername.txt"), os::ERROR_FILENAME_EXCED_RANGE);
    for (const char *name : {"A:\\abcdefghi.t", "A:\\a.html", "A:\\a.b.c"})
        EXPECT_EQ(CreateError(name), os::ERROR_INVALID_NAME) << name;
    EXPECT_EQ(Entries(Posix('A')), (std::set<std::string>{"report.txt", "REPORT2"}));
    WriteFile(Posix('A', "longername.txt"), "old");  // a long name already there still opens
    EXPECT_EQ(ReadWhole("A:\\LONGERNAME.TXT"), "old");

    os::DWORD limit = Limit("C:\\");
    if (limit + 4 <= 259) {
        EXPECT_EQ(CreateError("C:\\" + std::string(limit + 1, 'n')), os::ERROR_INVALID_NAME);
        EXPECT_EQ(CreateError("C:\\" + std::string(limit, 'n')), 0u);
    }
}

TEST_F(PosixLayer, DriveDescriptions) {
    for (const char *bad : {"D", "D:/tmp", "D:=relative/dir", "D:=", "D:=/tmp,bogus", "D:=/tmp,",
                            "=/tmp", "\\\\srv=/tmp", "1:=/tmp", "DD:=/tmp", "R:=/tmp,remote=srv",
                            "\\\\h\\s=/tmp,remote=\\\\a\\b", "C:=/tmp;D"}) {
        EXPECT_FALSE(os::testing::ConfigureDrives(bad)) << bad;
        EXPECT_EQ(os::GetDriveTypeA("X:\\"), os::DRIVE_REMOTE) << bad;  // the table is kept
        EXPECT_EQ(ReadWhole("C:\\file.txt"), "x") << bad;
    }

    fs::create_directories(Posix('D', "sub"));
    WriteFile(Posix('X', "f.txt"), "pub");
    ASSERT_TRUE(os::testing::ConfigureDrives(
        "C:=" + Posix('C').string() + " ; ;d:=/nonexistent; d: = " + Posix('D').string() +
        ";R:=" + Posix('X').string() + ",remote=//host/pub;\\\\host\\docs=" + Posix('D').string() +
        ";E:=" + Posix('A').string() + ",83,label=DISK"));
    // The later D: wins.
    EXPECT_EQ(os::GetFileAttributesA("D:\\SUB"), os::FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(ReadWhole("\\\\HOST\\pub\\f.txt"), "pub");  // a remote drive's share by its UNC name
    EXPECT_EQ(ReadWhole("R:\\f.txt"), "pub");
    EXPECT_EQ(os::GetFileAttributesA("\\\\host\\docs\\sub"), os::FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(os::GetDriveTypeA("R:\\"), os::DRIVE_REMOTE);
    EXPECT_EQ(os::GetDriveTypeA("X:\\"), os::DRIVE_NO_ROOT_DIR);
    char label[16];
    EXPECT_TRUE(os::GetVolumeInformationA("E:\\", label, sizeof label, nullptr, nullptr, nullptr,
                                          nullptr, 0));
    EXPECT_STREQ(label, "DISK");
    EXPECT_EQ(Limit("E:\\"), 12u);

    ASSERT_TRUE(os::testing::ConfigureDrives(""));  // the default: C: alone
    EXPECT_EQ(os::GetDriveTypeA("C:\\"), os::DRIVE_FIXED);
    EXPECT_EQ(os::GetDriveTypeA("D:\\"), os::DRIVE_NO_ROOT_DIR);
}

}  // namespace
