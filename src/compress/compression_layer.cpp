// Switching the compression layer on, and handing its reads and writes to
// record mode or to the method the handle was set up with.
#include "compress/compression_layer.h"

#include <new>

#include "compress/methods.h"
#include "compress/record_mode.h"
#include "core/boundary.h"
#include "kxfiles.h"

namespace kx {
namespace {

constexpr uint32_t kMethodOff = 0;
constexpr uint32_t kMethodSpaces = 1;
constexpr uint32_t kMethodRepeat = 2;
constexpr uint32_t kMethodRankText = 4;
constexpr uint32_t kMethodRankRaw = 8;
constexpr uint32_t kMethodRecords = 32;

}  // namespace

int CompressionRead(FileHandle *handle, void *buffer, uint32_t length, uint32_t *count) {
    if (!LayerEntryReady(handle, buffer, length, count, true)) return 0;
    auto *out = static_cast<uint8_t *>(buffer);
    if (handle->flags & kLayerRecordMode) return RecordRead(handle, out, length, count);
    CompressionState *state = handle->compression;
    if (state == nullptr) {
        SetThreadError(err::kInternal);
        return 0;
    }
    switch (state->method) {
    case kMethodSpaces:
        return SpaceRead(handle, *state, out, length, count);
    case kMethodRepeat:
        return RepeatRead(handle, *state, out, length, count);
    case kMethodRankText:
    case kMethodRankRaw:
        return RankRead(handle, *state, out, length, count);
    default:
        SetThreadError(err::kMisc);  // the number was taken unchecked when set
        return 0;
    }
}

int CompressionWrite(FileHandle *handle, const void *buffer, uint32_t length, uint32_t *count) {
    if (!LayerEntryReady(handle, buffer, length, count, false)) return 0;
    const auto *in = static_cast<const uint8_t *>(buffer);
    if (handle->flags & kLayerRecordMode) return RecordWrite(handle, in, length, count);
    CompressionState *state = handle->compression;
    if (state == nullptr) {
        SetThreadError(err::kInternal);
        return 0;
    }
    switch (state->method) {
    case kMethodSpaces:
        return SpaceWrite(handle, *state, in, length, count);
    case kMethodRepeat:
        return RepeatWrite(handle, *state, in, length, count);
    case kMethodRankText:
    case kMethodRankRaw:
        return RankWrite(handle, *state, in, length, count);
    default:
        SetThreadError(err::kMisc);
        return 0;
    }
}

void CompressionReposition(FileHandle *handle) {
    if (handle->records != nullptr) RecordReset(*handle->records);
    if (CompressionState *state = handle->compression) {
        const uint32_t method = state->method, expanded = state->expandedCount;
        *state = CompressionState{};
        state->method = method;
        state->expandedCount = expanded;
        ResetRanks(*state);
    }
}

uint32_t CompressionExpandedCount(const FileHandle *handle) {
    return handle->compression != nullptr ? handle->compression->expandedCount : 0;
}

}  // namespace kx

using namespace kx;

KXEXPORT int32_t KXAPI kxFileSetCompression(KXFILE file, uint32_t method) {
    return Guarded<int32_t>(err::kOutOfMemory, [&]() -> int32_t {
        if (file == nullptr) {
            SetThreadError(err::kInvalidHandle);
            return err::kInvalidHandle;
        }
        if (method == kMethodOff) {
            // Record mode, once on, stays on; the state stays with the handle.
            file->flags &= ~kLayerCompression;
            return err::kNone;
        }
        if (file->flags & (kLayerCompression | kLayerRecordMode)) {
            SetThreadError(err::kConflictingCompression);
            return err::kConflictingCompression;
        }
        if (method == kMethodRecords) {
            ErrorCode code = RecordStart(file);
            if (code != err::kNone) return Failed<int32_t>(code, code);
            file->flags |= kLayerRecordMode;
            return err::kNone;
        }
        void *memory = os::LocalAlloc(os::LPTR, sizeof(CompressionState));
        if (memory == nullptr) {
            SetThreadError(err::kOutOfMemory);
            return err::kOutOfMemory;
        }
        auto *state = new (memory) CompressionState{};
        state->method = method;
        ResetRanks(*state);
        os::LocalFree(file->compression);
        file->compression = state;
        file->flags |= kLayerCompression;
        return err::kNone;
    });
}
