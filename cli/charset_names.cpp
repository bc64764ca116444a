#include "charset_names.h"

#include <cctype>
#include <vector>

#include "kxfiles.h"
#include "options.h"

namespace kxcli {
namespace {

#include "cli_charsets.inc"

// A name as it is compared: lower case, without '-' and '_'.
std::string NameKey(const std::string &text) {
    std::string key;
    for (char c : text)
        if (c != '-' && c != '_') key += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

// The name and the aliases of a set, in the registry's order.
std::vector<std::string> NamesOf(const CharsetName &set) {
    std::vector<std::string> names{set.name};
    std::string aliases = set.aliases;
    size_t start = 0;
    while (start < aliases.size()) {
        size_t end = aliases.find(',', start);
        if (end == std::string::npos) end = aliases.size();
        if (end > start) names.push_back(aliases.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

const CharsetName *ById(uint16_t id) {
    for (const CharsetName &set : kCharsetNames)
        if (set.id == id) return &set;
    return nullptr;
}

// The set and the name of it that `text` names.
const CharsetName *Find(const std::string &text, std::string *matched) {
    // A number is a CharsetId first; "437" is also an alias of code page 437.
    uint64_t number = 0;
    if (ParseNumber(text, 0, 65535, number))
        if (const CharsetName *set = ById(static_cast<uint16_t>(number))) {
            if (matched) *matched = std::to_string(set->id);
            return set;
        }
    const std::string key = NameKey(text);
    if (key.empty()) return nullptr;
    for (const CharsetName &set : kCharsetNames)
        for (const std::string &name : NamesOf(set))
            if (NameKey(name) == key) {
                if (matched) *matched = name;
                return &set;
            }
    return nullptr;
}

}  // namespace

std::span<const CharsetName> AllCharsets() { return kCharsetNames; }

std::optional<uint16_t> CharsetByName(const std::string &text) {
    if (const CharsetName *set = Find(text, nullptr)) return set->id;
    return std::nullopt;
}

uint32_t CharsetNameOptions(const std::string &text) {
    const std::string key = NameKey(text);
    return key == "iso2022jp" || key == "csiso2022jp" ? CSF_JIS_ASCII_RETURN : 0;
}

std::string MatchedCharsetName(const std::string &text) {
    std::string matched;
    Find(text, &matched);
    return matched;
}

std::string UnknownCharsetMessage(const std::string &text) {
    std::vector<std::string> names;
    for (const CharsetName &set : kCharsetNames)
        for (const std::string &name : NamesOf(set)) names.push_back(name);
    return "unknown character set '" + text + "'" + DidYouMean(text, names) + " (see 'kxfile charsets')";
}

std::string CharsetDisplayName(uint16_t id) {
    const CharsetName *set = ById(id);
    return set ? set->name : std::to_string(id);
}

bool IsPcDoubleByteSet(uint16_t id) {
    const CharsetName *set = ById(id);
    return set && set->doubleByte == DoubleByte::kPc;
}

bool IsHostDoubleByteSet(uint16_t id) {
    const CharsetName *set = ById(id);
    return set && set->doubleByte == DoubleByte::kHost;
}

}  // namespace kxcli
