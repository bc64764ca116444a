// kxfile send, receive and convert: the options a person gives, turned into
// the layers of the reading and the writing handle of one transfer.
#include <algorithm>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "charset_names.h"
#include "cli.h"
#include "file_facts.h"
#include "many_files.h"
#include "options.h"
#include "transfer.h"

namespace kxcli {
namespace {

constexpr OptionSpec kTransferOptions[] = {
    {"output", 'o', true},        {"from", 'f', true},          {"to", 't', true},
    {"national", 0, true},        {"oem-to-ansi", 0, false},    {"ansi-to-oem", 0, false},
    {"kana-to-full", 0, false},   {"kana-to-half", 0, false},   {"detect", 0, false},
    {"charset-options", 0, true}, {"records", 0, true},         {"write-records", 0, true},
    {"ctrl-z", 0, false},         {"write-ctrl-z", 0, false},   {"tabs", 0, true},
    {"spaces-to-tabs", 0, false}, {"strip-trailing", 0, false}, {"lf-to-crlf", 0, false},
    {"cr-to-crlf", 0, false},     {"drop-cr", 0, false},        {"drop-lf", 0, false},
    {"text-options", 0, true},    {"compress", 0, true},        {"report", 0, false},
    {"strict", 0, false},         {"keep-partial", 0, false},   {"progress", 0, false},
    {"no-progress", 0, false},    {"host-name", 0, true},       {"unique", 0, false},
    {"83", 0, false},             {"drop-last-ext", 0, false},  {"append", 0, false},
    {"skip-ctrl-z", 0, false},    {"force", 0, false},          {"output-dir", 0, true},
    {"in-place", 'i', false},     {"recursive", 'r', false},    {"jobs", 'j', true},
    {"bom", 0, false},            {"keep-bom", 0, false},       {"jis-mapping", 0, false},
};

const char kLayerHelp[] =
    "character sets:\n"
    "  -f, --from SET         the set of the input (name, alias or number; see\n"
    "                         'kxfile charsets')\n"
    "  -t, --to SET           the set of the output\n"
    "  --national N           national variant 1-17 of the 7-bit side (sets 5, 6,\n"
    "                         15); variants 5, 6, 12 and 15 of set 6 use dead keys\n"
    "  --oem-to-ansi          the input is in the OEM code page: to ANSI first\n"
    "  --ansi-to-oem          the result goes from ANSI to the OEM code page\n"
    "  --kana-to-full         half-width katakana become full-width (Shift-JIS input)\n"
    "  --kana-to-half         full-width katakana become half-width (Shift-JIS output)\n"
    "  --detect               the encoding detected in the input decides --from;\n"
    "                         with --from too, that set is used where the\n"
    "                         detection cannot decide (else nothing is written)\n"
    "  --bom                  UTF-8 output begins with a byte-order mark\n"
    "  --keep-bom             a byte-order mark that begins UTF-8 input is kept\n"
    "  --jis-mapping          Shift-JIS 0x8160, 0x8161, 0x817C, 0x8191, 0x8192,\n"
    "                         0x81CA are JIS X 0208's characters, not Windows'\n"
    "  --charset-options N    the raw CSF_* options (experts)\n"
    "text:\n"
    "  --records crlf|lf|cr   how the input's lines end (they become records)\n"
    "  --write-records crlf|lf|cr|none\n"
    "                         how records end in the output\n"
    "  --ctrl-z               a Ctrl-Z ends the input\n"
    "  --write-ctrl-z         end the output with a Ctrl-Z\n"
    "  --tabs N               tab stops every N columns: input tabs become spaces\n"
    "  --spaces-to-tabs       runs of spaces in the output become tabs (--tabs N, 8)\n"
    "  --strip-trailing       drop spaces at the ends of output lines\n"
    "  --lf-to-crlf           a CR before every LF of the output\n"
    "  --cr-to-crlf           an LF after every CR of the input\n"
    "  --drop-cr, --drop-lf   drop every CR or LF\n"
    "  --text-options N       the raw TXT_* options, on both sides (experts)\n"
    "loss report and output:\n"
    "  --report               count the characters the target set lacks, with the\n"
    "                         first positions (on standard error)\n"
    "  --strict               write nothing when a character would be lost\n"
    "  --keep-partial         keep what was written when the transfer fails\n"
    "  --progress, --no-progress\n"
    "                         a progress bar on standard error (default: when it\n"
    "                         is a terminal and the input is large)\n"
    "many files:\n"
    "  --output-dir DIR       each input converted into DIR under its own name\n"
    "                         (DIR and its subdirectories made as needed)\n"
    "  -i, --in-place         each input replaced by its converted form, safely:\n"
    "                         a file that fails is left as it was\n"
    "  -r, --recursive        a directory input: every file of its tree (with\n"
    "                         --output-dir, the tree's paths are kept under DIR)\n"
    "  -j, --jobs N           N files at once, each in a worker process (default:\n"
    "                         the number of processors; at most 32; on Windows\n"
    "                         one file at a time); each file's messages whole\n"
    "                         A summary line ends the work (files, bytes, losses\n"
    "                         with --report, failures); every failure is named.\n"
    "Option values and set names are taken without regard to case.\n"
    "exit status: 0 done, 1 the transfer (or any file's) failed, 2 bad usage.\n";

void SendUsage(FILE *out) {
    std::fputs("usage: kxfile send FILE [-o OUT] [OPTIONS]\n"
               "       kxfile send FILE... (--output-dir DIR | --in-place) [-r] [-j N] [OPTIONS]\n"
               "Reads the PC file FILE through the layers and writes the bytes a host\n"
               "receives to OUT (standard output without -o). Record ends (--records)\n"
               "reach OUT as the byte 0xFF unless --write-records gives them line ends or\n"
               "--compress record frames them.\n"
               "  --compress 1|2|4|8|record\n"
               "                         compress with that method, or frame the records\n"
               "                         with length prefixes\n",
               out);
    std::fputs(kLayerHelp, out);
    std::fputs("example: kxfile send report.txt --from cp437 --to latin1 --records crlf\n"
               "         --write-records lf -o report.host\n",
               out);
}

void ReceiveUsage(FILE *out) {
    std::fputs("usage: kxfile receive [IN] (-o FILE | --host-name NAME) [OPTIONS]\n"
               "       kxfile receive IN... (--output-dir DIR | --in-place) [-r] [-j N] [OPTIONS]\n"
               "Writes bytes received from a host (IN, or standard input) through the\n"
               "layers into a PC file.\n"
               "  -o FILE                the PC file\n"
               "  --host-name NAME       the file takes the local name made from the host's\n"
               "                         name NAME, in the current directory's volume\n"
               "  --83                   that local name in 8.3 form\n"
               "  --drop-last-ext        8.3 form: cut a name with two dots at the last one\n"
               "                         (the host's drive and directories are dropped)\n"
               "  --unique               number the name (NAME000.EXT, ...) when it is taken\n"
               "  --force                overwrite a file that has the host's name already\n"
               "  --append               append to the file (created when missing)\n"
               "  --skip-ctrl-z          appending: write over a final Ctrl-Z\n"
               "  --compress 1|2|4|8|record\n"
               "                         the received data are compressed with that method,\n"
               "                         or framed records\n",
               out);
    std::fputs(kLayerHelp, out);
    std::fputs("example: kxfile receive --from euc-jp --to shift_jis --records lf\n"
               "         --write-records crlf -o notes.txt < notes.host\n",
               out);
}

void ConvertUsage(FILE *out) {
    std::fputs("usage: kxfile convert [IN [OUT]] [OPTIONS]     (or IN -o OUT)\n"
               "       kxfile convert IN... (--output-dir DIR | --in-place) [-r] [-j N] [OPTIONS]\n"
               "A transfer that never leaves the machine: IN is read as one side of a\n"
               "transfer reads it and OUT written as the other side writes it. Without IN\n"
               "(or with '-') standard input is read, without OUT (or with '-') standard\n"
               "output written, as iconv does. Records pass between the two sides unchanged.\n"
               "  -o, --output OUT       the output\n",
               out);
    std::fputs(kLayerHelp, out);
    std::fputs("examples: kxfile convert dos.txt unix.txt --from cp437 --to latin1 --records crlf\n"
               "          --write-records lf\n"
               "          kxfile convert -f sjis -t iso-2022-jp < sjis.txt > jis.txt\n"
               "          kxfile convert -f cp437 -t latin1 --records crlf --write-records lf\n"
               "          --in-place -j 2 *.txt\n",
               out);
}

bool ParseLineEnd(const std::string &text, bool writing, uint32_t &options) {
    if (SameWord(text, "crlf")) options |= writing ? TXT_WRITE_RECORD_CRLF : TXT_READ_CRLF_ENDS_RECORD;
    else if (SameWord(text, "lf")) options |= writing ? TXT_WRITE_RECORD_LF : TXT_READ_LF_ENDS_RECORD;
    else if (SameWord(text, "cr")) options |= writing ? TXT_WRITE_RECORD_CR : TXT_READ_CR_ENDS_RECORD;
    else if (SameWord(text, "none") && writing) options |= TXT_WRITE_RECORD_NOTHING;
    else return false;
    return true;
}

// The options shared by the three commands; false after a usage message.
bool ParseLayers(const char *command, const ParsedArgs &args, bool readerCompresses, TransferPlan &plan) {
    HandleLayers &reader = plan.reader;
    HandleLayers &writer = plan.writer;
    uint64_t number = 0;
    auto fail = [&](const std::string &message) {
        UsageError(command, message);
        return false;
    };

    // Character sets.
    bool charset = args.Has("from") || args.Has("to") || args.Has("detect");
    uint16_t from = 0, to = 0;
    if (charset) {
        std::string fromName = args.Last("from"), toName = args.Last("to");
        if (toName.empty()) return fail("--to SET is needed with --from or --detect");
        auto toSet = CharsetByName(toName);
        if (!toSet) return fail(UnknownCharsetMessage(toName));
        to = *toSet;
        if (!fromName.empty()) {
            auto fromSet = CharsetByName(fromName);
            if (!fromSet) return fail(UnknownCharsetMessage(fromName));
            from = *fromSet;
        } else if (!args.Has("detect")) {
            return fail("--from SET is needed with --to");
        }
    }
    uint32_t options = charset ? CSF_TRANSLATE : 0;
    if (charset) options |= CharsetNameOptions(args.Last("from")) | CharsetNameOptions(args.Last("to"));
    uint32_t variant = 0;
    if (args.Has("national")) {
        if (!ParseNumber(args.Last("national"), 1, 17, number)) return fail("--national takes a variant 1-17");
        variant = static_cast<uint32_t>(number);
        auto national = [](uint16_t set) { return set == 5 || set == 6 || set == 15; };
        // The 7-bit side is the one whose set has national variants; the
        // target when both have.
        if (national(to)) options |= CSF_NATIONAL_TARGET;
        else if (national(from)) options |= CSF_NATIONAL_SOURCE;
        else return fail("--national needs set 5, 6 or 15 as --from or --to");
    }
    if (args.Has("oem-to-ansi")) options |= CSF_OEM_TO_ANSI;
    if (args.Has("ansi-to-oem")) options |= CSF_ANSI_TO_OEM;
    if (args.Has("kana-to-full")) options |= CSF_KANA_TO_FULL;
    if (args.Has("kana-to-half")) options |= CSF_KANA_TO_HALF;
    if (args.Has("bom")) options |= CSF_WRITE_BOM;
    if (args.Has("keep-bom")) options |= CSF_KEEP_BOM;
    if (args.Has("jis-mapping")) options |= CSF_SJIS_JIS_MAPPING;
    if (args.Has("charset-options")) {
        if (!ParseNumber(args.Last("charset-options"), 0, 0xFFFFFFFF, number))
            return fail("--charset-options takes a number");
        options = static_cast<uint32_t>(number);
    }
    if (!charset && options != 0) return fail("character-set options need --from and --to");
    plan.detect = args.Has("detect");
    if (plan.detect && args.Has("from")) plan.detectFallback = from;
    plan.kanaToFull = (options & CSF_KANA_TO_FULL) != 0;

    // Which handle translates. Host text becomes Shift-JIS on the writing
    // side (and the detection decides what that side takes); Shift-JIS
    // becomes host text on the reading side, as do national variants (whose
    // dead keys split characters when read and join them when written) and
    // everything before a compressor. A plain single-byte translation gives
    // the same bytes on either side; the writing side costs less there.
    bool onWriter = IsPcDoubleByteSet(to) || plan.detect ||
                    (!IsPcDoubleByteSet(from) && variant == 0 && !readerCompresses);
    HandleLayers &translating = onWriter ? writer : reader;
    if (charset) {
        // Pairs that need Shift-JIS between them run in two steps
        // (RunChainedTransfer); detection into UTF-8 may find a host set.
        plan.throughShiftJis = NeedsShiftJisBetween(from, to) || (plan.detect && to == KXCHARSET_UTF8);
        translating.charset = true;
        translating.from = from;
        translating.to = to;
        translating.charsetOptions = options;
        translating.variant = variant;
    }

    // Text.
    if (args.Has("records") && !ParseLineEnd(args.Last("records"), false, reader.text))
        return fail("--records takes crlf, lf or cr");
    if (args.Has("write-records") && !ParseLineEnd(args.Last("write-records"), true, writer.text))
        return fail("--write-records takes crlf, lf, cr or none");
    if (args.Has("ctrl-z")) reader.text |= TXT_READ_CTRLZ_ENDS;
    if (args.Has("write-ctrl-z")) writer.text |= TXT_CTRLZ_AT_CLOSE;
    if (args.Has("tabs")) {
        if (!ParseNumber(args.Last("tabs"), 1, 255, number)) return fail("--tabs takes a width 1-255");
        reader.text |= TXT_TABS;
        reader.tabWidth = writer.tabWidth = static_cast<uint32_t>(number);
    }
    if (args.Has("spaces-to-tabs")) writer.text |= TXT_SPACES_TO_TABS;
    if (args.Has("strip-trailing")) writer.text |= TXT_STRIP_TRAILING_SPACES;
    if (args.Has("lf-to-crlf")) writer.text |= TXT_WRITE_LF_TO_CRLF;
    if (args.Has("cr-to-crlf")) reader.text |= TXT_READ_CR_TO_CRLF;
    if (args.Has("drop-cr")) reader.text |= TXT_DROP_CR;
    if (args.Has("drop-lf")) reader.text |= TXT_DROP_LF;
    if (args.Has("text-options")) {
        if (!ParseNumber(args.Last("text-options"), 1, 0xFFFF, number))
            return fail("--text-options takes a number 1-0xFFFF");
        reader.text |= static_cast<uint32_t>(number);
        writer.text |= static_cast<uint32_t>(number);
    }

    // The rest.
    plan.report = args.Has("report");
    plan.strict = args.Has("strict");
    plan.keepPartial = args.Has("keep-partial");
    if (args.Has("progress")) plan.progress = true;
    if (args.Has("no-progress")) plan.progress = false;
    return true;
}

bool ParseCompression(const char *command, const ParsedArgs &args, HandleLayers &layers) {
    if (!args.Has("compress")) return true;
    std::string method = args.Last("compress");
    uint64_t number = 0;
    if (SameWord(method, "record")) layers.compression = 32;
    else if (ParseNumber(method, 1, 8, number) && (number == 1 || number == 2 || number == 4 || number == 8))
        layers.compression = static_cast<uint32_t>(number);
    else {
        UsageError(command, "--compress takes 1, 2, 4, 8 or record");
        return false;
    }
    return true;
}

// A file named by a host is written only where nothing is yet, unless
// --force (or --append) says so, and never through a symbolic link, which
// could lead out of the current directory.
bool MayWriteHostNamed(const std::string &local, bool overwrite) {
    FileFacts facts = Examine(ReachedPath(local));
    if (facts.kind == FileKind::kMissing && facts.error == 0) return true;
    const char *why = nullptr;
    if (IsSymbolicLink(local)) why = "is a symbolic link; a host's name is not followed out of the directory";
    else if (!overwrite) why = "exists; --force overwrites it, --unique numbers the new name";
    if (why == nullptr) return true;
    std::fprintf(stderr, "kxfile: %s: %s\n", local.c_str(), why);
    return false;
}

// Options that belong to receive only.
bool RejectReceiveOptions(const char *command, const ParsedArgs &args) {
    for (const char *name : {"host-name", "unique", "force", "83", "drop-last-ext", "append", "skip-ctrl-z"})
        if (args.Has(name)) {
            UsageError(command, std::string("--") + name + " belongs to 'kxfile receive'");
            return false;
        }
    return true;
}

// --output-dir, --in-place, -r and -j: whether the command works on many
// files; nothing when it does not, else the exit code of a usage error.
std::optional<int> ParseManyFiles(const char *command, const ParsedArgs &args, bool &many, ManyFiles &files) {
    many = args.Has("output-dir") || args.Has("in-place") || args.Has("recursive");
    if (!many) {
        if (args.Has("jobs")) return UsageError(command, "-j goes with --output-dir DIR or --in-place");
        return std::nullopt;
    }
    if (args.Has("output-dir") == args.Has("in-place"))
        return UsageError(command, "give either --output-dir DIR or --in-place with several files or -r");
    if (args.Has("output")) return UsageError(command, "-o names one output; several files take --output-dir DIR");
    for (const char *name : {"append", "skip-ctrl-z", "host-name", "unique", "force", "83", "drop-last-ext"})
        if (args.Has(name)) return UsageError(command, std::string("--") + name + " goes with one file");
    if (args.positional.empty()) return UsageError(command, "the files to convert are needed");
    for (const std::string &input : args.positional)
        if (input == "-") return UsageError(command, "standard input is not one of several files");
    files.inputs = args.positional;
    files.outputDir = args.Last("output-dir");
    if (args.Has("output-dir") && files.outputDir.empty()) return UsageError(command, "--output-dir needs a directory");
    files.recursive = args.Has("recursive");
    files.jobs = std::max(1u, std::thread::hardware_concurrency());
    uint64_t number = 0;
    if (args.Has("jobs")) {
        if (!ParseNumber(args.Last("jobs"), 1, 1024, number)) return UsageError(command, "-j takes a number of files 1-1024");
        files.jobs = static_cast<unsigned>(number);
    }
    return std::nullopt;
}

int SeveralFilesNeedATarget(const char *command) {
    return UsageError(command, "several files take --output-dir DIR or --in-place");
}

}  // namespace

int SendCommand(int argc, char **argv) {
    ParsedArgs args;
    if (auto done = ParseCommandLine("send", argc, argv, kTransferOptions, SendUsage, args)) return *done;
    bool many = false;
    ManyFiles files;
    if (auto done = ParseManyFiles("send", args, many, files)) return *done;
    if (!many && args.positional.size() > 1) return SeveralFilesNeedATarget("send");
    if (!many && args.positional.size() != 1) return UsageError("send", "one FILE to send is needed");
    TransferPlan plan;
    if (!RejectReceiveOptions("send", args) || !ParseLayers("send", args, args.Has("compress"), plan) ||
        !ParseCompression("send", args, plan.reader))
        return 2;
    if (many) return RunOnManyFiles("send", files, plan);
    plan.input = args.positional[0];
    plan.output = args.Has("output") ? args.Last("output") : "-";
    return RunPlannedTransfer(plan);
}

int ReceiveCommand(int argc, char **argv) {
    ParsedArgs args;
    if (auto done = ParseCommandLine("receive", argc, argv, kTransferOptions, ReceiveUsage, args)) return *done;
    bool many = false;
    ManyFiles files;
    if (auto done = ParseManyFiles("receive", args, many, files)) return *done;
    if (!many) {
        if (args.positional.size() > 1) return SeveralFilesNeedATarget("receive");
        if (args.Has("output") == args.Has("host-name"))
            return UsageError("receive", "give either -o FILE or --host-name NAME");
        if (!args.Has("host-name"))
            for (const char *name : {"unique", "force", "83", "drop-last-ext"})
                if (args.Has(name)) return UsageError("receive", std::string("--") + name + " goes with --host-name");
        if (args.Has("skip-ctrl-z") && !args.Has("append"))
            return UsageError("receive", "--skip-ctrl-z goes with --append");
    }
    TransferPlan plan;
    if (!ParseLayers("receive", args, false, plan) || !ParseCompression("receive", args, plan.writer)) return 2;
    if (plan.writer.compression != 0 && (plan.report || plan.strict))
        return UsageError("receive", "--report and --strict read plain text, not compressed data");
    if (many) return RunOnManyFiles("receive", files, plan);
    plan.input = args.positional.empty() ? "-" : args.positional[0];
    plan.append = args.Has("append");
    plan.skipCtrlZ = args.Has("skip-ctrl-z");
    if (args.Has("host-name")) {
        plan.output = LocalNameOf(args.Last("host-name"), args.Has("83"), args.Has("drop-last-ext"), args.Has("unique"));
        if (plan.output.empty() || !MayWriteHostNamed(plan.output, args.Has("force") || plan.append)) return 1;
    } else {
        plan.output = args.Last("output");
        if (plan.output == "-") return UsageError("receive", "the PC file cannot be standard output");
    }
    int status = RunPlannedTransfer(plan);
    if (status == 0 && args.Has("host-name")) std::printf("%s\n", plan.output.c_str());
    return status;
}

int ConvertCommand(int argc, char **argv) {
    ParsedArgs args;
    if (auto done = ParseCommandLine("convert", argc, argv, kTransferOptions, ConvertUsage, args)) return *done;
    bool many = false;
    ManyFiles files;
    if (auto done = ParseManyFiles("convert", args, many, files)) return *done;
    if (args.Has("compress")) return UsageError("convert", "--compress belongs to send and receive");
    if (!RejectReceiveOptions("convert", args)) return 2;
    TransferPlan plan;
    if (!ParseLayers("convert", args, false, plan)) return 2;
    if (many) return RunOnManyFiles("convert", files, plan);
    // As iconv: IN and OUT default to standard input and output; OUT is the
    // second argument or -o, not both.
    const std::vector<std::string> &paths = args.positional;
    if (paths.size() > 2 || (paths.size() == 2 && args.Has("output"))) return SeveralFilesNeedATarget("convert");
    plan.input = paths.empty() ? "-" : paths[0];
    plan.output = paths.size() == 2 ? paths[1] : args.Has("output") ? args.Last("output") : "-";
    return RunPlannedTransfer(plan);
}

}  // namespace kxcli
