#include "transfer.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "charset_names.h"
#include "cli.h"
#include "detect.h"
#include "file_facts.h"
#include "interrupt.h"
#include "input_bytes.h"
#include "loss_report.h"
#include "progress.h"
#include "staged_output.h"

namespace kxcli {
namespace {

// Record mode takes its buffer length as a 16-bit count: the largest even
// length below 65536. Every record (at most 32767 bytes and its prefix and
// pad) fits, so a read always gives whole records.
constexpr uint32_t kRecordBlock = 65534;
constexpr uint32_t kPlainBlock = 256 * 1024;

// The open-mode byte of kxFileCreate2 for write access alone (kxFileCreate
// asks for reading and writing).
constexpr uint32_t kOpenWriteOnly = 0x01;

constexpr uint32_t kRecordEndsOnRead = TXT_READ_CR_ENDS_RECORD | TXT_READ_LF_ENDS_RECORD | TXT_READ_CRLF_ENDS_RECORD;

class Handle {
public:
    ~Handle() { Close(); }
    KXFILE file = nullptr;
    bool Close() {
        if (file == nullptr) return true;
        int32_t ok = kxFileClose(file);
        file = nullptr;
        return ok != 0;
    }
};

// Switches on the layers; false with the library's message under `what`.
bool SetLayers(KXFILE file, const HandleLayers &layers, const std::string &what) {
    int32_t error = 0;
    if (layers.text != 0) error = kxFileSetTranslation(file, layers.text, layers.tabWidth);
    if (error == 0 && layers.charset)
        error = kxFileSetCharsetFlags(file, layers.from, layers.to, layers.charsetOptions, layers.variant);
    if (error == 0 && layers.compression != 0) error = kxFileSetCompression(file, layers.compression);
    if (error != 0) ReportLibraryError(what);
    return error == 0;
}

// Standard input copied to a temporary file, for what must read the input
// twice (the loss report and --strict before a byte is written, --detect
// before the layers are chosen) and for the layers where the library cannot
// open standard input by name.
class SpooledInput {
public:
    ~SpooledInput() { RunUndo(undo_); }
    bool Spool() {
        {
            SignalsHeld held;  // until the spool file is recorded for removal
            path = MakeTemporaryFile(TemporaryDirectory());
            if (path.empty()) return false;
            Undo undo;
            undo.path = path;  // removed
            undo_ = Remember(undo);
        }
        FILE *out = std::fopen(path.c_str(), "wb");
        if (out == nullptr) return false;
        std::vector<char> block(kPlainBlock);
        bool ok = true;
        for (size_t got; (got = std::fread(block.data(), 1, block.size(), stdin)) > 0;)
            if (std::fwrite(block.data(), 1, got, out) != got) ok = false;
        if (std::ferror(stdin)) ok = false;
        if (std::fclose(out) != 0) ok = false;
        if (!ok) std::fprintf(stderr, "kxfile: standard input: could not be spooled to %s\n", path.c_str());
        return ok;
    }
    std::string path;

private:
    int undo_ = -1;
};

// --detect: the from set is the detection's answer, or --from where the
// detection cannot decide (undecided, single-byte text). False when it
// refuses, with the evidence printed: nothing is written then.
bool DetectFromSet(TransferPlan &plan, const std::string &inputName) {
    InputBytes input;
    if (!input.Open(plan.input)) return false;
    Detection detection = DetectEncoding(input);
    if (input.Failed()) return false;
    HandleLayers &layers = plan.reader.charset ? plan.reader : plan.writer;
    const std::string found = inputName + ": " + DescribeDetection(detection);
    switch (detection.answer) {
    case Answer::kSet:
        if (IsHostDoubleByteSet(detection.charset) && IsHostDoubleByteSet(layers.to)) {
            std::fprintf(stderr, "kxfile: %s\nkxfile: %s: between two host double-byte sets convert through "
                         "shift_jis, in two steps; nothing written\n", found.c_str(), inputName.c_str());
            return false;
        }
        layers.from = detection.charset;
        return true;
    case Answer::kAscii:
        // 7-bit text reads alike in the sets it comes from; Shift-JIS's
        // single bytes are ASCII.
        layers.from = plan.detectFallback.value_or(51);
        return true;
    case Answer::kUtf8:
        // The layers are chosen by now: UTF-8 to a host double-byte set
        // would need the two steps through Shift-JIS that --from utf-8 gives.
        if (IsHostDoubleByteSet(layers.to)) {
            std::fprintf(stderr, "kxfile: %s\nkxfile: %s: give --from utf-8 to convert UTF-8 to a host set; "
                         "nothing written\n", found.c_str(), inputName.c_str());
            return false;
        }
        layers.from = KXCHARSET_UTF8;
        return true;
    case Answer::kUtf16:
        std::fprintf(stderr, "kxfile: %s\nkxfile: %s: UTF-16 is not converted; nothing written\n", found.c_str(),
                     inputName.c_str());
        return false;
    case Answer::kUndecided:
    case Answer::kSingleByte:
        if (plan.detectFallback) {
            layers.from = *plan.detectFallback;
            std::fprintf(stderr, "kxfile: %s\nkxfile: %s: read as %s (--from)\n", found.c_str(), inputName.c_str(),
                         CharsetDisplayName(layers.from).c_str());
            return true;
        }
        std::fprintf(stderr,
                     "kxfile: %s\nkxfile: %s: the detection cannot decide; nothing written (--from SET names the "
                     "set to read it as then)\n",
                     found.c_str(), inputName.c_str());
        return false;
    }
    return false;
}

// The loss report, made before the transfer (so that --strict can write
// nothing) and printed after it; false when the transfer must not go on
// (--strict with a loss, or an unreadable input).
bool CheckLosses(const TransferPlan &plan, const std::string &inputName, LossReport &report, int &status) {
    const HandleLayers &layers = plan.reader.charset ? plan.reader : plan.writer;
    if (layers.charset && (layers.charsetOptions & CSF_TRANSLATE) != 0) {
        InputBytes input;
        if (!input.Open(plan.input) || !ScanLosses(input, layers.from, layers.to, plan.kanaToFull, report)) {
            status = 1;
            return false;
        }
    }
    if (plan.strict && report.count > 0) {
        PrintLossReport(report, inputName, layers.from, layers.to);
        std::fprintf(stderr, "kxfile: %s: nothing written (--strict)\n", inputName.c_str());
        status = 1;
        return false;
    }
    return true;
}

// How the read bytes reach the writing handle.
enum class Pipe {
    kPlain,    // as they are read
    kRecords,  // both handles in record mode
};

// Record ends that the reading side makes must reach the writing side as
// record ends, not as the byte 0xFF that also stands for itself: both
// handles then speak record mode, whose length prefixes carry every byte
// value and every record end. The writing handle's own text and
// character-set layers give each record its line end and its set, a whole
// record at a time where they can.
Pipe ChoosePipe(const TransferPlan &plan) {
    const HandleLayers &reader = plan.reader, &writer = plan.writer;
    bool records = (reader.text & kRecordEndsOnRead) != 0 && reader.compression == 0 && writer.compression == 0 &&
                   plan.input != "-" && writer.Any();
    return records ? Pipe::kRecords : Pipe::kPlain;
}

}  // namespace

int RunTransfer(TransferPlan plan) {
    std::string inputName = plan.input == "-" ? "standard input" : plan.input;
    FileFacts inputFacts;
    if (!ExamineInput(plan.input, inputFacts)) return 1;

    // The layers read files by name. Standard input is opened by a name for
    // its descriptor, and so read as it comes; it is copied to a spool file
    // only for what reads the input twice, or where no such name exists.
    SpooledInput spooled;
    bool readsTwice = plan.report || plan.strict || plan.detect;
    if (plan.input == "-" && (plan.reader.Any() || readsTwice)) {
        plan.input = readsTwice ? "" : DescriptorPath(0);
        if (plan.input.empty()) {
            if (!spooled.Spool()) return 1;
            plan.input = spooled.path;
        }
    }
    if (plan.detect && !DetectFromSet(plan, inputName)) return 1;
    int status = 0;
    LossReport losses;
    bool goOn = !(plan.report || plan.strict) || CheckLosses(plan, inputName, losses, status);
    if (plan.lossCount != nullptr) *plan.lossCount = losses.count;  // a driver of many files adds them up
    if (!goOn) return status;
    const HandleLayers &translating = plan.reader.charset ? plan.reader : plan.writer;
    const uint16_t reportFrom = translating.from, reportTo = translating.to;

    Pipe pipe = ChoosePipe(plan);

    Handle in;
    FILE *standardIn = nullptr;
    if (plan.input == "-") {
        standardIn = stdin;
    } else {
        NameBuffer name;
        if (!name.Set(LibraryName(plan.input))) return 1;
        in.file = kxFileOpen(name.text, 0);
        if (in.file == nullptr) {
            ReportLibraryError(inputName);
            return 1;
        }
        if (!SetLayers(in.file, plan.reader, inputName)) return 1;
    }

    StagedOutput staged;
    Handle out;
    FILE *standardOut = nullptr;
    std::string outputName = plan.output == "-" ? "standard output" : plan.output;
    if (plan.output == "-" && !plan.writer.Any()) {
        if (!CheckStandardOutput(inputFacts)) return 1;
        standardOut = stdout;
    } else {
        OutputRequest request{plan.append, plan.keepPartial, plan.mayReplaceInput, inputFacts, plan.outputNameExact};
        NameBuffer name;
        if (!name.Set(staged.Begin(plan.output, request))) return 1;
        if (staged.Appending()) out.file = kxFileAppend(name.text, plan.skipCtrlZ, 1);
        else if (staged.InPlace()) out.file = kxFileCreate2(name.text, 1, kOpenWriteOnly);
        else out.file = kxFileCreate(name.text, 1);
        if (out.file == nullptr) {
            ReportLibraryError(outputName);
            return 1;
        }
        if (!SetLayers(out.file, plan.writer, outputName)) return 1;
    }

    if (pipe != Pipe::kPlain && !SetLayers(in.file, {.compression = 32}, inputName)) return 1;
    if (pipe == Pipe::kRecords && !SetLayers(out.file, {.compression = 32}, outputName)) return 1;
    // A writer in record mode or expanding takes fewer bytes than it is given
    // (prefixes and pad bytes, compressed codes): only plain writes must take all.
    bool countsEveryByte = pipe != Pipe::kRecords && plan.writer.compression == 0;

    uint32_t blockSize = pipe == Pipe::kPlain ? kPlainBlock : kRecordBlock;
    std::vector<unsigned char> block(blockSize);
    // A pipe's size is unknown: the bar then counts the bytes read.
    Progress progress(inputFacts.kind == FileKind::kRegular ? inputFacts.size : 0, plan.progress);
    uint64_t consumed = 0;
    uint32_t lastStreamCount = 0;
    for (;;) {
        uint32_t got = 0;
        if (standardIn != nullptr) {
            got = static_cast<uint32_t>(std::fread(block.data(), 1, blockSize, standardIn));
            if (got == 0 && std::ferror(standardIn)) {
                std::fprintf(stderr, "kxfile: standard input: read error\n");
                status = 1;
                break;
            }
        } else if (!kxFileRead(in.file, block.data(), blockSize, &got)) {
            ReportLibraryError(inputName);
            status = 1;
            break;
        }
        if (got == 0) break;
        if (standardIn != nullptr) progress.Update(consumed += got);
        const unsigned char *data = block.data();
        if (standardOut != nullptr) {
            if (std::fwrite(data, 1, got, standardOut) != got) {
                std::fprintf(stderr, "kxfile: standard output: write error\n");
                status = 1;
                break;
            }
        } else {
            uint32_t put = 0;
            if (!kxFileWrite(out.file, data, got, &put) || (countsEveryByte && put != got)) {
                ReportLibraryError(outputName);
                status = 1;
                break;
            }
        }
        if (in.file != nullptr) {
            // The stream's count of bytes taken from the file is 32 bits wide.
            uint32_t streamCount = kxFileGetBytesRead(in.file, 0);
            consumed += static_cast<uint32_t>(streamCount - lastStreamCount);
            lastStreamCount = streamCount;
            progress.Update(consumed);
        }
    }
    progress.Finish();
    in.Close();
    if (out.file != nullptr && !out.Close() && status == 0) {
        ReportLibraryError(outputName);
        status = 1;
    }
    if (standardOut != nullptr && std::fflush(standardOut) != 0 && status == 0) {
        std::fprintf(stderr, "kxfile: standard output: write error\n");
        status = 1;
    }
    if (standardOut == nullptr) {
        if (status == 0 && !staged.Commit()) status = 1;
        if (status != 0) staged.Abort();
    }
    if (plan.report) PrintLossReport(losses, inputName, reportFrom, reportTo);
    return status;
}

}  // namespace kxcli
