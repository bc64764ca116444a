#include "loss_report.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "charset_names.h"
#include "cli.h"
#include "kxfiles.h"

namespace kxcli {
namespace {

constexpr size_t kPositionsShown = 10;

void Count(LossReport &report, uint64_t offset, std::string bytes, std::string fate) {
    ++report.count;
    if (report.first.size() < kPositionsShown) report.first.push_back({offset, std::move(bytes), std::move(fate)});
}

std::string HexText(const uint8_t *bytes, size_t n) {
    std::string text;
    for (size_t i = 0; i < n; ++i) {
        if (i > 0) text += ' ';
        text += Hex(bytes[i]);
    }
    return text;
}

// The report is the library's own conversion: what it writes for a byte or a
// character, converted back, must be what was read, or the byte is lost (a
// default character, an approximation, a control that does not survive).
// `text` of length `n` (no NUL inside) there and back through
// kxFileTranslateBufferExt; the fate when it does not come back, else "".
std::string RoundTrip(const uint8_t *text, size_t n, uint16_t from, uint16_t to) {
    uint8_t source[8] = {}, there[64] = {}, back[64] = {};
    std::memcpy(source, text, n);
    if (kxFileTranslateBufferExt(source, static_cast<int32_t>(n), there, sizeof there, from, to, CSF_TRANSLATE, 0) != 0)
        return "not converted";
    const size_t written = std::strlen(reinterpret_cast<char *>(there));
    if (kxFileTranslateBufferExt(there, static_cast<int32_t>(written), back, sizeof back, to, from, CSF_TRANSLATE, 0) != 0 ||
        std::strlen(reinterpret_cast<char *>(back)) != n || std::memcmp(back, text, n) != 0)
        return "written as " + (written ? HexText(there, written) : "nothing") + ", read back as " +
               HexText(back, std::strlen(reinterpret_cast<char *>(back)));
    return "";
}

// Single-byte sets: all 256 byte values there and back at once (the layer's
// table, NUL and controls included).
bool ScanSingleByte(InputBytes &input, uint16_t from, uint16_t to, LossReport &report) {
    uint8_t all[256], there[257] = {}, back[257] = {};
    for (int i = 0; i < 256; ++i) all[i] = static_cast<uint8_t>(i);
    if (kxFileTranslateBufferExt(all, 256, there, sizeof there, from, to, CSF_TRANSLATE, 0) != 0 ||
        kxFileTranslateBufferExt(there, 256, back, sizeof back, to, from, CSF_TRANSLATE, 0) != 0) {
        ReportLibraryError("loss report");
        return false;
    }
    for (int c = input.Next(); c >= 0; c = input.Next()) {
        if (back[c] == c) continue;
        std::string fate = there[c] == 0x20 ? "replaced by the default character 20"
                           : there[c] == c  ? "kept, but read back as " + Hex(back[c])
                                            : "approximated as " + Hex(there[c]);
        Count(report, input.Offset(), Hex(c), std::move(fate));
    }
    return !input.Failed();
}

bool IsLeadByte(uint16_t set, int c) {
    if (set == 51) return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    if (set == 59 || set == 61) return c >= 0x81 && c <= 0xFE;
    if (set == 62) return c >= 0xA1 && c <= 0xFE;
    return false;
}

// PC double-byte text read for a host: each pair, and each 8-bit single byte
// (half-width katakana), there and back as a piece of text of its own; the
// answer is kept per code. Katakana widened on request (kanaToFull) are not
// lost.
bool ScanFromPcDoubleByte(InputBytes &input, uint16_t from, uint16_t to, bool kanaToFull, LossReport &report) {
    std::vector<std::string> fates(65536);
    std::vector<bool> known(65536);
    auto check = [&](const uint8_t *bytes, size_t n, uint64_t offset) {
        const uint16_t code = static_cast<uint16_t>(n == 2 ? bytes[0] << 8 | bytes[1] : bytes[0]);
        if (!known[code]) {
            fates[code] = RoundTrip(bytes, n, from, to);
            known[code] = true;
        }
        if (!fates[code].empty()) Count(report, offset, HexText(bytes, n), fates[code]);
    };
    for (int c = input.Next(); c >= 0; c = input.Next()) {
        uint64_t offset = input.Offset();
        const uint8_t one[1] = {static_cast<uint8_t>(c)};
        if (!IsLeadByte(from, c)) {
            bool kana = from == 51 && c >= 0xA1 && c <= 0xDF;
            if (c >= 0x80 && !(kana && kanaToFull)) check(one, 1, offset);
            continue;
        }
        int t = input.Next();
        if (t < 0) {
            Count(report, offset, Hex(c), "a lead byte at the end of the data, sent as a space");
            break;
        }
        const uint8_t pair[2] = {static_cast<uint8_t>(c), static_cast<uint8_t>(t)};
        check(pair, 2, offset);
    }
    return !input.Failed();
}

// Host double-byte text written to a PC file: the host's designations and
// single shifts are followed as the layer's write side follows them, and each
// pair goes through kxFileHost2MicroDBCS; a pair it rejects becomes a space.
class HostTextScanner {
public:
    HostTextScanner(uint16_t from, uint16_t to, LossReport &report) : from_(from), report_(report) {
        upperSet_ = from;
        if (to == 51 && (from == 52 || from == 53 || from == 54 || from == 73)) upperSet_ = 0;
    }

