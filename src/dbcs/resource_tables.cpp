// The two tables of set 60, resources of type 264: id 83 (PC to host) and
// id 84 (host to PC). Each resource holds a 16-bit little-endian byte count
// followed by that many bytes of 16-bit little-endian codes. A table is read
// on the first conversion that needs it and kept for the life of the library.
#include <atomic>
#include <cstring>
#include <mutex>

#include "core/module.h"
#include "core/module.h"
#include "dbcs/convert.h"

namespace kx::dbcs {
namespace {

struct LoadedTable {
    std::atomic<const uint8_t *> table{nullptr};
    std::mutex loading;
    std::atomic<int> loads{0};
};

LoadedTable pcToHost;
LoadedTable hostToPc;

// Reads resource `id` into memory of our own, taken from the library's local
// heap like every other allocation of the library, and never freed. Null when the resource is
// missing, its count word is not `bytes`, it is shorter than its count says,
// or the memory cannot be had.
const uint8_t *ReadTable(uint16_t id, uint32_t bytes) {
    os::HMODULE module = ModuleInstance();
    os::HRSRC resource = os::FindResourceA(module, os::MAKEINTRESOURCEA(id),
                                           os::MAKEINTRESOURCEA(kCharsetResourceType));
    if (resource == nullptr) return nullptr;
    os::DWORD size = os::SizeofResource(module, resource);
    os::HGLOBAL loaded = os::LoadResource(module, resource);
    if (loaded == nullptr) return nullptr;
    const auto *data = static_cast<const uint8_t *>(os::LockResource(loaded));
    if (data == nullptr || size < 2) return nullptr;
    uint32_t count = data[0] | (data[1] << 8);
    if (count != bytes || size - 2 < count) return nullptr;
    auto *copy = static_cast<uint8_t *>(os::LocalAlloc(os::LMEM_FIXED, count));
    if (copy == nullptr) return nullptr;
    std::memcpy(copy, data + 2, count);
    return copy;
}

}  // namespace

const uint8_t *LoadDbcsTable(uint16_t id) {
    LoadedTable *slot;
    uint32_t bytes;
    if (id == kPcToHostTableId) {
        slot = &pcToHost;
        bytes = kPcToHostTableBytes;
    } else if (id == kHostToPcTableId) {
        slot = &hostToPc;
        bytes = kHostToPcTableBytes;
    } else {
        return nullptr;
    }
    if (const uint8_t *table = slot->table.load(std::memory_order_acquire)) return table;
    // Threads that race for the first load wait for one of them to read the
    // resource. A load that fails leaves no table, and a later call tries
    // again: a failed allocation need not disable set 60 for good.
    std::lock_guard<std::mutex> guard(slot->loading);
    if (const uint8_t *table = slot->table.load(std::memory_order_relaxed)) return table;
    const uint8_t *table = ReadTable(id, bytes);
    slot->loads.fetch_add(1, std::memory_order_relaxed);
    slot->table.store(table, std::memory_order_release);
    return table;
}

void testing::ForgetDbcsTables() {
    for (LoadedTable *slot : {&pcToHost, &hostToPc}) {
        os::LocalFree(const_cast<uint8_t *>(slot->table.exchange(nullptr)));
        slot->loads = 0;
    }
}

int testing::DbcsTableLoads(uint16_t id) {
    if (id == kPcToHostTableId) return pcToHost.loads.load();
    if (id == kHostToPcTableId) return hostToPc.loads.load();
    return 0;
}

}  // namespace kx::dbcs
