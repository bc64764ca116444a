// Character-set maps: resources of type 264 whose id is the CharsetId, 512
// bytes holding the Unicode value of each code as a little-endian 16-bit
// number. The map cache keeps the last six maps read, oldest first; it is
// never emptied.

#include "charset/slot_order.h"
#include "charset/xlat.h"
#include "charset/xlat_testing.h"
#include "core/module.h"

namespace kx::charset {
namespace {

constexpr int kMapSlots = 6;

// The double-byte conversion tables share the resource type with the maps but
// are no maps.
constexpr CharsetId kDoubleByteTablePcToHost = 83;
constexpr CharsetId kDoubleByteTableHostToPc = 84;

struct MapSlot {
    CharsetId set;           // whose map the slot holds
    uint16_t values[256];    // the map, in the host's byte order
};

struct MapCache {
    MapSlot slots[kMapSlots];
    SlotOrder<kMapSlots> order;  // which slots hold maps, oldest first
};

MapCache mapCache;  // guarded by the cache lock

// The double-byte sets read their single-byte codes through the map of 51.
CharsetId MapOwner(CharsetId set) {
    if ((set >= 52 && set <= 62) || set == 73 || set == 77) return kSingleByteJapanese;
    return set;
}

}  // namespace

bool ReadCharsetMap(CharsetId set, uint16_t values[256]) {
    if (set == kDoubleByteTablePcToHost || set == kDoubleByteTableHostToPc) return false;
    os::HMODULE module = ModuleInstance();
    os::HRSRC resource = os::FindResourceA(module, os::MAKEINTRESOURCEA(set),
                                           os::MAKEINTRESOURCEA(kCharsetResourceType));
    if (resource == nullptr) return false;
    // Only a map has exactly 512 bytes: the identity tables (256 bytes) and the
    // double-byte tables are refused rather than read as Unicode values.
    if (os::SizeofResource(module, resource) != kMapBytes) return false;
    os::HGLOBAL loaded = os::LoadResource(module, resource);
    if (loaded == nullptr) return false;
    const auto *bytes = static_cast<const uint8_t *>(os::LockResource(loaded));
    if (bytes == nullptr) return false;
    for (int i = 0; i < 256; ++i)
        values[i] = static_cast<uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return true;
}

const uint16_t *LoadCharsetMap(const CacheLock &, CharsetId set) {
    set = MapOwner(set);
    MapCache &cache = mapCache;
    // A hit leaves the order as it is.
    for (int k = 0; k < cache.order.filled; ++k) {
        MapSlot &slot = cache.slots[cache.order.InUse(k)];
        if (slot.set == set) return slot.values;
    }
    // Known not to be maps: refused without giving up a slot.
    if (set == kNoMapSet || set == kDoubleByteTablePcToHost || set == kDoubleByteTableHostToPc)
        return nullptr;
    MapSlot &slot = cache.slots[cache.order.Take()];
    slot.set = set;
    if (!ReadCharsetMap(set, slot.values)) {
        cache.order.GiveBack();
        return nullptr;
    }
    return slot.values;
}

std::vector<CharsetId> testing::CachedMaps() {
    CacheLock lock;
    std::vector<CharsetId> sets;
    for (int k = 0; k < mapCache.order.filled; ++k) sets.push_back(mapCache.slots[mapCache.order.InUse(k)].set);
    return sets;
}

void testing::ResetMapCache(const CacheLock &) { mapCache = MapCache{}; }

}  // namespace kx::charset
