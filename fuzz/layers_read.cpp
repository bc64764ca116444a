// Reading a file of arbitrary bytes through any stack of layers: the bytes
// delivered, the result and the counters do not depend on the sizes of the
// reads, nor on whether the layers take their block paths.
// Input: layers (fuzz_support.h), read sizes, then the file's bytes.
#include <algorithm>

#include "core/block_paths.h"
#include "fuzz_support.h"

using namespace kxfuzz;

namespace {

// A failed read (a record too long) delivers nothing, so reads of other sizes
// may have delivered more or less before the failure, but the same bytes.
void Same(const Result &a, const Result &b, const char *what) {
    Check(a.ok == b.ok && a.error == b.error, what, "result differs");
    const size_t common = std::min(a.bytes.size(), b.bytes.size());
    Check(a.bytes.compare(0, common, b.bytes, 0, common) == 0, what, Versus(a.bytes, b.bytes));
    if (a.ok) Check(a.bytes == b.bytes && a.count == b.count, what, "bytes delivered differ");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Input input(data, size);
    const Layers layers = TakeLayers(input);
    const std::vector<uint32_t> sizes = TakeSizes(input);
    WriteFile(DriveC() + "/in", input.Rest());

    kx::testing::SetBlockPaths(true);
    const Result whole = ReadThrough("in", layers, {65536});
    if (!whole.opened) return 0;
    const Result pieces = ReadThrough("in", layers, sizes);
    kx::testing::SetBlockPaths(false);
    const Result valueAtATime = ReadThrough("in", layers, sizes);
    kx::testing::SetBlockPaths(true);

    Same(whole, pieces, "reads of other sizes");
    Same(pieces, valueAtATime, "the value-at-a-time paths");
    if (whole.ok) Check(whole.count == whole.bytes.size(), "the delivered count");
    return 0;
}
