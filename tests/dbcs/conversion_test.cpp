// The documented conversions of each host set, one character at a time, and
// what the two exports leave in *out when they fail.
#include <gtest/gtest.h>

#include "dbcs/dbcs_test_util.h"

namespace {

using namespace kxtest::dbcs;

struct Case {
    uint32_t set;
    uint16_t code;
    int32_t ok;
    uint16_t out;  // *out after the call; it holds kUntouched before
};

std::string Describe(const Case &c) {
    char text[64];
    std::snprintf(text, sizeof text, "set %u code 0x%04X", c.set, c.code);
    return text;
}

// A failure towards the host sets only the low-order byte of *out to 0x20.
constexpr uint16_t kHostFail = (kUntouched & 0xFF00) | 0x20;

const Case kToHost[] = {
    {51, 0x82A0, 1, 0x82A0}, {51, 0xA540, 0, kHostFail}, {51, 0xFD40, 0, kHostFail},
    {52, 0x82A0, 1, 0x2422}, {52, 0x8140, 1, 0x2121}, {52, 0xEAA4, 1, 0x7426},
    {52, 0xF040, 1, 0xF521}, {52, 0xF4FC, 1, 0xFE7E}, {52, 0xFA55, 1, 0xA243},
    {53, 0x82A0, 1, 0x2422}, {53, 0xF040, 1, 0xF521},
    {55, 0x82A0, 1, 0xA4A2}, {55, 0xF040, 1, 0xA121}, {55, 0xF540, 1, 0xAB21},
    {55, 0xFA40, 1, 0xC021}, {55, 0xFCA1, 1, 0xBA23},
    {57, 0xFA55, 1, 0xA243}, {57, 0x889F, 1, 0xB0A1}, {57, 0xF040, 1, 0xF521},
    // Extended codes without a JIS X 0212 counterpart fail towards the hosts
    // that expect one: the last ten user-defined rows, row 0xBA, IBM codes
    // outside the table or with an empty entry.
    {52, 0xF540, 0, kHostFail}, {53, 0xF9FC, 0, kHostFail}, {57, 0xFCA1, 0, kHostFail},
    {52, 0xFA54, 0, kHostFail}, {57, 0xFA40, 0, kHostFail}, {52, 0xFC4C, 0, kHostFail},
    {53, 0xFC4A, 1, 0xEC56}, {53, 0xFC4B, 0, kHostFail},
    // A pair whose trail byte Shift-JIS never uses fails for every Shift-JIS set.
    {51, 0x817F, 0, kHostFail}, {52, 0x8120, 0, kHostFail}, {54, 0x9F0A, 0, kHostFail},
    {55, 0x81FD, 0, kHostFail}, {56, 0xE030, 0, kHostFail}, {57, 0x8100, 0, kHostFail},
    {73, 0xFCFF, 0, kHostFail},
    // Set 56: box drawing in host row 0xFE, the 1978 ordering, EUC.
    {56, 0x849F, 1, 0xFE26}, {56, 0x84A0, 1, 0xFE2B}, {56, 0x84A9, 1, 0xFE25},
    {56, 0x84AA, 1, 0xFE26}, {56, 0x84B4, 1, 0xFE25}, {56, 0x84B5, 1, 0xFE27},
    {56, 0x84BE, 1, 0xFE25}, {56, 0x84BF, 0, kHostFail}, {56, 0x84DE, 0, kHostFail},
    {56, 0x889F, 1, 0xB0A1}, {56, 0x88B1, 1, 0xF2CD}, {56, 0xEA9F, 1, 0xB6C6},
    // Sets 54 and 73: the 1978 ordering; the 15 IBM codes as JIS X 0208.
    {54, 0x88B1, 1, 0x724D}, {54, 0xE9CB, 1, 0x3033}, {54, 0xEA9F, 1, 0x3646},
    {54, 0xEAA4, 1, 0x5F66}, {54, 0x82A0, 1, 0x2422}, {54, 0xFA4A, 1, 0x2D35},
    {54, 0xFA53, 1, 0x2D3E}, {54, 0xFA54, 1, 0x224C}, {54, 0xFA58, 1, 0x2D6A},
    {54, 0xFA59, 1, 0x2D62}, {54, 0xFA5A, 1, 0x2D64}, {54, 0xFA5B, 1, 0x2268},
    {54, 0xFA55, 1, 0xC036}, {54, 0xFA40, 1, 0xC021}, {54, 0xF040, 1, 0xA121},
    {73, 0x88B1, 1, 0x724D}, {73, 0xFA4A, 1, 0x2D35}, {73, 0xFA57, 1, 0xC038},
    {59, 0xA1A1, 1, 0xA1A1}, {59, 0x8140, 0, kHostFail}, {61, 0xFEFE, 1, 0xFEFE},
    {62, 0xA0FF, 0, kHostFail},
    // Set 60 through resource 83.
    {60, 0x8140, 1, 0xDA28}, {60, 0xA440, 1, 0xA1A2}, {60, 0xA441, 1, 0xA1CD},
    {60, 0xA442, 1, 0x2020}, {60, 0x8180, 1, 0x2020}, {60, 0x817F, 1, 0x2020},
    {60, 0x8040, 0, kHostFail}, {60, 0xFF40, 0, kHostFail},
    {77, 0x8940, 1, 0x8930}, {77, 0x8920, 1, 0x2020}, {77, 0x895F, 1, 0x899F},
    {77, 0x8941, 1, 0x8941}, {77, 0x8040, 0, kHostFail},
    // Code 0 and sets without double-byte characters.
    {51, 0, 0, kHostFail}, {52, 0, 0, kHostFail}, {60, 0, 0, kHostFail},
    {77, 0, 0, kHostFail}, {58, 0x82A0, 0, kHostFail}, {70, 0x82A0, 0, kHostFail},
    // Only the low 16 bits of the set name it.
    {0x10034, 0x82A0, 1, 0x2422},
};

const Case kToPc[] = {
    {51, 0x82A0, 1, 0x82A0}, {51, 0xB140, 0, kUntouched}, {51, 0x8040, 0, 0x2040},
    {51, 0xA040, 0, 0x2040}, {51, 0xFD40, 0, 0x2040},
    {52, 0x2422, 1, 0x82A0}, {52, 0x7E7E, 1, 0xEFFC}, {52, 0xF521, 1, 0xF040},
    {52, 0xA243, 1, 0xFA55}, {52, 0xA221, 1, 0x81A0}, {52, 0xBB21, 1, 0x81A0},
    {53, 0x2422, 1, 0x82A0}, {69, 0x2243, 1, 0xFA55}, {69, 0x7521, 1, 0xF040},
    {54, 0x724D, 1, 0x88B1}, {54, 0x3033, 1, 0xE9CB}, {54, 0x3646, 1, 0xEA9F},
    {54, 0x2D35, 1, 0x8754}, {54, 0x224C, 1, 0x81CA}, {73, 0x724D, 1, 0x88B1},
    {55, 0xA4A2, 1, 0x82A0}, {55, 0xA121, 1, 0xF040}, {55, 0xC021, 1, 0xFA40},
    {56, 0xFE26, 1, 0x849F}, {56, 0xFE25, 1, 0x84A9}, {56, 0xB0A1, 1, 0x889F},
    {56, 0xF2CD, 1, 0x88B1}, {56, 0xFE30, 1, 0x81A0}, {55, 0xBB21, 1, 0x81A0},
    {57, 0xA243, 1, 0xFA55}, {57, 0xB0A1, 1, 0x889F}, {57, 0xF521, 1, 0xF040},
    {57, 0xA221, 1, 0x81A0},
    // Rows 0x7F to 0xA0 are malformed; they come as the white square.
    {55, 0x8021, 1, 0x81A0}, {52, 0xA0A1, 1, 0x81A0},
    // Rows below 0x21 give no Shift-JIS lead byte: the call fails.
    {52, 0x2021, 0, 0x209F}, {52, 0x0A41, 0, 0x20BF},
    {59, 0xA1A1, 1, 0xA1A1}, {61, 0x8140, 0, 0x2040}, {62, 0xFE20, 1, 0xFE20},
    // Set 60 through resource 84.
    {60, 0xA1A2, 1, 0xA440}, {60, 0xA1A1, 1, 0x8E40}, {60, 0xA121, 1, 0x91FE},
    {60, 0xA122, 1, 0x2020}, {60, 0x9040, 1, 0x2020}, {60, 0xA11F, 1, 0x2020},
    {60, 0xA1FF, 1, 0x2020}, {60, 0x8040, 0, 0x2040}, {60, 0xFF40, 0, 0x2040},
    {77, 0x8930, 1, 0x8940}, {77, 0x899F, 1, 0x895F}, {77, 0x8920, 1, 0x2020},
    {77, 0x893A, 1, 0x893A}, {77, 0x8980, 1, 0x2020}, {77, 0x7F30, 0, 0x2030},
    {51, 0, 0, 0x2000}, {52, 0, 0, 0x2000}, {60, 0, 0, 0x2000}, {77, 0, 0, 0x2000},
    {58, 0x2422, 0, 0x2022}, {70, 0x2422, 0, 0x2022},
};

TEST(DbcsConversion, TowardsTheHost) {
    for (const Case &c : kToHost) {
        Converted r = ToHost(c.code, c.set);
        EXPECT_EQ(r.ok, c.ok) << Describe(c);
        EXPECT_EQ(r.out, c.out) << Describe(c) << std::hex << " got 0x" << r.out;
    }
}

TEST(DbcsConversion, TowardsThePc) {
    for (const Case &c : kToPc) {
        Converted r = ToPc(c.code, c.set);
        EXPECT_EQ(r.ok, c.ok) << Describe(c);
        EXPECT_EQ(r.out, c.out) << Describe(c) << std::hex << " got 0x" << r.out;
    }
}

// The result and *out are the whole report: no failure records an error,
// not even a null result pointer.
TEST(DbcsConversion, FailuresRecordNoError) {
    kxFileErrorClear();
    EXPECT_EQ(kxFileMicro2HostDBCS(0x82A0, nullptr, 52), 0);
    EXPECT_EQ(kxFileHost2MicroDBCS(0x2422, nullptr, 52), 0);
    EXPECT_FALSE(ToHost(0xF540, 52).ok);
    EXPECT_FALSE(ToPc(0x2422, 58).ok);
    EXPECT_EQ(kxFileErrorVal(), 0);
}

// Set 77, every trail byte both ways, from the rules: towards the host
// 0x20-0x3F, 0x7F-0xA0 and 0xFF are no characters, eleven bytes of 0x40-0x7E
// change; towards the PC the digits and 0x9F change back, 0x20-0x2F,
// 0x7F-0x9E and 0xFF are no characters.
TEST(DbcsConversion, TrailBytesOfSet77) {
    const uint8_t pc[] = {0x40, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F, 0x60, 0x7B, 0x7C, 0x7D, 0x7E};
    const uint8_t host[] = {0x30, 0x31, 0x32, 0x33, 0x34, 0x9F, 0x35, 0x36, 0x37, 0x38, 0x39};
    for (unsigned trail = 0; trail < 256; ++trail) {
        uint16_t toHost = static_cast<uint16_t>(0x9A00 | trail);
        if ((trail >= 0x20 && trail <= 0x3F) || (trail >= 0x7F && trail <= 0xA0) || trail == 0xFF)
            toHost = 0x2020;
        uint16_t toPc = static_cast<uint16_t>(0x9A00 | trail);
        if ((trail >= 0x20 && trail <= 0x2F) || (trail >= 0x7F && trail <= 0x9E) || trail == 0xFF)
            toPc = 0x2020;
        for (int k = 0; k < 11; ++k) {
            if (pc[k] == trail) toHost = static_cast<uint16_t>(0x9A00 | host[k]);
            if (host[k] == trail) toPc = static_cast<uint16_t>(0x9A00 | pc[k]);
        }
        Converted up = ToHost(static_cast<uint16_t>(0x9A00 | trail), 77);
        Converted down = ToPc(static_cast<uint16_t>(0x9A00 | trail), 77);
        EXPECT_TRUE(up.ok && down.ok) << trail;
        EXPECT_EQ(up.out, toHost) << std::hex << trail;
        EXPECT_EQ(down.out, toPc) << std::hex << trail;
    }
}

}  // namespace
