#include "core/paths.h"

#include <algorithm>
#include <cstring>

#include "core/boundary.h"
#include "core/handle.h"
#include "kxfiles.h"
#include "platform/platform.h"

namespace kx {

namespace {
std::recursive_mutex &CurrentDirectoryMutex() {
    static std::recursive_mutex mutex;
    return mutex;
}
}  // namespace

DirectoryLock::DirectoryLock() : lock_(CurrentDirectoryMutex()) {}
namespace {

constexpr size_t kMaxPathLength = kPathBufferSize - 1;  // 259 characters

bool IsSplitSeparator(char c) { return c == '\\' || c == '/' || c == ':'; }

bool IsShareSeparator(char c) { return c == '\\' || c == '/'; }

// Copies at most 259 characters and terminates.
void CopyPath(char *out, const char *text, size_t length) {
    if (length > kMaxPathLength) length = kMaxPathLength;
    std::memmove(out, text, length);
    out[length] = '\0';
}

// Where the last component of the path begins: after the last separator that
// follows the prefix, else right after the prefix.
size_t NameStart(const char *path) {
    size_t start = static_cast<size_t>(GetRootPrefix(path, nullptr, nullptr));
    size_t name = start;
    for (size_t i = start; path[i] != '\0'; ++i)
        if (IsSplitSeparator(path[i])) name = i + 1;
    return name;
}

// The root of the current directory: "C:" or "\\server\share"; empty when the
// current directory cannot be read.
void CurrentRoot(char *root) {
    char current[kPathBufferSize];
    os::DWORD length = os::GetCurrentDirectoryA(kPathBufferSize, current);
    root[0] = '\0';
    if (length == 0 || length >= kPathBufferSize) return;
    if (current[1] == ':') {
        CopyPath(root, current, 2);
        return;
    }
    size_t backslashes = 0, i = 0;
    for (; current[i] != '\0'; ++i)
        if (current[i] == '\\' && ++backslashes == 4) break;
    CopyPath(root, current, i);
}

// The drive letter whose remote connection is `share`, or 0.
char DriveOfShare(const char *share) {
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        char root[4] = {letter, ':', '\\', '\0'};
        if (os::GetDriveTypeA(root) != os::DRIVE_REMOTE) continue;
        char drive[3] = {letter, ':', '\0'};
        char connection[kPathBufferSize];
        os::DWORD length = kPathBufferSize;
        if (os::WNetGetConnectionA(drive, connection, &length) != os::ERROR_SUCCESS) continue;
        if (os::lstrcmpiA(connection, share) == 0) return letter;
    }
    return 0;
}

// A probe enters a directory for a moment and then puts back both the
// process's current directory and the entered drive's own one: checking
// D:..\f from C:\work must leave D:'s current directory where it was, for
// the next drive-relative name.
struct Probe {
    char process[kPathBufferSize];  // the process's current directory
    char drive[kPathBufferSize];    // the entered drive's own, when another drive; else empty
};

// 0, or the mapped system error; on failure nothing is left changed.
ErrorCode EnterProbe(const char *dir, Probe &probe) {
    probe.drive[0] = '\0';
    os::DWORD length = os::GetCurrentDirectoryA(kPathBufferSize, probe.process);
    if (length == 0) return LastSystemError();
    if (length >= kPathBufferSize) return err::kInvalidPath;
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    bool otherDrive = dir[0] != '\0' && dir[1] == ':' && probe.process[1] == ':' &&
                      upper(dir[0]) != upper(probe.process[0]);
    if (otherDrive) {
        const char drive[3] = {dir[0], ':', '\0'};
        if (os::SetCurrentDirectoryA(drive)) {
            length = os::GetCurrentDirectoryA(kPathBufferSize, probe.drive);
            if (length == 0 || length >= kPathBufferSize) probe.drive[0] = '\0';
        }
    }
    if (os::SetCurrentDirectoryA(dir)) return err::kNone;
    ErrorCode error = LastSystemError();
    os::SetCurrentDirectoryA(probe.process);
    return error;
}

// 0, or the mapped system error when the process's directory cannot be entered again.
ErrorCode LeaveProbe(const Probe &probe) {
    if (probe.drive[0] != '\0') os::SetCurrentDirectoryA(probe.drive);
    return os::SetCurrentDirectoryA(probe.process) ? err::kNone : LastSystemError();
}

// BuildFullName, telling also whether it failed because the name grew too long.
int BuildFullNameChecked(const char *path, char *out, bool &tooLong) {
    tooLong = false;
    if (path == nullptr || out == nullptr) return 0;
    if (path[0] == '\0') return CurrentDirectory(out) == err::kNone ? 1 : 0;

    out[0] = '\0';
    size_t prefix = static_cast<size_t>(GetRootPrefix(path, out, nullptr));
    // GetRootPrefix looks at nothing shorter than two characters; a lone "\"
    // still stands for the current drive's root.
    if (path[1] == '\0') CurrentRoot(out);
    const char *p = path + prefix;
    if (*p == '\\') {
        size_t length = std::strlen(out);
        if (length + 1 > kMaxPathLength) {
            tooLong = true;
            return 0;
        }
        out[length] = '\\';
        out[length + 1] = '\0';
        ++p;
    } else {
        if (prefix == 0) out[0] = '\0';
        char directory[kPathBufferSize];
        CopyPath(directory, out, std::strlen(out));
        if (ResolveDirectory(directory, out) != err::kNone) return 0;
    }

    size_t length = std::strlen(out);
    while (length > 1 && out[length - 1] == '\\' && out[length - 2] == '\\') out[--length] = '\0';
    if (length == 0 || out[length - 1] != '\\') {
        if (length + 1 > kMaxPathLength) {
            tooLong = true;
            return 0;
        }
        out[length++] = '\\';
        out[length] = '\0';
    }
    size_t rootLength = static_cast<size_t>(GetRootPrefix(out, nullptr, nullptr));

    while (*p != '\0') {
        const char *end = p;
        while (*end != '\0' && *end != '\\') ++end;
        size_t size = static_cast<size_t>(end - p);
        if (size == 2 && p[0] == '.' && p[1] == '.') {
            // A ".." at the root stays at the root, as the system's own name
            // resolution does: from C:\ the name ..\x.txt is C:\x.txt.
            if (length <= rootLength + 1) {
                p = *end == '\\' ? end + 1 : end;
                continue;
            }
            size_t cut = length - 1;
            while (cut > rootLength + 1 && out[cut - 1] != '\\') --cut;
            length = cut;
            out[length] = '\0';
        } else if (!(size == 1 && p[0] == '.')) {
            if (length + size + 1 > kMaxPathLength) {
                tooLong = true;
                return 0;
            }
            std::memcpy(out + length, p, size);
            length += size;
            out[length++] = '\\';
            out[length] = '\0';
        }
        p = *end == '\\' ? end + 1 : end;
    }

    if (length > rootLength + 1) out[--length] = '\0';
    return 1;
}

}  // namespace

