// Names for display: the 8.3-form rule and name case, underscores and spaces,
// and paths shortened with "..." to fit a window.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "kxfiles.h"
#include "names/names.h"

namespace {

TEST(ShortForm, ShapeOnly) {
    struct Case {
        const char *name;
        bool shortForm;
    } cases[] = {
        {"", true},
        {"README.TXT", true},
        {"ABCDEFGH.TXT", true},
        {"ABCDEFGHI.TXT", false},
        {"A.TXTX", false},
        {"data.", true},
        {".profile", false},
        {"Read Me.txt", false},
        {"archive.tar.gz", false},
        {"a\\b.c", true},
        {"*?<>.|", true},
        {"ABCDEFGHI", false},
    };
    for (const Case &c : cases) EXPECT_EQ(kx::IsShortForm(c.name), c.shortForm) << c.name;
}

TEST(NameCase, OnlyNamesOfShortFormChange) {
    struct Case {
        const char *name;
        int32_t mode;
        const char *expected;
    } cases[] = {
        {"README.TXT", 0, "readme.txt"},   {"readme.txt", 1, "README.TXT"},
        {"README.TXT", 2, "README.TXT"},   {"ReadMe.Txt", 7, "ReadMe.Txt"},
        {"Read Me.txt", 0, "Read Me.txt"}, {"archive.tar.gz", 1, "archive.tar.gz"},
        {"CAF\xC9.TXT", 0, "caf\xE9.txt"},  // the ANSI code page
    };
    for (const Case &c : cases) {
        char name[32];
        std::strcpy(name, c.name);
        EXPECT_EQ(kxFileNormalizeFilenameCase(name, c.mode), name);
        EXPECT_STREQ(name, c.expected) << c.name << " mode " << c.mode;
    }
    EXPECT_EQ(kxFileNormalizeFilenameCase(nullptr, 0), nullptr);
}

TEST(NameCase, UnderscoresAndSpaces) {
    char text[] = "my_long file_name";
    EXPECT_EQ(kxFileUnderscoresToSpaces(text), text);
    EXPECT_STREQ(text, "my long file name");
    EXPECT_EQ(kxFileSpacesToUnderscores(text), text);
    EXPECT_STREQ(text, "my_long_file_name");
    EXPECT_EQ(kxFileSpacesToUnderscores(nullptr), nullptr);
    EXPECT_EQ(kxFileUnderscoresToSpaces(nullptr), nullptr);
}

// A window whose text is one unit per byte, or `*unit` per byte when given.
KXTEXTWINDOW Window(int32_t width, int32_t *unit = nullptr) {
    auto measure = [](void *context, const char *, int32_t length) {
        return length * *static_cast<int32_t *>(context);
    };
    return {width, unit != nullptr ? +measure : nullptr, unit};
}

TEST(TruncateName, ToTheWindowsWidth) {
    const struct {
        const char *path;
        int32_t width, keep, result;
        const char *expected;
    } cases[] = {
        {"C:\\one\\two\\three\\file.txt", 40, 0, 1, "C:\\one\\two\\three\\file.txt"},  // fits
        {"C:\\one\\two\\three\\file.txt", 24, 0, 1, "C:\\one\\two\\three\\fil..."},
        {"C:\\one\\two\\three\\file.txt", 20, 1, 1, "C:\\one\\...\\file.txt"},
        {"C:\\one\\two\\three\\file.txt", 15, 1, 1, "C:\\...\\file.txt"},
        {"C:\\one\\two\\three\\file.txt", 12, 1, 1, "C:\\...\\f..."},  // then cut from the end
        {"C:\\one\\two\\three\\file.txt", 0, 1, 1, "C:..."},           // too narrow for anything
        {"C:\\one\\two\\three\\file.txt", 0, 0, 1, "C:..."},
        {"longfilename.txt", 10, 1, 1, "longfi..."},         // no backslash: cut from the end
        {"C:\\longfilename.txt\\", 10, 1, 1, "C:\\lon..."},  // a final backslash is passed over
        {"C:\\ab\\file.txt", 10, 1, 1, "C:\\ab\\..."},       // a cut of 2 would lengthen it
        {"C:\\a", 2, 0, 1, "C:\\a"},                         // "C:..." would be longer
        {"C:\\", 1, 0, 0, "C:\\"},                           // 3 characters: nothing done
    };
    for (const auto &c : cases) {
        char path[64];
        std::strcpy(path, c.path);
        KXTEXTWINDOW window = Window(c.width);
        EXPECT_EQ(kxFileTruncateName(path, nullptr, &window, c.keep), c.result)
            << c.path << " " << c.width;
        EXPECT_STREQ(path, c.expected) << c.path << " " << c.width << " keep " << c.keep;
        EXPECT_LE(std::strlen(path), std::strlen(c.path));  // never grows
    }
}

TEST(TruncateName, WithinAWholeTextAndInOtherUnits) {
    char text[80] = "Receiving C:\\one\\two\\three\\file.txt";
    char *path = text + 10;
    KXTEXTWINDOW window = Window(20), narrow = Window(0);
    EXPECT_EQ(kxFileTruncateName(path, text, &window, 0), 1);
    EXPECT_STREQ(text, "Receiving C:\\one...");
    EXPECT_EQ(kxFileTruncateName(path, text, &narrow, 0), 1);
    EXPECT_STREQ(text, "Receiving C:...");  // never into the word Receiving

    char wide[64] = "C:\\one\\two\\three\\file.txt";
    int32_t unit = 3;  // 3 units a character: 20 characters fit
    KXTEXTWINDOW measured = Window(60, &unit);
    EXPECT_EQ(kxFileTruncateName(wide, nullptr, &measured, 1), 1);
    EXPECT_STREQ(wide, "C:\\one\\...\\file.txt");

    char untouched[] = "C:\\dir\\file";
    EXPECT_EQ(kxFileTruncateName(untouched, nullptr, nullptr, 0), 0);
    EXPECT_EQ(kxFileTruncateName(nullptr, nullptr, &window, 0), 0);
    EXPECT_STREQ(untouched, "C:\\dir\\file");
}

}  // namespace
