// Directory enumeration with Windows wildcards: FindFirstFileA, FindNextFileA
// and FindClose over opendir/readdir. The pattern's directory is resolved
// through the drive table; its last component is matched against each entry
// without regard to case, by the rules of the Windows command line:
//   *      any run of characters; "*.*" and "*" match every name, dots or not;
//          a '*' followed by '.' stops before the name's last dot ("*.txt")
//   ?      one character, or none at a '.' or at the end of the name
//   .      a dot, or nothing at the end of the name when only wildcards follow
//          ("name.*" matches "name", "*." matches names without a dot)
// A directory other than a volume's root lists "." and ".." first, as Windows
// does; a root lists neither. Entries follow in the order the system gives.
// Names that Windows could not show (a character it refuses, 260 characters or
// more) are passed over. No short (8.3) alias is made: cAlternateFileName stays
// empty, as Windows leaves it for names that need none.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "platform/posix/names.h"
#include "platform/posix/system_error.h"

namespace kx::os {
namespace {

using posix::Fail;

struct FindState {
    DIR *dir;             // the open directory
    std::string pattern;  // the last component of the pattern
    bool matchAll;        // "*" or "*.*"
    int dots;             // "." and ".." still to list: 2, 1 or 0
};

// Upper case in the ANSI code page, for comparing without regard to case.
const unsigned char *UpperTable() {
    static const auto *table = [] {
        static unsigned char upper[256];
        for (int c = 0; c < 256; ++c) {
            char text[2] = {static_cast<char>(c), '\0'};
            if (c != 0) CharUpperA(text);
            upper[c] = static_cast<unsigned char>(text[0]);
        }
        return upper;
    }();
    return table;
}

bool OnlyWildcards(const char *p) {
    for (; *p; ++p)
        if (*p != '*' && *p != '?' && *p != '.') return false;
    return true;
}

// Matches one name against the pattern in time proportional to the pattern's
// length times the name's: each (pattern place, name place) pair is decided
// once and remembered, so that runs of stars cannot make it try every split
// of the name again and again.
class WildcardMatch {
public:
    WildcardMatch(const std::string &pattern, const char *name, const unsigned char *upper)
        : pattern_(pattern.c_str()),
          name_(name),
          upper_(upper),
          patternLength_(pattern.size()),
          nameLength_(std::strlen(name)),
          lastDot_(LastDot(name, nameLength_)),
          known_((patternLength_ + 1) * (nameLength_ + 1), kUnknown) {}

    bool operator()() { return At(0, 0); }

private:
    enum : uint8_t { kUnknown, kNo, kYes };

    static size_t LastDot(const char *name, size_t length) {
        const char *dot = std::strrchr(name, '.');
        return dot != nullptr ? static_cast<size_t>(dot - name) : length;
    }

    // Whether the pattern from `p` on matches the name from `n` on.
    bool At(size_t p, size_t n) {
        uint8_t &known = known_[p * (nameLength_ + 1) + n];
        if (known == kUnknown) known = Decide(p, n) ? kYes : kNo;
        return known == kYes;
    }

    bool Decide(size_t p, size_t n) {
        for (;;) {
            const char c = pattern_[p];
            if (c == '\0') return n == nameLength_;
            if (c == '*') {
                if (pattern_[p + 1] == '\0') return true;
                // The star takes nothing here, or one more character and is
                // tried again. A star before a dot stops at the name's last
                // dot, when that dot is still ahead.
                size_t limit = nameLength_;
                if (pattern_[p + 1] == '.' && lastDot_ < nameLength_ && lastDot_ >= n) limit = lastDot_;
                return At(p + 1, n) || (n < limit && At(p, n + 1));
            }
            if (c == '?') {
                ++p;
                if (n < nameLength_ && name_[n] != '.') ++n;
                continue;
            }
            if (c == '.' && n == nameLength_) return OnlyWildcards(pattern_ + p + 1);
            if (upper_[static_cast<unsigned char>(c)] != upper_[static_cast<unsigned char>(name_[n])]) return false;
            ++p;
            ++n;
        }
    }

