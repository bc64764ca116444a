#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "core/errors.h"
#include "kxfiles.h"
#include "platform/test_hooks.h"

namespace {

std::string Message(int32_t code, int32_t size, uint16_t *copied = nullptr) {
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 1, '#');
    uint16_t n = kxFileErrorString(code, buffer.data(), size);
    if (copied) *copied = n;
    return n ? std::string(buffer.data()) : std::string();
}

TEST(ErrorString, CopiesTheMessageOfTheCodesMagnitude) {
    uint16_t n = 0;
    EXPECT_EQ(Message(-18, 64, &n), "File name too long");
    EXPECT_EQ(n, 18);
    EXPECT_EQ(Message(18, 64), "File name too long");
    EXPECT_EQ(Message(0, 64), "No file error has occurred");
    EXPECT_EQ(Message(17, 64), "Transfer aborted--record longer than 32767 bytes");
    EXPECT_EQ(Message(21, 64), "Device not ready");
    // Codes 4 and 11 share their text; only the low 16 bits of |code| count.
    EXPECT_EQ(Message(4, 64), Message(11, 64));
    EXPECT_EQ(Message(0x10005, 64), "Invalid file name");
    EXPECT_EQ(Message(INT32_MIN, 64), "No file error has occurred");
}

TEST(ErrorString, TruncatesToTheBufferAndCountsWhatItCopied) {
    uint16_t n = 0;
    EXPECT_EQ(Message(5, 8, &n), "Invalid");
    EXPECT_EQ(n, 7);
    EXPECT_EQ(Message(5, 1, &n), "");
    EXPECT_EQ(n, 0);
    // The size is a 16-bit count: 65536 + 8 acts as 8.
    EXPECT_EQ(Message(5, 65536 + 8, &n), "Invalid");
}

TEST(ErrorString, UnknownCodesAndUnusableBuffersGiveZero) {
    char buffer[64];
    EXPECT_EQ(kxFileErrorString(22, buffer, sizeof buffer), 0);
    EXPECT_EQ(kxFileErrorString(-22, buffer, sizeof buffer), 0);
    EXPECT_EQ(kxFileErrorString(5, nullptr, 64), 0);
    EXPECT_EQ(kxFileErrorString(5, buffer, 0), 0);
    EXPECT_EQ(kxFileErrorString(5, buffer, -5), 0);
    EXPECT_EQ(kxFileErrorString(5, buffer, 65536), 0);  // 16-bit 0
}

TEST(ErrorString, LeavesTheLastErrorAlone) {
    kx::SetThreadError(7);
    char buffer[64];
    kxFileErrorString(22, buffer, sizeof buffer);
    kxFileErrorString(3, buffer, sizeof buffer);
    EXPECT_EQ(kxFileErrorVal(), 7);
}

TEST(MapSystemError, FollowsTheTable) {
    struct Row {
        uint32_t win32;
        kx::ErrorCode code;
    } rows[] = {{0, 0},    {2, 5},     {3, 6},    {5, 1},     {6, 4},   {16, 20}, {21, 21},
                {32, 7},   {53, 6},    {55, 3},   {80, 2},    {87, 9},  {111, 5}, {113, 8},
                {123, 5},  {144, 6},   {161, 6},  {267, 6},   {1200, 3}, {1214, 5}, {112, 9},
                {183, 9},  {0xFFFF, 9}, {0x10002, 9}};
    for (const Row &row : rows) EXPECT_EQ(kx::MapSystemError(row.win32), row.code) << row.win32;
}

// Runs `body` on a new thread and waits for it.
template <typename Body>
void OnNewThread(Body body) {
    std::thread thread(body);
    thread.join();
}

TEST(ThreadError, ANewThreadReadsZeroWithoutAllocating) {
    kx::os::testing::FailAllocation(0);
    int32_t seen = -1;
    uint64_t allocations = 1;
    OnNewThread([&] {
        kx::os::testing::FailAllocation(0);
        seen = kxFileErrorVal();
        allocations = kx::os::testing::FailAllocation(0);
    });
    EXPECT_EQ(seen, 0);
    EXPECT_EQ(allocations, 0u);
}

TEST(ThreadError, ClearCreatesTheRecordAndLaterSetsReuseIt) {
    uint64_t first = 0, second = 0;
    int32_t value = -1;
    OnNewThread([&] {
        kx::os::testing::FailAllocation(0);
        kxFileErrorClear();
        first = kx::os::testing::FailAllocation(0);
        kx::SetThreadError(9);
        kxFileErrorClear();
        second = kx::os::testing::FailAllocation(0);
        value = kxFileErrorVal();
    });
    EXPECT_EQ(first, 1u);
    EXPECT_EQ(second, 0u);
    EXPECT_EQ(value, 0);
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
