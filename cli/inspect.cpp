// kxfile inspect FILE...: what a person needs to know of a file before a
// transfer, without changing anything.
#include <cstdio>
#include <string>

#include "cli.h"
#include "detect.h"
#include "input_bytes.h"

namespace kxcli {
namespace {

void InspectUsage(FILE *out) {
    std::fputs("usage: kxfile inspect FILE...\n"
               "Counts, for each FILE ('-': standard input), its line ends (CR LF, lone CR,\n"
               "lone LF), Ctrl-Z characters and where the first stands, tabs, lines with\n"
               "trailing spaces, bytes 0x80-0xFF and the longest line, and names its\n"
               "Japanese encoding with the evidence found (or says it is undecided).\n",
               out);
}

// Counts over the bytes of a file, a block at a time. A line ends at CR LF,
// a lone CR or a lone LF; its length leaves the line end out.
class TextCounts {
public:
    void Add(const unsigned char *bytes, size_t length) {
        for (size_t i = 0; i < length; ++i, ++offset_) {
            unsigned char c = bytes[i];
            if (pendingCR_) {
                pendingCR_ = false;
                if (c == '\n') {
                    ++crlf_;
                    continue;
                }
                ++loneCR_;
            }
            switch (c) {
            case '\r':
                pendingCR_ = true;
                EndLine();
                continue;
            case '\n':
                ++loneLF_;
                EndLine();
                continue;
            case 0x1A:
                if (ctrlZ_++ == 0) firstCtrlZ_ = offset_;
                break;
            case '\t': ++tabs_; break;
            default: break;
            }
            if (c >= 0x80) ++high_;
            lastWasSpace_ = c == ' ';
            ++lineLength_;
        }
    }

    void Print() {
        if (pendingCR_) {
            ++loneCR_;
            pendingCR_ = false;
        }
        if (lineLength_ > 0) EndLine();
        std::printf("  bytes             %llu\n", Number(offset_));
        std::printf("  lines             %llu\n", Number(lines_));
        std::printf("  CR LF             %llu\n", Number(crlf_));
        std::printf("  lone CR           %llu\n", Number(loneCR_));
        std::printf("  lone LF           %llu\n", Number(loneLF_));
        if (ctrlZ_ == 0) std::printf("  Ctrl-Z            0\n");
        else std::printf("  Ctrl-Z            %llu (first at offset %llu)\n", Number(ctrlZ_), Number(firstCtrlZ_));
        std::printf("  tabs              %llu\n", Number(tabs_));
        std::printf("  trailing spaces   %llu line%s\n", Number(trailing_), trailing_ == 1 ? "" : "s");
        std::printf("  bytes 0x80-0xFF   %llu\n", Number(high_));
        if (lines_ == 0) std::printf("  longest line      -\n");
        else std::printf("  longest line      %llu bytes (line %llu)\n", Number(longest_), Number(longestLine_));
    }

private:
    static unsigned long long Number(uint64_t value) { return static_cast<unsigned long long>(value); }

    void EndLine() {
        ++lines_;
        if (lastWasSpace_) ++trailing_;
        if (lineLength_ > longest_ || lines_ == 1) {
            longest_ = lineLength_;
            longestLine_ = lines_;
        }
        lineLength_ = 0;
        lastWasSpace_ = false;
    }

    uint64_t offset_ = 0, lines_ = 0, crlf_ = 0, loneCR_ = 0, loneLF_ = 0, ctrlZ_ = 0, firstCtrlZ_ = 0;
    uint64_t tabs_ = 0, trailing_ = 0, high_ = 0, longest_ = 0, longestLine_ = 0, lineLength_ = 0;
    bool pendingCR_ = false, lastWasSpace_ = false;
};

}  // namespace

int InspectCommand(int argc, char **argv) {
    return RunOverFiles("inspect", argc, argv, InspectUsage, [](const std::string &path, InputBytes &input) {
        // One pass: the detection reads every byte, and every block read is
        // counted on the way.
        TextCounts counts;
        input.SetObserver([&counts](const unsigned char *bytes, size_t length) { counts.Add(bytes, length); });
        Detection detection = DetectEncoding(input);
        if (!input.Drain()) return false;
        std::printf("%s:\n", path.c_str());
        counts.Print();
        std::printf("  encoding          %s\n", DescribeDetection(detection).c_str());
        return true;
    });
}

}  // namespace kxcli
