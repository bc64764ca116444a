// kxfile detect FILE...: the encoding of each file, decided by contradiction.
//
// Every candidate reads the whole input at once: ASCII, UTF-8, Shift-JIS
// (code page 932 with the NEC and IBM extensions), EUC-JP (with JIS X 0212
// after 0x8F, as EUC-JP-MS writes it), the 7-bit JIS hosts, the 8-bit host
// with locking shifts, and single-byte 8-bit text as a class. The first byte
// sequence a candidate cannot contain rules it out, and is reported with its
// offset. Of those left, the one with positive evidence is the answer:
// multi-byte UTF-8 characters, double-byte characters whose two bytes are
// both 8-bit (Shift-JIS) or that lie in the kana and punctuation rows (EUC;
// long runs of box drawing make other EUC pairs), an escape sequence that the
// library reads as a host's designation. Two left with evidence, or only
// candidates without it, answer `undecided`; single-byte text is the answer
// when every multi-byte reading is ruled out.
//
// Which host set an escape sequence or a locking shift designates is the
// library's rule: the tool does not repeat it. It asks the library's own
// detection (CSF_DETECT_JAPANESE, which acts on the first block written)
// about the data from the first escape on, through kxFileTranslateBufferExt,
// and compares the result with plain conversions from each host set that
// detection can choose; the set that reads the block as the detection read
// it is the library's choice. Where two sets read it alike, the one that
// writes the same bytes back is named.
#include "detect.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "charset_names.h"
#include "cli.h"

namespace kxcli {
namespace {

#include "cp932_cells.inc"

constexpr int kEsc = 0x1B;
// The library's detection is shown at most this much of the data, from the
// first escape on (its own layer sees one block of a transfer).
constexpr size_t kLibraryBlock = 64 * 1024;
// A set of single bytes whose table to any set is the identity: the from set
// of a detecting conversion, which the library's choice replaces.
constexpr uint16_t kIdentitySet = 14;

bool In(int c, int low, int high) { return c >= low && c <= high; }

std::string At(uint64_t offset) { return " at offset " + std::to_string(offset); }

// The bytes of one character or sequence, and where it began; put into
// words only for what is reported.
struct Seq {
    uint8_t bytes[4] = {};
    int n = 0;
    uint64_t at = 0;

    void Begin(int c, uint64_t offset) {
        bytes[0] = static_cast<uint8_t>(c);
        n = 1;
        at = offset;
    }
    void Add(int c) {
        if (n < 4) bytes[n++] = static_cast<uint8_t>(c);
    }
    int First() const { return bytes[0]; }
    std::string Text(const char *note) const {
        std::string text;
        for (int i = 0; i < n; ++i) text += (i ? " " : "") + Hex(bytes[i]);
        return text + note + At(at);
    }
};

// One candidate encoding: ruled out by its first contradiction; its evidence
// counted (strong: proves the encoding against single-byte text; weak: fits
// without proving it).
struct Candidate {
    explicit Candidate(const char *n) : name(n) {}
    const char *name;
    bool ruledOut = false;
    std::string contradiction;
    uint64_t strong = 0, weak = 0;
    std::string firstStrong, firstWeak;

