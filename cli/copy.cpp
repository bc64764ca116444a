// kxfile copy SRC DST: a file copied through the library's streams.
#include <cstdio>
#include <cstring>
#include <vector>

#include "cli.h"

namespace kxcli {
namespace {

constexpr uint32_t kBlockSize = 64 * 1024;

void CopyUsage(FILE *out) {
    std::fputs("usage: kxfile copy SRC DST\n"
               "Copies SRC to DST through the library's buffered streams; DST is\n"
               "created or emptied.\n",
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
    NameBuffer source, target;
    if (!source.Set(LibraryName(argv[2])) || !target.Set(LibraryName(argv[3]))) return 1;

    KXFILE in = kxFileOpen(source.text, 0);
    if (in == nullptr) {
        ReportLibraryError(argv[2]);
        return 1;
    }
    KXFILE out = kxFileCreate(target.text, 1);
    if (out == nullptr) {
        ReportLibraryError(argv[3]);
        kxFileClose(in);
        return 1;
    }
    std::vector<unsigned char> block(kBlockSize);
    int status = 0;
    for (;;) {
        uint32_t got = 0, put = 0;
        if (!kxFileRead(in, block.data(), kBlockSize, &got)) {
            ReportLibraryError(argv[2]);
            status = 1;
            break;
        }
        if (got == 0) break;
        if (!kxFileWrite(out, block.data(), got, &put) || put != got) {
            ReportLibraryError(argv[3]);
            status = 1;
            break;
        }
    }
    kxFileClose(in);
    if (!kxFileClose(out) && status == 0) {
        ReportLibraryError(argv[3]);
        status = 1;
    }
    return status;
}

}  // namespace kxcli