    void Put(int b, uint64_t offset);

private:
    enum State { kPlain, kPair, kEscape, kSingleShift2, kSingleShift3, kEscapeDollar, kEscapeParen };

    bool IsFirstByte(uint16_t set, int c) const {
        if ((set >= 52 && set <= 57) || set == 73) return c >= 0xA1 && c <= 0xFE;
        if (set == 62 || set == 69) return c >= 0xA1 && c <= 0xFE;
        if (set == 51) return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        if (set == 59 || set == 60 || set == 61 || set == 77) return c >= 0x81 && c <= 0xFE;
        return false;
    }

    // The pair through the library to the PC set and back: a pair it
    // rejects becomes a space; one that comes back as another (JIS X 0212
    // kanji that code page 932 lacks become its substitute) is lost too.
    void Convert(int second) {
        const auto code = static_cast<uint16_t>(first_ << 8 | second);
        uint16_t pc = 0, back = 0;
        std::string bytes = Hex(first_) + " " + Hex(second);
        if (pairSet_ == 69 && from_ == 57) bytes = "8F " + Hex(first_ | 0x80) + " " + Hex(second | 0x80);
        if (kxFileHost2MicroDBCS(code, &pc, pairSet_) == 0)
            Count(report_, firstOffset_, bytes, "not in the PC set, written as a space");
        else if (kxFileMicro2HostDBCS(pc, &back, pairSet_) == 0 || (back & 0x7F7F) != (code & 0x7F7F))
            Count(report_, firstOffset_, bytes, "written as " + Hex(pc >> 8) + " " + Hex(pc) + ", which does not come back");
        state_ = kPlain;
        hasFirst_ = false;
    }

