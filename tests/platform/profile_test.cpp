// The profile on POSIX: an INI file named by KXFILES_PROFILE, read afresh on
// every call.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/platform.h"

namespace {

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = std::filesystem::temp_directory_path() /
                ("kxfiles-profile-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                 "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini");
        ::setenv("KXFILES_PROFILE", path_.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("KXFILES_PROFILE");
        std::filesystem::remove(path_);
    }
    void Write(const std::string &text) { std::ofstream(path_) << text; }
    std::string String(const char *section, const char *key, const char *fallback, int size = 64) {
        char buffer[64];
        kx::os::GetProfileStringA(section, key, fallback, buffer, static_cast<kx::os::DWORD>(size));
        return buffer;
    }
    std::filesystem::path path_;
};

TEST_F(ProfileTest, FindsKeysWithoutRegardToCase) {
    Write("; a comment\n[Windows]\nBaseCodePage = 932\n\n[intl]\n sDate = . \niCountry=49\nsTime=\":\"\n");
    EXPECT_EQ(kx::os::GetProfileIntA("windows", "basecodepage", 0), 932u);
    EXPECT_EQ(kx::os::GetProfileIntA("INTL", "ICOUNTRY", 0), 49u);
    EXPECT_EQ(String("intl", "sDate", "/"), ".");
    EXPECT_EQ(String("intl", "sTime", "x"), ":");  // quotes removed
    EXPECT_EQ(String("windows", "iCountry", " dflt "), " dflt");  // other section: the default, less trailing blanks
    EXPECT_EQ(String("intl", "sTime", "x", 1), "");  // truncated to the buffer
}

TEST_F(ProfileTest, IsReadAfreshAndFallsBackToDefaults) {
    EXPECT_EQ(kx::os::GetProfileIntA("intl", "iDate", 7), 7u);  // no file yet
    Write("[intl]\niDate=2\niTLZero=x1\niNeg=-3\n");
    EXPECT_EQ(kx::os::GetProfileIntA("intl", "iDate", 7), 2u);
    EXPECT_EQ(kx::os::GetProfileIntA("intl", "iTLZero", 7), 0u);  // no leading digits
    EXPECT_EQ(kx::os::GetProfileIntA("intl", "iNeg", 7), 0u);
    Write("[intl]\niDate=1\n");
    EXPECT_EQ(kx::os::GetProfileIntA("intl", "iDate", 7), 1u);
    EXPECT_EQ(String("intl", "sShortDate", nullptr), "");
}

}  // namespace
