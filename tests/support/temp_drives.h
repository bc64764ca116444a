// A test fixture over fresh temporary drives: C: (long names, the current
// drive, entered at its root), D: (long names), A: (8.3 names) and X: (remote,
// connected to \\srv\shr). It undoes the drive table, the current directory,
// the failure hooks and the time zone after each test. On Linux the drive
// table maps them; on Windows scripts/test-wine.sh maps them to throwaway
// directories and sets KXTEST_MAPPED_DRIVES (the fixture empties them before
// each test, leaving the system's entries on C:), else every test is skipped
// so that no real drive is touched. There A: holds long names.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "support/portable.h"

namespace kxtest {

class TempDrives : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The system's path of a name on drive `letter` ("C", "work/a.txt").
    std::filesystem::path Posix(char letter, const std::string &relative = "") const;

    // Whether A: holds 8.3 names and X: is connected to \\srv\shr (not under wine).
    static bool IsShortNameVolume();
    static bool IsConnectedDrive();

    static void WriteFile(const std::filesystem::path &path, const std::string &bytes);
    static std::string ReadFile(const std::filesystem::path &path);
    // Enters a directory by its library name, failing the test when it cannot.
    static void Enter(const char *name);

    std::filesystem::path top_;  // holds one directory per drive

private:
    std::filesystem::path savedCurrent_;
    std::string savedZone_;
    bool hadZone_ = false;
};

// The first statement of a test that needs the volume of 8.3 names.
#define KXTEST_NEEDS_SHORT_NAME_VOLUME() \
    if (!IsShortNameVolume()) GTEST_SKIP() << "no volume of 8.3 names among the mapped drives"

// A name in a writable 260-byte buffer, as the opening functions take it.
struct Name {
    char text[260];
    explicit Name(const std::string &name);
};

}  // namespace kxtest
