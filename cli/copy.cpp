// kxfile copy SRC DST: a file copied through the library's streams, by the
// transfer without layers, so that DST is written as every output is
// (staged, links followed, devices in place, undone when interrupted).
#include <cstdio>
#include <cstring>

#include "cli.h"
#include "transfer.h"

namespace kxcli {
namespace {

void CopyUsage(FILE *out) {
    std::fputs("usage: kxfile copy SRC DST\n"
               "Copies SRC to DST through the library's buffered streams ('-': standard\n"
               "input or output). DST is replaced only when the copy is complete; a DST\n"
               "that is SRC itself is refused.\n",
               out);
}

}  // namespace

int CopyCommand(int argc, char **argv) {
    if (argc == 3 && (std::strcmp(argv[2], "--help") == 0 || std::strcmp(argv[2], "-h") == 0)) {
        CopyUsage(stdout);
        return 0;
    }
    if (argc != 4) {
        CopyUsage(stderr);
        return 2;
    }
    TransferPlan plan;
    plan.input = argv[2];
    plan.output = argv[3];
    plan.mayReplaceInput = false;
    return RunTransfer(plan);
}

}  // namespace kxcli
