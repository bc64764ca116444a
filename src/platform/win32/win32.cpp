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
    // A full disk is a short write, as the POSIX layer reports it: the stream
    // then records 12 "Out of disk space" on both systems instead of a
    // general failure for an error number its table does not hold.
    if (!result) {
        ::DWORD error = ::GetLastError();
        if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL) result = TRUE;
    }
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

namespace {

// Records the process's current directory as its drive's own, in the
// environment variable "=X:" that the system reads for a drive-relative name
// ("D:f.txt", "D:") and that the command shell and the C runtime keep.
void RememberDriveDirectory() {
    char current[MAX_PATH];
    ::DWORD length = ::GetCurrentDirectoryA(MAX_PATH, current);
    if (length == 0 || length >= MAX_PATH || current[1] != ':') return;
    char letter = current[0];
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    const char variable[4] = {'=', letter, ':', '\0'};
    ::SetEnvironmentVariableA(variable, current);
}

}  // namespace

// SetCurrentDirectoryA itself keeps no per-drive directories: the directory
// left and the directory entered are both recorded, so that each drive keeps
// its own current directory as on the other platforms.
BOOL SetCurrentDirectoryA(const char *name) {
    RememberDriveDirectory();
    if (!::SetCurrentDirectoryA(name)) return FALSE;
    RememberDriveDirectory();
    return TRUE;
}

BOOL GetVolumeInformationA(const char *root, char *volumeName, DWORD volumeNameSize,
                           DWORD *serialNumber, DWORD *maxComponentLength,
                           DWORD *fileSystemFlags, char *fileSystemName,
                           DWORD fileSystemNameSize) {
    if (faults::VolumeQueryFails()) {
        ::SetLastError(ERROR_BAD_NETPATH);
        return FALSE;
    }
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

// Code pages and the display: the system's own.

UINT GetOEMCP() { return ::GetOEMCP(); }

UINT GetACP() { return ::GetACP(); }

HDC GetDC(HWND window) { return ::GetDC(static_cast<::HWND>(window)); }

int ReleaseDC(HWND window, HDC dc) {
    return ::ReleaseDC(static_cast<::HWND>(window), static_cast<::HDC>(dc));
}

HGDIOBJ GetStockObject(int object) { return ::GetStockObject(object); }

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
    return ::SelectObject(static_cast<::HDC>(dc), static_cast<::HGDIOBJ>(object));
}

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA *metrics) {
    ::TEXTMETRICA system{};
    BOOL result = ::GetTextMetricsA(static_cast<::HDC>(dc), &system);
    if (result && metrics != nullptr) {
        *metrics = TEXTMETRICA{system.tmHeight, system.tmAscent, system.tmDescent,
                               system.tmInternalLeading, system.tmExternalLeading,
                               system.tmAveCharWidth, system.tmMaxCharWidth, system.tmWeight,
                               system.tmOverhang, system.tmDigitizedAspectX,
                               system.tmDigitizedAspectY, system.tmFirstChar, system.tmLastChar,
                               system.tmDefaultChar, system.tmBreakChar, system.tmItalic,
                               system.tmUnderlined, system.tmStruckOut, system.tmPitchAndFamily,
                               system.tmCharSet};
    }
    return result;
}

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

// File-system operations, times and enumeration: the system's own. The find
// data and times pass through the layer's fixed-width records.

namespace {

void ToOurs(const ::WIN32_FIND_DATAA &system, WIN32_FIND_DATAA *data) {
    *data = WIN32_FIND_DATAA{};
    data->dwFileAttributes = system.dwFileAttributes;
    data->ftCreationTime = FromSystem(system.ftCreationTime);
    data->ftLastAccessTime = FromSystem(system.ftLastAccessTime);
    data->ftLastWriteTime = FromSystem(system.ftLastWriteTime);
    data->nFileSizeHigh = system.nFileSizeHigh;
    data->nFileSizeLow = system.nFileSizeLow;
    static_assert(sizeof data->cFileName == sizeof system.cFileName);
    static_assert(sizeof data->cAlternateFileName == sizeof system.cAlternateFileName);
    CopyMemory(data->cFileName, system.cFileName, sizeof data->cFileName);
    CopyMemory(data->cAlternateFileName, system.cAlternateFileName, sizeof data->cAlternateFileName);
}

::FILETIME ToSystem(const FILETIME &time) {
    ::FILETIME system;
    system.dwLowDateTime = time.dwLowDateTime;
    system.dwHighDateTime = time.dwHighDateTime;
    return system;
}

::SYSTEMTIME ToSystem(const SYSTEMTIME &time) {
    ::SYSTEMTIME system;
    system.wYear = time.wYear;
    system.wMonth = time.wMonth;
    system.wDayOfWeek = time.wDayOfWeek;
    system.wDay = time.wDay;
    system.wHour = time.wHour;
    system.wMinute = time.wMinute;
    system.wSecond = time.wSecond;
    system.wMilliseconds = time.wMilliseconds;
    return system;
}

SYSTEMTIME FromSystem(const ::SYSTEMTIME &time) {
    return SYSTEMTIME{time.wYear, time.wMonth, time.wDayOfWeek, time.wDay,
                      time.wHour, time.wMinute, time.wSecond, time.wMilliseconds};
}

}  // namespace

BOOL DeleteFileA(const char *name) { return ::DeleteFileA(name); }

