#include "many_files.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <new>
#include <system_error>

#ifndef _WIN32
#include <csignal>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#endif

#include "progress.h"

namespace kxcli {
namespace {

namespace fs = std::filesystem;

struct Job {
    std::string input, output;
    std::string refused;  // why the file is not converted at all ("" : it is)
};

struct Outcome {
    bool finished = false;  // the file's transfer came to an end, well or not
    bool failed = false;
    uint64_t bytes = 0, losses = 0;
};

// The regular files under `root`, in name order, leaving out the output
// directory when it lies inside the tree.
std::vector<fs::path> FilesOfTree(const fs::path &root, const fs::path &leaveOut, std::string &error) {
    std::vector<fs::path> found;
    std::error_code code;
    fs::recursive_directory_iterator walk(root, code), end;
    for (; !code && walk != end; walk.increment(code)) {
        std::error_code ignored;
        if (walk->is_directory(ignored)) {
            if (!leaveOut.empty() && fs::equivalent(walk->path(), leaveOut, ignored)) walk.disable_recursion_pending();
            continue;
        }
        if (walk->is_regular_file(ignored)) found.push_back(walk->path());
    }
    if (code) error = code.message();
    std::sort(found.begin(), found.end());
    return found;
}

// The work: one job per file, with its target, and the refusals found before
// any file is touched (a directory without -r, two inputs for one target).
std::vector<Job> PlanJobs(const ManyFiles &files) {
    std::vector<Job> jobs;
    std::error_code ignored;
    fs::path outputDir = files.outputDir;
    fs::path leaveOut = files.outputDir.empty() ? fs::path() : fs::weakly_canonical(outputDir, ignored);
    auto add = [&](const fs::path &input, const fs::path &relative) {
        Job job;
        job.input = input.string();
        job.output = files.outputDir.empty() ? job.input : (outputDir / relative).string();
        jobs.push_back(job);
    };
    for (const std::string &given : files.inputs) {
        fs::path path = given;
        if (!fs::is_directory(path, ignored)) {
            add(path, path.filename());
            continue;
        }
        if (!files.recursive) {
            jobs.push_back({given, given, "is a directory (-r converts the files of a tree)"});
            continue;
        }
        std::string error;
        for (const fs::path &file : FilesOfTree(path, leaveOut, error)) add(file, file.lexically_relative(path));
        if (!error.empty()) jobs.push_back({given, given, error});
    }
    // Two inputs that would write one target: the first one gets it.
    std::map<fs::path, std::string> targets;
    for (Job &job : jobs) {
        if (!job.refused.empty()) continue;
        fs::path target = fs::weakly_canonical(job.output, ignored);
        auto [where, added] = targets.emplace(target, job.input);
        if (!added) job.refused = "has the same target " + job.output + " as " + where->second;
    }
    return jobs;
}

std::string Size(uint64_t bytes) {
    char text[32];
    if (bytes < 1024) std::snprintf(text, sizeof text, "%llu bytes", static_cast<unsigned long long>(bytes));
    else if (bytes < 1024 * 1024) std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024);
    else std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / (1024 * 1024));
    return text;
}

// One file through the plan; the outcome says how it went.
void ConvertOne(const Job &job, const TransferPlan &plan, bool intoDirectory, Outcome &outcome) {
    if (!job.refused.empty()) {
        std::fprintf(stderr, "kxfile: %s: %s\n", job.input.c_str(), job.refused.c_str());
        outcome.failed = true;
        return;
    }
    std::error_code code;
    outcome.bytes = fs::file_size(job.input, code);
    if (code) outcome.bytes = 0;
    fs::path parent = fs::path(job.output).parent_path();
    if (intoDirectory && !parent.empty() && !fs::create_directories(parent, code) && code) {
        std::fprintf(stderr, "kxfile: %s: %s\n", parent.string().c_str(), code.message().c_str());
        outcome.failed = true;
        return;
    }
    TransferPlan one = plan;
    one.input = job.input;
    one.output = job.output;
    one.progress = false;
    one.lossCount = &outcome.losses;
    outcome.failed = RunPlannedTransfer(one) != 0;
}

#ifndef _WIN32
// What the worker processes share with the command: the next file to take,
// the bytes done (for the bar), and each file's outcome.
struct Shared {
    std::atomic<size_t> next;
    std::atomic<uint64_t> done;
};
static_assert(sizeof(Shared) % alignof(Outcome) == 0);

