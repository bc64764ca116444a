// Times and dates in the short forms of the [intl] settings, under several
// profiles (a temporary profile file, read afresh on every call).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "kxfiles.h"

namespace {

class IntlStrings : public ::testing::Test {
protected:
    void SetUp() override {
        path_ = std::filesystem::temp_directory_path() /
                ("kxfiles-intl-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini");
        if (const char *saved = std::getenv("KXFILES_PROFILE")) saved_ = saved;
        ::setenv("KXFILES_PROFILE", path_.c_str(), 1);
        Profile("");
    }
    void TearDown() override {
        if (saved_.empty())
            ::unsetenv("KXFILES_PROFILE");
        else
            ::setenv("KXFILES_PROFILE", saved_.c_str(), 1);
        std::filesystem::remove(path_);
    }
    void Profile(const std::string &intl) { std::ofstream(path_) << "[intl]\n" << intl; }

    static std::string Time(int hour, int minute, int16_t maxLength = 40) {
        char buffer[64];
        std::memset(buffer, '#', sizeof buffer);
        int32_t count = kxFileBuildIntlTimeStrShortFormat(
            static_cast<uint8_t>(hour), static_cast<uint8_t>(minute), buffer, maxLength);
        EXPECT_EQ(count, static_cast<int32_t>(std::strlen(buffer)));
        return buffer;
    }
    static std::string Date(int year, int month, int day, int16_t maxLength = 40) {
        char buffer[64];
        std::memset(buffer, '#', sizeof buffer);
        int32_t count = kxFileBuildIntlDateStrShortFormat(
            static_cast<uint8_t>(year), static_cast<uint8_t>(month), static_cast<uint8_t>(day),
            buffer, maxLength);
        EXPECT_EQ(count, static_cast<int32_t>(std::strlen(buffer)));
        return buffer;
    }

    std::filesystem::path path_;
    std::string saved_;
};

struct TimeCase {
    const char *profile;
    int hour, minute;
    const char *expected;
    int16_t maxLength = 40;
};

TEST_F(IntlStrings, Times) {
    const TimeCase cases[] = {
        {"", 21, 5, "9:05 PM"},
        {"", 9, 5, "9:05 AM"},
        {"", 0, 5, "0:05 AM"},  // midnight shows as 0
        {"", 12, 5, "12:05 PM"},
        {"", 23, 59, "11:59 PM"},
        {"iTime=1\niTLZero=1\n", 7, 3, "07:03"},
        {"iTime=1\niTLZero=1\n", 17, 3, "17:03"},
        {"iTime=1\n", 7, 3, "7:03"},
        {"iTime=1\ns2359=Uhr\n", 17, 3, "17:03 Uhr"},  // a trailing text in the 24-hour form
        {"iTime=1\ns1159=vorm\n", 9, 3, "9:03"},  // the morning text belongs to the 12-hour form
        {"s1159=\n", 9, 5, "9:05"},               // no designator, no trailing space
        {"s1159=a.m.\ns2359=p.m.\nsTime=.\n", 13, 45, "1.45 p.m."},
        {"sTime=\n", 13, 45, "1"},           // an empty separator ends the text
        {"sTime=h:\n", 10, 30, "10h30 AM"},  // its first character only
        {"iTime=2\n", 13, 0, "1:00 PM"},     // only 1 selects the 24-hour form
        {"s2359=VERYLONGTEXTVALUE\n", 13, 0, "1:00 VERYLONGTEX"},  // 12 bytes read
        {"s2359=ABCDEFGHIJK\nsTime=:\n", 13, 0, "1:00 ABCDEFGHIJK", 100},
        {"", 12, 5, "12:0", 4},
        {"", 12, 5, "", 0},
        {"", 12, 5, "", -3},
    };
    for (const TimeCase &c : cases) {
        Profile(c.profile);
        EXPECT_EQ(Time(c.hour, c.minute, c.maxLength), c.expected)
            << c.profile << " " << c.hour << ":" << c.minute << ", at most " << c.maxLength;
    }
    EXPECT_EQ(kxFileBuildIntlTimeStrShortFormat(1, 2, nullptr, 10), 0);
}

struct DateCase {
    const char *profile;
    int year, month, day;
    const char *expected;
    int16_t maxLength = 40;
};

TEST_F(IntlStrings, Dates) {
    const DateCase cases[] = {
        {"", 96, 3, 5, "3/5/96"},
        {"", 100, 3, 5, "3/5/0"},
        {"", 105, 3, 5, "3/5/5"},
        {"", 96, 12, 25, "12/25/96"},
        {"sShortDate=dd.MM.yyyy\nsDate=.\n", 96, 3, 5, "05.03.1996"},
        {"sShortDate=yyyy-MM-dd\nsDate=-\n", 96, 3, 5, "1996-03-05"},
        {"sShortDate=yyyy-MM-dd\nsDate=-\n", 126, 11, 30, "2026-11-30"},
        {"sShortDate=d/M/yy\n", 96, 3, 5, "5/3/96"},
        {"sShortDate=MM/dd/yy\nsDate=-\n", 96, 3, 5,
         "03-05-96"},  // the format's own separators are not used
        {"sShortDate=ddd.MMM.yyy\n", 96, 3, 5, "5/3/96"},  // only exactly two or four count
        {"sShortDate=yy/MM/dd\n", 101, 1, 2, "1/01/02"},
        {"sShortDate=Dd/MM/yy\n", 96, 3, 5, ""},  // an unknown first character
        {"sDate=\n", 96, 3, 5, "3"},              // an empty separator ends the text
        {"", 96, 3, 5, "3/5", 3},
    };
    for (const DateCase &c : cases) {
        Profile(c.profile);
        EXPECT_EQ(Date(c.year, c.month, c.day, c.maxLength), c.expected) << c.profile;
    }
    EXPECT_EQ(kxFileBuildIntlDateStrShortFormat(96, 3, 5, nullptr, 10), 0);
}

TEST_F(IntlStrings, SettingsAreReadAfreshOnEveryCall) {
    EXPECT_EQ(Time(17, 3), "5:03 PM");
    Profile("iTime=1\n");
    EXPECT_EQ(Time(17, 3), "17:03");
    std::filesystem::remove(path_);
    EXPECT_EQ(Time(17, 3), "5:03 PM");
}

}  // namespace
