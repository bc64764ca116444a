// Random bytes through the double-byte side of the character-set layer:
// written from every host set, read from Shift-JIS for every host set, over
// the text layer and in memory with destinations of every small size. Nothing
// may crash or write past its buffer (the sanitizer build watches), and a
// host text read to its end is left in single-byte state.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "charset/charset_fixture.h"
#include "charset/charset_layer.h"
#include "kxfiles.h"

namespace {

const uint16_t kHostSets[] = {51, 52, 53, 54, 55, 56, 57, 59, 60, 61, 62, 73, 77};
const uint32_t kOptionSets[] = {CSF_TRANSLATE, CSF_TRANSLATE | CSF_KANA_TO_FULL,
                                CSF_TRANSLATE | CSF_KANA_TO_HALF,
                                CSF_TRANSLATE | CSF_DETECT_JAPANESE, CSF_KANA_TO_HALF};

// Random bytes, rich in the bytes that matter here: ESC and what follows it,
// the EUC single shifts, katakana marks, line ends and NULs.
std::string RandomBytes(std::mt19937 &random, size_t length) {
    static const uint8_t kSpecial[] = {0x1B, '$',  '(',  'B',  'J',  'I',  '@',  'D',
                                       'K',  'H',  '}',  '|',  0x8E, 0x8F, 0xDE, 0xDF,
                                       0x0D, 0x0A, 0x00, 0x88, 0x9F, 0xB1};
    std::string bytes;
    std::uniform_int_distribution<int> any(0, 255), pick(0, sizeof kSpecial - 1), coin(0, 3);
    for (size_t i = 0; i < length; ++i)
        bytes += static_cast<char>(coin(random) == 0 ? kSpecial[pick(random)] : any(random));
    return bytes;
}

class JapaneseBadInput : public kxtest::CharsetFixture {};

TEST_F(JapaneseBadInput, RandomBytesWrittenFromEveryHostSet) {
    std::mt19937 random(20261206);
    for (uint16_t set : kHostSets)
        for (uint32_t options : kOptionSets)
            for (uint16_t to : {uint16_t{51}, uint16_t{59}, uint16_t{62}}) {
                const std::string data = RandomBytes(random, 3000);
                EXPECT_NE(Written(data, {set, to, options, 0}, {}, {1, 7, 4096}), "<failed>")
                    << set;
                EXPECT_NE(Written(data, {set, to, options, 0}, {TXT_WRITE_RECORD_CRLF, 8, 0}),
                          "<failed>")
                    << set;
            }
}

TEST_F(JapaneseBadInput, RandomShiftJisReadForEveryHostSet) {
    std::mt19937 random(6);
    for (uint16_t set : kHostSets)
        for (uint32_t options : kOptionSets) {
            const std::string data = RandomBytes(random, 3000);
            KXFILE f = Open(&data, {51, set, options, 0});
            ASSERT_NE(f, nullptr);
            std::string text;
            EXPECT_TRUE(kxtest::ReadAll(f, {1, 5, 4096}, text));
            EXPECT_EQ(f->charset->shiftState, 0)
                << "host text left shifted: " << set << " " << options;
            kxFileClose(f);
            EXPECT_NE(Read(data, {51, set, options, 0}, {TXT_READ_CRLF_ENDS_RECORD, 8, 0}),
                      "<failed>");
        }
}

TEST_F(JapaneseBadInput, RandomBytesInMemoryNeverPassTheDestination) {
    std::mt19937 random(77);
    for (uint16_t set : kHostSets)
        for (uint32_t options : kOptionSets)
            for (int32_t size = 0; size <= 24; ++size) {
                std::string source = RandomBytes(random, 40);
                for (int way = 0; way < 2; ++way) {
                    std::vector<uint8_t> out(static_cast<size_t>(size) + 8, 0xEE);
                    uint16_t from = way == 0 ? 51 : set, to = way == 0 ? set : 51;
                    ASSERT_EQ(kxFileTranslateBufferExt(reinterpret_cast<uint8_t *>(source.data()),
                                                       static_cast<int32_t>(source.size()),
                                                       out.data(), size, from, to, options, 0),
                              0);
                    for (size_t i = static_cast<size_t>(size); i < out.size(); ++i)
                        ASSERT_EQ(out[i], 0xEE) << from << " " << to << " size " << size;
                    if (size > 0) {
                        bool terminated = false;
                        for (int32_t i = 0; i < size; ++i)
                            terminated |= out[static_cast<size_t>(i)] == 0;
                        ASSERT_TRUE(terminated);
                    }
                }
            }
}

}  // namespace
