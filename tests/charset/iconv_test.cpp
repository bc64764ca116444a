// The character sets against the C library's converter, iconv(3): every map
// named after a standard, code by code, where the only differences allowed are
// the conventions shared by the maps and the exceptions each set lists; every
// JIS X 0208 character that Shift-JIS encodes read for JIS and EUC hosts and
// written back; half-width katakana, as they are and widened; code page 932
// and the JIS mapping to UTF-8 and back; detection on texts iconv wrote.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "charset/charset_fixture.h"
#include "charset/charset_layer.h"
#include "charset/map_sources.h"
#include "kxfiles.h"

namespace {

using namespace kxtest;

const std::string kFailed = "<iconv failed>";
constexpr uint16_t kNone = 0xFFFF;

// `input` converted whole by an open converter, or kFailed. A stateful
// converter (1255) holds a letter back for a following combining mark until
// it is flushed.
std::string Convert(iconv_t converter, const std::string &input) {
    iconv(converter, nullptr, nullptr, nullptr, nullptr);
    std::string out(input.size() * 4 + 16, '\0');
    char *in = const_cast<char *>(input.data()), *to = out.data();
    size_t inLeft = input.size(), outLeft = out.size();
    if (iconv(converter, &in, &inLeft, &to, &outLeft) == static_cast<size_t>(-1) ||
        iconv(converter, nullptr, nullptr, &to, &outLeft) == static_cast<size_t>(-1))
        return kFailed;
    out.resize(out.size() - outLeft);
    return out;
}

std::string Iconv(const char *from, const char *to, const std::string &input) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) return kFailed;
    std::string out = Convert(converter, input);
    iconv_close(converter);
    return out;
}

// The character of one byte for a converter to UTF-32LE, or kNone when it
// knows none.
uint16_t Decode(iconv_t converter, uint8_t byte) {
    const std::string out = Convert(converter, std::string(1, static_cast<char>(byte)));
    uint32_t value = 0;
    if (out.size() != 4) return kNone;
    std::memcpy(&value, out.data(), 4);
    return value > 0xFFFF ? kNone : static_cast<uint16_t>(value);
}

// The sets named after a standard, with iconv's names.
const std::pair<uint16_t, const char *> kStandards[] = {
    {5, "DEC-MCS"},     {6, "HP-ROMAN8"},   {15, "ISO-8859-1"}, {16, "ISO-8859-2"},
    {17, "ISO-8859-3"}, {18, "ISO-8859-4"}, {19, "ISO-8859-5"}, {20, "ISO-8859-6"},
    {21, "ISO-8859-7"}, {22, "ISO-8859-8"}, {23, "ISO-8859-9"}, {24, "CP1250"},
    {25, "CP1251"},     {26, "CP1252"},     {27, "CP1253"},     {28, "CP1254"},
    {29, "CP1255"},     {31, "IBM437"},     {32, "IBM850"},     {33, "IBM852"},
    {34, "IBM855"},     {35, "IBM857"},     {36, "IBM860"},     {37, "IBM861"},
    {38, "IBM863"},     {39, "IBM864"},     {40, "IBM865"},     {41, "IBM869"},
    {65, "CP737"},      {66, "ISO646-YU"},  {67, "IBM866"},     {68, "IBM862"},
};

// Where a set departs from its standard: code and our value, in hex.
const std::map<uint16_t, const char *> kExceptions = {
    {6, "A9 0060 AA 005E AC 007E AF 00A3 F6 00AD"},
    // The 1987 edition: without the 2003 additions at 0xA4, 0xA5 and 0xAA.
    {21, "A1 0371 A2 0372 B4 03F3 B5 03F4 A4 FFFF A5 FFFF AA FFFF"},
    {22, "AF 203E FD FFFF FE FFFF"},
    {26, "8E FFFF 9E FFFF"},
    {27, "A1 03F4 B4 03F3"},
    {29, "A1 FFFF BF FFFF A4 00A4 DF 2017"},
    {34, "FD FFFF"},
    {41, "EF 00B4 F7 03F4"},
    {65, "F4 2320 F5 2321 F9 00A3 FF 03C9"},
};

const std::set<uint16_t> kPcCodePages = {31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 65, 67, 68};
const std::set<uint16_t> kSpaceAtFF = {5, 6, 31, 32, 33, 34, 35, 36, 37, 38, 40, 41, 67, 68};
const std::set<uint16_t> kSpaceAtA0 = {5, 66};

