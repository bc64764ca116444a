// Japanese text through the character-set layer checked against glibc's
// iconv(3): every JIS X 0208 character that Shift-JIS encodes, read for a JIS
// host and for an EUC host and written back; half-width katakana, as they
// are and widened; detection on texts that iconv wrote.
#include <gtest/gtest.h>
#include <iconv.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "charset/charset_fixture.h"
#include "charset/charset_layer.h"
#include "kxfiles.h"

namespace {

using namespace kxtest;

const std::string kFailed = "<iconv failed>";

// `input` converted whole by iconv, or kFailed.
std::string Iconv(const char *from, const char *to, const std::string &input) {
    iconv_t converter = iconv_open(to, from);
    if (converter == reinterpret_cast<iconv_t>(-1)) return kFailed;
    std::string out(input.size() * 4 + 16, '\0');
    char *in = const_cast<char *>(input.data());
    size_t inLeft = input.size();
    char *to_ = out.data();
    size_t outLeft = out.size();
    bool ok = iconv(converter, &in, &inLeft, &to_, &outLeft) != static_cast<size_t>(-1) &&
              iconv(converter, nullptr, nullptr, &to_, &outLeft) != static_cast<size_t>(-1);
    iconv_close(converter);
    if (!ok) return kFailed;
    out.resize(out.size() - outLeft);
    return out;
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
    for (; differ < euc.size() && euc[differ] == theirs[differ]; ++differ) {}
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
        EXPECT_TRUE(Iconv("ISO-2022-JP", "UTF-8", Read(source, {51, 53, kFull, 0})) == expected) << half;
        ++checked;
    }
    EXPECT_EQ(checked, 89);
}

TEST(JapaneseDetection, TextsWrittenByIconv) {
    const std::string sample =
        "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83\x88"
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
    auto translate = [](std::string in, uint16_t from, uint16_t to, uint32_t options) {
        char out[32] = {};
        kxFileTranslateBufferExt(reinterpret_cast<uint8_t *>(in.data()), static_cast<int32_t>(in.size()),
                                 reinterpret_cast<uint8_t *>(out), sizeof out, from, to, CSF_TRANSLATE | options, 0);
        return std::string(out);
    };
    std::vector<std::string> codes;
    for (unsigned b = 0x01; b <= 0xFF; ++b)
        if (!((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC))) codes.push_back(std::string(1, static_cast<char>(b)));
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
            EXPECT_EQ(ToHex(translate(theirs, KXCHARSET_UTF8, 51, 0)), ToHex(Iconv("UTF-8", "CP932", theirs)));
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