// Files at once in `workers` processes. Each worker is a process of its own:
// the interrupt handling that removes a half-written output keeps its
// staged files per process, and a worker that dies takes only its own file
// with it. A worker takes the next file until none is left; one that dies
// leaves its file without an outcome, which counts as failed.
bool RunInWorkers(const std::vector<Job> &jobs, const TransferPlan &plan, bool intoDirectory, unsigned workers,
                  Progress &progress, std::vector<Outcome> &outcomes) {
    size_t size = sizeof(Shared) + jobs.size() * sizeof(Outcome);
    void *memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return false;
    auto *shared = new (memory) Shared{};
    // The outcomes follow, one for each file.
    auto *sharedOutcomes = reinterpret_cast<Outcome *>(static_cast<char *>(memory) + sizeof(Shared));
    for (size_t i = 0; i < jobs.size(); ++i) new (&sharedOutcomes[i]) Outcome{};
    std::fflush(nullptr);
    std::vector<pid_t> children;
    for (unsigned w = 0; w < workers; ++w) {
        pid_t child = fork();
        if (child < 0) break;
        if (child == 0) {
#ifdef __linux__
            prctl(PR_SET_PDEATHSIG, SIGTERM);  // a command that is stopped stops its workers
#endif
            for (size_t i; (i = shared->next++) < jobs.size();) {
                Outcome outcome;
                ConvertOne(jobs[i], plan, intoDirectory, outcome);
                outcome.finished = true;
                sharedOutcomes[i] = outcome;
                shared->done += outcome.bytes;
            }
            std::fflush(nullptr);
            _exit(0);
        }
        children.push_back(child);
    }
    if (children.empty()) {
        munmap(memory, size);
        return false;
    }
    size_t running = children.size();
    while (running > 0) {
        int status = 0;
        pid_t ended = waitpid(-1, &status, WNOHANG);
        if (ended > 0) {
            --running;
            continue;
        }
        if (ended < 0 && errno != EINTR) break;
        progress.Update(shared->done.load());
        usleep(20000);
    }
    for (size_t i = 0; i < jobs.size(); ++i) {
        outcomes[i] = sharedOutcomes[i];
        if (!outcomes[i].finished) {
            std::fprintf(stderr, "kxfile: %s: the worker converting it ended early\n", jobs[i].input.c_str());
            outcomes[i].failed = true;
        }
    }
    munmap(memory, size);
    return true;
}
#endif

}  // namespace

int RunOnManyFiles(const char *command, const ManyFiles &files, const TransferPlan &plan) {
    std::vector<Job> jobs = PlanJobs(files);
    std::vector<Outcome> outcomes(jobs.size());
    uint64_t total = 0;
    for (const Job &job : jobs) {
        std::error_code ignored;
        uint64_t size = job.refused.empty() ? fs::file_size(job.input, ignored) : 0;
        if (!ignored) total += size;
    }

    // One bar for the whole work, advanced as files finish.
    Progress progress(total, plan.progress);
    const bool intoDirectory = !files.outputDir.empty();
    unsigned workers = std::clamp<unsigned>(files.jobs, 1, kMostFilesAtOnce);
    workers = static_cast<unsigned>(std::min<size_t>(workers, jobs.size()));
    bool done = false;
#ifndef _WIN32
    if (workers > 1) done = RunInWorkers(jobs, plan, intoDirectory, workers, progress, outcomes);
#endif
    if (!done) {  // one file at a time in this process
        uint64_t bytes = 0;
        for (size_t i = 0; i < jobs.size(); ++i) {
            ConvertOne(jobs[i], plan, intoDirectory, outcomes[i]);
            progress.Update(bytes += outcomes[i].bytes);
        }
    }
    progress.Finish();

    // The summary: the failed files by name, then one line.
    size_t failed = 0;
    uint64_t bytes = 0, losses = 0;
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (outcomes[i].failed) {
            ++failed;
            std::fprintf(stderr, "kxfile %s: failed: %s\n", command, jobs[i].input.c_str());
        } else {
            bytes += outcomes[i].bytes;
        }
        losses += outcomes[i].losses;
    }
    std::string lost = plan.report || plan.strict ? ", " + std::to_string(losses) + " characters lost" : "";
    std::fprintf(stderr, "kxfile %s: %zu file%s, %s%s, %zu failed\n", command, jobs.size(),
                 jobs.size() == 1 ? "" : "s", Size(bytes).c_str(), lost.c_str(), failed);
    return failed == 0 ? 0 : 1;
}

}  // namespace kxcli