// Why our value may differ from the converter's at this code, or null.
const char *Allowed(uint16_t set, const std::array<uint16_t, 256> &ours, int code,
                    uint16_t theirs) {
    uint16_t value = ours[code];
    std::istringstream listed(kExceptions.count(set) ? kExceptions.at(set) : "");
    for (int at, listedValue; listed >> std::hex >> at >> listedValue;)
        if (at == code) return listedValue == value ? "listed exception" : nullptr;
    if (set == 20 && code >= 0x30 && code <= 0x39)
        return value == 0x0630 + code ? "Arabic-Indic digit" : nullptr;
    bool control = theirs <= 0x1F || (theirs >= 0x7F && theirs <= 0x9F);
    if (control && value == kNone) return "control position";
    if (kPcCodePages.count(set) && (code < 0x20 || (code == 0x7F && value == 0x2302)))
        return "PC glyph";
    if (code == 0xFF && kSpaceAtFF.count(set) && value == 0x0020) return "space at 0xFF";
    if (code == 0xA0 && kSpaceAtA0.count(set) && value == 0x0020) return "space at 0xA0";
    if (theirs == 0x20AC && value == kNone) return "no euro sign";
    if (set == 5 && theirs == kNone && value == 0xE93B) return "DEC reserved position";
    if (set == 29 && code >= 0xC0 && code <= 0xD8 && value == kNone) return "no vowel points";
    if (set == 39 && code >= 0xC5 && code <= 0xF6) return "earlier presentation forms";
    if (set == 66 && code >= 0xA0 && value == ours[code - 0x80])
        return "upper half repeats the lower";
    return nullptr;
}

// One code through kxFileTranslateBufferExt; a result of the one byte 0x00
// reads as such.
std::string TranslateCode(const std::string &bytes, uint16_t from, uint16_t to) {
    const std::string out = Translated(bytes, {from, to, CSF_TRANSLATE, 0});
    return out.empty() ? std::string(1, '\0') : out;
}

// Each code's character is iconv's unless Allowed says why not. Each code to
// UTF-8 is iconv's character, except where the map departs from the standard
// (its own character then) or iconv knows none (a substitute, or at a control
// position the control); the C0 codes are controls, as iconv reads them, also
// where the PC sets show glyphs. UTF-8 back gives the code wherever its
// character is unique in the set.
TEST(MapsAgainstIconv, EveryStandardSetCodeByCodeAndThroughUtf8) {
    constexpr uint16_t kUtf8 = KXCHARSET_UTF8;
    for (const auto &[set, encoding] : kStandards) {
        SCOPED_TRACE(std::string("set ") + std::to_string(set) + " " + encoding);
        iconv_t converter = iconv_open("UTF-32LE", encoding);
        ASSERT_NE(converter, reinterpret_cast<iconv_t>(-1)) << "iconv has no " << encoding;
        auto ours = MapOf(set);
        std::string utf8[256];
        std::map<std::string, int> uses;
        for (int code = 0; code < 256; ++code) {
            SCOPED_TRACE(testing::Message() << std::hex << "code 0x" << code);
            const uint16_t theirs = Decode(converter, static_cast<uint8_t>(code));
            const char *allowed = Allowed(set, ours, code, theirs);
            EXPECT_TRUE(ours[code] == theirs || allowed != nullptr)
                << std::hex << "ours U+" << ours[code] << ", iconv U+" << theirs;
            utf8[code] = TranslateCode(std::string(1, static_cast<char>(code)), set, kUtf8);
            ++uses[utf8[code]];
            const bool control = code < 0x20 || (code >= 0x7F && code <= 0x9F);
            auto character = [&](uint16_t value) {
                return Utf8(value != kNone ? value : control ? code : 0xFFFD);
            };
            std::string expected = character(theirs);
            if (utf8[code] != expected && allowed != nullptr) expected = character(ours[code]);
            EXPECT_EQ(utf8[code], expected);
        }
        for (int code = 0; code < 256; ++code) {
            if (uses[utf8[code]] != 1 || utf8[code] == Utf8(0xFFFD)) continue;
            EXPECT_EQ(TranslateCode(utf8[code], kUtf8, set),
                      std::string(1, static_cast<char>(code)))
                << std::hex << "code 0x" << code;
        }
        iconv_close(converter);
    }
}

