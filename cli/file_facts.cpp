#include "file_facts.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "cli.h"

namespace kxcli {

void ReportSystemError(const std::string &what, int error) {
    std::fprintf(stderr, "kxfile: %s: %s\n", what.c_str(), std::strerror(error));
}

#ifdef _WIN32

// The file system finds names without regard to case itself.
std::string ReachedPath(const std::string &path, bool) { return path; }

bool IsSymbolicLink(const std::string &) { return false; }

namespace {

FileFacts FromHandle(HANDLE handle) {
    FileFacts facts;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) {
        // A pipe or a console has no such information: no file to compare.
        facts.kind = FileKind::kOther;
        return facts;
    }
    facts.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::kDirectory : FileKind::kRegular;
    if (GetFileType(handle) != FILE_TYPE_DISK) facts.kind = FileKind::kOther;
    facts.device = info.dwVolumeSerialNumber;
    facts.inode = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    facts.size = (static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    return facts;
}

}  // namespace

FileFacts Examine(const std::string &path) {
    FileFacts facts;
    HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) facts.error = EACCES;
        return facts;
    }
    facts = FromHandle(handle);
    CloseHandle(handle);
    return facts;
}

FileFacts ExamineDescriptor(int fd) {
    return FromHandle(reinterpret_cast<HANDLE>(_get_osfhandle(fd)));
}

#else

namespace {

std::string DirectoryPart(const std::string &path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

FileFacts FromStat(const struct stat &info) {
    FileFacts facts;
    if (S_ISREG(info.st_mode)) facts.kind = FileKind::kRegular;
    else if (S_ISDIR(info.st_mode)) facts.kind = FileKind::kDirectory;
    else facts.kind = FileKind::kOther;
    facts.device = info.st_dev;
    facts.inode = info.st_ino;
    facts.size = static_cast<uint64_t>(info.st_size);
    facts.attributes = {true, true, static_cast<uint32_t>(info.st_mode & 07777), info.st_uid, info.st_gid};
    return facts;
}

// The name the library finds for `path` without regard to case, as a path;
// "" when it finds none.
std::string FoundWithoutCase(const std::string &path) {
    std::string name = LibraryName(path, false);
    if (name.empty()) return "";
    // A bare name would be searched for along PATH: it is the current directory's.
    if (name.find_first_of("\\:") == std::string::npos) name = ".\\" + name;
    char found[260] = {};
    if (!kxFileExistsEx(name.c_str(), found, sizeof found, nullptr)) return "";
    return PosixPath(found);
}

}  // namespace

std::string ReachedPath(const std::string &path, bool searchCase) {
    std::string reached = path;
    // As many links as the system follows in one open.
    for (int links = 0; links < 40; ++links) {
        struct stat info;
        if (::lstat(reached.c_str(), &info) != 0) {
            if (links == 0 && !searchCase) return reached;
            std::string found = FoundWithoutCase(reached);
            if (found.empty() || found == reached || ::lstat(found.c_str(), &info) != 0) return reached;
            reached = found;
        }
        if (!S_ISLNK(info.st_mode)) return reached;
        char target[4096];
        ssize_t length = ::readlink(reached.c_str(), target, sizeof target - 1);
        if (length <= 0) return reached;
        target[length] = '\0';
        reached = target[0] == '/' ? std::string(target) : DirectoryPart(reached) + target;
    }
    return reached;
}

bool IsSymbolicLink(const std::string &path) {
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

FileFacts Examine(const std::string &path) {
    struct stat info;
    if (::stat(path.c_str(), &info) == 0) return FromStat(info);
    FileFacts facts;
    if (errno != ENOENT) facts.error = errno;
    return facts;
}

FileFacts ExamineDescriptor(int fd) {
    struct stat info;
    if (::fstat(fd, &info) == 0) return FromStat(info);
    return FileFacts{};
}

#endif

bool ExamineInput(const std::string &path, FileFacts &facts) {
    if (path == "-") {
        facts = ExamineDescriptor(0);
        return true;
    }
    facts = Examine(ReachedPath(path));
    int error = facts.error;
    if (facts.kind == FileKind::kMissing && error == 0) error = ENOENT;
    if (facts.kind == FileKind::kDirectory) error = EISDIR;
    if (error == 0) return true;
    ReportSystemError(path, error);
    return false;
}

}  // namespace kxcli
