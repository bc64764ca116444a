// Views of the translation caches for tests. Not part of the exported
// interface.
#pragma once

#include <cstdint>
#include <vector>

#include "charset/xlat.h"

namespace kx::charset::testing {

// Empties the map and table caches and forgets the display character set, so
// that a test starts from the state of a freshly loaded module.
void ResetCaches();

// The parts of ResetCaches, each called with the cache lock held.
void ResetMapCache(const CacheLock &);
void ResetTableCache(const CacheLock &);

// The sets in the map cache, oldest first.
std::vector<CharsetId> CachedMaps();

// The keys of the table cache, oldest first.
struct TableKey {
    CharsetId from;
    CharsetId to;
    uint8_t defaultChar;
    uint32_t options;
    uint32_t count;
    bool operator==(const TableKey &) const = default;
};
std::vector<TableKey> CachedTables();

// Forgets the display character set, so the next kxFileGetACP computes it.
void ForgetDisplayCharset();

}  // namespace kx::charset::testing