// Every two-byte Shift-JIS code of the JIS X 0208 rows (lead bytes up to
// 0xEF) that iconv takes for a JIS X 0208 character: it converts to
// ISO-2022-JP.
std::vector<std::string> JisX0208Characters() {
    std::vector<std::string> characters;
    for (unsigned lead = 0x81; lead <= 0xEF; ++lead) {
        if (lead >= 0xA0 && lead <= 0xDF) continue;
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F) continue;
            std::string c{static_cast<char>(lead), static_cast<char>(trail)};
            if (Iconv("SHIFT_JIS", "ISO-2022-JP", c) != kFailed) characters.push_back(c);
        }
    }
    return characters;
}

// The characters in lines of 40 between ASCII words, with CR LF line ends.
// The ASCII avoids 0x5C and 0x7E, which JIS Roman reads as other characters.
std::string Text(const std::vector<std::string> &characters) {
    std::string text;
    for (size_t i = 0; i < characters.size(); ++i) {
        if (i % 40 == 0) text += i % 80 == 0 ? "\r\nline " : " ab ";
        text += characters[i];
    }
    return text + "\r\n";
}

class JapaneseIconv : public kxtest::CharsetFixture {};

TEST_F(JapaneseIconv, EveryJisX0208CharacterReadAndWrittenBack) {
    const std::vector<std::string> characters = JisX0208Characters();
    ASSERT_GT(characters.size(), 6800u);
    const std::string shiftJis = Text(characters);
    const std::string unicode = Iconv("SHIFT_JIS", "UTF-8", shiftJis);
    ASSERT_NE(unicode, kFailed);

    // Set 53: what iconv decodes from our JIS text is the Shift-JIS text.
    const std::string jis = Read(shiftJis, {51, 53, kOn, 0}, {}, {4096, 7});
    const std::string decoded = Iconv("ISO-2022-JP", "UTF-8", jis);
    EXPECT_TRUE(decoded == unicode) << "set 53 decodes differently";
    EXPECT_TRUE(Written(jis, {53, 51, kOn, 0}) == shiftJis) << "set 53 written back";

    // Set 57: byte for byte what iconv writes as EUC-JP.
    const std::string euc = Read(shiftJis, {51, 57, kOn, 0}, {}, {4096, 7});
    const std::string theirs = Iconv("SHIFT_JIS", "EUC-JP", shiftJis);
    ASSERT_EQ(euc.size(), theirs.size());
    size_t differ = 0;
    for (; differ < euc.size() && euc[differ] == theirs[differ]; ++differ) {
    }
    EXPECT_EQ(differ, euc.size()) << "first difference at " << differ;
    EXPECT_TRUE(Written(euc, {57, 51, kOn, 0}) == shiftJis) << "set 57 written back";

    // Set 52 reads as JIS too, with the older designation in front.
    EXPECT_TRUE(Iconv("ISO-2022-JP", "UTF-8", Read(shiftJis, {51, 52, kOn, 0})) == unicode);
}

TEST_F(JapaneseIconv, HalfWidthKatakana) {
    std::string kana;
    for (int k = 0xA1; k <= 0xDF; ++k) kana += static_cast<char>(k);
    const std::string text = "ab" + kana + "cd" + kana + "\r\n";
    const std::string unicode = Iconv("SHIFT_JIS", "UTF-8", text);
    ASSERT_NE(unicode, kFailed);
    // ESC ( I for set 53, which iconv reads in its JIS X 0213 form of
    // ISO-2022-JP; 0x8E before each for set 57.
    EXPECT_TRUE(Iconv("ISO-2022-JP-3", "UTF-8", Read(text, {51, 53, kOn, 0})) == unicode);
    EXPECT_EQ(ToHex(Read(text, {51, 57, kOn, 0})), ToHex(Iconv("SHIFT_JIS", "EUC-JP", text)));
    EXPECT_TRUE(Written(Read(text, {51, 57, kOn, 0}), {57, 51, kOn, 0}) == text);
    EXPECT_TRUE(Written(Read(text, {51, 53, kOn, 0}), {53, 51, kOn, 0}) == text);
}

