// The table cache: the last three translation tables built, oldest first,
// never emptied; and the library-wide lock that serialises every lookup and
// build of tables and maps.
#include <cstring>

#include "charset/slot_order.h"
#include "charset/xlat.h"
#include "charset/xlat_testing.h"

namespace kx::charset {
namespace {

constexpr int kTableSlots = 3;

std::mutex cacheMutex;

struct TableCache {
    XlatTable records[kTableSlots];
    SlotOrder<kTableSlots> order;  // which records hold tables, oldest first
};

TableCache tableCache;  // guarded by cacheMutex

// Fills the record whose key is set. Both maps stay valid to the end of the
// build: the source map is copied before the target map is looked up, since
// that lookup may reuse the source map's slot (when the source map sat in the
// oldest slot of a full cache).
bool BuildXlatTable(const CacheLock &lock, XlatTable &record) {
    if (record.count > 256) return false;
    std::memset(record.table, 0, sizeof record.table);
    if (record.count == 0) return true;
    // A set to itself is the identity: every byte, controls and codes the
    // map lacks included, comes back as it was.
    if (record.from == kIdentitySet || record.to == kIdentitySet || record.from == record.to) {
        for (uint32_t i = 0; i < record.count; ++i) record.table[i] = static_cast<uint8_t>(i);
        return true;
    }
    const uint16_t *fromMap = LoadCharsetMap(lock, record.from);
    if (fromMap == nullptr) return false;
    uint16_t source[256];
    std::memcpy(source, fromMap, sizeof source);
    const uint16_t *toMap = LoadCharsetMap(lock, record.to);
    if (toMap == nullptr) return false;
    TranslateByMaps(source, toMap, record.count, record.defaultChar, record.options, record.table);
    return true;
}

}  // namespace

CacheLock::CacheLock() : lock_(cacheMutex) {}

const XlatTable *GetXlatTable(const CacheLock &lock, CharsetId from, CharsetId to, uint32_t count,
                              uint8_t defaultChar, uint32_t options) {
    TableCache &cache = tableCache;
    for (int k = 0; k < cache.order.filled; ++k) {
        const XlatTable &record = cache.records[cache.order.InUse(k)];
        if (record.from == from && record.to == to && record.defaultChar == defaultChar &&
            record.options == options && record.count >= count)
            return &record;
    }
    XlatTable &record = cache.records[cache.order.Take()];
    record.from = from;
    record.to = to;
    record.defaultChar = defaultChar;
    record.options = options;
    record.count = count;
    if (!BuildXlatTable(lock, record)) {
        cache.order.GiveBack();  // not found by later lookups
        return nullptr;
    }
    return &record;
}

bool CopyXlatTable(CharsetId from, CharsetId to, uint32_t count, uint8_t defaultChar,
                   uint32_t options, uint8_t *out) {
    CacheLock lock;
    const XlatTable *table = GetXlatTable(lock, from, to, count, defaultChar, options);
    if (table == nullptr) return false;
    std::memcpy(out, table->table, count);
    return true;
}

std::vector<testing::TableKey> testing::CachedTables() {
    CacheLock lock;
    std::vector<TableKey> keys;
    for (int k = 0; k < tableCache.order.filled; ++k) {
        const XlatTable &record = tableCache.records[tableCache.order.InUse(k)];
        keys.push_back({record.from, record.to, record.defaultChar, record.options, record.count});
    }
    return keys;
}

void testing::ResetTableCache(const CacheLock &) { tableCache = TableCache{}; }

void testing::ResetCaches() {
    {
        CacheLock lock;
        ResetTableCache(lock);
        ResetMapCache(lock);
    }
    ForgetDisplayCharset();
}

}  // namespace kx::charset
