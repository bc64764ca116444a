// Name case by the 8.3-form rule: names of that shape are shown in one case,
// other names as they are stored.
#include "core/name_case.h"

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
