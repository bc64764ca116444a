// Writing arbitrary bytes through any stack of layers: the file, the result
// and the expanded count do not depend on the block paths, nor (except where
// the layers look at whole writes: record mode, Japanese detection) on the
// sizes of the writes.
// Input: layers (fuzz_support.h), write sizes, then the bytes written.
#include "core/block_paths.h"
#include "fuzz_support.h"

using namespace kxfuzz;

namespace {

void Same(const Result &a, const Result &b, const char *what) {
    Check(a.ok == b.ok && a.error == b.error, what, "result differs");
    Check(a.bytes == b.bytes, what, Versus(a.bytes, b.bytes));
    Check(a.count == b.count, what, "expanded count differs");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    Input input(data, size);
    const Layers layers = TakeLayers(input);
    const std::vector<uint32_t> sizes = TakeSizes(input);
    const std::string bytes = input.Rest();
    DriveC();

    kx::testing::SetBlockPaths(true);
    const Result pieces = WriteThrough("out", layers, bytes, sizes);
    if (!pieces.opened) return 0;
    kx::testing::SetBlockPaths(false);
    const Result valueAtATime = WriteThrough("out", layers, bytes, sizes);
    kx::testing::SetBlockPaths(true);
    Same(pieces, valueAtATime, "the value-at-a-time paths");

    const bool wholeWrites = layers.method == 32 || (layers.options & CSF_DETECT_JAPANESE);
    if (!wholeWrites && pieces.ok)
        Same(WriteThrough("out", layers, bytes, {1u << 30}), pieces, "writes of other sizes");
    return 0;
}