    uint16_t from_;
    LossReport &report_;
    uint16_t upperSet_ = 0, lowerSet_ = 0, pairSet_ = 0;
    State state_ = kPlain;
    int first_ = 0;
    bool hasFirst_ = false;
    uint64_t firstOffset_ = 0;
};

void HostTextScanner::Put(int b, uint64_t offset) {
    // A control, a space or DEL is never the rest of a character: what was
    // begun becomes a space, as the library writes it, and the byte stands
    // for itself.
    if ((state_ == kPair || state_ == kSingleShift3) && (b < 0x21 || b == 0x7F)) {
        Count(report_, firstOffset_, hasFirst_ || state_ == kPair ? Hex(first_) : Hex(0x8F),
              "a character cut short, written as a space");
        state_ = kPlain;
        hasFirst_ = false;
    }
    switch (state_) {
    case kPair: Convert(b); return;
    case kEscape:
        state_ = kPlain;
        if (b == '$') state_ = kEscapeDollar;
        else if (b == '(') state_ = kEscapeParen;
        else if (from_ == 73 && b == 'H') lowerSet_ = 0;
        else if (from_ == 73 && b == 'K') lowerSet_ = 73;
        else if ((from_ == 55 || from_ == 56) && b == 0x7C) upperSet_ = from_;
        else if ((from_ == 55 || from_ == 56) && b == '}') upperSet_ = 58;
        return;
    case kSingleShift2: state_ = kPlain; return;  // a katakana byte, passed on alone
    case kSingleShift3:
        if (!hasFirst_) {
            first_ = b & 0x7F;
            hasFirst_ = true;
            return;
        }
        pairSet_ = 69;
        Convert(b & 0x7F);
        return;
    case kEscapeDollar:
        state_ = kPlain;
        if (b == '(') state_ = kEscapeDollar;
        else if (b == '@') lowerSet_ = 54;
        else if (b == 'B') lowerSet_ = 52;
        else if (b == 'D') lowerSet_ = 69;
        return;
    case kEscapeParen:
        state_ = kPlain;
        if (b == 'I') lowerSet_ = 58;
        else if (b == 'J' || b == 'B') lowerSet_ = 0;  // ESC ( B (ASCII) ends a kanji run like ESC ( J
        return;
    case kPlain: break;
    }
    if (b == 0x1B && from_ != 57) {
        state_ = kEscape;
        return;
    }
    if (b == 0x8E && from_ == 57) {
        state_ = kSingleShift2;
        return;
    }
    if (b == 0x8F && from_ == 57) {
        state_ = kSingleShift3;
        firstOffset_ = offset;
        return;
    }
    uint16_t set = b >= 0x80 ? upperSet_ : lowerSet_;
    if (IsFirstByte(set, b | 0x80)) {
        state_ = kPair;
        first_ = b;
        firstOffset_ = offset;
        pairSet_ = set;
    }
}

bool ScanFromHostDoubleByte(InputBytes &input, uint16_t from, uint16_t to, LossReport &report) {
    HostTextScanner scanner(from, to, report);
    for (int c = input.Next(); c >= 0; c = input.Next()) scanner.Put(c, input.Offset());
    return !input.Failed();
}

}  // namespace

bool ScanLosses(InputBytes &input, uint16_t from, uint16_t to, bool kanaToFull, LossReport &report) {
    if (from == KXCHARSET_UTF8 || to == KXCHARSET_UTF8) return ScanUnicodeLosses(input, from, to, report);
    if (IsPcDoubleByteSet(from)) return ScanFromPcDoubleByte(input, from, to, kanaToFull, report);
    if (IsPcDoubleByteSet(to)) return ScanFromHostDoubleByte(input, from, to, report);
    return ScanSingleByte(input, from, to, report);
}

void PrintLossReport(const LossReport &report, const std::string &inputName, uint16_t from, uint16_t to) {
    std::string sets = CharsetDisplayName(from) + " -> " + CharsetDisplayName(to);
    if (report.count == 0) {
        std::fprintf(stderr, "kxfile: %s: %s: nothing lost\n", inputName.c_str(), sets.c_str());
        return;
    }
    std::fprintf(stderr, "kxfile: %s: %s: %llu character%s without a counterpart (approximated or replaced)\n",
                 inputName.c_str(), sets.c_str(), static_cast<unsigned long long>(report.count),
                 report.count == 1 ? "" : "s");
    for (const LostCharacter &lost : report.first)
        std::fprintf(stderr, "  offset %llu: %s %s\n", static_cast<unsigned long long>(lost.offset),
                     lost.bytes.c_str(), lost.fate.c_str());
    if (report.count > report.first.size())
        std::fprintf(stderr, "  ... and %llu more\n", static_cast<unsigned long long>(report.count - report.first.size()));
}

}  // namespace kxcli
