// kxfile charsets: every character set with its number, names and aliases.
#include <cstdio>
#include <cstring>

#include "charset_names.h"
#include "cli.h"
#include "options.h"

namespace kxcli {

namespace {

void CharsetsUsage(FILE *out) {
    std::fputs("usage: kxfile charsets [SET]\n"
               "Lists every character set: its number, its name, its aliases (IANA names\n"
               "where one exists) and what it is. With SET, only that set, after the line\n"
               "saying what SET resolved to. --from and --to take any of the names, aliases\n"
               "or the number, without regard to case, '-' and '_' (latin-1, ISO_8859-1).\n"
               "'kxfile -l' and 'kxfile --list' list the sets too.\n",
               out);
}

}  // namespace

int CharsetsCommand(int argc, char **argv) {
    ParsedArgs args;
    if (auto done = ParseCommandLine("charsets", argc, argv, {}, CharsetsUsage, args)) return *done;
    if (args.positional.size() > 1) return UsageError("charsets", "at most one SET is given");
    uint16_t only = 0;
    if (!args.positional.empty()) {
        auto set = CharsetByName(args.positional[0]);
        // An unknown name is bad usage, as in every command that takes a set.
        if (!set) return UsageError("charsets", UnknownCharsetMessage(args.positional[0]));
        only = *set;
        // What the name resolved to, and through which of the set's names.
        std::printf("%s: set %u, %s (by '%s')\n", args.positional[0].c_str(), static_cast<unsigned>(only),
                    CharsetDisplayName(only).c_str(), MatchedCharsetName(args.positional[0]).c_str());
    }
    for (const CharsetName &set : AllCharsets()) {
        if (only != 0 && set.id != only) continue;
        std::string aliases = *set.aliases != '\0' ? set.aliases : "-";
        std::printf("%3u  %-24s %-40s %s\n", static_cast<unsigned>(set.id), set.name, aliases.c_str(),
                    set.description);
    }
    return 0;
}

}  // namespace kxcli
