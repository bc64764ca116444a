// kxFileGetACP without a display (the POSIX build): the answer comes from the
// profile's base code page or country, and is kept for the process.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "charset/xlat_testing.h"
#include "kxfiles.h"

namespace {

class GetAcp : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = std::filesystem::temp_directory_path() /
                ("kxfiles-acp-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini");
        ::setenv("KXFILES_PROFILE", path_.c_str(), 1);
        kx::charset::testing::ForgetDisplayCharset();
    }
    void TearDown() override {
        ::unsetenv("KXFILES_PROFILE");
        std::filesystem::remove(path_);
        kx::charset::testing::ForgetDisplayCharset();
    }
    void Write(const std::string &text) { std::ofstream(path_) << text; }
    std::filesystem::path path_;
};

TEST_F(GetAcp, ProfileRule) {
    struct Case {
        const char *profile;
        uint32_t expected;
    };
    const Case cases[] = {
        {"[windows]\nBaseCodePage=1255\n", 177},
        {"[windows]\nBaseCodePage=1256\n", 178},
        {"[windows]\nBaseCodePage=1255\n[intl]\niCountry=48\n", 177},  // the code page comes first
        {"[windows]\nBaseCodePage=1252\n[intl]\niCountry=7\n", 204},
        {"[intl]\niCountry=30\n", 161},
        {"[intl]\niCountry=36\n", 238},
        {"[intl]\niCountry=38\n", 238},
        {"[intl]\niCountry=42\n", 238},
        {"[intl]\niCountry=48\n", 238},
        {"[intl]\niCountry=90\n", 162},
        {"[intl]\niCountry=1\n", 0},
        {"[intl]\niCountry=49\n", 0},
        {"", 0},
    };
    for (const Case &c : cases) {
        Write(c.profile);
        kx::charset::testing::ForgetDisplayCharset();
        EXPECT_EQ(kxFileGetACP(), c.expected) << c.profile;
    }
}

TEST_F(GetAcp, NoProfileMeansAnsi) {
    std::filesystem::remove(path_);
    EXPECT_EQ(kxFileGetACP(), 0u);
}

TEST_F(GetAcp, TheAnswerIsKeptForTheProcess) {
    Write("[intl]\niCountry=48\n");
    EXPECT_EQ(kxFileGetACP(), 238u);
    Write("[intl]\niCountry=30\n");
    EXPECT_EQ(kxFileGetACP(), 238u);
    std::filesystem::remove(path_);
    EXPECT_EQ(kxFileGetACP(), 238u);
}

}  // namespace
