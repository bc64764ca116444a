// Directories, volumes, drive types and network connections, through the drive
// table. The process's current directory is the real one (chdir/getcwd), shown
// in Windows form; every other drive remembers its own.
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/faults.h"
#include "platform/posix/names.h"
#include "platform/posix/system_error.h"

namespace kx::os {
namespace {

using posix::Fail;

constexpr size_t kMaxCurrentDirectory = 258;  // leaves room for a final '\' and the terminator

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// The volume that a root name such as "X:\", "X:", "\\host\share\" or null
// (the current directory's) names.
bool VolumeOfRoot(const char *root, posix::Volume &volume, DWORD &error) {
    if (root == nullptr) {
        posix::Place current;
        error = posix::CurrentPlace(current);
        if (error != 0) return false;
        volume = current.volume;
        return true;
    }
    auto drives = posix::Drives();
    if (root[0] != '\0' && root[1] == ':' && (root[2] == '\0' || (IsSeparator(root[2]) && root[3] == '\0'))) {
        const posix::Volume *found = drives->FindLetter(root[0]);
        error = ERROR_PATH_NOT_FOUND;
        if (found == nullptr) return false;
        volume = *found;
        return true;
    }
    if (IsSeparator(root[0]) && IsSeparator(root[1])) {
        std::string share = root;
        while (!share.empty() && IsSeparator(share.back())) share.pop_back();
        for (char &c : share)
            if (c == '/') c = '\\';
        const posix::Volume *found = drives->FindShare(share);
        error = ERROR_BAD_NETPATH;
        if (found == nullptr) return false;
        volume = *found;
        return true;
    }
    error = ERROR_INVALID_NAME;
    return false;
}

void CopyText(const std::string &text, char *buffer, DWORD size) {
    if (buffer == nullptr || size == 0) return;
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

}  // namespace

bool posix::IsReadOnly(const struct stat &info) { return !(info.st_mode & S_IWUSR); }

DWORD posix::AttributesOf(const std::string &lastComponent, const struct stat &info) {
    DWORD attributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (IsReadOnly(info)) attributes |= FILE_ATTRIBUTE_READONLY;
    if (lastComponent.size() > 1 && lastComponent[0] == '.' && lastComponent != "..")
        attributes |= FILE_ATTRIBUTE_HIDDEN;
    return attributes;
}

DWORD GetFileAttributesA(const char *name) {
    posix::Resolved where;
    DWORD error = posix::Resolve(name, where);
    if (error != 0) return Fail(error, INVALID_FILE_ATTRIBUTES);
    if (!where.exists) return Fail(ERROR_FILE_NOT_FOUND, INVALID_FILE_ATTRIBUTES);
    if (where.device) return FILE_ATTRIBUTE_ARCHIVE;  // a device exists in every directory
    if (where.trailingSeparator && !where.isDirectory)
        return Fail(ERROR_INVALID_NAME, INVALID_FILE_ATTRIBUTES);
    struct stat info;
    if (::stat(where.place.PosixPath().c_str(), &info) != 0) {
        posix::SetLastErrorFromErrno(errno);
        return INVALID_FILE_ATTRIBUTES;
    }
    const auto &components = where.place.components;
    return posix::AttributesOf(components.empty() ? "" : components.back(), info);
}

DWORD GetCurrentDirectoryA(DWORD size, char *buffer) {
    posix::Place current;
    DWORD error = posix::CurrentPlace(current);
    if (error != 0) return Fail(error, DWORD{0});
    std::string text = current.WindowsPath();
    if (buffer == nullptr || size <= text.size()) return static_cast<DWORD>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

BOOL SetCurrentDirectoryA(const char *name) {
    if (name == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    posix::Resolved where;
    DWORD error = posix::Resolve(name, where);
    if (error != 0) return Fail(error, FALSE);
    // A missing last component is a missing file, as Windows reports it
    // (a missing directory on the way was ERROR_PATH_NOT_FOUND above).
    if (!where.exists) return Fail(ERROR_FILE_NOT_FOUND, FALSE);
    if (!where.isDirectory) return Fail(ERROR_DIRECTORY, FALSE);
    if (where.place.WindowsPath().size() > kMaxCurrentDirectory)
        return Fail(ERROR_FILENAME_EXCED_RANGE, FALSE);

    posix::Place leaving;
    bool hadCurrent = posix::CurrentPlace(leaving) == 0;
    if (::chdir(where.place.PosixPath().c_str()) != 0) {
        posix::SetLastErrorFromErrno(errno);
        return FALSE;
    }
    // The drive left behind keeps its current directory for drive-relative names.
    if (hadCurrent && leaving.volume.letter != 0)
        posix::SetDriveCurrentDirectory(leaving.volume.letter, leaving.components);
    if (where.place.volume.letter != 0)
        posix::SetDriveCurrentDirectory(where.place.volume.letter, where.place.components);
    return TRUE;
}

BOOL GetVolumeInformationA(const char *root, char *volumeName, DWORD volumeNameSize,
                           DWORD *serialNumber, DWORD *maxComponentLength,
                           DWORD *fileSystemFlags, char *fileSystemName,
                           DWORD fileSystemNameSize) {
    if (faults::VolumeQueryFails()) return Fail(ERROR_BAD_NETPATH, FALSE);
    posix::Volume volume;
    DWORD error = 0;
    if (!VolumeOfRoot(root, volume, error)) return Fail(error, FALSE);
    struct stat info;
    std::string directory = volume.root.empty() ? "/" : volume.root;
    if (::stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return Fail(ERROR_NOT_READY, FALSE);  // the volume's directory is gone
    CopyText(volume.label, volumeName, volumeNameSize);
    if (serialNumber) *serialNumber = static_cast<DWORD>(info.st_dev);
    if (maxComponentLength) *maxComponentLength = posix::MaxComponentLength(volume);
    if (fileSystemFlags) *fileSystemFlags = volume.shortNames ? 0 : 0x3;  // case kept, case-sensitive search
    CopyText(volume.shortNames ? "FAT" : "POSIX", fileSystemName, fileSystemNameSize);
    return TRUE;
}

UINT GetDriveTypeA(const char *root) {
    posix::Volume volume;
    DWORD error = 0;
    if (!VolumeOfRoot(root, volume, error)) return DRIVE_NO_ROOT_DIR;
    return volume.share.empty() ? DRIVE_FIXED : DRIVE_REMOTE;
}

DWORD WNetGetConnectionA(const char *localName, char *remoteName, DWORD *length) {
    if (localName == nullptr || length == nullptr) return ERROR_INVALID_PARAMETER;
    if (localName[0] == '\0' || localName[1] != ':' || localName[2] != '\0')
        return ERROR_NOT_CONNECTED;
    auto drives = posix::Drives();
    const posix::Volume *volume = drives->FindLetter(localName[0]);
    if (volume == nullptr || volume->share.empty()) return ERROR_NOT_CONNECTED;
    if (remoteName == nullptr || *length <= volume->share.size()) {
        *length = static_cast<DWORD>(volume->share.size() + 1);
        return ERROR_MORE_DATA;
    }
    std::memcpy(remoteName, volume->share.c_str(), volume->share.size() + 1);
    return ERROR_SUCCESS;
}

}  // namespace kx::os