TEST_F(JapaneseIconv, KatakanaWidenedAsTheirCompatibilityForms) {
    std::ifstream in(std::string(KXFILES_SOURCE_DIR) + "/tests/charset/kana_full_width.txt");
    std::string line;
    int checked = 0;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string half, full;
        fields >> half >> full;
        // Built with += : GCC 12 at -O3 takes "x" + std::string for an
        // overlapping copy.
        std::string expected = "x", source = "x";
        expected += Hex(full);
        expected += 'y';
        source += Hex(half);
        source += 'y';
        EXPECT_TRUE(Iconv("EUC-JP", "UTF-8", Read(source, {51, 57, kFull, 0})) == expected) << half;
        EXPECT_TRUE(Iconv("ISO-2022-JP", "UTF-8", Read(source, {51, 53, kFull, 0})) == expected)
            << half;
        ++checked;
    }
    EXPECT_EQ(checked, 89);
}

TEST(JapaneseDetection, TextsWrittenByIconv) {
    const std::string sample =
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3"
        "\x83\x88"
        "\xE3\x81\xA7\xE3\x81\x99\xE3\x80\x82 file transfer 123\r\n"
        "\xE6\xBC\xA2\xE5\xAD\x97\xE3\x81\xA8\xE3\x81\x8B\xE3\x81\xAA\xE3\x82\xAB\xE3\x83\x8A\r\n";
    struct Case {
        const char *encoding;
        uint16_t expected;
    } cases[] = {{"SHIFT_JIS", 51}, {"EUC-JP", 57}, {"ISO-2022-JP", 52}};
    for (const Case &c : cases) {
        std::string text = Iconv("UTF-8", c.encoding, sample);
        ASSERT_NE(text, kFailed) << c.encoding;
        EXPECT_EQ(kx::DetectJapaneseEncoding(reinterpret_cast<const uint8_t *>(text.data()),
                                             static_cast<uint32_t>(text.size())),
                  c.expected)
            << c.encoding;
    }
}

// Code page 932 and the JIS mapping against iconv's CP932 and SHIFT_JIS:
// every single byte and every pair of lead and trail bytes to UTF-8, and
// back. A code iconv refuses is one substitute. The JIS mapping is compared
// except at 0x5C and 0x7E, ASCII in both modes (SHIFT_JIS reads them as the
// yen sign and the overline).
TEST_F(JapaneseIconv, EveryCodePage932CodeToUtf8AndBack) {
    auto translate = [](const std::string &in, uint16_t from, uint16_t to, uint32_t options) {
        return Translated(in, {from, to, CSF_TRANSLATE | options, 0});
    };
    std::vector<std::string> codes;
    for (unsigned b = 0x01; b <= 0xFF; ++b)
        if (!((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)))
            codes.push_back(std::string(1, static_cast<char>(b)));
    for (unsigned lead = 0x81; lead <= 0xFC; ++lead)
        for (unsigned trail = 0x40; trail <= 0xFC; ++trail)
            if ((lead <= 0x9F || lead >= 0xE0) && trail != 0x7F)
                codes.push_back({static_cast<char>(lead), static_cast<char>(trail)});
    size_t known = 0, knownJis = 0;
    for (const std::string &code : codes) {
        SCOPED_TRACE(ToHex(code));
        const std::string theirs = Iconv("CP932", "UTF-8", code);
        const std::string ours = translate(code, 51, KXCHARSET_UTF8, 0);
        if (theirs == kFailed) {
            EXPECT_EQ(ours, "\xEF\xBF\xBD");
        } else {
            ++known;
            EXPECT_EQ(ToHex(ours), ToHex(theirs));
            EXPECT_EQ(ToHex(translate(theirs, KXCHARSET_UTF8, 51, 0)),
                      ToHex(Iconv("UTF-8", "CP932", theirs)));
        }
        const std::string jis = Iconv("SHIFT_JIS", "UTF-8", code);
        if (jis == kFailed || code == "\x5C" || code == "\x7E") continue;
        ++knownJis;
        EXPECT_EQ(ToHex(translate(code, 51, KXCHARSET_UTF8, CSF_SJIS_JIS_MAPPING)), ToHex(jis));
        for (uint32_t mode : {0u, static_cast<uint32_t>(CSF_SJIS_JIS_MAPPING)})
            EXPECT_EQ(ToHex(translate(jis, KXCHARSET_UTF8, 51, mode)), ToHex(code));
    }
    EXPECT_GT(known, 9000u);
    EXPECT_GT(knownJis, 7000u);
}

}  // namespace
