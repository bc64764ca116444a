#include "support/temp_drives.h"

#include <unistd.h>

#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "kxfiles.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"

namespace kxtest {

void TempDrives::SetUp() {
    savedCurrent_ = std::filesystem::current_path();
    std::random_device random;
    top_ = std::filesystem::temp_directory_path() /
           ("kxfiles-test-" + std::to_string(::getpid()) + "-" + std::to_string(random()));
    for (const char *d : {"c", "d", "a", "x"}) std::filesystem::create_directories(top_ / d);
    std::string description = "C:=" + (top_ / "c").string() + ";D:=" + (top_ / "d").string() +
                              ";A:=" + (top_ / "a").string() + ",83" + ";X:=" +
                              (top_ / "x").string() + ",remote=\\\\srv\\shr";
    ASSERT_TRUE(kx::os::testing::ConfigureDrives(description));
    Enter("C:\\");
    kxFileErrorClear();
}

void TempDrives::TearDown() {
    kx::os::testing::FailAllocation(0);
    kx::os::testing::SetDiskSpace(-1);
    kx::os::testing::FailVolumeQueries(false);
    std::filesystem::current_path(savedCurrent_);
    kx::os::testing::ConfigureDrives("");
    std::error_code ignored;
    std::filesystem::permissions(top_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(top_, ignored);
}

std::filesystem::path TempDrives::Posix(char letter, const std::string &relative) const {
    std::string drive(1, static_cast<char>(std::tolower(static_cast<unsigned char>(letter))));
    return relative.empty() ? top_ / drive : top_ / drive / relative;
}

void TempDrives::WriteFile(const std::filesystem::path &path, const std::string &bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string TempDrives::ReadFile(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
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
