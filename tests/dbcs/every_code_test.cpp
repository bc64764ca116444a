// All 65,536 codes through both conversions for every double-byte set and
// some sets without double-byte characters: the result and *out keep the
// contract of the two exports.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "dbcs/dbcs.h"
#include "dbcs/dbcs_test_util.h"

namespace {

using namespace kxtest::dbcs;

bool ShiftJisLead(unsigned lead) {
    return (lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC);
}
bool ShiftJisPair(unsigned code) {
    unsigned trail = code & 0xFF;
    return ShiftJisLead(code >> 8) &&
           ((trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC));
}

TEST(DbcsEveryCode, KeepsTheContract) {
    const uint32_t sets[] = {0,  14, 47, 50, 51, 52, 53, 54, 55, 56, 57, 58,
                             59, 60, 61, 62, 63, 69, 70, 73, 77, 83, 84, 0xFFFF};
    for (uint32_t set : sets) {
        bool knownToHost =
            (set >= 51 && set <= 57) || (set >= 59 && set <= 62) || set == 73 || set == 77;
        bool knownToPc = knownToHost || set == 69;
        for (uint32_t code = 0; code <= 0xFFFF; ++code) {
            const uint16_t value = static_cast<uint16_t>(code);
            Converted up = ToHost(value, set);
            if (!up.ok) {
                ASSERT_EQ(up.out, (kUntouched & 0xFF00) | 0x20) << set << " " << code;
            }
            if (!knownToHost || code == 0) {
                ASSERT_FALSE(up.ok) << set << " " << code;
            }
            // The Shift-JIS sets accept only Shift-JIS pairs; those without
            // JIS X 0212 accept every one of them.
            if (((set >= 51 && set <= 57) || set == 73) && !ShiftJisPair(code)) {
                ASSERT_FALSE(up.ok) << set << " " << code;
            }
            if (set == 51 || set == 54 || set == 55 || set == 73) {
                ASSERT_EQ(up.ok, ShiftJisPair(code) ? 1 : 0) << set << " " << code;
            }

            Converted down = ToPc(value, set);
            if (!knownToPc || code == 0) {
                ASSERT_FALSE(down.ok) << set << " " << code;
            }
            if (down.ok && ((set >= 51 && set <= 57) || set == 69 || set == 73)) {
                ASSERT_TRUE(ShiftJisLead(down.out >> 8)) << set << std::hex << " " << code;
            }
            if (!down.ok && down.out != kUntouched) {
                ASSERT_EQ(down.out >> 8, 0x20u) << set << " " << code;
            }
            // Only a Shift-JIS result that would read as half-width katakana
            // leaves *out untouched.
            if (!down.ok && down.out == kUntouched) {
                ASSERT_TRUE((set >= 51 && set <= 57) || set == 69 || set == 73)
                    << set << " " << code;
            }
        }
    }
}

// The rows of results that the character-set layer converts through give
// what the conversion gives in both directions, also when several threads
// build them at once; a failure leaves the caller's value alone.
TEST(DbcsEveryCode, CachedRowsAgreeWithTheConversion) {
    const uint16_t sets[] = {51, 52, 53, 54, 55, 56, 57, 59, 60, 61, 62, 69, 73, 77};
    std::atomic<int> mismatches{0};
    auto check = [&] {
        for (uint16_t set : sets) {
            const kx::dbcs::HostCodeRows toHost(set);
            const kx::dbcs::PcCodeRows toPc(set);
            for (uint32_t code = 0; code <= 0xFFFF; ++code) {
                const auto c = static_cast<uint16_t>(code);
                uint16_t direct = 0, cached = 0x5A5A;
                bool ok = kx::dbcs::MicroToHost(c, &direct, set);
                if (toHost.Convert(c, cached) != ok || (ok ? cached != direct : cached != 0x5A5A))
                    ++mismatches;
                direct = 0, cached = 0x5A5A;
                ok = kx::dbcs::HostToMicro(c, &direct, set);
                if (toPc.Convert(c, cached) != ok || (ok ? cached != direct : cached != 0x5A5A))
                    ++mismatches;
            }
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) threads.emplace_back(check);
    for (std::thread &t : threads) t.join();
    EXPECT_EQ(mismatches.load(), 0);
}

}  // namespace
