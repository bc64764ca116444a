#include "core/errors.h"

#include <atomic>

#include "core/module.h"
#include "kxfiles.h"
#include "platform/platform.h"

namespace kx {
namespace {

// One thread's last error. Records are only ever added, at the head of one
// library-wide list, and never removed while the module is loaded: a record's
// identifier and link never change once it is linked in, so the list is walked
// without a lock. Only the record's own thread writes its code.
struct ThreadErrorRecord {
    uint32_t threadId;        // the operating system's identifier of the thread
    ErrorCode code;           // the thread's last error
    ThreadErrorRecord *next;  // the record added before this one
};

std::atomic<ThreadErrorRecord *> threadErrorHead{nullptr};

// The calling thread's record, remembered after the first lookup; a new
// thread that reuses an old identifier finds the old record, as the list does.
thread_local ThreadErrorRecord *ownRecord = nullptr;

ThreadErrorRecord *FindRecord(uint32_t threadId) {
    for (ThreadErrorRecord *r = threadErrorHead.load(std::memory_order_acquire); r; r = r->next)
        if (r->threadId == threadId) return r;
    return nullptr;
}

ThreadErrorRecord *OwnRecord() {
    if (ownRecord == nullptr) ownRecord = FindRecord(os::GetCurrentThreadId());
    return ownRecord;
}

struct SystemErrorRow {
    int16_t win32;    // Win32 error number
    ErrorCode code;   // what the library reports for it
};

// Searched first row first.
constexpr SystemErrorRow kSystemErrorMap[19] = {
    {0, 0},      // ERROR_SUCCESS
    {123, 5},    // ERROR_INVALID_NAME
    {1214, 5},   // ERROR_INVALID_NETNAME
    {111, 5},    // ERROR_BUFFER_OVERFLOW
    {161, 6},    // ERROR_BAD_PATHNAME
    {53, 6},     // ERROR_BAD_NETPATH
    {144, 6},    // ERROR_DIR_NOT_ROOT
    {267, 6},    // ERROR_DIRECTORY
    {113, 8},    // ERROR_NO_MORE_SEARCH_HANDLES
    {5, 1},      // ERROR_ACCESS_DENIED
    {6, 4},      // ERROR_INVALID_HANDLE
    {1200, 3},   // ERROR_BAD_DEVICE
    {55, 3},     // ERROR_DEV_NOT_EXIST
    {16, 20},    // ERROR_CURRENT_DIRECTORY
    {80, 2},     // ERROR_FILE_EXISTS
    {2, 5},      // ERROR_FILE_NOT_FOUND
    {3, 6},      // ERROR_PATH_NOT_FOUND
    {21, 21},    // ERROR_NOT_READY
    {32, 7},     // ERROR_SHARING_VIOLATION
};

}  // namespace

void SetThreadError(ErrorCode code) {
    if (ThreadErrorRecord *record = OwnRecord()) {
        record->code = code;
        return;
    }
    auto *record = static_cast<ThreadErrorRecord *>(os::LocalAlloc(os::LPTR, sizeof(ThreadErrorRecord)));
    if (record == nullptr) return;  // nothing recorded, nothing reported
    record->threadId = os::GetCurrentThreadId();
    record->code = code;
    ThreadErrorRecord *head = threadErrorHead.load(std::memory_order_relaxed);
    do record->next = head;
    while (!threadErrorHead.compare_exchange_weak(head, record, std::memory_order_release,
                                                  std::memory_order_relaxed));
    ownRecord = record;
}

ErrorCode GetThreadError() {
    ThreadErrorRecord *record = OwnRecord();
    return record ? record->code : err::kNone;
}

ErrorCode MapSystemError(uint32_t win32Error) {
    for (const SystemErrorRow &row : kSystemErrorMap)
        if (static_cast<uint32_t>(static_cast<uint16_t>(row.win32)) == win32Error) return row.code;
    return err::kMisc;
}

ErrorCode LastSystemError() { return MapSystemError(os::GetLastError()); }

}  // namespace kx

using namespace kx;

KXEXPORT int32_t KXAPI kxFileErrorVal(void) { return GetThreadError(); }

KXEXPORT void KXAPI kxFileErrorClear(void) { SetThreadError(err::kNone); }

KXEXPORT uint16_t KXAPI kxFileErrorString(int32_t code, char *buffer, int32_t bufferSize) {
    auto size = static_cast<int16_t>(bufferSize);  // used as a 16-bit count
    if (buffer == nullptr || size <= 0) return 0;
    uint32_t magnitude = code < 0 ? 0u - static_cast<uint32_t>(code) : static_cast<uint32_t>(code);
    int copied = os::LoadStringA(ModuleInstance(), magnitude & 0xFFFF, buffer, size);
    return copied > 0 ? static_cast<uint16_t>(copied) : 0;
}