int GetRootPrefix(const char *path, char *root, char *drivePath) {
    if (path == nullptr || path[0] == '\0' || path[1] == '\0') return 0;
    if (path[1] == ':') {
        if (root) CopyPath(root, path, 2);
        return 2;
    }
    if (path[0] == '\\' && path[1] == '\\') {
        size_t backslashes = 0, n = 0;
        for (; path[n] != '\0'; ++n)
            if (path[n] == '\\' && ++backslashes == 4) break;
        // A share name that cannot fit a path buffer is no prefix at all.
        if (backslashes < 3 || n > kMaxPathLength) {
            if (root) root[0] = '\0';
            return 0;
        }
        if (root == nullptr && drivePath == nullptr) return static_cast<int>(n);
        char share[kPathBufferSize];
        CopyPath(share, path, n);
        char letter = DriveOfShare(share);
        if (letter != 0) {
            char drive[3] = {static_cast<char>(letter - 'A' + 'a'), ':', '\0'};
            if (root) CopyPath(root, drive, 2);
            if (drivePath) {
                char rewritten[kPathBufferSize + 2];
                std::memcpy(rewritten, drive, 2);
                CopyPath(rewritten + 2, path + n, std::strlen(path + n));
                CopyPath(drivePath, rewritten, std::strlen(rewritten));
            }
        } else if (root) {
            CopyPath(root, share, n);
        }
        return static_cast<int>(n);
    }
    if (root) CurrentRoot(root);
    return 0;
}

