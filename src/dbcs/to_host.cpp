// The conversion chains from the PC's code to a host's code.
#include <cstddef>

#include "dbcs/convert.h"
#include "dbcs/dbcs.h"
#include "dbcs/tables.h"

namespace kx::dbcs {
namespace {

// The Shift-JIS code as JIS with the IBM rows in the host's numbering.
uint16_t HostJis(uint16_t code) { return RowsToHost(SjisToJis(code)); }

// Towards a host with JIS X 0212 (sets 52, 53, 57): an extended-row code
// becomes its JIS X 0212 code, marked. A code that has none (user-defined
// rows 0xAB to 0xB4, row 0xBA, the IBM codes without a JIS X 0212
// counterpart) fails rather than reach the host as some unrelated JIS X 0212
// character; the layer then sends its substitute.
bool ExtendedToHost(uint16_t &code) {
    if (!ExtToJis0212(code)) return false;
    code |= 0x8000;
    return true;
}

// Set 56: row 8 as host row 0xFE. 0x2821 to 0x282B are the host's 11 codes,
// the heavy lines 0x282C to 0x2836 fold onto them, the mixed ones 0x2837 to
// 0x2840 onto the nearest of them. Columns 0x41 to 0x60 are not assigned in
// JIS X 0208: they hold no character to send, so the conversion fails for
// them and the layer sends its substitute.
bool BoxToHost(uint16_t &code) {
    unsigned column = Trail(code);
    uint8_t second;
    if (column <= 0x2B)
        second = HostBoxRow[column - 0x21];
    else if (column <= 0x36)
        second = HostBoxRow[column - 0x2C];
    else if (column <= 0x40)
        second = HostBoxMixed[column - 0x37];
    else
        return false;
    code = Code(0xFE, second);
    return true;
}

bool LeadIn(uint16_t code, unsigned low, unsigned high) {
    return Lead(code) >= low && Lead(code) <= high;
}

bool TableToHost(uint16_t code, uint16_t &result) {
    const uint8_t *table = LoadDbcsTable(kPcToHostTableId);
    if (table == nullptr) return false;
    unsigned trail = Trail(code);
    unsigned column;
    if (trail >= 0x40 && trail <= 0x7E)
        column = trail - 0x40;
    else if (trail >= 0xA0 && trail <= 0xFE)
        column = trail - 0x60;
    else {
        result = kTwoSpaces;
        return true;
    }
    std::size_t at = (static_cast<std::size_t>(Lead(code) - 0x81) * 160 + column) * 2;
    result = static_cast<uint16_t>(table[at] | (table[at + 1] << 8));
    return true;
}

uint16_t TrailToHost(uint16_t code) {
    unsigned trail = Trail(code);
    if ((trail >= 0x20 && trail <= 0x3F) || (trail >= 0x7F && trail <= 0xA0) || trail == 0xFF)
        return kTwoSpaces;
    for (const TrailPair &pair : TrailRemap)
        if (pair.pc == trail) return Code(Lead(code), pair.host);
    return code;
}

// The check of the Shift-JIS sets: a Shift-JIS lead byte, and a trail byte
// that Shift-JIS can follow it with. A pair with any other trail byte fails
// rather than turning into whatever code the arithmetic makes of it; the
// character-set layer reads that byte again as a byte of its own.
bool IsShiftJisPair(uint16_t code) {
    return IsShiftJisLead(Lead(code)) && IsShiftJisTrail(Trail(code));
}

// The chain of `charset`; false when the code cannot be converted.
bool Convert(uint16_t code, uint16_t &result, uint16_t charset) {
    if (code == 0) return false;
    bool box = false;
    switch (charset) {
    case sets::kShiftJis:
        result = code;
        return IsShiftJisPair(code);
    case sets::kJis:
    case sets::kJisEscapes:
        if (!IsShiftJisPair(code)) return false;
        result = HostJis(code);
        if (Lead(result) >= 0xA1) return ExtendedToHost(result);
        return true;
    case sets::kJis1978:
    case sets::kJis1978Locking:
        if (!IsShiftJisPair(code)) return false;
        result = NewToOldJis(HostJis(code), JisMode::alternate, box);
        return true;
    case sets::kEuc:
        if (!IsShiftJisPair(code)) return false;
        result = JisToEuc(HostJis(code));
        return true;
    case sets::kEucBoxRow:
        if (!IsShiftJisPair(code)) return false;
        result = NewToOldJis(HostJis(code), JisMode::plain, box);
        if (box && !BoxToHost(result)) return false;
        result = JisToEuc(result);
        return true;
    case sets::kEucJis0212:
        if (!IsShiftJisPair(code)) return false;
        result = JisToEuc(HostJis(code));
        if (IsJisByte(Trail(result))) return ExtendedToHost(result);
        return true;
    case sets::kPassA:
    case sets::kPassB:
    case sets::kPassC:
        result = code;
        return LeadIn(code, 0xA1, 0xFE);
    case sets::kTables:
        if (!LeadIn(code, 0x81, 0xFE)) return false;
        return TableToHost(code, result);
    case sets::kTrailDigits:
        if (!LeadIn(code, 0x81, 0xFE)) return false;
        result = TrailToHost(code);
        return true;
    default:
        return false;
    }
}

}  // namespace

bool MicroToHost(uint16_t code, uint16_t *out, uint16_t charset) {
    uint16_t result = 0;
    if (Convert(code, result, charset)) {
        *out = result;
        return true;
    }
    // Only the low-order byte changes; the caller may keep something in the
    // other one.
    *out = static_cast<uint16_t>((*out & 0xFF00) | 0x20);
    return false;
}

}  // namespace kx::dbcs
