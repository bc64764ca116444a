// The 7-bit national replacement sets: a national variant of set 5, 6 or 15
// shows national characters at some ASCII positions. On the source side a
// 7-bit code is first given its 8-bit character; on the target side an 8-bit
// character, once translated, is given its 7-bit code.
#include "charset/national_rows.h"
#include "charset/xlat.h"
#include "kxfiles.h"

namespace kx::charset {
namespace {

constexpr CharsetId kDecMultinational = 5;
constexpr CharsetId kRoman8 = 6;
constexpr CharsetId kLatin1 = 15;

// Dead-key modes of the HP national variants.
constexpr uint16_t kDeadKeysCircumflexDiaeresis = 1;
constexpr uint16_t kDeadKeysAcuteGraveDiaeresis = 2;

// The rows of a national set; false for a set without national variants.
bool NationalRows(CharsetId set, uint32_t variant, const uint8_t **base, const uint8_t **row,
                  int *length) {
    switch (set) {
    case kDecMultinational:
        *base = kNationalRowsDecMcs[0];
        *row = kNationalRowsDecMcs[variant];
        *length = kNationalPositions;
        return true;
    case kLatin1:
        *base = kNationalRowsLatin1[0];
        *row = kNationalRowsLatin1[variant];
        *length = kNationalPositions;
        return true;
    case kRoman8:
        *base = kNationalRowsRoman8[0];
        *row = kNationalRowsRoman8[variant];
        *length = kNationalPositionsRoman8;
        return true;
    default:
        return false;
    }
}

// The low 16 bits with their two bytes exchanged, so that CSF_OEM_TO_ANSI
// and CSF_ANSI_TO_OEM change places: the reverse table runs the other way.
uint32_t SwapOemAnsi(uint32_t options) {
    return (options & 0xFFFF0000u) | ((options & 0xFFu) << 8) | ((options >> 8) & 0xFFu);
}

}  // namespace

void ApplyNationalSet(uint8_t table[256], uint16_t *deadKeyMode, CharsetId from, CharsetId to,
                      uint32_t options, uint32_t variant) {
    if (variant < 1 || variant > kNationalVariants) return;
    const uint8_t *base = nullptr;
    const uint8_t *row = nullptr;
    int length = 0;
    if ((options & CSF_NATIONAL_TARGET) != 0) {
        if (!NationalRows(to, variant, &base, &row, &length)) return;
        // The code in `from` of each national character: through the table
        // from the national set back to `from`, with the OEM/ANSI step
        // reversed. Without such a table (a set without a map) the character
        // is taken as it is, through the OEM/ANSI step alone.
        uint8_t reverse[256];
        bool haveReverse = CopyXlatTable(to, from, 256, 0x20, XLAT_APPROXIMATE | XLAT_KEEP_CONTROLS, reverse);
        uint32_t swapped = SwapOemAnsi(options);
        for (int k = 0; k < length; ++k) {
            uint8_t code = MapByteOemAnsi(row[k], haveReverse ? reverse : nullptr, swapped);
            if (code != 0x20) table[code] = base[k];
        }
        table[0x66] = 0x66;
    } else if ((options & CSF_NATIONAL_SOURCE) != 0) {
        if (!NationalRows(from, variant, &base, &row, &length)) return;
        for (int k = 0; k < length; ++k) table[base[k]] = row[k];
        if (from == kDecMultinational) {
            if (variant == 2) {
                table[0x7B] = 0x22;
                table[0x7E] = 0x27;
            } else if (variant == 6) {
                table[0x7E] = 0x22;
            }
        }
    } else {
        return;
    }
    if (deadKeyMode != nullptr && (from == kRoman8 || to == kRoman8)) {
        if (variant == 5 || variant == 6) *deadKeyMode = kDeadKeysCircumflexDiaeresis;
        if (variant == 12 || variant == 15) *deadKeyMode = kDeadKeysAcuteGraveDiaeresis;
    }
}

}  // namespace kx::charset
