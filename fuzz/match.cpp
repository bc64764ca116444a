// Directory matching with arbitrary patterns, attribute masks, date limits and
// exclusion lists over a small tree: every name found fits its 260-byte
// buffer, comes at most once, and the same search gives the same names again.
// Input: flags, attribute mask, case mode, date limits, exclusions (up to the
// first zero, at most 60 bytes), then the pattern (at most 600 bytes).
#include <sys/stat.h>

#include <cstring>
#include <set>
#include <vector>

#include "fuzz_support.h"

using namespace kxfuzz;

namespace {

void MakeTree() {
    const std::string top = DriveC() + "/m";
    for (const char *dir : {"", "/sub", "/Sub Dir.x"}) ::mkdir((top + dir).c_str(), 0755);
    for (const char *name : {"a.txt", "B.TXT", "readme", ".hidden", "long name with spaces.doc",
                             "x.y.z", "trailing.", "12345678.123", "ab", "sub/f.c", "sub/G.C"})
        WriteFile(top + "/" + name, name);
    WriteFile(top + "/" + std::string(200, 'a'), "long");
    WriteFile(top + "/locked.dat", "r");
    ::chmod((top + "/locked.dat").c_str(), 0444);
}

struct Search {
    std::string pattern;
    uint32_t mask;
    const KXFILEDATETIME *notAfter, *notBefore;
    const char *exclusions;
    uint16_t caseMode;

    std::vector<std::string> Run(bool extended) const {
        std::vector<std::string> names;
        KXMATCH match = kxFileInitMatch(pattern.c_str(), mask, notAfter, notBefore, exclusions);
        if (match == nullptr) return names;
        if (caseMode != 0) kxFileSetMatchCase(match, caseMode);
        KXMATCHSUMMARY summary{};
        kxFileGetMatchInfo(match, &summary);
        for (int i = 0; i < 64; ++i) {
            std::string name(260 + 16, 'Q');
            KXMATCHENTRYINFO info{};
            info.reserved = 0xC0FFEE;
            const int32_t found = extended ? kxFileGetMatchExtended(match, &name[0], &info)
                                           : kxFileGetMatch(match, &name[0]);
            CheckGuard(name, 260, 'Q', "a found name stays in 260 bytes");
            Check(info.reserved == 0xC0FFEE, "the reserved field is the caller's");
            if (found == 0) break;
            Check(std::memchr(name.data(), 0, 260) != nullptr, "a found name ends with a zero");
            names.push_back(name.c_str());
        }
        kxFileDoneMatch(match);
        return names;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const bool made = (MakeTree(), true);
    (void)made;
    Input input(data, size);
    const uint8_t flags = input.Byte();
    const uint32_t mask = input.Byte();
    const uint16_t caseMode = input.Byte() % 4;
    KXFILEDATETIME limits[2];
    for (KXFILEDATETIME &date : limits) {
        date.day = input.Byte();
        date.month = input.Byte();
        date.year = input.Byte();
        date.second = date.minute = date.hour = 0;
    }
    const std::string exclusions = input.Text(60);
    const std::string pattern = input.Text(600);
    // Most patterns look into the tree.
    const Search search{
        (flags & 1) ? "C:\\m\\" + pattern : pattern, mask,
        (flags & 2) ? &limits[0] : nullptr,          (flags & 4) ? &limits[1] : nullptr,
        (flags & 8) ? exclusions.c_str() : nullptr,  caseMode};
    const std::vector<std::string> names = search.Run(flags & 16);
    Check(names.size() < 64, "a search ends");
    // Names cut to 259 characters may differ only beyond the cut.
    std::set<std::string> whole;
    for (const std::string &name : names)
        Check(name.size() >= 259 || whole.insert(name).second, "each name found once");
    Check(search.Run(!(flags & 16)) == names, "the same search finds the same names");
    return 0;
}
