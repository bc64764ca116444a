// A test fixture that maps fresh temporary directories as drives:
//   C:  a long-name volume, the current drive, entered at its root
//   D:  a second long-name volume
//   A:  a volume of 8.3 names
//   X:  a remote drive connected to the share \\srv\shr
// and undoes everything (drive table, current directory, failure hooks) after
// each test.
//
// On Linux the drive table maps them. On Windows the drives must already be
// mapped to throwaway directories, as scripts/test-wine.sh does in its own
// wine prefix (C:, D:, A: and X: on temporary directories, \\srv\shr on X:'s)
// and says by setting KXTEST_MAPPED_DRIVES; the fixture then empties those
// drives before each test (on C: it leaves the entries the system had there,
// marked hidden and system). Without that variable the tests are skipped, so
// that no real drive is ever touched. There the drive A: is a long-name volume
// (wine has no volume of 8.3 names): IsShortNameVolume says which it is.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace kxtest {

class TempDrives : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The system's path of a name on drive `letter` ("C", "work/a.txt"): the
    // directory that the drive shows on Linux, the drive itself on Windows.
    std::filesystem::path Posix(char letter, const std::string &relative = "") const;

    // Whether A: is a volume of 8.3 names here (not under wine), and whether
    // X: is a network drive connected to \\srv\shr (not under wine either:
    // there X: and the share show the same directory, unconnected).
    static bool IsShortNameVolume();
    static bool IsConnectedDrive();

    // Writes or reads a whole file by its POSIX path.
    static void WriteFile(const std::filesystem::path &path, const std::string &bytes);
    static std::string ReadFile(const std::filesystem::path &path);

    // Enters a directory by its library name, failing the test when it cannot.
    static void Enter(const char *name);

    std::filesystem::path top_;  // holds one directory per drive

private:
    void ResetFailuresAndDirectory();
    std::filesystem::path savedCurrent_;
};

// How many file descriptors (on Windows, handles) the process holds, for
// tests that check that a handle's descriptor goes with it; wine counts none.
int OpenDescriptors();

// A name in a writable 260-byte buffer, as the opening functions take it.
// The first statement of a test that needs the 8.3 volume or the connected drive.
#define KXTEST_NEEDS_SHORT_NAME_VOLUME() \
    if (!IsShortNameVolume()) GTEST_SKIP() << "no volume of 8.3 names among the mapped drives"
#define KXTEST_NEEDS_CONNECTED_DRIVE() \
    if (!IsConnectedDrive()) GTEST_SKIP() << "no network drive connected to \\\\srv\\shr here"

struct Name {
    char text[260];
    explicit Name(const std::string &name);
};

}  // namespace kxtest
