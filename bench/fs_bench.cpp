// Directory matching and unique names, measured.
//
//   Match/20000           kxFileInitMatch + kxFileGetMatchExtended over 20,000
//                         files with an exclusion list, one whole enumeration
//   ReaddirStat/20000     readdir plus stat (by full path) over the same directory
//   ReaddirFstatat/20000  readdir plus fstatat (by directory descriptor)
//   MakeNewName999        kxFileMakeNewName when the numbers 0 to 998 are taken
//
// The directories live under the system's temporary directory, mapped as drive
// B: for the library; they are removed at exit.
#include <benchmark/benchmark.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "kxfiles.h"

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 20000;

fs::path &Top() {
    static fs::path top = fs::temp_directory_path() / ("kxfiles-bench-" + std::to_string(::getpid()));
    return top;
}

void Touch(const fs::path &path) { std::ofstream(path) << "x"; }

// 20,000 files: nine in ten ".txt", the rest ".bak" and ".tmp" (excluded).
void MakeDirectories() {
    fs::create_directories(Top() / "many");
    fs::create_directories(Top() / "names");
    char name[32];
    for (int i = 0; i < kFiles; ++i) {
        const char *extension = i % 20 == 0 ? "bak" : i % 20 == 1 ? "tmp" : "txt";
        std::snprintf(name, sizeof name, "file%05d.%s", i, extension);
        Touch(Top() / "many" / name);
    }
    Touch(Top() / "names" / "REPORT.TXT");
    for (int n = 0; n < 999; ++n) {
        std::snprintf(name, sizeof name, n < 100 ? "REPORT%02d.TXT" : "REPOR%03d.TXT", n);
        Touch(Top() / "names" / name);
    }
}

void Match(benchmark::State &state) {
    char name[260];
    KXMATCHENTRYINFO info{};
    int64_t entries = 0;
    for (auto _ : state) {
        KXMATCH match = kxFileInitMatch("B:\\many\\*.*", MATCH_NORMAL, nullptr, nullptr, " *.bak , *.tmp");
        while (kxFileGetMatchExtended(match, name, &info)) ++entries;
        kxFileDoneMatch(match);
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
    state.counters["returned"] = static_cast<double>(entries) / static_cast<double>(state.iterations());
}

void ReaddirStat(benchmark::State &state) {
    std::string directory = (Top() / "many").string();
    int64_t entries = 0;
    for (auto _ : state) {
        DIR *dir = ::opendir(directory.c_str());
        struct stat info;
        while (const dirent *entry = ::readdir(dir)) {
            std::string path = directory + "/" + entry->d_name;
            if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) ++entries;
        }
        ::closedir(dir);
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
    benchmark::DoNotOptimize(entries);
}

void ReaddirFstatat(benchmark::State &state) {
    std::string directory = (Top() / "many").string();
    int64_t entries = 0;
    for (auto _ : state) {
        DIR *dir = ::opendir(directory.c_str());
        struct stat info;
        while (const dirent *entry = ::readdir(dir))
            if (::fstatat(::dirfd(dir), entry->d_name, &info, 0) == 0 && S_ISREG(info.st_mode)) ++entries;
        ::closedir(dir);
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
    benchmark::DoNotOptimize(entries);
}

void MakeNewName999(benchmark::State &state) {
    char out[260];
    for (auto _ : state) {
        if (!kxFileMakeNewName("B:\\names\\REPORT.TXT", out)) state.SkipWithError("no name made");
        benchmark::DoNotOptimize(out);
    }
    if (std::string(out) != "B:\\names\\REPOR999.TXT") state.SkipWithError(out);
}

BENCHMARK(Match)->Name("Match/20000")->Unit(benchmark::kMillisecond);
BENCHMARK(ReaddirStat)->Name("ReaddirStat/20000")->Unit(benchmark::kMillisecond);
BENCHMARK(ReaddirFstatat)->Name("ReaddirFstatat/20000")->Unit(benchmark::kMillisecond);
BENCHMARK(MakeNewName999)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char **argv) {
    MakeDirectories();
    // Before the library's first call: the drive table is read once.
    ::setenv("KXFILES_DRIVES", ("B:=" + Top().string()).c_str(), 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    fs::remove_all(Top(), ignored);
    return 0;
}