BOOL RemoveDirectoryA(const char *name) { return ::RemoveDirectoryA(name); }

BOOL MoveFileA(const char *existingName, const char *newName) {
    return ::MoveFileA(existingName, newName);
}

BOOL CreateDirectoryA(const char *name, void *security) {
    return ::CreateDirectoryA(name, static_cast<LPSECURITY_ATTRIBUTES>(security));
}

BOOL SetFileTime(HANDLE file, const FILETIME *creation, const FILETIME *lastAccess,
                 const FILETIME *lastWrite) {
    ::FILETIME c{}, a{}, w{};
    if (creation != nullptr) c = ToSystem(*creation);
    if (lastAccess != nullptr) a = ToSystem(*lastAccess);
    if (lastWrite != nullptr) w = ToSystem(*lastWrite);
    return ::SetFileTime(file, creation != nullptr ? &c : nullptr,
                         lastAccess != nullptr ? &a : nullptr, lastWrite != nullptr ? &w : nullptr);
}

DWORD SearchPathA(const char *path, const char *name, const char *extension, DWORD size,
                  char *buffer, char **filePart) {
    return ::SearchPathA(path, name, extension, size, buffer, filePart);
}

HANDLE FindFirstFileA(const char *pattern, WIN32_FIND_DATAA *data) {
    ::WIN32_FIND_DATAA system;
    HANDLE find = ::FindFirstFileA(pattern, &system);
    if (find != INVALID_HANDLE_VALUE && data != nullptr) ToOurs(system, data);
    return find;
}

BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA *data) {
    ::WIN32_FIND_DATAA system;
    BOOL result = ::FindNextFileA(find, &system);
    if (result && data != nullptr) ToOurs(system, data);
    return result;
}

BOOL FindClose(HANDLE find) { return ::FindClose(find); }

void GetLocalTime(SYSTEMTIME *time) {
    ::SYSTEMTIME system;
    ::GetLocalTime(&system);
    if (time != nullptr) *time = FromSystem(system);
}

BOOL FileTimeToLocalFileTime(const FILETIME *fileTime, FILETIME *localTime) {
    if (fileTime == nullptr || localTime == nullptr) return FALSE;
    ::FILETIME in = ToSystem(*fileTime), out;
    BOOL result = ::FileTimeToLocalFileTime(&in, &out);
    if (result) *localTime = FromSystem(out);
    return result;
}

BOOL LocalFileTimeToFileTime(const FILETIME *localTime, FILETIME *fileTime) {
    if (localTime == nullptr || fileTime == nullptr) return FALSE;
    ::FILETIME in = ToSystem(*localTime), out;
    BOOL result = ::LocalFileTimeToFileTime(&in, &out);
    if (result) *fileTime = FromSystem(out);
    return result;
}

BOOL FileTimeToSystemTime(const FILETIME *fileTime, SYSTEMTIME *systemTime) {
    if (fileTime == nullptr || systemTime == nullptr) return FALSE;
    ::FILETIME in = ToSystem(*fileTime);
    ::SYSTEMTIME out;
    BOOL result = ::FileTimeToSystemTime(&in, &out);
    if (result) *systemTime = FromSystem(out);
    return result;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME *systemTime, FILETIME *fileTime) {
    if (systemTime == nullptr || fileTime == nullptr) return FALSE;
    ::SYSTEMTIME in = ToSystem(*systemTime);
    ::FILETIME out;
    BOOL result = ::SystemTimeToFileTime(&in, &out);
    if (result) *fileTime = FromSystem(out);
    return result;
}

// Window text measures: the window's device context with the window's own font
// selected, its client rectangle, and text extents in that font.

BOOL OpenWindowText(HWND window, WindowText *text, LONG *clientWidth) {
    if (window == nullptr || text == nullptr) return FALSE;
    ::HWND system = static_cast<::HWND>(window);
    ::HDC dc = ::GetDC(system);
    if (dc == nullptr) return FALSE;
    *text = WindowText{window, dc, nullptr, FALSE};
    ::HFONT font = reinterpret_cast<::HFONT>(::SendMessageA(system, WM_GETFONT, 0, 0));
    if (font != nullptr) {
        text->formerFont = ::SelectObject(dc, font);
        text->fontSelected = TRUE;
    }
    ::RECT client{};
    ::GetClientRect(system, &client);
    if (clientWidth != nullptr) *clientWidth = client.right;
    return TRUE;
}

BOOL MeasureWindowText(WindowText *text, const char *chars, int length, LONG *width) {
    if (text == nullptr || text->dc == nullptr || width == nullptr) return FALSE;
    ::SIZE extent{};
    BOOL result = ::GetTextExtentPointA(static_cast<::HDC>(text->dc), chars, length, &extent);
    *width = result ? extent.cx : 0;
    return result;
}

void CloseWindowText(WindowText *text) {
    if (text == nullptr || text->dc == nullptr) return;
    if (text->fontSelected)
        ::SelectObject(static_cast<::HDC>(text->dc), static_cast<::HGDIOBJ>(text->formerFont));
    ::ReleaseDC(static_cast<::HWND>(text->window), static_cast<::HDC>(text->dc));
    *text = WindowText{};
}

// Test controls: Windows has real drives, so there is no drive table to
// configure.

bool testing::ConfigureDrives(const std::string & /*description*/) { return false; }

}  // namespace kx::os
