// Throughput of the text and compression layers on a generated 100 MB text
// file of CR LF lines, against a plain read/write loop over the same file, in
// one run. Every figure is in bytes of the text file per second: a compressor
// reads it, an expander writes it back.
//
//   kxfiles_bench_layers [benchmark options]
//   KXFILES_BENCH_TEXT_FILE=PATH kxfiles_bench_layers   writes the text file only
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
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
constexpr uint32_t kBlock = kxbench::kBlock;
constexpr uint32_t kRecordMode = 32;

// Lines of words, a few indented or with runs of spaces, now and then a long
// line, a run of equal characters or a byte above 0x7F; each ends in CR LF.
std::string TextFile() {
    std::string text;
    text.reserve(kFileSize + 4096);
    std::mt19937 random(42);
    static const char *const words[] = {"the", "transfer", "of", "a", "record", "HOST", "file",
                                        "0001", "line", "and", "KXFILE", "data", "to", "from",
                                        "1998-04-11", "total:", "=", "in"};
    while (text.size() < kFileSize) {
        uint32_t kind = random() % 100;
        if (kind < 10) text.append(4 + random() % 12, ' ');
        size_t length = kind < 2 ? 200 + random() % 600 : random() % 90;
        size_t start = text.size();
        while (text.size() - start < length) {
            text += words[random() % 18];
            uint32_t gap = random() % 20;
            text.append(gap == 0 ? 2 + random() % 30 : 1, ' ');
            if (gap == 1) text.append(3 + random() % 40, "-=*~"[random() % 4]);
            if (gap == 2) text += static_cast<char>(0xC0 + random() % 32);
        }
        text += "\r\n";
    }
    text.resize(kFileSize - 2);
    text += "\r\n";
    return text;
}

// lines.txt has CR LF line ends, unix.txt the same lines ending in LF.
struct Workspace {
    kxbench::BenchDirectory directory{"kxfiles-layers"};
    Workspace() {
        std::string text = TextFile();
        kxbench::WriteWhole("lines.txt", text);
        std::string unix;
        unix.reserve(text.size());
        for (size_t i = 0; i < text.size(); ++i)
            if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) unix += text[i];
        kxbench::WriteWhole("unix.txt", unix);
    }
};

void Files() { static Workspace workspace; }

KXFILE Open(const char *name, uint32_t text, uint32_t method) {
    char buffer[260];
    std::snprintf(buffer, sizeof buffer, "%s", name);
    KXFILE file = kxFileOpen(buffer, 0);
    if (file && text) kxFileSetTranslation(file, text, 8);
    if (file && method) kxFileSetCompression(file, method);
    return file;
}

KXFILE Create(const char *name, uint32_t text, uint32_t method) {
    char buffer[260];
    std::snprintf(buffer, sizeof buffer, "%s", name);
    KXFILE file = kxFileCreate(buffer, 1);
    if (file && text) kxFileSetTranslation(file, text, 8);
    if (file && method) kxFileSetCompression(file, method);
    return file;
}

// Reads `name` through the layers; returns the bytes delivered, and keeps
// them when `keep` is given.
uint64_t ReadThrough(const char *name, uint32_t text, uint32_t method, std::string *keep) {
    KXFILE in = Open(name, text, method);
    if (!in) return 0;
    std::vector<char> block(kBlock);
    uint64_t total = 0;
    uint32_t got = 0;
    while (kxFileRead(in, block.data(), kBlock, &got) && got > 0) {
        total += got;
        if (keep) keep->append(block.data(), got);
    }
    kxFileClose(in);
    return total;
}

void PlainReadWrite(benchmark::State &state) {
    Files();
    kxbench::PlainCopy(state, "lines.txt", "plain.txt", kFileSize);
}

