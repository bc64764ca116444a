// One-shot file-system calls on names: existence (by the library's name rules
// or along the system's search path), deletion, renaming, directory creation,
// attributes, and the current directory. Each validates its names first, makes
// one system call and maps a system failure to an ErrorCode.
#include <cstring>
#include <string>

#include "core/boundary.h"
#include "core/handle.h"
#include "core/paths.h"
#include "fs/fs.h"

namespace kx {
namespace {

// kNone when the system call succeeded, else its mapped error.
ErrorCode SystemResult(bool done) { return done ? err::kNone : LastSystemError(); }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

ErrorCode FindName(const char *name) {
    ErrorCode code = CheckFileName(name);
    if (code != err::kNone) return code;
    char full[kPathBufferSize];
    if (!BuildFullName(name, full)) return err::kMisc;
    return SystemResult(os::GetFileAttributesA(full) != os::INVALID_FILE_ATTRIBUTES);
}

std::string WithoutTrailingSeparator(const char *name) {
    std::string text = name;
    size_t length = text.size();
    if (length >= 2 && text[length - 2] != ':' && IsSeparator(text[length - 1]) &&
        static_cast<int>(length - 1) > GetRootPrefix(name, nullptr, nullptr) + 1)
        text.pop_back();
    return text;
}

}  // namespace kx

using namespace kx;

KXEXPORT int32_t KXAPI kxFileExists(const char *name) {
    return Guarded<int32_t>(0, [&] {
        DirectoryLock lock;
        return ExportResult(FindName(name));
    });
}

KXEXPORT int32_t KXAPI kxFileExistsEx(const char *name, char *result, uint16_t size,
                                      uint32_t *systemError) {
    return Guarded<int32_t>(0, [&] {
        DirectoryLock lock;
        if (systemError != nullptr) *systemError = 0;
        if (result != nullptr && size != 0) result[0] = '\0';
        // A name that is not found is an answer, told through `systemError`;
        // arguments that leave nothing to search for are a failure.
        if (name == nullptr || (result != nullptr && size == 0) || name == result) return Failed<int32_t>(err::kMisc, 0);
        os::SetLastError(os::ERROR_SUCCESS);
        // Without a buffer the search is given no room: it only tests existence.
        os::DWORD room = result != nullptr ? size : 0;
        if (os::SearchPathA(nullptr, name, nullptr, room, result, nullptr) != 0) return 1;
        if (systemError != nullptr) *systemError = os::GetLastError();
        return 0;
    });
}

KXEXPORT int32_t KXAPI kxFileDelete(const char *name) {
    return Guarded<int32_t>(0, [&] {
        DirectoryLock lock;
        ErrorCode code = CheckFileName(name);
        if (code != err::kNone) return Failed(code, 0);
        // A name whose attributes cannot be read is removed as a directory, so a
        // missing name fails with the system's not-found error.
        os::DWORD attributes = os::GetFileAttributesA(name);
        bool directory = attributes == os::INVALID_FILE_ATTRIBUTES ||
                         (attributes & os::FILE_ATTRIBUTE_DIRECTORY) != 0;
        bool done = directory ? os::RemoveDirectoryA(name) : os::DeleteFileA(name);
        return ExportResult(SystemResult(done));
    });
}

KXEXPORT int32_t KXAPI kxFileRename(const char *oldName, const char *newName) {
    return Guarded<int32_t>(0, [&] {
        DirectoryLock lock;
        ErrorCode code = CheckFileName(oldName);
        if (code == err::kNone) code = CheckFileName(newName);
        if (code == err::kNone) code = SystemResult(os::MoveFileA(oldName, newName));
        return ExportResult(code);
    });
}

// The name is not validated (a directory may be made wherever the system lets
// it be). A null name has nothing for the system to make and is refused with 9,
// as the other calls of this family refuse a null argument.
KXEXPORT int32_t KXAPI kxFileCreateDir(const char *name) {
    return Guarded<int32_t>(0, [&] {
        DirectoryLock lock;
        if (name == nullptr) return Failed<int32_t>(err::kMisc, 0);
        return ExportResult(SystemResult(os::CreateDirectoryA(name, nullptr)));
    });
}

KXEXPORT int32_t KXAPI kxFileGetAttributes(const char *name, uint32_t *attributes) {
    return Guarded<int32_t>(0, [&] {
        DirectoryLock lock;
        constexpr uint32_t kOwnBits = KXATTR_READONLY | KXATTR_HIDDEN | KXATTR_DIRECTORY | KXATTR_DRIVE;
        if (attributes != nullptr) *attributes &= ~kOwnBits;
        if (name == nullptr || attributes == nullptr) return Failed<int32_t>(err::kMisc, 0);
        std::string query = WithoutTrailingSeparator(name);
        size_t length = std::strlen(name);
        // A bare drive or a bare share is a drive; the file system is not asked.
        if ((length == 2 && name[1] == ':') ||
            (length >= 2 && static_cast<int>(length) <= GetRootPrefix(name, nullptr, nullptr))) {
            *attributes |= KXATTR_DRIVE;
            return 1;
        }
        os::DWORD system = os::GetFileAttributesA(query.c_str());
        if (system == os::INVALID_FILE_ATTRIBUTES) return Failed<int32_t>(LastSystemError(), 0);
        if (system & os::FILE_ATTRIBUTE_READONLY) *attributes |= KXATTR_READONLY;
        if (system & os::FILE_ATTRIBUTE_HIDDEN) *attributes |= KXATTR_HIDDEN;
        if (system & os::FILE_ATTRIBUTE_DIRECTORY) *attributes |= KXATTR_DIRECTORY;
        return 1;
    });
}

// A null buffer has no room for the directory: 16, as for any missing result.
KXEXPORT int32_t KXAPI kxFileGetPath(char *buffer) {
    return Guarded<int32_t>(0, [&] {
        DirectoryLock lock;
        if (buffer == nullptr) return Failed<int32_t>(err::kInternal, 0);
        ErrorCode code = CurrentDirectory(buffer);
        if (code != err::kNone) buffer[0] = '\0';
        return ExportResult(code);
    });
}

KXEXPORT int32_t KXAPI kxFileSetPath(const char *directory) {
    return Guarded<int32_t>(0, [&] {
        DirectoryLock lock;
        if (directory == nullptr) return Failed<int32_t>(err::kMisc, 0);
        return ExportResult(EnterDirectory(WithoutTrailingSeparator(directory).c_str()));
    });
}
