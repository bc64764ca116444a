#include "many_files.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <new>
#include <set>
#include <system_error>

#ifndef _WIN32
#include <csignal>
#include <poll.h>
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
    bool exactName = false;  // no other spelling of the target: not searched for
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

// A name with ASCII letters in lower case and every byte above 127 made one
// value: coarser than the library's rule for names without regard to case
// (which changes ASCII letters and maps bytes above 127 to bytes above 127),
// so two names it takes for one are equal here too.
std::string CoarseFold(std::string name) {
    for (char &c : name) {
        auto byte = static_cast<unsigned char>(c);
        if (byte >= 'A' && byte <= 'Z') c = static_cast<char>(byte + 32);
        else if (byte > 127) c = static_cast<char>(0x80);
    }
    return name;
}

// Marks the targets that have no other spelling, without regard to case,
// among the entries of their directory and the other targets: these are
// created as spelled, where a missing target would otherwise have its
// directory read again for every file (time growing with the square of the
// files, and a directory that the workers hold against each other's new
// files). Each directory is read once here; one that cannot be read leaves
// its targets searched for as before. A file that someone else makes in the
// directory while the command runs, under another spelling, is not seen.
void MarkExactTargets(std::vector<Job> &jobs) {
    // Per directory: each folded name with the spellings it stands for.
    std::map<fs::path, std::map<std::string, std::set<std::string>>> names;
    std::set<fs::path> unreadable;
    for (const Job &job : jobs) {
        if (!job.refused.empty()) continue;
        fs::path target = job.output;
        fs::path directory = target.parent_path();
        auto [spellings, added] = names.try_emplace(directory);
        if (added) {
            std::error_code code;
            fs::directory_iterator entries(directory.empty() ? fs::path(".") : directory, code), end;
            for (; !code && entries != end; entries.increment(code)) {
                std::string name = entries->path().filename().string();
                spellings->second[CoarseFold(name)].insert(name);
            }
            // A directory still to be made has no entries.
            if (code && code != std::errc::no_such_file_or_directory) unreadable.insert(directory);
        }
        std::string name = target.filename().string();
        spellings->second[CoarseFold(name)].insert(name);
    }
    for (Job &job : jobs) {
        if (!job.refused.empty()) continue;
        fs::path target = job.output;
        if (unreadable.count(target.parent_path()) != 0) continue;
        job.exactName = names[target.parent_path()][CoarseFold(target.filename().string())].size() == 1;
    }
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
    // Two inputs that would write one target: the first one gets it. A
    // target's directory is made canonical once for all its files; a target
    // that is a link is followed on its own.
    std::map<fs::path, std::string> targets;
    std::map<fs::path, fs::path> directories;
    for (Job &job : jobs) {
        if (!job.refused.empty()) continue;
        fs::path output = job.output, target;
        if (fs::is_symlink(fs::symlink_status(output, ignored))) {
            target = fs::weakly_canonical(output, ignored);
        } else {
            auto [directory, added] = directories.try_emplace(output.parent_path());
            if (added) directory->second = fs::weakly_canonical(output.parent_path().empty() ? fs::path(".") : output.parent_path(), ignored);
            target = directory->second / output.filename();
        }
        auto [where, added] = targets.emplace(target, job.input);
        if (!added) job.refused = "has the same target " + job.output + " as " + where->second;
    }
    if (!files.outputDir.empty()) MarkExactTargets(jobs);
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
    one.outputNameExact = job.exactName;
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

// What a worker sends the command after each file: the file's number and
// the length of its messages, which follow.
struct MessageHead {
    uint64_t file;
    uint64_t length;
};

bool WriteAll(int fd, const char *data, size_t size) {
    while (size > 0) {
        ssize_t put = ::write(fd, data, size);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        data += put;
        size -= static_cast<size_t>(put);
    }
    return true;
}

// A worker's messages, written to standard error as the file is converted
// (the library's and the loss report's among them), caught in a file of its
// own and sent to the command whole after each file, so that two files'
// messages never mix. Without that file they go to standard error as they come.
class CaughtMessages {
public:
    explicit CaughtMessages(int pipe) : pipe_(pipe) {
        std::fflush(stderr);
        FILE *file = std::tmpfile();
        if (file != nullptr && ::dup2(fileno(file), 2) == 2) caught_ = file;
        else if (file != nullptr) std::fclose(file);
    }

    void Start() {
        if (caught_ == nullptr) return;
        ::lseek(2, 0, SEEK_SET);
        static_cast<void>(::ftruncate(2, 0));  // failing, an old message is sent again at worst
    }

    void Send(size_t file) {
        std::string text;
        if (caught_ != nullptr) {
            std::fflush(stderr);
            off_t size = ::lseek(2, 0, SEEK_CUR);
            text.resize(size > 0 ? static_cast<size_t>(size) : 0);
            ssize_t got = text.empty() ? 0 : ::pread(2, text.data(), text.size(), 0);
            text.resize(got > 0 ? static_cast<size_t>(got) : 0);
        }
        MessageHead head{file, text.size()};
        WriteAll(pipe_, reinterpret_cast<const char *>(&head), sizeof head);
        WriteAll(pipe_, text.data(), text.size());
    }

private:
    int pipe_;
    FILE *caught_ = nullptr;
};

// The command's side: the messages of each worker as they come, written to
// standard error in the order of the files, each file's together.
class MessagesInOrder {
public:
    explicit MessagesInOrder(size_t files) : texts_(files), arrived_(files, false) {}

    // Takes the whole messages of what a worker sent, leaving a part still to come.
    void Take(std::string &from) {
        while (from.size() >= sizeof(MessageHead)) {
            MessageHead head;
            std::memcpy(&head, from.data(), sizeof head);
            if (head.file >= texts_.size() || from.size() - sizeof head < head.length) return;
            texts_[head.file] = from.substr(sizeof head, head.length);
            arrived_[head.file] = true;
            from.erase(0, sizeof head + head.length);
        }
    }

    // Writes the messages of the files done so far that follow each other
    // from the first one not yet written; all of them at the end.
    void Write(bool all) {
        for (; next_ < texts_.size() && (all || arrived_[next_]); ++next_) {
            if (texts_[next_].empty()) continue;
            std::fwrite(texts_[next_].data(), 1, texts_[next_].size(), stderr);
            std::string().swap(texts_[next_]);
        }
        std::fflush(stderr);
    }

private:
    std::vector<std::string> texts_;
    std::vector<bool> arrived_;
    size_t next_ = 0;
};

// Files at once in `workers` processes. Each worker is a process of its own:
// the interrupt handling that removes a half-written output keeps its
// staged files per process, and a worker that dies takes only its own file
// with it. A worker takes the next file until none is left; one that dies
// leaves its file without an outcome, which counts as failed. Each worker
// sends its messages through a pipe of its own; the command writes them.
bool RunInWorkers(const std::vector<Job> &jobs, const TransferPlan &plan, bool intoDirectory, unsigned workers,
                  Progress &progress, std::vector<Outcome> &outcomes) {
    size_t size = sizeof(Shared) + jobs.size() * sizeof(Outcome);
    void *memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) return false;
    auto *shared = new (memory) Shared{};
    // The outcomes follow, one for each file.
    auto *sharedOutcomes = reinterpret_cast<Outcome *>(static_cast<char *>(memory) + sizeof(Shared));
    for (size_t i = 0; i < jobs.size(); ++i) new (&sharedOutcomes[i]) Outcome{};
    std::vector<std::array<int, 2>> pipes;
    for (unsigned w = 0; w < workers; ++w) {
        std::array<int, 2> ends;
        if (::pipe(ends.data()) != 0) break;
        pipes.push_back(ends);
    }
    std::fflush(nullptr);
    std::vector<pid_t> children;
    for (unsigned w = 0; w < pipes.size(); ++w) {
        pid_t child = fork();
        if (child < 0) break;
        if (child == 0) {
#ifdef __linux__
            prctl(PR_SET_PDEATHSIG, SIGTERM);  // a command that is stopped stops its workers
#endif
            for (unsigned other = 0; other < pipes.size(); ++other) {
                ::close(pipes[other][0]);
                if (other != w) ::close(pipes[other][1]);
            }
            CaughtMessages messages(pipes[w][1]);
            for (size_t i; (i = shared->next++) < jobs.size();) {
                messages.Start();
                Outcome outcome;
                ConvertOne(jobs[i], plan, intoDirectory, outcome);
                outcome.finished = true;
                sharedOutcomes[i] = outcome;
                shared->done += outcome.bytes;
                messages.Send(i);
            }
            std::fflush(nullptr);
            _exit(0);
        }
        children.push_back(child);
    }
    // Only the workers write to the pipes: a pipe ends when its worker does
    // (at once for one that could not be started).
    for (const auto &ends : pipes) ::close(ends[1]);
    if (children.empty()) {
        for (const auto &ends : pipes) ::close(ends[0]);
        munmap(memory, size);
        return false;
    }
    MessagesInOrder messages(jobs.size());
    std::vector<pollfd> open;
    for (const auto &ends : pipes) open.push_back({ends[0], POLLIN, 0});
    std::vector<std::string> received(open.size());
    while (std::any_of(open.begin(), open.end(), [](const pollfd &p) { return p.fd >= 0; })) {
        int ready = ::poll(open.data(), open.size(), 100);
        if (ready < 0 && errno != EINTR) break;
        for (size_t w = 0; ready > 0 && w < open.size(); ++w) {
            if (open[w].fd < 0 || open[w].revents == 0) continue;
            char block[65536];
            ssize_t got = ::read(open[w].fd, block, sizeof block);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                ::close(open[w].fd);
                open[w].fd = -1;  // poll passes over it
                continue;
            }
            received[w].append(block, static_cast<size_t>(got));
            messages.Take(received[w]);
        }
        messages.Write(false);
        progress.Update(shared->done.load());
    }
    for (pid_t child : children) {
        int status = 0;
        while (waitpid(child, &status, 0) < 0 && errno == EINTR) {}
    }
    messages.Write(true);
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
