// kxfile detect FILE...: the Japanese encoding of each file.
//
// The scan keeps an evidence state: none, Shift-JIS, EUC, katakana-like
// pairs that fit both, or a single shift 0x8E/0x8F whose next byte fits both.
// Evidence of one encoding on top of evidence of the other means the 8-bit
// host set with locking shifts (55), which mixes them.
//
// A 0x8E or 0x8F byte is not taken as EUC at once: the byte after it decides
// Shift-JIS when it lies in 0x40-0x7E, 0x80-0xA0 or 0xE0-0xFC (a Shift-JIS
// trail byte that EUC never puts after a single shift), and leaves the
// question open when it lies in 0xA1-0xDF (a katakana in EUC, a kanji in
// Shift-JIS), until later evidence of either encoding settles it. A Shift-JIS
// text whose kanji begin with 0x8E or 0x8F is thus not mistaken for EUC.
#include "detect.h"

#include <cstdio>
#include <optional>
#include <vector>

#include "charset_names.h"
#include "cli.h"

namespace kxcli {
namespace {

constexpr int kEsc = 0x1B;

enum class Evidence { kNone, kSingleShift, kShiftJis, kEuc, kKanaPairs };

std::string Hex(int byte) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", byte & 0xFF);
    return text;
}

std::string At(uint64_t offset) { return " at offset " + std::to_string(offset); }

bool In(int c, int low, int high) { return c >= low && c <= high; }

class Scanner {
public:
    explicit Scanner(InputBytes &input) : input_(input) {}

    Detection Run();

private:
    // Evidence of EUC or of Shift-JIS (kind); a decision when it settles the
    // question.
    std::optional<Detection> Add(Evidence kind, const std::string &what);
    std::optional<Detection> AddEuc(const std::string &what) { return Add(Evidence::kEuc, what); }
    std::optional<Detection> AddShiftJis(const std::string &what) { return Add(Evidence::kShiftJis, what); }
    Detection AtEnd() const;

