// Copying a 100 MB file through kxFileRead/kxFileWrite in 64 KiB blocks,
// against a plain read/write loop over the same file in the same run.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "kxfiles.h"

namespace {

constexpr size_t kFileSize = 100u * 1024 * 1024;
constexpr size_t kBlock = 64 * 1024;

// The benchmarks run in a directory of their own; names are relative to it,
// so they resolve on whichever drive holds it.
struct Workspace {
    std::filesystem::path directory;
    Workspace() {
        directory = std::filesystem::temp_directory_path() / ("kxfiles-bench-" + std::to_string(::getpid()));
        std::filesystem::create_directories(directory);
        std::filesystem::current_path(directory);
        std::vector<char> block(kBlock);
        std::mt19937 random(1);
        int fd = ::open("source.bin", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (size_t done = 0; done < kFileSize; done += kBlock) {
            for (char &c : block) c = static_cast<char>(random());
            if (::write(fd, block.data(), kBlock) != static_cast<ssize_t>(kBlock)) std::abort();
        }
        ::close(fd);
    }
    ~Workspace() {
        std::error_code ignored;
        std::filesystem::current_path(directory.parent_path(), ignored);
        std::filesystem::remove_all(directory, ignored);
    }
};

Workspace &Files() {
    static Workspace workspace;
    return workspace;
}

void PlainReadWrite(benchmark::State &state) {
    Files();
    std::vector<char> block(kBlock);
    for (auto _ : state) {
        int in = ::open("source.bin", O_RDONLY);
        int out = ::open("plain.bin", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (ssize_t n; (n = ::read(in, block.data(), kBlock)) > 0;)
            if (::write(out, block.data(), static_cast<size_t>(n)) != n) state.SkipWithError("write");
        ::close(in);
        ::close(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void LibraryReadWrite(benchmark::State &state) {
    Files();
    std::vector<char> block(kBlock);
    for (auto _ : state) {
        char source[] = "source.bin", target[] = "library.bin";
        KXFILE in = kxFileOpen(source, 0);
        KXFILE out = kxFileCreate(target, 1);
        if (!in || !out) {
            state.SkipWithError("open");
            break;
        }
        uint32_t got = 0, put = 0;
        while (kxFileRead(in, block.data(), kBlock, &got) && got > 0)
            if (!kxFileWrite(out, block.data(), got, &put)) state.SkipWithError("write");
        kxFileClose(in);
        kxFileClose(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

// Alternated so that neither always runs on a warmer cache.
BENCHMARK(PlainReadWrite)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(LibraryReadWrite)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(PlainReadWrite)->Name("PlainReadWrite/again")->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(LibraryReadWrite)->Name("LibraryReadWrite/again")->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
