// The operating-system layer on Windows: every operation forwards to the Win32
// call of the same name. The layer's own types are fixed-width (its DWORD is an
// unsigned int, the system's an unsigned long), so values pass by conversion
// and out-parameters through locals of the system's type. Two test controls
// sit in front of the system: allocation failures and a disk that fills up.
//
// The layer's headers come first: <windows.h> defines ERROR_SUCCESS, TRUE,
// INVALID_HANDLE_VALUE and friends as macros, which would otherwise rewrite the
// layer's constants of the same names. Below the system headers only the Win32
// macros are used.
#include "platform/faults.h"
#include "platform/platform.h"
#include "platform/test_hooks.h"
#include "platform/win32/module_instance.h"

#include <windows.h>
#include <winnetwk.h>

namespace kx::os {
namespace {

// Set by DllMain when the library is a DLL; stays null when the library is
// linked statically into a program.
HMODULE storedModule = nullptr;

// A datum of the library itself: its address names the module containing the
// code when no DllMain ran.
const char kModuleTag = 0;

// Copies an out-parameter held in a local of the system's type back to the
// caller's variable, when the caller passed one.
template <typename Ours, typename Theirs>
void CopyOut(Ours *target, Theirs value) {
    if (target != nullptr) *target = static_cast<Ours>(value);
}

FILETIME FromSystem(const ::FILETIME &time) {
    return FILETIME{static_cast<DWORD>(time.dwLowDateTime), static_cast<DWORD>(time.dwHighDateTime)};
}

}  // namespace

void win32::StoreModuleInstance(HMODULE module) { storedModule = module; }

// Files. A write passes the system only what the test-controlled disk budget
// still takes, so a full disk shows as a short write, as on a real full volume.

HANDLE CreateFileA(const char *name, DWORD access, DWORD shareMode, void *security,
                   DWORD disposition, DWORD flagsAndAttributes, HANDLE templateFile) {
    return ::CreateFileA(name, access, shareMode, static_cast<LPSECURITY_ATTRIBUTES>(security),
                         disposition, flagsAndAttributes, templateFile);
}

BOOL ReadFile(HANDLE file, void *buffer, DWORD length, DWORD *read, void *overlapped) {
    ::DWORD done = 0;
    BOOL result = ::ReadFile(file, buffer, length, &done, static_cast<LPOVERLAPPED>(overlapped));
    CopyOut(read, done);
    return result;
}

BOOL WriteFile(HANDLE file, const void *buffer, DWORD length, DWORD *written, void *overlapped) {
    DWORD allowed = faults::TakeDiskSpace(length);
    ::DWORD done = 0;
    BOOL result = ::WriteFile(file, buffer, allowed, &done, static_cast<LPOVERLAPPED>(overlapped));
    CopyOut(written, done);
    return result;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG *distanceHigh, DWORD method) {
    ::LONG high = distanceHigh != nullptr ? *distanceHigh : 0;
    DWORD low = ::SetFilePointer(file, distance, distanceHigh != nullptr ? &high : nullptr, method);
    CopyOut(distanceHigh, high);
    return low;
}

BOOL CloseHandle(HANDLE handle) { return ::CloseHandle(handle); }

BOOL SetEndOfFile(HANDLE file) { return ::SetEndOfFile(file); }

BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION *info) {
    if (info == nullptr) {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    ::BY_HANDLE_FILE_INFORMATION system{};
    BOOL result = ::GetFileInformationByHandle(file, &system);
    if (!result) return result;
    info->dwFileAttributes = system.dwFileAttributes;
    info->ftCreationTime = FromSystem(system.ftCreationTime);
    info->ftLastAccessTime = FromSystem(system.ftLastAccessTime);
    info->ftLastWriteTime = FromSystem(system.ftLastWriteTime);
    info->dwVolumeSerialNumber = system.dwVolumeSerialNumber;
    info->nFileSizeHigh = system.nFileSizeHigh;
    info->nFileSizeLow = system.nFileSizeLow;
    info->nNumberOfLinks = system.nNumberOfLinks;
    info->nFileIndexHigh = system.nFileIndexHigh;
    info->nFileIndexLow = system.nFileIndexLow;
    return result;
}

DWORD GetFileAttributesA(const char *name) { return ::GetFileAttributesA(name); }

// Directories, volumes, drives and network connections: Windows has real drive
// letters and per-drive current directories, so these are plain calls.

DWORD GetCurrentDirectoryA(DWORD size, char *buffer) { return ::GetCurrentDirectoryA(size, buffer); }

BOOL SetCurrentDirectoryA(const char *name) { return ::SetCurrentDirectoryA(name); }

BOOL GetVolumeInformationA(const char *root, char *volumeName, DWORD volumeNameSize,
                           DWORD *serialNumber, DWORD *maxComponentLength,
                           DWORD *fileSystemFlags, char *fileSystemName,
                           DWORD fileSystemNameSize) {
    ::DWORD serial = 0, maxComponent = 0, flags = 0;
    BOOL result = ::GetVolumeInformationA(
        root, volumeName, volumeNameSize, serialNumber != nullptr ? &serial : nullptr,
        maxComponentLength != nullptr ? &maxComponent : nullptr,
        fileSystemFlags != nullptr ? &flags : nullptr, fileSystemName, fileSystemNameSize);
    if (result) {
        CopyOut(serialNumber, serial);
        CopyOut(maxComponentLength, maxComponent);
        CopyOut(fileSystemFlags, flags);
    }
    return result;
}

UINT GetDriveTypeA(const char *root) { return ::GetDriveTypeA(root); }

DWORD WNetGetConnectionA(const char *localName, char *remoteName, DWORD *length) {
    // The length is in and out: the buffer's size going in, the size needed
    // coming back when the buffer is too small.
    ::DWORD size = length != nullptr ? *length : 0;
    DWORD result = ::WNetGetConnectionA(localName, remoteName, length != nullptr ? &size : nullptr);
    CopyOut(length, size);
    return result;
}

// The Windows profile (WIN.INI).

UINT GetProfileIntA(const char *section, const char *key, int defaultValue) {
    return ::GetProfileIntA(section, key, defaultValue);
}

DWORD GetProfileStringA(const char *section, const char *key, const char *defaultValue,
                        char *buffer, DWORD size) {
    return ::GetProfileStringA(section, key, defaultValue, buffer, size);
}

// Threads and errors: the thread's last error is the system's own.

DWORD GetCurrentThreadId() { return ::GetCurrentThreadId(); }

DWORD GetLastError() { return ::GetLastError(); }

void SetLastError(DWORD error) { ::SetLastError(error); }

// Memory: local memory from the process heap, unless a test asked this
// allocation to fail.

HLOCAL LocalAlloc(UINT flags, size_t bytes) {
    if (faults::AllocationFails()) {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return ::LocalAlloc(flags, bytes);
}

HLOCAL LocalFree(HLOCAL memory) { return ::LocalFree(memory); }

// Resources and strings: the message texts and data resources are linked into
// the module, which is the DLL's instance or, in a program linked with the
// static library, the module that holds this code.

HMODULE ThisModule() {
    if (storedModule != nullptr) return storedModule;
    static HMODULE const containing = [] {
        HMODULE module = nullptr;
        ::HMODULE found = nullptr;
        if (::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                     GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                 &kModuleTag, &found))
            module = found;
        return module;
    }();
    return containing;
}

HRSRC FindResourceA(HMODULE module, const char *name, const char *type) {
    return ::FindResourceA(static_cast<::HMODULE>(module), name, type);
}

HGLOBAL LoadResource(HMODULE module, HRSRC resource) {
    return ::LoadResource(static_cast<::HMODULE>(module), static_cast<::HRSRC>(resource));
}

void *LockResource(HGLOBAL data) { return ::LockResource(data); }

DWORD SizeofResource(HMODULE module, HRSRC resource) {
    return ::SizeofResource(static_cast<::HMODULE>(module), static_cast<::HRSRC>(resource));
}

int LoadStringA(HMODULE module, UINT id, char *buffer, int bufferSize) {
    return ::LoadStringA(static_cast<::HINSTANCE>(module), id, buffer, bufferSize);
}

// Character case: the system's rules for the ANSI code page.

char *CharLowerA(char *text) { return ::CharLowerA(text); }

char *CharUpperA(char *text) { return ::CharUpperA(text); }

int lstrcmpiA(const char *a, const char *b) { return ::lstrcmpiA(a, b); }

// Test controls: Windows has real drives, so there is no drive table to
// configure.

bool testing::ConfigureDrives(const std::string & /*description*/) { return false; }

}  // namespace kx::os