int SplitFileName(const char *path, char *out) {
    if (path == nullptr || out == nullptr) return 0;
    const char *name = path + NameStart(path);
    CopyPath(out, name, std::strlen(name));
    return 1;
}

int SplitDirectory(const char *path, char *out) {
    if (path == nullptr || out == nullptr) return 0;
    size_t name = NameStart(path);
    if (name == 0) return 0;
    CopyPath(out, path, name);
    return 1;
}

int GetShareRoot(const char *path, char *out) {
    if (out == nullptr) return 0;
    out[0] = '\0';
    if (path == nullptr || !IsShareSeparator(path[0]) || !IsShareSeparator(path[1])) return 0;
    size_t separators = 0, i = 2;
    for (; path[i] != '\0'; ++i)
        if (IsShareSeparator(path[i]) && ++separators == 2) break;
    if (separators < 2 || i + 1 > kMaxPathLength) return 0;
    CopyPath(out, path, i + 1);
    return 1;
}

// A volume that cannot be asked (a share whose server does not answer the
// volume query) is taken as a long-name volume: judging its names by the 8.3
// rules would refuse valid long names and cut new ones to 8 characters.
uint32_t VolumeNameLimit(const char *path) {
    char root[kPathBufferSize];
    const char *volume = nullptr;  // null: the current directory's volume
    if (path != nullptr && path[0] != '\0' && path[1] == ':') {
        root[0] = path[0];
        std::memcpy(root + 1, ":\\", 3);
        volume = root;
    } else if (path != nullptr && GetShareRoot(path, root)) {
        volume = root;
    }
    os::DWORD limit = 0;
    if (!os::GetVolumeInformationA(volume, nullptr, 0, nullptr, &limit, nullptr, nullptr, 0))
        return kUnknownVolumeLimit;
    return limit;
}

ErrorCode CurrentDirectory(char *out) { return ResolveDirectory(nullptr, out); }

ErrorCode ResolveDirectory(const char *dir, char *out) {
    char current[kPathBufferSize];
    os::DWORD length;
    if (dir == nullptr || dir[0] == '\0') {
        length = os::GetCurrentDirectoryA(kPathBufferSize, current);
        if (length == 0) return LastSystemError();
        if (length >= kPathBufferSize) return err::kInvalidPath;
    } else {
        Probe probe;
        ErrorCode error = EnterProbe(dir, probe);
        if (error != err::kNone) return error;
        length = os::GetCurrentDirectoryA(kPathBufferSize, current);
        ErrorCode readError = length == 0 ? LastSystemError() : err::kNone;
        LeaveProbe(probe);
        if (readError != err::kNone) return readError;
        if (length >= kPathBufferSize) return err::kInvalidPath;
    }
    // A current directory of 259 characters leaves no room for the final
    // backslash: such a directory cannot hold a name, so it is too long.
    if (current[length - 1] != '\\') {
        if (length + 1 > kMaxPathLength) return err::kNameTooLong;
        current[length++] = '\\';
        current[length] = '\0';
    }
    std::memcpy(out, current, length + 1);
    return err::kNone;
}

ErrorCode EnterDirectory(const char *dir) {
    return os::SetCurrentDirectoryA(dir) ? err::kNone : LastSystemError();
}

ErrorCode CheckShortName(const char *name) {
    if (name == nullptr) return err::kInvalidFileName;
    const char *part = name;
    for (const char *p = name; *p != '\0'; ++p)
        if (IsSplitSeparator(*p)) part = p + 1;
    size_t base = 0;
    while (part[base] != '\0' && part[base] != '.') ++base;
    if (base > 8) return err::kNameTooLong;
    if (part[base] == '\0') return base == 0 ? err::kInvalidFileName : err::kNone;
    return std::strlen(part + base + 1) > 3 ? err::kExtensionTooLong : err::kNone;
}

