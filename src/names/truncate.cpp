// Shortening a path for display: characters are taken out and "..." put in
// their place until the text that shows the path fits the client width of a
// window, optionally out of the directory part first so that the file name
// stays readable. All positions are byte positions.
#include <algorithm>
#include <cstddef>
#include <cstring>

#include "core/boundary.h"
#include "kxfiles.h"
#include "platform/platform.h"

namespace {

using kx::os::LONG;

constexpr int kMinimumCut = 4;  // every cut takes out at least 4 characters and puts 3 back

class Measures {
public:
    explicit Measures(void *window) { open_ = kx::os::OpenWindowText(window, &text_, &room_); }
    ~Measures() {
        if (open_) kx::os::CloseWindowText(&text_);
    }
    bool Open() const { return open_; }
    LONG Room() const { return room_; }
    LONG Width(const char *chars, size_t length) {
        LONG width = 0;
        kx::os::MeasureWindowText(&text_, chars, static_cast<int>(length), &width);
        return width;
    }

private:
    kx::os::WindowText text_{};
    LONG room_ = 0;
    bool open_ = false;
};

// How many characters to take out of a text of `length` characters that is
// `width` wide, for it to fit `room` with "..." (`ellipsis` wide) put in.
size_t Estimate(size_t length, LONG width, LONG room, LONG ellipsis) {
    int64_t over = static_cast<int64_t>(width) - room + ellipsis;
    int64_t whole = std::max<int64_t>(width, 1);
    int64_t n = static_cast<int64_t>(length) * std::max<int64_t>(over, 0) / whole + 1;
    return static_cast<size_t>(std::max<int64_t>(n, kMinimumCut));
}

// Keep-file-name pass: takes characters out of the directory part, keeping the
// path up to a backslash, then "...", then the path from its last backslash on.
// False when the path has no such two backslashes far enough apart.
bool CutDirectoryPart(char *path, size_t n) {
    ptrdiff_t length = static_cast<ptrdiff_t>(std::strlen(path));
    ptrdiff_t last = -1;
    for (ptrdiff_t i = length - 2; i >= 1 && last < 0; --i)
        if (path[i] == '\\') last = i;
    if (last < 0) return false;
    ptrdiff_t keep = -1;  // the backslash kept before "..."
    for (ptrdiff_t i = last - static_cast<ptrdiff_t>(n + 1); i >= 1 && keep < 0; --i)
        if (path[i] == '\\') keep = i;
    for (ptrdiff_t i = 0; i < last && keep < 0; ++i)
        if (path[i] == '\\') keep = i;
    if (keep < 0) return false;
    // The forward search may find a backslash close to the last one; taking out
    // fewer than 4 characters there would lengthen the path, so that cut is not
    // made and the path is cut from the end instead.
    if (last - keep - 1 < kMinimumCut) return false;
    std::memcpy(path + keep + 1, "...", 3);
    std::memmove(path + keep + 4, path + last, static_cast<size_t>(length - last + 1));
    return true;
}

int32_t Truncate(char *path, char *wholeText, void *window, int32_t keepFileName) {
    if (window == nullptr || path == nullptr || std::strlen(path) <= 3) return 0;
    // The whole text must hold the path at its end, in the same memory.
    if (wholeText != nullptr && path < wholeText) return 0;
    char *text = wholeText != nullptr ? wholeText : path;
    size_t pathStart = static_cast<size_t>(path - text);

    Measures measures(window);
    if (!measures.Open()) return 0;
    LONG room = measures.Room();
    size_t length = std::strlen(text);
    LONG width = measures.Width(text, length);
    if (width <= room) return 1;
    LONG ellipsis = measures.Width("...", 3);
    size_t n = Estimate(length, width, room, ellipsis);

    if (keepFileName && CutDirectoryPart(path, n)) {
        length = std::strlen(text);
        width = measures.Width(text, length);
        if (width <= room) return 1;
        n = Estimate(length, width, room, ellipsis);
    }

    for (;;) {
        bool atStart = false;
        size_t cut;
        if (length < n + 1 || length - (n + 1) < pathStart) {
            cut = pathStart + 1;  // the path's second character: it cannot get shorter
            atStart = true;
        } else {
            cut = length - (n + 1);
        }
        // A path of 4 characters would only grow by the cut ("C:..." is 5): it
        // is left as it stands.
        if (cut + 4 > length) return 1;
        std::memcpy(text + cut + 1, "...", 4);
        length = cut + 4;
        width = measures.Width(text, length);
        if (width <= room || atStart) return 1;
        n = Estimate(length, width, room, ellipsis);
    }
}

}  // namespace

KXEXPORT int32_t KXAPI kxFileTruncateName(char *path, char *wholeText, void *window,
                                          int32_t keepFileName) {
    return kx::Guarded<int32_t>(0, [&] {
        // Nothing to measure with or nothing to shorten is a failure, 9; a path
        // that needs no shortening is an answer, 0 with nothing recorded.
        if (window == nullptr || path == nullptr) return kx::Failed<int32_t>(kx::err::kMisc, 0);
        return Truncate(path, wholeText, window, keepFileName);
    });
}
