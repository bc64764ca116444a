// The steps of the double-byte conversion, each on one 16-bit code (lead byte
// high, trail byte low), and the two tables of set 60 loaded from the
// module's resources. The conversion chains of to_host.cpp and to_pc.cpp are
// made of these.
#pragma once

#include <cstdint>

namespace kx::dbcs {

constexpr uint16_t kWhiteSquare = 0x2222;  // JIS code of the white square, Shift-JIS 0x81A0
constexpr uint16_t kTwoSpaces = 0x2020;    // set 60 and 77: a character without counterpart

inline uint8_t Lead(uint16_t code) { return static_cast<uint8_t>(code >> 8); }
inline uint8_t Trail(uint16_t code) { return static_cast<uint8_t>(code & 0xFF); }
inline uint16_t Code(unsigned lead, unsigned trail) {
    return static_cast<uint16_t>(((lead & 0xFF) << 8) | (trail & 0xFF));
}
inline bool IsJisByte(unsigned byte) { return byte >= 0x21 && byte <= 0x7E; }
inline bool IsShiftJisLead(unsigned byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}
inline bool IsShiftJisTrail(unsigned byte) {
    return (byte >= 0x40 && byte <= 0x7E) || (byte >= 0x80 && byte <= 0xFC);
}

// Shift-JIS to the JIS form; lead bytes 0xF0 to 0xFC give the extended rows
// 0xA1 to 0xBA.
uint16_t SjisToJis(uint16_t code);
// The inverse for rows 0x21 to 0x7E and 0xA1 to 0xBA.
uint16_t JisToSjis(uint16_t code);
// IBM extension rows 0xB5..0xB9 to the host's 0xC0..0xC4, and back.
uint16_t RowsToHost(uint16_t code);
uint16_t RowsFromHost(uint16_t code);
uint16_t JisToEuc(uint16_t code);
uint16_t EucToJis(uint16_t code);
// A marked extended-row code to its JIS X 0212 code; false, with `code`
// unchanged, when the code has none.
bool ExtToJis0212(uint16_t &code);
// A JIS X 0212 code (both bytes 7-bit) to its extended row.
uint16_t Jis0212ToExt(uint16_t code);

// The ordering of 1983 to that of 1978 (towards the host) and back. The
// alternate mode is that of sets 54 and 73. `boxDrawing` reports a code of
// row 8 columns 0x21 to 0x60, which NewToOldJis leaves as it is.
enum class JisMode { plain, alternate };
uint16_t NewToOldJis(uint16_t code, JisMode mode, bool &boxDrawing);
uint16_t OldToNewJis(uint16_t code, JisMode mode);

// The two tables of set 60, resources 83 (PC to host) and 84 (host to PC):
// the table that follows the byte count word, or null when the resource is
// missing or malformed. Loaded on the first call, at most once.
constexpr uint16_t kPcToHostTableId = 83;
constexpr uint16_t kHostToPcTableId = 84;
constexpr uint32_t kPcToHostTableBytes = 126 * 160 * 2;  // 40320
constexpr uint32_t kHostToPcTableBytes = 94 * 224 * 2;   // 42112
const uint8_t *LoadDbcsTable(uint16_t id);

namespace testing {
// How many times the table `id` has been read from the resources.
int DbcsTableLoads(uint16_t id);
// Forgets both tables and their load counts, as if the library had just been
// loaded. Only for tests, with no conversion running on another thread.
void ForgetDbcsTables();
}  // namespace testing

}  // namespace kx::dbcs
