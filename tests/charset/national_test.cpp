// The 7-bit national replacement sets folded into a 256-byte table: the
// source side gives a national 7-bit code its 8-bit character, the target side
// gives an 8-bit character its national 7-bit code; the HP variants that type
// accents as dead keys set the dead-key mode.
#include <gtest/gtest.h>

#include <array>
#include <map>

#include "charset/xlat.h"
#include "charset/xlat_testing.h"
#include "kxfiles.h"

namespace {

using kx::charset::ApplyNationalSet;
using Table = std::array<uint8_t, 256>;
using Changes = std::map<uint8_t, uint8_t>;

constexpr uint16_t kUnset = 9;  // a dead-key mode no call sets

Table Identity() {
    Table table;
    for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(i);
    return table;
}

// The identity with the given entries changed.
Table IdentityWith(const Changes &changes) {
    Table table = Identity();
    for (auto [code, value] : changes) table[code] = value;
    return table;
}

class National : public ::testing::Test {
protected:
    void SetUp() override {
        kx::charset::testing::ResetCaches();
        ::unsetenv("KXFILES_OEMCP");
        ::unsetenv("KXFILES_ACP");
    }
    Table Apply(uint16_t from, uint16_t to, uint32_t options, uint32_t variant) {
        Table table = Identity();
        mode_ = kUnset;
        ApplyNationalSet(table.data(), &mode_, from, to, options, variant);
        return table;
    }
    uint16_t mode_ = kUnset;
};

TEST_F(National, SourceSideGivesNationalCodesTheirCharacters) {
    // ISO 8859-1, variant 4: # @ [ \ ] ^ _ ` { | } ~ show # @ Ä Ö Å Ü _ é ä ö å ü.
    EXPECT_EQ(Apply(15, 26, CSF_NATIONAL_SOURCE, 4),
              IdentityWith({{0x5B, 0xC4}, {0x5C, 0xD6}, {0x5D, 0xC5}, {0x5E, 0xDC}, {0x60, 0xE9},
                            {0x7B, 0xE4}, {0x7C, 0xF6}, {0x7D, 0xE5}, {0x7E, 0xFC}}));
    EXPECT_EQ(mode_, kUnset);
    // DEC Multinational, variant 2, with its diaeresis and acute as quotes.
    EXPECT_EQ(Apply(5, 26, CSF_NATIONAL_SOURCE, 2),
              IdentityWith({{0x23, 0xA3}, {0x40, 0xBE}, {0x5B, 0xFD}, {0x5C, 0xBD}, {0x5D, 0x7C},
                            {0x7B, 0x22}, {0x7C, 0x66}, {0x7D, 0xBC}, {0x7E, 0x27}}));
    // ISO 8859-1, variant 2: the same row but for ÿ, without the quotes.
    EXPECT_EQ(Apply(15, 26, CSF_NATIONAL_SOURCE, 2),
              IdentityWith({{0x23, 0xA3}, {0x40, 0xBE}, {0x5B, 0xFF}, {0x5C, 0xBD}, {0x5D, 0x7C},
                            {0x7B, 0xA8}, {0x7C, 0x66}, {0x7D, 0xBC}, {0x7E, 0xB4}}));
    // DEC Multinational, variant 6: the tilde position becomes a double quote.
    EXPECT_EQ(Apply(5, 26, CSF_NATIONAL_SOURCE, 6)[0x7E], 0x22);
    EXPECT_EQ(Apply(15, 26, CSF_NATIONAL_SOURCE, 6)[0x7E], 0xA8);
    // HP Roman-8, variant 5: fourteen positions, and dead keys for ^ and ~.
    EXPECT_EQ(Apply(6, 26, CSF_NATIONAL_SOURCE, 5),
              IdentityWith({{0x23, 0xBB}, {0x40, 0xC8}, {0x5B, 0xB3}, {0x5C, 0xB5}, {0x5D, 0xBD},
                            {0x5E, 0xAA}, {0x7B, 0xC5}, {0x7C, 0xCB}, {0x7D, 0xC9}, {0x7E, 0xAB}}));
    EXPECT_EQ(mode_, 1);
}

TEST_F(National, TargetSideGivesCharactersTheirNationalCodes) {
    // From Windows 1252 to ISO 8859-1 variant 4: each national character's
    // code in 1252 becomes the position that shows it.
    EXPECT_EQ(Apply(26, 15, CSF_NATIONAL_TARGET, 4),
              IdentityWith({{0xC4, 0x5B}, {0xD6, 0x5C}, {0xC5, 0x5D}, {0xDC, 0x5E}, {0xE9, 0x60},
                            {0xE4, 0x7B}, {0xF6, 0x7C}, {0xE5, 0x7D}, {0xFC, 0x7E}}));
    // From OEM bytes: the national characters are found at their OEM codes.
    Table oem = Apply(26, 15, CSF_NATIONAL_TARGET | CSF_OEM_TO_ANSI, 4);
    EXPECT_EQ(oem[0x8E], 0x5B);  // Ä
    EXPECT_EQ(oem[0x82], 0x60);  // é
    EXPECT_EQ(oem[0xC4], 0xC4);
}

TEST_F(National, TargetSideSkipsCharactersTheSourceLacksAndKeepsLetterF) {
    // DEC variant 2 shows ¾ and ´ at reserved DEC codes, which have no
    // counterpart in 1252 (they come back as the space and are skipped); the
    // florin's position shows the letter f, which keeps its own code.
    Table table = Apply(26, 5, CSF_NATIONAL_TARGET, 2);
    EXPECT_EQ(table, IdentityWith({{0xA3, 0x23}, {0xFF, 0x5B}, {0xBD, 0x5C}, {0x7C, 0x5D},
                                   {0xA4, 0x7B}, {0xBC, 0x7D}}));
    EXPECT_EQ(table[0x20], 0x20);
    EXPECT_EQ(table[0x66], 0x66);
}

TEST_F(National, DeadKeyModes) {
    struct Case {
        uint16_t from, to;
        uint32_t options, variant;
        uint16_t mode;
    };
    const Case cases[] = {
        {26, 6, CSF_NATIONAL_TARGET, 5, 1},  {26, 6, CSF_NATIONAL_TARGET, 6, 1},
        {26, 6, CSF_NATIONAL_TARGET, 12, 2}, {26, 6, CSF_NATIONAL_TARGET, 15, 2},
        {6, 26, CSF_NATIONAL_SOURCE, 12, 2}, {26, 6, CSF_NATIONAL_TARGET, 4, kUnset},
        {6, 15, CSF_NATIONAL_TARGET, 5, 1},  // 15 is the national set, 6 the source
        {26, 15, CSF_NATIONAL_TARGET, 5, kUnset},
    };
    for (const Case &c : cases) {
        Apply(c.from, c.to, c.options, c.variant);
        EXPECT_EQ(mode_, c.mode) << c.from << " to " << c.to << " variant " << c.variant;
    }
}

TEST_F(National, NothingHappensOutsideTheRules) {
    struct Case {
        uint16_t from, to;
        uint32_t options, variant;
    };
    const Case cases[] = {
        {6, 26, CSF_NATIONAL_SOURCE, 0},  {6, 26, CSF_NATIONAL_SOURCE, 18},
        {26, 6, CSF_NATIONAL_TARGET, 0xFFFFFFFF},
        {26, 6, 0, 5},                     // neither side asked for
        {6, 26, CSF_NATIONAL_TARGET, 5},   // the target is no national set
        {26, 6, CSF_NATIONAL_SOURCE, 5},   // the source is no national set
        {31, 47, CSF_NATIONAL_SOURCE, 4},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(Apply(c.from, c.to, c.options, c.variant), Identity()) << c.from << " to " << c.to;
        EXPECT_EQ(mode_, kUnset);
    }
}

TEST_F(National, BothSidesAskedForTakesTheTargetSide) {
    EXPECT_EQ(Apply(15, 15, CSF_NATIONAL_SOURCE | CSF_NATIONAL_TARGET, 4),
              Apply(15, 15, CSF_NATIONAL_TARGET, 4));
}

}  // namespace
