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

#include "bench_support.h"
#include "kxfiles.h"

namespace {

constexpr size_t kFileSize = 100u * 1024 * 1024;
using kxbench::kBlock;

struct Workspace {
    kxbench::BenchDirectory directory{"kxfiles-bench"};
    Workspace() {
        std::string bytes(kFileSize, '\0');
        std::mt19937 random(1);
        for (char &c : bytes) c = static_cast<char>(random());
        kxbench::WriteWhole("source.bin", bytes);
    }
};

void Files() { static Workspace workspace; }

void PlainReadWrite(benchmark::State &state) {
    Files();
    kxbench::PlainCopy(state, "source.bin", "plain.bin", kFileSize);
}

void LibraryReadWrite(benchmark::State &state) {
    Files();
    std::vector<char> block(kBlock);
    for (auto _ : state) {
        kxbench::FreshOutput(state, "library.bin");
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
