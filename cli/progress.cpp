#include "progress.h"

#include <cstdio>
#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#else
#include <unistd.h>
#endif

namespace kxcli {
namespace {

// Work below this size ends before a bar would tell anything.
constexpr uint64_t kLongWork = 4u * 1024 * 1024;
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;

}  // namespace

Progress::Progress(uint64_t total, std::optional<bool> forced)
    : total_(total),
      shown_(forced ? *forced : (isatty(2) != 0 && (total == 0 || total >= kLongWork))),
      forced_(forced.has_value()),
      start_(std::chrono::steady_clock::now()),
      lastDraw_(start_) {}

Progress::~Progress() { Finish(); }

void Progress::Update(uint64_t done) {
    if (!shown_) return;
    done_ = done;
    if (total_ == 0 && !drawn_ && !forced_ && done < kLongWork) return;
    auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - lastDraw_ < kRedrawEvery) return;
    lastDraw_ = now;
    Draw(done);
}

void Progress::Finish() {
    if (!shown_) return;
    if (drawn_) {
        Draw(total_ == 0 ? done_ : total_);
        std::fputc('\n', stderr);
    }
    shown_ = false;
}

void Progress::Draw(uint64_t done) {
    drawn_ = true;
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    double rate = seconds > 0 ? static_cast<double>(done) / seconds / (1024 * 1024) : 0;
    if (total_ == 0) {
        std::fprintf(stderr, "\r%.1f MiB read  %.1f MiB/s", static_cast<double>(done) / (1024 * 1024), rate);
        std::fflush(stderr);
        return;
    }
    if (done > total_) done = total_;
    int percent = static_cast<int>(done * 100 / total_);
    int filled = percent * kBarWidth / 100;
    char bar[kBarWidth + 1];
    for (int i = 0; i < kBarWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kBarWidth] = '\0';
    std::fprintf(stderr, "\r[%s] %3d%%  %.1f MiB  %.1f MiB/s", bar, percent,
                 static_cast<double>(done) / (1024 * 1024), rate);
    std::fflush(stderr);
}

}  // namespace kxcli
