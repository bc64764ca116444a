// The character-set layer's record: its single-byte table, built once per
// kxFileSetCharsetFlags from the translation tables, the OEM/ANSI options and
// a national replacement set.
#include <new>

#include "charset/charset_layer.h"
#include "charset/xlat.h"
#include "platform/platform.h"

namespace kx {

ErrorCode BuildCharsetState(uint16_t from, uint16_t to, uint32_t options, uint32_t variant,
                            CharsetState **out) {
    if (out == nullptr) return err::kMisc;
    void *memory = os::LocalAlloc(os::LPTR, sizeof(CharsetState));
    if (memory == nullptr) return err::kOutOfMemory;
    auto *s = new (memory) CharsetState{};

    // A copy of the pair's table, taken under the cache lock; none for a set
    // without a map, whose bytes then pass as they are.
    uint8_t pair[256];
    const bool havePair = charset::CopyXlatTable(from, to, 256, 0x20,
                                                 XLAT_APPROXIMATE | XLAT_KEEP_CONTROLS, pair);

    s->fromSet = from;
    s->toSet = to;
    s->stateFlags = static_cast<uint16_t>(options & ~static_cast<uint32_t>(kStateUnicode));
    // Variants outside 1 to 17 name no national set: the record keeps 0, as it
    // does for no variant at all, and the table has no national row.
    s->variant = variant <= kNationalVariantLast ? static_cast<uint16_t>(variant) : 0;
    s->kanaToFull = (options & CSF_KANA_TO_FULL) ? 1 : 0;
    s->kanaToHalf = (options & CSF_KANA_TO_HALF) ? 1 : 0;
    s->detectPending = (options & CSF_DETECT_JAPANESE) ? 1 : 0;
    s->jisAsciiReturn = (options & CSF_JIS_ASCII_RETURN) ? 1 : 0;
    if (IsUnicodePair(from, to)) {
        // The sets are named: no detection, no host shift sequences.
        s->detectPending = 0;
        if (ErrorCode code = SetupUnicode(*s, options); code != err::kNone) {
            os::LocalFree(memory);
            return code;
        }
    } else {
        SetupShiftSequences(*s);
    }
    if (options & CSF_TRANSLATE) s->stateFlags |= CSF_ACTIVE;

    for (int i = 0; i < 256; ++i) s->table[i] = static_cast<uint8_t>(i);
    // With both national options the source side is folded in here and the
    // target side after the pair's table: each call takes one side.
    if (options & CSF_NATIONAL_SOURCE)
        charset::ApplyNationalSet(s->table, &s->deadKeyMode, from, to,
                                  options & ~static_cast<uint32_t>(CSF_NATIONAL_TARGET), variant);
    for (int i = 0; i < 256; ++i)
        s->table[i] = charset::MapByteOemAnsi(s->table[i], havePair ? pair : nullptr, options);
    if (options & CSF_NATIONAL_TARGET)
        charset::ApplyNationalSet(s->table, &s->deadKeyMode, from, to, options, variant);

    // Printable ASCII written as itself: through the table, or from a
    // single-byte set into UTF-8 and from UTF-8 into a single-byte set.
    const UnicodeCoding &u = s->unicode;
    s->printableAsItself = 1;
    for (uint32_t c = 0x20; c < 0x7F; ++c) {
        if (!(s->stateFlags & CSF_ACTIVE)) break;
        const bool same = !(s->stateFlags & kStateUnicode) ? s->table[c] == c
                          : u.fromKind == kCodingSingleByte && u.toKind == kCodingUtf8 ? u.fromValues[c] == c
                          : u.fromKind == kCodingUtf8 && u.toKind == kCodingSingleByte ? u.lowCodes[c] == c
                                                                                       : false;
        if (!same) s->printableAsItself = 0;
    }
    *out = s;
    return err::kNone;
}

}  // namespace kx
