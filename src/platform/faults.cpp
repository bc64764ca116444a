#include "platform/faults.h"

#include <atomic>

#include "platform/test_hooks.h"

namespace kx::os {
namespace {

std::atomic<uint64_t> allocationsMade{0};    // allocations since the last FailAllocation
std::atomic<uint64_t> failingAllocation{0};  // the allocation number that fails; 0 for none
std::atomic<int64_t> diskSpace{-1};          // bytes the disk still takes; negative: no limit
std::atomic<bool> volumeQueriesFail{false};  // every GetVolumeInformationA fails

}  // namespace

bool faults::AllocationFails() {
    uint64_t made = allocationsMade.fetch_add(1, std::memory_order_relaxed) + 1;
    uint64_t failing = failingAllocation.load(std::memory_order_relaxed);
    return failing != 0 && made == failing;
}

DWORD faults::TakeDiskSpace(DWORD length) {
    int64_t left = diskSpace.load(std::memory_order_relaxed);
    while (left >= 0) {
        int64_t taken = left < static_cast<int64_t>(length) ? left : static_cast<int64_t>(length);
        if (diskSpace.compare_exchange_weak(left, left - taken, std::memory_order_relaxed))
            return static_cast<DWORD>(taken);
    }
    return length;
}

bool faults::VolumeQueryFails() { return volumeQueriesFail.load(std::memory_order_relaxed); }

uint64_t testing::FailAllocation(uint64_t n) {
    uint64_t made = allocationsMade.exchange(0, std::memory_order_relaxed);
    failingAllocation.store(n, std::memory_order_relaxed);
    return made;
}

void testing::SetDiskSpace(int64_t bytes) { diskSpace.store(bytes < 0 ? -1 : bytes); }

void testing::FailVolumeQueries(bool fail) { volumeQueriesFail.store(fail); }

}  // namespace kx::os
