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

// The stand-in for `character`, which `toMap` lacks. Box-drawing characters
// follow their fallback chain (heavy to double to single lines) until the
// target has one; then a known ASCII look-alike, the character itself when it
// is ASCII, or the letter without its accent. The bytes of the last three
// are ASCII codes, written whether or not the target holds that character
// there.
uint8_t Approximate(uint16_t character, const uint16_t toMap[256], uint8_t defaultChar) {
    if (character >= kBoxDrawingFirst && character <= kBoxDrawingLast) {
        for (;;) {
            uint16_t next = kBoxDrawingFirst | kBoxDrawingFallback[character - kBoxDrawingFirst];
            if (next == character) break;
            character = next;
            int code = LowestCode(toMap, character);
            if (code >= 0) return static_cast<uint8_t>(code);
        }
    }
    for (const ApproximationPair *pair = kApproximationPairs; pair->character != 0; ++pair)
        if (pair->character == character) return pair->byte;
    if (character >= 0x20 && character <= 0x7F) return static_cast<uint8_t>(character);
    if (character >= kAccentFirst && character <= kAccentLast) {
        uint8_t letter = kAccentFallback[character - kAccentFirst];
        if (letter != 0) return letter;
    }
    return defaultChar;
}

}  // namespace

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
            out[i] = Approximate(character, toMap, defaultChar);
        }
    }
}

}  // namespace kx::charset
