// A directory path rewritten with the letter case its components have on
// disk: components of 8.3 form take the case mode's case, the others the case
// they are stored in, found by a directory match in their parent.
#include <cstring>
#include <string>

#include "core/boundary.h"
#include "core/paths.h"
#include "fs/match.h"
#include "kxfiles.h"
#include "core/name_case.h"
#include "platform/platform.h"

namespace kx {
namespace {

// The stored spelling of `component` in `directory` (a directory's entries,
// searched with "\*.*" for directories only); false when there is none or
// the directory cannot be listed.
bool StoredSpelling(const std::string &directory, const std::string &component, char *spelling) {
    std::string pattern = directory;
    pattern.append("\\*.*");
    if (pattern.size() >= kPathBufferSize) return false;
    MatchRecord *match = nullptr;
    if (InitMatch(pattern.c_str(), MATCH_DIRECTORY, nullptr, nullptr, nullptr, match) != err::kNone) return false;
    match->caseMode = kCaseAsStored;
    bool found = false;
    char name[kPathBufferSize];
    size_t prefixLength = std::strlen(match->prefix);
    bool more = false;
    while (!found && GetMatch(match, name, nullptr, more) == err::kNone && more) {
        if (os::lstrcmpiA(name + prefixLength, component.c_str()) == 0 &&
            std::strlen(name + prefixLength) == component.size()) {
            std::memcpy(spelling, name + prefixLength, component.size());
            found = true;
        }
    }
    DoneMatch(match);
    return found;
}

void CaseText(char *text, size_t length, int mode) {
    if (mode != kCaseLower && mode != kCaseUpper) return;
    std::string part(text, length);
    if (mode == kCaseLower) os::CharLowerA(part.data());
    else os::CharUpperA(part.data());
    std::memcpy(text, part.data(), length);
}

ErrorCode CorrectDirectoryCase(char *path, int32_t keepCurrentDirectory, int mode) {
    if (path == nullptr) return err::kMisc;
    char saved[kPathBufferSize];
    if (!keepCurrentDirectory) {
        ErrorCode code = CurrentDirectory(saved);
        if (code != err::kNone) return code;
    }

    char root[kPathBufferSize];
    size_t prefix = static_cast<size_t>(GetRootPrefix(path, root, nullptr));
    CaseText(path, prefix, mode);
    char *p = path + prefix;
    if (*p == '\\') ++p;

    std::string directory = root;  // where the next component is looked up
    while (*p != '\0') {
        char *end = std::strchr(p, '\\');
        size_t length = end != nullptr ? static_cast<size_t>(end - p) : std::strlen(p);
        std::string component(p, length);
        if ((mode == kCaseLower || mode == kCaseUpper) && IsShortForm(component.c_str())) {
            CaseText(p, length, mode);
        } else {
            // A component not found on disk stays as it is.
            StoredSpelling(directory, component, p);
        }
        directory.push_back('\\');
        directory.append(p, length);
        if (end == nullptr) break;
        p = end + 1;
    }

    // The match and the name checks may have moved the current directory.
    if (!keepCurrentDirectory) EnterDirectory(saved);
    return err::kNone;
}

}  // namespace
}  // namespace kx

KXEXPORT int32_t KXAPI kxFileCorrectDirectoryCase(char *path, int32_t keepCurrentDirectory, uint16_t mode) {
    return kx::Guarded<int32_t>(0, [&] {
        kx::DirectoryLock lock;
        return kx::ExportResult(kx::CorrectDirectoryCase(path, keepCurrentDirectory, mode));
    });
}
