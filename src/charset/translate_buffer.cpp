// Translation of a buffer in memory and of a file name, without a file: a
// plain byte table when that is all the translation needs, otherwise a
// temporary character-set record driven over the memory, so that double-byte
// text, host shift sequences, national sets and dead keys come out as they
// would from a stream.
#include <cstring>

#include "charset/dbcs_layer.h"
#include "charset/xlat.h"
#include "core/boundary.h"
#include "dbcs/convert.h"
#include "kxfiles.h"
#include "platform/platform.h"

namespace kx {
namespace {

constexpr uint32_t kNameResultSize = kPathBufferSize;  // 259 characters and the terminator

uint32_t SourceLength(const uint8_t *source, int32_t length) {
    return length < 0 ? static_cast<uint32_t>(std::strlen(reinterpret_cast<const char *>(source)))
                      : static_cast<uint32_t>(length);
}

}  // namespace

// The byte table alone. The OEM-to-ANSI step converts the caller's source in
// place and the ANSI-to-OEM step the result: here the two options act
// independently, and both may apply in one call.
void TranslateBufferDirect(uint8_t *source, int32_t length, uint8_t *destination, int32_t size,
                           uint16_t from, uint16_t to, uint32_t options) {
    if (source == nullptr || destination == nullptr || size < 1) return;
    uint32_t n = SourceLength(source, length);
    if (n > static_cast<uint32_t>(size - 1)) n = static_cast<uint32_t>(size - 1);
    if (options & CSF_OEM_TO_ANSI)
        for (uint32_t i = 0; i < n; ++i) source[i] = charset::MapByteOemAnsi(source[i], nullptr, CSF_OEM_TO_ANSI);
    uint8_t table[256];
    const bool translate = from != to && (options & CSF_TRANSLATE) &&
                           charset::CopyXlatTable(from, to, 256, 0x20, XLAT_APPROXIMATE | XLAT_KEEP_CONTROLS, table);
    if (translate)
        for (uint32_t i = 0; i < n; ++i) destination[i] = table[source[i]];
    else
        std::memmove(destination, source, n);
    destination[n] = 0;
    if (options & CSF_ANSI_TO_OEM)
        for (uint32_t i = 0; i < n; ++i)
            destination[i] = charset::MapByteOemAnsi(destination[i], nullptr, CSF_ANSI_TO_OEM);
}

// The record in memory mode, through a handle-like context that carries only
// the record: no text layer and no stream, so the layer takes its bytes from
// the buffer and puts them into it.
void TranslateBufferLayered(uint8_t *source, int32_t length, uint8_t *destination, int32_t size,
                            CharsetState &record) {
    if (source == nullptr || destination == nullptr || size < 1) return;
    const uint32_t n = SourceLength(source, length);
    FileHandle context{};
    context.flags = kLayerCharset;
    context.charset = &record;
    if (record.stateFlags & (CSF_FROM_DBCS | CSF_NATIONAL_TARGET)) {
        // The work of these directions is on the read side. The end of the
        // source is the end of the data, so a shifted host text ends with its
        // shift-out sequence when there is room.
        record.bufferCursor = source;
        record.bufferEnd = source + n;
        const uint32_t room = static_cast<uint32_t>(size - 1);
        uint32_t stored = 0;
        while (stored < room) {
            uint16_t v = CharsetGetValue(&context);
            if (v > kValueRecordEnd) break;
            // A shift sequence with its character, or a pair, is stored whole
            // or not at all: a full buffer never ends in half of either.
            uint32_t unit = 1;
            for (uint32_t i = 0; i < record.outputCount && record.outputQueue[i] <= kValueRecordEnd; ++i) ++unit;
            if (unit > room - stored) break;
            destination[stored++] = static_cast<uint8_t>(v);
            for (uint32_t i = 1; i < unit; ++i) destination[stored++] = static_cast<uint8_t>(CharsetQueuedValue(record));
        }
        destination[stored] = 0;
        return;
    }
    // As on a stream, the first block decides the Japanese encoding when the
    // caller asks for detection.
    if (record.detectPending) {
        record.detectPending = 0;
        if (uint16_t d = DetectJapaneseEncoding(source, n)) {
            record.fromSet = d;
            SetupShiftSequences(record);
        }
    }
    record.bufferCursor = destination;
    record.bufferEnd = destination + size - 1;
    uint32_t taken = 0;
    while (taken < n && CharsetPutValue(&context, source[taken]) >= 0) ++taken;
    // A dead key still waiting for its letter at the end of the source is
    // written as its own character, as a file's close writes it. What else
    // the layer still holds (a begun sequence, a lone first byte) is not.
    if (taken == n) CharsetClose(&context);
    *record.bufferCursor = 0;
}

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr char kEscapeMark = '_';

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A Shift-JIS name in ASCII: with CSF_ESCAPE_NAME each byte 0x80-0xFF as two
// underscores and its two hexadecimal digits, without it every byte with its
// top bit cleared. A name whose form would not fit the result is cut after
// the last whole character (both bytes of a pair) that fits.
void EscapeShiftJisName(const uint8_t *name, char *result, uint32_t options) {
    const bool escape = (options & CSF_ESCAPE_NAME) != 0;
    const auto width = [escape](uint8_t c) -> uint32_t { return escape && c >= 0x80 ? 4 : 1; };
    uint32_t out = 0;
    for (uint32_t i = 0; name[i] != 0;) {
        uint32_t bytes = dbcs::IsShiftJisLead(name[i]) && name[i + 1] != 0 ? 2 : 1;
        uint32_t needed = 0;
        for (uint32_t k = 0; k < bytes; ++k) needed += width(name[i + k]);
        if (out + needed > kNameResultSize - 1) break;
        for (uint32_t k = 0; k < bytes; ++k, ++i) {
            const uint8_t c = name[i];
            if (width(c) == 4) {
                result[out++] = kEscapeMark;
                result[out++] = kEscapeMark;
                result[out++] = kHexDigits[c >> 4];
                result[out++] = kHexDigits[c & 0xF];
            } else {
                result[out++] = static_cast<char>(c & 0x7F);
            }
        }
    }
    result[out] = 0;
}

// The escaped form back to Shift-JIS bytes; anything that is not a whole
// escape is copied as it is.
void UnescapeShiftJisName(const char *name, char *result) {
    const uint32_t length = static_cast<uint32_t>(std::strlen(name));
    uint32_t out = 0;
    for (uint32_t i = 0; i < length && out < kNameResultSize - 1;) {
        if (name[i] == kEscapeMark && i + 3 < length && name[i + 1] == kEscapeMark) {
            int high = HexValue(name[i + 2]), low = HexValue(name[i + 3]);
            if (high >= 0 && low >= 0) {
                result[out++] = static_cast<char>(high * 16 + low);
                i += 4;
                continue;
            }
        }
        result[out++] = name[i++];
    }
    result[out] = 0;
}

}  // namespace

