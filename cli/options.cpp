#include "options.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>

namespace kxcli {

bool ParsedArgs::Has(const std::string &name) const {
    for (const auto &option : options)
        if (option.first == name) return true;
    return false;
}

std::string ParsedArgs::Last(const std::string &name) const {
    std::string value;
    for (const auto &option : options)
        if (option.first == name) value = option.second;
    return value;
}

int UsageError(const char *command, const std::string &message) {
    std::fprintf(stderr, "kxfile %s: %s\n", command, message.c_str());
    std::fprintf(stderr, "Try 'kxfile %s --help'.\n", command);
    return 2;
}

bool SameWord(const std::string &a, const std::string &b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

namespace {

std::string Lower(const std::string &text) {
    std::string lower = text;
    for (char &c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// Edits from a to b: insertions, deletions, replacements and swaps of two
// neighbouring characters, each one edit.
size_t EditDistance(const std::string &a, const std::string &b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j) {
            size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

}  // namespace

std::vector<std::string> ClosestNames(const std::string &text, std::span<const std::string> candidates) {
    constexpr size_t kMost = 3;
    const std::string typed = Lower(text);
    // One slip in a short word, up to three in a long one.
    const size_t allowed = std::clamp<size_t>(typed.size() / 3, 1, 3);
    size_t best = allowed + 1;
    std::vector<std::string> nearest;
    for (const std::string &candidate : candidates) {
        size_t distance = EditDistance(typed, Lower(candidate));
        if (distance > best) continue;
        if (distance < best) nearest.clear();
        best = distance;
        if (nearest.size() < kMost) nearest.push_back(candidate);
    }
    if (!nearest.empty() || typed.size() < 2) return nearest;
    for (const std::string &candidate : candidates)
        if (Lower(candidate).starts_with(typed) && nearest.size() < kMost) nearest.push_back(candidate);
    return nearest;
}

std::string DidYouMean(const std::string &text, std::span<const std::string> candidates) {
    std::vector<std::string> nearest = ClosestNames(text, candidates);
    if (nearest.empty()) return "";
    std::string list;
    for (size_t i = 0; i < nearest.size(); ++i) {
        if (i > 0) list += i + 1 == nearest.size() ? " or " : ", ";
        list += nearest[i];
    }
    return " (did you mean " + list + "?)";
}

namespace {

const OptionSpec *FindLong(std::span<const OptionSpec> specs, const std::string &name) {
    for (const OptionSpec &spec : specs)
        if (name == spec.name) return &spec;
    return nullptr;
}

const OptionSpec *FindShort(std::span<const OptionSpec> specs, char name) {
    for (const OptionSpec &spec : specs)
        if (spec.shortName != 0 && spec.shortName == name) return &spec;
    return nullptr;
}

}  // namespace

bool ParseArgs(const char *command, int argc, char **argv, std::span<const OptionSpec> specs,
               ParsedArgs &out) {
    bool optionsEnded = false;
    for (int i = 2; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            out.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            out.help = true;
            continue;
        }
        const OptionSpec *spec = nullptr;
        std::string value;
        bool hasValue = false;
        if (arg[1] == '-') {
            size_t equals = arg.find('=');
            std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            spec = FindLong(specs, name);
            if (equals != std::string::npos) {
                value = arg.substr(equals + 1);
                hasValue = true;
            }
        } else {
            // As getopt: flags may share one dash (-ri); an option that takes a
            // value takes the rest of the word (-j2, -ri -j 2, -rj2).
            size_t at = 1;
            spec = FindShort(specs, arg[at]);
            while (spec != nullptr && !spec->takesValue && at + 1 < arg.size()) {
                out.options.emplace_back(spec->name, "");
                spec = FindShort(specs, arg[++at]);
            }
            if (spec != nullptr && at + 1 < arg.size()) {
                value = arg.substr(at + 1);
                hasValue = true;
            }
        }
        if (spec == nullptr) {
            std::vector<std::string> names;
            for (const OptionSpec &known : specs) names.push_back(std::string("--") + known.name);
            std::string typed = arg.substr(0, arg.find('='));
            UsageError(command, "unknown option '" + arg + "'" + (arg[1] == '-' ? DidYouMean(typed, names) : ""));
            return false;
        }
        if (spec->takesValue && !hasValue) {
            if (i + 1 >= argc) {
                UsageError(command, std::string("option --") + spec->name + " needs a value");
                return false;
            }
            value = argv[++i];
        } else if (!spec->takesValue && hasValue) {
            UsageError(command, std::string("option --") + spec->name + " takes no value");
            return false;
        }
        out.options.emplace_back(spec->name, value);
    }
    return true;
}

std::optional<int> ParseCommandLine(const char *command, int argc, char **argv, std::span<const OptionSpec> specs,
                                    void (*usage)(FILE *), ParsedArgs &args) {
    if (!ParseArgs(command, argc, argv, specs, args)) return 2;
    if (args.help) {
        usage(stdout);
        return 0;
    }
    return std::nullopt;
}

bool ParseNumber(const std::string &text, uint64_t low, uint64_t high, uint64_t &value) {
    if (text.empty() || text[0] == '-' || text[0] == '+') return false;
    // Decimal, or hexadecimal after 0x; a leading zero does not mean octal.
    bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    char *end = nullptr;
    unsigned long long number = std::strtoull(text.c_str(), &end, hex ? 16 : 10);
    if (end == text.c_str() || *end != '\0' || number < low || number > high) return false;
    value = number;
    return true;
}

}  // namespace kxcli
