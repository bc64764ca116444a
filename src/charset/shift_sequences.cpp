// The host shift sequences and the double-byte flags of a record, from its
// from set and to set.
#include <cstring>

#include "charset/dbcs_layer.h"

namespace kx {
namespace {

namespace sets = dbcs::sets;

// The read side's sequences towards one host set (each zero-terminated; an
// empty one is not sent).
struct ShiftSequences {
    uint16_t toSet;
    const char *kanjiIn;
    const char *supplementIn;
    const char *kanaIn;
    const char *shiftOut;
};

constexpr ShiftSequences kSequences[] = {
    {sets::kJis, "\x1B$@\x1B$B", "\x1B$(D", "\x1B(I", "\x1B(J"},
    {sets::kJisEscapes, "\x1B$B", "\x1B$(D", "\x1B(I", "\x1B(J"},
    {sets::kJis1978, "\x1B$@", "", "\x1B(I", "\x1B(J"},
    {sets::kEuc, "", "", "\x1B}", "\x1B|"},
    {sets::kEucBoxRow, "", "", "\x1B}", "\x1B|"},
    {sets::kEucJis0212, "", "\x8F", "\x8E", ""},
    {sets::kJis1978Locking, "\x1BK", "", "", "\x1BH"},
};

template <std::size_t N>
void CopySequence(uint8_t (&to)[N], const char *from) {
    static_assert(N >= 4);
    std::memset(to, 0, N);
    std::memcpy(to, from, std::strlen(from));
}

}  // namespace

void SetupShiftSequences(CharsetState &s) {
    if (s.fromSet == sets::kShiftJis) {
        s.stateFlags |= CSF_FROM_DBCS;
        for (const ShiftSequences &q : kSequences) {
            if (q.toSet != s.toSet) continue;
            CopySequence(s.kanjiInSeq, q.kanjiIn);
            CopySequence(s.supplementInSeq, q.supplementIn);
            CopySequence(s.kanaInSeq, q.kanaIn);
            // The RFC 1468 form returns to ASCII rather than to JIS Roman.
            const bool ascii = s.jisAsciiReturn && std::strcmp(q.shiftOut, "\x1B(J") == 0;
            CopySequence(s.shiftOutSeq, ascii ? "\x1B(B" : q.shiftOut);
        }
        // Detection found Shift-JIS data for a Shift-JIS file: the write side
        // of an earlier run would pair the bytes as the earlier from set's;
        // they are Shift-JIS pairs now.
        if ((s.stateFlags & CSF_TO_DBCS) && s.toSet == sets::kShiftJis) {
            s.lowerSet = 0;
            s.upperSet = sets::kShiftJis;
        }
        return;
    }
    if (IsPcDoubleByteSet(s.fromSet)) {
        s.stateFlags |= CSF_FROM_DBCS;
        return;
    }
    if (IsPcDoubleByteSet(s.toSet)) {
        s.stateFlags |= CSF_TO_DBCS;
        s.lowerSet = 0;
        s.upperSet = s.fromSet;
        // The 7-bit JIS hosts send their double-byte characters in the lower
        // half, after a designation; their upper half holds nothing paired.
        if (s.toSet == sets::kShiftJis &&
            (s.fromSet == sets::kJis || s.fromSet == sets::kJisEscapes || s.fromSet == sets::kJis1978 ||
             s.fromSet == sets::kJis1978Locking))
            s.upperSet = 0;
    }
}

}  // namespace kx
