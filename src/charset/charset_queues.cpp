// The two queues of the character-set layer's record: values owed to the
// reader and source values taken back. Out of line and in a file of their
// own, so that the per-value read path, which only tests the counts, stays
// small.
#include "charset/charset_layer.h"

namespace kx {
namespace {

uint16_t TakeFirst(uint16_t (&queue)[kCharsetQueueLength], uint16_t &count) {
    uint16_t v = queue[0];
    for (uint32_t i = 1; i < count; ++i) queue[i - 1] = queue[i];
    --count;
    return v;
}

}  // namespace

bool QueueOutput(CharsetState &s, uint16_t v) {
    if (s.outputCount >= kCharsetQueueLength) return false;
    s.outputQueue[s.outputCount++] = v;
    return true;
}

uint16_t CharsetQueuedValue(CharsetState &s) { return TakeFirst(s.outputQueue, s.outputCount); }

bool GiveBackSource(CharsetState &s, uint16_t v) {
    if (s.inputCount >= kCharsetQueueLength) return false;
    for (uint32_t i = s.inputCount; i > 0; --i) s.inputQueue[i] = s.inputQueue[i - 1];
    s.inputQueue[0] = v;
    ++s.inputCount;
    return true;
}

uint16_t TakeBackSource(CharsetState &s) { return TakeFirst(s.inputQueue, s.inputCount); }

}  // namespace kx
