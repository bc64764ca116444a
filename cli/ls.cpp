// kxfile ls PATTERN: the library's directory matching, with its attribute
// mask, date window and exclusion list.
#include <cstdio>
#include <algorithm>
#include <string>
#include <vector>

#include "cli.h"
#include "file_facts.h"
#include "options.h"

namespace kxcli {
namespace {

constexpr OptionSpec kLsOptions[] = {
    {"long", 'l', false},   {"hidden", 0, false}, {"system", 0, false}, {"dirs", 0, false},
    {"dirs-only", 0, false}, {"mask", 0, true},    {"after", 0, true},   {"before", 0, true},
    {"exclude", 0, true},    {"case", 0, true},
};

void LsUsage(FILE *out) {
    std::fputs("usage: kxfile ls PATTERN [OPTIONS]\n"
               "Lists the entries of one directory that match PATTERN (* and ? in the\n"
               "last component; quote it from the shell).\n"
               "  -l, --long         size, date, attributes (r read-only, h hidden, s system,\n"
               "                     d directory, a archive) and name\n"
               "  --hidden           hidden entries too (names beginning with '.')\n"
               "  --system           system entries too\n"
               "  --dirs             directories too;  --dirs-only: only directories\n"
               "  --mask N           the raw attribute mask (MATCH_* bits)\n"
               "  --after DATE       only entries written on or after DATE\n"
               "  --before DATE      only entries written on or before DATE\n"
               "                     (DATE: YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS], local time)\n"
               "  --exclude LIST     leave out names matching any of the comma-separated\n"
               "                     patterns (for example '*.bak,*.tmp'); may repeat\n"
               "  --case lower|upper|keep\n"
               "                     the case of names of 8.3 form (default keep)\n"
               "exit status: 0 entries found, 1 none or an error, 2 bad usage.\n",
               out);
}

// `count` decimal digits at `text[at]` within [low, high]; false otherwise.
bool Digits(const std::string &text, size_t at, size_t count, int low, int high, int &value) {
    if (at + count > text.size()) return false;
    value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');
    }
    return value >= low && value <= high;
}

int DaysInMonth(int year, int month) {
    constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// DATE as a file date: exactly YYYY-MM-DD, YYYY-MM-DDTHH:MM or
// YYYY-MM-DDTHH:MM:SS (a space may stand for the T), a day that the month
// has. A date without a time stands for the day's first second (`endOfDay`
// false) or its last (true).
bool ParseDate(const std::string &text, bool endOfDay, KXFILEDATETIME &date) {
    int year = 0, month = 0, day = 0, hour = endOfDay ? 23 : 0, minute = endOfDay ? 59 : 0, second = endOfDay ? 59 : 0;
    bool shape = (text.size() == 10 || text.size() == 16 || text.size() == 19) && text[4] == '-' && text[7] == '-';
    if (!shape || !Digits(text, 0, 4, 1900, 2155, year) || !Digits(text, 5, 2, 1, 12, month) ||
        !Digits(text, 8, 2, 1, DaysInMonth(year, month), day))
        return false;
    if (text.size() >= 16) {
        if ((text[10] != 'T' && text[10] != 't' && text[10] != ' ') || text[13] != ':' || !Digits(text, 11, 2, 0, 23, hour) ||
            !Digits(text, 14, 2, 0, 59, minute))
            return false;
        second = 0;
        if (text.size() == 19 && (text[16] != ':' || !Digits(text, 17, 2, 0, 59, second))) return false;
    }
    date = {static_cast<uint8_t>(day), static_cast<uint8_t>(month), static_cast<uint8_t>(year - 1900),
            static_cast<uint8_t>(second), static_cast<uint8_t>(minute), static_cast<uint8_t>(hour)};
    return true;
}

std::string Attributes(uint32_t bits) {
    std::string text = "-----";
    if (bits & KXATTR_READONLY) text[0] = 'r';
    if (bits & KXATTR_HIDDEN) text[1] = 'h';
    if (bits & KXATTR_SYSTEM) text[2] = 's';
    if (bits & KXATTR_DIRECTORY) text[3] = 'd';
    if (bits & KXATTR_ARCHIVE) text[4] = 'a';
    return text;
}

}  // namespace

int LsCommand(int argc, char **argv) {
    ParsedArgs args;
    if (auto done = ParseCommandLine("ls", argc, argv, kLsOptions, LsUsage, args)) return *done;
    if (args.positional.size() != 1) return UsageError("ls", "one PATTERN is needed");
    std::string pattern = args.positional[0];

    uint32_t mask = MATCH_NORMAL | MATCH_READONLY;
    if (args.Has("hidden")) mask |= MATCH_HIDDEN;
    if (args.Has("system")) mask |= MATCH_SYSTEM;
    if (args.Has("dirs")) mask |= MATCH_DIRECTORY;
    if (args.Has("dirs-only")) mask = (mask & ~MATCH_NORMAL) | MATCH_DIRECTORY;
    uint64_t number = 0;
    if (args.Has("mask")) {
        if (!ParseNumber(args.Last("mask"), 0, 0x3F, number)) return UsageError("ls", "--mask takes a number 0-0x3F");
        mask = static_cast<uint32_t>(number);
    }
    KXFILEDATETIME after{}, before{};
    if (args.Has("after") && !ParseDate(args.Last("after"), false, after))
        return UsageError("ls", "--after takes YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS]");
    if (args.Has("before") && !ParseDate(args.Last("before"), true, before))
        return UsageError("ls", "--before takes YYYY-MM-DD or YYYY-MM-DDTHH:MM[:SS]");
    std::string exclusions;
    for (const auto &option : args.options)
        if (option.first == "exclude") {
            if (!exclusions.empty()) exclusions += ',';
            exclusions += option.second;
        }
    uint16_t caseMode = 2;
    if (args.Has("case")) {
        std::string mode = args.Last("case");
        if (SameWord(mode, "lower")) caseMode = 0;
        else if (SameWord(mode, "upper")) caseMode = 1;
        else if (!SameWord(mode, "keep")) return UsageError("ls", "--case takes lower, upper or keep");
    }

    // A directory given as it is lists its entries.
    if (Examine(pattern).kind == FileKind::kDirectory) {
        pattern += pattern.back() == '/' ? "*" : "/*";
    }
    std::string libraryPattern = LibraryName(pattern);
    if (libraryPattern.empty()) return 1;
    KXMATCH match = kxFileInitMatch(libraryPattern.c_str(), mask, args.Has("before") ? &before : nullptr,
                                    args.Has("after") ? &after : nullptr,
                                    exclusions.empty() ? nullptr : exclusions.c_str());
    if (match == nullptr) {
        ReportLibraryError(pattern);
        return 1;
    }
    kxFileSetMatchCase(match, caseMode);
    // Names come back joined to the pattern's directory in the library's
    // form; they are shown joined to the directory as it was typed.
    size_t slash = pattern.find_last_of('/');
    std::string shownDirectory = slash == std::string::npos ? "" : pattern.substr(0, slash + 1);
    // The system gives entries in its own order; they are shown sorted by name.
    std::vector<std::pair<std::string, KXMATCHENTRYINFO>> entries;
    char name[260];
    KXMATCHENTRYINFO info{};
    while (kxFileGetMatchExtended(match, name, &info)) {
        std::string full = name;
        size_t separator = full.find_last_of("\\:");
        std::string entry = separator == std::string::npos ? full : full.substr(separator + 1);
        // A directory's "." and ".." name no entry a transfer could take.
        if (entry == "." || entry == "..") continue;
        entries.emplace_back(shownDirectory + entry, info);
    }
    kxFileDoneMatch(match);
    std::sort(entries.begin(), entries.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    for (const auto &[shown, entry] : entries) {
        if (args.Has("long")) {
            std::printf("%10lu  %04d-%02d-%02d %02d:%02d:%02d  %s  %s\n", static_cast<unsigned long>(entry.size),
                        entry.date.year + 1900, entry.date.month, entry.date.day, entry.date.hour, entry.date.minute,
                        entry.date.second, Attributes(entry.attributes).c_str(), shown.c_str());
        } else {
            std::printf("%s\n", shown.c_str());
        }
    }
    if (entries.empty()) {
        std::fprintf(stderr, "kxfile: %s: no entry matches\n", pattern.c_str());
        return 1;
    }
    return 0;
}

}  // namespace kxcli
