#include "platform/posix/names.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "platform/posix/system_error.h"

namespace kx::os::posix {
namespace {

constexpr size_t kMaxPath = 260;  // MAX_PATH: 259 characters and the terminator

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Characters that no Windows file name may hold.
bool IsRefusedCharacter(unsigned char c) {
    return c < 32 || std::strchr("<>:\"|?*", c) != nullptr;
}

bool IsDirectory(const std::string &path) {
    struct stat info;
    return ::stat(path.empty() ? "/" : path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The on-disk spelling of `name` in `directory`: the exact name when it exists,
// else the entry equal to it without regard to case. When several entries differ
// only in case (possible on POSIX, never on Windows), the first in byte order is
// taken, so the choice does not depend on the directory's order. False when
// there is none. `isDirectory` says whether the entry found is a directory
// (from the same look-up, where the exact name exists).
bool FindEntry(const std::string &directory, const std::string &name, std::string &found, bool &isDirectory) {
    struct stat info;
    std::string exact = directory + "/" + name;
    if (::stat(exact.c_str(), &info) == 0) {
        found = name;
        isDirectory = S_ISDIR(info.st_mode);
        return true;
    }
    DIR *dir = ::opendir(directory.empty() ? "/" : directory.c_str());
    if (dir == nullptr) return false;
    bool any = false;
    while (const dirent *entry = ::readdir(dir)) {
        if (lstrcmpiA(entry->d_name, name.c_str()) != 0) continue;
        if (!any || std::strcmp(entry->d_name, found.c_str()) < 0) found = entry->d_name;
        any = true;
    }
    ::closedir(dir);
    if (any) isDirectory = IsDirectory(directory + "/" + found);
    return any;
}

std::vector<std::string> SplitPosix(const std::string &relative) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start < relative.size()) {
        size_t end = relative.find('/', start);
        if (end == std::string::npos) end = relative.size();
        if (end > start) parts.push_back(relative.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// The starting place of a name and the rest of it to walk.
DWORD StartingPlace(const char *name, Place &place, const char *&rest) {
    auto drives = Drives();
    if (IsSeparator(name[0]) && IsSeparator(name[1])) {
        // \\server\share\rest
        const char *server = name + 2;
        const char *middle = server;
        while (*middle && !IsSeparator(*middle)) ++middle;
        if (middle == server || *middle == '\0') return ERROR_BAD_NETPATH;
        const char *shareEnd = middle + 1;
        while (*shareEnd && !IsSeparator(*shareEnd)) ++shareEnd;
        if (shareEnd == middle + 1) return ERROR_BAD_NETPATH;
        std::string share = "\\\\" + std::string(server, middle) + "\\" +
                            std::string(middle + 1, shareEnd);
        const Volume *volume = drives->FindShare(share);
        if (volume == nullptr) return ERROR_BAD_NETPATH;
        place.volume = *volume;
        place.components.clear();
        rest = shareEnd;
        return 0;
    }
    if (IsLetter(name[0]) && name[1] == ':') {
        const Volume *volume = drives->FindLetter(name[0]);
        if (volume == nullptr) return ERROR_PATH_NOT_FOUND;
        rest = name + 2;
        if (IsSeparator(*rest)) {
            place.volume = *volume;
            place.components.clear();
            return 0;
        }
        // Drive-relative: the drive's own current directory, which for the
        // current drive is the process's.
        Place current;
        if (CurrentPlace(current) == 0 && current.volume.letter == volume->letter) {
            place = current;
            return 0;
        }
        place.volume = *volume;
        place.components = DriveCurrentDirectory(volume->letter);
        if (!IsDirectory(place.PosixPath())) place.components.clear();
        return 0;
    }
    DWORD error = CurrentPlace(place);
    if (error != 0) return error;
    rest = name;
    if (IsSeparator(*rest)) place.components.clear();  // the current volume's root
    return 0;
}

}  // namespace

std::string Place::PosixPath() const {
    std::string path = volume.root;
    for (const std::string &c : components) path += "/" + c;
    return path.empty() ? "/" : path;
}

std::string Place::WindowsPath() const {
    std::string path = volume.letter != 0 ? std::string(1, volume.letter) + ":" : volume.share;
    for (const std::string &c : components) path += "\\" + c;
    if (components.empty()) path += "\\";
    return path;
}

DWORD CurrentPlace(Place &out) {
    char buffer[4096];
    if (::getcwd(buffer, sizeof buffer) == nullptr) return Win32ErrorFromErrno(errno);
    std::string cwd = buffer;
    auto drives = Drives();
    const Volume *volume = drives->Containing(cwd);
    if (volume == nullptr) return ERROR_PATH_NOT_FOUND;  // outside every drive and share
    out.volume = *volume;
    out.components = SplitPosix(cwd.substr(volume->root.size()));
    return 0;
}

DWORD Resolve(const char *name, Resolved &out) {
    out = Resolved{};
    if (name == nullptr || name[0] == '\0') return ERROR_PATH_NOT_FOUND;
    if (std::strlen(name) >= kMaxPath) return ERROR_FILENAME_EXCED_RANGE;

    const char *rest = nullptr;
    DWORD error = StartingPlace(name, out.place, rest);
    if (error != 0) return error;

    std::vector<std::string> &components = out.place.components;
    std::string directory = out.place.PosixPath();
    out.exists = true;
    out.isDirectory = IsDirectory(directory);
    if (!out.isDirectory) return ERROR_PATH_NOT_FOUND;  // the volume's directory is missing

    // "." and ".." are taken away first, by the text alone, as Windows does
    // before it looks at the disk: "missing\..\f.txt" names f.txt. A ".."
    // beyond the given components climbs from the starting directory, never
    // above the volume's root.
    std::vector<std::string> wanted;
    bool climbed = false;
    for (const char *p = rest; *p;) {
        while (IsSeparator(*p)) ++p;
        const char *end = p;
        while (*end && !IsSeparator(*end)) ++end;
        std::string component(p, end);
        p = end;
        while (IsSeparator(*p)) ++p;
        if (component != "." && component != "..") {
            // Windows drops the dots that end a component, and the spaces too
            // when it is the last one; a component made only of them ("...")
            // names nothing and is passed over.
            size_t kept = component.find_last_not_of(*p == '\0' ? ". " : ".");
            component.erase(kept == std::string::npos ? 0 : kept + 1);
        }
        if (component.empty() || component == ".") continue;
        if (component == "..") {
            if (!wanted.empty()) {
                wanted.pop_back();
            } else if (!components.empty()) {
                components.pop_back();
                climbed = true;
            }
            continue;
        }
        wanted.push_back(component);
    }
    if (climbed) {  // a directory above the starting one, looked at anew
        directory = out.place.PosixPath();
        out.isDirectory = IsDirectory(directory);
        if (!out.isDirectory) return ERROR_PATH_NOT_FOUND;
    }

    if (!wanted.empty() && IsDeviceName(wanted.back())) {
        components.insert(components.end(), wanted.begin(), wanted.end());
        out.isDirectory = false;
        out.device = true;
        out.nullDevice = lstrcmpiA(wanted.back().substr(0, 3).c_str(), "NUL") == 0;
        return 0;
    }

    for (size_t i = 0; i < wanted.size(); ++i) {
        const std::string &component = wanted[i];
        if (!out.exists || !out.isDirectory) return ERROR_PATH_NOT_FOUND;
        for (unsigned char c : component)
            if (IsRefusedCharacter(c)) return ERROR_INVALID_NAME;

        std::string found;
        if (FindEntry(directory == "/" ? "" : directory, component, found, out.isDirectory)) {
            components.push_back(found);
            directory = out.place.PosixPath();
            out.exists = true;
        } else {
            if (i + 1 < wanted.size()) return ERROR_PATH_NOT_FOUND;
            components.push_back(component);
            out.exists = false;
            out.isDirectory = false;
        }
    }
    size_t length = std::strlen(name);
    out.trailingSeparator = IsSeparator(name[length - 1]) && !out.place.components.empty();
    return 0;
}

bool IsDeviceName(const std::string &component) {
    std::string base = component.substr(0, component.find('.'));
    size_t kept = base.find_last_not_of(' ');
    base.erase(kept == std::string::npos ? 0 : kept + 1);
    for (char &c : base)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    if (base == "CON" || base == "NUL" || base == "AUX" || base == "PRN") return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
           base[3] >= '1' && base[3] <= '9';
}

DWORD MaxComponentLength(const Volume &volume) {
    if (volume.shortNames) return 12;
    struct statvfs info;
    std::string root = volume.root.empty() ? "/" : volume.root;
    if (::statvfs(root.c_str(), &info) == 0 && info.f_namemax > 0 && info.f_namemax < 0xFFFF)
        return static_cast<DWORD>(info.f_namemax);
    return 255;
}

DWORD CheckNewComponent(const Volume &volume, const std::string &component) {
    // A long-name file system refuses a component over its limit as an invalid
    // name, as NTFS does.
    if (component.size() > MaxComponentLength(volume))
        return volume.shortNames ? ERROR_FILENAME_EXCED_RANGE : ERROR_INVALID_NAME;
    if (volume.shortNames) {
        // 8 characters, then optionally a dot and at most 3 more, no second dot.
        size_t dot = component.find('.');
        size_t base = dot == std::string::npos ? component.size() : dot;
        if (base > 8 || (base == 0 && dot + 1 == component.size())) return ERROR_INVALID_NAME;
        if (dot != std::string::npos) {
            std::string extension = component.substr(dot + 1);
            if (extension.size() > 3 || extension.find('.') != std::string::npos)
                return ERROR_INVALID_NAME;
        }
    }
    return 0;
}

}  // namespace kx::os::posix
