// The OEM/ANSI step: bytes of the OEM code page (437 unless KXFILES_OEMCP
// names another) converted to the ANSI code page (1252 unless KXFILES_ACP
// names another) and back, through the library's own maps.
#include <gtest/gtest.h>

#include <cstdlib>

#include "charset/map_sources.h"
#include "charset/xlat.h"
#include "kxfiles.h"

namespace {

using kx::charset::MapByteOemAnsi;

uint8_t ToAnsi(uint8_t byte) {
    return MapByteOemAnsi(byte, nullptr, CSF_OEM_TO_ANSI);
}
uint8_t ToOem(uint8_t byte) {
    return MapByteOemAnsi(byte, nullptr, CSF_ANSI_TO_OEM);
}

class OemAnsi : public ::testing::Test {
protected:
    void SetUp() override {
        ::unsetenv("KXFILES_OEMCP");
        ::unsetenv("KXFILES_ACP");
    }
    void TearDown() override { SetUp(); }
};

TEST_F(OemAnsi, CodePagesMapToTheirSets) {
    const std::pair<uint32_t, uint16_t> pages[] = {{437, 31},   {850, 32},  {866, 67},  {737, 65},
                                                   {1250, 24},  {1252, 26}, {1255, 29}, {28591, 15},
                                                   {28595, 19}, {819, 15}};
    for (auto [page, set] : pages) EXPECT_EQ(kx::charset::CharsetForCodePage(page), set) << page;
    for (uint32_t page : {0u, 932u, 1256u, 65001u})
        EXPECT_EQ(kx::charset::CharsetForCodePage(page), 0) << page;
}

TEST_F(OemAnsi, EveryOemCharacterThatAnsiHoldsKeepsItsCharacter) {
    auto oem = kxtest::MapOf(31);
    auto ansi = kxtest::MapOf(26);
    for (int b = 0; b < 256; ++b) {
        if (b < 0x20 || b == 0x7F) {  // controls pass unchanged
            EXPECT_EQ(ToAnsi(static_cast<uint8_t>(b)), b) << "control " << b;
            continue;
        }
        for (int a = 0; a < 256; ++a) {
            if (ansi[a] != oem[b]) continue;
            EXPECT_EQ(ToAnsi(static_cast<uint8_t>(b)), oem[b] == 0x20 ? 0x20 : a) << b;
            break;
        }
    }
}

// What the maps leave open: approximations and the default towards ANSI
// (the characters both hold are checked code by code above), both ways back;
// the no-break space, which 437 lacks, as a space.
TEST_F(OemAnsi, DefaultCodePages) {
    const std::pair<uint8_t, uint8_t> toAnsi[] = {
        {0xC4, '-'}, {0xC9, '+'}, {0x9E, 'P'}, {0xE0, '?'}};
    for (auto [oem, ansi] : toAnsi) EXPECT_EQ(ToAnsi(oem), ansi) << int(oem);
    const std::pair<uint8_t, uint8_t> toOem[] = {{0xC4, 0x8E}, {0xE9, 0x82}, {0xC0, 'A'},
                                                 {0x93, '"'},  {0x99, 'T'},  {0x80, '?'},
                                                 {0x1B, 0x1B}, {0x7F, 0x7F}, {0xA0, 0x20}};
    for (auto [ansi, oem] : toOem) EXPECT_EQ(ToOem(ansi), oem) << int(ansi);
}

TEST_F(OemAnsi, TheEnvironmentNamesOtherCodePages) {
    ::setenv("KXFILES_OEMCP", "850", 1);
    EXPECT_EQ(ToAnsi(0xB5), 0xC1);  // A acute
    EXPECT_EQ(ToOem(0xC1), 0xB5);
    ::setenv("KXFILES_ACP", "1251", 1);
    EXPECT_EQ(ToAnsi(0x8E), 'A');  // A umlaut, which 1251 lacks
    ::setenv("KXFILES_OEMCP", "866", 1);
    EXPECT_EQ(ToAnsi(0x80), 0xC0);  // Cyrillic A
    // A code page without a map leaves the bytes as they are.
    ::setenv("KXFILES_OEMCP", "932", 1);
    for (int b = 0; b < 256; ++b) ASSERT_EQ(ToAnsi(static_cast<uint8_t>(b)), b);
}

TEST_F(OemAnsi, OrderOfTheSteps) {
    uint8_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = static_cast<uint8_t>(255 - i);
    // OEM to ANSI first, then the table; ANSI to OEM is then disregarded.
    EXPECT_EQ(MapByteOemAnsi(0x8E, table, CSF_OEM_TO_ANSI), 255 - 0xC4);
    EXPECT_EQ(MapByteOemAnsi(0x8E, table, CSF_OEM_TO_ANSI | CSF_ANSI_TO_OEM), 255 - 0xC4);
    EXPECT_EQ(MapByteOemAnsi(0x8E, nullptr, CSF_OEM_TO_ANSI | CSF_ANSI_TO_OEM), 0xC4);
    // The table first, then ANSI to OEM.
    EXPECT_EQ(MapByteOemAnsi(255 - 0xC4, table, CSF_ANSI_TO_OEM), 0x8E);
    // Neither: the table alone, or the byte itself.
    EXPECT_EQ(MapByteOemAnsi(0x10, table, CSF_TRANSLATE), 0xEF);
    EXPECT_EQ(MapByteOemAnsi(0x8E, nullptr, 0), 0x8E);
}

}  // namespace
