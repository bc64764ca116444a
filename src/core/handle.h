// The record behind a KXFILE: the layer selection, the buffered stream, the
// layer states and the counters of one open file.
#pragma once

#include <cstdint>

#include "core/stream.h"

namespace kx {

struct CompressionState;  // the compression layer's record
struct CharsetState;      // the character-set layer's record
struct TextState;         // the text layer's record
struct RecordState;       // record mode's record (compression layer)

// Bits of FileHandle::flags: which layers take part, from the top.
constexpr uint32_t kLayerCompression = 0x1;  // compression layer on
constexpr uint32_t kLayerCharset = 0x2;      // character-set layer on
constexpr uint32_t kLayerText = 0x4;         // text layer on
constexpr uint32_t kLayerRecordMode = 0x8;   // record mode of the compression layer

constexpr uint32_t kPathBufferSize = 260;  // 259 characters and the terminator

}  // namespace kx

// The public header's opaque KXFILE points to this record.
struct KxFileHandle {
    uint32_t flags;                      // kLayer* bits; 0: plain bytes
    kx::BufferedStream *stream;          // owned
    kx::CompressionState *compression;   // owned; null until a compression method is enabled
    kx::CharsetState *charset;           // owned; null until character-set translation is enabled
    kx::TextState *text;                 // owned; null until text translation is enabled
    uint32_t bytesRead;                  // bytes delivered to callers by kxFileRead
    uint32_t bytesWritten;               // bytes accepted from callers by kxFileWrite
    kx::RecordState *records;            // owned; null until record mode is switched on
    char fullName[kx::kPathBufferSize];  // the file's full name, filled when the handle is made
};

namespace kx {

using FileHandle = ::KxFileHandle;

// A new handle around `stream`, every other field zero; null when memory runs
// out. The caller fills fullName.
FileHandle *AllocFileHandle(BufferedStream *stream);

// Frees the handle's layer states (text, character set, compression) and the
// handle itself; the stream must already be closed.
void FreeFileHandle(FileHandle *handle);

}  // namespace kx
