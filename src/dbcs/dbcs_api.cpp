// The exported double-byte conversions. They record no error: the result 0
// and the substitute in *out are the whole report.
#include "core/boundary.h"
#include "dbcs/dbcs.h"
#include "kxfiles.h"

using namespace kx;

KXEXPORT int32_t KXAPI kxFileMicro2HostDBCS(uint32_t code, uint16_t *out, uint32_t charset) {
    return Guarded<int32_t>(0, [&]() -> int32_t {
        // These calls record no error (their result and *out are the whole
        // report), so a null result pointer is refused with 0 alone.
        if (out == nullptr) return 0;
        return dbcs::MicroToHost(static_cast<uint16_t>(code), out,
                                 static_cast<uint16_t>(charset & 0xFFFF))
                   ? 1
                   : 0;
    });
}

KXEXPORT int32_t KXAPI kxFileHost2MicroDBCS(uint32_t code, uint16_t *out, uint32_t charset) {
    return Guarded<int32_t>(0, [&]() -> int32_t {
        if (out == nullptr) return 0;
        return dbcs::HostToMicro(static_cast<uint16_t>(code), out,
                                 static_cast<uint16_t>(charset & 0xFFFF))
                   ? 1
                   : 0;
    });
}
