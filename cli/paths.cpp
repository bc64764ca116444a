// Paths on the command line are the system's own; the library takes Windows
// names. On POSIX an absolute path becomes a name on the drive whose directory
// holds it (KXFILES_DRIVES, where C: is "/" unless the variable says otherwise);
// a relative path stays relative, with backslashes.
#include <climits>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <filesystem>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "cli.h"

namespace kxcli {

void ReportLibraryError(const std::string &what) {
    char message[128];
    int32_t code = kxFileErrorVal();
    if (kxFileErrorString(code, message, sizeof message) == 0)
        std::snprintf(message, sizeof message, "error %d", static_cast<int>(code));
    std::fprintf(stderr, "kxfile: %s: %s\n", what.c_str(), message);
}

bool NameBuffer::Set(const std::string &name) {
    if (name.empty()) return false;
    if (name.size() >= sizeof text) {
        std::fprintf(stderr, "kxfile: %s: File name too long\n", name.c_str());
        return false;
    }
    std::memcpy(text, name.c_str(), name.size() + 1);
    return true;
}

#ifdef _WIN32

std::string LibraryName(const std::string &path) { return path; }

std::string LibraryName(const std::string &path, bool) { return path; }

std::string PosixPath(const std::string &libraryName) { return libraryName; }

// The library opens files by name through CreateFile, which reaches no pipe
// that a parent process handed over.
std::string DescriptorPath(int) { return ""; }

#else

namespace {

std::string Backslashes(std::string text) {
    for (char &c : text)
        if (c == '/') c = '\\';
    return text;
}

std::string Trim(const std::string &text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return "";
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

// The drive letters of KXFILES_DRIVES with their directories.
struct Drive {
    char letter;
    std::string root;  // canonical, without a trailing slash ("" for "/")
};

std::vector<Drive> Drives() {
    std::vector<Drive> drives{{'C', ""}};
    const char *text = std::getenv("KXFILES_DRIVES");
    std::string all = text ? text : "";
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find(';', start);
        if (end == std::string::npos) end = all.size();
        std::string entry = Trim(all.substr(start, end - start));
        start = end + 1;
        size_t equals = entry.find('=');
        if (equals == std::string::npos || equals == 0) continue;
        std::string name = Trim(entry.substr(0, equals));
        if (!(name.size() == 1 || (name.size() == 2 && name[1] == ':')) || !std::isalpha(static_cast<unsigned char>(name[0])))
            continue;
        std::string directory = Trim(entry.substr(equals + 1, entry.find(',', equals) - equals - 1));
        char resolved[PATH_MAX];
        if (::realpath(directory.c_str(), resolved)) directory = resolved;
        while (!directory.empty() && directory.back() == '/') directory.pop_back();
        char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
        std::erase_if(drives, [&](const Drive &d) { return d.letter == letter; });
        drives.push_back({letter, directory});
    }
    return drives;
}

// The absolute path with its directory made canonical. The last component
// is kept as given: the library looks it up itself (without regard to case),
// and a symbolic link there may lead to a name that is no path at all (a
// descriptor of /proc/self/fd standing for a pipe).
std::string CanonicalDirectory(const std::string &path) {
    std::filesystem::path given(path);
    std::string last = given.filename().string();
    std::error_code error;
    if (last.empty() || last == "." || last == "..") {
        std::filesystem::path whole = std::filesystem::weakly_canonical(given, error);
        return error ? path : whole.string();
    }
    std::filesystem::path directory = std::filesystem::weakly_canonical(given.parent_path(), error);
    if (error) return path;
    std::string text = directory.string();
    if (text.empty() || text.back() != '/') text += '/';
    return text + last;
}

}  // namespace

std::string LibraryName(const std::string &path) { return LibraryName(path, true); }

std::string LibraryName(const std::string &path, bool reportFailure) {
    if (path.empty() || path[0] != '/') return Backslashes(path);
    std::string text = CanonicalDirectory(path);
    const Drive *best = nullptr;
    std::vector<Drive> drives = Drives();
    for (const Drive &d : drives) {
        bool inside = d.root.empty() || text == d.root ||
                      text.compare(0, d.root.size() + 1, d.root + "/") == 0;
        if (inside && (best == nullptr || d.root.size() > best->root.size())) best = &d;
    }
    if (best == nullptr) {
        if (reportFailure) std::fprintf(stderr, "kxfile: %s: not on any drive of KXFILES_DRIVES\n", path.c_str());
        return "";
    }
    std::string name(1, best->letter);
    name += ':';
    if (text.size() > best->root.size()) name += Backslashes(text.substr(best->root.size()));
    else name += '\\';
    return name;
}

std::string DescriptorPath(int fd) {
    // /proc/self/fd/N opens what the descriptor holds (a pipe, a terminal,
    // a file) afresh; /proc/self is this process's directory, made canonical
    // so that the drive table finds it.
    std::error_code error;
    std::filesystem::path directory = std::filesystem::canonical("/proc/self/fd", error);
    if (error) return "";
    std::string path = directory.string() + "/" + std::to_string(fd);
    // A socket cannot be opened by name; a file opened by name is read from
    // its start, not from where the descriptor stands.
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || S_ISSOCK(info.st_mode)) return "";
    if (S_ISREG(info.st_mode) && ::lseek(fd, 0, SEEK_CUR) != 0) return "";
    return LibraryName(path, false).empty() ? "" : path;
}

std::string PosixPath(const std::string &libraryName) {
    std::string name = libraryName;
    for (char &c : name)
        if (c == '\\') c = '/';
    bool onDrive = name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0]));
    if (!onDrive) return name;
    char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    for (const Drive &d : Drives())
        if (d.letter == letter) {
            std::string rest = name.substr(2);
            if (rest.empty() || rest[0] != '/') rest.insert(rest.begin(), '/');
            return d.root + rest;
        }
    return name;
}

#endif

}  // namespace kxcli
