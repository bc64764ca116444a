// The write side of the double-byte text: a host's bytes become a PC file in
// Shift-JIS (or another PC double-byte set). The host's shift sequences are
// recognised byte by byte and change the sets in force; the bytes of a pair
// are held until both have come and then converted.
#include "charset/dbcs_layer.h"
#include "charset/kana_tables.h"
#include "core/block_paths.h"
#include "core/byte_scan.h"
#include "dbcs/convert.h"

namespace kx {
namespace {

namespace sets = dbcs::sets;

// States of the parser (the record's shiftState on the write side).
constexpr uint16_t kParseText = 0;             // between characters
constexpr uint16_t kParseSecondByte = 2;       // a first byte is pending
constexpr uint16_t kParseEscape = 6;           // after ESC
constexpr uint16_t kParseEucKana = 7;          // after the EUC single shift 0x8E
constexpr uint16_t kParseEucSupplement = 8;    // after the EUC single shift 0x8F
constexpr uint16_t kParseEscapeDollar = 9;     // after ESC $ (and any '(')
constexpr uint16_t kParseEscapeParen = 10;     // after ESC (

constexpr uint8_t kEucKanaShift = 0x8E;
constexpr uint8_t kEucSupplementShift = 0x8F;

int Hold(CharsetState &s, uint16_t b) {
    // A sequence longer than any known one is no designation: it passes.
    if (s.outputCount >= kCharsetQueueLength) {
        s.shiftState = kParseText;
        return 1;
    }
    s.outputQueue[s.outputCount++] = b;
    return 0;
}

// Forgets the pending host bytes, the first place included: the single-byte
// side reads a value 1-4 there as a dead key waiting for its letter (at
// close, too), which a held 7-bit byte after 0x8F could otherwise look like.
void ClearPending(CharsetState &s) {
    s.outputCount = 0;
    s.outputQueue[0] = 0;
}

int Consume(CharsetState &s) {
    ClearPending(s);
    s.shiftState = kParseText;
    return 0;
}

// Whether `v` can never be the second byte of a host pair: a record end, a
// control (a line end, a tab, ESC, NUL), a space or DEL.
bool EndsPendingCharacter(uint16_t v) { return v == kValueRecordEnd || v < 0x21 || v == 0x7F; }

int Pass(CharsetState &s) {
    s.shiftState = kParseText;
    return 1;
}

bool IsJisOrEucHost(uint16_t set) {
    return (set >= sets::kJis && set <= sets::kEucJis0212) || set == sets::kJis1978Locking;
}

// With CSF_KANA_TO_HALF, a full-width katakana of a JIS or EUC host goes to
// the PC as its half-width byte and its mark, looked up by the host's JIS
// code (EUC bytes without their top bits). JIS X 0212 pairs (set 69) hold no
// katakana.
bool HalfWidthForPair(CharsetState &s, uint8_t p, uint8_t b, uint16_t set, uint16_t &v) {
    if (!s.kanaToHalf || set == sets::kJis0212FromHost || !IsJisOrEucHost(s.fromSet)) return false;
    if (s.toSet != sets::kShiftJis) return false;  // half-width katakana are Shift-JIS bytes
    const bool jisForm = dbcs::IsJisByte(p) && dbcs::IsJisByte(b);
    const bool eucForm = dbcs::IsJisByte(p & 0x7F) && dbcs::IsJisByte(b & 0x7F) && (p & 0x80) && (b & 0x80);
    if (!jisForm && !eucForm) return false;
    uint8_t first = p & 0x7F, second = b & 0x7F;
    if (!FullToHalfKana(first, second)) return false;
    if (second != 0) {
        s.outputQueue[0] = first;
        s.outputCount = 1;
        v = second;
    } else {
        ClearPending(s);
        v = first;
    }
    return true;
}

// The pending first byte and `b` as one host character of `set`: the PC
// pair (as a pending byte and `v`), or one byte in `v`. A pair the converter
// rejects becomes the converter's space.
int ConvertPair(CharsetState &s, uint8_t p, uint8_t b, uint16_t set, uint16_t &v) {
    s.shiftState = kParseText;
    if (HalfWidthForPair(s, p, b, set, v)) return 1;
    // A result that would read as half-width katakana leaves the value as it
    // was: a space in the high byte stands for it then too.
    uint16_t pc = static_cast<uint16_t>(kSubstitute << 8);
    if (dbcs::PcCodeRows(set).Convert(dbcs::Code(p, b), pc)) {
        if (dbcs::Trail(pc) == 0) {
            ClearPending(s);
            v = dbcs::Lead(pc);
        } else {
            s.outputQueue[0] = dbcs::Lead(pc);
            s.outputCount = 1;
            v = dbcs::Trail(pc);
        }
        return 1;
    }
    ClearPending(s);
    v = dbcs::Lead(pc);
    return 1;
}

// Whether `c` (a byte with its top bit set) begins a pair of `set`.
bool BeginsPair(uint16_t set, uint8_t c) {
    switch (set) {
    case sets::kShiftJis:
        return dbcs::IsShiftJisLead(c);
    case sets::kJis:
    case sets::kJisEscapes:
    case sets::kJis1978:
    case sets::kEuc:
    case sets::kEucBoxRow:
    case sets::kEucJis0212:
    case sets::kPassC:
    case sets::kJis0212FromHost:
    // Set 73 writes its kanji in the lower half after ESC K: they pair like
    // those of the other 7-bit JIS hosts.
    case sets::kJis1978Locking:
        return c >= 0xA1 && c <= 0xFE;
    case sets::kPassA:
    case sets::kTables:
    case sets::kPassB:
    case sets::kTrailDigits:
        return c >= 0x81 && c <= 0xFE;
    default:
        return false;
    }
}

int ParseText(CharsetState &s, uint16_t &v) {
    const uint8_t b = static_cast<uint8_t>(v);
    if (s.toSet == sets::kShiftJis) {
        if (b == kEscape && s.fromSet != sets::kEucJis0212) {
            s.shiftState = kParseEscape;
            return Hold(s, b);
        }
        if (s.fromSet == sets::kEucJis0212 && b == kEucKanaShift) {
            s.shiftState = kParseEucKana;  // the single shift itself is dropped
            return 0;
        }
        if (s.fromSet == sets::kEucJis0212 && b == kEucSupplementShift) {
            s.shiftState = kParseEucSupplement;
            return 0;
        }
    }
    const uint16_t set = b >= 0x80 ? s.upperSet : s.lowerSet;
    const uint8_t c = b | 0x80;
    if (set == kHostKanaSet) {
        v = c;  // a 7-bit katakana byte gains its top bit
        return 1;
    }
    if (!BeginsPair(set, c)) return 1;
    s.shiftState = kParseSecondByte;
    return Hold(s, b);
}

int ParseEscape(CharsetState &s, uint8_t b) {
    const bool locking = s.fromSet == sets::kEuc || s.fromSet == sets::kEucBoxRow;
    switch (b) {
    case '$':
        s.shiftState = kParseEscapeDollar;
        return Hold(s, b);
    case '(':
        s.shiftState = kParseEscapeParen;
        return Hold(s, b);
    case 'H':
        if (s.fromSet != sets::kJis1978Locking) break;
        s.lowerSet = 0;
        return Consume(s);
    case 'K':
        if (s.fromSet != sets::kJis1978Locking) break;
        s.lowerSet = sets::kJis1978Locking;
        return Consume(s);
    case '|':
        if (!locking) break;
        s.upperSet = s.fromSet;
        return Consume(s);
    case '}':
        if (!locking) break;
        s.upperSet = kHostKanaSet;
        return Consume(s);
    default:
        break;
    }
    return Pass(s);
}

int ParseEscapeDollar(CharsetState &s, uint8_t b) {
    switch (b) {
    case '(':
        return Hold(s, b);
    case '@':
        s.lowerSet = sets::kJis1978;
        return Consume(s);
    case 'B':
        s.lowerSet = sets::kJis;
        return Consume(s);
    case 'D':
        s.lowerSet = sets::kJis0212FromHost;
        return Consume(s);
    default:
        return Pass(s);
    }
}

int ParseEscapeParen(CharsetState &s, uint8_t b) {
    switch (b) {
    case 'I':
        s.lowerSet = kHostKanaSet;
        return Consume(s);
    // ESC ( B (ASCII), which most JIS writers put after a kanji run, returns
    // to single-byte text as ESC ( J (JIS Roman) does.
    case 'B':
    case 'J':
        s.lowerSet = 0;
        return Consume(s);
    default:
        return Pass(s);
    }
}

}  // namespace

int HostShiftParser(CharsetState &s, uint16_t &v) {
    const uint8_t b = static_cast<uint8_t>(v);
    switch (s.shiftState) {
    case kParseSecondByte: {
        const uint8_t p = static_cast<uint8_t>(s.outputQueue[0]);
        return ConvertPair(s, p, b, p >= 0x80 ? s.upperSet : s.lowerSet, v);
    }
    case kParseEscape:
        return ParseEscape(s, b);
    case kParseEucKana:
        return Pass(s);  // the katakana byte goes on alone
    case kParseEucSupplement:
        if (s.outputCount == 0) return Hold(s, b & 0x7F);
        return ConvertPair(s, static_cast<uint8_t>(s.outputQueue[0]), b & 0x7F, sets::kJis0212FromHost, v);
    case kParseEscapeDollar:
        return ParseEscapeDollar(s, b);
    case kParseEscapeParen:
        return ParseEscapeParen(s, b);
    default:
        return ParseText(s, v);
    }
}

int WriteDoubleByte(FileHandle *handle, uint16_t v) {
    CharsetState &s = *handle->charset;
    // A first byte (or an EUC 0x8F) still waiting for the rest of its
    // character when such a value comes was a broken character: it becomes
    // the converter's space, and the value is taken as itself, so that a
    // line end is never swallowed as half of a pair.
    if ((s.shiftState == kParseSecondByte || s.shiftState == kParseEucSupplement) && EndsPendingCharacter(v)) {
        ClearPending(s);
        s.shiftState = kParseText;
        int r = CharsetOutput(handle, kSubstitute);
        if (r < 0) return r;
    }
    if (v == kValueRecordEnd) return CharsetOutput(handle, v);
    if (HostShiftParser(s, v) == 0) return v;
    // A buffer in memory takes a character whole or not at all, so that a
    // full buffer never ends in half a pair.
    if (s.bufferCursor != nullptr && s.bufferEnd - s.bufferCursor < s.outputCount + 1) {
        ClearPending(s);
        return kCharsetOutputFull;
    }
    for (uint32_t i = 0; i < s.outputCount; ++i) {
        int r = CharsetOutput(handle, s.outputQueue[i]);
        if (r < 0) {
            ClearPending(s);
            return r;
        }
    }
    ClearPending(s);
    return CharsetOutput(handle, v);
}

bool HostBlocks(const FileHandle *handle, const CharsetState &s) {
    return BlockPaths() && (handle->flags & kLayerText) == 0 && s.bufferCursor == nullptr &&
           (s.stateFlags & (CSF_TO_DBCS | CSF_ACTIVE)) == (CSF_TO_DBCS | CSF_ACTIVE) && s.toSet == sets::kShiftJis &&
           s.shiftState == kParseText && s.outputCount == 0 && !s.kanaToHalf;
}

namespace {

// How the bytes of one half (below or from 0x80) are taken while a set is in
// force there: the first bytes of pairs, and the katakana of the hosts.
struct HalfRule {
    uint16_t set;
    bool kana;                      // katakana bytes: each gains its top bit
    bool exact;                     // the first bytes are the range below, else BeginsPair decides
    uint8_t firstLow, firstHigh;    // first bytes of pairs, with the top bit set
    dbcs::PcCodeRows rows;

