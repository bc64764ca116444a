// The text layer's state: switching the layer on and off, what it does when
// the handle closes or moves, and what the stream functions ask of it.
#include <cstring>
#include <new>

#include "core/boundary.h"
#include "kxfiles.h"
#include "text/text_layer.h"

namespace kx {

using namespace textchar;

ErrorCode TextClose(FileHandle *handle) {
    if (handle == nullptr || handle->text == nullptr) return err::kInvalidHandle;
    TextFields &t = handle->text->work;
    // Only a stream that can write gets bytes: closing a handle that was read
    // leaves its buffer alone. A failed write here keeps its code in the
    // stream, whose final flush fails again and reports it; the close goes on.
    if (!CanWriteNow(handle->stream)) return err::kNone;
    // Spaces still being collected are written, as they would have been before
    // the next byte, unless the options drop trailing spaces: a file that ends
    // in spaces without a line end keeps them.
    if (t.phase == kTextSpaces) {
        if (t.options & TXT_STRIP_TRAILING_SPACES) {
            t.pending = 0;
            t.phase = kTextNormal;
        } else {
            TextWriteSpaces(handle);
        }
    }
    if (t.options & TXT_CTRLZ_AT_CLOSE) PutByte(handle->stream, kCtrlZ);
    return err::kNone;
}

int TextReposition(FileHandle *handle) {
    TextFields &t = handle->text->work;
    // Spaces still being collected belong where they were written: they go
    // out before the move, as at close (or are dropped with trailing spaces).
    int result = 0;
    if (t.phase == kTextSpaces && !(t.options & TXT_STRIP_TRAILING_SPACES) && CanWriteNow(handle->stream) &&
        !TextWriteSpaces(handle))
        result = kStreamError;
    t.phase = kTextNormal;
    t.pending = 0;
    t.column = 0;
    t.held = 0;
    t.inQuotes = 0;
    t.minRun = 1;
    t.lastWasCR = 0;
    t.ffRecordEnd = 0;
    return result;
}

void TextNoteInsertedData(FileHandle *handle, const void *data, uint32_t length) {
    if (handle->text == nullptr || data == nullptr || length == 0) return;
    const uint16_t recordBytes =
        TXT_READ_CR_ENDS_RECORD | TXT_READ_LF_ENDS_RECORD | TXT_READ_CRLF_ENDS_RECORD;
    if (static_cast<const uint8_t *>(data)[length - 1] == kFF &&
        (handle->text->work.options & recordBytes) == 0)
        handle->text->work.ffRecordEnd = 1;
}

uint32_t TextRecordsWritten(const FileHandle *handle) {
    return handle->text != nullptr ? handle->text->work.recordsWritten : 0;
}

}  // namespace kx

using namespace kx;

KXEXPORT int32_t KXAPI kxFileSetTranslation(KXFILE file, uint32_t options, uint32_t tabWidth) {
    return Guarded<int32_t>(err::kOutOfMemory, [&]() -> int32_t {
        if (file == nullptr) {
            SetThreadError(err::kInvalidHandle);
            return err::kInvalidHandle;
        }
        if (options == 0) {
            file->flags &= ~kLayerText;  // the state stays with the handle
            return err::kNone;
        }
        void *memory = os::LocalAlloc(os::LPTR, sizeof(TextState));
        if (memory == nullptr) {
            SetThreadError(err::kOutOfMemory);
            return err::kOutOfMemory;
        }
        auto *state = new (memory) TextState{};
        state->work.options = static_cast<uint16_t>(options);
        state->work.tabWidth = static_cast<uint16_t>(tabWidth);
        state->work.phase = kTextNormal;
        state->work.minRun = 1;
        os::LocalFree(file->text);
        file->text = state;
        file->flags |= kLayerText;
        return err::kNone;
    });
}
