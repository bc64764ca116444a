// The conversion chains from a host's code to the PC's code.
#include <cstddef>

#include "dbcs/convert.h"
#include "dbcs/dbcs.h"
#include "dbcs/tables.h"

namespace kx::dbcs {
namespace {

enum class Outcome { converted, failed, katakana };

// The last check of every Shift-JIS result. A lead byte that is no Shift-JIS
// lead byte fails: 0x80, 0xA0 and those above 0xFC, and also those below
// 0x81, which only a malformed host code (a row below 0x21) produces and
// which no reader would take for the first byte of a pair. A lead byte 0xA1
// to 0xDF would read as a half-width katakana.
Outcome CheckResult(uint16_t value) {
    unsigned lead = Lead(value);
    if (lead >= 0xA1 && lead <= 0xDF) return Outcome::katakana;
    if (lead <= 0x80 || lead == 0xA0 || lead > 0xFC) return Outcome::failed;
    return Outcome::converted;
}

Outcome ToShiftJis(uint16_t &value) {
    value = JisToSjis(RowsFromHost(value));
    return CheckResult(value);
}

// Exactly one of the two bytes has bit 7 set: a JIS X 0212 code.
bool IsMarked(uint16_t code) { return ((code >> 8) ^ code) & 0x80; }

bool LeadIn(uint16_t code, unsigned low, unsigned high) {
    return Lead(code) >= low && Lead(code) <= high;
}

Outcome TableToPc(uint16_t code, uint16_t &value) {
    if (Lead(code) <= 0xA0) {
        value = kTwoSpaces;
        return Outcome::converted;
    }
    const uint8_t *table = LoadDbcsTable(kHostToPcTableId);
    if (table == nullptr) return Outcome::failed;
    unsigned trail = Trail(code);
    if (trail < 0x20 || trail > 0xFE) {
        value = kTwoSpaces;
        return Outcome::converted;
    }
    std::size_t at = (static_cast<std::size_t>(Lead(code) - 0xA1) * 224 + (trail - 0x20)) * 2;
    value = static_cast<uint16_t>(table[at] | (table[at + 1] << 8));
    return Outcome::converted;
}

uint16_t TrailToPc(uint16_t code) {
    unsigned trail = Trail(code);
    if (trail == 0x9F) return Code(Lead(code), 0x5F);
    for (const TrailPair &pair : TrailRemap)
        if (pair.host == trail) return Code(Lead(code), pair.pc);
    if ((trail >= 0x20 && trail <= 0x2F) || (trail >= 0x7F && trail <= 0x9E) || trail == 0xFF)
        return kTwoSpaces;
    return code;
}

// The chain of `charset`; `value` is the working value throughout.
Outcome Convert(uint16_t code, uint16_t &value, uint16_t charset) {
    value = code;
    if (code == 0) return Outcome::failed;
    switch (charset) {
    case sets::kShiftJis:
        return CheckResult(value);
    case sets::kJis0212FromHost:
        value |= 0x8000;
        [[fallthrough]];
    case sets::kJis:
    case sets::kJisEscapes:
        if (IsMarked(value)) value = Jis0212ToExt(value & 0x7F7F);
        return ToShiftJis(value);
    case sets::kJis1978:
    case sets::kJis1978Locking:
        value = OldToNewJis(value, JisMode::alternate);
        return ToShiftJis(value);
    case sets::kEuc:
        value = EucToJis(value);
        return ToShiftJis(value);
    case sets::kEucBoxRow:
        value = EucToJis(value);
        if (Lead(value) == 0xFE) {
            for (int i = 0; i < kHostBoxCount; ++i) {
                if (HostBoxRow[i] == Trail(value)) {
                    value = static_cast<uint16_t>(0x2821 + i);
                    break;
                }
            }
        }
        value = OldToNewJis(value, JisMode::plain);
        return ToShiftJis(value);
    case sets::kEucJis0212:
        if (IsMarked(value)) value = Jis0212ToExt(value & 0x7F7F);
        value = EucToJis(value);
        return ToShiftJis(value);
    case sets::kPassA:
    case sets::kPassB:
    case sets::kPassC:
        return LeadIn(value, 0xA1, 0xFE) ? Outcome::converted : Outcome::failed;
    case sets::kTables:
        if (!LeadIn(code, 0x81, 0xFE)) return Outcome::failed;
        return TableToPc(code, value);
    case sets::kTrailDigits:
        if (!LeadIn(code, 0x81, 0xFE)) return Outcome::failed;
        value = TrailToPc(code);
        return Outcome::converted;
    default:
        return Outcome::failed;
    }
}

}  // namespace

bool HostToMicro(uint16_t code, uint16_t *out, uint16_t charset) {
    uint16_t value = 0;
    switch (Convert(code, value, charset)) {
    case Outcome::converted:
        *out = value;
        return true;
    case Outcome::katakana:
        return false;
    case Outcome::failed:
        break;
    }
    *out = static_cast<uint16_t>((value & 0x00FF) | 0x2000);
    return false;
}

}  // namespace kx::dbcs
