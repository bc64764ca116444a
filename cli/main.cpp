#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include "cli.h"
#include "interrupt.h"
#include "options.h"

#ifndef KXFILE_VERSION
#error "the build defines KXFILE_VERSION, the project's version"
#endif

namespace {

struct Command {
    const char *name;
    int (*run)(int argc, char **argv);
    const char *summary;
};

constexpr Command kCommands[] = {
    {"send", kxcli::SendCommand, "FILE [-o OUT]   the bytes a host receives for a PC file"},
    {"receive", kxcli::ReceiveCommand, "[IN] -o FILE    a host's bytes written into a PC file"},
    {"convert", kxcli::ConvertCommand, "[IN [OUT]]      both at once: a transfer on this machine"},
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
    std::fputs("\n'kxfile help COMMAND' or 'kxfile COMMAND --help' describes a command.\n"
               "  --version        the version of kxfile and of the library it runs with\n"
               "  -l, --list       the character sets (as 'kxfile charsets')\n"
               "convert, send and receive take several files with --output-dir DIR or\n"
               "--in-place, a tree with -r, and -j N files at once.\n"
               "Exit status: 0 success, 1 a failed operation, 2 bad usage.\n",
               out);
}

const Command *FindCommand(const char *name) {
    for (const Command &command : kCommands)
        if (std::strcmp(name, command.name) == 0) return &command;
    return nullptr;
}

int UnknownCommand(const char *name) {
    std::vector<std::string> names;
    for (const Command &command : kCommands) names.push_back(command.name);
    names.push_back("help");
    std::fprintf(stderr, "kxfile: unknown command '%s'%s\n", name, kxcli::DidYouMean(name, names).c_str());
    std::fputs("Try 'kxfile --help'.\n", stderr);
    return 2;
}

// The library this process runs with: the version in the name of the file
// the dynamic linker loaded (libkxfiles.so.MAJOR.MINOR.PATCH once its links
// are followed), and the file itself. The library exports no version call.
std::string LoadedLibrary() {
#if defined(_WIN32)
    HMODULE module = nullptr;
    char path[MAX_PATH] = {};
    if (GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           reinterpret_cast<LPCSTR>(&kxFileOpen), &module) &&
        GetModuleFileNameA(module, path, sizeof path) > 0)
        return std::string("kxfiles ") + path;
    return "kxfiles (not found)";
#else
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&kxFileOpen), &info) == 0 || info.dli_fname == nullptr)
        return "libkxfiles (not found)";
    char *real = realpath(info.dli_fname, nullptr);
    std::string path = real != nullptr ? real : info.dli_fname;
    std::free(real);
    std::string file = path.substr(path.rfind('/') + 1);
    const std::string stem = "libkxfiles.so.";
    std::string version = file.starts_with(stem) ? file.substr(stem.size()) : "of unknown version";
    return "libkxfiles " + version + " (" + path + ")";
#endif
}

int Version() {
    std::printf("kxfile %s\n%s\n", KXFILE_VERSION, LoadedLibrary().c_str());
    return 0;
}

// kxfile help [COMMAND]
int Help(int argc, char **argv) {
    if (argc < 3 || std::strcmp(argv[2], "help") == 0) {
        Usage(stdout);
        return 0;
    }
    const Command *command = FindCommand(argv[2]);
    if (command == nullptr) return UnknownCommand(argv[2]);
    char help[] = "--help";
    char *args[] = {argv[0], argv[2], help, nullptr};
    return command->run(3, args);
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
    std::string first = argv[1];
    if (first == "--help" || first == "-h" || first == "help") return Help(first == "help" ? argc : 2, argv);
    if (first == "--version" || first == "-V") return Version();
    if (first == "--list" || first == "-l") {
        // As 'iconv -l': the sets; what follows goes to 'kxfile charsets'.
        char charsets[] = "charsets";
        argv[1] = charsets;
        return kxcli::CharsetsCommand(argc, argv);
    }
    if (const Command *command = FindCommand(argv[1])) return command->run(argc, argv);
    return UnknownCommand(argv[1]);
}
