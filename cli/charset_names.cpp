#include "charset_names.h"

#include <cctype>

#include "kxfiles.h"
#include "options.h"

namespace kxcli {
namespace {

#include "cli_charsets.inc"

bool SameName(const std::string &a, const std::string &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool InAliasList(const std::string &text, const std::string &aliases) {
    size_t start = 0;
    while (start <= aliases.size()) {
        size_t end = aliases.find(',', start);
        if (end == std::string::npos) end = aliases.size();
        if (end > start && SameName(text, aliases.substr(start, end - start))) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

std::span<const CharsetName> AllCharsets() { return kCharsetNames; }

std::optional<uint16_t> CharsetByName(const std::string &text) {
    // A number is a CharsetId first; "437" is also an alias of code page 437.
    uint64_t number = 0;
    if (ParseNumber(text, 0, 65535, number))
        for (const CharsetName &set : kCharsetNames)
            if (set.id == number) return set.id;
    for (const CharsetName &set : kCharsetNames)
        if (SameName(text, set.name) || InAliasList(text, set.aliases)) return set.id;
    return std::nullopt;
}

uint32_t CharsetNameOptions(const std::string &text) {
    return SameName(text, "iso-2022-jp") || SameName(text, "csiso2022jp") ? CSF_JIS_ASCII_RETURN : 0;
}

std::string CharsetDisplayName(uint16_t id) {
    for (const CharsetName &set : kCharsetNames)
        if (set.id == id) return set.name;
    return std::to_string(id);
}

bool IsPcDoubleByteSet(uint16_t id) { return id == 51 || id == 59 || id == 61 || id == 62; }

bool IsHostDoubleByteSet(uint16_t id) {
    return (id >= 52 && id <= 57) || id == 60 || id == 73 || id == 77;
}

}  // namespace kxcli
