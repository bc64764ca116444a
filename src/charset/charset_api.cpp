// The exported switches of the character-set layer.
#include "charset/charset_layer.h"
#include "core/boundary.h"
#include "kxfiles.h"
#include "platform/platform.h"

using namespace kx;

KXEXPORT int32_t KXAPI kxFileSetCharsetFlags(KXFILE file, uint16_t from, uint16_t to,
                                              uint32_t options, uint32_t variant) {
    return Guarded<int32_t>(err::kOutOfMemory, [&]() -> int32_t {
        if (file == nullptr) {
            SetThreadError(err::kInvalidHandle);
            return err::kInvalidHandle;
        }
        if (options == 0 && from == to) {
            file->flags &= ~kLayerCharset;  // the record stays with the handle
            return err::kNone;
        }
        CharsetState *state = nullptr;
        ErrorCode code = BuildCharsetState(from, to, options, variant, &state);
        if (code != err::kNone) {
            SetThreadError(code);
            return code;
        }
        os::LocalFree(file->charset);
        file->charset = state;
        file->flags |= kLayerCharset;
        return err::kNone;
    });
}

KXEXPORT int32_t KXAPI kxFileSetCharsetState(KXFILE file, int32_t on) {
    return Guarded<int32_t>(err::kInternal, [&]() -> int32_t {
        if (file == nullptr) {
            SetThreadError(err::kInvalidHandle);
            return err::kInvalidHandle;
        }
        CharsetState *s = file->charset;
        if ((file->flags & kLayerCharset) == 0 || s == nullptr) return err::kNone;
        // Bytes already written reach the file as they were translated. A
        // failed flush keeps its bytes in the buffer: the next write, flush or
        // close tries them again and reports the failure then.
        if (file->stream != nullptr && (file->stream->mode & kModeWriting))
            FlushBuffer(file->stream, kStreamEnd);
        if (on != 0 && (s->stateFlags & CSF_TRANSLATE)) s->stateFlags |= CSF_ACTIVE;
        else s->stateFlags &= static_cast<uint16_t>(~CSF_ACTIVE);
        return err::kNone;
    });
}