ErrorCode CheckFileName(const char *path) {
    if (path == nullptr || path[0] == '\0') return err::kInvalidFileName;
    // No name of 260 characters or more fits a path buffer, whatever the volume.
    if (std::strlen(path) > kMaxPathLength) return err::kNameTooLong;

    char last[kPathBufferSize];
    SplitFileName(path, last);
    char directory[kPathBufferSize];
    Probe probe;
    bool entered = false;
    if (SplitDirectory(path, directory)) {
        if (EnterProbe(directory, probe) != err::kNone) return err::kInvalidPath;
        entered = true;
    }
    uint32_t limit = VolumeNameLimit(last);
    if (entered && LeaveProbe(probe) != err::kNone) return err::kInvalidPath;

    if (limit <= 12) return CheckShortName(last);
    if (std::strlen(last) > limit) return err::kNameTooLong;
    char full[kPathBufferSize];
    bool tooLong = false;
    if (!BuildFullNameChecked(path, full, tooLong)) {
        if (tooLong) return err::kNameTooLong;
        if (last[0] == '\0') return err::kInvalidFileName;
    }
    return err::kNone;
}

ErrorCode CutToShortName(char *path) {
    if (path == nullptr) return err::kInvalidFileName;
    char component[kPathBufferSize];
    SplitFileName(path, component);
    if (!SplitDirectory(path, path)) path[0] = '\0';
    size_t base = 0;
    while (component[base] != '\0' && component[base] != '.') ++base;
    if (base >= 9) component[8] = '\0';
    size_t length = std::strlen(path);
    CopyPath(path + length, component, std::min(std::strlen(component), kMaxPathLength - length));
    return err::kNone;
}

int BuildFullName(const char *path, char *out) {
    bool tooLong = false;
    return BuildFullNameChecked(path, out, tooLong);
}

}  // namespace kx

using namespace kx;

KXEXPORT int32_t KXAPI kxFileValidateFileName(const char *name) {
    return Guarded<int32_t>(0, [&] {
        DirectoryLock lock;
        return ExportResult(CheckFileName(name));
    });
}

// A null output, or an output that is the name's own buffer, leaves nowhere to
// build the full name: 9, as the other calls refuse a missing argument.
KXEXPORT int32_t KXAPI kxFileGetFullName(const char *name, char *out) {
    return Guarded<int32_t>(0, [&] {
        DirectoryLock lock;
        if (out == nullptr) return Failed<int32_t>(err::kMisc, 0);
        ErrorCode code = CheckFileName(name);
        if (code != err::kNone) return Failed<int32_t>(code, 0);
        if (out == name) return Failed<int32_t>(err::kMisc, 0);
        bool tooLong = false;
        if (BuildFullNameChecked(name, out, tooLong)) return 1;
        return Failed<int32_t>(tooLong ? err::kNameTooLong : err::kInvalidPath, 0);
    });
}

// The splitting calls answer 0 for a name without the part asked for; a null
// argument is a failure, 9.
KXEXPORT int32_t KXAPI kxFileGetDrive(const char *name, char *prefix, char *rewritten) {
    return Guarded<int32_t>(0, [&] {
        if (name == nullptr) return Failed<int32_t>(err::kMisc, 0);
        return GetRootPrefix(name, prefix, rewritten);
    });
}

KXEXPORT int32_t KXAPI kxFileExtractFileName(const char *name, char *buffer) {
    return Guarded<int32_t>(0, [&] {
        if (name == nullptr || buffer == nullptr) return Failed<int32_t>(err::kMisc, 0);
        return SplitFileName(name, buffer);
    });
}

KXEXPORT int32_t KXAPI kxFileExtractPath(const char *name, char *buffer) {
    return Guarded<int32_t>(0, [&] {
        if (name == nullptr || buffer == nullptr) return Failed<int32_t>(err::kMisc, 0);
        return SplitDirectory(name, buffer);
    });
}
