// The Unicode path of the character-set layer: with UTF-8 on one side, each
// character is decoded from the bytes entering the layer (UTF-8, Shift-JIS
// or a single-byte set through its map) and encoded into the other side's
// bytes. A single-byte target lacking the character takes the code that a
// table between two single-byte sets would give (charset::CodeForCharacter);
// Shift-JIS lacking it takes the same approximations, else a space.
#include <algorithm>
#include <bit>
#include <cstring>

#include "charset/charset_layer.h"
#include "charset/approximation.h"
#include "charset/xlat.h"
#include "core/byte_scan.h"
#include "dbcs/dbcs.h"

namespace kx {
namespace {

constexpr uint32_t kReplacement = 0xFFFD;  // what an ill-formed sequence reads as
constexpr uint32_t kByteOrderMark = 0xFEFF;
constexpr uint8_t kDefaultByte = 0x20;     // the substitute of the non-Unicode sets

enum class Step {
    kMore,      // the byte is taken; the character needs more
    kDone,      // the byte is taken and ends the character
    kRejected,  // the sequence so far is ill-formed: one kReplacement, the byte not taken
};

bool IsShiftJisLead(uint8_t b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool IsShiftJisTrail(uint8_t b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// One byte of UTF-8 into `d`. The ranges of the Unicode Standard's table of
// well-formed sequences: a byte outside the range its place allows ends the
// maximal subpart before it, which becomes one substitute, and is looked at
// again as the start of what follows.
Step Utf8Step(UnicodeDecoder &d, uint8_t b, uint32_t &character) {
    if (d.need == 0) {
        if (b < 0x80) {
            character = b;
            return Step::kDone;
        }
        if (b >= 0xC2 && b <= 0xDF) d = {b & 0x1Fu, 1, 0x80, 0xBF};
        else if (b >= 0xE0 && b <= 0xEF)
            d = {b & 0x0Fu, 2, static_cast<uint8_t>(b == 0xE0 ? 0xA0 : 0x80), static_cast<uint8_t>(b == 0xED ? 0x9F : 0xBF)};
        else if (b >= 0xF0 && b <= 0xF4)
            d = {b & 0x07u, 3, static_cast<uint8_t>(b == 0xF0 ? 0x90 : 0x80), static_cast<uint8_t>(b == 0xF4 ? 0x8F : 0xBF)};
        else {
            character = kReplacement;  // a lone continuation byte, C0, C1 or F5-FF: its own subpart
            return Step::kDone;
        }
        return Step::kMore;
    }
    if (b < d.low || b > d.high) {
        d = {};
        character = kReplacement;
        return Step::kRejected;
    }
    d.partial = d.partial << 6 | (b & 0x3Fu);
    d.low = 0x80;
    d.high = 0xBF;
    if (--d.need != 0) return Step::kMore;
    character = d.partial;
    d = {};
    return Step::kDone;
}

// One byte of the source side into `d`.
Step DecodeStep(const UnicodeCoding &u, UnicodeDecoder &d, uint8_t b, uint32_t &character) {
    switch (u.fromKind) {
    case kCodingUtf8:
        return Utf8Step(d, b, character);
    case kCodingShiftJis:
        if (d.need == 0) {
            if (IsShiftJisLead(b)) {
                d = {b, 1, 0x40, 0xFC};
                return Step::kMore;
            }
            character = u.shiftJisToUnicode[b];
        } else {
            if (!IsShiftJisTrail(b)) {
                d = {};
                character = kReplacement;
                return Step::kRejected;
            }
            character = u.shiftJisToUnicode[d.partial << 8 | b];
            d = {};
        }
        if (character == dbcs::kNoUnicode) character = kReplacement;
        return Step::kDone;
    default:
        character = u.fromValues[b];
        return Step::kDone;
    }
}

// The single-byte target's code of a character from U+0100; what no slot
// holds is worked out and kept while there is room.
uint8_t HashedCode(UnicodeCoding &u, uint32_t character) {
    if (character < 0x10000) {
        uint32_t slot = (character * 2654435761u) >> 23;
        for (;; slot = (slot + 1) & 511) {
            if (u.hashKeys[slot] == character) return u.hashCodes[slot];
            if (u.hashKeys[slot] == 0) break;
        }
        uint8_t code = charset::CodeForCharacter(character, u.toMap, kDefaultByte);
        if (u.hashFilled < 384) {
            u.hashKeys[slot] = static_cast<uint16_t>(character);
            u.hashCodes[slot] = code;
            ++u.hashFilled;
        }
        return code;
    }
    return charset::CodeForCharacter(character, u.toMap, kDefaultByte);
}

uint32_t PutUtf8(uint32_t c, uint8_t *out) {
    if (c < 0x80) {
        out[0] = static_cast<uint8_t>(c);
        return 1;
    }
    if (c < 0x800) {
        out[0] = static_cast<uint8_t>(0xC0 | c >> 6);
        out[1] = static_cast<uint8_t>(0x80 | (c & 0x3F));
        return 2;
    }
    if (c < 0x10000) {
        out[0] = static_cast<uint8_t>(0xE0 | c >> 12);
        out[1] = static_cast<uint8_t>(0x80 | (c >> 6 & 0x3F));
        out[2] = static_cast<uint8_t>(0x80 | (c & 0x3F));
        return 3;
    }
    out[0] = static_cast<uint8_t>(0xF0 | c >> 18);
    out[1] = static_cast<uint8_t>(0x80 | (c >> 12 & 0x3F));
    out[2] = static_cast<uint8_t>(0x80 | (c >> 6 & 0x3F));
    out[3] = static_cast<uint8_t>(0x80 | (c & 0x3F));
    return 4;
}

// `character` as the target side's bytes (at most 7 with a byte-order mark
// before it): their number.
uint32_t Encode(UnicodeCoding &u, uint32_t character, uint8_t *out) {
    switch (u.toKind) {
    case kCodingUtf8: {
        uint32_t n = 0;
        if (u.writeBom) {
            u.writeBom = 0;
            n = PutUtf8(kByteOrderMark, out);
        }
        return n + PutUtf8(character, out + n);
    }
    case kCodingShiftJis: {
        uint16_t code = character < 0x10000 ? u.unicodeToShiftJis[character] : dbcs::kNoShiftJis;
        if (code == dbcs::kNoShiftJis)
            code = static_cast<uint16_t>(charset::ApproximateIn(
                character,
                [&u](uint16_t c) { return u.unicodeToShiftJis[c] == dbcs::kNoShiftJis ? -1 : u.unicodeToShiftJis[c]; },
                kDefaultByte));
        if (code < 0x100) {
            out[0] = static_cast<uint8_t>(code);
            return 1;
        }
        out[0] = static_cast<uint8_t>(code >> 8);
        out[1] = static_cast<uint8_t>(code);
        return 2;
    }
    default:
        out[0] = character < 0x100 ? u.lowCodes[character] : HashedCode(u, character);
        return 1;
    }
}

// Whether `character` is a leading byte-order mark to drop; the first
// character ends the chance either way.
bool DropsAsMark(UnicodeCoding &u, uint32_t character) {
    if (!u.dropBom) return false;
    u.dropBom = 0;
    return character == kByteOrderMark;
}

// The write side's output of one character: all its bytes, or in memory mode
// none when they do not all fit. The last result of CharsetOutput, or 0 when
// nothing was put.
int PutCharacter(FileHandle *handle, uint32_t character) {
    CharsetState &s = *handle->charset;
    if (DropsAsMark(s.unicode, character)) return 0;
    uint8_t bytes[8];
    const uint32_t n = Encode(s.unicode, character, bytes);
    if (s.bufferCursor != nullptr && static_cast<uint32_t>(s.bufferEnd - s.bufferCursor) < n) return kCharsetOutputFull;
    int r = 0;
    for (uint32_t i = 0; i < n; ++i)
        if ((r = CharsetOutput(handle, bytes[i])) < 0) return r;
    return r;
}

// The character of code `code` of a single-byte set whose map is `map`, as
// the layer reads it: C0 controls stay controls (as the layer's tables keep
// them where the PC sets show glyphs), a DEL or C1 position without a
// character is that control, any other code without one is a substitute.
uint16_t SingleByteCharacter(const uint16_t *map, uint32_t code) {
    if (code < 0x20) return static_cast<uint16_t>(code);
    if (map == nullptr) return static_cast<uint16_t>(code);  // a set without a map reads as Latin-1
    if (map[code] != charset::kNoCharacter) return map[code];
    if (code == 0x7F || (code >= 0x80 && code <= 0x9F)) return static_cast<uint16_t>(code);
    return static_cast<uint16_t>(kReplacement);
}

// The coding of one side's set; false for a set the path cannot take.
bool CodingOf(uint16_t set, uint8_t &kind) {
    if (set == kUtf8Set) kind = kCodingUtf8;
    else if (set == dbcs::sets::kShiftJis) kind = kCodingShiftJis;
    else if ((set >= 52 && set <= 62) || set == 73 || set == 77) return false;
    else kind = kCodingSingleByte;
    return true;
}

// The well-formed character of two to four bytes at `in` (lead byte
// in[0] >= 0x80) when the whole sequence lies before `end`: its length, or 0.
[[gnu::always_inline]] inline uint32_t WholeUtf8(const uint8_t *in, const uint8_t *end, uint32_t &character) {
    const uint8_t b = in[0];
    const auto left = static_cast<size_t>(end - in);
    auto continuation = [](uint8_t c) { return (c & 0xC0) == 0x80; };
    // The three-byte form first: the common one of CJK text.
    if (b >= 0xE1 && b <= 0xEC && left >= 3 && continuation(in[1]) && continuation(in[2])) {
        character = (b & 0x0Fu) << 12 | (in[1] & 0x3Fu) << 6 | (in[2] & 0x3Fu);
        return 3;
    }
    if (b >= 0xC2 && b <= 0xDF) {
        if (left < 2 || !continuation(in[1])) return 0;
        character = (b & 0x1Fu) << 6 | (in[1] & 0x3Fu);
        return 2;
    }
    if (b >= 0xE0 && b <= 0xEF) {
        if (left < 3 || !continuation(in[1]) || !continuation(in[2])) return 0;
        if ((b == 0xE0 && in[1] < 0xA0) || (b == 0xED && in[1] > 0x9F)) return 0;
        character = (b & 0x0Fu) << 12 | (in[1] & 0x3Fu) << 6 | (in[2] & 0x3Fu);
        return 3;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        if (left < 4 || !continuation(in[1]) || !continuation(in[2]) || !continuation(in[3])) return 0;
        if ((b == 0xF0 && in[1] < 0x90) || (b == 0xF4 && in[1] > 0x8F)) return 0;
        character = (b & 0x07u) << 18 | (in[1] & 0x3Fu) << 12 | (in[2] & 0x3Fu) << 6 | (in[3] & 0x3Fu);
        return 4;
    }
    return 0;
}


// The ASCII run from `in` on, copied as it is sixteen bytes at a time, as far
// as the room goes.
[[gnu::always_inline]] inline void CopyAscii(const uint8_t *&in, const uint8_t *inEnd, uint8_t *&out, const uint8_t *outEnd) {
    const auto room = static_cast<size_t>(outEnd - out), left = static_cast<size_t>(inEnd - in);
    const uint32_t n = bytescan::CopyAsciiUntil(in, out, static_cast<uint32_t>(left < room ? left : room), 0x80);
    in += n;
    out += n;
}

// The bytes in[0], in[1] and in[2] as in[0] | in[1] << 8 | in[2] << 16; four
// bytes must be there.
inline uint32_t ThreeBytes(const uint8_t *in) {
    if constexpr (std::endian::native == std::endian::little) {
        uint32_t word;
        std::memcpy(&word, in, sizeof word);
        return word & 0xFFFFFF;
    } else {
        return in[0] | in[1] << 8 | static_cast<uint32_t>(in[2]) << 16;
    }
}

// Where a run of ConvertUnicodeBlock's inner loops ends, in the input and in
// the output.
struct Run {
    const uint8_t *from;
    uint8_t *to;
};

// Shift-JIS to UTF-8 from a byte 0x80-0xFF on, while at least two bytes of
// input and four of room are left: each pair or byte converted by one
// look-up that also checks it. It stops before ASCII, a malformed pair and a
// code without a character. This run and the next are kept out of line,
// where their pointers and bounds stay in registers.
[[gnu::noinline]] Run Utf8FromShiftJisRun(const uint8_t *from, const uint8_t *inEnd, uint8_t *to,
                                          const uint8_t *outEnd, const dbcs::ShiftJisUtf8 &toUtf8) {
    // Each step takes one or two bytes and stores four, of which it keeps
    // up to three.
    const auto left = static_cast<size_t>(inEnd - from), room = static_cast<size_t>(outEnd - to);
    for (size_t steps = std::min(left / 2, room >= 4 ? (room - 1) / 3 : 0); steps != 0 && from[0] >= 0x80; --steps) {
        const uint32_t row = toUtf8.row[from[0]];
        const uint32_t entry = toUtf8.bytes[row][from[row != 0]];
        if (entry == 0) break;
        std::memcpy(to, &entry, 4);
        to += to[3];
        from += 1 + (row != 0);
    }
    return {from, to};
}

// Three-byte UTF-8 sequences (kana, kanji, full-width forms) to Shift-JIS,
// while at least four bytes of input and two of room are left: a lead byte
// 0xE0-0xEF and two continuation bytes checked at once. It stops before
// anything else, an overlong form (below U+0800) and a character without a
// code (the surrogates that 0xED may lead to have none).
[[gnu::noinline]] Run ShiftJisFromThreeByteRun(const uint8_t *from, const uint8_t *inEnd, uint8_t *to,
                                               const uint8_t *outEnd, const uint16_t *toShiftJis) {
    // Each step looks at four bytes, takes three and stores two.
    const auto left = static_cast<size_t>(inEnd - from), room = static_cast<size_t>(outEnd - to);
    for (size_t steps = std::min(left >= 1 ? (left - 1) / 3 : 0, room / 2); steps != 0; --steps) {
        const uint32_t w = ThreeBytes(from);
        if ((w & 0xC0C0F0) != 0x8080E0) break;
        const uint32_t character = (w & 0x0F) << 12 | (w & 0x3F00) >> 2 | (w >> 16 & 0x3F);
        if (character < 0x800) break;
        const uint16_t code = toShiftJis[character];
        if (code == dbcs::kNoShiftJis) break;
        const bool pair = code >= 0x100;
        to[0] = static_cast<uint8_t>(pair ? code >> 8 : code);
        to[1] = static_cast<uint8_t>(code);
        to += 1 + pair;
        from += 3;
    }
    return {from, to};
}

// ASCII without DEL, the codes that every single-byte set the path takes
// with ASCII in its lower half (its map, or its table from Unicode) keeps as
// they are: CP437's 0x7F is the house U+2302, so DEL is left out of the runs.
constexpr uint64_t kEveryByte01 = 0x0101010101010101ull;
constexpr uint64_t kEveryByte80 = 0x8080808080808080ull;

// Whether the eight bytes of `word` are all 0x00-0x7E: none has its top bit,
// and none becomes 0x80 when 1 is added (no addition carries out of a byte
// below 0x80).
inline bool EightPlain(uint64_t word) { return ((word | (word + kEveryByte01)) & kEveryByte80) == 0; }

inline uint64_t Load8(const uint8_t *in) {
    uint64_t word;
    std::memcpy(&word, in, 8);
    return word;
}

// Copies the run of bytes 0x00-0x7E at `in` to `out` as it is, sixteen and
// then eight bytes at a time, while the input has them and `out` has room;
// what is left of the run (fewer than eight bytes) goes one at a time.
[[gnu::always_inline]] inline void CopyPlainRun(const uint8_t *&in, const uint8_t *inEnd, uint8_t *&out,
                                                const uint8_t *outEnd) {
    while (inEnd - in >= 16 && outEnd - out >= 16) {
        const uint64_t a = Load8(in), b = Load8(in + 8);
        if (((a | (a + kEveryByte01) | b | (b + kEveryByte01)) & kEveryByte80) != 0) break;
        std::memcpy(out, in, 16);
        in += 16;
        out += 16;
    }
    if (inEnd - in >= 8 && outEnd - out >= 8 && EightPlain(Load8(in))) {
        std::memcpy(out, in, 8);
        in += 8;
        out += 8;
    }
}

}  // namespace

UnicodeBlock ConvertUnicodeBlock(UnicodeCoding &u, const uint8_t *in, uint32_t length, uint8_t *out, uint32_t room) {
    const uint8_t *const inStart = in, *const inEnd = in + length;
    uint8_t *const outStart = out, *const outEnd = out + room;
    if (u.dropBom || u.writeBom) return {0, 0};
    // Room for the longest character (four bytes) or eight ASCII bytes.
    auto space = [&](size_t n) { return static_cast<size_t>(outEnd - out) >= n; };
    switch (u.fromKind << 2 | u.toKind) {
    case kCodingSingleByte << 2 | kCodingUtf8:
        // Entry: every code's UTF-8 bytes in utf8Bytes (four bytes stored,
        // utf8Length of them kept); with asciiAsItself, runs of 0x00-0x7E
        // copied as they are. Each code is one whole character.
        while (in < inEnd && space(8)) {
            if (u.asciiAsItself) {
                CopyPlainRun(in, inEnd, out, outEnd);
                if (in == inEnd || !space(4)) break;
            }
            std::memcpy(out, &u.utf8Bytes[*in], 4);
            out += u.utf8Length[*in++];
        }
        break;
    case kCodingUtf8 << 2 | kCodingSingleByte:
        // Entry: the target's codes of U+0000-U+00FF in lowCodes, the others
        // by HashedCode as the value path finds them; with asciiAsItself
        // (lowCodes keeps 0x00-0x7E), runs of those copied as they are. A
        // sequence that is ill-formed or not whole before the end of `in`
        // stops the block for the value path.
        while (in < inEnd && space(8)) {
            if (u.asciiAsItself) {
                CopyPlainRun(in, inEnd, out, outEnd);
                if (in == inEnd || !space(1)) break;
            } else if (*in < 0x80 && inEnd - in >= 8 && (Load8(in) & kEveryByte80) == 0) {
                for (int k = 0; k < 8; ++k) out[k] = u.lowCodes[in[k]];
                in += 8;
                out += 8;
                continue;
            }
            uint32_t character = *in, n = 1;
            if (character >= 0x80 && (n = WholeUtf8(in, inEnd, character)) == 0) break;
            *out++ = character < 0x100 ? u.lowCodes[character] : HashedCode(u, character);
            in += n;
        }
        break;
    case kCodingShiftJis << 2 | kCodingUtf8:
        // Entry: Shift-JIS through shiftJisToUnicode (shiftJisToUtf8 for the
        // runs of bytes 0x80-0xFF); runs of ASCII (the same in both mappings)
        // copied as they are. A pair cut by the end of `in`, a lead byte
        // without its trail byte or a code without a character stops the
        // block for the value path.
        while (in < inEnd && space(8)) {
            if (*in < 0x80) {
                CopyAscii(in, inEnd, out, outEnd);
                continue;
            }
            // The run, then what stopped it through the steps below.
            const Run run = Utf8FromShiftJisRun(in, inEnd, out, outEnd, *u.shiftJisToUtf8);
            in = run.from;
            out = run.to;
            if (in == inEnd || !space(8) || *in < 0x80) continue;
            uint32_t code = *in, n = 1;
            if (IsShiftJisLead(*in)) {
                if (inEnd - in < 2 || !IsShiftJisTrail(in[1])) break;
                code = code << 8 | in[1];
                n = 2;
            }
            const uint16_t character = u.shiftJisToUnicode[code];
            if (character == dbcs::kNoUnicode) break;
            out += PutUtf8(character, out);
            in += n;
        }
        break;
    case kCodingUtf8 << 2 | kCodingShiftJis:
        // Entry: UTF-8 decoded whole by WholeUtf8 (three-byte sequences in
        // runs of their own), Shift-JIS from unicodeToShiftJis; runs of ASCII
        // copied as they are. An ill-formed or cut sequence, or a character
        // Shift-JIS lacks, stops the block for the value path.
        while (in < inEnd && space(8)) {
            if (*in < 0x80) {
                CopyAscii(in, inEnd, out, outEnd);
                continue;
            }
            // The run, then what stopped it through the steps below.
            const Run run = ShiftJisFromThreeByteRun(in, inEnd, out, outEnd, u.unicodeToShiftJis);
            in = run.from;
            out = run.to;
            if (in == inEnd || !space(8) || *in < 0x80) continue;
            uint32_t character = *in, n = 1;
            if ((n = WholeUtf8(in, inEnd, character)) == 0) break;
            const uint16_t code = character < 0x10000 ? u.unicodeToShiftJis[character] : dbcs::kNoShiftJis;
            if (code == dbcs::kNoShiftJis) break;
            if (code >= 0x100) *out++ = static_cast<uint8_t>(code >> 8);
            *out++ = static_cast<uint8_t>(code);
            in += n;
        }
        break;
    case kCodingUtf8 << 2 | kCodingUtf8:
        // Entry: UTF-8 decoded whole by WholeUtf8, runs of 0x00-0x7E copied
        // as they are, each well-formed character copied. An ill-formed or
        // cut sequence stops the block for the value path.
        while (in < inEnd && space(8)) {
            CopyPlainRun(in, inEnd, out, outEnd);
            if (in == inEnd || !space(4)) break;
            uint32_t character = *in, n = 1;
            if (character >= 0x80 && (n = WholeUtf8(in, inEnd, character)) == 0) break;
            std::memcpy(out, in, n);
            out += n;
            in += n;
        }
        break;
    default:
        break;
    }
    return {static_cast<uint32_t>(in - inStart), static_cast<uint32_t>(out - outStart)};
}

ErrorCode SetupUnicode(CharsetState &s, uint32_t options) {
    UnicodeCoding &u = s.unicode;
    if (!CodingOf(s.fromSet, u.fromKind) || !CodingOf(s.toSet, u.toKind)) return err::kMisc;
    s.stateFlags |= kStateUnicode;
    u.jisMapping = (options & CSF_SJIS_JIS_MAPPING) ? 1 : 0;
    u.dropBom = u.fromKind == kCodingUtf8 && (options & CSF_KEEP_BOM) == 0;
    u.writeBom = u.toKind == kCodingUtf8 && (options & CSF_WRITE_BOM) != 0;
    u.decoder = {};
    if (u.fromKind == kCodingShiftJis || u.toKind == kCodingShiftJis) {
        u.shiftJisToUnicode = dbcs::ShiftJisToUnicodeTable(u.jisMapping != 0);
        u.unicodeToShiftJis = dbcs::UnicodeToShiftJisTable();
    }
    u.shiftJisToUtf8 = u.fromKind == kCodingShiftJis && u.toKind == kCodingUtf8
                           ? &dbcs::ShiftJisToUtf8Table(u.jisMapping != 0)
                           : nullptr;
    uint16_t map[256];
    if (u.fromKind == kCodingSingleByte) {
        const bool haveMap = charset::ReadCharsetMap(s.fromSet, map);
        for (uint32_t c = 0; c < 256; ++c) u.fromValues[c] = SingleByteCharacter(haveMap ? map : nullptr, c);
    }
    if (u.fromKind == kCodingSingleByte && u.toKind == kCodingUtf8) {
        u.asciiAsItself = 1;
        for (uint32_t c = 0; c < 256; ++c) {
            uint8_t bytes[4] = {};
            u.utf8Length[c] = static_cast<uint8_t>(PutUtf8(u.fromValues[c], bytes));
            std::memcpy(&u.utf8Bytes[c], bytes, 4);
            if (c < 0x7F && u.fromValues[c] != c) u.asciiAsItself = 0;
        }
    }
    if (u.toKind == kCodingSingleByte) {
        if (!charset::ReadCharsetMap(s.toSet, u.toMap))
            for (uint32_t c = 0; c < 256; ++c) u.toMap[c] = static_cast<uint16_t>(c);
        for (uint32_t c = 0; c < 256; ++c) u.lowCodes[c] = charset::CodeForCharacter(c, u.toMap, kDefaultByte);
        u.asciiAsItself = 1;
        for (uint32_t c = 0; c < 0x7F; ++c)
            if (u.lowCodes[c] != c) u.asciiAsItself = 0;
        // The set's own characters from U+0100, at the code a table would
        // give them; the rest are added as they are met.
        for (uint32_t c = 0; c < 256; ++c)
            if (u.toMap[c] >= 0x100 && u.toMap[c] != charset::kNoCharacter) HashedCode(u, u.toMap[c]);
    }
    return err::kNone;
}

uint16_t ReadUnicode(FileHandle *handle, uint16_t v) {
    CharsetState &s = *handle->charset;
    UnicodeCoding &u = s.unicode;
    for (;;) {
        if (v == kValueRecordEnd) return v;
        // The whole sequence is read here, so no decoder state outlives the
        // call: a value that cuts it short (another start, a record end, the
        // end of the data or a failure) is given back and comes next.
        UnicodeDecoder d{};
        uint32_t character = 0;
        Step step = DecodeStep(u, d, static_cast<uint8_t>(v), character);
        while (step == Step::kMore) {
            uint16_t next = CharsetSourceValue(handle, s);
            if (next > 0xFF) {
                GiveBackSource(s, next);
                character = kReplacement;
                break;
            }
            step = DecodeStep(u, d, static_cast<uint8_t>(next), character);
            if (step == Step::kRejected) GiveBackSource(s, next);
        }
        if (!DropsAsMark(u, character)) {
            uint8_t bytes[8];
            const uint32_t n = Encode(u, character, bytes);
            for (uint32_t i = 1; i < n; ++i) QueueOutput(s, bytes[i]);
            return bytes[0];
        }
        v = CharsetSourceValue(handle, s);
        if (v > kValueRecordEnd) return v;
    }
}

int WriteUnicode(FileHandle *handle, uint16_t v) {
    CharsetState &s = *handle->charset;
    UnicodeCoding &u = s.unicode;
    if (v == kValueRecordEnd) {
        // A character never spans a record end: a sequence it cuts short is
        // one substitute before it.
        if (u.decoder.need != 0) {
            u.decoder = {};
            int r = PutCharacter(handle, kReplacement);
            if (r < 0) return r;
        }
        return CharsetOutput(handle, v);
    }
    uint32_t character = 0;
    Step step = DecodeStep(u, u.decoder, static_cast<uint8_t>(v), character);
    if (step == Step::kMore) return v;
    if (step == Step::kRejected) {
        int r = PutCharacter(handle, character);
        if (r < 0) return r;
        step = DecodeStep(u, u.decoder, static_cast<uint8_t>(v), character);
        if (step == Step::kMore) return v;
    }
    int r = PutCharacter(handle, character);
    return r < 0 ? r : v;
}

void FinishUnicode(FileHandle *handle) {
    CharsetState &s = *handle->charset;
    if ((s.stateFlags & kStateUnicode) == 0 || s.unicode.decoder.need == 0) return;
    s.unicode.decoder = {};
    if (s.bufferCursor == nullptr && !CanWriteNow(handle->stream)) return;
    PutCharacter(handle, kReplacement);
}

}  // namespace kx
