// Names for received files: host names made local on long-name and 8.3
// volumes, and numbered names that do not exist yet.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "kxfiles.h"
#include "support/temp_drives.h"

namespace {

class TransferNames : public kxtest::TempDrives {
protected:
    // The local name, or "error N".
    static std::string Local(const char *host, uint32_t flags = 0) {
        char hostName[300];
        std::strcpy(hostName, host);
        char out[260];
        kxFileErrorClear();
        if (!kxFileMakeLocalName2(hostName, out, flags))
            return "error " + std::to_string(kxFileErrorVal());
        return out;
    }
    // The new name with its result and error: "1 name", "0 name (error N)".
    static std::string New(const std::string &host) {
        char out[260] = "";
        kxFileErrorClear();
        int32_t result = kxFileMakeNewName(host.c_str(), out);
        std::string text = std::to_string(result) + " " + out;
        if (!result) text += " (error " + std::to_string(kxFileErrorVal()) + ")";
        return text;
    }
};

TEST_F(TransferNames, LocalNamesOnALongNameVolume) {
    const std::string limit253(253, 'x');
    struct Case {
        std::string host;
        std::string expected;
    } cases[] = {
        {"C:my file?.txt", "C:my file.txt"},
        {"my file?.txt", "my file.txt"},
        {"/usr/src/main.c", "usrsrcmain.c"},  // slashes are dropped, not separators
        {"C:\\in\\REPORT.LIS", "C:\\in\\REPORT.LIS"},
        {"Quarterly Report.doc", "Quarterly Report.doc"},
        {"archive.tar.gz", "archive.tar.gz"},
        {"[dir]file.txt;1", "dirfile.txt1"},
        {"???", "error 5"},
        {std::string(258, 'x'), limit253},  // at most limit - 2 characters survive
    };
    for (const Case &c : cases) EXPECT_EQ(Local(c.host.c_str()), c.expected) << c.host;
}

TEST_F(TransferNames, LocalNamesOnAnEightThreeVolume) {
    KXTEST_NEEDS_SHORT_NAME_VOLUME();
    struct Case {
        const char *host;
        uint32_t flags;
        const char *expected;
    } cases[] = {
        {"A:Quarterly Report.doc", 0, "A:Quarterl.doc"},
        {"Quarterly Report.doc", LOCAL_NAME_FORCE_83, "Quarterl.doc"},
        {"A:FILE.TXT;3", 0, "A:FILE.TXT"},
        {"A:.profile", 0, "A:profile"},
        {"A:data.", 0, "A:data."},
        {"A:archive.tar.gz", 0, "A:archivet.gz"},
        {"A:archive.tar.gz", LOCAL_NAME_DROP_LAST_EXT, "A:archive.tar"},
        {"A:my.tar.gz/x", LOCAL_NAME_DROP_LAST_EXT, "A:mytar.gzx"},  // a '/' keeps the name whole
        {"A:\\in\\REPORT.LISTING", 0, "A:\\in\\REPORT.LIS"},
        {"A:???", 0, "error 5"},
        {"A:   ", 0, "error 5"},
        {"A:MixedCase.Txt", 0, "A:MixedCas.Txt"},  // case is never changed
    };
    for (const Case &c : cases) EXPECT_EQ(Local(c.host, c.flags), c.expected) << c.host;

    // The flag shortens the caller's host name in place; the 8.3 route only.
    char host[260] = "A:archive.tar.gz";
    char out[260];
    ASSERT_EQ(kxFileMakeLocalName2(host, out, LOCAL_NAME_DROP_LAST_EXT), 1);
    EXPECT_STREQ(host, "A:archive.tar");
    std::strcpy(host, "C:archive.tar.gz");
    ASSERT_EQ(kxFileMakeLocalName2(host, out, LOCAL_NAME_DROP_LAST_EXT), 1);
    EXPECT_STREQ(host, "C:archive.tar.gz");
    EXPECT_STREQ(out, "C:archive.tar.gz");
}

// Host names of 260 characters and more: BadFileSystemInput.EmptyAndOverLongNames.
TEST_F(TransferNames, LocalNameRefusals) {
    char out[260];
    for (auto [host, into] : {std::pair<const char *, char *>{nullptr, out}, {"name", nullptr}}) {
        kxFileErrorClear();
        EXPECT_EQ(kxFileMakeLocalName(host, into), 0);
        EXPECT_EQ(kxFileErrorVal(), 5);
    }
}

TEST_F(TransferNames, NumberedNamesOnALongNameVolume) {
    EXPECT_EQ(New("C:\\Long Report.txt"), "0 C:\\Long Report.txt (error 5)");  // free already
    WriteFile(Posix('C', "Long Report.txt"), "");
    EXPECT_EQ(New("C:\\Long Report.txt"), "1 C:\\Long Report000.txt");
    WriteFile(Posix('C', "Long Report000.txt"), "");
    EXPECT_EQ(New("C:\\Long Report.txt"), "1 C:\\Long Report001.txt");
    for (int n = 1; n <= 999; ++n) {
        char name[64];
        std::snprintf(name, sizeof name, "Long Report%03d.txt", n);
        WriteFile(Posix('C', name), "");
    }
    EXPECT_EQ(New("C:\\Long Report.txt"), "0 C:\\Long Report999.txt (error 2)");
}

TEST_F(TransferNames, NumberedNamesInEightThreeStyle) {
    struct Case {
        const char *name;
        std::vector<std::pair<int, const char *>> numbers;  // (n, candidate) after 0..n-1 are taken
    } cases[] = {
        {"REPORT.TXT",
         {{0, "REPORT00.TXT"},
          {9, "REPORT09.TXT"},
          {10, "REPORT10.TXT"},
          {99, "REPORT99.TXT"},
          {100, "REPOR100.TXT"}}},
        {"ABCDE.TXT", {{0, "ABCDE000.TXT"}}},
        {"ABCDEFG.T", {{0, "ABCDEFG0.T"}, {42, "ABCDEF42.T"}, {123, "ABCDE123.T"}}},
        {"LONGNAME.TXT", {{0, "LONGNAM0.TXT"}, {42, "LONGNA42.TXT"}, {123, "LONGN123.TXT"}}},
        {"README", {{0, "README00"}}},
    };
    for (const Case &c : cases) {
        std::filesystem::remove_all(Posix('C', "n"));
        std::filesystem::create_directories(Posix('C', "n"));
        WriteFile(Posix('C', std::string("n/") + c.name), "");
        int taken = 0;
        for (const auto &[n, expected] : c.numbers) {
            // Take every number below n by creating the expected names' predecessors.
            for (; taken < n; ++taken) {
                char out[260];
                ASSERT_EQ(kxFileMakeNewName((std::string("C:\\n\\") + c.name).c_str(), out), 1);
                WriteFile(Posix('C', std::string("n/") + (out + 5)), "");
            }
            EXPECT_EQ(New(std::string("C:\\n\\") + c.name), std::string("1 C:\\n\\") + expected)
                << c.name;
        }
    }
}

TEST_F(TransferNames, EightThreeNumbersRunOutAtREPOR999) {
    WriteFile(Posix('C', "REPORT.TXT"), "");
    char name[16];
    for (int n = 0; n < 999; ++n) {
        std::snprintf(name, sizeof name, n < 100 ? "REPORT%02d.TXT" : "REPOR%03d.TXT", n);
        WriteFile(Posix('C', name), "");
    }
    EXPECT_EQ(New("C:\\REPORT.TXT"), "1 C:\\REPOR999.TXT");
    WriteFile(Posix('C', "REPOR999.TXT"), "");
    EXPECT_EQ(New("C:\\REPORT.TXT"), "0 C:\\REPOR999.TXT (error 2)");
}

TEST_F(TransferNames, NumberedNamesOnTheShortNameVolume) {
    KXTEST_NEEDS_SHORT_NAME_VOLUME();
    WriteFile(Posix('A', "Quarterl.doc"), "");
    EXPECT_EQ(New("A:Quarterly Report.doc"), "1 A:Quarter0.doc");
    WriteFile(Posix('C', ".profile"), "");
    EXPECT_EQ(New("C:.profile"),
              "1 C:.profile000");  // a leading dot only: a base without extension
}

TEST_F(TransferNames, NumberedNamesNearTheLengthLimit) {
    // A directory of 245 characters: 14 are left for a name.
    std::string directory = "C:\\";
    std::string posix;
    while (directory.size() < 240) {
        directory += "dddddddddd\\";
        posix += "dddddddddd/";
    }
    ASSERT_EQ(directory.size(), 245u);
    std::filesystem::create_directories(Posix('C', posix));
    std::string name(10, 'f');
    WriteFile(Posix('C', posix + name), "");
    EXPECT_EQ(New(directory + name), "1 " + directory + name + "000");  // 258 characters
    // The candidate's 14 characters would make the name 259 long, which the
    // name rules refuse (the full name needs its separator's room): 18.
    std::string longer(13, 'g');
    WriteFile(Posix('C', posix + longer), "");
    EXPECT_EQ(New(directory + longer), "0 " + directory + longer + "0 (error 18)");

    // In 8.3 style the candidate keeps its 8 characters and may not fit.
    directory += "dddddd\\";
    posix += "dddddd/";
    std::filesystem::create_directories(Posix('C', posix));
    WriteFile(Posix('C', posix + "AB.TXT"), "");
    EXPECT_EQ(New(directory + "AB.TXT"), "0 " + directory + "AB.TXT (error 18)");
}

TEST_F(TransferNames, MakeName) {
    char out[260];
    std::memset(out, 'x', sizeof out);
    std::string tooLong(300, 'a');
    EXPECT_EQ(kxFileMakeName(tooLong.c_str(), out), 0);
    EXPECT_EQ(std::string(out, sizeof out), std::string(sizeof out, '\0'));
    kxFileErrorClear();
    EXPECT_EQ(kxFileMakeName("C:\\report.txt", out), 1);
    EXPECT_STREQ(out, "C:\\report.txt");
    if (IsShortNameVolume()) {
        EXPECT_EQ(kxFileMakeName("A:\\toolongname.txt", out), 0);
        EXPECT_STREQ(out, "A:\\toolongname.txt");
    }
    EXPECT_EQ(kxFileMakeName("C:\\nowhere\\x.txt", out), 0);
    EXPECT_EQ(kxFileErrorVal(), 0);  // records no error
    EXPECT_EQ(kxFileMakeName("x", nullptr), 0);
}

}  // namespace
