// What the benchmark programs share: a working directory of their own, whole
// files written at once, and the plain read/write loop the library is measured
// against.
#pragma once

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "kxfiles.h"

namespace kxbench {

constexpr size_t kBlock = 64 * 1024;  // the size of every read and write

// A temporary directory that is the current directory while it exists. The
// benchmarks name their files relative to it, so the names resolve on
// whichever drive holds it.
class BenchDirectory {
public:
    explicit BenchDirectory(const std::string &prefix)
        : directory_(std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(directory_);
        std::filesystem::current_path(directory_);
    }
    ~BenchDirectory() {
        std::error_code ignored;
        std::filesystem::current_path(directory_.parent_path(), ignored);
        std::filesystem::remove_all(directory_, ignored);
    }
    BenchDirectory(const BenchDirectory &) = delete;
    BenchDirectory &operator=(const BenchDirectory &) = delete;

private:
    std::filesystem::path directory_;
};

inline void WriteWhole(const char *path, const std::string &bytes) {
    int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        std::abort();
    ::close(fd);
}

// Removes `name` with the timing paused, before an iteration writes it anew:
// writing over a file that a truncation emptied makes some file systems write
// the data out at the close, so that the time would depend on the disk.
inline void FreshOutput(benchmark::State &state, const char *name) {
    state.PauseTiming();
    std::remove(name);
    state.ResumeTiming();
}

// Copies `source` to `target` with read(2) and write(2) in kBlock blocks, once
// per iteration; counts `fileSize` bytes per iteration.
inline void PlainCopy(benchmark::State &state, const char *source, const char *target, size_t fileSize) {
    std::vector<char> block(kBlock);
    for (auto _ : state) {
        FreshOutput(state, target);
        int in = ::open(source, O_RDONLY);
        int out = ::open(target, O_WRONLY | O_CREAT | O_TRUNC, 0644);
        for (ssize_t n; (n = ::read(in, block.data(), kBlock)) > 0;)
            if (::write(out, block.data(), static_cast<size_t>(n)) != n) state.SkipWithError("write");
        ::close(in);
        ::close(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fileSize));
}

// Reads the file `name` whole through the character-set layer from `from` to
// `to` with CSF_TRANSLATE, over the text layer with `textOptions` unless they
// are 0, in kBlock reads, once per iteration; counts `fileSize` bytes per
// iteration.
inline void ReadThroughCharset(benchmark::State &state, const char *name, uint16_t from, uint16_t to,
                               uint32_t textOptions, size_t fileSize) {
    std::vector<char> block(kBlock);
    std::string path = name;
    for (auto _ : state) {
        KXFILE file = kxFileOpen(path.data(), 0);
        if (file == nullptr || kxFileSetCharsetFlags(file, from, to, CSF_TRANSLATE, 0) != 0 ||
            (textOptions != 0 && kxFileSetTranslation(file, textOptions, 8) != 0)) {
            state.SkipWithError("open");
            break;
        }
        uint32_t got = 0;
        while (kxFileRead(file, block.data(), kBlock, &got) && got > 0) benchmark::DoNotOptimize(block.data());
        kxFileClose(file);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * fileSize));
}

}  // namespace kxbench
