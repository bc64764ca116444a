#include "staged_output.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <io.h>
#include <process.h>
#define getpid _getpid
#ifndef W_OK
#define W_OK 2
#endif
#else
#include <unistd.h>
#endif

#include "cli.h"
#include "interrupt.h"

namespace kxcli {

namespace {

std::string DirectoryOf(const std::string &path) {
#ifdef _WIN32
    size_t slash = path.find_last_of("/\\");
#else
    size_t slash = path.find_last_of('/');
#endif
    if (slash == std::string::npos) return "";
    return path.substr(0, slash + 1);
}

bool CopyToStandardOutput(const std::string &path) {
    FILE *in = std::fopen(path.c_str(), "rb");
    if (in == nullptr) {
        ReportSystemError(path, errno);
        return false;
    }
    static char block[256 * 1024];
    bool ok = true;
    for (size_t got; (got = std::fread(block, 1, sizeof block, in)) > 0;)
        if (std::fwrite(block, 1, got, stdout) != got) {
            ok = false;
            break;
        }
    std::fclose(in);
    if (std::fflush(stdout) != 0) ok = false;
    if (!ok) std::fprintf(stderr, "kxfile: standard output: write error\n");
    return ok;
}

// The mode a new file gets: everyone may read and write it, less the umask.
FileAttributes NewFileAttributes() {
#ifdef _WIN32
    return {true, false, 0666, 0, 0};
#else
    mode_t mask = ::umask(0);
    ::umask(mask);
    return {true, false, static_cast<uint32_t>(0666 & ~mask), 0, 0};
#endif
}

}  // namespace

std::string TemporaryDirectory() {
#ifdef _WIN32
    const char *dir = std::getenv("TEMP");
    std::string text = dir != nullptr && *dir != '\0' ? dir : ".";
    if (text.back() != '\\' && text.back() != '/') text += '\\';
#else
    const char *dir = std::getenv("TMPDIR");
    std::string text = dir != nullptr && *dir != '\0' ? dir : "/tmp";
    if (text.back() != '/') text += '/';
#endif
    return text;
}

std::string MakeTemporaryFile(const std::string &directory) {
    static unsigned counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        // KX and six hexadecimal digits with the extension TMP: a valid name on
        // every volume, 8.3 volumes included.
        unsigned number = (static_cast<unsigned>(getpid()) * 2654435761u + counter++ * 40503u) & 0xFFFFFFu;
        char name[16];
        std::snprintf(name, sizeof name, "KX%06X.TMP", number);
        std::string path = directory + name;
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) {
            ReportSystemError(directory.empty() ? "." : directory, errno);
            return "";
        }
    }
    std::fprintf(stderr, "kxfile: %s: no free temporary name\n", directory.c_str());
    return "";
}

bool CheckStandardOutput(const FileFacts &input) {
    FileFacts output = ExamineDescriptor(1);
    if (output.kind != FileKind::kRegular || !output.SameFileAs(input)) return true;
    std::fprintf(stderr, "kxfile: standard output: is the same file as the input\n");
    return false;
}

StagedOutput::~StagedOutput() {
    if (open_) Abort();
}

std::string StagedOutput::Refuse(const std::string &message) {
    std::fprintf(stderr, "kxfile: %s: %s\n", shown_.c_str(), message.c_str());
    return "";
}

std::string StagedOutput::Begin(const std::string &target, const OutputRequest &request) {
    // A signal waits until the temporary file is recorded for removal.
    SignalsHeld held;
    shown_ = target == "-" ? "standard output" : target;
    keepPartial_ = request.keepPartial;
    Undo undo;
    if (target == "-") {
        if (!CheckStandardOutput(request.input)) return "";
        // A pipe, a terminal or a device takes the data as they come; a file
        // is written whole at the end, so that a failure adds nothing to it.
        std::string path = ExamineDescriptor(1).kind == FileKind::kRegular ? "" : DescriptorPath(1);
        if (!path.empty()) {
            mode_ = Mode::kInPlace;
            target_ = path;
            open_ = true;
            return LibraryName(path);
        }
        mode_ = Mode::kStandardOutput;
        staged_ = MakeTemporaryFile(TemporaryDirectory());
        if (staged_.empty()) return "";
        undo.path = staged_;
    } else {
        target_ = ReachedPath(target, !request.exactName);
        FileFacts facts = Examine(target_);
        if (facts.error != 0) return Refuse(std::strerror(facts.error));
        if (facts.kind == FileKind::kDirectory) return Refuse(std::strerror(EISDIR));
        bool input = facts.SameFileAs(request.input);
        if (input && (request.append || !request.mayReplaceInput || facts.kind == FileKind::kOther))
            return Refuse("is the same file as the input; nothing written");
        if (facts.kind == FileKind::kOther) {
            // Renaming over a device or a FIFO would replace it by a file.
            mode_ = Mode::kInPlace;
            open_ = true;
            return LibraryName(target_);
        }
        if (facts.kind == FileKind::kRegular && ::access(target_.c_str(), W_OK) != 0)
            return Refuse(std::strerror(errno));
        if (request.append) {
            mode_ = Mode::kAppend;
            undo.path = target_;
            undo.kind = facts.kind == FileKind::kRegular ? Undo::kCutBack : Undo::kRemove;
            undo.size = facts.size;
            if (!keepPartial_) undo_ = Remember(undo);
            open_ = true;
            return LibraryName(target_);
        }
        mode_ = Mode::kStaged;
        attributes_ = facts.kind == FileKind::kRegular ? facts.attributes : NewFileAttributes();
        staged_ = MakeTemporaryFile(DirectoryOf(target_));
        if (staged_.empty()) return "";
        undo.path = staged_;
        if (keepPartial_) {
            undo.kind = Undo::kKeep;
            undo.target = target_;
            undo.attributes = attributes_;
        }
    }
    undo_ = Remember(undo);
    open_ = true;
    std::string name = LibraryName(staged_);
    if (name.empty()) Abort();
    return name;
}

bool StagedOutput::Commit() {
    if (!open_) return false;
    open_ = false;
    switch (mode_) {
    case Mode::kAppend:
    case Mode::kInPlace:
        Forget(undo_);
        return true;
    case Mode::kStandardOutput: {
        bool ok = CopyToStandardOutput(staged_);
        RunUndo(undo_);
        return ok;
    }
    case Mode::kStaged: break;
    }
    SignalsHeld held;
    GiveAttributes(staged_.c_str(), attributes_);
    if (!RenameOver(staged_.c_str(), target_.c_str())) {
        int error = errno;
        std::remove(staged_.c_str());
        Forget(undo_);
        ReportSystemError(shown_, error);
        return false;
    }
    Forget(undo_);
    return true;
}

void StagedOutput::Abort() {
    if (!open_) return;
    open_ = false;
    // What the undo was recorded as: the temporary file removed, or kept
    // under the target's name (--keep-partial); an append cut back.
    RunUndo(undo_);
}

}  // namespace kxcli
