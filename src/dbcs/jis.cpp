// The arithmetic steps of the double-byte conversion: Shift-JIS and the JIS,
// EUC and marked forms, the extended rows, JIS X 0212 and the 1978 ordering.
#include "dbcs/convert.h"
#include "dbcs/tables.h"

namespace kx::dbcs {

uint16_t SjisToJis(uint16_t code) {
    unsigned s1 = Lead(code), s2 = Trail(code);
    unsigned j1, j2;
    if (s2 >= 0x9F) {
        j2 = s2 - 0x7E;
        j1 = s1 <= 0x9F ? 2 * s1 - 0xE0 : 2 * s1 - 0x160;
    } else {
        j2 = s2 < 0x7F ? s2 - 0x1F : s2 - 0x20;
        j1 = (s1 <= 0x9F ? 2 * s1 - 0xE0 : 2 * s1 - 0x160) - 1;
    }
    j1 &= 0xFF;
    // Lead bytes 0xF0 and above continue on rows 0xA1 upwards.
    if (j1 >= 0x7F) j1 = (j1 + 0x22) & 0xFF;
    return Code(j1, j2);
}

uint16_t JisToSjis(uint16_t code) {
    unsigned j1 = Lead(code), j2 = Trail(code);
    // Rows 0x7F to 0xA0 are neither JIS X 0208 rows nor extended rows; they
    // only come from a malformed host code. Like the rows from 0xBB upwards
    // they become the white square, so the reader sees that a character was
    // there rather than losing it.
    if (j1 >= 0xBB || (j1 >= 0x7F && j1 <= 0xA0)) {
        j1 = Lead(kWhiteSquare);
        j2 = Trail(kWhiteSquare);
    }
    if (j1 >= 0xA1) j1 -= 0x22;  // extended rows back to the numbering after 0x7E
    unsigned s1 = ((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0);
    unsigned s2;
    if (j1 & 1)
        s2 = j2 + 0x1F + (j2 >= 0x60 ? 1 : 0);
    else
        s2 = j2 + 0x7E;
    return Code(s1, s2);
}

uint16_t RowsToHost(uint16_t code) {
    unsigned row = Lead(code);
    if (row >= 0xB5 && row <= 0xB9 && IsJisByte(Trail(code))) return Code(row + 11, Trail(code));
    return code;
}

uint16_t RowsFromHost(uint16_t code) {
    unsigned row = Lead(code);
    if (row >= 0xC0 && row <= 0xC4 && IsJisByte(Trail(code))) return Code(row - 11, Trail(code));
    return code;
}

uint16_t JisToEuc(uint16_t code) {
    // A marked code keeps its second byte 7-bit so that it stays marked.
    if (code & 0x8000) return static_cast<uint16_t>(code & ~0x0080);
    return static_cast<uint16_t>(code | 0x8080);
}

uint16_t EucToJis(uint16_t code) {
    if (code & 0x0080) return static_cast<uint16_t>((code & ~0x0080) ^ 0x8000);
    return code;
}

bool ExtToJis0212(uint16_t &code) {
    unsigned row = Lead(code), column = Trail(code);
    if (!IsJisByte(column)) return false;
    if (row >= 0xA1 && row <= 0xAA) {
        code = Code(row - 0x2C, column);
        return true;
    }
    bool inTable = (row == 0xC0 && column >= 0x35) || (row >= 0xC1 && row <= 0xC3) ||
                   (row == 0xC4 && column < 0x2D);
    if (!inTable) return false;
    int index = static_cast<int>(row - 0xC0) * 94 + static_cast<int>(column - 0x21) - 20;
    uint16_t jis0212 = Jis0212Table[index];
    if (jis0212 == 0) return false;
    code = jis0212;
    return true;
}

uint16_t Jis0212ToExt(uint16_t code) {
    unsigned row = Lead(code), column = Trail(code);
    if (!IsJisByte(row) || !IsJisByte(column)) return code;
    if (row >= 0x75) return Code(row + 0x2C, column);
    for (int i = 0; i < kJis0212Entries; ++i) {
        if (Jis0212Table[i] != code) continue;
        if (i < 74) return Code(0xC0, 0x35 + i);
        return Code(0xC1 + (i - 74) / 94, 0x21 + (i - 74) % 94);
    }
    return kWhiteSquare;
}

namespace {

bool IsJisValue(uint16_t code) { return IsJisByte(Lead(code) & 0x7F) && IsJisByte(Trail(code)); }

// Row 8 columns 0x21 to 0x60 of JIS X 0208: box drawing. Like the other
// tables this compares whole codes: the validity test lets marked codes
// through (for the IBM codes of the alternate mode), but a marked code is no
// JIS X 0208 character and matches none of the JIS-form entries.
bool IsBoxDrawing(uint16_t code) {
    return Lead(code) == 0x28 && Trail(code) >= 0x21 && Trail(code) <= 0x60;
}

bool SwapPair(uint16_t &code) {
    for (const JisPair &pair : JisSwapPairs) {
        if (pair.first == code) {
            code = pair.second;
            return true;
        }
        if (pair.second == code) {
            code = pair.first;
            return true;
        }
    }
    return false;
}

template <int N>
bool Lookup(const JisPair (&table)[N], uint16_t &code) {
    for (const JisPair &pair : table) {
        if (pair.first == code) {
            code = pair.second;
            return true;
        }
    }
    return false;
}

// The special-character step of the alternate mode, towards the host: the
// hosts of sets 54 and 73 have no JIS X 0212, so the 15 IBM extension
// characters that JIS X 0208 also holds travel as those JIS X 0208 codes. The
// step runs after the IBM rows have been renumbered for the host, so the
// codes are matched in the host's numbering (row 0xC0). Coming back the JIS
// X 0208 codes are ordinary characters and become standard Shift-JIS, so
// this step has nothing to do towards the PC.
bool IbmToJis0208(uint16_t &code) {
    for (const JisPair &pair : IbmSpecialCharacters) {
        if (RowsToHost(pair.first) == code) {
            code = pair.second;
            return true;
        }
    }
    return false;
}

}  // namespace

// The row-74 step of the alternate mode is JisRowSeventyFour itself, which
// both modes apply as it stands; the alternate mode adds no further change of
// row 0x74, so every code outside the tables stays as it is.
uint16_t NewToOldJis(uint16_t code, JisMode mode, bool &boxDrawing) {
    boxDrawing = false;
    if (!IsJisValue(code)) return code;
    if (IsBoxDrawing(code)) {
        boxDrawing = true;
        return code;
    }
    if (mode == JisMode::alternate && IbmToJis0208(code)) return code;
    if (Lookup(JisRowSeventyFourToHost, code)) return code;
    SwapPair(code);
    return code;
}

uint16_t OldToNewJis(uint16_t code, JisMode /*mode*/) {
    // The alternate mode's steps change nothing on the way to the PC (see
    // IbmToJis0208), so both modes take the same common steps.
    if (!IsJisValue(code)) return code;
    if (SwapPair(code)) return code;
    Lookup(JisRowSeventyFourToPc, code);
    return code;
}

}  // namespace kx::dbcs
