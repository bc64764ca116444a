// Reading a generated 100 MB CP437 text file translated to ISO 8859-1 through
// the character-set layer, alone and over the CR LF text layer, against
// iconv(3) converting the same data in the same run.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <iconv.h>
#include <unistd.h>

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
constexpr uint16_t kCp437 = 31;
constexpr uint16_t kLatin1 = 15;

// Lines of ASCII words with now and then a CP437 letter that ISO 8859-1 also
// has (so that iconv converts every byte), each line ending in CR LF.
struct Workspace {
    kxbench::BenchDirectory directory{"kxfiles-charset-bench"};
    Workspace() {
        static const unsigned char kShared[] = {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89,
                                                0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F, 0x90, 0x91, 0x92, 0x93,
                                                0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9A, 0x9B, 0x9C, 0x9D,
                                                0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8};
        std::mt19937 random(7);
        std::string text;
        text.reserve(kFileSize);
        while (text.size() < kFileSize - 2) {
            size_t length = random() % 80;
            for (size_t i = 0; i < length; ++i) {
                uint32_t pick = random() % 16;
                text += pick == 0 ? static_cast<char>(kShared[random() % sizeof kShared])
                                  : pick == 1 ? ' ' : static_cast<char>('a' + random() % 26);
            }
            text += "\r\n";
        }
        text.resize(kFileSize);
        kxbench::WriteWhole("cp437.txt", text);
    }
};

void Files() { static Workspace workspace; }

// Reads the file through the library with the given layers; counts the bytes
// of the file per second.
void ReadThroughLayers(benchmark::State &state, bool textLayer) {
    Files();
    kxbench::ReadThroughCharset(state, "cp437.txt", kCp437, kLatin1, textLayer ? TXT_READ_CRLF_ENDS_RECORD : 0,
                                kFileSize);
}

void CharsetLayer(benchmark::State &state) { ReadThroughLayers(state, false); }
void CharsetOverTextLayer(benchmark::State &state) { ReadThroughLayers(state, true); }

// read(2) in 64 KiB blocks and iconv(3) from CP437 to ISO 8859-1.
void Iconv(benchmark::State &state) {
    Files();
    std::vector<char> in(kBlock), out(kBlock);
    for (auto _ : state) {
        iconv_t converter = ::iconv_open("ISO-8859-1", "CP437");
        int fd = ::open("cp437.txt", O_RDONLY);
        if (converter == reinterpret_cast<iconv_t>(-1) || fd < 0) {
            state.SkipWithError("iconv_open");
            break;
        }
        for (ssize_t n; (n = ::read(fd, in.data(), kBlock)) > 0;) {
            char *source = in.data(), *target = out.data();
            size_t left = static_cast<size_t>(n), room = out.size();
            if (::iconv(converter, &source, &left, &target, &room) == static_cast<size_t>(-1))
                state.SkipWithError("iconv");
            benchmark::DoNotOptimize(out.data());
        }
        ::close(fd);
        ::iconv_close(converter);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

BENCHMARK(Iconv)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(CharsetLayer)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(CharsetOverTextLayer)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
