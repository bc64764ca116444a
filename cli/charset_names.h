// The character sets by name: the library's CharsetIds with their names and
// aliases (IANA names where one exists), as the registry of the maps lists them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kxcli {

// What double-byte text a set holds, as the registry's dbcs column says.
enum class DoubleByte : uint8_t {
    kNone,
    kPc,    // a PC set (Shift-JIS and its relatives): the layer turns its text into host sets and back
    kHost,  // a host set whose double-byte text comes from or goes to a PC set
};

struct CharsetName {
    uint16_t id;
    const char *name;         // canonical name
    const char *aliases;      // comma-separated, "" when none
    DoubleByte doubleByte;
    const char *description;
};

std::span<const CharsetName> AllCharsets();

// A set named by its name, one of its aliases or its number; nothing when the
// text names no known set. Names are compared as iconv's and Python's users
// write them: without regard to case, '-' and '_' (latin-1, ISO_8859-1 and
// iso88591 are iso-8859-1).
std::optional<uint16_t> CharsetByName(const std::string &text);

// The layer options a name carries beside its set: the RFC 1468 names of
// ISO-2022-JP (set 53 by name) return to ASCII with ESC ( B, as iconv and
// mail readers expect; set 53 by number keeps ESC ( J (JIS Roman).
uint32_t CharsetNameOptions(const std::string &text);

// The name or alias that `text` matched ("" when none): what `kxfile charsets
// NAME` shows a name resolved through.
std::string MatchedCharsetName(const std::string &text);

// "unknown character set 'TEXT'", with the nearest names when there are.
std::string UnknownCharsetMessage(const std::string &text);

// The canonical name of a set, or its number when it has none.
std::string CharsetDisplayName(uint16_t id);

// The PC double-byte sets (Shift-JIS and its relatives), whose text the
// character-set layer turns into host sets on reading and back on writing.
bool IsPcDoubleByteSet(uint16_t id);

// The host sets whose double-byte text comes from or goes to Shift-JIS.
bool IsHostDoubleByteSet(uint16_t id);

}  // namespace kxcli
