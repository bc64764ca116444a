// The map cache (six maps) and the table cache (three tables): oldest first,
// a hit keeps the order, a miss on a full cache reuses the oldest entry, a
// failed load or build gives its entry up; and a build keeps both of its maps.
#include <gtest/gtest.h>

#include <array>
#include <thread>
#include <vector>

#include "charset/map_sources.h"
#include "charset/xlat.h"
#include "charset/xlat_testing.h"
#include "kxfiles.h"

namespace {

using kx::charset::CacheLock;
using kx::charset::CharsetId;
using kx::charset::LoadCharsetMap;
using kx::charset::testing::CachedMaps;
using kx::charset::testing::CachedTables;
using kx::charset::testing::TableKey;
using Ids = std::vector<CharsetId>;

constexpr uint32_t kLayerOptions = XLAT_APPROXIMATE | XLAT_KEEP_CONTROLS;

class XlatCache : public ::testing::Test {
protected:
    void SetUp() override { kx::charset::testing::ResetCaches(); }
    void TearDown() override { kx::charset::testing::ResetCaches(); }

    static bool Load(CharsetId set) {
        CacheLock lock;
        const uint16_t *map = LoadCharsetMap(lock, set);
        if (map == nullptr) return false;
        auto source = kxtest::MapOf(set);
        for (int code = 0; code < 256; ++code)
            EXPECT_EQ(map[code], source[code]) << set << " " << code;
        return true;
    }

