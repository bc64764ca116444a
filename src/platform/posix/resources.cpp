// Module resources of the POSIX build: the message texts and the data
// resources are compiled into the library and found by the same calls as on
// Windows.
#include <cstring>

#include "platform/platform.h"
#include "platform/posix/system_error.h"

namespace kx::os {
namespace {

#include "messages.inc"

// The module instance: the address of a datum of the library itself.
const char kModuleTag = 0;

// A data resource: its type and id, and its bytes.
struct ResourceEntry {
    uint16_t type;
    uint16_t id;
    const void *data;
    DWORD size;
};

// The data resources (type 264: character-set maps and identity tables),
// generated from resources/charsets; the string table is kMessageTexts.
#include "resources.inc"

bool IsIntegerResource(const char *name) { return reinterpret_cast<uintptr_t>(name) <= 0xFFFF; }

}  // namespace

HMODULE ThisModule() { return const_cast<char *>(&kModuleTag); }

HRSRC FindResourceA(HMODULE module, const char *name, const char *type) {
    if (module != ThisModule()) return posix::Fail(ERROR_INVALID_HANDLE, HRSRC{nullptr});
    if (!IsIntegerResource(name) || !IsIntegerResource(type))
        return posix::Fail(ERROR_RESOURCE_NAME_NOT_FOUND, HRSRC{nullptr});
    auto id = static_cast<uint16_t>(reinterpret_cast<uintptr_t>(name));
    auto kind = static_cast<uint16_t>(reinterpret_cast<uintptr_t>(type));
    bool typeSeen = false;
    for (const ResourceEntry &entry : kResourceEntries) {
        if (entry.data == nullptr || entry.type != kind) continue;
        typeSeen = true;
        if (entry.id == id) return const_cast<ResourceEntry *>(&entry);
    }
    return posix::Fail(typeSeen ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND,
                       HRSRC{nullptr});
}

HGLOBAL LoadResource(HMODULE /*module*/, HRSRC resource) {
    if (resource == nullptr) return posix::Fail(ERROR_INVALID_HANDLE, HGLOBAL{nullptr});
    return const_cast<void *>(static_cast<const ResourceEntry *>(resource)->data);
}

void *LockResource(HGLOBAL data) { return data; }

DWORD SizeofResource(HMODULE /*module*/, HRSRC resource) {
    if (resource == nullptr) return posix::Fail(ERROR_INVALID_HANDLE, DWORD{0});
    return static_cast<const ResourceEntry *>(resource)->size;
}

int LoadStringA(HMODULE module, UINT id, char *buffer, int bufferSize) {
    if (module != ThisModule()) return posix::Fail(ERROR_INVALID_HANDLE, 0);
    if (buffer == nullptr || bufferSize <= 0) return posix::Fail(ERROR_INVALID_PARAMETER, 0);
    if (id >= sizeof kMessageTexts / sizeof kMessageTexts[0]) {
        buffer[0] = '\0';
        return posix::Fail(ERROR_RESOURCE_NAME_NOT_FOUND, 0);
    }
    // As on Windows: at most bufferSize - 1 characters and a terminator.
    size_t length = std::strlen(kMessageTexts[id]);
    size_t n = length < static_cast<size_t>(bufferSize - 1) ? length : static_cast<size_t>(bufferSize - 1);
    std::memcpy(buffer, kMessageTexts[id], n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

}  // namespace kx::os