    const char *pattern_;
    const char *name_;
    const unsigned char *upper_;
    size_t patternLength_;
    size_t nameLength_;
    size_t lastDot_;  // the name's last dot, or its length without one
    std::vector<uint8_t> known_;
};

bool Matches(const std::string &pattern, const char *name, const unsigned char *upper) {
    return WildcardMatch(pattern, name, upper)();
}

bool Representable(const char *name) {
    size_t length = 0;
    for (const char *p = name; *p; ++p, ++length)
        if (static_cast<unsigned char>(*p) < 32 || std::strchr("\\:*?\"<>|", *p) != nullptr) return false;
    return length > 0 && length < MAX_PATH;
}

// 100-nanosecond intervals since 1601-01-01.
FILETIME ToFileTime(const struct timespec &time) {
    constexpr int64_t kEpochDifference = 116444736000000000ll;
    uint64_t value = static_cast<uint64_t>(static_cast<int64_t>(time.tv_sec) * 10000000ll +
                                           time.tv_nsec / 100 + kEpochDifference);
    return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

void Fill(const char *name, const struct stat &info, WIN32_FIND_DATAA *data) {
    *data = WIN32_FIND_DATAA{};
    data->dwFileAttributes = posix::AttributesOf(name, info);
    data->ftCreationTime = ToFileTime(info.st_ctim);
    data->ftLastAccessTime = ToFileTime(info.st_atim);
    data->ftLastWriteTime = ToFileTime(info.st_mtim);
    if (!S_ISDIR(info.st_mode)) {
        uint64_t size = static_cast<uint64_t>(info.st_size);
        data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
        data->nFileSizeLow = static_cast<DWORD>(size);
    }
    std::memcpy(data->cFileName, name, std::strlen(name) + 1);
}

// The next entry that matches, into `data`; false at the end.
bool Next(FindState &state, WIN32_FIND_DATAA *data) {
    const unsigned char *upper = UpperTable();
    int descriptor = ::dirfd(state.dir);
    struct stat info;
    while (state.dots > 0) {
        const char *name = state.dots == 2 ? "." : "..";
        --state.dots;
        if ((state.matchAll || Matches(state.pattern, name, upper)) &&
            ::fstatat(descriptor, name, &info, 0) == 0) {
            Fill(name, info, data);
            return true;
        }
    }
    while (const dirent *entry = ::readdir(state.dir)) {
        const char *name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        if (!Representable(name)) continue;
        if (!state.matchAll && !Matches(state.pattern, name, upper)) continue;
        if (::fstatat(descriptor, name, &info, 0) != 0 &&
            ::fstatat(descriptor, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue;  // gone since it was listed
        Fill(name, info, data);
        return true;
    }
    return false;
}

}  // namespace

HANDLE FindFirstFileA(const char *pattern, WIN32_FIND_DATAA *data) {
    if (pattern == nullptr || data == nullptr) return Fail(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
    size_t length = std::strlen(pattern);
    if (length >= MAX_PATH) return Fail(ERROR_FILENAME_EXCED_RANGE, INVALID_HANDLE_VALUE);
    // The last component follows the last separator, or the colon of a drive.
    size_t start = length;
    while (start > 0 && pattern[start - 1] != '\\' && pattern[start - 1] != '/') --start;
    if (start == 0 && length >= 2 && pattern[1] == ':') start = 2;
    std::string directory(pattern, start);
    std::string last(pattern + start);
    if (last.empty()) return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    for (unsigned char c : last)
        if (c < 32 || std::strchr("\\:\"<>|", c) != nullptr) return Fail(ERROR_INVALID_NAME, INVALID_HANDLE_VALUE);

    posix::Resolved where;
    DWORD error = posix::Resolve(directory.empty() ? "." : directory.c_str(), where);
    if (error != 0) return Fail(error, INVALID_HANDLE_VALUE);
    if (!where.exists || !where.isDirectory) return Fail(ERROR_PATH_NOT_FOUND, INVALID_HANDLE_VALUE);

    DIR *dir = ::opendir(where.place.PosixPath().c_str());
    if (dir == nullptr) {
        posix::SetLastErrorFromErrno(errno);
        return INVALID_HANDLE_VALUE;
    }
    auto *state = new (std::nothrow) FindState{dir, last, last == "*" || last == "*.*",
                                               where.place.components.empty() ? 0 : 2};
    if (state == nullptr) {
        ::closedir(dir);
        return Fail(ERROR_NOT_ENOUGH_MEMORY, INVALID_HANDLE_VALUE);
    }
    if (!Next(*state, data)) {
        ::closedir(dir);
        delete state;
        return Fail(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    }
    return state;
}

BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA *data) {
    if (find == nullptr || find == INVALID_HANDLE_VALUE) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (data == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (!Next(*static_cast<FindState *>(find), data)) return Fail(ERROR_NO_MORE_FILES, FALSE);
    return TRUE;
}

BOOL FindClose(HANDLE find) {
    if (find == nullptr || find == INVALID_HANDLE_VALUE) return Fail(ERROR_INVALID_HANDLE, FALSE);
    auto *state = static_cast<FindState *>(find);
    ::closedir(state->dir);
    delete state;
    return TRUE;
}

}  // namespace kx::os
