// Directory matching: the entries of one directory that fit a wildcard pattern
// (matched by the system's enumeration) and the match's filters (attribute
// classes, a date window, an exclusion list), one full name at a time, with
// one entry of look-ahead. Entries come in the system's order.
#include <algorithm>
#include <cstring>

#include "core/boundary.h"
#include "core/paths.h"
#include "fs/match.h"
#include "kxfiles.h"
#include "core/name_case.h"

namespace kx {
namespace {

constexpr size_t kMaxPathLength = kPathBufferSize - 1;  // 259 characters

bool IsDotEntry(const char *name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

bool IsVolumeMatch(const MatchRecord *match) { return (match->mask & MATCH_VOLUME) != 0; }

// The date of the found entry; a volume label has none and reports zeros.
FileDateTime EntryDate(const MatchRecord *match) {
    FileDateTime date{};
    if (!IsVolumeMatch(match)) FileTimeToDate(match->findData->ftLastWriteTime, date);
    return date;
}

// Whether the found entry passes the attribute, date and exclusion filters.
bool Accepted(const MatchRecord *match) {
    const os::WIN32_FIND_DATAA &data = *match->findData;
    uint32_t mask = match->mask;
    os::DWORD attributes = data.dwFileAttributes;
    bool directory = (attributes & os::FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!(mask & MATCH_DIRECTORY) && IsDotEntry(data.cFileName)) return false;
    if ((attributes & os::FILE_ATTRIBUTE_HIDDEN) && !(mask & MATCH_HIDDEN)) return false;
    if ((attributes & os::FILE_ATTRIBUTE_SYSTEM) && !(mask & MATCH_SYSTEM)) return false;
    if (directory && !(mask & MATCH_DIRECTORY)) return false;
    if (!directory && (attributes & os::FILE_ATTRIBUTE_READONLY) && !(mask & MATCH_READONLY)) return false;
    if ((mask & MATCH_DIRECTORY) && !(mask & MATCH_NORMAL) && !directory) return false;

    // The volume label has no date: it passes the date filters.
    if ((match->filters & (kFilterNotAfter | kFilterNotBefore)) && !IsVolumeMatch(match)) {
        FileDateTime date = EntryDate(match);
        if ((match->filters & kFilterNotAfter) && CompareDates(date, match->notAfter) > 0) return false;
        if ((match->filters & kFilterNotBefore) && CompareDates(date, match->notBefore) < 0) return false;
    }
    if ((match->filters & kFilterExclusions) && MatchesExclusions(data.cFileName, match->exclusions))
        return false;
    return true;
}

// Moves to the next entry of the enumeration; false, with the system's error
// as the thread's last error, when there is none.
bool Advance(MatchRecord *match) {
    if (match->find == nullptr || match->find == os::INVALID_HANDLE_VALUE) {
        os::SetLastError(os::ERROR_INVALID_HANDLE);
        return false;
    }
    return os::FindNextFileA(match->find, match->findData) != os::FALSE;
}

void FillInfo(const MatchRecord *match, KXMATCHENTRYINFO *info) {
    const os::WIN32_FIND_DATAA &data = *match->findData;
    info->size = data.nFileSizeHigh != 0 ? 0 : data.nFileSizeLow;
    info->date = EntryDate(match);
    constexpr uint32_t kEntryBits = KXATTR_READONLY | KXATTR_HIDDEN | KXATTR_DIRECTORY | KXATTR_DRIVE |
                                    KXATTR_SYSTEM | KXATTR_ARCHIVE;
    uint32_t bits = info->attributes & ~kEntryBits;
    os::DWORD attributes = data.dwFileAttributes;
    if (attributes & os::FILE_ATTRIBUTE_READONLY) bits |= KXATTR_READONLY;
    if (attributes & os::FILE_ATTRIBUTE_HIDDEN) bits |= KXATTR_HIDDEN;
    if (attributes & os::FILE_ATTRIBUTE_DIRECTORY) bits |= KXATTR_DIRECTORY;
    if (attributes & os::FILE_ATTRIBUTE_SYSTEM) bits |= KXATTR_SYSTEM;
    if (attributes & os::FILE_ATTRIBUTE_ARCHIVE) bits |= KXATTR_ARCHIVE;
    info->attributes = bits;
}

// Releases what InitMatch allocated; returns the failure's code.
ErrorCode Discard(MatchRecord *match, ErrorCode code) {
    DoneMatch(match);
    return code;
}

}  // namespace

ErrorCode InitMatch(const char *pattern, uint32_t mask, const FileDateTime *notAfter, const FileDateTime *notBefore,
                    const char *exclusions, MatchRecord *&result) {
    result = nullptr;
    auto *match = static_cast<MatchRecord *>(os::LocalAlloc(os::LPTR, sizeof(MatchRecord)));
    if (match == nullptr) return err::kOutOfMemory;
    match->find = os::INVALID_HANDLE_VALUE;
    match->mask = mask;
    if (notAfter != nullptr) {
        match->notAfter = *notAfter;
        match->filters |= kFilterNotAfter;
    }
    if (notBefore != nullptr) {
        match->notBefore = *notBefore;
        match->filters |= kFilterNotBefore;
    }
    if (exclusions != nullptr && exclusions[0] != '\0') {
        match->exclusions = BuildExclusionList(exclusions);
        if (match->exclusions == nullptr) return Discard(match, err::kOutOfMemory);
        match->filters |= kFilterExclusions;
    }

    // A missing pattern, or one longer than a path buffer holds, names nothing
    // that could be searched: 5, as for a pattern too long for its volume.
    if (pattern == nullptr || std::strlen(pattern) > kMaxPathLength) return Discard(match, err::kInvalidFileName);
    char fileName[kPathBufferSize];
    SplitFileName(pattern, fileName);
    if (std::strlen(fileName) > VolumeNameLimit(pattern)) return Discard(match, err::kInvalidFileName);

    char searchPath[kPathBufferSize];
    if (SplitDirectory(pattern, match->prefix)) {
        std::memcpy(searchPath, pattern, std::strlen(pattern) + 1);
    } else {
        if (CurrentDirectory(match->prefix) != err::kNone ||
            std::strlen(match->prefix) + std::strlen(pattern) > kMaxPathLength)
            return Discard(match, err::kInvalidFileName);
        std::strcpy(searchPath, match->prefix);
        std::strcat(searchPath, pattern);
    }
    match->hasWildcards = std::strpbrk(pattern, "*?") != nullptr ? 1 : 0;

    match->findData = static_cast<os::WIN32_FIND_DATAA *>(os::LocalAlloc(os::LPTR, sizeof(os::WIN32_FIND_DATAA)));
    if (match->findData == nullptr) return Discard(match, err::kOutOfMemory);

    // The first entry. A pattern that finds nothing is not an error: the
    // handle is returned and its first GetMatch returns 0.
    if (mask & MATCH_VOLUME) {
        char root[4] = {searchPath[0], ':', '\\', '\0'};
        match->pending = os::GetVolumeInformationA(root, match->findData->cFileName, kPathBufferSize,
                                                   nullptr, nullptr, nullptr, nullptr, 0)
                             ? 1
                             : 0;
    } else {
        if (VolumeNameLimit(searchPath) <= 12) CutToShortName(searchPath);
        match->find = os::FindFirstFileA(searchPath, match->findData);
        match->pending = match->find != os::INVALID_HANDLE_VALUE ? 1 : 0;
    }

    // A literal pattern comes back as the caller spelled it.
    if (!match->hasWildcards && match->pending) {
        char *found = match->findData->cFileName;
        size_t length = std::min(std::strlen(found), std::strlen(fileName));
        std::memcpy(found, fileName, length);
        found[length] = '\0';
    }
    result = match;
    return err::kNone;
}

ErrorCode GetMatch(MatchRecord *match, char *name, KXMATCHENTRYINFO *info, bool &found) {
    found = false;
    if (match == nullptr) return err::kInvalidHandle;
    if (!match->pending) return err::kNone;
    if (name == nullptr) return err::kInternal;
    size_t prefixLength = std::strlen(match->prefix);
    for (;;) {
        // The candidate: the prefix and the entry's name in the match's case.
        char entry[kPathBufferSize];
        std::memcpy(entry, match->findData->cFileName, kPathBufferSize);
        entry[kMaxPathLength] = '\0';
        NormalizeNameCase(entry, match->caseMode);
        size_t entryLength = std::strlen(entry);
        if (prefixLength + entryLength > kMaxPathLength) {
            if (prefixLength > kMaxPathLength - 1) return err::kNone;
            entryLength = kMaxPathLength - prefixLength;
        }
        std::memcpy(name, match->prefix, prefixLength);
        std::memcpy(name + prefixLength, entry, entryLength);
        name[prefixLength + entryLength] = '\0';

        if (Accepted(match)) break;
        if (!Advance(match)) {
            // The system's "no more entries" has no row of its own: 9.
            match->pending = 0;
            return IsVolumeMatch(match) ? err::kMisc : LastSystemError();
        }
    }
    ++match->returned;
    if (info != nullptr) FillInfo(match, info);
    match->pending = Advance(match) ? 1 : 0;  // look ahead; the end is not an error
    found = true;
    return err::kNone;
}

void DoneMatch(MatchRecord *match) {
    if (match == nullptr) return;
    if (match->exclusions != nullptr) os::LocalFree(match->exclusions);
    if (match->findData != nullptr) os::LocalFree(match->findData);
    if (match->find != nullptr && match->find != os::INVALID_HANDLE_VALUE) os::FindClose(match->find);
    os::LocalFree(match);
}

}  // namespace kx

using namespace kx;

KXEXPORT KXMATCH KXAPI kxFileInitMatch(const char *pattern, uint32_t mask, const KXFILEDATETIME *notAfter,
                                       const KXFILEDATETIME *notBefore, const char *exclusions) {
    return Guarded<KXMATCH>(nullptr, [&] {
        DirectoryLock lock;
        MatchRecord *match = nullptr;
        ErrorCode code = InitMatch(pattern, mask, notAfter, notBefore, exclusions, match);
        return code == err::kNone ? match : Failed<KXMATCH>(code, nullptr);
    });
}

// 0 with nothing recorded is the end of the entries; a null match is 11.
KXEXPORT int32_t KXAPI kxFileGetMatchExtended(KXMATCH match, char *name, KXMATCHENTRYINFO *info) {
    return Guarded<int32_t>(0, [&] {
        bool found = false;
        ErrorCode code = GetMatch(match, name, info, found);
        return code == err::kNone ? (found ? 1 : 0) : Failed<int32_t>(code, 0);
    });
}

KXEXPORT int32_t KXAPI kxFileGetMatch(KXMATCH match, char *name) { return kxFileGetMatchExtended(match, name, nullptr); }

KXEXPORT int32_t KXAPI kxFileGetMatchInfo(KXMATCH match, KXMATCHSUMMARY *summary) {
    return Guarded<int32_t>(0, [&] {
        if (match == nullptr) return Failed<int32_t>(err::kInvalidHandle, 0);
        if (summary == nullptr) return Failed<int32_t>(err::kMisc, 0);
        summary->hasWildcards = static_cast<int32_t>(match->hasWildcards);
        summary->count = static_cast<uint16_t>(match->returned);
        return 1;
    });
}

KXEXPORT void KXAPI kxFileSetMatchCase(KXMATCH match, uint16_t mode) {
    if (match != nullptr) match->caseMode = mode;
}

KXEXPORT void KXAPI kxFileDoneMatch(KXMATCH match) {
    Guarded<int>(0, [&] {
        DoneMatch(match);
        return 0;
    });
}
