// The Windows profile on POSIX: an INI file named by KXFILES_PROFILE, by
// default $XDG_CONFIG_HOME/kxfiles/win.ini (~/.config/kxfiles/win.ini). It is
// read afresh on every call, so a change takes effect at once. Sections and
// keys are found without regard to case; lines starting with ';' or '#' are
// comments; a value loses surrounding blanks and one pair of matching quotes.
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace kx::os {
namespace {

std::string ProfilePath() {
    if (const char *named = std::getenv("KXFILES_PROFILE")) return named;
    if (const char *config = std::getenv("XDG_CONFIG_HOME"); config && *config)
        return std::string(config) + "/kxfiles/win.ini";
    if (const char *home = std::getenv("HOME")) return std::string(home) + "/.config/kxfiles/win.ini";
    return "";
}

std::string Trim(const std::string &text) {
    size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return "";
    return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
}

// A default keeps its leading blanks and loses its trailing ones, as Windows
// passes it on.
std::string WithoutTrailingBlanks(std::string text) {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

// The value of `key` in `section`, or nothing when the profile, the section or
// the key is missing.
std::optional<std::string> ProfileValue(const char *section, const char *key) {
    std::string path = ProfilePath();
    if (path.empty()) return std::nullopt;
    std::ifstream in(path);
    if (!in) return std::nullopt;
    bool inSection = false;
    for (std::string line; std::getline(in, line);) {
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line[0] == '[') {
            size_t close = line.find(']');
            std::string name = Trim(line.substr(1, close == std::string::npos ? std::string::npos : close - 1));
            inSection = lstrcmpiA(name.c_str(), section) == 0;
            continue;
        }
        if (!inSection) continue;
        size_t equals = line.find('=');
        if (equals == std::string::npos) continue;
        if (lstrcmpiA(Trim(line.substr(0, equals)).c_str(), key) != 0) continue;
        std::string value = Trim(line.substr(equals + 1));
        if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0])
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return std::nullopt;
}

}  // namespace

UINT GetProfileIntA(const char *section, const char *key, int defaultValue) {
    if (section == nullptr || key == nullptr) return static_cast<UINT>(defaultValue);
    std::optional<std::string> value = ProfileValue(section, key);
    if (!value) return static_cast<UINT>(defaultValue);
    // The leading decimal digits count; a value without any is 0, and so is a
    // negative one.
    const char *p = value->c_str();
    if (*p == '-') return 0;
    if (*p == '+') ++p;
    UINT result = 0;
    for (; std::isdigit(static_cast<unsigned char>(*p)); ++p) result = result * 10 + static_cast<UINT>(*p - '0');
    return result;
}

DWORD GetProfileStringA(const char *section, const char *key, const char *defaultValue,
                        char *buffer, DWORD size) {
    if (buffer == nullptr || size == 0) return 0;
    std::string text;
    std::optional<std::string> value;
    if (section != nullptr && key != nullptr) value = ProfileValue(section, key);
    if (value) text = *value;
    else if (defaultValue != nullptr) text = WithoutTrailingBlanks(defaultValue);
    size_t n = text.size() < size - 1 ? text.size() : size - 1;
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<DWORD>(n);
}

}  // namespace kx::os