    InputBytes &input_;
    Evidence state_ = Evidence::kNone;
    std::string why_;  // the evidence behind the current state
};

std::optional<Detection> Scanner::Add(Evidence kind, const std::string &what) {
    Evidence other = kind == Evidence::kEuc ? Evidence::kShiftJis : Evidence::kEuc;
    if (state_ == kind) return std::nullopt;
    if (state_ == other) return Detection{55, why_ + ", then " + what};
    if (state_ == Evidence::kSingleShift) return Detection{static_cast<uint16_t>(kind == Evidence::kEuc ? 57 : 51), why_ + ", then " + what};
    state_ = kind;
    why_ = what;
    return std::nullopt;
}

Detection Scanner::AtEnd() const {
    switch (state_) {
    case Evidence::kEuc: return {57, why_};
    case Evidence::kNone: return {0, "no 8-bit Japanese text and no shift sequence"};
    case Evidence::kKanaPairs: return {0, "only katakana-like pairs (" + why_ + ")"};
    case Evidence::kSingleShift: return {0, "only a single shift followed by a katakana-like byte (" + why_ + ")"};
    case Evidence::kShiftJis: return {0, "only pairs that fit Shift-JIS without proving it (" + why_ + ")"};
    }
    return {0, why_};
}

Detection Scanner::Run() {
    for (;;) {
        int c = input_.Next();
        if (c < 0) return AtEnd();
        uint64_t offset = input_.Offset();
        std::string pair;
        auto next = [&]() {
            int n = input_.Next();
            if (n >= 0) pair = Hex(c) + " " + Hex(n);
            return n;
        };

        if (c == kEsc && state_ == Evidence::kNone) {
            int n = next();
            if (n < 0) return AtEnd();
            if (n == '}' || n == 0x7C) return {55, std::string("ESC ") + static_cast<char>(n) + At(offset)};
            if (n == 'K') return {73, "ESC K" + At(offset)};
            if (n == '$') {
                int m = input_.Next();
                if (m < 0) return AtEnd();
                if (m == 'B' || m == '(') return {52, std::string("ESC $ ") + static_cast<char>(m) + At(offset)};
                if (m == '@') return {54, "ESC $ @" + At(offset)};
            }
            continue;
        }
        if (c == kEsc && state_ == Evidence::kEuc) return {55, why_ + ", then ESC" + At(offset)};

        if (c == 0x8E || c == 0x8F) {
            int n = next();
            if (n < 0) return AtEnd();
            if (In(n, 0x40, 0x7E) || In(n, 0x80, 0xA0) || In(n, 0xE0, 0xFC))
                return {51, "Shift-JIS pair " + pair + At(offset)};
            if (In(n, 0xA1, 0xDF)) {
                if (state_ == Evidence::kNone || state_ == Evidence::kKanaPairs) {
                    state_ = Evidence::kSingleShift;
                    why_ = "single shift " + pair + At(offset);
                }
            } else if (In(n, 0xFD, 0xFE)) {
                if (auto d = AddEuc("EUC pair " + pair + At(offset))) return *d;
            }
            continue;
        }

        if (In(c, 0xF0, 0xFE) || (In(c, 0xA1, 0xFE) && state_ == Evidence::kEuc)) {
            int n = next();
            if (n < 0) return AtEnd();
            if (auto d = AddEuc("EUC pair " + pair + At(offset))) return *d;
            if (In(n, 0x21, 0x7E)) return {55, why_ + ", then the 7-bit byte " + Hex(n) + At(offset + 1)};
            continue;
        }

        if (In(c, 0x81, 0x9F)) return {51, "Shift-JIS lead byte " + Hex(c) + At(offset)};

        if (In(c, 0xA1, 0xDF)) {
            int n = next();
            if (n < 0) return AtEnd();
            if (In(n, 0xF0, 0xFE)) {
                if (auto d = AddEuc("EUC pair " + pair + At(offset))) return *d;
            } else if (In(n, 0xA1, 0xDF)) {
                if (state_ == Evidence::kNone) {
                    state_ = Evidence::kKanaPairs;
                    why_ = "first " + pair + At(offset);
                }
            } else if (In(n, 0xE0, 0xEF)) {
                std::string run = "katakana-like run from " + pair + At(offset);
                for (;;) {
                    int m = input_.Next();
                    if (m < 0x40) break;  // the end of the data, or a byte below 0x40 (skipped)
                    if (In(m, 0x81, 0x8D) || In(m, 0x90, 0x9F))
                        return {51, "Shift-JIS byte " + Hex(m) + " in a " + run};
                    if (In(m, 0xFD, 0xFE))
                        if (auto d = AddEuc("EUC byte " + Hex(m) + " in a " + run)) return *d;
                }
                if (state_ == Evidence::kNone) {
                    state_ = Evidence::kKanaPairs;
                    why_ = run;
                }
            } else if (In(n, 0x21, 0x7E)) {
                // A half-width katakana followed by ASCII: Shift-JIS text.
                if (state_ == Evidence::kSingleShift) return {51, why_ + ", then katakana " + pair + At(offset)};
                state_ = Evidence::kShiftJis;
                why_ = "half-width katakana followed by ASCII, " + pair + At(offset);
            } else if (n < 0x21 || In(n, 0x7F, 0x9F)) {
                return {51, "Shift-JIS pair " + pair + At(offset)};
            }
            continue;
        }

        if (In(c, 0xE0, 0xEF)) {
            int n = next();
            if (n < 0) return AtEnd();
            if (In(n, 0x21, 0x3F)) return {55, "pair " + pair + At(offset) + " (upper-half lead, 7-bit trail)"};
            if (In(n, 0x40, 0x7E)) {
                if (auto d = AddShiftJis("Shift-JIS pair " + pair + At(offset))) return *d;
            } else if (In(n, 0x80, 0xA0)) {
                return {51, "Shift-JIS pair " + pair + At(offset)};
            } else if (In(n, 0xFD, 0xFE)) {
                if (auto d = AddEuc("EUC pair " + pair + At(offset))) return *d;
            }
        }
    }
}

void DetectUsage(FILE *out) {
    std::fputs("usage: kxfile detect FILE...\n"
               "Prints the Japanese encoding of each FILE ('-': standard input) and the\n"
               "evidence that decided it: shift_jis, euc-jp, a 7-bit JIS host set\n"
               "(ESC $ B: jis-7bit-x0212, ESC $ @: jis-7bit-1978, ESC K: jis-7bit-esc-k),\n"
               "host-locking-shift, or undecided with what was found.\n",
               out);
}

}  // namespace

Detection DetectJapanese(InputBytes &input) { return Scanner(input).Run(); }

std::string DescribeDetection(const Detection &detection) {
    if (detection.charset == 0) return "undecided: " + detection.evidence;
    return CharsetDisplayName(detection.charset) + " (" + detection.evidence + ")";
}

int DetectCommand(int argc, char **argv) {
    return RunOverFiles("detect", argc, argv, DetectUsage, [](const std::string &path, InputBytes &input) {
        Detection detection = DetectJapanese(input);
        if (input.Failed()) return false;
        std::printf("%s: %s\n", path.c_str(), DescribeDetection(detection).c_str());
        return true;
    });
}

}  // namespace kxcli
