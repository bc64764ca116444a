// Japanese text through the character-set layer: a generated 50 MB Shift-JIS
// file (kanji, hiragana and katakana, half-width katakana, ASCII, CR LF lines)
// read as JIS (set 53) and as EUC (set 57), and the host bytes written back to
// Shift-JIS; against iconv(3) from SHIFT_JIS to ISO-2022-JP-3 and to EUC-JP
// on the same data in the same run.
#include <benchmark/benchmark.h>

#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <unistd.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "kxfiles.h"

namespace {

constexpr size_t kFileSize = 50u * 1024 * 1024;
constexpr uint32_t kBlock = kxbench::kBlock;
constexpr uint16_t kShiftJis = 51;
constexpr uint16_t kJis = 53;
constexpr uint16_t kEuc = 57;

// One Shift-JIS character of the mix: a kanji of the first JIS level, a
// hiragana or katakana, a half-width katakana, or ASCII (without 0x5C and
// 0x7E, which JIS Roman reads as other characters).
void AppendCharacter(std::mt19937 &random, std::string &text) {
    uint32_t pick = random() % 10;
    if (pick < 4) {
        unsigned lead = 0x88 + random() % 0x10;  // rows 16 to 47
        unsigned trail = 0x40 + random() % 0xBC;
        if (lead == 0x88 && trail < 0x9F) trail = 0x9F;
        if (trail >= 0x7F) ++trail;
        text += static_cast<char>(lead);
        text += static_cast<char>(trail);
    } else if (pick < 6) {
        text += '\x82';
        text += static_cast<char>(0x9F + random() % 0x53);  // hiragana
    } else if (pick < 7) {
        text += static_cast<char>(0xA1 + random() % 0x3F);  // half-width katakana
    } else {
        text += static_cast<char>('a' + random() % 26);
    }
}

struct Workspace {
    kxbench::BenchDirectory directory{"kxfiles-japanese-bench"};
    std::string jis, euc;  // the host bytes, as the layer reads them
    Workspace() {
        std::mt19937 random(11);
        std::string text;
        text.reserve(kFileSize + 200);
        while (text.size() < kFileSize - 200) {
            size_t length = random() % 60;
            for (size_t i = 0; i < length; ++i) AppendCharacter(random, text);
            text += "\r\n";
        }
        while (text.size() < kFileSize - 2) text += 'x';
        text += "\r\n";
        kxbench::WriteWhole("sjis.txt", text);
        jis = ReadAll(kJis);
        euc = ReadAll(kEuc);
    }
    static std::string ReadAll(uint16_t to) {
        std::string all;
        std::vector<char> block(kBlock);
        char name[] = "sjis.txt";
        KXFILE file = kxFileOpen(name, 0);
        if (file == nullptr || kxFileSetCharsetFlags(file, kShiftJis, to, CSF_TRANSLATE, 0) != 0) std::abort();
        uint32_t got = 0;
        while (kxFileRead(file, block.data(), kBlock, &got) && got > 0) all.append(block.data(), got);
        kxFileClose(file);
        return all;
    }
};

Workspace &Files() {
    static Workspace workspace;
    return workspace;
}

// Reads the Shift-JIS file through the layer for host set `to`; counts the
// bytes of the file per second.
void Read(benchmark::State &state, uint16_t to) {
    Files();
    kxbench::ReadThroughCharset(state, "sjis.txt", kShiftJis, to, 0, kFileSize);
}

// Writes the host bytes of set `from` back to a Shift-JIS file; counts the
// bytes of the Shift-JIS file per second.
void Write(benchmark::State &state, uint16_t from) {
    const std::string &host = from == kJis ? Files().jis : Files().euc;
    for (auto _ : state) {
        char name[] = "back.txt";
        KXFILE file = kxFileCreate(name, 1);
        if (file == nullptr || kxFileSetCharsetFlags(file, from, kShiftJis, CSF_TRANSLATE, 0) != 0) {
            state.SkipWithError("create");
            break;
        }
        for (size_t at = 0; at < host.size(); at += kBlock) {
            uint32_t n = static_cast<uint32_t>(std::min<size_t>(kBlock, host.size() - at)), put = 0;
            if (!kxFileWrite(file, host.data() + at, n, &put)) state.SkipWithError("write");
        }
        kxFileClose(file);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

// read(2) in 64 KiB blocks and iconv(3) from SHIFT_JIS to `to`; a character
// cut by a block's end is carried to the next block.
void Iconv(benchmark::State &state, const char *to) {
    Files();
    std::vector<char> in(kBlock + 8), out(kBlock * 4);
    for (auto _ : state) {
        iconv_t converter = ::iconv_open(to, "SHIFT_JIS");
        int fd = ::open("sjis.txt", O_RDONLY);
        if (converter == reinterpret_cast<iconv_t>(-1) || fd < 0) {
            state.SkipWithError("iconv_open");
            break;
        }
        size_t carried = 0;
        for (ssize_t n; (n = ::read(fd, in.data() + carried, kBlock)) > 0;) {
            char *source = in.data(), *target = out.data();
            size_t left = carried + static_cast<size_t>(n), room = out.size();
            if (::iconv(converter, &source, &left, &target, &room) == static_cast<size_t>(-1) && errno != EINVAL)
                state.SkipWithError("iconv");
            std::memmove(in.data(), source, left);
            carried = left;
            benchmark::DoNotOptimize(out.data());
        }
        ::close(fd);
        ::iconv_close(converter);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}

void IconvToIso2022Jp3(benchmark::State &state) { Iconv(state, "ISO-2022-JP-3"); }
void IconvToEucJp(benchmark::State &state) { Iconv(state, "EUC-JP"); }
void ReadAsJis(benchmark::State &state) { Read(state, kJis); }
void ReadAsEuc(benchmark::State &state) { Read(state, kEuc); }
void WriteFromJis(benchmark::State &state) { Write(state, kJis); }
void WriteFromEuc(benchmark::State &state) { Write(state, kEuc); }

BENCHMARK(IconvToIso2022Jp3)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(IconvToEucJp)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(ReadAsJis)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(ReadAsEuc)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(WriteFromJis)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(WriteFromEuc)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
