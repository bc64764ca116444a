// One transfer: a file read through one handle's layers and written through
// another's, with the loss report, the progress bar and an output that never
// half-exists. send, receive and convert differ only in how they set it up.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kxcli {

// The layers of one handle, switched on in the order text, character set,
// compression (the library stacks them in its own fixed order).
struct HandleLayers {
    uint32_t text = 0;  // TXT_* options; 0: no text layer
    uint32_t tabWidth = 8;
    bool charset = false;
    uint16_t from = 0, to = 0;
    uint32_t charsetOptions = 0, variant = 0;
    uint32_t compression = 0;  // 1, 2, 4, 8, or 32 for record mode; 0: none

    bool Any() const { return text != 0 || charset || compression != 0; }
};

struct TransferPlan {
    std::string input = "-";   // command-line path; "-": standard input
    std::string output = "-";  // command-line path; "-": standard output
    HandleLayers reader, writer;
    bool append = false, skipCtrlZ = false, keepPartial = false;
    bool mayReplaceInput = true;  // false: an output that is the input is refused (copy)
    // The output's spelling is known to be the only one of its directory
    // without regard to case, so a missing output is not searched for.
    bool outputNameExact = false;
    bool report = false, strict = false;
    bool detect = false;  // the from set is detected from the input
    std::optional<uint16_t> detectFallback;  // --from with --detect: the set when detection cannot decide
    bool kanaToFull = false;
    bool throughShiftJis = false;  // run in two steps (RunChainedTransfer)
    std::optional<bool> progress;
    // Where the transfer leaves the number of characters the target set
    // lacks, when it counted them (--report, --strict); nullptr: nowhere.
    uint64_t *lossCount = nullptr;
};

// Runs the transfer; returns the exit code (0, or 1 with a message printed).
int RunTransfer(TransferPlan plan);

// Whether the library converts `from` into `to` only through Shift-JIS (a
// host double-byte set on one side, another one or UTF-8 on the other).
bool NeedsShiftJisBetween(uint16_t from, uint16_t to);
// The transfer in two steps through a temporary Shift-JIS file.
int RunChainedTransfer(TransferPlan plan);
// The transfer as planned: in two steps when it goes through Shift-JIS,
// else in one. Every command and the driver of many files run it so.
int RunPlannedTransfer(const TransferPlan &plan);

}  // namespace kxcli
