// What the operating-system layer of the POSIX build tells the translation
// tables: the OEM and ANSI code pages from the environment, and no display.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/platform.h"

namespace {

class PosixCodePages : public ::testing::Test {
protected:
    void SetUp() override {
        ::unsetenv("KXFILES_OEMCP");
        ::unsetenv("KXFILES_ACP");
    }
    void TearDown() override { SetUp(); }
};

TEST_F(PosixCodePages, DefaultsAre437And1252) {
    EXPECT_EQ(kx::os::GetOEMCP(), 437u);
    EXPECT_EQ(kx::os::GetACP(), 1252u);
}

TEST_F(PosixCodePages, TheEnvironmentNamesOthers) {
    struct Case {
        const char *value;
        uint32_t oem;
    };
    const Case cases[] = {
        {"850", 850}, {"CP866", 866}, {"cp737", 737}, {"65535", 65535},
        // Not a code page number: the default holds.
        {"", 437}, {"cp", 437}, {"0", 437}, {"65536", 437}, {"850x", 437}, {"-850", 437}, {" 850", 437},
        {"ibm850", 437},
    };
    for (const Case &c : cases) {
        ::setenv("KXFILES_OEMCP", c.value, 1);
        EXPECT_EQ(kx::os::GetOEMCP(), c.oem) << '"' << c.value << '"';
        EXPECT_EQ(kx::os::GetACP(), 1252u);
    }
    ::setenv("KXFILES_ACP", "1251", 1);
    EXPECT_EQ(kx::os::GetACP(), 1251u);
}

TEST(PosixDisplay, ThereIsNoDeviceContextOrFont) {
    EXPECT_EQ(kx::os::GetDC(nullptr), nullptr);
    EXPECT_EQ(kx::os::GetStockObject(kx::os::SYSTEM_FONT), nullptr);
    kx::os::TEXTMETRICA metrics{};
    metrics.tmCharSet = 77;
    EXPECT_EQ(kx::os::GetTextMetricsA(nullptr, &metrics), kx::os::FALSE);
    EXPECT_EQ(metrics.tmCharSet, 77);
}

}  // namespace
