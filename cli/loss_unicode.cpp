// The loss report where UTF-8 is one side: characters the target set lacks,
// by their code point (and Unicode name where the tool has it), and input
// that is not UTF-8, by its offset.
// Each distinct character is asked of the library once: converted, and
// converted back, it is kept when it comes back the same.
#include <algorithm>
#include <cstdio>
#include <unordered_map>

#include "charset_names.h"
#include "kxfiles.h"
#include "loss_report.h"

namespace kxcli {
namespace {

constexpr size_t kPositionsShown = 10;
const std::string kSubstitute = "\xEF\xBF\xBD";

struct UnicodeName {
    uint16_t value;
    const char *name;
};
#include "cli_unicode_names.inc"

// "U+2500 BOX DRAWINGS LIGHT HORIZONTAL" for a character of a single-byte
// set's map, whose name the tool carries; "U+XXXX" alone for the others.
std::string CodePointText(uint32_t character) {
    char text[16];
    std::snprintf(text, sizeof text, "U+%04X", static_cast<unsigned>(character));
    auto named = std::lower_bound(std::begin(kUnicodeNames), std::end(kUnicodeNames), character,
                                  [](const UnicodeName &entry, uint32_t c) { return entry.value < c; });
    if (named == std::end(kUnicodeNames) || named->value != character) return text;
    return std::string(text) + " " + named->name;
}

void Count(LossReport &report, uint64_t offset, std::string what, std::string fate) {
    ++report.count;
    if (report.first.size() < kPositionsShown) report.first.push_back({offset, std::move(what), std::move(fate)});
}

std::string Translate(std::string in, uint16_t from, uint16_t to) {
    char out[32] = {};
    kxFileTranslateBufferExt(reinterpret_cast<uint8_t *>(in.data()), static_cast<int32_t>(in.size()),
                             reinterpret_cast<uint8_t *>(out), sizeof out, from, to, CSF_TRANSLATE | CSF_KEEP_BOM, 0);
    return out;
}

std::string HexBytes(const std::string &bytes) {
    std::string text;
    for (unsigned char c : bytes) {
        char two[4];
        std::snprintf(two, sizeof two, "%s%02X", text.empty() ? "" : " ", c);
        text += two;
    }
    return text;
}

// UTF-8 input: the fate of each character that does not come back, by its
// code point; each maximal ill-formed subpart once, by its offset.
bool ScanFromUtf8(InputBytes &input, uint16_t to, LossReport &report) {
    std::unordered_map<uint32_t, std::string> fates;  // "" when kept
    int held = -1;  // a byte that cut a sequence short, looked at again
    uint64_t heldOffset = 0;
    for (;;) {
        int b = held >= 0 ? held : input.Next();
        const uint64_t offset = held >= 0 ? heldOffset : input.Offset();
        held = -1;
        if (b < 0) break;
        std::string bytes(1, static_cast<char>(b));
        uint32_t need = 0, character = 0, low = 0x80, high = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) need = 1, character = b & 0x1F;
        else if (b >= 0xE0 && b <= 0xEF) need = 2, character = b & 0x0F, low = b == 0xE0 ? 0xA0 : 0x80, high = b == 0xED ? 0x9F : 0xBF;
        else if (b >= 0xF0 && b <= 0xF4) need = 3, character = b & 0x07, low = b == 0xF0 ? 0x90 : 0x80, high = b == 0xF4 ? 0x8F : 0xBF;
        else if (b >= 0x80) need = ~0u;
        bool valid = need != ~0u;
        for (; valid && need > 0; --need, low = 0x80, high = 0xBF) {
            int c = input.Next();
            if (c < 0 || static_cast<uint32_t>(c) < low || static_cast<uint32_t>(c) > high) {
                held = c;
                heldOffset = input.Offset();
                valid = false;
                break;
            }
            bytes += static_cast<char>(c);
            character = character << 6 | (c & 0x3F);
        }
        if (b < 0x80) character = static_cast<uint32_t>(b);
        if (!valid) {
            Count(report, offset, HexBytes(bytes), "not UTF-8, written as one substitute");
            if (held < 0 && input.Failed()) break;
            continue;
        }
        auto known = fates.find(character);
        if (known == fates.end()) {
            const std::string out = Translate(bytes, KXCHARSET_UTF8, to);
            std::string fate;
            if (Translate(out, to, KXCHARSET_UTF8) != bytes && !(character == 0 && out.empty()))
                fate = out == " " ? "replaced by the default character 20" : "approximated as " + HexBytes(out);
            known = fates.emplace(character, fate).first;
        }
        if (!known->second.empty()) Count(report, offset, CodePointText(character), known->second);
    }
    return !input.Failed();
}

// Text of a single-byte set or Shift-JIS going to UTF-8: UTF-8 holds every
// character, so only codes without one are lost (written as U+FFFD).
bool ScanToUtf8(InputBytes &input, uint16_t from, LossReport &report) {
    std::unordered_map<uint32_t, bool> lost;
    for (int b = input.Next(); b >= 0; b = input.Next()) {
        const uint64_t offset = input.Offset();
        std::string bytes(1, static_cast<char>(b));
        if (from == 51 && ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC))) {
            int t = input.Next();
            if (t >= 0) bytes += static_cast<char>(t);
        }
        const uint32_t key = bytes.size() == 2 ? (b << 8 | static_cast<unsigned char>(bytes[1])) : b;
        auto known = lost.find(key);
        if (known == lost.end()) known = lost.emplace(key, Translate(bytes, from, KXCHARSET_UTF8).find(kSubstitute) != std::string::npos).first;
        if (known->second) Count(report, offset, HexBytes(bytes), "no character, written as U+FFFD");
    }
    return !input.Failed();
}

}  // namespace

bool ScanUnicodeLosses(InputBytes &input, uint16_t from, uint16_t to, LossReport &report) {
    return from == KXCHARSET_UTF8 ? ScanFromUtf8(input, to, report) : ScanToUtf8(input, from, report);
}

}  // namespace kxcli