    bool Open() const { return !ruledOut; }
    void RuleOut(const Seq &seq, const char *note = "") {
        if (ruledOut) return;
        ruledOut = true;
        contradiction = seq.Text(note);
    }
    void Strong(const Seq &seq, const char *note = "") {
        if (strong++ == 0) firstStrong = seq.Text(note);
    }
    void Weak(const Seq &seq, const char *note = "") {
        if (weak++ == 0) firstWeak = seq.Text(note);
    }
};

bool Cp932Assigned(uint16_t code) {
    for (const auto &range : kCp932Cells)
        if (code >= range[0] && code <= range[1]) return true;
    return false;
}

// Whether an EUC pair (both bytes 0xA1-0xFE) is a character: the library's
// JIS-to-Shift-JIS conversion and code page 932's cells. Rows 0x75-0x7E are
// the user-defined and extension rows of EUC-JP-MS, taken as they come.
class EucCells {
public:
    bool Assigned(int first, int second) {
        const uint16_t jis = static_cast<uint16_t>((first & 0x7F) << 8 | (second & 0x7F));
        if ((jis >> 8) >= 0x75) return true;
        int8_t &known = known_[jis & 0x7F7F];
        if (known < 0) {
            uint16_t pc = 0;
            known = kxFileHost2MicroDBCS(jis, &pc, 57) != 0 && Cp932Assigned(pc) ? 1 : 0;
        }
        return known == 1;
    }

private:
    std::vector<int8_t> known_ = std::vector<int8_t>(0x8000, -1);
};

class Scanner {
public:
    void Put(int c, uint64_t at);
    void End();
    Detection Decide();

private:
    void PutUtf8(int c, uint64_t at);
    void PutShiftJis(int c, uint64_t at);
    void PutEuc(int c, uint64_t at);
    void PutLockingShift(int c, uint64_t at);
    uint16_t LibraryChoice() const;
    // "ESC $ B at offset 10": the first escape sequence.
    std::string FirstEscape() const {
        std::string text = "ESC";
        for (size_t i = 1; i < 3 && i < block_.size() && In(block_[i], 0x21, 0x7E); ++i)
            text += std::string(" ") + static_cast<char>(block_[i]);
        return text + At(escapeAt_);
    }

    Candidate ascii_{"ascii"}, utf8_{"utf-8"}, shiftJis_{"shift_jis"}, euc_{"euc-jp"};
    Candidate jis7_{"7-bit JIS"}, locking_{"host-locking-shift"};
    uint64_t count_ = 0;
    bool utf16_ = false;
    int first_ = -1;

    // The sequence each candidate has begun (a pair's first byte: n == 1).
    Seq utf8Seq_, sjis_, eucSeq_, lock_;
    int utf8Need_ = 0, utf8Low_ = 0x80, utf8High_ = 0xBF;
    int eucState_ = 0;  // 0 none; 1 after a first byte; 2 after 0x8E; 3, 4 after 0x8F
    EucCells eucCells_;
    bool lockKana_ = false, lockEscape_ = false;

