// The IBM extension characters, Shift-JIS 0xFA40 to 0xFC4B, and the codes
// beyond them: JIS X 0212 towards the hosts that have it, checked against
// the JIS X 0212 codes that Python's codecs give for the same characters
// (ibm0212.txt), and failure where JIS X 0212 has no place for a code.
#include <gtest/gtest.h>

#include <map>

#include "dbcs/dbcs_test_util.h"

namespace {

using namespace kxtest::dbcs;

constexpr uint16_t kHostFail = (kUntouched & 0xFF00) | 0x20;

// Where the conversion's table deliberately differs from the reference:
// characters the reference lacks in JIS X 0212 but for which the table
// gives a variant form or a similar symbol, and four kanji for which the
// table names a neighbouring code.
const std::map<int, uint16_t> kTableOwn = {
    {1, 0x2243},   {2, 0x2238},   {3, 0x2233},   {40, 0x3243},  {46, 0x332B},  {65, 0x3B7D},
    {218, 0x4E42}, {234, 0x513D}, {253, 0x5836}, {308, 0x6372}, {309, 0x6373},
};

TEST(DbcsIbm, JisX0212CodesAgreeWithTheReference) {
    auto rows = ReadFields("ibm0212.txt");
    ASSERT_EQ(rows.size(), 368u);
    int failures = 0;
    for (const auto &f : rows) {
        int index = std::stoi(f[0]);
        uint16_t sjis = Hex(f[1]), reference = Hex(f[2]);
        for (uint32_t set : {52u, 53u, 57u}) {
            Converted up = ToHost(sjis, set);
            if (!up.ok) {
                // The code has no JIS X 0212 counterpart: it fails instead of
                // reaching the host as some other character.
                EXPECT_EQ(up.out, kHostFail);
                EXPECT_EQ(kTableOwn.count(index), 0u) << index;
                if (set == 52) ++failures;
                continue;
            }
            EXPECT_EQ(up.out & 0x8080, 0x8000) << "marked, index " << index;
            auto own = kTableOwn.find(index);
            uint16_t expected = own != kTableOwn.end() ? own->second : reference;
            EXPECT_EQ(up.out & 0x7F7F, expected) << "index " << index;
            Converted down = ToPc(up.out, set);
            EXPECT_TRUE(down.ok);
            EXPECT_EQ(down.out, sjis) << "index " << index;
            EXPECT_EQ(ToPc(up.out & 0x7F7F, 69).out, sjis) << "index " << index;
        }
    }
    EXPECT_EQ(failures, 90);  // the entries without a JIS X 0212 code
}

TEST(DbcsIbm, CodesOutsideTheTableFailTowardsJisX0212Hosts) {
    std::vector<uint16_t> outside;
    for (uint16_t c = 0xFA40; c <= 0xFA53; ++c) outside.push_back(c);  // before the table
    for (uint16_t c : ShiftJisCodes(0xFC, 0xFC))
        if (c >= 0xFC4C) outside.push_back(c);  // after it, row 0xBA
    for (uint16_t code : outside) {
        for (uint32_t set : {52u, 53u, 57u}) {
            Converted up = ToHost(code, set);
            EXPECT_FALSE(up.ok) << std::hex << code;
            EXPECT_EQ(up.out, kHostFail) << std::hex << code;
        }
        Converted euc = ToHost(code, 55);
        ASSERT_TRUE(euc.ok) << std::hex << code;
        EXPECT_EQ(ToPc(euc.out, 55).out, code) << std::hex << code;
    }
}

TEST(DbcsIbm, ExtendedCodesTravelAsTheyAreToOtherHosts) {
    // Every IBM code of rows 0xFA to 0xFC comes back from sets 55, 56 and 54
    // as it went, except the 15 that sets 54 and 73 send as JIS X 0208.
    for (uint16_t code : ShiftJisCodes(0xFA, 0xFC)) {
        for (uint32_t set : {55u, 56u, 54u}) {
            Converted up = ToHost(code, set);
            ASSERT_TRUE(up.ok) << std::hex << code;
            bool special = (code >= 0xFA4A && code <= 0xFA54) || (code >= 0xFA58 && code <= 0xFA5B);
            if (set == 54 && special) {
                EXPECT_LT(up.out, 0x8000) << std::hex << code;
                continue;
            }
            EXPECT_EQ(ToPc(up.out, set).out, code) << "set " << set << std::hex << " " << code;
        }
    }
}

}  // namespace
