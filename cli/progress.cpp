#include "progress.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#ifdef _WIN32
#include <io.h>
#include <windows.h>
#define isatty _isatty
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace kxcli {
namespace {

// Work below this size ends before a bar would tell anything.
constexpr uint64_t kLongWork = 4u * 1024 * 1024;
constexpr auto kRedrawEvery = std::chrono::milliseconds(100);
constexpr int kBarWidth = 30;

// The columns of the terminal on standard error; where there is none (the bar
// was asked for with --progress), $COLUMNS, else 80.
int TerminalColumns() {
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
#else
    struct winsize size {};
    if (ioctl(2, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#endif
    const char *columns = std::getenv("COLUMNS");
    int number = columns != nullptr ? std::atoi(columns) : 0;
    return number > 0 ? number : 80;
}

// One line of the bar, at most `width` characters: the figures always, the
// bar when there is room, and as much of the figures as fits otherwise.
std::string FitLine(int percent, const std::string &figures, int width) {
    std::string line;
    if (percent >= 0) {
        char head[16];
        int headLength = std::snprintf(head, sizeof head, "%3d%%  ", percent);
        // "[" bar "] " before the figures, when at least 5 cells are left.
        int room = width - headLength - static_cast<int>(figures.size()) - 3;
        if (room >= 5) {
            int cells = room < kBarWidth ? room : kBarWidth;
            int filled = percent * cells / 100;
            line.push_back('[');
            line.append(static_cast<size_t>(filled), '#');
            line.append(static_cast<size_t>(cells - filled), '.');
            line.append("] ");
        }
        line.append(head);
    }
    line.append(figures);
    if (static_cast<int>(line.size()) > width) line.resize(static_cast<size_t>(width > 0 ? width : 0));
    return line;
}

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
    // A line as long as the terminal is wide wraps on some terminals: one less.
    int width = TerminalColumns() - 1;
    char figures[96];
    int percent = -1;
    if (total_ == 0) {
        std::snprintf(figures, sizeof figures, "%.1f MiB read  %.1f MiB/s", static_cast<double>(done) / (1024 * 1024),
                      rate);
    } else {
        if (done > total_) done = total_;
        percent = static_cast<int>(done * 100 / total_);
        std::snprintf(figures, sizeof figures, "%.1f MiB  %.1f MiB/s", static_cast<double>(done) / (1024 * 1024), rate);
    }
    std::string line = FitLine(percent, figures, width);
    // Spaces over what is left of a longer line drawn before.
    size_t shown = line.size();
    if (shown < lastLength_) line.append(lastLength_ - shown, ' ');
    lastLength_ = shown;
    std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
}

}  // namespace kxcli
