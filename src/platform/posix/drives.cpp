#include "platform/posix/drives.h"

#include <climits>
#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/test_hooks.h"

namespace kx::os::posix {
namespace {

std::mutex tableLock;                            // guards the two variables below
std::shared_ptr<const DriveTable> currentTable;  // null until first use
std::map<char, std::vector<std::string>> driveDirectories;  // entered drives' current directories

std::string Trim(const std::string &text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return "";
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

char UpperLetter(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "\\server\share" with either separator, both parts non-empty; normalised to
// backslashes.
bool ParseShareName(const std::string &text, std::string &share) {
    auto sep = [](char c) { return c == '\\' || c == '/'; };
    if (text.size() < 5 || !sep(text[0]) || !sep(text[1])) return false;
    size_t middle = text.find_first_of("\\/", 2);
    if (middle == std::string::npos || middle == 2 || middle + 1 >= text.size()) return false;
    if (text.find_first_of("\\/", middle + 1) != std::string::npos) return false;
    share = "\\\\" + text.substr(2, middle - 2) + "\\" + text.substr(middle + 1);
    return true;
}

// The canonical form of a directory: its real path when it exists, else the
// text without trailing slashes; "/" becomes "".
std::string CanonicalRoot(const std::string &path) {
    char resolved[PATH_MAX];
    std::string root = ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
    while (!root.empty() && root.back() == '/') root.pop_back();
    return root;
}

DriveTable DefaultTable() {
    DriveTable table;
    Volume c;
    c.letter = 'C';
    table.volumes.push_back(c);
    return table;
}

void Install(DriveTable table) {
    std::lock_guard<std::mutex> guard(tableLock);
    currentTable = std::make_shared<const DriveTable>(std::move(table));
    driveDirectories.clear();
}

}  // namespace

const Volume *DriveTable::FindLetter(char letter) const {
    letter = UpperLetter(letter);
    for (const Volume &v : volumes)
        if (v.letter == letter) return &v;
    return nullptr;
}

const Volume *DriveTable::FindShare(const std::string &share) const {
    for (const Volume &v : volumes)
        if (v.letter == 0 && lstrcmpiA(v.share.c_str(), share.c_str()) == 0) return &v;
    return nullptr;
}

const Volume *DriveTable::Containing(const std::string &posixPath) const {
    const Volume *best = nullptr;
    for (const Volume &v : volumes) {
        bool inside = v.root.empty() ||
                      (posixPath.compare(0, v.root.size(), v.root) == 0 &&
                       (posixPath.size() == v.root.size() || posixPath[v.root.size()] == '/'));
        if (!inside) continue;
        if (best == nullptr || v.root.size() > best->root.size() ||
            (v.root.size() == best->root.size() && best->letter == 0 && v.letter != 0))
            best = &v;
    }
    return best;
}

bool ParseDrives(const std::string &text, DriveTable &table) {
    table = DefaultTable();
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        std::string entry = Trim(text.substr(start, end - start));
        start = end + 1;
        if (entry.empty()) continue;

        size_t equals = entry.find('=');
        if (equals == std::string::npos) return false;
        std::string name = Trim(entry.substr(0, equals));
        std::string value = entry.substr(equals + 1);

        Volume volume;
        if (IsLetter(name[0]) && (name.size() == 1 || (name.size() == 2 && name[1] == ':')))
            volume.letter = UpperLetter(name[0]);
        else if (!ParseShareName(name, volume.share))
            return false;

        size_t comma = value.find(',');
        std::string path = Trim(value.substr(0, comma));
        if (path.empty() || path[0] != '/') return false;
        volume.root = CanonicalRoot(path);
        while (comma != std::string::npos) {
            size_t next = value.find(',', comma + 1);
            std::string option = Trim(value.substr(comma + 1, next - comma - 1));
            comma = next;
            if (option == "83") {
                volume.shortNames = true;
            } else if (option.rfind("remote=", 0) == 0 && volume.letter != 0) {
                if (!ParseShareName(option.substr(7), volume.share)) return false;
            } else if (option.rfind("label=", 0) == 0) {
                volume.label = option.substr(6);
            } else {
                return false;
            }
        }

        // A later entry for the same drive or share replaces the earlier one.
        for (auto it = table.volumes.begin(); it != table.volumes.end(); ++it) {
            bool same = volume.letter != 0 ? it->letter == volume.letter
                                           : it->letter == 0 && lstrcmpiA(it->share.c_str(),
                                                                          volume.share.c_str()) == 0;
            if (same) {
                table.volumes.erase(it);
                break;
            }
        }
        table.volumes.push_back(volume);
    }

    // A remote drive's share is also reachable by its UNC name, unless an entry
    // maps that share itself.
    std::vector<Volume> shares;
    for (const Volume &v : table.volumes) {
        if (v.letter == 0 || v.share.empty() || table.FindShare(v.share) != nullptr) continue;
        Volume share = v;
        share.letter = 0;
        shares.push_back(share);
    }
    table.volumes.insert(table.volumes.end(), shares.begin(), shares.end());
    return true;
}

std::shared_ptr<const DriveTable> Drives() {
    {
        std::lock_guard<std::mutex> guard(tableLock);
        if (currentTable) return currentTable;
    }
    DriveTable table;
    const char *text = std::getenv("KXFILES_DRIVES");
    // A malformed description leaves the default table in force: the library
    // still works on C:, and names on other drives fail as missing drives.
    if (text == nullptr || !ParseDrives(text, table)) table = DefaultTable();
    std::lock_guard<std::mutex> guard(tableLock);
    if (!currentTable) currentTable = std::make_shared<const DriveTable>(std::move(table));
    return currentTable;
}

std::vector<std::string> DriveCurrentDirectory(char letter) {
    std::lock_guard<std::mutex> guard(tableLock);
    auto it = driveDirectories.find(UpperLetter(letter));
    return it == driveDirectories.end() ? std::vector<std::string>{} : it->second;
}

void SetDriveCurrentDirectory(char letter, const std::vector<std::string> &components) {
    std::lock_guard<std::mutex> guard(tableLock);
    driveDirectories[UpperLetter(letter)] = components;
}

}  // namespace kx::os::posix

namespace kx::os::testing {

bool ConfigureDrives(const std::string &description) {
    posix::DriveTable table;
    if (!posix::ParseDrives(description, table)) return false;
    posix::Install(std::move(table));
    return true;
}

}  // namespace kx::os::testing
