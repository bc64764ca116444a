// Transfers that run out of memory or of disk, for each stack of layers a
// transfer uses: every allocation of either side fails in turn, and the writing
// side gets every disk budget. The call that meets the fault reports 10 or 12,
// the descriptor goes with kxFileClose, and what got through is a beginning of
// what a transfer without faults gives (leaks show under the sanitizer build).
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "kxfiles.h"
#include "platform/test_hooks.h"
#include "support/temp_drives.h"

namespace {

using kxtest::OpenDescriptors;

struct Charset {
    uint16_t from = 0, to = 0;
    uint32_t options = 0, variant = 0;
};

struct Side {
    uint32_t text = 0;
    Charset charset;
    uint32_t method = 0;
};

struct Stack {
    const char *name;
    Side reading, writing;
};

constexpr uint32_t kReadText = TXT_READ_CRLF_ENDS_RECORD | TXT_TABS;
constexpr uint32_t kWriteText = TXT_WRITE_RECORD_CRLF | TXT_SPACES_TO_TABS;

const Stack kStacks[] = {
    {"text", {kReadText, {}, 0}, {kWriteText, {}, 0}},
    {"single-byte set",
     {kReadText, {31, 15, CSF_TRANSLATE, 0}, 0},
     {kWriteText, {15, 31, CSF_TRANSLATE, 0}, 0}},
    {"national variant",
     {kReadText, {31, 15, CSF_TRANSLATE | CSF_NATIONAL_TARGET, 3}, 0},
     {kWriteText, {15, 31, CSF_TRANSLATE | CSF_NATIONAL_SOURCE, 3}, 0}},
    {"7-bit JIS host",
     {kReadText, {51, 53, CSF_TRANSLATE, 0}, 0},
     {kWriteText, {53, 51, CSF_TRANSLATE, 0}, 0}},
    {"EUC host",
     {kReadText, {51, 57, CSF_TRANSLATE, 0}, 0},
     {kWriteText, {57, 51, CSF_TRANSLATE, 0}, 0}},
    {"locking-shift host",
     {kReadText, {51, 55, CSF_TRANSLATE | CSF_KANA_TO_FULL, 0}, 0},
     {kWriteText, {55, 51, CSF_TRANSLATE, 0}, 0}},
    {"method 1", {0, {}, 1}, {0, {}, 1}},
    {"method 2", {0, {}, 2}, {0, {}, 2}},
    {"method 4", {0, {}, 4}, {0, {}, 4}},
    {"method 8", {0, {}, 8}, {0, {}, 8}},
    {"record mode", {kReadText, {}, 32}, {kWriteText, {}, 32}},
    {"text, JIS host, method 4",
     {kReadText, {51, 53, CSF_TRANSLATE, 0}, 4},
     {kWriteText, {53, 51, CSF_TRANSLATE, 0}, 4}},
    {"text, single-byte set, record mode",
     {kReadText, {31, 15, CSF_TRANSLATE, 0}, 32},
     {kWriteText, {15, 31, CSF_TRANSLATE, 0}, 32}},
    {"text, EUC host, method 8",
     {kReadText, {51, 57, CSF_TRANSLATE, 0}, 8},
     {kWriteText, {57, 51, CSF_TRANSLATE, 0}, 8}},
};

void PrintTo(const Stack &stack, std::ostream *out) {
    *out << stack.name;
}

// A PC text of a little over one stream buffer: lines of words with tabs and
// runs of spaces, code page 437 letters, Shift-JIS kanji and half-width
// katakana.
std::string Source() {
    const std::string lines[] = {
        "Quarterly report\tpage 1",
        "caf\x82   \x9c 12.50        total",
        "A\x88\x9f\x88\xa0 B \xb1\xb2\xb3 kana",
        "\x82\xa0\x82\xa2\x82\xa4 hiragana\t\tend",
        "",
    };
    std::string text;
    for (int i = 0; text.size() < 4600; ++i)
        text += lines[i % 5] + " " + std::to_string(i) + "\r\n";
    return text;
}

// How one attempt went: the bytes that got through, and the error of the call
// that failed (0 when none did).
struct Attempt {
    std::string bytes;
    int32_t error = 0;
    const char *failedCall = "";
};

class TransferFaults : public kxtest::TempDrives, public testing::WithParamInterface<Stack> {
protected:
    // Records the failure of `call`; false.
    static bool Fail(Attempt &attempt, const char *call) {
        attempt.error = kxFileErrorVal();
        attempt.failedCall = call;
        return false;
    }

    // Switches on the layers of one side; false after recording the failing call.
    static bool SwitchOn(KXFILE file, const Side &side, Attempt &attempt) {
        const Charset &c = side.charset;
        int32_t code = 0;
        if (side.text != 0 && (code = kxFileSetTranslation(file, side.text, 8)) != 0) {
            Fail(attempt, "kxFileSetTranslation");
        } else if (c.from != 0 &&
                   (code = kxFileSetCharsetFlags(file, c.from, c.to, c.options, c.variant)) != 0) {
            Fail(attempt, "kxFileSetCharsetFlags");
        } else if (side.method != 0 && (code = kxFileSetCompression(file, side.method)) != 0) {
            Fail(attempt, "kxFileSetCompression");
        }
        EXPECT_EQ(code, attempt.error) << attempt.failedCall;
        return code == 0;
    }

