#include "support/temp_drives.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

#include "kxfiles.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"

// After the library's headers: <windows.h> defines as macros names that the
// operating-system layer's header declares as constants.
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace kxtest {

namespace fs = std::filesystem;

#ifdef _WIN32

namespace {

bool DrivesMapped() {
    return std::getenv("KXTEST_MAPPED_DRIVES") != nullptr;
}

fs::path Root(char letter) {
    return std::string(1, letter) + ":\\";
}

// The entries that C: held before the first test: the system's own, kept.
const std::vector<fs::path> &SystemEntries() {
    static const std::vector<fs::path> entries = [] {
        std::vector<fs::path> found;
        for (const auto &entry : fs::directory_iterator(Root('C'))) {
            found.push_back(entry.path().filename());
            ::SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_HIDDEN |
                                                                    FILE_ATTRIBUTE_SYSTEM |
                                                                    FILE_ATTRIBUTE_DIRECTORY);
        }
        return found;
    }();
    return entries;
}

// Empties a mapped drive, read-only files too.
void Empty(char letter) {
    std::error_code ignored;
    const auto &kept = SystemEntries();
    for (const auto &entry : fs::directory_iterator(Root(letter), ignored)) {
        if (letter == 'C' && std::count(kept.begin(), kept.end(), entry.path().filename()) != 0)
            continue;
        for (const auto &inner : fs::recursive_directory_iterator(entry.path(), ignored))
            ::SetFileAttributesA(inner.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
        ::SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
        fs::remove_all(entry.path(), ignored);
    }
}

}  // namespace

void TempDrives::SetUp() {
    savedCurrent_ = fs::current_path();
    top_ = fs::temp_directory_path() / ("kxfiles-test-" + std::to_string(::GetCurrentProcessId()));
    if (!DrivesMapped()) {
        // Whatever a test's own setup writes goes to the temporary directory.
        for (const char *d : {"c", "d", "a", "x"}) fs::create_directories(top_ / d);
        GTEST_SKIP() << "needs the drives that scripts/test-wine.sh maps (KXTEST_MAPPED_DRIVES)";
    }
    for (char d : {'C', 'D', 'A', 'X'}) Empty(d);
    Enter("C:\\");
    kxFileErrorClear();
}

void TempDrives::TearDown() {
    kx::os::testing::FailAllocation(0);
    kx::os::testing::SetDiskSpace(-1);
    kx::os::testing::FailVolumeQueries(false);
    fs::current_path(savedCurrent_);
    if (DrivesMapped()) {
        for (char d : {'D', 'A', 'X', 'C'}) Empty(d);
        // Each drive's own current directory back at its root.
        for (const char *root : {"D:\\", "A:\\", "X:\\"}) kx::os::SetCurrentDirectoryA(root);
        kx::os::SetCurrentDirectoryA(savedCurrent_.string().c_str());
    }
    std::error_code ignored;
    fs::remove_all(top_, ignored);
}

fs::path TempDrives::Posix(char letter, const std::string &relative) const {
    char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    fs::path root = DrivesMapped() ? Root(upper) : top_ / std::string(1, lower);
    return relative.empty() ? root : root / relative;
}

bool TempDrives::IsShortNameVolume() {
    return false;
}

bool TempDrives::IsConnectedDrive() {
    char remote[260];
    DWORD length = sizeof remote;
    return ::WNetGetConnectionA("X:", remote, &length) == NO_ERROR &&
           ::lstrcmpiA(remote, "\\\\srv\\shr") == 0;
}

#else

void TempDrives::SetUp() {
    savedCurrent_ = fs::current_path();
    const char *zone = std::getenv("TZ");
    hadZone_ = zone != nullptr;
    savedZone_ = hadZone_ ? zone : "";
    std::random_device random;
    top_ = fs::temp_directory_path() /
           ("kxfiles-test-" + std::to_string(::getpid()) + "-" + std::to_string(random()));
    for (const char *d : {"c", "d", "a", "x"}) fs::create_directories(top_ / d);
    std::string description = "C:=" + (top_ / "c").string() + ";D:=" + (top_ / "d").string() +
                              ";A:=" + (top_ / "a").string() + ",83;X:=" + (top_ / "x").string() +
                              ",remote=\\\\srv\\shr";
    ASSERT_TRUE(kx::os::testing::ConfigureDrives(description));
    Enter("C:\\");
    kxFileErrorClear();
}

void TempDrives::TearDown() {
    kx::os::testing::FailAllocation(0);
    kx::os::testing::SetDiskSpace(-1);
    kx::os::testing::FailVolumeQueries(false);
    fs::current_path(savedCurrent_);
    UseTimeZone(hadZone_ ? savedZone_.c_str() : nullptr);
    kx::os::testing::ConfigureDrives("");
    std::error_code ignored;
    fs::permissions(top_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(top_, ignored);
}

fs::path TempDrives::Posix(char letter, const std::string &relative) const {
    std::string drive(1, static_cast<char>(std::tolower(static_cast<unsigned char>(letter))));
    return relative.empty() ? top_ / drive : top_ / drive / relative;
}

bool TempDrives::IsShortNameVolume() {
    return true;
}
bool TempDrives::IsConnectedDrive() {
    return true;
}

#endif

void TempDrives::WriteFile(const fs::path &path, const std::string &bytes) {
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempDrives::ReadFile(const fs::path &path) {
    std::ostringstream all;
    all << std::ifstream(path, std::ios::binary).rdbuf();
    return all.str();
}

void TempDrives::Enter(const char *name) {
    ASSERT_TRUE(kx::os::SetCurrentDirectoryA(name)) << name;
}

Name::Name(const std::string &name) {
    std::memset(text, 0, sizeof text);
    std::memcpy(text, name.c_str(), std::min(name.size(), sizeof text - 1));
}

}  // namespace kxtest
