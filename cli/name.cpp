// kxfile name HOSTNAME: the local name the library makes of a host's name.
#include <cctype>
#include <cstdio>
#include <string>

#include "cli.h"
#include "options.h"

namespace kxcli {
namespace {

constexpr OptionSpec kNameOptions[] = {{"83", 0, false}, {"drop-last-ext", 0, false}, {"unique", 0, false}};

void NameUsage(FILE *out) {
    std::fputs("usage: kxfile name HOSTNAME [--83] [--drop-last-ext] [--unique]\n"
               "Prints the local file name made of a host's file name, in the current\n"
               "directory's volume: the host's drive and directories are dropped (the\n"
               "file stays in the current directory), characters a PC name cannot hold\n"
               "are dropped, and on a volume of 8.3 names the base and extension are cut.\n"
               "A name of dots only or a device name (CON, NUL, COM1, ...) is refused.\n"
               "  --83              the 8.3 form whatever the volume allows\n"
               "  --drop-last-ext   8.3 form: a name with exactly two dots is cut at the last\n"
               "  --unique          a name that is taken gets a number (NAME000.EXT, ...)\n",
               out);
}

// What follows the host name's last '\', '/' or ':'. A host's drive,
// directories and device say where the file lay there; here it is received
// into the current directory, and never into another.
std::string LastComponent(const std::string &hostName) {
    size_t separator = hostName.find_last_of("\\/:");
    return separator == std::string::npos ? hostName : hostName.substr(separator + 1);
}

// CON, NUL, COM1, ... with or without an extension: names that open a
// device instead of a file on Windows.
bool IsDeviceName(const std::string &name) {
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (char &c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const char *device : {"CON", "PRN", "AUX", "NUL", "CLOCK$", "CONIN$", "CONOUT$"})
        if (base == device) return true;
    return base.size() == 4 && (base.starts_with("COM") || base.starts_with("LPT")) && base[3] >= '1' && base[3] <= '9';
}

// Why a local name cannot be used, or nullptr when it can.
const char *Unusable(const std::string &local) {
    if (local.find_first_not_of('.') == std::string::npos) return "names no file (only dots)";
    if (local.find_first_of("\\/:") != std::string::npos) return "names a path, not a file";
    for (unsigned char c : local)
        if (c < 0x20 || c == 0x7F) return "holds a control character";
    if (IsDeviceName(local)) return "is a device name";
    return nullptr;
}

}  // namespace

std::string LocalNameOf(const std::string &hostName, bool force83, bool dropLastExt, bool unique) {
    NameBuffer host;
    if (!host.Set(LastComponent(hostName))) {
        std::fprintf(stderr, "kxfile: %s: names no file\n", hostName.c_str());
        return "";
    }
    uint32_t flags = (force83 ? LOCAL_NAME_FORCE_83 : 0) | (dropLastExt ? LOCAL_NAME_DROP_LAST_EXT : 0);
    char local[260] = {};
    if (!kxFileMakeLocalName2(host.text, local, flags)) {
        ReportLibraryError(hostName);
        return "";
    }
    if (const char *why = Unusable(local)) {
        std::fprintf(stderr, "kxfile: %s: the local name '%s' %s\n", hostName.c_str(), local, why);
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
