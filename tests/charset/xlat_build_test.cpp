// Translation tables as kxFileSetupXlat hands them out: the same character
// where the target has it, else the approximations, controls and the default
// character, checked against the map sources.
#include <gtest/gtest.h>

#include <array>
#include <set>

#include "charset/approximation.h"
#include "charset/map_sources.h"
#include "charset/xlat_testing.h"
#include "kxfiles.h"

namespace {

using namespace kx::charset;
using kxtest::MapOf;

constexpr uint8_t kDefault = 0x3F;  // distinguishable from every stand-in below
constexpr uint32_t kApprox = XLAT_APPROXIMATE;
constexpr uint32_t kKeep = XLAT_KEEP_CONTROLS;

std::array<uint8_t, 256> Table(uint16_t from, uint16_t to, uint32_t options,
                               uint8_t defaultChar = kDefault) {
    std::array<uint8_t, 256> table{};
    EXPECT_EQ(kxFileSetupXlat(from, to, table.data(), 256, defaultChar, options), 1)
        << from << " to " << to;
    return table;
}

// The lowest code of `to` holding `character`, from the map source.
int LowestCode(uint16_t to, uint16_t character) {
    auto map = MapOf(to);
    for (int code = 0; code < 256; ++code)
        if (map[code] == character) return code;
    return -1;
}

class XlatBuild : public ::testing::Test {
protected:
    void SetUp() override { kx::charset::testing::ResetCaches(); }
};

struct Case {
    const char *what;
    uint16_t from, to;
    uint32_t options;
    uint8_t code;
    int expected;  // a byte, or the lowest code of `to` holding `character`
    uint16_t character = 0;
};

// The approximations, defaults and choices among equal codes that
// EveryCodeFollowsTheMapSources leaves open.
TEST_F(XlatBuild, DocumentedTranslations) {
    const Case cases[] = {
        {"no-break space has no counterpart", 15, 31, kApprox | kKeep, 0xA0, kDefault},
        {"light vertical by its ASCII look-alike", 31, 15, kApprox, 0xB3, '|'},
        {"double down-right reached through U+250C", 31, 15, kApprox, 0xC9, '+'},
        {"double horizontal through U+2500", 31, 15, kApprox, 0xCD, '-'},
        {"double vertical through U+2502", 31, 15, kApprox, 0xBA, '|'},
        {"double cross", 31, 15, kApprox, 0xCE, '+'},
        {"down single, horizontal double through U+252C", 31, 15, kApprox, 0xD1, '-'},
        {"PC glyph without keeping controls", 31, 15, kApprox, 0x01, kDefault},
        {"double horizontal found in the line-drawing set", 31, 7, 0, 0xCD, -1, 0x2550},
        {"e acute loses its accent", 15, 66, kApprox, 0xE9, 'e'},
        {"commercial at missing from the Yugoslav set", 15, 66, 0, 0x40, kDefault},
        {"commercial at as ASCII, where the set shows Z caron", 15, 66, kApprox, 0x40, 0x40},
        {"double lines become single lines", 31, 48, kApprox, 0xC9, -1, 0x250C},
        {"heavy line through the double line to the single line", 45, 48, kApprox,
         static_cast<uint8_t>(LowestCode(45, 0x2501)), -1, 0x2500},
        {"heavy line stops at the double line when the target has it", 45, 31, kApprox,
         static_cast<uint8_t>(LowestCode(45, 0x2501)), 0xCD},
        {"peseta sign", 31, 15, kApprox, 0x9E, 'P'},
        {"em dash", 26, 31, kApprox, 0x97, '-'},
        {"right double quotation mark", 26, 31, kApprox, 0x94, '"'},
        {"trade mark", 26, 31, kApprox, 0x99, 'T'},
        {"S caron loses its accent", 24, 31, kApprox, 0x8A, 'S'},
        {"Shift-JIS upper half matches only itself", 51, 15, kApprox, 0xA4, kDefault},
        {"a double-byte set reads through the map of 51", 57, 51, 0, 0xA4, 0xA4},
        // What iconv writes: the printable code when the target also has the
        // character among its controls.
        {"pilcrow to code page 850 as 0xF4, not DC4", 15, 32, 0, 0xB6, 0xF4},
        {"section sign to code page 850 as 0xF5, not NAK", 15, 32, 0, 0xA7, 0xF5},
        {"a character found only among the controls keeps it", 31, 32, 0, 0x01, 0x01},
        {"a space stays a space", 31, 32, 0, 0x20, 0x20},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        int expected = c.expected >= 0 ? c.expected : LowestCode(c.to, c.character);
        ASSERT_GE(expected, 0);
        EXPECT_EQ(Table(c.from, c.to, c.options)[c.code], expected);
    }
}

// Every code whose character the target holds becomes a code holding it: the
// lowest, unless that is a control position and the target also has it at a
// printable one; every other code a kept control or the default character
// when there is nothing to approximate.
TEST_F(XlatBuild, EveryCodeFollowsTheMapSources) {
    const std::pair<uint16_t, uint16_t> pairs[] = {
        {15, 31}, {31, 15}, {26, 32}, {33, 24}, {25, 67}, {19, 81}, {31, 82}, {63, 27},
        {21, 65}, {51, 15}, {5, 26},  {6, 15},  {44, 51}, {31, 49}, {68, 74}};
    for (auto [from, to] : pairs) {
        auto source = MapOf(from);
        auto target = MapOf(to);
        for (uint32_t options : {0u, kKeep, kApprox, kApprox | kKeep}) {
            auto table = Table(from, to, options);
            for (int i = 0; i < 256; ++i) {
                SCOPED_TRACE(::testing::Message()
                             << from << " to " << to << " options " << options << " code " << i);
                uint16_t u = source[i];
                int lowest = u == 0xFFFF ? -1 : LowestCode(to, u);
                if (lowest >= 0) {
                    const auto isControl = [](int code) { return code < 0x20 || code == 0x7F; };
                    EXPECT_EQ(target[table[i]], u);
                    EXPECT_TRUE(table[i] == lowest || (isControl(lowest) && !isControl(table[i])));
                    for (int k = 0; k < table[i]; ++k)  // no lower code would do as well
                        EXPECT_FALSE(target[k] == u && (!isControl(k) || isControl(table[i]))) << k;
                } else if (i < 32 && (options & kKeep)) {
                    EXPECT_EQ(table[i], i);
                } else if (!(options & kApprox)) {
                    EXPECT_EQ(table[i], kDefault);
                } else if (u >= 0x20 && u <= 0x7F) {
                    EXPECT_EQ(table[i], u);
                }
            }
        }
    }
}

// Set 14, and any set to itself: every byte comes back as it was (code page
// 850's pilcrow and NUL, ISO 8859-1's C1 controls, the code page 1252 set
// without the euro sign).
TEST_F(XlatBuild, IdentitySetGivesTheIdentityEvenWithASetWithoutMap) {
    const std::pair<uint16_t, uint16_t> pairs[] = {{14, 31}, {31, 14}, {14, 14}, {14, 47}, {47, 14},
                                                   {32, 32}, {15, 15}, {26, 26}, {31, 31}};
    for (auto [from, to] : pairs) {
        auto table = Table(from, to, kApprox, 0x20);
        for (int i = 0; i < 256; ++i) ASSERT_EQ(table[i], i) << from << " to " << to;
    }
}

// The constant approximation data hangs together.

TEST(ApproximationData, EveryBoxDrawingChainEndsAtASelfNamingLine) {
    const std::set<int> ends = {0x00, 0x02, 0x0C, 0x10, 0x14, 0x18, 0x1C, 0x24, 0x2C, 0x34, 0x3C};
    const int size = kBoxDrawingLast - kBoxDrawingFirst + 1;
    for (int start = 0; start < size; ++start) {
        int at = start;
        for (int steps = 0; steps < size && kBoxDrawingFallback[at] != at; ++steps) {
            at = kBoxDrawingFallback[at];
            ASSERT_LT(at, size) << "U+25" << std::hex << start;
        }
        EXPECT_TRUE(ends.count(at)) << std::hex << "U+25" << start << " ends at U+25" << at;
        EXPECT_EQ(kBoxDrawingFallback[at], at) << std::hex << "U+25" << start;
    }
}

TEST(ApproximationData, PairsAreASCIIAndAgreeWithTheBoxDrawingChains) {
    const int count = kApproximationPairCount;
    EXPECT_EQ(kApproximationPairs[count].character, 0);
    EXPECT_EQ(kApproximationPairs[count].byte, 0);
    auto pairByte = [&](uint16_t character) {
        for (int k = 0; k < count; ++k)
            if (kApproximationPairs[k].character == character)
                return int(kApproximationPairs[k].byte);
        return -1;
    };
    for (int k = 0; k < count; ++k) {
        uint16_t character = kApproximationPairs[k].character;
        EXPECT_NE(character, 0);
        EXPECT_GE(kApproximationPairs[k].byte, 0x20);
        EXPECT_LT(kApproximationPairs[k].byte, 0x7F);
        // A box-drawing character and the end of its chain look alike in ASCII.
        if (character >= 0x2500 && character <= 0x256C) {
            int at = character - 0x2500;
            while (kBoxDrawingFallback[at] != at) at = kBoxDrawingFallback[at];
            EXPECT_EQ(pairByte(static_cast<uint16_t>(0x2500 + at)), kApproximationPairs[k].byte)
                << std::hex << character;
        }
    }
}

TEST(ApproximationData, AccentFallbacksArePrintableASCII) {
    for (int u = kAccentFirst; u <= kAccentLast; ++u) {
        uint8_t byte = kAccentFallback[u - kAccentFirst];
        EXPECT_TRUE(byte == 0 || (byte > 0x20 && byte < 0x7F)) << std::hex << u;
    }
    // Spot checks across the rows: the letters of Latin-1, Extended-A and -B, IPA.
    const std::pair<uint16_t, char> spots[] = {
        {0x00A1, '!'}, {0x00C5, 'A'}, {0x00D7, '*'}, {0x00DF, 's'}, {0x00F7, '/'}, {0x00FF, 'y'},
        {0x0141, 'L'}, {0x0142, 'l'}, {0x017F, 's'}, {0x01C3, '!'}, {0x0217, 'u'}, {0x021B, 0},
        {0x0250, 'a'}, {0x0298, '.'}, {0x02A0, 'q'}, {0x02AF, 0}};
    for (auto [u, c] : spots)
        EXPECT_EQ(kAccentFallback[u - 0xA0], static_cast<uint8_t>(c)) << std::hex << u;
}

}  // namespace
