// Runs a command once and writes to FILE its clock, user and system seconds
// and its peak resident size in KiB, in the order of GNU time's "%e %U %S %M",
// to the tenth of a millisecond: GNU time rounds to hundredths of a second,
// which is 10% of a 0.10 s run and moved the ratios of such runs by a tenth.
// A small program, so that the peak it reports is the command's (a process
// keeps the peak of what it was before it ran the command). The command's
// standard streams and exit status pass through.
//
// Usage: timed FILE COMMAND [ARGUMENT...]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: timed FILE COMMAND [ARGUMENT...]\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid < 0) return 127;
    if (pid == 0) {
        execvp(argv[2], argv + 2);
        std::perror(argv[2]);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid) return 127;
    const std::chrono::duration<double> clock = std::chrono::steady_clock::now() - start;
    auto seconds = [](const timeval &t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6; };
    FILE *out = std::fopen(argv[1], "w");
    if (out == nullptr) return 127;
    std::fprintf(out, "%.4f %.4f %.4f %ld\n", clock.count(), seconds(usage.ru_utime), seconds(usage.ru_stime),
                 usage.ru_maxrss);
    std::fclose(out);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
