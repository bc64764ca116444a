// The exclusion list of a directory match: name patterns that leave entries out.
#include <cstring>

#include "fs/match.h"
#include "platform/platform.h"

namespace kx {
namespace {

char Folded(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

char *BuildExclusionList(const char *text) {
    size_t length = std::strlen(text);
    auto *list = static_cast<char *>(os::LocalAlloc(os::LPTR, length + 2));
    if (list == nullptr) return nullptr;
    char *out = list;
    for (const char *p = text; *p != '\0'; ++p) {
        if (*p == ' ') continue;
        *out++ = *p == ',' ? '\0' : *p;
    }
    out[0] = '\0';  // ends the last item
    out[1] = '\0';  // the closing empty item
    return list;
}

bool MatchesItem(const char *name, const char *item) {
    if (*name == '\0') return *item == '\0';
    while (*name != '\0') {
        char c = *item;
        if (c == '\0') return false;  // the item ended before the name
        ++item;
        if (c == '*') {
            while (*name != '\0' && *name != '.') ++name;
        } else if (c == '?') {
            if (*name != '.') ++name;
        } else {
            if (Folded(c) != Folded(*name)) return false;
            ++name;
        }
    }
    return *item == '\0';
}

bool MatchesExclusions(const char *name, const char *list) {
    for (const char *item = list; *item != '\0'; item += std::strlen(item) + 1)
        if (MatchesItem(name, item)) return true;
    return false;
}

}  // namespace kx
