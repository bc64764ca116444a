// The order in which a cache's slots were filled, oldest first. The slots
// themselves never move, so an entry handed out stays where it is until its own
// slot is taken again.
#pragma once

namespace kx {

template <int Slots>
struct SlotOrder {
    int order[Slots];  // slot indexes, oldest first; the first `filled` are in use
    int filled = 0;

    constexpr SlotOrder() : order() {
        for (int i = 0; i < Slots; ++i) order[i] = i;
    }

    // The k-th slot in use, oldest first.
    int InUse(int k) const { return order[k]; }

    // A slot for a new entry: a free one, else the oldest, which becomes the newest.
    int Take() {
        if (filled < Slots) return order[filled++];
        int oldest = order[0];
        for (int k = 1; k < Slots; ++k) order[k - 1] = order[k];
        order[Slots - 1] = oldest;
        return oldest;
    }

    // Gives back the slot Take just returned, when its entry could not be made:
    // the slot is free again (when the cache was full, its old entry is gone).
    void GiveBack() { --filled; }
};

}  // namespace kx
