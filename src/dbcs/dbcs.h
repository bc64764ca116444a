// Double-byte conversion: one character at a time between the PC's code
// (Shift-JIS for the Japanese sets) and the code of a host set. The
// character-set layer converts every double-byte pair it meets with these; the
// exports kxFileMicro2HostDBCS and kxFileHost2MicroDBCS are the same calls.
#pragma once

#include <atomic>
#include <cstdint>

namespace kx::dbcs {

// The host sets that convert double-byte characters.
namespace sets {
constexpr uint16_t kShiftJis = 51;        // host speaks Shift-JIS: no conversion
constexpr uint16_t kJis = 52;             // JIS between shift sequences, JIS X 0212 for extensions
constexpr uint16_t kJisEscapes = 53;      // converts like 52
constexpr uint16_t kJis1978 = 54;         // 1978 ordering, no JIS X 0212
constexpr uint16_t kEuc = 55;             // EUC, extended rows as they are
constexpr uint16_t kEucBoxRow = 56;       // EUC, 1978 ordering, box drawing in row 0xFE
constexpr uint16_t kEucJis0212 = 57;      // EUC, JIS X 0212 for extensions
constexpr uint16_t kPassA = 59;           // lead bytes 0xA1-0xFE pass unchanged
constexpr uint16_t kTables = 60;          // through the resource tables 83 and 84
constexpr uint16_t kPassB = 61;
constexpr uint16_t kPassC = 62;
constexpr uint16_t kJis0212FromHost = 69; // towards the PC only: a JIS X 0212 pair
constexpr uint16_t kJis1978Locking = 73;  // converts like 54
constexpr uint16_t kTrailDigits = 77;     // some trail bytes change
}  // namespace sets

// PC code to host code. True with the host code in *out; false on failure,
// when only the low-order byte of *out is set to 0x20.
bool MicroToHost(uint16_t code, uint16_t *out, uint16_t charset);

// MicroToHost through rows of results kept for the life of the library; the
// same results, except that `out` is left alone on failure.
bool MicroToHostCached(uint16_t code, uint16_t &out, uint16_t charset);

// Host code to PC code. True with the PC code in *out. False on failure, when
// *out receives the working value with its high byte replaced by 0x20, or,
// for a result that would read as a half-width katakana lead byte (0xA1 to
// 0xDF), is left untouched.
bool HostToMicro(uint16_t code, uint16_t *out, uint16_t charset);

// Many codes of one host set converted through rows of results kept for the
// life of the library, one row of 256 results per lead byte, built on first
// use: the results of MicroToHost (towards the host) or HostToMicro (towards
// the PC), except that `out` is left alone on failure. The lookup of a row
// already built is inline.
class CodeRows {
public:
    enum Direction { kToHost = 0, kToPc = 1 };
    CodeRows(Direction direction, uint16_t charset);

    bool Convert(uint16_t code, uint16_t &out) const {
        if (rows_ != nullptr) {
            if (const uint32_t *row = rows_[code >> 8].load(std::memory_order_acquire)) {
                const uint32_t entry = row[code & 0xFF];
                if ((entry & kConverted) == 0) return false;
                out = static_cast<uint16_t>(entry);
                return true;
            }
        }
        return ConvertSlowly(code, out);
    }

    // A row entry: this bit set when the code converts, the result in the low
    // 16 bits.
    static constexpr uint32_t kConverted = 0x10000;

    // The set's 256 row pointers (each null until its row is built), or null
    // when the set's rows are not kept: for loops that hold them in a register.
    const std::atomic<const uint32_t *> *Rows() const { return rows_; }

private:
    bool ConvertSlowly(uint16_t code, uint16_t &out) const;

    Direction direction_;
    uint16_t charset_;
    int slot_;                                // the set's place among the cached sets, or -1
    const std::atomic<const uint32_t *> *rows_;  // the set's 256 row pointers, or null
};

// ---- Shift-JIS and Unicode ----

constexpr uint16_t kNoUnicode = 0xFFFF;    // a code without a character
constexpr uint16_t kNoShiftJis = 0xFFFF;   // a character without a code

// The character of a Shift-JIS code (a single byte 0x00-0xFF, or a pair as
// lead << 8 | trail) in Windows' code page 932: bytes 0x00-0x7F are ASCII,
// 0xA1-0xDF half-width katakana, the pairs JIS X 0208 with NEC row 13, the
// NEC-selected and IBM extensions and the user-defined area 0xF040-0xF9FC
// (U+E000-U+E757). With `jis`, the six codes where the JIS mapping differs
// (0x8160, 0x8161, 0x817C, 0x8191, 0x8192, 0x81CA) give its characters.
// kNoUnicode for a code without a character.
uint16_t ShiftJisToUnicode(uint16_t code, bool jis);

// The Shift-JIS code that writes `character`: either mapping's character of
// the six codes is accepted, and a character the code page holds twice takes
// the code Windows writes. kNoShiftJis when the set lacks it.
uint16_t UnicodeToShiftJis(uint32_t character);

// The two conversions as tables of 64K entries, for callers that convert
// many codes: ShiftJisToUnicodeTable(jis)[code] and
// UnicodeToShiftJisTable()[character] (characters below U+10000).
const uint16_t *ShiftJisToUnicodeTable(bool jis);
const uint16_t *UnicodeToShiftJisTable();

// Shift-JIS straight to UTF-8, for callers that convert long runs: the row
// of each first byte (0 for a single byte, 1 to 60 for a lead byte) and, in
// that row, the entry of the byte itself or of the trail byte: the UTF-8
// bytes of the code's character (at most three, the first lowest in memory)
// and their number in the fourth byte; all zero for a code without a
// character and for a lead byte with a byte that is no trail byte.
struct ShiftJisUtf8 {
    uint8_t row[256];
    uint32_t bytes[61][256];
};
const ShiftJisUtf8 &ShiftJisToUtf8Table(bool jis);

struct HostCodeRows : CodeRows {
    explicit HostCodeRows(uint16_t charset) : CodeRows(kToHost, charset) {}
};

struct PcCodeRows : CodeRows {
    explicit PcCodeRows(uint16_t charset) : CodeRows(kToPc, charset) {}
};

}  // namespace kx::dbcs
