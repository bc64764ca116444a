// The documented conversions of each host set that the reference and
// exhaustive tests of this folder do not already fix, one character at a
// time, and what the two exports leave in *out when they fail.
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

// A failure towards the host sets only the low-order byte of *out to 0x20.
constexpr uint16_t kHostFail = (kUntouched & 0xFF00) | 0x20;

// Locking-shift set 55 and the user-defined and IBM areas; set 56's box
// drawing in host row 0xFE; the IBM codes that sets 54 and 73 send as JIS X
// 0208 or 0212; the other host sets; set 60's table entries and its default;
// codes whose lead byte no set has; only the low 16 bits of the set count.
const Case kToHost[] = {
    {55, 0xF040, 1, 0xA121},      {55, 0xF540, 1, 0xAB21},    {55, 0xFA40, 1, 0xC021},
    {55, 0xFCA1, 1, 0xBA23},      {56, 0x849F, 1, 0xFE26},    {56, 0x84A0, 1, 0xFE2B},
    {56, 0x84A9, 1, 0xFE25},      {56, 0x84AA, 1, 0xFE26},    {56, 0x84B4, 1, 0xFE25},
    {56, 0x84B5, 1, 0xFE27},      {56, 0x84BE, 1, 0xFE25},    {56, 0x84BF, 0, kHostFail},
    {56, 0x84DE, 0, kHostFail},   {54, 0xFA4A, 1, 0x2D35},    {54, 0xFA53, 1, 0x2D3E},
    {54, 0xFA54, 1, 0x224C},      {54, 0xFA58, 1, 0x2D6A},    {54, 0xFA59, 1, 0x2D62},
    {54, 0xFA5A, 1, 0x2D64},      {54, 0xFA5B, 1, 0x2268},    {54, 0xFA55, 1, 0xC036},
    {54, 0xFA40, 1, 0xC021},      {54, 0xF040, 1, 0xA121},    {73, 0xFA4A, 1, 0x2D35},
    {73, 0xFA57, 1, 0xC038},      {59, 0xA1A1, 1, 0xA1A1},    {59, 0x8140, 0, kHostFail},
    {61, 0xFEFE, 1, 0xFEFE},      {62, 0xA0FF, 0, kHostFail}, {60, 0x8140, 1, 0xDA28},
    {60, 0xA440, 1, 0xA1A2},      {60, 0xA441, 1, 0xA1CD},    {60, 0xA442, 1, 0x2020},
    {60, 0x8040, 0, kHostFail},   {60, 0xFF40, 0, kHostFail}, {77, 0x8040, 0, kHostFail},
    {0x10034, 0x82A0, 1, 0x2422},
};

// Shift-JIS to itself, and a result that would read as half-width katakana;
// rows below 0x21, 0x7F to 0xA0 and unmapped JIS X 0212 codes; the old
// ordering's symbols; set 56's box drawing; the other host sets; set 60's
// entries; codes no set has: the call fails keeping the low byte.
const Case kToPc[] = {
    {51, 0x82A0, 1, 0x82A0}, {51, 0xB140, 0, kUntouched}, {51, 0x8040, 0, 0x2040},
    {51, 0xA040, 0, 0x2040}, {51, 0xFD40, 0, 0x2040},     {52, 0x7E7E, 1, 0xEFFC},
    {52, 0x2021, 0, 0x209F}, {52, 0x0A41, 0, 0x20BF},     {55, 0x8021, 1, 0x81A0},
    {52, 0xA0A1, 1, 0x81A0}, {52, 0xA221, 1, 0x81A0},     {52, 0xBB21, 1, 0x81A0},
    {55, 0xBB21, 1, 0x81A0}, {57, 0xA221, 1, 0x81A0},     {54, 0x2D35, 1, 0x8754},
    {54, 0x224C, 1, 0x81CA}, {56, 0xFE26, 1, 0x849F},     {56, 0xFE25, 1, 0x84A9},
    {56, 0xFE30, 1, 0x81A0}, {59, 0xA1A1, 1, 0xA1A1},     {61, 0x8140, 0, 0x2040},
    {62, 0xFE20, 1, 0xFE20}, {60, 0xA1A2, 1, 0xA440},     {60, 0xA1A1, 1, 0x8E40},
    {60, 0xA121, 1, 0x91FE}, {60, 0xA122, 1, 0x2020},     {60, 0x8040, 0, 0x2040},
    {60, 0xFF40, 0, 0x2040}, {77, 0x7F30, 0, 0x2030},     {51, 0, 0, 0x2000},
    {52, 0, 0, 0x2000},      {60, 0, 0, 0x2000},          {77, 0, 0, 0x2000},
    {58, 0x2422, 0, 0x2022}, {70, 0x2422, 0, 0x2022},
};

TEST(DbcsConversion, TowardsTheHost) {
    for (const Case &c : kToHost) {
        Converted r = ToHost(c.code, c.set);
        EXPECT_EQ(r.ok, c.ok) << "set " << c.set << std::hex << " code " << c.code;
        EXPECT_EQ(r.out, c.out) << "set " << c.set << std::hex << " code " << c.code;
    }
}

TEST(DbcsConversion, TowardsThePc) {
    for (const Case &c : kToPc) {
        Converted r = ToPc(c.code, c.set);
        EXPECT_EQ(r.ok, c.ok) << "set " << c.set << std::hex << " code " << c.code;
        EXPECT_EQ(r.out, c.out) << "set " << c.set << std::hex << " code " << c.code;
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

// Set 77, every trail byte of two lead bytes both ways, from the rules:
// towards the host 0x20-0x3F, 0x7F-0xA0 and 0xFF are no characters, eleven
// bytes of 0x40-0x7E change; towards the PC the digits and 0x9F change back,
// 0x20-0x2F, 0x7F-0x9E and 0xFF are no characters.
TEST(DbcsConversion, TrailBytesOfSet77) {
    const uint8_t pc[] = {0x40, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F, 0x60, 0x7B, 0x7C, 0x7D, 0x7E};
    const uint8_t host[] = {0x30, 0x31, 0x32, 0x33, 0x34, 0x9F, 0x35, 0x36, 0x37, 0x38, 0x39};
    for (unsigned lead : {0x89u, 0x9Au}) {
        for (unsigned trail = 0; trail < 256; ++trail) {
            const uint16_t code = static_cast<uint16_t>(lead << 8 | trail);
            const bool none = trail == 0xFF || (trail >= 0x20 && trail <= 0x2F);
            uint16_t toHost = none || (trail >= 0x30 && trail <= 0x3F) ? 0x2020 : code;
            uint16_t toPc = none || (trail >= 0x7F && trail <= 0x9E) ? 0x2020 : code;
            if (trail >= 0x7F && trail <= 0xA0) toHost = 0x2020;
            for (int k = 0; k < 11; ++k) {
                if (pc[k] == trail) toHost = static_cast<uint16_t>(lead << 8 | host[k]);
                if (host[k] == trail) toPc = static_cast<uint16_t>(lead << 8 | pc[k]);
            }
            Converted up = ToHost(code, 77), down = ToPc(code, 77);
            EXPECT_TRUE(up.ok && down.ok) << std::hex << code;
            EXPECT_EQ(up.out, toHost) << std::hex << code;
            EXPECT_EQ(down.out, toPc) << std::hex << code;
        }
    }
}

}  // namespace
