#include <cstdio>
#include <cstring>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#endif

#include "cli.h"
#include "interrupt.h"

namespace {

struct Command {
    const char *name;
    int (*run)(int argc, char **argv);
    const char *summary;
};

constexpr Command kCommands[] = {
    {"send", kxcli::SendCommand, "FILE [-o OUT]   the bytes a host receives for a PC file"},
    {"receive", kxcli::ReceiveCommand, "[IN] -o FILE    a host's bytes written into a PC file"},
    {"convert", kxcli::ConvertCommand, "IN OUT          both at once: a transfer on this machine"},
    {"inspect", kxcli::InspectCommand, "FILE...         line ends, Ctrl-Z, tabs, 8-bit bytes, encoding"},
    {"detect", kxcli::DetectCommand, "FILE...         the Japanese encoding of each file"},
    {"charsets", kxcli::CharsetsCommand, "[SET]           the character sets, names and aliases"},
    {"ls", kxcli::LsCommand, "PATTERN         directory matching with filters"},
    {"name", kxcli::NameCommand, "HOSTNAME        the local name of a host's file name"},
    {"copy", kxcli::CopyCommand, "SRC DST         copy a file through the library's streams"},
};

void Usage(FILE *out) {
    std::fputs("usage: kxfile COMMAND [ARGS]\n"
               "\n"
               "Prepares files for transfer between a PC and host computers.\n"
               "\n"
               "commands:\n",
               out);
    for (const Command &command : kCommands) std::fprintf(out, "  %-9s%s\n", command.name, command.summary);
    std::fputs("\n'kxfile COMMAND --help' describes a command.\n"
               "Exit status: 0 success, 1 a failed operation, 2 bad usage.\n",
               out);
}

}  // namespace

int main(int argc, char **argv) {
#if defined(_WIN32)
    // Files pass through standard input and output: in binary mode, so that
    // the C library neither turns CR LF into LF nor stops reading at Ctrl-Z.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    kxcli::InstallInterruptHandlers();
    if (argc < 2) {
        Usage(stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        Usage(stdout);
        return 0;
    }
    for (const Command &command : kCommands)
        if (std::strcmp(argv[1], command.name) == 0) return command.run(argc, argv);
    std::fprintf(stderr, "kxfile: unknown command '%s'\n", argv[1]);
    Usage(stderr);
    return 2;
}
