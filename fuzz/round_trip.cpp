// A file read through a method's compressor (or framed into records) and
// written back through its expander comes back, with the counters agreeing.
// Input: a method, a line-end choice, read sizes, write sizes, then the file.
#include "fuzz_support.h"

using namespace kxfuzz;

namespace {

// The records framed by record mode, or false when the prefixes do not chain
// exactly to the end.
bool Frames(const std::string &packed, std::vector<std::string> &records) {
    size_t at = 0;
    while (at + 2 <= packed.size()) {
        const uint32_t n = static_cast<uint8_t>(packed[at]) | static_cast<uint8_t>(packed[at + 1])
                                                                  << 8;
        if (n > 32767 || at + 2 + n + (n & 1) > packed.size()) return false;
        records.push_back(packed.substr(at + 2, n));
        at += 2 + n + (n & 1);
    }
    return at == packed.size();
}

struct LineEnds {
    uint32_t read, write;
    const char *end;
};
constexpr LineEnds kLineEnds[] = {
    {0, 0, ""},
    {TXT_READ_CRLF_ENDS_RECORD, TXT_WRITE_RECORD_CRLF, "\r\n"},
    {TXT_READ_LF_ENDS_RECORD, TXT_WRITE_RECORD_LF, "\n"},
    {TXT_READ_CR_ENDS_RECORD, TXT_WRITE_RECORD_CR, "\r"},
};

// Method 2 under the text layer carries a record end as the byte 0xFF, which
// the expander writes as it is.
std::string LineEndsAsFF(const std::string &text, const std::string &end) {
    std::string out;
    for (size_t i = 0; i < text.size();) {
        const bool atEnd = text.compare(i, end.size(), end) == 0;
        out += atEnd ? '\xff' : text[i];
        i += atEnd ? end.size() : 1;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Input input(data, size);
    static constexpr uint32_t kMethods[] = {1, 2, 4, 8, 32};
    const uint32_t method = kMethods[input.Byte() % 5];
    const LineEnds ends = kLineEnds[input.Byte() % 4];
    const std::vector<uint32_t> readSizes = TakeSizes(input);
    const std::vector<uint32_t> writeSizes = TakeSizes(input);
    const std::string file = input.Rest();
    WriteFile(DriveC() + "/in", file);

    Layers reading, writing;
    reading.text = ends.read;
    writing.text = ends.write;
    reading.method = writing.method = method;
    const Result packed = ReadThrough("in", reading, readSizes);
    Check(packed.opened, "the layers are accepted");
    if (!packed.ok) {
        Check(method == 32 && packed.error == 17, "only record mode fails, on a long record");
        return 0;
    }
    Check(packed.count == packed.bytes.size(), "bytes delivered counted");
    Check(packed.streamRead == file.size(), "the whole file read and counted");

    if (method != 32) {
        const Result back = WriteThrough("out", writing, packed.bytes, writeSizes);
        Check(back.ok, "the expander takes its own output");
        const std::string expected =
            (method == 2 && ends.read != 0) ? LineEndsAsFF(file, ends.end) : file;
        Check(back.bytes == expected, "the file comes back", Versus(expected, back.bytes));
        if (ends.read == 0) Check(back.count == file.size(), "bytes expanded counted");
        return 0;
    }

    // Whole records in one write: each record is written with the line end the
    // text layer makes of a record end, or without a text layer as 0xFF.
    std::vector<std::string> records;
    Check(Frames(packed.bytes, records), "record prefixes chain to the end",
          Versus(packed.bytes, ""));
    const Result back = WriteThrough("out", writing, packed.bytes, {1u << 30});
    Check(back.ok, "record mode takes its own framing");
    std::string expected;
    for (const std::string &record : records)
        expected += record + (ends.read != 0 ? ends.end : "\xff");
    Check(back.bytes == expected, "each record written with its end",
          Versus(packed.bytes, back.bytes));
    if (ends.read == 0) {
        Check(records.size() <= 1 && (records.empty() ? file.empty() : records[0] == file),
              "without a text layer the file is one record");
        return 0;
    }
    // The records written read back as the same records.
    const Result again = ReadThrough("out", reading, readSizes);
    Check(again.ok && again.bytes == packed.bytes, "the records read back",
          Versus(packed.bytes, again.bytes));
    return 0;
}
