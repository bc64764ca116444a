#include "staged_output.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#ifdef _WIN32
#include <io.h>
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

#include "cli.h"

namespace kxcli {
namespace fs = std::filesystem;

namespace {

void ReportSystemError(const std::string &what, int error) {
    std::fprintf(stderr, "kxfile: %s: %s\n", what.c_str(), std::strerror(error));
}

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
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
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

StagedOutput::~StagedOutput() {
    if (open_) Abort();
}

std::string StagedOutput::Begin(const std::string &target, bool append, bool keepPartial) {
    target_ = target;
    append_ = append;
    keepPartial_ = keepPartial;
    if (append && target != "-") {
        std::error_code error;
        existed_ = fs::exists(target, error);
        appendedFrom_ = existed_ ? fs::file_size(target, error) : 0;
        if (error) {
            ReportSystemError(target, error.value());
            return "";
        }
        open_ = true;
        return LibraryName(target);
    }
    staged_ = MakeTemporaryFile(target == "-" ? TemporaryDirectory() : DirectoryOf(target));
    if (staged_.empty()) return "";
    open_ = true;
    std::string name = LibraryName(staged_);
    if (name.empty()) Abort();
    return name;
}

bool StagedOutput::Commit() {
    if (!open_) return false;
    open_ = false;
    if (staged_.empty()) return true;  // appended in place
    if (target_ == "-") {
        bool ok = CopyToStandardOutput(staged_);
        std::remove(staged_.c_str());
        return ok;
    }
    std::error_code error;
    fs::rename(staged_, target_, error);
    if (error) {
        ReportSystemError(target_, error.value());
        std::remove(staged_.c_str());
        return false;
    }
    return true;
}

void StagedOutput::Abort() {
    if (!open_) return;
    open_ = false;
    std::error_code error;
    if (staged_.empty()) {
        if (keepPartial_) return;
        if (existed_) fs::resize_file(target_, appendedFrom_, error);
        else fs::remove(target_, error);
        return;
    }
    if (keepPartial_ && target_ != "-") fs::rename(staged_, target_, error);
    else fs::remove(staged_, error);
}

}  // namespace kxcli
