// The 7-bit national replacement sets folded into a 256-byte table: the
// source side gives a national 7-bit code its 8-bit character, the target side
// gives an 8-bit character its national 7-bit code; the HP variants that type
// accents as dead keys set the dead-key mode.
#include <gtest/gtest.h>

#include <array>

#include "charset/xlat.h"
#include "charset/xlat_testing.h"
#include "kxfiles.h"
#include "support/layer_io.h"

namespace {

using kx::charset::ApplyNationalSet;
using Table = std::array<uint8_t, 256>;

constexpr uint16_t kUnset = 9;  // a dead-key mode no call sets
constexpr uint32_t kSource = CSF_NATIONAL_SOURCE, kTarget = CSF_NATIONAL_TARGET;

// The identity with the changes "CCVV CCVV" (code, value, in hex) made.
Table IdentityWith(const std::string &changes) {
    Table table;
    for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(i);
    const std::string bytes = kxtest::Hex(changes);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        table[static_cast<uint8_t>(bytes[i])] = static_cast<uint8_t>(bytes[i + 1]);
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
        Table table = IdentityWith("");
        mode_ = kUnset;
        ApplyNationalSet(table.data(), &mode_, from, to, options, variant);
        return table;
    }
    uint16_t mode_ = kUnset;
};

// The rows of the national sets, worked out from their pictures, and the
// dead-key mode; a null table is not compared.
TEST_F(National, TablesAndDeadKeyModes) {
    struct Case {
        const char *label;
        uint16_t from, to;
        uint32_t options, variant;
        const char *changes;
        uint16_t mode;
    } cases[] = {
        // # @ [ \ ] ^ _ ` { | } ~ show # @ Ä Ö Å Ü _ é ä ö å ü.
        {"8859-1 variant 4", 15, 26, kSource, 4, "5BC4 5CD6 5DC5 5EDC 60E9 7BE4 7CF6 7DE5 7EFC",
         kUnset},
        {"DEC variant 2, diaeresis and acute as quotes", 5, 26, kSource, 2,
         "23A3 40BE 5BFD 5CBD 5D7C 7B22 7C66 7DBC 7E27", kUnset},
        {"8859-1 variant 2: the same but for y", 15, 26, kSource, 2,
         "23A3 40BE 5BFF 5CBD 5D7C 7BA8 7C66 7DBC 7EB4", kUnset},
        {"HP variant 5, dead keys for ^ and ~", 6, 26, kSource, 5,
         "23BB 40C8 5BB3 5CB5 5DBD 5EAA 7BC5 7CCB 7DC9 7EAB", 1},
        {"1252 to 8859-1 variant 4", 26, 15, kTarget, 4,
         "C45B D65C C55D DC5E E960 E47B F67C E57D FC7E", kUnset},
        // DEC's reserved codes for 3/4 and the acute have no counterpart in
        // 1252 and are skipped; the letter f keeps its own code.
        {"DEC variant 2, target side", 26, 5, kTarget, 2, "A323 FF5B BD5C 7C5D A47B BC7D", kUnset},
        {"HP 5 target", 26, 6, kTarget, 5, nullptr, 1},
        {"HP 6 target", 26, 6, kTarget, 6, nullptr, 1},
        {"HP 12 target", 26, 6, kTarget, 12, nullptr, 2},
        {"HP 15 target", 26, 6, kTarget, 15, nullptr, 2},
        {"HP 12 source", 6, 26, kSource, 12, nullptr, 2},
        {"HP 4 has no dead keys", 26, 6, kTarget, 4, nullptr, kUnset},
        {"15 the national set, 6 the source", 6, 15, kTarget, 5, nullptr, 1},
        {"8859-1 variant 5 has no dead keys", 26, 15, kTarget, 5, nullptr, kUnset},
        // Nothing happens outside the rules.
        {"variant 0", 6, 26, kSource, 0, "", kUnset},
        {"variant 18", 6, 26, kSource, 18, "", kUnset},
        {"variant 0xFFFFFFFF", 26, 6, kTarget, 0xFFFFFFFF, "", kUnset},
        {"neither side asked for", 26, 6, 0, 5, "", kUnset},
        {"the target is no national set", 6, 26, kTarget, 5, "", kUnset},
        {"the source is no national set", 26, 6, kSource, 5, "", kUnset},
        {"a set without a map", 31, 47, kSource, 4, "", kUnset},
    };
    for (const Case &c : cases) {
        const Table table = Apply(c.from, c.to, c.options, c.variant);
        if (c.changes != nullptr) {
            EXPECT_EQ(table, IdentityWith(c.changes)) << c.label;
        }
        EXPECT_EQ(mode_, c.mode) << c.label;
    }
}

TEST_F(National, SingleRows) {
    // DEC Multinational, variant 6: the tilde position becomes a double quote.
    EXPECT_EQ(Apply(5, 26, kSource, 6)[0x7E], 0x22);
    EXPECT_EQ(Apply(15, 26, kSource, 6)[0x7E], 0xA8);
    // From OEM bytes: the national characters are found at their OEM codes.
    Table oem = Apply(26, 15, kTarget | CSF_OEM_TO_ANSI, 4);
    EXPECT_EQ(oem[0x8E], 0x5B);  // A with diaeresis
    EXPECT_EQ(oem[0x82], 0x60);  // e acute
    EXPECT_EQ(oem[0xC4], 0xC4);
    // Both sides asked for: the target side.
    EXPECT_EQ(Apply(15, 15, kSource | kTarget, 4), Apply(15, 15, kTarget, 4));
}

}  // namespace
