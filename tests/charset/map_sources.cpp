#include "charset/map_sources.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace kxtest {
namespace {

std::string Trim(const std::string &text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return "";
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

std::string Folder() {
    return std::string(KXFILES_SOURCE_DIR) + "/resources/charsets/";
}

}  // namespace

const std::vector<RegistryRow> &Registry() {
    static const std::vector<RegistryRow> rows = [] {
        std::vector<RegistryRow> result;
        std::ifstream in(Folder() + "registry.txt");
        if (!in) throw std::runtime_error("registry.txt not found");
        for (std::string line; std::getline(in, line);) {
            if (line.empty() || line[0] == '#') continue;
            std::istringstream fields(line);
            std::string id, file;
            std::getline(fields, id, '|');
            std::getline(fields, file, '|');
            result.push_back({static_cast<uint16_t>(std::stoi(Trim(id))), Trim(file)});
        }
        return result;
    }();
    return rows;
}

std::array<uint16_t, 256> SourceValues(const std::string &file, bool *identity) {
    std::ifstream in(Folder() + file);
    if (!in) throw std::runtime_error(file + " not found");
    std::array<uint16_t, 256> values{};
    int next = 0;
    bool bytes = false;
    for (std::string line; std::getline(in, line);) {
        if (line == "# format: identity bytes") bytes = true;
        if (line.rfind("0x", 0) != 0) continue;
        unsigned code = 0, value = 0;
        if (std::sscanf(line.c_str(), "0x%x 0x%x", &code, &value) != 2 ||
            code != static_cast<unsigned>(next))
            throw std::runtime_error(file + ": bad line " + line);
        values[next++] = static_cast<uint16_t>(value);
    }
    if (next != 256) throw std::runtime_error(file + ": not 256 codes");
    if (identity) *identity = bytes;
    return values;
}

std::array<uint16_t, 256> MapOf(uint16_t id) {
    static std::map<uint16_t, std::array<uint16_t, 256>> loaded;
    auto found = loaded.find(id);
    if (found != loaded.end()) return found->second;
    for (const RegistryRow &row : Registry()) {
        if (row.id != id) continue;
        if (row.file == "=51") return loaded[id] = MapOf(51);
        return loaded[id] = SourceValues(row.file);
    }
    throw std::runtime_error("no map for set " + std::to_string(id));
}

}  // namespace kxtest