    // C:\in.txt read through the reading side, in reads of 3000 bytes.
    Attempt Read(const Side &side) {
        Attempt attempt;
        KXFILE file = kxFileOpen(kxtest::Name("C:\\in.txt").text, 0);
        if (file == nullptr) {
            Fail(attempt, "kxFileOpen");
            return attempt;
        }
        std::string buffer(3000, '\0');
        uint32_t got = SwitchOn(file, side, attempt) ? 1 : 0;
        while (got != 0 &&
               (kxFileRead(file, &buffer[0], 3000, &got) || Fail(attempt, "kxFileRead")))
            attempt.bytes.append(buffer, 0, got);
        EXPECT_EQ(kxFileClose(file), 1);  // a reading handle has nothing to flush
        return attempt;
    }

    // `data` written through the writing side to a new C:\out.txt in pieces
    // of 1000 bytes (record mode: at once, as it takes whole records); the
    // file afterwards in `bytes`. (Replacing a file's contents would make the
    // file system write it out at every close, which would take minutes.)
    Attempt Write(const Side &side, const std::string &data) {
        Attempt attempt;
        std::filesystem::remove(Posix('C', "out.txt"));
        KXFILE file = kxFileCreate(kxtest::Name("C:\\out.txt").text, 1);
        if (file == nullptr) {
            Fail(attempt, "kxFileCreate");
            return attempt;
        }
        const size_t piece = side.method == 32 ? data.size() : 1000;
        bool ok = SwitchOn(file, side, attempt);
        for (size_t at = 0; ok && at < data.size(); at += piece) {
            uint32_t put = 0;
            ok = kxFileWrite(file, data.data() + at,
                             static_cast<uint32_t>(std::min(piece, data.size() - at)), &put) ||
                 Fail(attempt, "kxFileWrite");
        }
        if (kxFileClose(file) != 1 && attempt.error == 0) Fail(attempt, "kxFileClose");
        attempt.bytes = ReadFile(Posix('C', "out.txt"));
        return attempt;
    }

    static bool Begins(const std::string &whole, const std::string &start) {
        return whole.compare(0, start.size(), start) == 0 && start.size() <= whole.size();
    }

    // Fails allocation 1, 2, ... of `run` until a run needs fewer allocations
    // than the one failed; each failing run must report error 10 and give a
    // beginning of `expected`.
    template <typename Run>
    void EveryAllocationFails(const char *side, const std::string &expected, Run run) {
        const int descriptors = OpenDescriptors();
        uint64_t failed = 0;
        for (uint64_t n = 1; n < 1000; ++n) {
            kx::os::testing::FailAllocation(n);
            const Attempt attempt = run();
            const uint64_t made = kx::os::testing::FailAllocation(0);
            SCOPED_TRACE(testing::Message() << side << ", allocation " << n << " of " << made);
            EXPECT_EQ(OpenDescriptors(), descriptors);
            if (made < n) {  // nothing failed: every allocation has had its turn
                EXPECT_EQ(attempt.error, 0) << attempt.failedCall;
                EXPECT_TRUE(attempt.bytes == expected);
                EXPECT_GT(failed, 0u);
                return;
            }
            ++failed;
            EXPECT_EQ(attempt.error, 10) << attempt.failedCall;
            EXPECT_TRUE(Begins(expected, attempt.bytes)) << attempt.failedCall;
            if (HasFailure()) return;
        }
        ADD_FAILURE() << side << ": still allocating after 1000 allocations";
    }
};

TEST_P(TransferFaults, EveryAllocationAndEveryDiskBudget) {
    const std::string source = Source();
    WriteFile(Posix('C', "in.txt"), source);
    {
        const Stack &stack = GetParam();
        const Attempt packed = Read(stack.reading);
        ASSERT_EQ(packed.error, 0) << packed.failedCall;
        const Attempt output = Write(stack.writing, packed.bytes);
        ASSERT_EQ(output.error, 0) << output.failedCall;
        ASSERT_GT(output.bytes.size(), 4096u);  // more than one buffer reaches the disk

        EveryAllocationFails("reading", packed.bytes, [&] { return Read(stack.reading); });
        EveryAllocationFails("writing", output.bytes,
                             [&] { return Write(stack.writing, packed.bytes); });

        const int descriptors = OpenDescriptors();
        for (size_t budget = 0; budget <= output.bytes.size(); ++budget) {
            kx::os::testing::SetDiskSpace(static_cast<int64_t>(budget));
            const Attempt attempt = Write(stack.writing, packed.bytes);
            kx::os::testing::SetDiskSpace(-1);
            SCOPED_TRACE(testing::Message() << "disk budget " << budget);
            if (budget < output.bytes.size()) {
                ASSERT_EQ(attempt.error, 12) << attempt.failedCall;
            } else {
                ASSERT_EQ(attempt.error, 0) << attempt.failedCall;
            }
            // The disk took exactly what it had room for, in order.
            ASSERT_EQ(attempt.bytes.size(), budget);
            ASSERT_TRUE(Begins(output.bytes, attempt.bytes));
            ASSERT_EQ(OpenDescriptors(), descriptors);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EachStack, TransferFaults, testing::ValuesIn(kStacks),
                         [](const testing::TestParamInfo<Stack> &info) {
                             std::string name;
                             for (const char *c = info.param.name; *c != '\0'; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                             return name;
                         });

}  // namespace
