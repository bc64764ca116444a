// Every JIS X 0208 character that Shift-JIS encodes, checked against the JIS
// and EUC codes that Python's codecs give for it (jis0208.txt, written by
// gen_fixtures.py), and the extended rows of the user-defined area.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "dbcs/dbcs_test_util.h"

namespace {

using namespace kxtest::dbcs;

struct Standard {
    uint16_t sjis, jis, euc;
};

const std::vector<Standard> &Characters() {
    static const std::vector<Standard> rows = [] {
        std::vector<Standard> out;
        for (const auto &f : ReadFields("jis0208.txt"))
            out.push_back({Hex(f[0]), Hex(f[1]), Hex(f[2])});
        return out;
    }();
    return rows;
}

// The 1978 ordering as the hosts of sets 54, 56 and 73 use it: the 22 pairs
// of kanji that changed places in 1983, and the four characters of row 0x74
// that the 1978 ordering holds elsewhere (two more go one way only).
std::map<uint16_t, uint16_t> NewToOld() {
    const uint16_t pairs[][2] = {
        {0x3033, 0x724D}, {0x3229, 0x7274}, {0x3342, 0x695A}, {0x3349, 0x5978}, {0x3376, 0x635E},
        {0x3443, 0x5E75}, {0x3452, 0x6B5D}, {0x375B, 0x7074}, {0x395C, 0x6268}, {0x3C49, 0x6922},
        {0x3F59, 0x7057}, {0x4128, 0x6C4D}, {0x445B, 0x5464}, {0x4557, 0x626A}, {0x456E, 0x5B6D},
        {0x4573, 0x5E39}, {0x4676, 0x6D6E}, {0x4768, 0x6A24}, {0x4930, 0x5B58}, {0x4B79, 0x5056},
        {0x4C79, 0x692E}, {0x4F36, 0x6446}};
    std::map<uint16_t, uint16_t> map = {{0x7421, 0x3646}, {0x7422, 0x4B6A}, {0x7423, 0x4D5A},
                                        {0x7424, 0x6076}, {0x7425, 0x515B}, {0x7426, 0x5F66}};
    for (const auto &p : pairs) {
        map[p[0]] = p[1];
        map[p[1]] = p[0];
    }
    return map;
}

TEST(DbcsStandard, JisAndEucAgreeWithTheReference) {
    // JIS X 0208 has 6879 characters; ISO-2022-JP writes none of them as ASCII.
    ASSERT_EQ(Characters().size(), 6879u);
    for (const Standard &c : Characters()) {
        for (uint32_t set : {52u, 53u, 55u, 57u}) {
            const uint16_t host = set < 55 ? c.jis : c.euc;
            Converted up = ToHost(c.sjis, set), down = ToPc(host, set);
            ASSERT_TRUE(up.ok && down.ok) << std::hex << c.sjis;
            EXPECT_EQ(up.out, host) << std::hex << c.sjis;
            EXPECT_EQ(down.out, c.sjis) << std::hex << host;
        }
        Converted same = ToHost(c.sjis, 51);
        EXPECT_TRUE(same.ok && same.out == c.sjis) << std::hex << c.sjis;
    }
}

TEST(DbcsStandard, OldOrderingHostsExchangeOnlyTheListedCodes) {
    const std::map<uint16_t, uint16_t> old = NewToOld();
    const std::set<uint16_t> comeBackAsRow74 = {0x3646, 0x4B6A, 0x4D5A, 0x6076};
    for (const Standard &c : Characters()) {
        auto found = old.find(c.jis);
        uint16_t host = found == old.end() ? c.jis : found->second;
        bool box = (c.jis >> 8) == 0x28;
        for (uint32_t set : {54u, 73u, 56u}) {
            Converted up = ToHost(c.sjis, set);
            ASSERT_TRUE(up.ok) << std::hex << c.sjis;
            if (set != 56) {
                EXPECT_EQ(up.out, host) << std::hex << c.sjis;
            } else if (!box) {
                EXPECT_EQ(up.out, host | 0x8080) << std::hex << c.sjis;
            }
            Converted down = ToPc(up.out, set);
            ASSERT_TRUE(down.ok) << std::hex << up.out;
            // The 1978 ordering has these four characters only where the
            // 1983 ordering put row 0x74's: they come back as row 0x74.
            if (comeBackAsRow74.count(c.jis)) continue;
            if (set == 56 && box && (c.jis & 0xFF) > 0x2B) continue;  // folded onto the light lines
            if (c.jis == 0x7425 || c.jis == 0x7426) continue;         // sent one way only
            EXPECT_EQ(down.out, c.sjis) << "set " << set << std::hex << " code " << c.sjis;
        }
    }
}

// The user-defined area, Shift-JIS 0xF040 to 0xF9FC: the first ten rows
// travel to JIS X 0212 hosts as JIS X 0212 rows 0x75 to 0x7E; the last ten
// have no JIS X 0212 place and fail there. EUC set 55 sends all twenty as
// they are and brings them back.
TEST(DbcsStandard, UserDefinedArea) {
    for (uint16_t code : ShiftJisCodes(0xF0, 0xF9)) {
        Converted euc = ToHost(code, 55);
        ASSERT_TRUE(euc.ok) << std::hex << code;
        EXPECT_EQ(ToPc(euc.out, 55).out, code) << std::hex << code;
        // The same position in rows 0x75-0x7E: lead byte 0xEB onwards by
        // the standard arithmetic.
        unsigned lead = code >> 8, trail = code & 0xFF;
        unsigned row = 2 * (lead - 5) - 0x160 - (trail >= 0x9F ? 0 : 1);
        unsigned column = trail >= 0x9F ? trail - 0x7E : trail < 0x7F ? trail - 0x1F : trail - 0x20;
        for (uint32_t set : {52u, 53u, 57u}) {
            Converted up = ToHost(code, set);
            if (lead <= 0xF4) {
                ASSERT_TRUE(up.ok) << std::hex << code;
                EXPECT_EQ(up.out, 0x8000 | row << 8 | column) << std::hex << code;
                EXPECT_EQ(ToPc(up.out, set).out, code) << std::hex << code;
                EXPECT_EQ(ToPc(up.out & 0x7F7F, 69).out, code) << std::hex << code;
            } else {
                EXPECT_FALSE(up.ok) << std::hex << code;
                EXPECT_EQ(up.out, (kUntouched & 0xFF00) | 0x20);
            }
        }
    }
}

}  // namespace