    static std::array<uint8_t, 256> Table(uint16_t from, uint16_t to, uint32_t count = 256,
                                          uint8_t defaultChar = 0x20,
                                          uint32_t options = kLayerOptions) {
        std::array<uint8_t, 256> table{};
        EXPECT_EQ(kxFileSetupXlat(from, to, table.data(), count, defaultChar, options), 1);
        return table;
    }
};

TEST_F(XlatCache, MapsAreKeptOldestFirstAndAHitKeepsTheOrder) {
    for (CharsetId set : {15, 16, 17}) ASSERT_TRUE(Load(set));
    ASSERT_TRUE(Load(15));
    EXPECT_EQ(CachedMaps(), (Ids{15, 16, 17}));
    for (CharsetId set : {18, 19, 20}) ASSERT_TRUE(Load(set));
    ASSERT_TRUE(Load(21));  // full: 15, the oldest, makes room
    EXPECT_EQ(CachedMaps(), (Ids{16, 17, 18, 19, 20, 21}));
}

TEST_F(XlatCache, SetsWithoutAMapAreRefused) {
    for (CharsetId set : {15, 16, 17, 18, 19, 20}) ASSERT_TRUE(Load(set));
    // 47 and the double-byte tables are refused without giving up a map.
    for (CharsetId set : {47, 83, 84}) EXPECT_FALSE(Load(set)) << set;
    EXPECT_EQ(CachedMaps(), (Ids{15, 16, 17, 18, 19, 20}));
    // An identity resource is no map: its slot, the oldest, is given up.
    EXPECT_FALSE(Load(8));
    EXPECT_EQ(CachedMaps(), (Ids{16, 17, 18, 19, 20}));
    // Ids without any resource, with a free slot: the cache stays as it was.
    for (CharsetId set : {0, 14, 99, 65535}) EXPECT_FALSE(Load(set)) << set;
    EXPECT_EQ(CachedMaps(), (Ids{16, 17, 18, 19, 20}));
}

TEST_F(XlatCache, DoubleByteSetsShareTheMapOf51) {
    ASSERT_TRUE(Load(57));
    ASSERT_TRUE(Load(62));
    ASSERT_TRUE(Load(73));
    EXPECT_EQ(CachedMaps(), (Ids{51}));
}

// The source map sits in the oldest slot of a full cache; the target map's
// lookup reuses that slot. The table must still be built from both maps.
TEST_F(XlatCache, ABuildKeepsItsSourceMapWhenTheTargetTakesItsSlot) {
    const auto expected = Table(31, 26);
    kx::charset::testing::ResetCaches();
    for (CharsetId set : {31, 15, 16, 17, 18, 19}) ASSERT_TRUE(Load(set));
    EXPECT_EQ(Table(31, 26), expected);
    EXPECT_EQ(expected[0x8E], 0xC4);  // A umlaut
    EXPECT_EQ(CachedMaps(), (Ids{15, 16, 17, 18, 19, 26}));
    // The same with the target in the oldest slot and the source missing.
    kx::charset::testing::ResetCaches();
    for (CharsetId set : {26, 15, 16, 17, 18, 19}) ASSERT_TRUE(Load(set));
    EXPECT_EQ(Table(31, 26), expected);
}

TEST_F(XlatCache, AFourthTableReplacesTheOldestAndARebuildIsIdentical) {
    const auto first = Table(15, 31);
    Table(31, 15);
    Table(26, 32);
    Table(15, 31);  // a hit keeps the order
    Table(32, 26);
    EXPECT_EQ(CachedTables(), (std::vector<TableKey>{{31, 15, 0x20, kLayerOptions, 256},
                                                     {26, 32, 0x20, kLayerOptions, 256},
                                                     {32, 26, 0x20, kLayerOptions, 256}}));
    EXPECT_EQ(Table(15, 31), first);
    EXPECT_EQ(CachedTables().back(), (TableKey{15, 31, 0x20, kLayerOptions, 256}));
    EXPECT_EQ(CachedTables().size(), 3u);
}

TEST_F(XlatCache, AShorterRequestIsServedByALongerTableButNotTheOtherWay) {
    const auto whole = Table(15, 31);
    std::array<uint8_t, 256> part;
    part.fill(0xEE);
    ASSERT_EQ(kxFileSetupXlat(15, 31, part.data(), 128, 0x20, kLayerOptions), 1);
    EXPECT_TRUE(std::equal(part.begin(), part.begin() + 128, whole.begin()));
    EXPECT_TRUE(std::all_of(part.begin() + 128, part.end(), [](uint8_t b) { return b == 0xEE; }));
    EXPECT_EQ(CachedTables().size(), 1u);

    kx::charset::testing::ResetCaches();
    Table(15, 31, 128);
    Table(15, 31, 256);
    EXPECT_EQ(CachedTables().size(), 2u);
    // The default character and the options are part of the key.
    Table(15, 31, 256, 0x3F);
    Table(15, 31, 256, 0x20, 0);
    EXPECT_EQ(CachedTables(), (std::vector<TableKey>{{15, 31, 0x20, kLayerOptions, 256},
                                                     {15, 31, 0x3F, kLayerOptions, 256},
                                                     {15, 31, 0x20, 0, 256}}));
}

TEST_F(XlatCache, AFailedBuildLeavesNoRecord) {
    uint8_t table[256];
    EXPECT_EQ(kxFileSetupXlat(47, 15, table, 256, 0x20, 0), 0);
    EXPECT_TRUE(CachedTables().empty());
    Table(15, 31);
    Table(31, 15);
    Table(26, 32);
    // Full: the oldest record is taken for the build, which fails.
    EXPECT_EQ(kxFileSetupXlat(15, 99, table, 256, 0x20, 0), 0);
    EXPECT_EQ(CachedTables(), (std::vector<TableKey>{{31, 15, 0x20, kLayerOptions, 256},
                                                     {26, 32, 0x20, kLayerOptions, 256}}));
}

TEST_F(XlatCache, ThreadsBuildingDifferentTablesAtOnceGetCorrectTables) {
    const std::pair<uint16_t, uint16_t> pairs[] = {{15, 31}, {31, 15}, {26, 67},
                                                   {19, 33}, {5, 32},  {82, 24}};
    std::vector<std::array<uint8_t, 256>> expected;
    for (auto [from, to] : pairs) expected.push_back(Table(from, to));
    kx::charset::testing::ResetCaches();
    auto work = [&](int first, int *wrong) {
        for (int round = 0; round < 200; ++round) {
            int k = (first + round) % 6;
            std::array<uint8_t, 256> table{};
            if (kxFileSetupXlat(pairs[k].first, pairs[k].second, table.data(), 256, 0x20,
                                kLayerOptions) != 1 ||
                table != expected[k])
                ++*wrong;
        }
    };
    int wrong[2] = {0, 0};
    std::thread a(work, 0, &wrong[0]);
    std::thread b(work, 3, &wrong[1]);
    a.join();
    b.join();
    EXPECT_EQ(wrong[0], 0);
    EXPECT_EQ(wrong[1], 0);
}

}  // namespace
