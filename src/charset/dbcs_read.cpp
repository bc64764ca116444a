// The read side of the double-byte text: a PC file in Shift-JIS (or another
// PC double-byte set) becomes the host's bytes, each pair converted and each
// run of double-byte characters or half-width katakana framed by the host's
// shift sequences.
#include <initializer_list>

#include "charset/dbcs_layer.h"
#include "charset/kana_tables.h"
#include "dbcs/convert.h"

namespace kx {
namespace {

namespace sets = dbcs::sets;

// Sends a zero-terminated host sequence: its first byte is returned, the
// further bytes and then `values` are owed to the reader.
template <std::size_t N>
uint16_t SendSequence(CharsetState &s, const uint8_t (&sequence)[N], std::initializer_list<uint16_t> values) {
    for (std::size_t i = 1; i < N && sequence[i] != 0; ++i) QueueOutput(s, sequence[i]);
    for (uint16_t v : values) QueueOutput(s, v);
    return sequence[0];
}

// `v` in single-byte state: after the shift-out sequence when the stream is
// shifted, so that a host never takes a single byte for half of a pair.
uint16_t SingleByte(CharsetState &s, uint16_t v) {
    if (s.shiftState == kShiftSingle || s.shiftOutSeq[0] == 0) return v;
    s.shiftState = kShiftSingle;
    return SendSequence(s, s.shiftOutSeq, {v});
}

// What the host receives for a character it cannot take (a pair the
// converter rejects, a first byte without its second, a half-width katakana
// of a host without them): one space, in single-byte state. A space, not the
// character's bytes, so that the host's text keeps its width and never holds
// half a pair.
uint16_t Substitute(CharsetState &s) { return SingleByte(s, kSubstitute); }

// Whether the host code (h, l) goes out other than as a kanji of the host's
// main double-byte set: a JIS X 0212 character with its own designation or
// single shift, or an extended-row code that a 7-bit host cannot take.
bool OutsideMainSet(const CharsetState &s, uint8_t h, uint8_t l) {
    switch (s.toSet) {
    case sets::kJis:
    case sets::kJisEscapes:
    case sets::kJis1978:
    case sets::kJis1978Locking:
        return (h & 0x80) != 0;
    case sets::kEucJis0212:
        return (l & 0x80) == 0;
    default:
        return false;
    }
}

// A converted pair (h, l) in the host's framing.
uint16_t SendPair(CharsetState &s, uint8_t h, uint8_t l) {
    const bool jis = s.toSet == sets::kJis || s.toSet == sets::kJisEscapes;
    if (jis && (h & 0x80)) {
        // A JIS X 0212 character: 7-bit bytes after its own designation.
        h &= 0x7F;
        l &= 0x7F;
        if (s.shiftState == kShiftSupplement) {
            QueueOutput(s, l);
            return h;
        }
        s.shiftState = kShiftSupplement;
        return SendSequence(s, s.supplementInSeq, {h, l});
    }
    if ((h & 0x80) && (s.toSet == sets::kJis1978 || s.toSet == sets::kJis1978Locking)) {
        // The converter leaves the extended rows (user-defined and IBM
        // characters without a JIS X 0208 equivalent) in their 8-bit form;
        // these 7-bit hosts have no place for them.
        return Substitute(s);
    }
    if (s.toSet == sets::kEucJis0212 && (l & 0x80) == 0) {
        // EUC: a JIS X 0212 character after its single shift, every time.
        return SendSequence(s, s.supplementInSeq, {static_cast<uint16_t>(h | 0x80), static_cast<uint16_t>(l | 0x80)});
    }
    if (s.shiftState != kShiftKanji && s.kanjiInSeq[0] != 0) {
        s.shiftState = kShiftKanji;
        return SendSequence(s, s.kanjiInSeq, {h, l});
    }
    if (s.shiftState == kShiftKana && s.shiftOutSeq[0] != 0) {
        s.shiftState = kShiftSingle;
        return SendSequence(s, s.shiftOutSeq, {h, l});
    }
    QueueOutput(s, l);
    return h;
}

// Whether `v` begins a pair in the PC set `set`.
bool IsFirstByte(uint16_t set, uint16_t v) {
    switch (set) {
    case sets::kShiftJis:
        return dbcs::IsShiftJisLead(v);
    case sets::kPassA:
    case sets::kPassB:
        return v >= 0x81 && v <= 0xFE;
    case sets::kPassC:
        return v >= 0xA1 && v <= 0xFE;
    default:
        return false;
    }
}

// Whether `t` can follow a first byte in the PC set `set`. A byte that
// cannot (a control, a space, a digit, a record end) is not part of the pair:
// it is given back and read again as a character of its own. The other PC
// double-byte sets follow their first bytes with 0x40 or above.
bool IsSecondByte(uint16_t set, uint16_t t) {
    if (set == sets::kShiftJis) return dbcs::IsShiftJisTrail(t);
    return (t >= 0x40 && t <= 0x7E) || (t >= 0x80 && t <= 0xFE);
}

uint16_t ReadPair(FileHandle *handle, CharsetState &s, uint16_t first) {
    uint16_t t = CharsetSourceValue(handle, s);
    if (t == kValueError) return t;
    // A first byte at the end of the data: its substitute, and the end is
    // seen again by the next read.
    if (t == kValueEnd) return Substitute(s);
    if (!IsSecondByte(s.fromSet, t)) {
        GiveBackSource(s, t);
        return Substitute(s);
    }
    uint16_t host = 0;
    if (!dbcs::MicroToHostCached(dbcs::Code(first, t), host, s.toSet)) return Substitute(s);
    return SendPair(s, dbcs::Lead(host), dbcs::Trail(host));
}

uint16_t ReadHalfWidthKana(FileHandle *handle, CharsetState &s, uint16_t v) {
    if (s.kanaToFull) {
        uint16_t pair = 0;
        if (!HalfToFullKana(handle, static_cast<uint8_t>(v), pair)) return kValueError;
        uint16_t host = 0;
        if (!dbcs::MicroToHostCached(pair, host, s.toSet)) return Substitute(s);
        return SendPair(s, dbcs::Lead(host), dbcs::Trail(host));
    }
    // The 7-bit hosts take the katakana in the lower half after their
    // katakana designation; set 73 has no half-width katakana at all.
    if (s.toSet == sets::kJis1978Locking) return Substitute(s);
    if (s.toSet == sets::kJis || s.toSet == sets::kJisEscapes || s.toSet == sets::kJis1978) v &= 0x7F;
    if (s.shiftState == kShiftKana || s.kanaInSeq[0] == 0) return v;
    // EUC repeats its single shift before every katakana and stays unshifted.
    if (s.toSet != sets::kEucJis0212) s.shiftState = kShiftKana;
    return SendSequence(s, s.kanaInSeq, {v});
}

}  // namespace

uint16_t ReadDoubleByte(FileHandle *handle, uint16_t v) {
    CharsetState &s = *handle->charset;
    if (v == kValueRecordEnd) return SingleByte(s, v);
    if (s.fromSet == sets::kShiftJis && v >= kHalfKanaFirst && v <= kHalfKanaLast)
        return ReadHalfWidthKana(handle, s, v);
    if (IsFirstByte(s.fromSet, v)) return ReadPair(handle, s, v);
    // The table is not used here: single bytes of the PC double-byte sets
    // are the host's single bytes.
    return SingleByte(s, v);
}

namespace {

// A zero-terminated host sequence, or none, and then `bytes`, stored at `out`
// when they fit in `room`: their length, or 0 when they do not fit.
uint32_t StoreFramed(uint8_t *out, uint32_t room, const uint8_t *sequence, std::initializer_list<uint8_t> bytes) {
    uint32_t length = 0;
    while (sequence != nullptr && sequence[length] != 0) ++length;
    if (length + bytes.size() > room) return 0;
    for (uint32_t k = 0; k < length; ++k) out[k] = sequence[k];
    for (uint8_t b : bytes) out[length++] = b;
    return length;
}

}  // namespace

uint32_t ReadShiftJisBlock(FileHandle *handle, uint8_t *out, uint32_t room) {
    CharsetState &s = *handle->charset;
    BufferedStream &stream = *handle->stream;
    const uint8_t *in = stream.cursor;
    const uint32_t available = stream.count;
    // Each character goes out exactly as ReadDoubleByte sends it, with the
    // shift sequence it needs and the shift state it leaves: a single byte
    // below 0x80 (SingleByte), a half-width katakana without widening
    // (ReadHalfWidthKana), a pair of the host's main double-byte set
    // (SendPair). The run stops, for ReadDoubleByte to take over, at anything
    // else (a katakana to widen or to replace, a pair the host lacks or sends
    // with its own designation, a pair cut by the buffer's end) and where the
    // output would not fit whole.
    const bool kanaAsBytes = !s.kanaToFull && s.toSet != sets::kJis1978Locking;
    const bool kanaSevenBit = s.toSet == sets::kJis || s.toSet == sets::kJisEscapes || s.toSet == sets::kJis1978;
    const bool kanaStaysUnshifted = s.toSet == sets::kEucJis0212;  // its single shift comes before every one
    const uint8_t *shiftOut = s.shiftOutSeq[0] != 0 ? s.shiftOutSeq : nullptr;
    const uint8_t *kanaIn = s.kanaInSeq[0] != 0 ? s.kanaInSeq : nullptr;
    const uint8_t *kanjiIn = s.kanjiInSeq[0] != 0 ? s.kanjiInSeq : nullptr;
    const dbcs::HostCodeRows hostCodes(s.toSet);
    uint16_t state = s.shiftState;
    uint32_t i = 0, stored = 0;
    while (i < available && stored < room) {
        const uint8_t c = in[i];
        uint32_t taken = 1, put = 0;
        uint16_t next = state;
        if (c < 0x80) {
            const bool shifted = state != kShiftSingle && shiftOut != nullptr;
            put = StoreFramed(out + stored, room - stored, shifted ? shiftOut : nullptr, {c});
            if (shifted) next = kShiftSingle;
        } else if (c >= kHalfKanaFirst && c <= kHalfKanaLast) {
            if (!kanaAsBytes) break;
            const uint8_t v = kanaSevenBit ? c & 0x7F : c;
            const bool shiftIn = state != kShiftKana && kanaIn != nullptr;
            put = StoreFramed(out + stored, room - stored, shiftIn ? kanaIn : nullptr, {v});
            if (shiftIn && !kanaStaysUnshifted) next = kShiftKana;
        } else {
            if (i + 1 >= available || !dbcs::IsShiftJisLead(c) || !dbcs::IsShiftJisTrail(in[i + 1])) break;
            uint16_t host = 0;
            if (!hostCodes.Convert(dbcs::Code(c, in[i + 1]), host)) break;
            const uint8_t h = dbcs::Lead(host), l = dbcs::Trail(host);
            if (OutsideMainSet(s, h, l)) break;
            const uint8_t *sequence = nullptr;
            if (state != kShiftKanji && kanjiIn != nullptr) {
                sequence = kanjiIn;
                next = kShiftKanji;
            } else if (state == kShiftKana && shiftOut != nullptr) {
                sequence = shiftOut;
                next = kShiftSingle;
            }
            put = StoreFramed(out + stored, room - stored, sequence, {h, l});
            taken = 2;
        }
        if (put == 0) break;  // no room for the whole of it
        stored += put;
        i += taken;
        state = next;
    }
    s.shiftState = state;
    stream.cursor += i;
    stream.count -= i;
    return stored;
}

bool HalfToFullKana(FileHandle *handle, uint8_t first, uint16_t &pair) {
    CharsetState &s = *handle->charset;
    // The look-ahead comes through the same source as every other byte (the
    // text layer included), so a line end after a katakana is treated as
    // any line end.
    uint16_t n = CharsetSourceValue(handle, s);
    if (n == kValueError) return false;
    const bool voicedBase = (first >= 0xB6 && first <= 0xC4) || (first >= 0xCA && first <= 0xCE) || first == 0xB3;
    const bool semiVoicedBase = first >= 0xCA && first <= 0xCE;
    const bool voiced = n == kVoicedMark && voicedBase;
    const bool semiVoiced = n == kSemiVoicedMark && semiVoicedBase;
    if (!voiced && !semiVoiced && n != kValueEnd) GiveBackSource(s, n);
    pair = KanaFullWidth(first);
    unsigned second = dbcs::Trail(pair);
    if (voiced) {
        if ((second >= 0x4A && second <= 0x67) || (second >= 0x6E && second <= 0x7A)) second += 1;
        else if (pair == 0x8345) second = 0x94;  // U becomes VU
    } else if (semiVoiced && second >= 0x6E && second <= 0x7A) {
        second += 2;
    }
    pair = dbcs::Code(dbcs::Lead(pair), second);
    return true;
}

}  // namespace kx
