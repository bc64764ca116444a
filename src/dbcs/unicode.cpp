// Shift-JIS and Unicode through the table generated from
// resources/dbcs/shift-jis-unicode.txt: two direct tables of 64K entries,
// built once on first use.
#include <cstdint>
#include <cstring>
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

ShiftJisUtf8 utf8Tables[2];
std::once_flag utf8Built[2];

void BuildUtf8(bool jis) {
    ShiftJisUtf8 &t = utf8Tables[jis ? 1 : 0];
    const uint16_t *toUnicode = Get().toUnicode[jis ? 1 : 0];
    // The UTF-8 entry of a character of the Basic Multilingual Plane.
    auto entry = [](uint32_t c) {
        uint8_t b[4] = {};
        if (c < 0x80) {
            b[0] = static_cast<uint8_t>(c);
            b[3] = 1;
        } else if (c < 0x800) {
            b[0] = static_cast<uint8_t>(0xC0 | c >> 6);
            b[1] = static_cast<uint8_t>(0x80 | (c & 0x3F));
            b[3] = 2;
        } else {
            b[0] = static_cast<uint8_t>(0xE0 | c >> 12);
            b[1] = static_cast<uint8_t>(0x80 | (c >> 6 & 0x3F));
            b[2] = static_cast<uint8_t>(0x80 | (c & 0x3F));
            b[3] = 3;
        }
        uint32_t word;
        std::memcpy(&word, b, sizeof word);
        return word;
    };
    uint8_t rows = 0;
    for (uint32_t first = 0; first < 256; ++first) {
        const bool lead = (first >= 0x81 && first <= 0x9F) || (first >= 0xE0 && first <= 0xFC);
        t.row[first] = lead ? ++rows : 0;
        t.bytes[0][first] = lead || toUnicode[first] == kNoUnicode ? 0 : entry(toUnicode[first]);
        if (!lead) continue;
        for (uint32_t trail = 0; trail < 256; ++trail) {
            const uint16_t c = toUnicode[first << 8 | trail];
            const bool isTrail = trail >= 0x40 && trail <= 0xFC && trail != 0x7F;
            t.bytes[rows][trail] = !isTrail || c == kNoUnicode ? 0 : entry(c);
        }
    }
}

}  // namespace

const ShiftJisUtf8 &ShiftJisToUtf8Table(bool jis) {
    std::call_once(utf8Built[jis ? 1 : 0], BuildUtf8, jis);
    return utf8Tables[jis ? 1 : 0];
}

const uint16_t *ShiftJisToUnicodeTable(bool jis) { return Get().toUnicode[jis ? 1 : 0]; }

const uint16_t *UnicodeToShiftJisTable() { return Get().toShiftJis; }

uint16_t ShiftJisToUnicode(uint16_t code, bool jis) { return ShiftJisToUnicodeTable(jis)[code]; }

uint16_t UnicodeToShiftJis(uint32_t character) {
    return character < 65536 ? UnicodeToShiftJisTable()[character] : kNoShiftJis;
}

}  // namespace kx::dbcs
