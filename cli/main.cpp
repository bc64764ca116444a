#include <cstdio>
#include <cstring>

#include "cli.h"

namespace {

void Usage(FILE *out) {
    std::fputs("usage: kxfile COMMAND [ARGS]\n"
               "\n"
               "Prepares files for transfer between a PC and host computers.\n"
               "\n"
               "commands:\n"
               "  copy SRC DST    copy a file through the library's streams\n"
               "\n"
               "'kxfile COMMAND --help' describes a command.\n",
               out);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        Usage(stderr);
        return 2;
    }
    if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        Usage(stdout);
        return 0;
    }
    if (std::strcmp(argv[1], "copy") == 0) return kxcli::CopyCommand(argc, argv);
    std::fprintf(stderr, "kxfile: unknown command '%s'\n", argv[1]);
    Usage(stderr);
    return 2;
}
