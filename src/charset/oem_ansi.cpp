// The OEM/ANSI step: bytes of the system's OEM code page converted to its ANSI
// code page and back, through the library's own maps, so that the conversion
// is the same on every system. The code pages are the system's (on POSIX 437
// and 1252 unless the environment names others); a code page without a map of
// the library leaves the bytes as they are.
#include <mutex>

#include "charset/xlat.h"
#include "kxfiles.h"
#include "platform/platform.h"

namespace kx::charset {
namespace {

struct CodePageSet {
    uint32_t codePage;
    CharsetId set;
};

#include "charset_code_pages.inc"

// The two conversions for one pair of code pages, rebuilt when the system
// names other code pages.
struct OemAnsiConversions {
    bool built = false;
    uint32_t oemPage = 0;
    uint32_t ansiPage = 0;
    uint8_t oemToAnsi[256];
    uint8_t ansiToOem[256];
};

// Its own lock: the step may run while the cache lock is held (a national
// row is mapped through a cached table), and it reads the maps from the
// resources without the map cache, so that it never disturbs a build.
std::mutex conversionsMutex;
OemAnsiConversions conversions;  // guarded by conversionsMutex

// What a character the other code page lacks becomes: the system's
// conversions write a question mark.
constexpr uint8_t kNoCounterpart = '?';

constexpr uint16_t kNoBreakSpace = 0x00A0;
constexpr uint16_t kSpace = 0x0020;

// The conversion between the sets of two code pages. Control codes (0x00 to
// 0x1F and 0x7F) pass unchanged: the PC code pages' graphic symbols at those
// codes are what a screen shows for them, not characters of text. Other codes
// take the same code of the same character, else an approximation, else the
// question mark. A no-break space that the other set lacks becomes a plain
// space (the PC code pages hold a plain space at 0xFF), not a question mark.
// Without a map on either side the conversion is the identity.
void BuildConversion(uint32_t fromPage, uint32_t toPage, uint8_t out[256]) {
    for (int i = 0; i < 256; ++i) out[i] = static_cast<uint8_t>(i);
    uint16_t fromMap[256];
    uint16_t toMap[256];
    CharsetId from = CharsetForCodePage(fromPage);
    CharsetId to = CharsetForCodePage(toPage);
    if (from == 0 || to == 0 || !ReadCharsetMap(from, fromMap) || !ReadCharsetMap(to, toMap)) return;
    bool toHasNoBreakSpace = false;
    for (uint16_t character : toMap) toHasNoBreakSpace |= character == kNoBreakSpace;
    if (!toHasNoBreakSpace) {
        for (uint16_t &character : fromMap)
            if (character == kNoBreakSpace) character = kSpace;
    }
    TranslateByMaps(fromMap, toMap, 256, kNoCounterpart, XLAT_APPROXIMATE | XLAT_KEEP_CONTROLS, out);
    for (int i = 0; i < 0x20; ++i) out[i] = static_cast<uint8_t>(i);
    out[0x7F] = 0x7F;
}

uint8_t Convert(bool oemToAnsi, uint8_t byte) {
    uint32_t oemPage = os::GetOEMCP();
    uint32_t ansiPage = os::GetACP();
    std::lock_guard<std::mutex> lock(conversionsMutex);
    if (!conversions.built || conversions.oemPage != oemPage || conversions.ansiPage != ansiPage) {
        BuildConversion(oemPage, ansiPage, conversions.oemToAnsi);
        BuildConversion(ansiPage, oemPage, conversions.ansiToOem);
        conversions.oemPage = oemPage;
        conversions.ansiPage = ansiPage;
        conversions.built = true;
    }
    return oemToAnsi ? conversions.oemToAnsi[byte] : conversions.ansiToOem[byte];
}

}  // namespace

CharsetId CharsetForCodePage(uint32_t codePage) {
    for (const CodePageSet &entry : kCodePageSets)
        if (entry.codePage == codePage) return entry.set;
    return 0;
}

uint8_t MapByteOemAnsi(uint8_t byte, const uint8_t *table, uint32_t options) {
    bool toOem = (options & CSF_ANSI_TO_OEM) != 0;
    if ((options & CSF_OEM_TO_ANSI) != 0) {
        byte = Convert(true, byte);
        toOem = false;
    }
    if (table != nullptr) byte = table[byte];
    if (toOem) byte = Convert(false, byte);
    return byte;
}

}  // namespace kx::charset
