// Many files in one command, as dos2unix takes them: each input converted
// into a directory (names kept) or in place, a tree with -r, N files at once,
// and one summary line at the end.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "transfer.h"

namespace kxcli {

// The most files a command converts at once (-j N above it is taken as this).
constexpr unsigned kMostFilesAtOnce = 32;

struct ManyFiles {
    std::vector<std::string> inputs;  // files, and directories with `recursive`
    std::string outputDir;            // "": each file replaced in place
    bool recursive = false;
    unsigned jobs = 1;                // files at once
};

// Runs `plan` (its layers and options; its input and output are ignored) on
// every file of `files`. A file that fails is named and leaves its target as
// it was; the others go on. Returns 0, or 1 when any file failed.
int RunOnManyFiles(const char *command, const ManyFiles &files, const TransferPlan &plan);

}  // namespace kxcli
