// Names that do not exist yet, for received files that must not overwrite a
// file of the same name: the local form of the host name, then, while that is
// taken, the same name with a three-digit number worked into the end of its
// base (quarterly report000.txt, README00.TXT), shortening the base where the
// volume's limits or the 8.3 form require it.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/boundary.h"
#include "core/handle.h"
#include "core/paths.h"
#include "fs/fs.h"
#include "kxfiles.h"
#include "names/names.h"

namespace kx {
namespace {

constexpr size_t kMaxPathLength = kPathBufferSize - 1;  // 259 characters
constexpr int kLastNumber = 999;

struct NameParts {
    std::string base;       // up to the last '.' (the whole name when it has none but a leading one)
    std::string extension;  // from the last '.' on, dot included; may be empty
};

NameParts Split(const std::string &name) {
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) return {name, ""};
    return {name.substr(0, dot), name.substr(dot)};
}

// The candidate for number n, with `room` characters for base and number.
std::string Candidate(const NameParts &parts, int n, long room) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%d", n);
    std::string number = digits;
    std::string suffix = std::string(3 - number.size(), '0') + number;
    long b = static_cast<long>(parts.base.size());
    long g = static_cast<long>(number.size());
    if (b + 3 <= room) return parts.base + suffix + parts.extension;
    long d = b + g - room;
    if (d == 0) return parts.base + number + parts.extension;
    if (d < 0) return parts.base + suffix.substr(static_cast<size_t>(3 - (room - b))) + parts.extension;
    if (g < b) {
        // For a name that exists, room - digits stays above 0 (the name fits
        // its limit, so room >= base length > digits); the base never vanishes.
        long keep = std::max(room - g, 1L);
        return parts.base.substr(0, static_cast<size_t>(keep)) + number + parts.extension;
    }
    size_t extensionKept = parts.extension.size() > static_cast<size_t>(g)
                               ? parts.extension.size() - static_cast<size_t>(g)
                               : 0;
    return parts.base.substr(0, 1) + number + parts.extension.substr(0, extensionKept);
}

// kNone when `out` holds a numbered name that does not exist. When the local
// form of the host name is free, `out` holds it and the result is what the
// existence test gave for it (the system's not-found error, say).
ErrorCode MakeNewName(const char *hostName, char *out) {
    char host[kPathBufferSize];
    char local[kPathBufferSize];
    if (hostName == nullptr || out == nullptr || std::strlen(hostName) > kMaxPathLength) return err::kInvalidFileName;
    std::memcpy(host, hostName, std::strlen(hostName) + 1);
    ErrorCode code = MakeLocalName(host, local, 0);
    if (code != err::kNone) return code;
    std::memcpy(out, local, std::strlen(local) + 1);
    code = FindName(out);
    if (code != err::kNone) return code;

    char directory[kPathBufferSize] = "";
    char fileName[kPathBufferSize];
    SplitDirectory(local, directory);
    SplitFileName(local, fileName);
    size_t directoryLength = std::strlen(directory);

    NameParts parts = Split(fileName);
    long room = 8;  // numbered in 8.3 style
    if (!IsShortForm(fileName)) {
        long limit = std::min<long>(static_cast<long>(kMaxPathLength - directoryLength),
                                    static_cast<long>(VolumeNameLimit(hostName)));
        if (limit != 0) room = limit - static_cast<long>(parts.extension.size());
    }

    for (int n = 0; n <= kLastNumber; ++n) {
        std::string candidate = Candidate(parts, n, room);
        if (directoryLength + candidate.size() > kMaxPathLength) return err::kNameTooLong;
        std::memcpy(out + directoryLength, candidate.c_str(), candidate.size() + 1);
        code = FindName(out);
        if (code == err::kNone) continue;
        // A candidate that the name rules refuse as too long (its full name
        // leaves no room in a path buffer) could not be created either: it
        // ends the search with 18, as a candidate over 259 characters does.
        return code == err::kNameTooLong ? code : err::kNone;
    }
    return err::kFileExists;
}

}  // namespace
}  // namespace kx

using namespace kx;

KXEXPORT int32_t KXAPI kxFileMakeNewName(const char *hostName, char *out) {
    return Guarded<int32_t>(0, [&] {
        DirectoryLock lock;
        return ExportResult(MakeNewName(hostName, out));
    });
}

KXEXPORT int32_t KXAPI kxFileMakeName(const char *name, char *out) {
    return Guarded<int32_t>(0, [&] {
        DirectoryLock lock;
        if (name == nullptr || out == nullptr) return 0;
        std::memset(out, 0, kPathBufferSize);
        size_t length = std::strlen(name);
        if (length >= kPathBufferSize) return 0;
        std::memcpy(out, name, length);
        return CheckFileName(out) == err::kNone ? 1 : 0;  // records no error
    });
}
