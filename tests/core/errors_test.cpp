#include "core/errors.h"

#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <string>
#include <thread>
#include <vector>

#include "kxfiles.h"
#include "platform/test_hooks.h"

namespace {

TEST(ErrorString, CopiesTheMessageOfTheCodesMagnitudeIntoTheBuffer) {
    const struct {
        int32_t code, size;
        const char *text;
        uint16_t copied;
    } rows[] = {
        {-18, 64, "File name too long", 18},
        {18, 64, "File name too long", 18},
        {0, 64, "No file error has occurred", 26},
        {17, 64, "Transfer aborted--record longer than 32767 bytes", 48},
        {21, 64, "Device not ready", 16},
        {0x10005, 64, "Invalid file name", 17},  // only the low 16 bits of |code| count
        {INT32_MIN, 64, "No file error has occurred", 26},
        {5, 8, "Invalid", 7},
        {5, 65536 + 8, "Invalid", 7},  // the size is a 16-bit count
        {5, 1, nullptr, 0},
        {22, 64, nullptr, 0},
        {-22, 64, nullptr, 0},
        {5, 0, nullptr, 0},
        {5, -5, nullptr, 0},
        {5, 65536, nullptr, 0},
    };
    kx::SetThreadError(7);
    for (const auto &row : rows) {
        std::vector<char> buffer(row.size > 0 ? row.size : 1, '#');  // as large as it says
        EXPECT_EQ(kxFileErrorString(row.code, buffer.data(), row.size), row.copied) << row.code;
        if (row.copied) {
            EXPECT_STREQ(buffer.data(), row.text) << row.code << ", size " << row.size;
        }
    }
    EXPECT_EQ(kxFileErrorVal(), 7);  // the last error left alone
    EXPECT_EQ(kxFileErrorString(5, nullptr, 64), 0);
    // Codes 4 and 11 share their text.
    char four[64], eleven[64];
    ASSERT_GT(kxFileErrorString(4, four, sizeof four), 0);
    ASSERT_GT(kxFileErrorString(11, eleven, sizeof eleven), 0);
    EXPECT_STREQ(four, eleven);
}

TEST(MapSystemError, FollowsTheTable) {
    struct Row {
        uint32_t win32;
        kx::ErrorCode code;
    } rows[] = {{0, 0},    {2, 5},    {3, 6},   {5, 1},   {6, 4},      {16, 20},
                {21, 21},  {32, 7},   {53, 6},  {55, 3},  {80, 2},     {87, 9},
                {111, 5},  {113, 8},  {123, 5}, {144, 6}, {161, 6},    {267, 6},
                {1200, 3}, {1214, 5}, {112, 9}, {183, 9}, {0xFFFF, 9}, {0x10002, 9}};
    for (const Row &row : rows) EXPECT_EQ(kx::MapSystemError(row.win32), row.code) << row.win32;
}

// Runs `body` on a new thread and waits for it.
template <typename Body>
void OnNewThread(Body body) {
    std::thread thread(body);
    thread.join();
}

// A new thread reads 0 without allocating; clearing makes its record, and
// later sets and clears reuse it.
TEST(ThreadError, ClearCreatesTheRecordAndLaterSetsReuseIt) {
    uint64_t reading = 1, first = 0, second = 0;
    int32_t before = -1, after = -1;
    OnNewThread([&] {
        kx::os::testing::FailAllocation(0);
        before = kxFileErrorVal();
        reading = kx::os::testing::FailAllocation(0);
        kxFileErrorClear();
        first = kx::os::testing::FailAllocation(0);
        kx::SetThreadError(9);
        kxFileErrorClear();
        second = kx::os::testing::FailAllocation(0);
        after = kxFileErrorVal();
    });
    EXPECT_EQ(before, 0);
    EXPECT_EQ(reading, 0u);
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(second, 0u);
    EXPECT_EQ(after, 0);
}

TEST(ThreadError, NoMemoryForARecordRecordsNothing) {
    int32_t value = -1;
    OnNewThread([&] {
        kx::os::testing::FailAllocation(1);
        kx::SetThreadError(12);
        kx::os::testing::FailAllocation(0);
        value = kxFileErrorVal();
    });
    EXPECT_EQ(value, 0);
}

TEST(ThreadError, EachThreadKeepsItsOwnError) {
    constexpr int kThreads = 8;
    std::atomic<int> ready{0};
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ready.fetch_add(1);
            while (ready.load() < kThreads) std::this_thread::yield();
            for (int round = 0; round < 2000; ++round) {
                auto code = static_cast<kx::ErrorCode>(1 + (t + round) % 21);
                kx::SetThreadError(code);
                std::this_thread::yield();
                if (kxFileErrorVal() != code) wrong.fetch_add(1);
            }
        });
    }
    for (auto &thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(ThreadError, NegativeCodesAreSignExtended) {
    kx::SetThreadError(-2);
    EXPECT_EQ(kxFileErrorVal(), -2);
    kxFileErrorClear();
    EXPECT_EQ(kxFileErrorVal(), 0);
}

}  // namespace