    // The data from the first escape on, for the library's detection.
    std::vector<uint8_t> block_;
    uint64_t escapeAt_ = 0;
};

void Scanner::Put(int c, uint64_t at) {
    if (count_++ == 0) first_ = c;
    if (count_ == 2 && ((first_ == 0xFF && c == 0xFE) || (first_ == 0xFE && c == 0xFF))) utf16_ = true;
    if (c == kEsc && block_.empty()) escapeAt_ = at;
    if ((c == kEsc || !block_.empty()) && block_.size() < kLibraryBlock) block_.push_back(static_cast<uint8_t>(c));
    if (c >= 0x80 && !ascii_.ruledOut) {
        Seq one;
        one.Begin(c, at);
        ascii_.RuleOut(one);
        jis7_.RuleOut(one);
    }
    PutUtf8(c, at);
    PutShiftJis(c, at);
    PutEuc(c, at);
    PutLockingShift(c, at);
}

void Scanner::PutUtf8(int c, uint64_t at) {
    if (utf8_.ruledOut) return;
    if (utf8Need_ > 0) {
        utf8Seq_.Add(c);
        if (!In(c, utf8Low_, utf8High_)) return utf8_.RuleOut(utf8Seq_);
        utf8Low_ = 0x80;
        utf8High_ = 0xBF;
        if (--utf8Need_ == 0) {
            const bool mark = utf8Seq_.at == 0 && utf8Seq_.bytes[0] == 0xEF && utf8Seq_.bytes[1] == 0xBB;
            utf8_.Strong(utf8Seq_, mark ? " (byte-order mark)" : "");
        }
        return;
    }
    if (c < 0x80) return;
    utf8Seq_.Begin(c, at);
    // The second byte's range narrows after E0, ED, F0 and F4 (no overlong
    // form, surrogate or value above U+10FFFF).
    if (In(c, 0xC2, 0xDF)) utf8Need_ = 1;
    else if (In(c, 0xE0, 0xEF)) utf8Need_ = 2;
    else if (In(c, 0xF0, 0xF4)) utf8Need_ = 3;
    else return utf8_.RuleOut(utf8Seq_);
    if (c == 0xE0) utf8Low_ = 0xA0;
    if (c == 0xED) utf8High_ = 0x9F;
    if (c == 0xF0) utf8Low_ = 0x90;
    if (c == 0xF4) utf8High_ = 0x8F;
}

void Scanner::PutShiftJis(int c, uint64_t at) {
    if (shiftJis_.ruledOut) return;
    if (sjis_.n == 1) {
        sjis_.Add(c);
        const int lead = sjis_.First();
        if (!In(c, 0x40, 0x7E) && !In(c, 0x80, 0xFC)) return shiftJis_.RuleOut(sjis_);
        if (In(lead, 0xF0, 0xF9)) return shiftJis_.Weak(sjis_, " (user-defined)");
        if (!Cp932Assigned(static_cast<uint16_t>(lead << 8 | c))) return shiftJis_.RuleOut(sjis_, " (no character)");
        if (c >= 0x80) shiftJis_.Strong(sjis_);
        else shiftJis_.Weak(sjis_);
        return;
    }
    if (c < 0x80) return;
    sjis_.Begin(c, at);
    if (In(c, 0xA1, 0xDF)) {
        sjis_.n = 0;  // a character of its own
        Seq kana;
        kana.Begin(c, at);
        return shiftJis_.Weak(kana, " (half-width katakana)");
    }
    if (!In(c, 0x81, 0x9F) && !In(c, 0xE0, 0xFC)) shiftJis_.RuleOut(sjis_);
}

void Scanner::PutEuc(int c, uint64_t at) {
    if (euc_.ruledOut) return;
    const bool upper = In(c, 0xA1, 0xFE);
    if (eucState_ == 0) {
        if (c < 0x80) return;
        eucSeq_.Begin(c, at);
        if (c == 0x8E) eucState_ = 2;
        else if (c == 0x8F) eucState_ = 3;
        else if (upper) eucState_ = 1;
        else euc_.RuleOut(eucSeq_);
        return;
    }
    eucSeq_.Add(c);
    const int state = eucState_;
    eucState_ = 0;
    switch (state) {
    case 1:  // JIS X 0208 (and the rows EUC-JP-MS adds)
        if (!upper) return euc_.RuleOut(eucSeq_);
        if (!eucCells_.Assigned(eucSeq_.First(), c)) return euc_.RuleOut(eucSeq_, " (no character)");
        if (eucSeq_.First() <= 0xA5) return euc_.Strong(eucSeq_);  // kana and punctuation rows
        return euc_.Weak(eucSeq_);
    case 2:  // half-width katakana
        if (!In(c, 0xA1, 0xDF)) return euc_.RuleOut(eucSeq_);
        return euc_.Weak(eucSeq_);
    default:  // JIS X 0212: two more bytes
        if (!upper) return euc_.RuleOut(eucSeq_);
        if (state == 3) eucState_ = 4;
        else euc_.Strong(eucSeq_);
    }
}

// The 8-bit host whose upper half holds double-byte characters, or single
// half-width katakana after its locking shift ESC } until ESC |.
void Scanner::PutLockingShift(int c, uint64_t at) {
    if (locking_.ruledOut) return;
    if (lockEscape_) {
        lockEscape_ = false;
        if (c == '}') lockKana_ = true;
        if (c == '|') lockKana_ = false;
        return;
    }
    if (lock_.n == 1) {
        lock_.Add(c);
        if (!In(c, 0xA1, 0xFE)) locking_.RuleOut(lock_);
        lock_.n = 0;
        return;
    }
    if (c == kEsc) lockEscape_ = true;
    if (c < 0x80) return;
    lock_.Begin(c, at);
    if (lockKana_ ? !In(c, 0xA1, 0xDF) : !In(c, 0xA1, 0xFE)) return locking_.RuleOut(lock_);
    if (lockKana_) lock_.n = 0;
}

void Scanner::End() {
    const char *cut = " (cut short by the end of the data)";
    if (utf8Need_ > 0) utf8_.RuleOut(utf8Seq_, cut);
    if (sjis_.n == 1) shiftJis_.RuleOut(sjis_, cut);
    if (eucState_ != 0) euc_.RuleOut(eucSeq_, cut);
    if (lock_.n == 1) locking_.RuleOut(lock_, cut);
}

// The host sets the library's detection may choose, in the order a tie is
// named; 53 is tried with both returns to single-byte text.
constexpr uint16_t kDetectedHosts[] = {52, 53, 54, 73, 55, 57};

// `source` converted by the library from `from` to `to`; the whole output
// buffer, zero-padded (the output may hold NUL bytes); empty on failure.
std::vector<uint8_t> Convert(std::vector<uint8_t> source, uint16_t from, uint16_t to, uint32_t options) {
    std::vector<uint8_t> out(source.size() * 3 + 16, 0);
    if (kxFileTranslateBufferExt(source.data(), static_cast<int32_t>(source.size()), out.data(),
                                 static_cast<int32_t>(out.size()), from, to, CSF_TRANSLATE | options, 0) != 0)
        out.clear();
    return out;
}

// The host set the library's detection reads the block as, or 0 when it
// reads nothing in it as a host's text (the result is the block itself).
// Where sets read the block alike, the one whose writing gives the block's
// own bytes back is named, else the first.
uint16_t Scanner::LibraryChoice() const {
    if (block_.empty()) return 0;
    const std::vector<uint8_t> detected = Convert(block_, kIdentitySet, 51, CSF_DETECT_JAPANESE);
    if (detected.empty() || std::equal(block_.begin(), block_.end(), detected.begin())) return 0;
    const std::string text = reinterpret_cast<const char *>(detected.data());
    uint16_t choice = 0;
    for (uint16_t set : kDetectedHosts) {
        if (Convert(block_, set, 51, 0) != detected) continue;
        if (choice == 0) choice = set;
        for (uint32_t options : {0u, set == 53 ? CSF_JIS_ASCII_RETURN : 0u}) {
            std::vector<uint8_t> back = Convert(std::vector<uint8_t>(text.begin(), text.end()), 51, set, options);
            // The writing may end with a return to single-byte text that
            // the block, cut where it is, lacks.
            if (back.size() > block_.size() && std::equal(block_.begin(), block_.end(), back.begin())) return set;
        }
    }
    return choice;
}

std::string Summary(const Candidate &k) {
    const bool proven = k.strong > 0;
    const uint64_t n = proven ? k.strong : k.weak;
    std::string text = std::to_string(n) + (proven ? " multi-byte character" : " character");
    if (n != 1) text += "s";
    if (!proven) text += n == 1 ? " that fits without proving it" : " that fit without proving it";
    return text + (n == 1 ? ", " : ", the first ") + (proven ? k.firstStrong : k.firstWeak);
}

Detection Scanner::Decide() {
    Detection d;
    if (utf16_) {
        d.answer = Answer::kUtf16;
        d.name = first_ == 0xFF ? "utf-16le" : "utf-16be";
        d.evidence = "byte-order mark " + Hex(first_) + " " + Hex(first_ ^ 1) + " at offset 0; not converted";
        return d;
    }
    const uint16_t library = LibraryChoice();
    const bool jisHost = library == 52 || library == 53 || library == 54 || library == 73;
    // The library's choice is the evidence of the escape families.
    if (jisHost) jis7_.strong = 1;
    if (library == 55) locking_.strong = 1;

    std::vector<Candidate *> all = {&ascii_, &utf8_, &shiftJis_, &euc_, &jis7_, &locking_};
    std::string ruledOut;
    for (const Candidate *k : all)
        if (k->ruledOut) ruledOut += "; not " + std::string(k->name) + ": " + k->contradiction;

    std::vector<Candidate *> proven, fitting;
    for (Candidate *k : {&utf8_, &shiftJis_, &euc_, &jis7_, &locking_}) {
        if (k->ruledOut) continue;
        if (k->strong > 0) proven.push_back(k);
        else if (k->weak > 0) fitting.push_back(k);
    }
    if (proven.empty() && ascii_.Open()) {
        d.answer = Answer::kAscii;
        d.name = "ascii";
        d.evidence = count_ == 0 ? "no data" : "7-bit text without a host's escape sequence";
        return d;
    }
    if (proven.size() == 1) {
        Candidate &k = *proven.front();
        d.name = k.name;
        if (&k == &utf8_) {
            d.answer = Answer::kUtf8;
            d.evidence = Summary(k);
        } else {
            d.answer = Answer::kSet;
            d.charset = &k == &shiftJis_ ? 51 : &k == &euc_ ? 57 : library;
            d.name = CharsetDisplayName(d.charset);
            d.evidence = &k == &jis7_ || &k == &locking_
                             ? FirstEscape() + ", read by the library's detection as " + d.name
                             : Summary(k);
        }
        d.evidence += ruledOut;
        return d;
    }
    // Undecided: the candidates with evidence, else those that fit (and
    // single-byte text, which fits all 8-bit data); single-byte text alone
    // when nothing else is left.
    std::vector<Candidate *> &left = proven.empty() ? fitting : proven;
    if (left.empty()) {
        d.answer = Answer::kSingleByte;
        d.name = "single-byte 8-bit text";
        d.evidence = ruledOut.empty() ? "" : ruledOut.substr(2);
        return d;
    }
    d.answer = Answer::kUndecided;
    d.name = "undecided";
    for (const Candidate *k : left)
        d.evidence += std::string(d.evidence.empty() ? "" : " or ") + k->name + " (" + Summary(*k) + ")";
    if (proven.empty()) d.evidence += " or single-byte 8-bit text";
    d.evidence += ruledOut;
    return d;
}

void DetectUsage(FILE *out) {
    std::fputs("usage: kxfile detect FILE...\n"
               "Prints the encoding of each FILE ('-': standard input), read whole, and the\n"
               "evidence: ascii, utf-8, utf-16le/utf-16be (a byte-order mark; not converted),\n"
               "shift_jis, euc-jp, a 7-bit JIS host set (jis-7bit-x0212, jis-7bit-1978,\n"
               "jis-7bit-esc-k), host-locking-shift, single-byte 8-bit text, or undecided.\n"
               "Each encoding ruled out is named with the first bytes it cannot contain and\n"
               "their offset.\n",
               out);
}

}  // namespace

Detection DetectEncoding(InputBytes &input) {
    Scanner scanner;
    for (int c = input.Next(); c >= 0; c = input.Next()) scanner.Put(c, input.Offset());
    scanner.End();
    return scanner.Decide();
}

std::string DescribeDetection(const Detection &detection) {
    if (detection.answer == Answer::kUndecided) return "undecided: " + detection.evidence;
    if (detection.evidence.empty()) return detection.name;
    return detection.name + " (" + detection.evidence + ")";
}

int DetectCommand(int argc, char **argv) {
    return RunOverFiles("detect", argc, argv, DetectUsage, [](const std::string &path, InputBytes &input) {
        Detection detection = DetectEncoding(input);
        if (input.Failed()) return false;
        std::printf("%s: %s\n", path.c_str(), DescribeDetection(detection).c_str());
        return true;
    });
}

}  // namespace kxcli
