// A progress bar on standard error for long work: one line, as wide as the
// terminal allows, redrawn at most ten times a second.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace kxcli {

class Progress {
public:
    // forced: --progress (true) or --no-progress (false); without either the
    // bar shows only when standard error is a terminal and the work is long.
    // total 0: the size is unknown (a pipe); the bytes done are shown without
    // a percentage, by default once they are many.
    Progress(uint64_t total, std::optional<bool> forced);
    ~Progress();

    void Update(uint64_t done);
    void Finish();

private:
    void Draw(uint64_t done);

    uint64_t total_;
    bool shown_;
    bool forced_;
    uint64_t done_ = 0;
    bool drawn_ = false;
    size_t lastLength_ = 0;  // of the line drawn last
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
};

}  // namespace kxcli
