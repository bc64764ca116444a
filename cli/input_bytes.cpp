#include "input_bytes.h"

#include "cli.h"
#include "file_facts.h"
#include "options.h"

namespace kxcli {

namespace {
constexpr size_t kBlockSize = 64 * 1024;
}

InputBytes::~InputBytes() {
    if (file_ != nullptr) kxFileClose(file_);
}

bool InputBytes::Open(const std::string &path) {
    path_ = path;
    block_.resize(kBlockSize);
    if (path == "-") {
        stream_ = stdin;
        return true;
    }
    FileFacts facts;
    NameBuffer name;
    if (!ExamineInput(path, facts) || !name.Set(LibraryName(path))) return false;
    file_ = kxFileOpen(name.text, 0);
    if (file_ == nullptr) {
        ReportLibraryError(path);
        return false;
    }
    return true;
}

bool InputBytes::Fill() {
    if (failed_ || (file_ == nullptr && stream_ == nullptr)) return false;
    blockStart_ += filled_;
    position_ = 0;
    filled_ = 0;
    if (stream_ != nullptr) {
        filled_ = std::fread(block_.data(), 1, block_.size(), stream_);
        if (filled_ == 0 && std::ferror(stream_)) {
            std::fprintf(stderr, "kxfile: %s: read error\n", path_.c_str());
            failed_ = true;
        }
    } else {
        uint32_t got = 0;
        if (!kxFileRead(file_, block_.data(), static_cast<uint32_t>(block_.size()), &got)) {
            ReportLibraryError(path_);
            failed_ = true;
            return false;
        }
        filled_ = got;
    }
    if (filled_ > 0 && observer_) observer_(block_.data(), filled_);
    return filled_ > 0;
}

int RunOverFiles(const char *command, int argc, char **argv, void (*usage)(FILE *),
                 const std::function<bool(const std::string &path, InputBytes &input)> &each) {
    ParsedArgs args;
    if (auto done = ParseCommandLine(command, argc, argv, {}, usage, args)) return *done;
    if (args.positional.empty()) return UsageError(command, "no FILE given");
    int status = 0;
    for (const std::string &path : args.positional) {
        InputBytes input;
        if (!input.Open(path) || !each(path, input)) status = 1;
    }
    return status;
}

}  // namespace kxcli