    // The ranges are those of BeginsPair; a set it does not know begins no
    // pair, and Shift-JIS, with two ranges, is left to it.
    explicit HalfRule(uint16_t inForce) : set(inForce), kana(inForce == kHostKanaSet), exact(true),
                                          firstLow(1), firstHigh(0), rows(inForce) {
        if (set == sets::kShiftJis) {
            exact = false;
        } else if (BeginsPair(set, 0xA1)) {
            firstLow = BeginsPair(set, 0x81) ? 0x81 : 0xA1;
            firstHigh = 0xFE;
        }
    }

    bool BeginsPairWith(uint8_t c) const { return exact ? c >= firstLow && c <= firstHigh : BeginsPair(set, c); }
};

// A half as QuickRun takes it: bytes that stand for themselves (no pairs, no
// katakana), or pairs whose first bytes are a range, through rows already
// built; neither for katakana and Shift-JIS.
struct QuickHalf {
    bool plain = false, pairs = false;
    uint8_t low = 0, high = 0;  // the first bytes of pairs, with the top bit set
    // The same range as the bytes of this half (first to first + span), and
    // the part of it that can be a second byte (no control, space or DEL):
    // the pairs PairRun takes at once.
    uint8_t first = 0, span = 0, second = 0, secondSpan = 0;
    const std::atomic<const uint32_t *> *rows = nullptr;

