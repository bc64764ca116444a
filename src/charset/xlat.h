// Translation tables between character sets: the character-set maps of the
// module, the table builder with its approximations, the caches of maps and
// tables behind one library-wide lock, the OEM/ANSI step and the 7-bit
// national replacement sets. The character-set layer and the buffer
// translation build their own 256-byte tables from these.
#pragma once

#include <cstdint>
#include <mutex>

#include "core/module.h"

namespace kx::charset {

// The number of a character set, equal to the resource id of its map.
using CharsetId = uint16_t;

constexpr uint32_t kMapBytes = 512;            // 256 little-endian 16-bit Unicode values
constexpr uint16_t kNoCharacter = 0xFFFF;      // a code without a character

constexpr CharsetId kIdentitySet = 14;         // every table to or from it is the identity
constexpr CharsetId kNoMapSet = 47;            // no table to or from it can be built
constexpr CharsetId kSingleByteJapanese = 51;  // the map of the double-byte sets

// One translation table and its key. Owned by the table cache.
struct XlatTable {
    uint8_t table[256];    // entry i: the byte that code i of `from` becomes in `to`
    uint16_t from;         // source CharsetId
    uint16_t to;           // target CharsetId
    uint8_t defaultChar;   // the byte written for a code without a counterpart
    uint32_t options;      // XLAT_APPROXIMATE, XLAT_KEEP_CONTROLS
    uint32_t count;        // how many leading entries are built, 0 to 256
};

// The library-wide lock of the map and table caches, held from a lookup to the
// end of its build and while the caller copies what it keeps. Functions that
// take a `const CacheLock &` must be called with it held; no cache pointer is
// kept once the lock is released.
class CacheLock {
public:
    CacheLock();
    CacheLock(const CacheLock &) = delete;
    CacheLock &operator=(const CacheLock &) = delete;

private:
    std::unique_lock<std::mutex> lock_;
};

// The 256 Unicode values of `set` (kNoCharacter for a code without one), from
// the map cache: valid until the slot is reused by another lookup. Null for a
// set without a usable map: 47, the double-byte tables 83 and 84, an id
// without a resource, or a resource that is not a 512-byte map.
const uint16_t *LoadCharsetMap(const CacheLock &, CharsetId set);

// Reads the map resource of `set` into `values`, bypassing the cache. False
// when the module has no 512-byte map of that id (or the id is 83 or 84).
bool ReadCharsetMap(CharsetId set, uint16_t values[256]);

// The cached table whose first `count` entries translate `from` into `to`,
// built on a miss; null when it cannot be built (a set without a map, a count
// above 256). The record stays owned by the cache.
const XlatTable *GetXlatTable(const CacheLock &, CharsetId from, CharsetId to, uint32_t count,
                              uint8_t defaultChar, uint32_t options);

// Takes the lock, looks the table up as GetXlatTable does and copies its first
// `count` entries to `out`. False, with `out` untouched, when there is no table.
bool CopyXlatTable(CharsetId from, CharsetId to, uint32_t count, uint8_t defaultChar,
                   uint32_t options, uint8_t *out);

// Fills entries 0 to count-1 of `out` with the translation from the set whose
// values are `fromMap` into the set whose values are `toMap`: the lowest code
// of the same value, else (by the options) the code itself for a control, an
// approximation, or `defaultChar`.
void TranslateByMaps(const uint16_t fromMap[256], const uint16_t toMap[256], uint32_t count,
                     uint8_t defaultChar, uint32_t options, uint8_t *out);

// The code of a Unicode character in the set whose values are `toMap`, as a
// table from another set would give it with XLAT_APPROXIMATE and
// XLAT_KEEP_CONTROLS: the set's code of the character (the printable one when
// it also sits at a control position), else a C0 control, DEL or a C1 control
// that the set leaves without a character as that code itself, else the
// approximation, else `defaultChar`.
uint8_t CodeForCharacter(uint32_t character, const uint16_t toMap[256], uint8_t defaultChar);

// One byte through the OEM/ANSI step and a table: with CSF_OEM_TO_ANSI the
// byte is first converted from the OEM to the ANSI code page (and
// CSF_ANSI_TO_OEM is disregarded); then, when `table` is given, it becomes
// table[byte]; then, with CSF_ANSI_TO_OEM, it is converted from ANSI to OEM.
uint8_t MapByteOemAnsi(uint8_t byte, const uint8_t *table, uint32_t options);

// The CharsetId of the map that stands for a Windows code page; 0 when the
// library has no map for it.
CharsetId CharsetForCodePage(uint32_t codePage);

// Folds a 7-bit national replacement set (variant 1 to 17 of set 5, 6 or 15)
// into `table` on the target side (CSF_NATIONAL_TARGET) or the source side
// (CSF_NATIONAL_SOURCE), and sets `deadKeyMode` for the HP variants that type
// accents as dead keys. Takes the cache lock itself: not to be called with it
// held.
void ApplyNationalSet(uint8_t table[256], uint16_t *deadKeyMode, CharsetId from, CharsetId to,
                      uint32_t options, uint32_t variant);

}  // namespace kx::charset
