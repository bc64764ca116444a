// Host file names made into local names, by dropping characters and cutting
// parts, never by replacing characters. A long-name volume keeps the name
// nearly whole; an 8.3 volume gets a base of at most 8 and an extension of at
// most 3 characters. No host syntax is parsed.
#include <cstring>

#include "core/boundary.h"
#include "core/handle.h"
#include "core/paths.h"
#include "kxfiles.h"
#include "names/names.h"

namespace kx {

bool IsLocalNameCharacter(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c >= 0x80)
        return true;
    return c == ' ' || c == '!' || (c >= 0x23 && c <= 0x29) || c == ',' || c == '-' || c == '@' ||
           (c >= 0x5E && c <= 0x60) || c == '{' || c == '}' || c == '~';
}

namespace {

constexpr uint32_t kShortNameLimit = 12;  // a volume limit this small means 8.3 names

bool KeptOnShortRoute(unsigned char c) { return IsLocalNameCharacter(c) && c != ' '; }

// The file-name part (after the last '\' or ':' that follows the prefix), as
// an offset into the name.
size_t FileNameStart(const char *name) {
    size_t start = static_cast<size_t>(GetRootPrefix(name, nullptr, nullptr));
    for (size_t i = start; name[i] != '\0'; ++i)
        if (name[i] == '\\' || name[i] == ':') start = i + 1;
    return start;
}

// Long route: characters of the set and dots are counted, and copied while the
// count stays below limit - 1.
bool LongName(const char *part, char *out, uint32_t limit) {
    uint32_t counted = 0;
    for (const char *p = part; *p != '\0'; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (!IsLocalNameCharacter(c) && c != '.') continue;
        if (++counted < limit - 1) *out++ = *p;
    }
    *out = '\0';
    return counted > 0;
}

// 8.3 route: a base of at most 8 and an extension of at most 3 characters of
// the set, without spaces.
bool ShortName(const char *part, char *out) {
    while (*part != '\0' && !KeptOnShortRoute(static_cast<unsigned char>(*part))) ++part;
    const char *dot = std::strrchr(part, '.');
    const char *baseEnd = dot != nullptr ? dot : part + std::strlen(part);
    int counted = 0;
    for (const char *p = part; p < baseEnd; ++p) {
        if (!KeptOnShortRoute(static_cast<unsigned char>(*p))) continue;
        if (++counted <= 8) *out++ = *p;
    }
    if (dot == nullptr) {
        *out = '\0';
        return counted > 0;
    }
    *out++ = '.';
    int extension = 0;
    for (const char *p = dot + 1; *p != '\0'; ++p) {
        if (!KeptOnShortRoute(static_cast<unsigned char>(*p))) continue;
        if (++extension <= 3) *out++ = *p;
    }
    *out = '\0';
    return true;  // also when nothing of the extension survived: the name ends in '.'
}

// The name with exactly two dots and no '/' loses what follows its last dot.
void DropLastExtension(char *hostName) {
    if (std::strchr(hostName, '/') != nullptr) return;
    int dots = 0;
    for (const char *p = hostName; *p != '\0'; ++p) dots += *p == '.';
    if (dots == 2) *std::strrchr(hostName, '.') = '\0';
}

}  // namespace

// The local form of a host name into `out` (260 bytes); 5 when nothing of the
// name survives, a pointer is null, or the host name has 260 characters or
// more. The host name is shortened in place only when LOCAL_NAME_DROP_LAST_EXT
// applies.
ErrorCode MakeLocalName(char *hostName, char *out, uint32_t flags) {
    if (hostName == nullptr || out == nullptr || std::strlen(hostName) >= kPathBufferSize)
        return err::kInvalidFileName;
    uint32_t limit = VolumeNameLimit(hostName);
    bool shortRoute = limit <= kShortNameLimit || (flags & LOCAL_NAME_FORCE_83) != 0;
    if (shortRoute && (flags & LOCAL_NAME_DROP_LAST_EXT) != 0) DropLastExtension(hostName);

    size_t start = FileNameStart(hostName);
    std::memmove(out, hostName, start);
    bool made = shortRoute ? ShortName(hostName + start, out + start)
                           : LongName(hostName + start, out + start, limit);
    return made ? err::kNone : err::kInvalidFileName;
}

}  // namespace kx

using namespace kx;

KXEXPORT int32_t KXAPI kxFileMakeLocalName(const char *hostName, char *out) {
    return Guarded<int32_t>(0, [&] {
        DirectoryLock lock;
        // Without the flags the host name is not changed: work on a copy.
        char copy[kPathBufferSize];
        if (hostName == nullptr || std::strlen(hostName) >= kPathBufferSize)
            return Failed<int32_t>(err::kInvalidFileName, 0);
        std::memcpy(copy, hostName, std::strlen(hostName) + 1);
        return ExportResult(MakeLocalName(copy, out, 0));
    });
}

KXEXPORT int32_t KXAPI kxFileMakeLocalName2(char *hostName, char *out, uint32_t flags) {
    return Guarded<int32_t>(0, [&] {
        DirectoryLock lock;
        return ExportResult(MakeLocalName(hostName, out, flags));
    });
}
