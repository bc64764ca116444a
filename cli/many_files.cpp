#include "many_files.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

#include "interrupt.h"
#include "progress.h"

namespace kxcli {
namespace {

namespace fs = std::filesystem;

struct Job {
    std::string input, output;
    std::string refused;  // why the file is not converted at all ("" : it is)
};

struct Outcome {
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
    std::mutex progressLock;
    uint64_t done = 0;
    std::atomic<size_t> next = 0;
    auto work = [&] {
        for (size_t i; (i = next++) < jobs.size();) {
            const Job &job = jobs[i];
            Outcome &outcome = outcomes[i];
            if (!job.refused.empty()) {
                std::fprintf(stderr, "kxfile: %s: %s\n", job.input.c_str(), job.refused.c_str());
                outcome.failed = true;
                continue;
            }
            std::error_code code;
            outcome.bytes = fs::file_size(job.input, code);
            if (code) outcome.bytes = 0;
            fs::path parent = fs::path(job.output).parent_path();
            if (!files.outputDir.empty() && !parent.empty() && !fs::create_directories(parent, code) && code) {
                std::fprintf(stderr, "kxfile: %s: %s\n", parent.string().c_str(), code.message().c_str());
                outcome.failed = true;
                continue;
            }
            TransferPlan one = plan;
            one.input = job.input;
            one.output = job.output;
            one.progress = false;
            one.lossCount = &outcome.losses;
            outcome.failed = RunTransfer(one) != 0;
            std::lock_guard<std::mutex> lock(progressLock);
            progress.Update(done += outcome.bytes);
        }
    };
    unsigned threads = std::clamp<unsigned>(files.jobs, 1, static_cast<unsigned>(kMostFilesAtOnce));
    threads = static_cast<unsigned>(std::min<size_t>(threads, std::max<size_t>(jobs.size(), 1)));
    std::vector<std::thread> workers;
    for (unsigned t = 1; t < threads; ++t) workers.emplace_back(work);
    work();
    for (std::thread &worker : workers) worker.join();
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