// The text layer turns CR LF into records; the records go to a plain file.
void TextReadRecords(benchmark::State &state) {
    Files();
    std::vector<char> block(kBlock);
    for (auto _ : state) {
        kxbench::FreshOutput(state, "records.txt");
        KXFILE in = Open("lines.txt", TXT_READ_CRLF_ENDS_RECORD, 0);
        KXFILE out = Create("records.txt", 0, 0);
        uint32_t got = 0, put = 0;
        while (kxFileRead(in, block.data(), kBlock, &got) && got > 0)
            kxFileWrite(out, block.data(), got, &put);
        kxFileClose(in);
        kxFileClose(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

// Lines ending in LF written through the text layer, which ends them CR LF.
void TextWriteCrLf(benchmark::State &state) {
    Files();
    std::vector<char> block(kBlock);
    for (auto _ : state) {
        kxbench::FreshOutput(state, "crlf.txt");
        KXFILE in = Open("unix.txt", 0, 0);
        KXFILE out = Create("crlf.txt", TXT_WRITE_LF_TO_CRLF, 0);
        uint32_t got = 0, put = 0;
        while (kxFileRead(in, block.data(), kBlock, &got) && got > 0)
            kxFileWrite(out, block.data(), got, &put);
        kxFileClose(in);
        kxFileClose(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

// The text layer under a method, as a transfer uses it; method 8 reads raw.
uint32_t TextFor(uint32_t method, bool reading) {
    if (method == 8) return 0;
    return reading ? TXT_READ_CRLF_ENDS_RECORD : TXT_WRITE_RECORD_CRLF;
}

void Compressor(benchmark::State &state) {
    Files();
    auto method = static_cast<uint32_t>(state.range(0));
    uint64_t packed = 0;
    for (auto _ : state) packed = ReadThrough("lines.txt", TextFor(method, true), method, nullptr);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
    state.counters["ratio"] = static_cast<double>(packed) / kFileSize;
}

void Expander(benchmark::State &state) {
    Files();
    auto method = static_cast<uint32_t>(state.range(0));
    std::string packed;
    ReadThrough("lines.txt", TextFor(method, true), method, &packed);
    for (auto _ : state) {
        kxbench::FreshOutput(state, "expanded.txt");
        KXFILE out = Create("expanded.txt", TextFor(method, false), method);
        uint32_t put = 0;
        for (size_t at = 0; at < packed.size(); at += kBlock) {
            auto n = static_cast<uint32_t>(std::min<size_t>(kBlock, packed.size() - at));
            if (!kxFileWrite(out, packed.data() + at, n, &put)) state.SkipWithError("write");
        }
        kxFileClose(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

// Every benchmark reports, besides the mean, median and deviation of its
// repetitions, the fastest and slowest: on a shared machine the spread says
// how far a figure can be trusted.
benchmark::internal::Benchmark *WithSpread(benchmark::internal::Benchmark *b) {
    auto least = [](const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); };
    auto most = [](const std::vector<double> &v) { return *std::max_element(v.begin(), v.end()); };
    return b->Unit(benchmark::kMillisecond)->MinTime(1.0)->ComputeStatistics("min", least)
        ->ComputeStatistics("max", most);
}

BENCHMARK(PlainReadWrite)->Apply([](auto *b) { WithSpread(b); });
BENCHMARK(TextReadRecords)->Apply([](auto *b) { WithSpread(b); });
BENCHMARK(TextWriteCrLf)->Apply([](auto *b) { WithSpread(b); });
BENCHMARK(Compressor)->ArgName("method")->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Arg(kRecordMode)
    ->Apply([](auto *b) { WithSpread(b); });
BENCHMARK(Expander)->ArgName("method")->Arg(1)->Arg(2)->Arg(4)->Arg(8)->Arg(kRecordMode)
    ->Apply([](auto *b) { WithSpread(b); });
BENCHMARK(PlainReadWrite)->Name("PlainReadWrite/again")->Apply([](auto *b) { WithSpread(b); });

// With KXFILES_BENCH_TEXT_FILE=PATH in the environment the program only
// writes the text file to PATH and exits, before any benchmark runs
// (compare_peers.sh times other tools on it).
const bool kOnlyWritesTheText = [] {
    if (const char *path = std::getenv("KXFILES_BENCH_TEXT_FILE")) {
        kxbench::WriteWhole(path, TextFile());
        std::exit(0);
    }
    return false;
}();

}  // namespace

BENCHMARK_MAIN();
