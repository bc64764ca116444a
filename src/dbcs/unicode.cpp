// Shift-JIS and Unicode through the table generated from
// resources/dbcs/shift-jis-unicode.txt: two direct tables of 64K entries,
// built once on first use.
#include <cstdint>
#include <mutex>

#include "dbcs/dbcs.h"

namespace kx::dbcs {
namespace {

struct ShiftJisEntry {
    uint16_t code;
    uint16_t character;
    uint8_t kind;  // 0: both ways; 1: read only; 2: the JIS mapping of the code
};

#include "shift_jis_unicode.inc"

struct Tables {
    uint16_t toUnicode[2][65536];  // [jis][code]
    uint16_t toShiftJis[65536];
};

Tables tables;
std::once_flag built;

void Build() {
    for (auto &row : tables.toUnicode)
        for (uint32_t code = 0; code < 65536; ++code) row[code] = code < 0x80 ? static_cast<uint16_t>(code) : kNoUnicode;
    for (uint32_t character = 0; character < 65536; ++character)
        tables.toShiftJis[character] = character < 0x80 ? static_cast<uint16_t>(character) : kNoShiftJis;
    for (const ShiftJisEntry &e : kShiftJisEntries) {
        if (e.kind == 2) {
            tables.toShiftJis[e.character] = e.code;  // written in either mode
            continue;
        }
        tables.toUnicode[0][e.code] = e.character;
        tables.toUnicode[1][e.code] = e.character;
        if (e.kind == 0) tables.toShiftJis[e.character] = e.code;
    }
    // The JIS mapping's codes then read as its characters; writing still
    // accepts code page 932's characters for them.
    for (const ShiftJisEntry &e : kShiftJisEntries)
        if (e.kind == 2) tables.toUnicode[1][e.code] = e.character;
}

const Tables &Get() {
    std::call_once(built, Build);
    return tables;
}

}  // namespace

const uint16_t *ShiftJisToUnicodeTable(bool jis) { return Get().toUnicode[jis ? 1 : 0]; }

const uint16_t *UnicodeToShiftJisTable() { return Get().toShiftJis; }

uint16_t ShiftJisToUnicode(uint16_t code, bool jis) { return ShiftJisToUnicodeTable(jis)[code]; }

uint16_t UnicodeToShiftJis(uint32_t character) {
    return character < 65536 ? UnicodeToShiftJisTable()[character] : kNoShiftJis;
}

}  // namespace kx::dbcs
