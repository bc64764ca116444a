// Deleting, renaming and creating names, and the search path, through the
// drive table. Each call resolves its Windows names first (exactly, then without
// regard to case) and reports failures with the Win32 error numbers a Windows
// file system gives.
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/posix/names.h"
#include "platform/posix/system_error.h"

namespace kx::os {
namespace {

using posix::Fail;

bool SameFile(const std::string &a, const std::string &b) {
    struct stat first, second;
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

// Whether the place is the process's current directory.
bool IsCurrentDirectory(const std::string &posixPath) {
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) != nullptr && SameFile(buffer, posixPath);
}

// Resolves a name that must exist: 0, or the Win32 error.
DWORD ResolveExisting(const char *name, posix::Resolved &where) {
    DWORD error = posix::Resolve(name, where);
    if (error != 0) return error;
    if (!where.exists) return ERROR_FILE_NOT_FOUND;
    if (where.place.components.empty()) return ERROR_ACCESS_DENIED;  // a volume's root
    return 0;
}

// The Windows form of a POSIX directory, when a drive or share shows it.
bool WindowsDirectoryOf(const std::string &posixDirectory, std::string &windows) {
    char resolved[PATH_MAX];
    if (::realpath(posixDirectory.c_str(), resolved) == nullptr) return false;
    std::string path = resolved;
    auto drives = posix::Drives();
    const posix::Volume *volume = drives->Containing(path);
    if (volume == nullptr) return false;
    posix::Place place;
    place.volume = *volume;
    std::string rest = path.substr(volume->root.size());
    for (size_t start = 0; start < rest.size();) {
        size_t end = rest.find('/', start);
        if (end == std::string::npos) end = rest.size();
        if (end > start) place.components.push_back(rest.substr(start, end - start));
        start = end + 1;
    }
    windows = place.WindowsPath();
    return true;
}

// Whether `name` exists in the Windows directory `directory`; its full Windows
// name in `found`.
bool FindIn(const std::string &directory, const char *name, std::string &found) {
    std::string candidate = directory;
    if (candidate.back() != '\\') candidate += '\\';
    candidate += name;
    posix::Resolved where;
    if (posix::Resolve(candidate.c_str(), where) != 0 || !where.exists) return false;
    found = where.place.WindowsPath();
    return true;
}

}  // namespace

BOOL DeleteFileA(const char *name) {
    posix::Resolved where;
    DWORD error = ResolveExisting(name, where);
    if (error != 0) return Fail(error, FALSE);
    if (where.isDirectory || where.device) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (where.trailingSeparator) return Fail(ERROR_INVALID_NAME, FALSE);
    std::string path = where.place.PosixPath();
    struct stat info;
    if (::stat(path.c_str(), &info) == 0 && posix::IsReadOnly(info))
        return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (posix::HeldWithoutDeleteSharing(path)) return Fail(ERROR_SHARING_VIOLATION, FALSE);
    if (::unlink(path.c_str()) != 0) {
        posix::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}

BOOL RemoveDirectoryA(const char *name) {
    posix::Resolved where;
    DWORD error = ResolveExisting(name, where);
    if (error != 0) return Fail(error, FALSE);
    if (!where.isDirectory) return Fail(ERROR_DIRECTORY, FALSE);
    std::string path = where.place.PosixPath();
    // Windows holds its current directory open without delete sharing, so
    // removing it is a sharing violation.
    if (IsCurrentDirectory(path)) return Fail(ERROR_SHARING_VIOLATION, FALSE);
    if (::rmdir(path.c_str()) != 0) {
        posix::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}

BOOL MoveFileA(const char *existingName, const char *newName) {
    posix::Resolved from, to;
    DWORD error = ResolveExisting(existingName, from);
    if (error != 0) return Fail(error, FALSE);
    error = posix::Resolve(newName, to);
    if (error != 0) return Fail(error, FALSE);
    if (from.device || to.device) return Fail(ERROR_ACCESS_DENIED, FALSE);
    if (to.place.components.empty()) return Fail(ERROR_ACCESS_DENIED, FALSE);
    std::string source = from.place.PosixPath();
    std::string target = to.place.PosixPath();
    if (posix::HeldWithoutDeleteSharing(source)) return Fail(ERROR_SHARING_VIOLATION, FALSE);
    if (to.exists) {
        // Only a change of case of the same name may land on an existing name.
        if (!SameFile(source, target)) return Fail(ERROR_ALREADY_EXISTS, FALSE);
        const char *last = newName + std::strlen(newName);
        while (last > newName && last[-1] != '\\' && last[-1] != '/' && last[-1] != ':') --last;
        std::string spelling = last;
        spelling.erase(spelling.find_last_not_of(". ") + 1);  // as the name resolved
        to.place.components.back() = spelling;
        target = to.place.PosixPath();
    } else {
        error = posix::CheckNewComponent(to.place.volume, to.place.components.back());
        if (error != 0) return Fail(error, FALSE);
    }
    if (::rename(source.c_str(), target.c_str()) != 0) {
        posix::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}

BOOL CreateDirectoryA(const char *name, void * /*security*/) {
    posix::Resolved where;
    DWORD error = posix::Resolve(name, where);
    if (error != 0) return Fail(error, FALSE);
    if (where.exists) return Fail(ERROR_ALREADY_EXISTS, FALSE);
    error = posix::CheckNewComponent(where.place.volume, where.place.components.back());
    if (error != 0) return Fail(error, FALSE);
    if (::mkdir(where.place.PosixPath().c_str(), 0777) != 0) {
        posix::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    return TRUE;
}

// The system's default order when no path is given: the directory of the
// running program, the current directory, then the directories of PATH. A name
// with a directory part is looked up as it stands. Directories that no drive
// shows are passed over. The result is the full Windows name; when the buffer
// is too small, the size it needs (terminator included) and nothing written.
DWORD SearchPathA(const char *path, const char *name, const char *extension, DWORD size,
                  char *buffer, char **filePart) {
    if (name == nullptr || name[0] == '\0') return Fail(ERROR_INVALID_PARAMETER, DWORD{0});
    std::string wanted = name;
    if (extension != nullptr && std::strchr(name, '.') == nullptr) wanted += extension;
    if (wanted.size() >= MAX_PATH) return Fail(ERROR_FILENAME_EXCED_RANGE, DWORD{0});

    std::string found;
    bool hasDirectory = wanted.find_first_of("\\/:") != std::string::npos;
    if (hasDirectory) {
        posix::Resolved where;
        if (posix::Resolve(wanted.c_str(), where) == 0 && where.exists)
            found = where.place.WindowsPath();
    } else {
        std::vector<std::string> directories;
        if (path != nullptr) {
            for (const char *p = path; *p;) {
                const char *end = std::strchr(p, ';');
                if (end == nullptr) end = p + std::strlen(p);
                if (end > p) directories.emplace_back(p, end);
                p = *end ? end + 1 : end;
            }
        } else {
            std::string windows;
            char program[PATH_MAX];
            ssize_t length = ::readlink("/proc/self/exe", program, sizeof program - 1);
            if (length > 0) {
                std::string directory(program, static_cast<size_t>(length));
                directory.erase(directory.rfind('/') + 1);
                if (WindowsDirectoryOf(directory, windows)) directories.push_back(windows);
            }
            directories.push_back(".");
            if (const char *list = std::getenv("PATH")) {
                for (const char *p = list; *p;) {
                    const char *end = std::strchr(p, ':');
                    if (end == nullptr) end = p + std::strlen(p);
                    if (end > p && WindowsDirectoryOf(std::string(p, end), windows))
                        directories.push_back(windows);
                    p = *end ? end + 1 : end;
                }
            }
        }
        for (const std::string &directory : directories)
            if (FindIn(directory, wanted.c_str(), found)) break;
    }
    if (found.empty()) return Fail(ERROR_FILE_NOT_FOUND, DWORD{0});
    if (buffer == nullptr || size <= found.size()) return static_cast<DWORD>(found.size() + 1);
    std::memcpy(buffer, found.c_str(), found.size() + 1);
    if (filePart != nullptr) *filePart = buffer + found.rfind('\\') + 1;
    return static_cast<DWORD>(found.size());
}

}  // namespace kx::os
