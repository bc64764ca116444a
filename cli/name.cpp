// kxfile name HOSTNAME: the local name the library makes of a host's name.
#include <cstdio>

#include "cli.h"
#include "options.h"

namespace kxcli {
namespace {

constexpr OptionSpec kNameOptions[] = {{"83", 0, false}, {"drop-last-ext", 0, false}, {"unique", 0, false}};

void NameUsage(FILE *out) {
    std::fputs("usage: kxfile name HOSTNAME [--83] [--drop-last-ext] [--unique]\n"
               "Prints the local file name made of a host's file name, in the current\n"
               "directory's volume: characters a PC name cannot hold are dropped, and on\n"
               "a volume of 8.3 names the base and extension are cut.\n"
               "  --83              the 8.3 form whatever the volume allows\n"
               "  --drop-last-ext   8.3 form: a name with exactly two dots is cut at the last\n"
               "  --unique          a name that is taken gets a number (NAME000.EXT, ...)\n",
               out);
}

}  // namespace

std::string LocalNameOf(const std::string &hostName, bool force83, bool dropLastExt, bool unique) {
    NameBuffer host;
    if (!host.Set(hostName)) return "";
    uint32_t flags = (force83 ? LOCAL_NAME_FORCE_83 : 0) | (dropLastExt ? LOCAL_NAME_DROP_LAST_EXT : 0);
    char local[260] = {};
    if (!kxFileMakeLocalName2(host.text, local, flags)) {
        ReportLibraryError(hostName);
        return "";
    }
    if (unique && kxFileExists(local)) {
        // The local name is already made; numbering it keeps its form.
        char numbered[260] = {};
        if (!kxFileMakeNewName(local, numbered)) {
            ReportLibraryError(PosixPath(local));
            return "";
        }
        return PosixPath(numbered);
    }
    return PosixPath(local);
}

int NameCommand(int argc, char **argv) {
    ParsedArgs args;
    if (auto done = ParseCommandLine("name", argc, argv, kNameOptions, NameUsage, args)) return *done;
    if (args.positional.size() != 1) return UsageError("name", "one HOSTNAME is needed");
    std::string local = LocalNameOf(args.positional[0], args.Has("83"), args.Has("drop-last-ext"), args.Has("unique"));
    if (local.empty()) return 1;
    std::printf("%s\n", local.c_str());
    return 0;
}

}  // namespace kxcli
