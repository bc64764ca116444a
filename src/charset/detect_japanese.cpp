// Which Japanese encoding a block of received data is in, from the bytes
// that only one encoding would write: a JIS escape sequence, a Shift-JIS
// first byte, EUC pairs.
#include "charset/dbcs_layer.h"

namespace kx {
namespace {

namespace sets = dbcs::sets;

// The evidence gathered so far.
enum Evidence : uint16_t {
    kNone = 0,
    kUndecided = 3,   // an EUC single shift followed by a byte both encodings allow
    kShiftJis = 5,
    kEuc = 6,
    kKatakanaLike = 7,  // pairs of half-width katakana, which are EUC pairs too
};

constexpr uint16_t kKeepScanning = 0;

class Scan {
public:
    Scan(const uint8_t *buffer, uint32_t length) : at_(buffer), end_(buffer + length) {}

    uint16_t Run() {
        while (at_ < end_) {
            uint16_t found = Step(*at_++);
            if (found == kNoMoreBytes) break;
            if (found != kKeepScanning) return found;
        }
        return state_ == kEuc ? sets::kEucJis0212 : 0;
    }

private:
    static constexpr uint16_t kNoMoreBytes = 0xFFFF;

    // The next byte, or false at the end of the buffer.
    bool Next(uint8_t &n) {
        if (at_ >= end_) return false;
        n = *at_++;
        return true;
    }

    // EUC evidence after Shift-JIS evidence makes the 8-bit locking-shift
    // host (whose double-byte bytes fit both); after katakana-like pairs it
    // decides EUC.
    uint16_t EucEvidence() {
        switch (state_) {
        case kShiftJis:
            return sets::kEuc;
        case kUndecided:
            return sets::kEucJis0212;
        default:
            state_ = kEuc;
            return kKeepScanning;
        }
    }

    uint16_t ShiftJisEvidence() {
        switch (state_) {
        case kEuc:
            return sets::kEuc;
        case kUndecided:
            return sets::kShiftJis;
        default:
            state_ = kShiftJis;
            return kKeepScanning;
        }
    }

    uint16_t Step(uint8_t c) {
        uint8_t n = 0;
        if (state_ == kNone && c == kEscape) {
            if (!Next(n)) return kNoMoreBytes;
            if (n == '}' || n == '|') return sets::kEuc;
            if (n == 'K') return sets::kJis1978Locking;
            if (n == '$') {
                if (!Next(n)) return kNoMoreBytes;
                if (n == 'B' || n == '(') return sets::kJis;
                if (n == '@') return sets::kJis1978;
            }
            return kKeepScanning;
        }
        if (state_ == kEuc && c == kEscape) return sets::kEuc;
        if (c == 0x8E || c == 0x8F) return AfterSingleShift();
        if ((c >= 0xF0 && c <= 0xFE) || (c >= 0xA1 && c <= 0xFE && state_ == kEuc)) {
            if (uint16_t found = EucEvidence()) return found;
            if (!Next(n)) return kNoMoreBytes;
            if (n >= 0x21 && n <= 0x7E) return sets::kEuc;
            state_ = kEuc;
            return kKeepScanning;
        }
        if (c >= 0x81 && c <= 0x9F) return sets::kShiftJis;
        if (c >= 0xA1 && c <= 0xDF) return AfterKatakanaByte();
        if (c >= 0xE0 && c <= 0xEF) {
            if (!Next(n)) return kNoMoreBytes;
            if (n >= 0x21 && n <= 0x3F) return sets::kEuc;
            if (n >= 0x40 && n <= 0x7E) return ShiftJisEvidence();
            if (n >= 0x80 && n <= 0xA0) return sets::kShiftJis;
            if (n >= 0xFD) return EucEvidence();
        }
        return kKeepScanning;
    }

    // 0x8E and 0x8F are EUC's single shifts but also Shift-JIS first bytes:
    // the byte after them decides. A Shift-JIS second byte outside the EUC
    // range decides Shift-JIS; one of 0xA1-0xDF fits both (a kanji, or EUC
    // katakana), and the scan goes on undecided unless evidence is already
    // there.
    uint16_t AfterSingleShift() {
        uint8_t n = 0;
        if (!Next(n)) return kNoMoreBytes;
        if ((n >= 0x40 && n <= 0x7E) || (n >= 0x80 && n <= 0xA0) || (n >= 0xE0 && n <= 0xFC))
            return sets::kShiftJis;
        if (n >= 0xA1 && n <= 0xDF) {
            if (state_ == kEuc) return sets::kEucJis0212;
            if (state_ == kShiftJis) return sets::kShiftJis;
            state_ = kUndecided;
            return kKeepScanning;
        }
        if (n >= 0xFD && n <= 0xFE) return sets::kEucJis0212;  // an EUC byte only
        return kKeepScanning;
    }

    // A half-width katakana of Shift-JIS or the first byte of an EUC pair.
    uint16_t AfterKatakanaByte() {
        uint8_t n = 0;
        if (!Next(n)) return kNoMoreBytes;
        if (n >= 0xF0 && n <= 0xFE) {
            if (uint16_t found = EucEvidence()) return found;
            state_ = kEuc;
            return kKeepScanning;
        }
        if (n >= 0xA1 && n <= 0xDF) {
            if (state_ == kNone) state_ = kKatakanaLike;
            return kKeepScanning;
        }
        if (n >= 0xE0 && n <= 0xEF) {
            uint8_t r = 0;
            while (Next(r) && r >= 0x40) {
                if ((r >= 0x81 && r <= 0x8D) || (r >= 0x90 && r <= 0x9F)) return sets::kShiftJis;
                if (r >= 0xFD && r <= 0xFE)
                    if (uint16_t found = EucEvidence()) return found;
            }
            if (state_ == kNone) state_ = kKatakanaLike;
            return kKeepScanning;
        }
        // A half-width katakana before ASCII is Shift-JIS; EUC has no such
        // pair.
        if (n >= 0x21 && n <= 0x7E) return ShiftJisEvidence();
        if (n < 0x21 || (n >= 0x7F && n <= 0x9F)) return sets::kShiftJis;
        return kKeepScanning;  // 0xA0 or 0xFF
    }

    const uint8_t *at_;
    const uint8_t *end_;
    uint16_t state_ = kNone;
};

}  // namespace

uint16_t DetectJapaneseEncoding(const uint8_t *buffer, uint32_t length) {
    if (buffer == nullptr) return 0;
    return Scan(buffer, length).Run();
}

}  // namespace kx
