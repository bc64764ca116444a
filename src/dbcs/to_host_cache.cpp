// PC codes to host codes and host codes to PC codes through rows of results
// kept for the life of the library: the character-set layer converts the same
// few thousand kanji over and over, and a row lookup costs a fraction of the
// conversion chain.
#include <array>
#include <atomic>
#include <new>

#include "dbcs/convert.h"
#include "dbcs/dbcs.h"

namespace kx::dbcs {
namespace {

constexpr int kNotCached = -1;

// The host sets whose conversion is worked out from constant tables. Set 60
// is not among them: its tables come from the module's resources, which may
// be missing or replaced, so each of its pairs is converted afresh.
constexpr uint16_t kCachedSets[] = {sets::kJis,         sets::kJisEscapes, sets::kJis1978, sets::kEuc,
                                    sets::kEucBoxRow,   sets::kEucJis0212, sets::kJis1978Locking,
                                    sets::kTrailDigits, sets::kPassA,      sets::kPassB, sets::kPassC};
constexpr int kCachedSetCount = sizeof kCachedSets / sizeof kCachedSets[0];

// Rows are built on first use and published once; a thread that loses the
// race to publish frees its own copy and takes the winner's.
std::atomic<const uint32_t *> rows[2][kCachedSetCount][256];

// The place of each set number below 128 among the cached sets, or
// kNotCached: a handle's rows are found on every run of its text.
constexpr auto kSlots = [] {
    std::array<int8_t, 128> slots{};
    for (auto &slot : slots) slot = kNotCached;
    for (int i = 0; i < kCachedSetCount; ++i) slots[kCachedSets[i]] = static_cast<int8_t>(i);
    return slots;
}();

int SlotOf(uint16_t charset) { return charset < kSlots.size() ? kSlots[charset] : kNotCached; }

// The conversion itself, in either direction.
bool ConvertDirectly(CodeRows::Direction direction, uint16_t code, uint16_t &out, uint16_t charset) {
    return direction == CodeRows::kToHost ? MicroToHost(code, &out, charset) : HostToMicro(code, &out, charset);
}

const uint32_t *BuildRow(CodeRows::Direction direction, int slot, unsigned lead) {
    auto *row = new (std::nothrow) uint32_t[256];
    if (row == nullptr) return nullptr;
    for (unsigned trail = 0; trail < 256; ++trail) {
        uint16_t converted = 0;
        row[trail] = ConvertDirectly(direction, Code(lead, trail), converted, kCachedSets[slot])
                         ? CodeRows::kConverted | converted
                         : 0;
    }
    const uint32_t *expected = nullptr;
    if (rows[direction][slot][lead].compare_exchange_strong(expected, row, std::memory_order_acq_rel)) return row;
    delete[] row;
    return expected;
}

}  // namespace

CodeRows::CodeRows(Direction direction, uint16_t charset)
    : direction_(direction), charset_(charset), slot_(SlotOf(charset)),
      rows_(slot_ == kNotCached ? nullptr : rows[direction][slot_]) {}

// The row is not built yet, or the set is not cached.
bool CodeRows::ConvertSlowly(uint16_t code, uint16_t &out) const {
    uint16_t converted = out;
    bool ok;
    if (slot_ == kNotCached) {
        ok = ConvertDirectly(direction_, code, converted, charset_);
    } else if (const uint32_t *row = BuildRow(direction_, slot_, Lead(code))) {
        ok = (row[Trail(code)] & kConverted) != 0;
        converted = static_cast<uint16_t>(row[Trail(code)]);
    } else {
        ok = ConvertDirectly(direction_, code, converted, charset_);  // no memory for the row
    }
    if (ok) out = converted;
    return ok;
}

bool MicroToHostCached(uint16_t code, uint16_t &out, uint16_t charset) {
    return HostCodeRows(charset).Convert(code, out);
}

}  // namespace kx::dbcs
