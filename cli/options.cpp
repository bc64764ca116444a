#include "options.h"

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
        } else if (arg.size() >= 2) {
            spec = FindShort(specs, arg[1]);
            if (spec != nullptr && arg.size() > 2) {
                value = arg.substr(2);
                hasValue = true;
            }
        }
        if (spec == nullptr) {
            UsageError(command, "unknown option '" + arg + "'");
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