void TranslateFileName(char *name, char *result, uint16_t from, uint16_t to, uint32_t options) {
    if (IsUnicodePair(from, to) && (options & CSF_TRANSLATE)) {
        // Through the record, as a buffer: a name never ends in half a
        // character, and one the sets cannot take is copied as it is.
        CharsetState *record = nullptr;
        if (BuildCharsetState(from, to, options, 0, &record) == err::kNone) {
            TranslateBufferLayered(reinterpret_cast<uint8_t *>(name), -1, reinterpret_cast<uint8_t *>(result),
                                   kNameResultSize, *record);
            os::LocalFree(record);
            return;
        }
    }
    if (from == dbcs::sets::kShiftJis)
        EscapeShiftJisName(reinterpret_cast<const uint8_t *>(name), result, options);
    else if (to == dbcs::sets::kShiftJis)
        UnescapeShiftJisName(name, result);
    else
        TranslateBufferDirect(reinterpret_cast<uint8_t *>(name), -1, reinterpret_cast<uint8_t *>(result),
                              kNameResultSize, from, to, options);
}

}  // namespace kx

using namespace kx;

KXEXPORT int32_t KXAPI kxFileTranslateBufferExt(uint8_t *source, int32_t sourceLength, uint8_t *destination,
                                                 int32_t destinationSize, uint16_t from, uint16_t to,
                                                 uint32_t options, uint32_t variant) {
    return Guarded<int32_t>(err::kInternal, [&]() -> int32_t {
        if (source == nullptr || destination == nullptr) {
            SetThreadError(err::kInternal);
            return err::kInternal;
        }
        const bool doubleByte = IsPcDoubleByteSet(from) || IsPcDoubleByteSet(to) || IsUnicodePair(from, to);
        if (!doubleByte && ((options == 0 && from == to) || variant == 0)) {
            TranslateBufferDirect(source, sourceLength, destination, destinationSize, from, to, options);
            return err::kNone;
        }
        CharsetState *record = nullptr;
        ErrorCode code = BuildCharsetState(from, to, options, variant, &record);
        if (code != err::kNone) {
            // A pair that cannot be translated (UTF-8 with a host set) or no
            // memory: nothing is stored, and the result still ends.
            if (destinationSize >= 1) destination[0] = 0;
            SetThreadError(code);
            return code;
        }
        TranslateBufferLayered(source, sourceLength, destination, destinationSize, *record);
        os::LocalFree(record);
        return err::kNone;
    });
}

KXEXPORT int32_t KXAPI kxFileTranslateFileNameExt(char *name, char *result, uint32_t from, uint16_t to,
                                                   uint32_t options) {
    return Guarded<int32_t>(err::kInternal, [&]() -> int32_t {
        if (name == nullptr || result == nullptr) {
            SetThreadError(err::kInternal);
            return err::kInternal;
        }
        TranslateFileName(name, result, static_cast<uint16_t>(from & 0xFFFF), to, options);
        return err::kNone;
    });
}
