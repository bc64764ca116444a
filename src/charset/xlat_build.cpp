// The table builder: for each code of the source set, the code of the target
// set with the same Unicode value, or a stand-in for a character the target
// lacks.
#include "charset/approximation.h"
#include "charset/xlat.h"
#include "kxfiles.h"

namespace kx::charset {
namespace {

// The lowest code of `map` whose value is `character`, or -1.
int LowestCode(const uint16_t map[256], uint16_t character) {
    for (int code = 0; code < 256; ++code)
        if (map[code] == character) return code;
    return -1;
}

bool IsControlCode(int code) { return code < 0x20 || code == 0x7F; }

// The code of `character` in `map` that a text file should hold: the lowest
// printable one when the set has it both at a control position and at a
// printable one (the PC code pages carry the space at 0x00 as well as 0x20,
// and some carry pilcrow and section sign among the controls as well as
// above 0x80), else the lowest; -1 when the set lacks it.
int TextCode(const uint16_t map[256], uint16_t character) {
    const int lowest = LowestCode(map, character);
    if (lowest < 0 || !IsControlCode(lowest)) return lowest;
    for (int code = lowest + 1; code < 256; ++code)
        if (map[code] == character && !IsControlCode(code)) return code;
    return lowest;
}

}  // namespace

uint8_t CodeForCharacter(uint32_t character, const uint16_t toMap[256], uint8_t defaultChar) {
    if (character < kNoCharacter) {
        int code = TextCode(toMap, static_cast<uint16_t>(character));
        if (code >= 0) return static_cast<uint8_t>(code);
    }
    if (character < 0x20 || character == 0x7F ||
        (character >= 0x80 && character <= 0x9F && toMap[character] == kNoCharacter))
        return static_cast<uint8_t>(character);
    return static_cast<uint8_t>(ApproximateIn(
        character, [toMap](uint16_t c) { return LowestCode(toMap, c); }, defaultChar));
}

void TranslateByMaps(const uint16_t fromMap[256], const uint16_t toMap[256], uint32_t count,
                     uint8_t defaultChar, uint32_t options, uint8_t *out) {
    for (uint32_t i = 0; i < count && i < 256; ++i) {
        uint16_t character = fromMap[i];
        if (character != kNoCharacter) {
            int code = TextCode(toMap, character);
            if (code >= 0) {
                out[i] = static_cast<uint8_t>(code);
                continue;
            }
        }
        if (i < 32 && (options & XLAT_KEEP_CONTROLS) != 0) {
            out[i] = static_cast<uint8_t>(i);
        } else if ((options & XLAT_APPROXIMATE) == 0) {
            out[i] = defaultChar;
        } else {
            out[i] = static_cast<uint8_t>(ApproximateIn(
                character, [toMap](uint16_t c) { return LowestCode(toMap, c); }, defaultChar));
        }
    }
}

}  // namespace kx::charset
