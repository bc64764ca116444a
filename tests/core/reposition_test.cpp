// Moving a handle with layers on: what a layer held at the old position does not
// come out at the new one, and what a writer's layers held reaches the file first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kxfiles.h"
#include "support/layer_io.h"
#include "support/temp_drives.h"

namespace {

using kxtest::Hex;
using kxtest::ToHex;

using Reposition = kxtest::TempDrives;

std::string ReadRest(KXFILE f, uint32_t size) {
    std::string all;
    std::vector<char> buffer(size);
    uint32_t count = 0;
    while (kxFileRead(f, buffer.data(), size, &count) == 1 && count > 0)
        all.append(buffer.data(), count);
    return all;
}

// For each layer stack and each position of the file: reading from that
// position after some reading elsewhere gives what a handle that went there
// straight after opening gives.
TEST_F(Reposition, EverySeekPositionForgetsTheOldPosition) {
    const std::string file = "\tab\tc  \r\n" + Hex("88 9F 41 88 9F") + "\r\n  x\ty\r\n\r\nend   ";
    WriteFile(Posix('C', "in.txt"), file);
    const uint32_t text = TXT_READ_CRLF_ENDS_RECORD | TXT_TABS;
    const struct {
        const char *label;
        kxtest::Layers layers;
    } stacks[] = {
        {"tabs expanded", {text, 8, 0}}, {"Shift-JIS for a host with shifts", {text, 8, 0, 51, 53}},
        {"method 1", {text, 8, 1}},      {"method 2", {0, 8, 2}},
        {"method 4", {text, 8, 4}},      {"record mode over Shift-JIS", {text, 8, 32, 51, 53}},
    };
    for (const auto &stack : stacks) {
        auto open = [&] {
            KXFILE f = kxtest::OpenReading("C:\\in.txt", stack.layers);
            EXPECT_NE(f, nullptr);
            return f;
        };
        for (int32_t position = 0; position <= static_cast<int32_t>(file.size()); ++position) {
            KXFILE fresh = open();
            int32_t at = position;
            ASSERT_EQ(kxFileSetPos(fresh, 0, &at), 0);
            const std::string expected = ReadRest(fresh, 7);
            kxFileClose(fresh);
            for (uint32_t before : {1u, 3u, 5u}) {
                KXFILE f = open();
                char scratch[8];
                uint32_t count = 0;
                ASSERT_EQ(kxFileRead(f, scratch, before, &count), 1);
                at = position;
                ASSERT_EQ(kxFileSetPos(f, 0, &at), 0);
                EXPECT_EQ(ToHex(ReadRest(f, 7)), ToHex(expected))
                    << stack.label << ": to " << position << " after reading " << before;
                kxFileClose(f);
            }
        }
    }
}

// A tab read half: a move to 0 expands it afresh; a move by 0 from the
// current position only asks where the handle is.
TEST_F(Reposition, AHalfExpandedTabStartsAfresh) {
    WriteFile(Posix('C', "in.txt"), "\tX");
    for (int32_t origin : {0, 1}) {
        KXFILE f = kxtest::OpenReading("C:\\in.txt", {TXT_READ_CRLF_ENDS_RECORD | TXT_TABS, 8, 0});
        ASSERT_NE(f, nullptr);
        char two[2];
        uint32_t count = 0;
        ASSERT_EQ(kxFileRead(f, two, 2, &count), 1);
        int32_t at = 0;
        ASSERT_EQ(kxFileSetPos(f, origin, &at), 0);
        EXPECT_EQ(at, origin);
        EXPECT_EQ(ReadRest(f, 64), std::string(origin ? 6 : 8, ' ') + "X") << origin;
        kxFileClose(f);
    }
}

// A writer's held bytes reach the file before the move: collected spaces,
// and a dead key waiting for its letter.
TEST_F(Reposition, WritersKeepWhatTheirLayersHeld) {
    KXFILE f = kxFileCreate(kxtest::Name("C:\\out.txt").text, 1);
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(kxFileSetTranslation(f, TXT_WRITE_RECORD_CRLF | TXT_SPACES_TO_TABS, 8), 0);
    uint32_t count = 0;
    ASSERT_EQ(kxFileWrite(f, "ab   ", 5, &count), 1);
    int32_t at = 0;
    ASSERT_EQ(kxFileSetPos(f, 0, &at), 0);
    ASSERT_EQ(kxFileWrite(f, "X", 1, &count), 1);
    ASSERT_EQ(kxFileClose(f), 1);
    EXPECT_EQ(ReadFile(Posix('C', "out.txt")), "Xb   ");
}

}  // namespace
