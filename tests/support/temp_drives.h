// A test fixture that maps fresh temporary directories as drives:
//   C:  a long-name volume, the current drive, entered at its root
//   D:  a second long-name volume
//   A:  a volume of 8.3 names
//   X:  a remote drive connected to the share \\srv\shr
// and undoes everything (drive table, current directory, failure hooks) after
// each test.
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

    // The POSIX path of a name on drive `letter` ("C", "work/a.txt").
    std::filesystem::path Posix(char letter, const std::string &relative = "") const;

    // Writes or reads a whole file by its POSIX path.
    static void WriteFile(const std::filesystem::path &path, const std::string &bytes);
    static std::string ReadFile(const std::filesystem::path &path);

    // Enters a directory by its library name, failing the test when it cannot.
    static void Enter(const char *name);

    std::filesystem::path top_;  // holds one directory per drive

private:
    std::filesystem::path savedCurrent_;
};

// How many file descriptors the process holds, for tests that check that a
// handle's descriptor goes with it.
int OpenDescriptors();

// A name in a writable 260-byte buffer, as the opening functions take it.
struct Name {
    char text[260];
    explicit Name(const std::string &name);
};

}  // namespace kxtest
