// The character-set resources of the module: every map and identity resource
// of the registry is served as a type-264 resource equal to its text source,
// and the map sources follow the conventions shared by the maps.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "charset/map_sources.h"
#include "platform/platform.h"

namespace {

using kx::os::MAKEINTRESOURCEA;
using kxtest::MapOf;
using kxtest::Registry;

constexpr uint16_t kType = 264;

bool HasOwnResource(const kxtest::RegistryRow &row) {
    return row.file.size() > 4 && row.file.ends_with(".txt");
}

TEST(CharsetResources, EveryRegisteredSourceIsServedByteForByte) {
    int served = 0;
    for (const auto &row : Registry()) {
        if (!HasOwnResource(row)) continue;
        SCOPED_TRACE("CharsetId " + std::to_string(row.id));
        bool identity = false;
        auto values = kxtest::SourceValues(row.file, &identity);
        kx::os::HMODULE module = kx::os::ThisModule();
        kx::os::HRSRC found =
            kx::os::FindResourceA(module, MAKEINTRESOURCEA(row.id), MAKEINTRESOURCEA(kType));
        ASSERT_NE(found, nullptr);
        ASSERT_EQ(kx::os::SizeofResource(module, found), identity ? 256u : 512u);
        const auto *bytes =
            static_cast<const uint8_t *>(kx::os::LockResource(kx::os::LoadResource(module, found)));
        ASSERT_NE(bytes, nullptr);
        for (int code = 0; code < 256; ++code) {
            uint16_t value =
                identity ? bytes[code]
                         : static_cast<uint16_t>(bytes[2 * code] | bytes[2 * code + 1] << 8);
            ASSERT_EQ(value, values[code]) << "code " << code;
        }
        ++served;
    }
    EXPECT_EQ(served, 59);  // 53 maps and the identity resources 8 to 13
}

TEST(CharsetResources, SetsWithoutASourceHaveNoResource) {
    for (const auto &row : Registry()) {
        // 83 and 84 are the double-byte tables, which come from sources of their own.
        if (HasOwnResource(row) || row.id == 83 || row.id == 84) continue;
        SCOPED_TRACE("CharsetId " + std::to_string(row.id));
        EXPECT_EQ(kx::os::FindResourceA(kx::os::ThisModule(), MAKEINTRESOURCEA(row.id),
                                        MAKEINTRESOURCEA(kType)),
                  nullptr);
    }
}

// The conventions every map follows, set by set.
const std::set<uint16_t> kPcCodePages = {31, 32, 33, 34, 35, 36, 37, 38,
                                         39, 40, 41, 65, 67, 68, 78, 82};
const std::set<uint16_t> kNoDelete = {42, 43, 44, 45, 46, 48, 49, 50};
const std::set<uint16_t> kSpaceAtFF = {5,  6,  31, 32, 33, 34, 35, 36, 37, 38, 40,
                                       41, 63, 67, 68, 74, 75, 78, 79, 80, 81, 82};
const std::set<uint16_t> kSpaceAtA0 = {5, 63, 66, 74, 75, 76, 80};

TEST(CharsetMaps, FollowTheSharedConventions) {
    for (const auto &row : Registry()) {
        if (!HasOwnResource(row) || row.id <= 13) continue;
        SCOPED_TRACE("CharsetId " + std::to_string(row.id));
        auto map = MapOf(row.id);
        uint16_t del = kPcCodePages.count(row.id) || row.id == 74 ? 0x2302
                       : kNoDelete.count(row.id)                  ? 0xFFFF
                                                                  : 0x007F;
        EXPECT_EQ(map[0x7F], del);
        if (kSpaceAtFF.count(row.id)) {
            EXPECT_EQ(map[0xFF], 0x0020);
        }
        if (kSpaceAtA0.count(row.id)) {
            EXPECT_EQ(map[0xA0], 0x0020);
        }
        const std::vector<uint16_t> glyphs = {0x0020, 0x263A, 0x263B, 0x2665};
        if (kPcCodePages.count(row.id)) {
            EXPECT_TRUE(std::equal(glyphs.begin(), glyphs.end(), map.begin()));
        }
        for (int code = 0; code < 256; ++code) {
            EXPECT_NE(map[code], 0x20AC) << "euro sign at " << code;
            EXPECT_NE(map[code], 0x0000) << "U+0000 at " << code;
            if (row.id == 26 || row.id == 42) {
                EXPECT_TRUE(map[code] != 0x017D && map[code] != 0x017E) << code;
            }
        }
    }
}

struct Exception {
    uint16_t set;
    uint8_t code;
    uint16_t value;
};

// The codes that define the sets made for the library or derived from a
// standard (the sets named after a standard are checked against iconv).
const Exception kExceptions[] = {
    {42, 0x80, 0xFFFF}, {42, 0x83, 0xFFFF}, {42, 0x8E, 0xFFFF}, {42, 0x9E, 0xFFFF},
    {42, 0x04, 0x02C9}, {42, 0x05, 0x02D8}, {42, 0x06, 0x02D9}, {42, 0x08, 0x02DA},
    {42, 0x0A, 0x02DD}, {42, 0x0B, 0x02DB}, {42, 0x0C, 0x02C7}, {42, 0xE9, 0x00E9},
    {43, 0x5C, 0x20A9}, {44, 0x5C, 0x00A5}, {44, 0xB1, 0xFF71}, {51, 0x41, 0x0041},
    {51, 0x80, 0xF800}, {51, 0xFF, 0xF87F}, {78, 0x8D, 0x0131}, {78, 0x98, 0x0130},
    {78, 0x9E, 0x015E}, {78, 0x9F, 0x015F}, {78, 0xA6, 0x011E}, {78, 0xA7, 0x011F},
    {80, 0xAE, 0x0130}, {80, 0xBE, 0x0131}, {82, 0x86, 0x00C0}, {82, 0x8F, 0x00C8},
    {82, 0x91, 0x00CD}, {82, 0x92, 0x00D3}, {82, 0x98, 0x00C1}, {82, 0x9B, 0x00D2},
    {82, 0x9D, 0x00DA}, {82, 0x9F, 0x00CF}, {82, 0xA9, 0x0140}, {82, 0xAA, 0x013F},
};

TEST(CharsetMaps, HoldTheirDefiningCodes) {
    for (const Exception &e : kExceptions)
        EXPECT_EQ(MapOf(e.set)[e.code], e.value) << "set " << e.set << " code " << int(e.code);
}

TEST(CharsetMaps, SevenBitSetsRepeatTheirLowerHalf) {
    // 0xA0 and 0xFF follow the space rules instead.
    for (uint16_t set : {66, 74}) {
        auto map = MapOf(set);
        for (int code = 0xA1; code < 0xFF; ++code)
            EXPECT_EQ(map[code], map[code - 0x80]) << set << " " << code;
    }
}

}  // namespace
