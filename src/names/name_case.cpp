// The exported name case, and the swap between underscores and spaces for
// names that travel through systems that refuse spaces.
#include "core/boundary.h"
#include "kxfiles.h"
#include "core/name_case.h"
#include "names/names.h"
#include "platform/platform.h"

using namespace kx;

namespace {

char *Swap(char *text, char from, char to) {
    if (text == nullptr) return text;
    for (char *p = text; *p != '\0'; ++p)
        if (*p == from) *p = to;
    return text;
}

}  // namespace

KXEXPORT char *KXAPI kxFileNormalizeFilenameCase(char *name, int32_t mode) {
    return Guarded<char *>(name, [&] { return NormalizeNameCase(name, mode); });
}

KXEXPORT char *KXAPI kxFileUnderscoresToSpaces(char *text) {
    return Guarded<char *>(text, [&] { return Swap(text, '_', ' '); });
}

KXEXPORT char *KXAPI kxFileSpacesToUnderscores(char *text) {
    return Guarded<char *>(text, [&] { return Swap(text, ' ', '_'); });
}
