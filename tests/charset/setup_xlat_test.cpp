// kxFileSetupXlat's arguments: the bad-argument failure (error 16), sets for
// which no table can be built (0, no error), and the buffer left alone when
// there is nothing to copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "charset/xlat_testing.h"
#include "kxfiles.h"

namespace {

class SetupXlat : public ::testing::Test {
protected:
    void SetUp() override {
        kx::charset::testing::ResetCaches();
        kxFileErrorClear();
        buffer_.fill(0xEE);
    }
    bool Untouched() const {
        return std::all_of(buffer_.begin(), buffer_.end(), [](uint8_t b) { return b == 0xEE; });
    }
    std::array<uint8_t, 300> buffer_;
};

TEST_F(SetupXlat, BadArgumentsFailWithError16) {
    EXPECT_EQ(kxFileSetupXlat(15, 31, nullptr, 256, 0x20, 0), 0);
    EXPECT_EQ(kxFileErrorVal(), 16);
    kxFileErrorClear();
    for (uint32_t count : {257u, 300u, 0xFFFFFFFFu}) {
        EXPECT_EQ(kxFileSetupXlat(15, 31, buffer_.data(), count, 0x20, 0), 0) << count;
        EXPECT_EQ(kxFileErrorVal(), 16) << count;
        kxFileErrorClear();
    }
    EXPECT_TRUE(Untouched());
    // A null buffer is refused even with nothing to copy.
    EXPECT_EQ(kxFileSetupXlat(15, 31, nullptr, 0, 0x20, 0), 0);
    EXPECT_EQ(kxFileErrorVal(), 16);
}

TEST_F(SetupXlat, CountZeroSucceedsWithoutTouchingTheBuffer) {
    EXPECT_EQ(kxFileSetupXlat(15, 31, buffer_.data(), 0, 0x20, 0), 1);
    EXPECT_EQ(kxFileSetupXlat(47, 99, buffer_.data(), 0, 0x20, 0), 1);
    EXPECT_TRUE(Untouched());
    EXPECT_TRUE(kx::charset::testing::CachedTables().empty());
}

TEST_F(SetupXlat, SetsWithoutATableFailWithoutAnError) {
    // No map of their own (0, 47, 69, 99, 65535), identity resources (8, 13)
    // and the double-byte tables (83, 84), on either side.
    for (uint16_t set : {0, 8, 13, 47, 69, 83, 84, 99, 65535}) {
        kxFileErrorClear();
        EXPECT_EQ(kxFileSetupXlat(set, 15, buffer_.data(), 256, 0x20, XLAT_APPROXIMATE), 0) << set;
        EXPECT_EQ(kxFileSetupXlat(15, set, buffer_.data(), 256, 0x20, XLAT_APPROXIMATE), 0) << set;
        EXPECT_EQ(kxFileErrorVal(), 0) << set;
    }
    EXPECT_TRUE(Untouched());
}

TEST_F(SetupXlat, OnlyTheLow16BitsOfTheSourceSetCount) {
    std::array<uint8_t, 256> plain{};
    ASSERT_EQ(kxFileSetupXlat(15, 31, plain.data(), 256, 0x20, 0), 1);
    ASSERT_EQ(kxFileSetupXlat(0xABCD0000u | 15, 31, buffer_.data(), 256, 0x20, 0), 1);
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), buffer_.begin()));
    EXPECT_EQ(buffer_[256], 0xEE);  // nothing beyond the count
}

TEST_F(SetupXlat, SuccessDoesNotClearTheLastError) {
    kxFileSetupXlat(15, 31, nullptr, 1, 0x20, 0);
    ASSERT_EQ(kxFileErrorVal(), 16);
    EXPECT_EQ(kxFileSetupXlat(15, 31, buffer_.data(), 256, 0x20, 0), 1);
    EXPECT_EQ(kxFileErrorVal(), 16);
}

}  // namespace
