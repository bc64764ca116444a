#include "loss_report.h"

#include <array>
#include <cstdio>

#include "charset_names.h"
#include "kxfiles.h"

namespace kxcli {
namespace {

constexpr size_t kPositionsShown = 10;

std::string Hex(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

void Count(LossReport &report, uint64_t offset, std::string bytes, std::string fate) {
    ++report.count;
    if (report.first.size() < kPositionsShown) report.first.push_back({offset, std::move(bytes), std::move(fate)});
}

// Single-byte sets: the layer translates through the table that
// kxFileSetupXlat builds with approximation, with controls kept and a space
// as the default character. A byte has an exact counterpart when the exact
// table (without approximation) gives it whatever the default character is;
// asking twice with two different defaults tells a byte that maps to the
// default character because it lacks a counterpart from one that is that
// character. Controls (0-31) are kept as themselves, as the layer does: they
// are the line ends and tabs of the text.
bool ScanSingleByte(InputBytes &input, uint16_t from, uint16_t to, LossReport &report) {
    std::array<uint8_t, 256> exactSpace{}, exactQuery{}, approximate{};
    bool tables = kxFileSetupXlat(from, to, exactSpace.data(), 256, 0x20, XLAT_KEEP_CONTROLS) &&
                  kxFileSetupXlat(from, to, exactQuery.data(), 256, 0x3F, XLAT_KEEP_CONTROLS) &&
                  kxFileSetupXlat(from, to, approximate.data(), 256, 0x20, XLAT_APPROXIMATE | XLAT_KEEP_CONTROLS);
    // Without a table the layer passes the bytes unchanged: nothing is
    // approximated or replaced.
    if (!tables) {
        while (input.Next() >= 0) {}
        return !input.Failed();
    }
    std::array<bool, 256> lost{};
    for (int i = 0; i < 256; ++i) lost[i] = exactSpace[i] != exactQuery[i];
    for (int c = input.Next(); c >= 0; c = input.Next()) {
        if (!lost[c]) continue;
        std::string fate = approximate[c] == 0x20 ? "replaced by the default character 20"
                                                  : "approximated as " + Hex(approximate[c]);
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

// Hosts that carry half-width katakana (shifted, or after a single shift).
bool HostHasKana(uint16_t set) { return set >= 52 && set <= 57; }

// PC double-byte text read for a host: each pair goes through
// kxFileMicro2HostDBCS; a pair it rejects is lost. Half-width katakana reach
// only the hosts that have them, unless they are widened first.
bool ScanFromPcDoubleByte(InputBytes &input, uint16_t from, uint16_t to, bool kanaToFull, LossReport &report) {
    for (int c = input.Next(); c >= 0; c = input.Next()) {
        uint64_t offset = input.Offset();
        if (from == 51 && c >= 0xA1 && c <= 0xDF) {
            if (!kanaToFull && !HostHasKana(to)) Count(report, offset, Hex(c), "half-width katakana the host set lacks");
            continue;
        }
        if (!IsLeadByte(from, c)) continue;
        int t = input.Next();
        if (t < 0) {
            Count(report, offset, Hex(c), "a lead byte at the end of the data, sent as a space");
            break;
        }
        uint16_t host = 0;
        if (kxFileMicro2HostDBCS(static_cast<uint32_t>(c << 8 | t), &host, to) == 0)
            Count(report, offset, Hex(c) + " " + Hex(t), "not in the host set");
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

    void Convert(int second) {
        uint16_t pc = 0;
        if (kxFileHost2MicroDBCS(static_cast<uint16_t>(first_ << 8 | second), &pc, pairSet_) == 0)
            Count(report_, firstOffset_, Hex(first_) + " " + Hex(second), "not in the PC set, written as a space");
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
    if (from == to) return input.Drain();  // nothing to translate, nothing lost
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
