// The exported functions of translation tables: a built table handed to the
// caller, and the character set the system displays.
#include <cstring>

#include "charset/display_charset.h"
#include "charset/xlat.h"
#include "core/boundary.h"
#include "core/errors.h"
#include "kxfiles.h"

using namespace kx;
using namespace kx::charset;

KXEXPORT int32_t KXAPI kxFileSetupXlat(uint32_t from, uint16_t to, uint8_t *table, uint32_t count,
                                       uint8_t defaultChar, uint32_t options) {
    return Guarded<int32_t>(0, [&]() -> int32_t {
        if (table == nullptr || count > 256) {
            SetThreadError(err::kInternal);
            return 0;
        }
        if (count == 0) return 1;
        // A set without a table is no error of the caller's: 0, nothing recorded.
        CacheLock lock;
        const XlatTable *built =
            GetXlatTable(lock, static_cast<CharsetId>(from & 0xFFFF), to, count, defaultChar, options);
        if (built == nullptr) return 0;
        std::memcpy(table, built->table, count);
        return 1;
    });
}

KXEXPORT uint32_t KXAPI kxFileGetACP(void) {
    return Guarded<uint32_t>(0, [] { return DisplayCharset(); });
}