    QuickHalf() = default;
    // `top`: 0x80 for the upper half, 0 for the lower.
    QuickHalf(const HalfRule &half, uint8_t top) {
        if (half.kana || !half.exact) return;
        plain = half.firstLow > half.firstHigh;
        pairs = !plain && half.rows.Rows() != nullptr;
        low = half.firstLow;
        high = half.firstHigh;
        rows = half.rows.Rows();
        if (!pairs) return;
        first = static_cast<uint8_t>(top != 0 ? low : low & 0x7F);
        span = static_cast<uint8_t>(high - low);
        // The lower half's range ends at 0x7E at most, the upper one starts
        // above 0x80: only the bytes below 0x21 are left out.
        second = first < 0x21 ? 0x21 : first;
        secondSpan = static_cast<uint8_t>(first + span - second);
    }
};

// The lower half's sets that the three-byte designations give: those the
// parser (ParseEscape, ParseEscapeDollar, ParseEscapeParen) takes for every
// host.
constexpr uint16_t kDesignatedSets[] = {0, sets::kJis, sets::kJis1978, sets::kJis0212FromHost, kHostKanaSet};
constexpr int kDesignations = sizeof kDesignatedSets / sizeof kDesignatedSets[0];

// The index in kDesignatedSets of the set that ESC `a` `b` designates, or -1
// for any other sequence.
int Designation(uint8_t a, uint8_t b) {
    if (a == '$') return b == 'B' ? 1 : b == '@' ? 2 : b == 'D' ? 3 : -1;
    if (a == '(') return b == 'B' || b == 'J' ? 0 : b == 'I' ? 4 : -1;
    return -1;
}

// At most `pairs` pairs of `half` from `at` on whose two bytes both lie in
// its range of first bytes (a kanji run of JIS or EUC text), while each
// code's row is built and the code converts; `at` and `to` move past them.
inline void PairRun(const uint8_t *in, uint32_t &at, uint8_t *&to, uint32_t pairs, const QuickHalf &half) {
    const std::atomic<const uint32_t *> *const rows = half.rows;
    const uint8_t first = half.first, span = half.span, second = half.second, secondSpan = half.secondSpan;
    const uint8_t *from = in + at;
    uint8_t *o = to;
    for (; pairs != 0; --pairs) {
        const uint8_t b0 = from[0], b1 = from[1];
        if (static_cast<uint8_t>(b0 - first) > span || static_cast<uint8_t>(b1 - second) > secondSpan) break;
        const uint32_t *row = rows[b0].load(std::memory_order_acquire);
        if (row == nullptr) break;
        const uint32_t entry = row[b1];
        if ((entry & dbcs::CodeRows::kConverted) == 0) break;
        const auto pc = static_cast<uint16_t>(entry);
        o[0] = dbcs::Lead(pc);
        o[1] = dbcs::Trail(pc);
        o += 1 + (dbcs::Trail(pc) != 0);
        from += 2;
    }
    at = static_cast<uint32_t>(from - in);
    to = o;
}

// The run of the commonest characters from `i` on, as WriteHostBlock's steps
// would write them, with everything it looks at in registers: single-byte
// text of a plain lower half copied sixteen bytes at a time, other bytes of a
// plain half, pairs of a half of pairs whose row is built and whose code
// converts (PairRun for whole runs of them), and, outside EUC, the
// three-byte designations (`designated` holds the halves they give, `lower`
// and `lowerSet` follow them). It stops before anything else (another shift
// sequence or one cut by the write's end, a single shift, a katakana byte, a
// pair cut by the write's end or whose code has no row yet or no conversion,
// a second byte that ends a character), which the steps then take; and when
// fewer than two bytes of room are left.
inline void QuickRun(const uint8_t *in, uint32_t length, uint32_t &i, uint8_t *&out, const uint8_t *end,
                     QuickHalf &lowerHalf, uint16_t &lowerSet, const QuickHalf &upperHalf,
                     const QuickHalf *designated, bool eucShifts) {
    QuickHalf lower = lowerHalf;
    const QuickHalf upper = upperHalf;
    uint32_t at = i;
    uint8_t *to = out;
    while (at < length && end - to >= 2) {
        const uint8_t b = in[at];
        if (b < 0x80 && lower.plain && b != kEscape) {
            const auto room = static_cast<uint32_t>(end - to);
            const uint32_t n = bytescan::CopyAsciiUntil(in + at, to, length - at < room ? length - at : room, kEscape);
            at += n;
            to += n;
            continue;
        }
        if (eucShifts ? (b == kEucKanaShift || b == kEucSupplementShift) : b == kEscape) {
            const int k = eucShifts || length - at < 3 ? -1 : Designation(in[at + 1], in[at + 2]);
            if (k < 0) break;
            lower = designated[k];
            lowerSet = kDesignatedSets[k];
            at += 3;
            continue;
        }
        const QuickHalf &half = b < 0x80 ? lower : upper;
        const uint8_t c = b | 0x80;
        if (half.plain || (half.pairs && (c < half.low || c > half.high))) {
            *to++ = b;
            ++at;
            continue;
        }
        if (!half.pairs) break;
        const uint32_t before = at;
        const auto room = static_cast<uint32_t>(end - to);
        PairRun(in, at, to, (length - at < room ? length - at : room) / 2, half);
        if (at != before) continue;
        if (at + 1 == length || EndsPendingCharacter(in[at + 1])) break;
        const uint32_t *row = half.rows[b].load(std::memory_order_acquire);
        if (row == nullptr) break;
        const uint32_t entry = row[in[at + 1]];
        if ((entry & dbcs::CodeRows::kConverted) == 0) break;
        const auto pc = static_cast<uint16_t>(entry);
        to[0] = dbcs::Lead(pc);
        to[1] = dbcs::Trail(pc);
        to += 1 + (dbcs::Trail(pc) != 0);
        at += 2;
    }
    i = at;
    out = to;
    lowerHalf = lower;
}

}  // namespace

// Entry conditions (HostBlocks): the block-path switch is on; the layer
// writes Shift-JIS straight to the stream (no text layer, not into memory);
// the parser stands between characters with nothing pending; full-width
// katakana are not narrowed. The run ends before an ESC that begins no
// three-byte designation whole in this write, an EUC single shift, a pair
// whose second byte is not in this write or cannot be one, and when the
// stream's buffer has no room for a pair; WriteDoubleByte takes what stopped
// it. Each byte or pair gives what HostShiftParser and ConvertPair give it,
// one value at a time.
uint32_t WriteHostBlock(FileHandle *handle, const uint8_t *in, uint32_t length) {
    CharsetState &s = *handle->charset;
    BufferedStream *stream = handle->stream;
    uint8_t *out = stream->cursor;
    uint8_t *const end = out + stream->count;
    const bool eucShifts = s.fromSet == sets::kEucJis0212;
    HalfRule halves[2] = {HalfRule(s.lowerSet), HalfRule(s.upperSet)};
    QuickHalf quick[2] = {QuickHalf(halves[0], 0), QuickHalf(halves[1], 0x80)};
    QuickHalf designated[kDesignations];
    if (!eucShifts)
        for (int k = 0; k < kDesignations; ++k) designated[k] = QuickHalf(HalfRule(kDesignatedSets[k]), 0);
    uint32_t i = 0;
    while (i < length && end - out >= 2) {
        const uint16_t lowerSet = s.lowerSet;
        QuickRun(in, length, i, out, end, quick[0], s.lowerSet, quick[1], designated, eucShifts);
        if (s.lowerSet != lowerSet) halves[0] = HalfRule(s.lowerSet);
        if (i == length || end - out < 2) break;
        const uint8_t b = in[i];
        if (eucShifts ? (b == kEucKanaShift || b == kEucSupplementShift) : b == kEscape) break;
        const HalfRule &half = halves[b >> 7];
        const uint8_t c = b | 0x80;
        if (half.kana) {
            *out++ = c;  // a 7-bit katakana byte gains its top bit
            ++i;
        } else if (!half.BeginsPairWith(c)) {
            *out++ = b;
            ++i;
        } else {
            if (i + 1 == length || EndsPendingCharacter(in[i + 1])) break;
            uint16_t pc = static_cast<uint16_t>(kSubstitute << 8);
            *out++ = dbcs::Lead(pc);
            if (half.rows.Convert(dbcs::Code(b, in[i + 1]), pc)) {
                out[-1] = dbcs::Lead(pc);
                *out = dbcs::Trail(pc);
                out += dbcs::Trail(pc) != 0;
            }
            i += 2;
        }
    }
    stream->count -= static_cast<uint32_t>(out - stream->cursor);
    stream->cursor = out;
    return i;
}

bool FullToHalfKana(uint8_t &first, uint8_t &second) {
    const auto find = [](unsigned row, unsigned cell) {
        const uint16_t code = dbcs::Code(row, cell);
        for (int i = 1; i < kKanaJisEntries; ++i)
            if (KanaJisTable[i] == code) return i;
        return 0;
    };
    if (int i = find(first, second)) {
        first = static_cast<uint8_t>(0xA0 + i);
        second = 0;
        return true;
    }
    if (first != kKatakanaRow) return false;
    for (int k = 0; k < 21; ++k) {
        if (KanaVoicedCells[k] != second) continue;
        const unsigned base = k == 20 ? 0x26 : second - 1;  // the voiced U is made from U
        int i = find(first, base);
        if (i == 0) return false;
        first = static_cast<uint8_t>(0xA0 + i);
        second = kVoicedMark;
        return true;
    }
    for (uint8_t cell : KanaSemiVoicedCells) {
        if (cell != second) continue;
        int i = find(first, second - 2);
        if (i == 0) return false;
        first = static_cast<uint8_t>(0xA0 + i);
        second = kSemiVoicedMark;
        return true;
    }
    return false;
}

}  // namespace kx
