// PC codes to host codes through rows of results kept for the life of the
// library: the character-set layer converts the same few thousand kanji over
// and over, and a row lookup costs a fraction of the conversion chain.
#include <atomic>
#include <new>

#include "dbcs/convert.h"
#include "dbcs/dbcs.h"

namespace kx::dbcs {
namespace {

// One lead byte's results: bit 16 set when the pair converts, the host code
// in the low 16 bits.
struct Row {
    uint32_t entry[256];
};
constexpr uint32_t kConverted = 0x10000;
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
std::atomic<const Row *> rows[kCachedSetCount][256];

int SlotOf(uint16_t charset) {
    for (int i = 0; i < kCachedSetCount; ++i)
        if (kCachedSets[i] == charset) return i;
    return kNotCached;
}

const Row *BuildRow(int slot, unsigned lead) {
    Row *row = new (std::nothrow) Row;
    if (row == nullptr) return nullptr;
    for (unsigned trail = 0; trail < 256; ++trail) {
        uint16_t host = 0;
        row->entry[trail] = MicroToHost(Code(lead, trail), &host, kCachedSets[slot]) ? kConverted | host : 0;
    }
    const Row *expected = nullptr;
    if (rows[slot][lead].compare_exchange_strong(expected, row, std::memory_order_acq_rel)) return row;
    delete row;
    return expected;
}

}  // namespace

HostCodeRows::HostCodeRows(uint16_t charset) : charset_(charset), slot_(SlotOf(charset)) {}

bool HostCodeRows::Convert(uint16_t code, uint16_t &out) const {
    if (slot_ == kNotCached) return MicroToHost(code, &out, charset_);
    const Row *row = rows[slot_][Lead(code)].load(std::memory_order_acquire);
    if (row == nullptr && (row = BuildRow(slot_, Lead(code))) == nullptr)
        return MicroToHost(code, &out, charset_);  // no memory for the row: convert directly
    const uint32_t entry = row->entry[Trail(code)];
    if ((entry & kConverted) == 0) return false;
    out = static_cast<uint16_t>(entry);
    return true;
}

bool MicroToHostCached(uint16_t code, uint16_t &out, uint16_t charset) {
    return HostCodeRows(charset).Convert(code, out);
}

}  // namespace kx::dbcs
