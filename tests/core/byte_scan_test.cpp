// The word-at-a-time copy that the block paths use to take a run of plain
// bytes: against a byte loop, for every place of the stopping byte, every
// limit around the word sizes, and each lower bound the layers use, then
// every byte value under every bound. Bytes of the destination past the limit
// must never be touched.
#include <gtest/gtest.h>

#include <vector>

#include "core/byte_scan.h"

namespace {

TEST(ByteScan, CopyUntilBelowOrFFStopsWhereAByteLoopStops) {
    const uint8_t kGuard = 0xA5;
    for (uint32_t low : {0x1Bu, 0x20u, 0x80u}) {
        for (uint8_t stopper : {static_cast<uint8_t>(low - 1), uint8_t{0}, uint8_t{0xFF}}) {
            for (uint32_t at = 0; at <= 40; ++at) {
                // Plain bytes on both sides of the bound and near 0xFF, then the stopper.
                std::vector<uint8_t> from(48);
                for (uint32_t i = 0; i < from.size(); ++i)
                    from[i] = static_cast<uint8_t>(i % 3 == 0 ? low : i % 3 == 1 ? 0xFE : 0x80 + i);
                if (at < from.size()) from[at] = stopper;
                for (uint32_t limit = 0; limit <= 40; ++limit) {
                    std::vector<uint8_t> to(limit + 16, kGuard);
                    uint32_t n = kx::bytescan::CopyUntilBelowOrFF(from.data(), to.data(), limit, low);
                    uint32_t expected = at < limit ? at : limit;
                    ASSERT_EQ(n, expected) << "low " << low << " stop at " << at << " limit " << limit;
                    for (uint32_t i = 0; i < n; ++i) ASSERT_EQ(to[i], from[i]);
                    for (uint32_t i = limit; i < to.size(); ++i)
                        ASSERT_EQ(to[i], kGuard) << "written past the limit at " << i;
                }
            }
        }
    }
    // Every byte value at offset 5 of a 16-byte and a 40-byte run, under
    // bounds from 0 to 0x80: it stops the copy exactly when below the bound or 0xFF.
    for (uint32_t low : {0x00u, 0x01u, 0x1Bu, 0x20u, 0x7Fu, 0x80u}) {
        for (uint32_t byte = 0; byte < 256; ++byte) {
            for (uint32_t limit : {16u, 40u}) {
                std::vector<uint8_t> from(limit, 0xFE), to(limit);
                from[5] = static_cast<uint8_t>(byte);
                const uint32_t expected = byte < low || byte == 0xFF ? 5 : limit;
                ASSERT_EQ(kx::bytescan::CopyUntilBelowOrFF(from.data(), to.data(), limit, low), expected)
                    << "low " << low << " byte " << byte << " limit " << limit;
            }
        }
    }
}

}  // namespace
