// Every map named after a standard, code by code, against the C library's own
// converter (iconv): the only differences allowed are the conventions shared
// by the maps and the exceptions each set lists.
#include <gtest/gtest.h>

#include <iconv.h>

#include <cerrno>
#include <map>
#include <set>

#include "charset/map_sources.h"
#include "kxfiles.h"

namespace {

constexpr uint16_t kNone = 0xFFFF;

// The character of one byte in `encoding`, or kNone when the converter knows
// none.
uint16_t Decode(iconv_t converter, uint8_t byte) {
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    char in[1] = {static_cast<char>(byte)};
    uint32_t out[2] = {0, 0};
    char *inPointer = in;
    char *outPointer = reinterpret_cast<char *>(out);
    size_t inLeft = 1, outLeft = sizeof out;
    // A stateful converter (1255) holds a letter back for a following
    // combining mark until it is flushed.
    if (iconv(converter, &inPointer, &inLeft, &outPointer, &outLeft) == static_cast<size_t>(-1) ||
        iconv(converter, nullptr, nullptr, &outPointer, &outLeft) == static_cast<size_t>(-1) ||
        outLeft != sizeof out - 4 || out[0] > 0xFFFF)
        return kNone;
    return static_cast<uint16_t>(out[0]);
}

struct Standard {
    uint16_t set;
    const char *encoding;
    std::map<uint8_t, uint16_t> exceptions;  // code: our value where the set departs from the standard
};

const std::set<uint16_t> kPcCodePages = {31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 65, 67, 68};
const std::set<uint16_t> kSpaceAtFF = {5, 6, 31, 32, 33, 34, 35, 36, 37, 38, 40, 41, 67, 68};
const std::set<uint16_t> kSpaceAtA0 = {5, 66};

const Standard kStandards[] = {
    {5, "DEC-MCS", {}},
    {6, "HP-ROMAN8", {{0xA9, 0x0060}, {0xAA, 0x005E}, {0xAC, 0x007E}, {0xAF, 0x00A3}, {0xF6, 0x00AD}}},
    {15, "ISO-8859-1", {}},
    {16, "ISO-8859-2", {}},
    {17, "ISO-8859-3", {}},
    {18, "ISO-8859-4", {}},
    {19, "ISO-8859-5", {}},
    {20, "ISO-8859-6", {{0x30, 0x0660}, {0x31, 0x0661}, {0x32, 0x0662}, {0x33, 0x0663}, {0x34, 0x0664},
                        {0x35, 0x0665}, {0x36, 0x0666}, {0x37, 0x0667}, {0x38, 0x0668}, {0x39, 0x0669}}},
    // The 1987 edition: without the 2003 additions at 0xA4, 0xA5 and 0xAA.
    {21, "ISO-8859-7", {{0xA1, 0x0371}, {0xA2, 0x0372}, {0xB4, 0x03F3}, {0xB5, 0x03F4},
                        {0xA4, kNone}, {0xA5, kNone}, {0xAA, kNone}}},
    {22, "ISO-8859-8", {{0xAF, 0x203E}, {0xFD, kNone}, {0xFE, kNone}}},
    {23, "ISO-8859-9", {}},
    {24, "CP1250", {}},
    {25, "CP1251", {}},
    {26, "CP1252", {{0x8E, kNone}, {0x9E, kNone}}},
    {27, "CP1253", {{0xA1, 0x03F4}, {0xB4, 0x03F3}}},
    {28, "CP1254", {}},
    {29, "CP1255", {{0xA1, kNone}, {0xBF, kNone}, {0xA4, 0x00A4}, {0xDF, 0x2017}}},
    {31, "IBM437", {}},
    {32, "IBM850", {}},
    {33, "IBM852", {}},
    {34, "IBM855", {{0xFD, kNone}}},
    {35, "IBM857", {}},
    {36, "IBM860", {}},
    {37, "IBM861", {}},
    {38, "IBM863", {}},
    {39, "IBM864", {}},
    {40, "IBM865", {}},
    {41, "IBM869", {{0xEF, 0x00B4}, {0xF7, 0x03F4}}},
    {65, "CP737", {{0xF4, 0x2320}, {0xF5, 0x2321}, {0xF9, 0x00A3}, {0xFF, 0x03C9}}},
    {66, "ISO646-YU", {}},
    {67, "IBM866", {}},
    {68, "IBM862", {}},
};

// Why our value may differ from the converter's at this code, or null.
const char *Allowed(const Standard &s, const std::array<uint16_t, 256> &ours, int code, uint16_t theirs) {
    uint16_t value = ours[code];
    auto exception = s.exceptions.find(static_cast<uint8_t>(code));
    if (exception != s.exceptions.end()) return exception->second == value ? "listed exception" : nullptr;
    bool control = theirs <= 0x1F || (theirs >= 0x7F && theirs <= 0x9F);
    if (control && value == kNone) return "control position";
    if (kPcCodePages.count(s.set) && (code < 0x20 || (code == 0x7F && value == 0x2302))) return "PC glyph";
    if (code == 0xFF && kSpaceAtFF.count(s.set) && value == 0x0020) return "space at 0xFF";
    if (code == 0xA0 && kSpaceAtA0.count(s.set) && value == 0x0020) return "space at 0xA0";
    if (theirs == 0x20AC && value == kNone) return "no euro sign";
    if (s.set == 5 && theirs == kNone && value == 0xE93B) return "DEC reserved position";
    if (s.set == 29 && code >= 0xC0 && code <= 0xD8 && value == kNone) return "no vowel points";
    if (s.set == 39 && code >= 0xC5 && code <= 0xF6) return "earlier presentation forms";
    if (s.set == 66 && code >= 0xA0 && value == ours[code - 0x80]) return "upper half repeats the lower";
    return nullptr;
}

TEST(MapsAgainstIconv, EveryStandardSetCodeByCode) {
    for (const Standard &s : kStandards) {
        SCOPED_TRACE(std::string("set ") + std::to_string(s.set) + " " + s.encoding);
        iconv_t converter = iconv_open("UTF-32LE", s.encoding);
        if (converter == reinterpret_cast<iconv_t>(-1)) {
            ADD_FAILURE() << "iconv has no " << s.encoding;
            continue;
        }
        auto ours = kxtest::MapOf(s.set);
        for (int code = 0; code < 256; ++code) {
            uint16_t theirs = Decode(converter, static_cast<uint8_t>(code));
            if (ours[code] == theirs) continue;
            EXPECT_NE(Allowed(s, ours, code, theirs), nullptr)
                << std::hex << "code 0x" << code << ": ours U+" << ours[code] << ", iconv U+" << theirs;
        }
        iconv_close(converter);
    }
}

// `bytes` through kxFileTranslateBufferExt; a result of the one byte 0x00
// reads as such.
std::string Translate(const std::string &bytes, uint16_t from, uint16_t to) {
    std::string in = bytes;
    char out[16] = {};
    kxFileTranslateBufferExt(reinterpret_cast<uint8_t *>(in.data()), static_cast<int32_t>(in.size()),
                             reinterpret_cast<uint8_t *>(out), sizeof out, from, to, CSF_TRANSLATE, 0);
    std::string result(out);
    return result.empty() ? std::string(1, '\0') : result;
}

std::string Utf8Of(uint32_t c) {
    std::string s;
    if (c < 0x80) s += static_cast<char>(c);
    else if (c < 0x800) s += {static_cast<char>(0xC0 | c >> 6), static_cast<char>(0x80 | (c & 0x3F))};
    else s += {static_cast<char>(0xE0 | c >> 12), static_cast<char>(0x80 | (c >> 6 & 0x3F)), static_cast<char>(0x80 | (c & 0x3F))};
    return s;
}

// Each code to UTF-8 is iconv's character, except where the map departs from
// the standard as above (its own character then) or iconv knows none (a
// substitute, or at a control position the control). The C0 codes are
// controls, as iconv reads them, also where the PC sets show glyphs. UTF-8
// back gives the code wherever its character is unique in the set.
TEST(MapsAgainstIconv, EveryStandardSetToUtf8AndBack) {
    constexpr uint16_t kUtf8 = KXCHARSET_UTF8;
    for (const Standard &s : kStandards) {
        SCOPED_TRACE(std::string("set ") + std::to_string(s.set) + " " + s.encoding);
        iconv_t converter = iconv_open("UTF-32LE", s.encoding);
        ASSERT_NE(converter, reinterpret_cast<iconv_t>(-1));
        auto ours = kxtest::MapOf(s.set);
        std::string utf8[256];
        std::map<std::string, int> uses;
        for (int code = 0; code < 256; ++code) {
            utf8[code] = Translate(std::string(1, static_cast<char>(code)), s.set, kUtf8);
            ++uses[utf8[code]];
            uint16_t theirs = Decode(converter, static_cast<uint8_t>(code));
            // A code without a character: at a control position that
            // control, elsewhere a substitute.
            const bool control = code < 0x20 || (code >= 0x7F && code <= 0x9F);
            auto character = [&](uint16_t value) { return Utf8Of(value != kNone ? value : control ? code : 0xFFFD); };
            std::string expected = character(theirs);
            if (utf8[code] != expected && Allowed(s, ours, code, theirs) != nullptr) expected = character(ours[code]);
            EXPECT_EQ(utf8[code], expected) << std::hex << "code 0x" << code << ", iconv U+" << theirs;
        }
        for (int code = 0; code < 256; ++code) {
            if (uses[utf8[code]] != 1 || utf8[code] == Utf8Of(0xFFFD)) continue;
            EXPECT_EQ(Translate(utf8[code], kUtf8, s.set), std::string(1, static_cast<char>(code)))
                << std::hex << "code 0x" << code;
        }
        iconv_close(converter);
    }
}

}  // namespace
