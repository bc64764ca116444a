// The same library calls on every build, one line of outcome each, so that
// the Linux build over the drive table and the Windows build under wine can be
// compared line by line (scripts/test-wine.sh; accepted differences in
// tests/differential/accepted.txt). Each line is "label | outcome"; lists of
// names are sorted, so that the order a directory lists in does not matter.
//
// Drives: on Linux the program maps C:, D:, X: and the share \\srv\shr (on
// X:'s directory) to fresh temporary directories itself; on Windows they must
// be mapped as scripts/test-wine.sh maps them (KXTEST_MAPPED_DRIVES). Every
// file is made below C:\diff, D:\diff and \\srv\shr\diff.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "kxfiles.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "support/portable.h"

namespace {

namespace fs = std::filesystem;

void Line(const std::string &label, const std::string &outcome) {
    std::printf("%s | %s\n", label.c_str(), outcome.c_str());
}

// A call's result and the last error it left.
std::string Outcome(int32_t result) {
    return std::to_string(result) + " error " + std::to_string(kxFileErrorVal());
}

std::string Call(const std::function<int32_t()> &call) {
    kxFileErrorClear();
    int32_t result = call();
    return Outcome(result);
}

std::string FullName(const std::string &name) {
    char out[300] = "";
    kxFileErrorClear();
    int32_t result = kxFileGetFullName(name.c_str(), out);
    return Outcome(result) + (result ? " " + std::string(out) : "");
}

// Every name a match returns, sorted.
std::string Matches(const std::string &pattern, uint32_t mask) {
    kxFileErrorClear();
    KXMATCH match = kxFileInitMatch(pattern.c_str(), mask, nullptr, nullptr, nullptr);
    if (match == nullptr) return "null error " + std::to_string(kxFileErrorVal());
    std::vector<std::string> names;
    char name[260];
    while (kxFileGetMatch(match, name)) names.push_back(name);
    kxFileDoneMatch(match);
    std::sort(names.begin(), names.end());
    std::string text;
    for (const std::string &n : names) text += n + ";";
    return text.empty() ? "(none)" : text;
}

std::string Created(const std::string &name, const std::string &bytes = "x") {
    std::vector<char> buffer(300, '\0');
    std::memcpy(buffer.data(), name.c_str(), std::min<size_t>(name.size(), 299));
    kxFileErrorClear();
    KXFILE file = kxFileCreate(buffer.data(), 1);
    if (file == nullptr) return "null error " + std::to_string(kxFileErrorVal());
    uint32_t written = 0;
    kxFileWrite(file, bytes.data(), static_cast<uint32_t>(bytes.size()), &written);
    char full[260] = "";
    kxFileGetFileName(file, full);
    kxFileClose(file);
    return std::string("handle ") + full + (std::strcmp(buffer.data(), name.c_str()) ? " as " + std::string(buffer.data()) : "");
}

KXFILE Open(const std::string &name, uint32_t mode) {
    std::vector<char> buffer(300, '\0');
    std::memcpy(buffer.data(), name.c_str(), std::min<size_t>(name.size(), 299));
    return kxFileOpen(buffer.data(), mode);
}

void Names() {
    for (const char *name : {"..\\x.txt", "..\\..\\y", "C:\\..\\a", "sub\\..\\b", "a\\.\\b", "C:\\diff\\.",
                             "dot.", "space ", "both. .", "CON", "nul.txt", "COM1", "LPT9.doc", "COM10",
                             "\\\\srv\\shr\\f.txt", "\\\\srv\\shr\\Long Name.txt", "\\\\srv\\shr\\diff\\..\\g",
                             "D:f.txt", "D:..\\g", "C:x.txt", "\\rooted.txt"}) {
        Line(std::string("validate ") + name, Call([&] { return kxFileValidateFileName(name); }));
        Line(std::string("full name ") + name, FullName(name));
    }
    for (size_t length : {259u, 260u, 300u}) {
        std::string name = "C:\\diff\\" + std::string(length - 8, 'n');
        Line("validate " + std::to_string(length) + " characters", Call([&] { return kxFileValidateFileName(name.c_str()); }));
        Line("create " + std::to_string(length) + " characters", Created(name));
        std::string component = "C:\\diff\\" + std::string(length - 8 > 255 ? 256 : length - 8, 'c');
        Line("directory of " + std::to_string(component.size()) + " characters",
             Call([&] { return kxFileCreateDir(component.c_str()); }));
    }
    for (const char *name : {"CON", "nul", "Aux.txt", "COM1", "plain"}) {
        char out[260] = "";
        int32_t result = kxFileMakeNewName(name, out);
        Line(std::string("new name ") + name, std::to_string(result) + " " + out);
    }
}

void TrailingDotsAndSpaces() {
    kxFileCreateDir("C:\\diff\\dots");
    for (const char *name : {"C:\\diff\\dots\\dot.", "C:\\diff\\dots\\space ", "C:\\diff\\dots\\both. .",
                             "C:\\diff\\dots\\NUL.txt"})
        Line(std::string("create ") + name, Created(name));
    Line("create directory sub.", Call([] { return kxFileCreateDir("C:\\diff\\dots\\sub."); }));
    Line("exists dot", Call([] { return kxFileExists("C:\\diff\\dots\\dot"); }));
    Line("exists sub.\\..\\space. ", Call([] { return kxFileExists("C:\\diff\\dots\\sub.\\..\\space. "); }));
    Line("exists dots.\\sub", Call([] { return kxFileExists("C:\\diff\\dots.\\sub"); }));
    Line("entries after dots and spaces", Matches("C:\\diff\\dots\\*.*", MATCH_NORMAL | MATCH_DIRECTORY));
}

void SharingDeletingRenaming() {
    Created("C:\\diff\\shared.txt", "data");
    const uint32_t modes[] = {0x00, 0x01, 0x02, 0x10, 0x20};
    for (uint32_t first : modes) {
        KXFILE a = Open("C:\\diff\\shared.txt", first);
        std::string outcome;
        for (uint32_t second : modes) {
            kxFileErrorClear();
            KXFILE b = Open("C:\\diff\\shared.txt", second);
            outcome += std::to_string(second) + (b ? ":ok " : ":" + std::to_string(kxFileErrorVal()) + " ");
            if (b) kxFileClose(b);
        }
        Line("open " + std::to_string(first) + " then", outcome);
        Line("delete while open " + std::to_string(first), Call([] { return kxFileDelete("C:\\diff\\shared.txt"); }));
        Line("rename while open " + std::to_string(first),
             Call([] { return kxFileRename("C:\\diff\\shared.txt", "C:\\diff\\moved.txt"); }));
        if (a) kxFileClose(a);
    }
    kxtest::MakeReadOnly(fs::path(kxtest::MappedRoot('C')) / "diff" / "shared.txt");
    kxFileErrorClear();
    KXFILE writer = Open("C:\\diff\\shared.txt", 1);
    Line("read-only: open for writing", writer ? "handle" : Outcome(0));
    if (writer) kxFileClose(writer);
    Line("read-only: delete", Call([] { return kxFileDelete("C:\\diff\\shared.txt"); }));
    uint32_t attributes = 0;
    kxFileGetAttributes("C:\\diff\\shared.txt", &attributes);
    Line("read-only: attributes", std::to_string(attributes & 0x0F));
}

void WildcardsDatesAndCase() {
    fs::create_directories(fs::path(kxtest::MappedRoot('C')) / "diff" / "Wild" / "Sub Dir");
    for (const char *name : {"a.txt", "B.TXT", "noext", "ab.c", "abc.txt.bak", "x.y.z"})
        Created(std::string("C:\\diff\\Wild\\") + name);
    for (const char *pattern : {"*.*", "*", "*.txt", "?.txt", "*.", "a*", "*.t?t", "x.*", "noext.*", "AB.C"})
        Line(std::string("match ") + pattern, Matches(std::string("C:\\diff\\Wild\\") + pattern, 0x21));

    KXFILE file = Open("C:\\diff\\Wild\\a.txt", 2);
    const KXFILEDATETIME dates[] = {{29, 2, 96, 0, 0, 12}, {29, 2, 97, 0, 0, 12}, {31, 4, 99, 0, 0, 0},
                                   {1, 1, 80, 0, 0, 0},   {31, 12, 199, 59, 59, 23}};
    for (const KXFILEDATETIME &d : dates) {
        std::string label = "set date " + std::to_string(d.day) + "/" + std::to_string(d.month) + "/" +
                            std::to_string(1900 + d.year);
        std::string outcome = Call([&] { return kxFileSetDate(file, &d); });
        KXFILEDATETIME back{};
        if (kxFileGetDate(file, &back))
            outcome += " reads " + std::to_string(back.day) + "/" + std::to_string(back.month) + "/" +
                       std::to_string(1900 + back.year);
        Line(label, outcome);
    }
    kxFileClose(file);

    for (uint16_t mode : {0, 1, 2}) {
        char path[260] = "C:\\DIFF\\wild\\SUB DIR";
        int32_t result = kxFileCorrectDirectoryCase(path, 1, mode);
        Line("directory case " + std::to_string(mode), std::to_string(result) + " " + path);
    }
    Line("set path c:\\diff\\WILD", Call([] { return kxFileSetPath("c:\\diff\\WILD"); }));
    char current[261] = "";
    kxFileGetPath(current);
    Line("current directory", current);
    kxFileSetPath("C:\\");
}

void DrivesAndShares() {
    Line("set path D:\\diff", Call([] { return kxFileSetPath("D:\\diff"); }));
    Line("set path C:\\diff", Call([] { return kxFileSetPath("C:\\diff"); }));
    Line("full name D:f.txt", FullName("D:f.txt"));
    Line("full name D:..\\g", FullName("D:..\\g"));
    Line("set path missing", Call([] { return kxFileSetPath("C:\\diff\\missing"); }));
    Line("set path missing below missing", Call([] { return kxFileSetPath("C:\\no\\missing"); }));
    Line("delete current directory", Call([] { return kxFileDelete("C:\\diff"); }));
    kxFileSetPath("C:\\");
    Line("share: create", Created("\\\\srv\\shr\\diff\\Long Name.txt"));
    Line("share: entries", Matches("\\\\srv\\shr\\diff\\*.*", 0));
    uint32_t attributes = 0;
    std::string outcome = Call([&] { return kxFileGetAttributes("\\\\srv\\shr", &attributes); });
    Line("share: bare share attributes", outcome + " bits " + std::to_string(attributes & 0x0F));
}

}  // namespace

int main() {
    std::string top;
    if (!kxtest::PrepareMappedDrives(top)) {
        std::fprintf(stderr, "differential: the drives C:, D:, X: and \\\\srv\\shr are not mapped\n");
        return 2;
    }
    for (char letter : {'C', 'D', 'X'}) fs::create_directories(fs::path(kxtest::MappedRoot(letter)) / "diff");
    kxFileSetPath("C:\\");
    Names();
    kxFileSetPath("C:\\diff");
    TrailingDotsAndSpaces();
    SharingDeletingRenaming();
    WildcardsDatesAndCase();
    DrivesAndShares();
    kxtest::ReleaseMappedDrives(top);
    return 0;
}
