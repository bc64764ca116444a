// Reading a file of arbitrary bytes through any stack of layers (text options,
// a character-set pair, a compression method or record mode): the bytes
// delivered, the result and the counters do not depend on the sizes of the
// reads, nor on whether the layers take their block paths.
//
// Input: layers (fuzz_support.h), read sizes, then the file's bytes.
#include "core/block_paths.h"
#include "fuzz_support.h"

using namespace kxfuzz;

namespace {

bool StartsWith(const std::string &whole, const std::string &start) {
    return whole.compare(0, start.size(), start) == 0;
}

// A failed read (a record too long) delivers nothing, so reads of other sizes
// may have delivered more or less before the failure, but the same bytes.
void Same(const ReadResult &a, const ReadResult &b, const char *what) {
    Check(a.ok == b.ok && a.error == b.error, what, "result differs");
    const std::string detail = Hex(a.bytes) + "\n-- against --\n" + Hex(b.bytes);
    if (!a.ok) {
        Check(StartsWith(a.bytes, b.bytes) || StartsWith(b.bytes, a.bytes), what, detail);
        return;
    }
    Check(a.bytes == b.bytes, what, detail);
    Check(a.delivered == b.delivered, what, "bytes delivered differ");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Input input(data, size);
    const Layers layers = TakeLayers(input);
    const std::vector<uint32_t> sizes = TakeSizes(input);
    WriteFile(DriveC() + "/in", input.Rest());

    kx::testing::SetBlockPaths(true);
    const ReadResult whole = ReadThrough("in", layers, {65536});
    if (!whole.opened) return 0;
    const ReadResult pieces = ReadThrough("in", layers, sizes);
    kx::testing::SetBlockPaths(false);
    const ReadResult valueAtATime = ReadThrough("in", layers, sizes);
    kx::testing::SetBlockPaths(true);

    Same(whole, pieces, "reads of other sizes");
    Same(pieces, valueAtATime, "the value-at-a-time paths");
    if (whole.ok) Check(whole.delivered == whole.bytes.size(), "the delivered count");
    return 0;
}
