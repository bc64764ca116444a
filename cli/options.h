// Command-line parsing shared by the subcommands: options are declared in a
// table, parsed into a list, and read back by name.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

namespace kxcli {

struct OptionSpec {
    const char *name;   // without the leading "--"
    char shortName;     // 0 when there is none
    bool takesValue;
};

struct ParsedArgs {
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options;  // in order given
    bool help = false;

    bool Has(const std::string &name) const;
    // The value of the last occurrence, or "" when the option was not given.
    std::string Last(const std::string &name) const;
};

// Parses argv[2..] of `kxfile COMMAND`. "-h"/"--help" set `help`; "--" ends
// the options; a lone "-" is a positional argument (standard input or
// output). False, with a message naming the command, on an unknown option or
// a missing value.
bool ParseArgs(const char *command, int argc, char **argv, std::span<const OptionSpec> specs,
               ParsedArgs &out);

// ParseArgs, and --help: the exit code when the command is done already (2
// after a usage error, 0 after `usage` printed the help), else nothing.
std::optional<int> ParseCommandLine(const char *command, int argc, char **argv, std::span<const OptionSpec> specs,
                                    void (*usage)(FILE *), ParsedArgs &args);

// The candidates nearest to `text`, as a person who slipped would have meant
// them: those at the smallest edit distance (a swap of two neighbours counts
// as one edit) when it is small for the text's length, or else those that
// `text` begins; at most three, in the candidates' order. Compared without
// regard to case.
std::vector<std::string> ClosestNames(const std::string &text, std::span<const std::string> candidates);

// " (did you mean A, B or C?)" for the ClosestNames of `text`, or "".
std::string DidYouMean(const std::string &text, std::span<const std::string> candidates);

// Whether two words are the same without regard to ASCII case: option values
// are words, as set names are (--records CRLF).
bool SameWord(const std::string &a, const std::string &b);

// A decimal or 0x-hexadecimal number within [low, high]; false otherwise.
bool ParseNumber(const std::string &text, uint64_t low, uint64_t high, uint64_t &value);

// "kxfile COMMAND: MESSAGE" and a hint to --help on stderr; returns 2, the
// exit code of bad usage.
int UsageError(const char *command, const std::string &message);

}  // namespace kxcli
