// Name case by the 8.3-form rule, and the swap between underscores and spaces
// for names that travel through systems that refuse spaces.
#include "core/boundary.h"
#include "kxfiles.h"
#include "names/names.h"
#include "platform/platform.h"

namespace kx {

bool IsShortForm(const char *name) {
    if (name == nullptr || name[0] == '\0') return true;
    if (name[0] == '.') return false;
    int base = 0, extension = 0, dots = 0;
    for (const char *p = name; *p != '\0'; ++p) {
        if (*p == ' ') return false;
        if (*p == '.') {
            if (++dots > 1) return false;
        } else if (dots == 0) {
            if (++base > 8) return false;
        } else if (++extension > 3) {
            return false;
        }
    }
    return true;
}

char *NormalizeNameCase(char *name, int mode) {
    if (name == nullptr || !IsShortForm(name)) return name;
    if (mode == kCaseLower) os::CharLowerA(name);
    else if (mode == kCaseUpper) os::CharUpperA(name);
    return name;
}

}  // namespace kx

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
