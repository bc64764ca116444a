// The OEM and ANSI code pages on POSIX: 437 and 1252, unless the environment
// names others in KXFILES_OEMCP and KXFILES_ACP. The value is read on every
// call, so a change takes effect at once. It is a code page number, with or
// without a "cp" prefix ("850", "CP850"); anything else (an empty value, a
// name, 0, a number above 65535) is disregarded and the default holds, since a
// code page the system cannot name is no better than the usual one.
#include <cstdlib>

#include "platform/platform.h"

namespace kx::os {
namespace {

UINT CodePageFromEnvironment(const char *variable, UINT fallback) {
    const char *text = std::getenv(variable);
    if (text == nullptr) return fallback;
    if ((text[0] == 'c' || text[0] == 'C') && (text[1] == 'p' || text[1] == 'P')) text += 2;
    if (*text == '\0') return fallback;
    UINT page = 0;
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9') return fallback;
        page = page * 10 + static_cast<UINT>(*text - '0');
        if (page > 65535) return fallback;
    }
    return page == 0 ? fallback : page;
}

}  // namespace

UINT GetOEMCP() { return CodePageFromEnvironment("KXFILES_OEMCP", 437); }

UINT GetACP() { return CodePageFromEnvironment("KXFILES_ACP", 1252); }

}  // namespace kx::os
