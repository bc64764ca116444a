// Directory matching: the record behind a KXMATCH, the exclusion list of name
// patterns, and the enumeration that the directory-case correction builds on.
#pragma once

#include <cstdint>

#include "core/handle.h"
#include "fs/fs.h"
#include "platform/platform.h"

namespace kx {

// Bits of KxMatchRecord::filters.
constexpr uint32_t kFilterNotAfter = 0x1;    // a not-after date is set
constexpr uint32_t kFilterNotBefore = 0x2;   // a not-before date is set
constexpr uint32_t kFilterExclusions = 0x4;  // an exclusion list is set

}  // namespace kx

// The public header's opaque KXMATCH points to this record.
struct KxMatchRecord {
    uint32_t filters;                         // kFilter* bits
    uint32_t mask;                            // the MATCH_* mask given to kxFileInitMatch
    uint32_t pending;                         // 1 while a found entry waits in findData
    uint32_t hasWildcards;                    // 1 if the pattern held '*' or '?'
    uint32_t returned;                        // entries returned so far
    KXFILEDATETIME notAfter;                  // upper bound of the entry date
    KXFILEDATETIME notBefore;                 // lower bound of the entry date
    char *exclusions;                         // owned ExclusionList, or null
    char prefix[kx::kPathBufferSize];         // the pattern's directory part, ending in a separator (or "C:")
    kx::os::WIN32_FIND_DATAA *findData;       // owned; the entry found
    kx::os::HANDLE find;                      // the system enumeration, or INVALID_HANDLE_VALUE
    uint16_t caseMode;                        // NameCaseMode of returned names; 0 at creation
};

namespace kx {

using MatchRecord = ::KxMatchRecord;

// The ExclusionList of a comma-separated text: spaces dropped, each comma
// ending an item, closed by an empty item. Allocated from local memory (the
// text's length plus 2 bytes); null when memory runs out.
char *BuildExclusionList(const char *text);

// Whether the name matches one item (by the rules of exclusion items: '*' never
// crosses a dot, '?' takes one character but none at a dot or at the end, other
// characters compare with ASCII letters folded).
bool MatchesItem(const char *name, const char *item);

// Whether the name matches any item of the list, up to its first empty item.
bool MatchesExclusions(const char *name, const char *list);

// kxFileInitMatch, kxFileGetMatchExtended and kxFileDoneMatch for the library's
// own use. InitMatch gives the new match in `result`; GetMatch sets `found`
// when it gave an entry (kNone without one is the end of the entries).
ErrorCode InitMatch(const char *pattern, uint32_t mask, const FileDateTime *notAfter, const FileDateTime *notBefore,
                    const char *exclusions, MatchRecord *&result);
ErrorCode GetMatch(MatchRecord *match, char *name, KXMATCHENTRYINFO *info, bool &found);
void DoneMatch(MatchRecord *match);

}  // namespace kx
