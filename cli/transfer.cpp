#include "transfer.h"

#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
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
    kPlain,     // as they are read
    kRecords,   // both handles in record mode
    kUnframed,  // the reader in record mode; each record given its line end here
};

// The results of `table` for every string of two bytes, indexed by the two
// bytes as they stand in memory: 64K entries, built once per transfer.
std::vector<uint16_t> PairTable(const std::array<uint8_t, 256> &table) {
    std::vector<uint16_t> pairs(65536);
    for (uint32_t key = 0; key < 65536; ++key) {
        const auto index = static_cast<uint16_t>(key);
        unsigned char two[2];
        std::memcpy(two, &index, 2);
        const unsigned char result[2] = {table[two[0]], table[two[1]]};
        std::memcpy(&pairs[key], result, 2);
    }
    return pairs;
}

// Record ends that the reading side makes must reach the writing side as
// record ends, not as the byte 0xFF that also stands for itself: both
// handles then speak record mode, whose length prefixes carry every byte
// value and every record end. When the writing side's text layer does
// nothing but end records, and its character-set layer (if any) is a plain
// single-byte table that gives the same bytes on the reading side, the
// records are instead framed off here and given their line end, and the
// writing handle takes plain blocks: the same bytes, without the cost of
// passing every byte through the writing side's layers one at a time.
Pipe ChoosePipe(TransferPlan &plan) {
    HandleLayers &reader = plan.reader, &writer = plan.writer;
    bool records = (reader.text & kRecordEndsOnRead) != 0 && reader.compression == 0 && writer.compression == 0 &&
                   plan.input != "-" && writer.Any();
    if (!records) return Pipe::kPlain;
    std::optional<std::string> lineEnd;
    switch (writer.text) {
    case TXT_WRITE_RECORD_CR: lineEnd = "\r"; break;
    case TXT_WRITE_RECORD_LF: lineEnd = "\n"; break;
    case TXT_WRITE_RECORD_CRLF: lineEnd = "\r\n"; break;
    case TXT_WRITE_RECORD_NOTHING: lineEnd = ""; break;
    default: break;
    }
    bool tableMoves = !writer.charset || (!reader.charset && !IsPcDoubleByteSet(writer.to) &&
                                          !IsPcDoubleByteSet(writer.from) && writer.variant == 0 && !plan.detect);
    if (!lineEnd || !tableMoves) return Pipe::kRecords;
    // UTF-8 has no byte table: its layer stays on the writing side, which
    // then takes the framed-off lines in blocks.
    const bool unicode = writer.charset && (writer.from == KXCHARSET_UTF8 || writer.to == KXCHARSET_UTF8);
    if (writer.charset && !unicode) {
        reader.charset = true;
        reader.from = writer.from;
        reader.to = writer.to;
        reader.charsetOptions = writer.charsetOptions;
        writer.charset = false;
    }
    writer.text = 0;
    plan.recordEnd = *lineEnd;
    // A translation through the table alone (no OEM/ANSI step, no national
    // row, no double-byte text) is the table that kxFileSetupXlat hands out
    // for the layer's own request; it is applied here while the records are
    // framed off, a block at a time instead of a value at a time. Without a
    // table the layer passes bytes unchanged, and so does the identity.
    if (reader.charset && reader.charsetOptions == CSF_TRANSLATE && reader.variant == 0 &&
        !IsPcDoubleByteSet(reader.from) && !IsPcDoubleByteSet(reader.to) && reader.from != KXCHARSET_UTF8 &&
        reader.to != KXCHARSET_UTF8) {  // UTF-8 on the reading side (from Shift-JIS) keeps its layer
        std::array<uint8_t, 256> table;
        if (!kxFileSetupXlat(reader.from, reader.to, table.data(), 256, 0x20, XLAT_APPROXIMATE | XLAT_KEEP_CONTROLS))
            for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(i);
        plan.recordPairs = PairTable(table);
        reader.charset = false;
    }
    return Pipe::kUnframed;
}

// Room that Unframe needs behind its output for a `length`-byte framed block:
// every record has a prefix of two bytes and a line end of at most two, and a
// word of slack for the translation's last word and the line end's store.
size_t UnframedRoom(uint32_t length) { return static_cast<size_t>(length) * 2 + 16; }

// `n` bytes through `pairs`, the table of every two-byte string (PairTable):
// half the lookups of a byte table, and each result is stored as it stands.
// Four pairs are done at a time; the last group may run past the record,
// reading no further than `inEnd` and writing up to seven bytes past
// `out + n`, which the next line end and record overwrite. Records are short,
// and a loop at the end of each that stopped exactly would cost more than the
// bytes it saves.
void TranslateThroughPairs(const unsigned char *in, const unsigned char *inEnd, unsigned char *out, uint32_t n,
                           const uint16_t *pairs) {
    auto pair = [&](uint32_t at) {
        uint16_t two;
        std::memcpy(&two, in + at, 2);
        std::memcpy(out + at, &pairs[two], 2);
    };
    const auto readable = static_cast<size_t>(inEnd - in);
    uint32_t i = 0;
    for (; i < n && i + 8 <= readable; i += 8) {
        pair(i);
        pair(i + 2);
        pair(i + 4);
        pair(i + 6);
    }
    for (; i < n && i + 2 <= readable; i += 2) pair(i);
    if (i < n) {  // the block's last byte: looked up as the first of a pair
        const unsigned char two[2] = {in[i], 0};
        uint16_t key;
        std::memcpy(&key, two, 2);
        std::memcpy(out + i, &pairs[key], 1);
    }
}

// Length-prefixed records (a 16-bit little-endian length, the data, a pad
// byte after odd data) as lines ending in the plan's record end, their data
// translated through its table when there is one. `out` has
// UnframedRoom(length) bytes; the result is the number of bytes of lines.
size_t Unframe(const unsigned char *framed, uint32_t length, const TransferPlan &plan, unsigned char *out) {
    unsigned char *const start = out;
    const unsigned char *const end = framed + length;
    // The line end is stored as one two-byte store and `ending` bytes of it kept.
    unsigned char lineEnd[2] = {0, 0};
    const size_t ending = plan.recordEnd.size();
    std::memcpy(lineEnd, plan.recordEnd.data(), ending);
    uint32_t position = 0;
    while (position + 2 <= length) {
        uint32_t size = framed[position] | static_cast<uint32_t>(framed[position + 1]) << 8;
        position += 2;
        if (!plan.recordPairs.empty()) {
            TranslateThroughPairs(framed + position, end, out, size, plan.recordPairs.data());
        } else {
            std::memcpy(out, framed + position, size);
        }
        out += size;
        std::memcpy(out, lineEnd, 2);
        out += ending;
        position += size + (size & 1);
    }
    return static_cast<size_t>(out - start);
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
    // Pipe::kUnframed: the records with their line ends
    std::vector<unsigned char> lines(pipe == Pipe::kUnframed ? UnframedRoom(blockSize) : 0);
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
        if (pipe == Pipe::kUnframed) {
            got = static_cast<uint32_t>(Unframe(block.data(), got, plan, lines.data()));
            data = lines.data();
        }
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
