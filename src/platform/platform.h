// The operating-system layer: the Win32 operations the library uses, with their
// Win32 names, types, results and error numbers. The Windows build forwards each
// call to the system; the POSIX build implements them over the file system, with
// drive letters, case-insensitive names and per-drive current directories.
// Library code calls only this layer, never the system directly.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kx::os {

using BOOL = int32_t;
using DWORD = uint32_t;
using LONG = int32_t;
using UINT = uint32_t;
using HANDLE = void *;
using HMODULE = void *;
using HRSRC = void *;
using HGLOBAL = void *;
using HLOCAL = void *;

// The Win32 values the library passes and tests, under their Win32 names.
// (The Windows implementation includes this header before <windows.h>, so these
// names are never seen there as macros.)
constexpr BOOL FALSE = 0;
constexpr BOOL TRUE = 1;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1));
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFFu;

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD FILE_SHARE_DELETE = 0x4;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;
constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x01;
constexpr DWORD FILE_ATTRIBUTE_HIDDEN = 0x02;
constexpr DWORD FILE_ATTRIBUTE_SYSTEM = 0x04;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_ARCHIVE = 0x20;
constexpr DWORD FILE_ATTRIBUTE_NORMAL = 0x80;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;

constexpr UINT DRIVE_UNKNOWN = 0;
constexpr UINT DRIVE_NO_ROOT_DIR = 1;
constexpr UINT DRIVE_REMOVABLE = 2;
constexpr UINT DRIVE_FIXED = 3;
constexpr UINT DRIVE_REMOTE = 4;

constexpr UINT LMEM_FIXED = 0x0000;
constexpr UINT LMEM_ZEROINIT = 0x0040;
constexpr UINT LPTR = LMEM_FIXED | LMEM_ZEROINIT;

// Win32 error numbers reported by this layer (GetLastError, WNetGetConnectionA).
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_PATH_NOT_FOUND = 3;
constexpr DWORD ERROR_TOO_MANY_OPEN_FILES = 4;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_DRIVE = 15;
constexpr DWORD ERROR_CURRENT_DIRECTORY = 16;
constexpr DWORD ERROR_NOT_SAME_DEVICE = 17;
constexpr DWORD ERROR_WRITE_PROTECT = 19;
constexpr DWORD ERROR_NOT_READY = 21;
constexpr DWORD ERROR_SHARING_VIOLATION = 32;
constexpr DWORD ERROR_HANDLE_EOF = 38;
constexpr DWORD ERROR_BAD_NETPATH = 53;
constexpr DWORD ERROR_FILE_EXISTS = 80;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_INVALID_NAME = 123;
constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
constexpr DWORD ERROR_DIR_NOT_EMPTY = 145;
constexpr DWORD ERROR_BAD_PATHNAME = 161;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_FILENAME_EXCED_RANGE = 206;
constexpr DWORD ERROR_DIRECTORY = 267;
constexpr DWORD ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;
constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_NOT_CONNECTED = 2250;

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

struct BY_HANDLE_FILE_INFORMATION {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD dwVolumeSerialNumber;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD nNumberOfLinks;
    DWORD nFileIndexHigh;
    DWORD nFileIndexLow;
};

// A resource id given as a number, as MAKEINTRESOURCE does.
inline const char *MAKEINTRESOURCEA(uint16_t id) {
    return reinterpret_cast<const char *>(static_cast<uintptr_t>(id));
}

// Files.
HANDLE CreateFileA(const char *name, DWORD access, DWORD shareMode, void *security,
                   DWORD disposition, DWORD flagsAndAttributes, HANDLE templateFile);
BOOL ReadFile(HANDLE file, void *buffer, DWORD length, DWORD *read, void *overlapped);
BOOL WriteFile(HANDLE file, const void *buffer, DWORD length, DWORD *written, void *overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, LONG *distanceHigh, DWORD method);
BOOL CloseHandle(HANDLE handle);
BOOL SetEndOfFile(HANDLE file);
BOOL GetFileInformationByHandle(HANDLE file, BY_HANDLE_FILE_INFORMATION *info);
DWORD GetFileAttributesA(const char *name);

// Directories, volumes, drives and network connections.
DWORD GetCurrentDirectoryA(DWORD size, char *buffer);
BOOL SetCurrentDirectoryA(const char *name);
BOOL GetVolumeInformationA(const char *root, char *volumeName, DWORD volumeNameSize,
                           DWORD *serialNumber, DWORD *maxComponentLength,
                           DWORD *fileSystemFlags, char *fileSystemName,
                           DWORD fileSystemNameSize);
UINT GetDriveTypeA(const char *root);
DWORD WNetGetConnectionA(const char *localName, char *remoteName, DWORD *length);

// The Windows profile (WIN.INI), read afresh on every call.
UINT GetProfileIntA(const char *section, const char *key, int defaultValue);
DWORD GetProfileStringA(const char *section, const char *key, const char *defaultValue,
                        char *buffer, DWORD size);

// Threads and errors.
DWORD GetCurrentThreadId();
DWORD GetLastError();
void SetLastError(DWORD error);

// Local memory.
HLOCAL LocalAlloc(UINT flags, size_t bytes);
HLOCAL LocalFree(HLOCAL memory);

// Module resources and strings.
HMODULE ThisModule();  // the library's own module instance
HRSRC FindResourceA(HMODULE module, const char *name, const char *type);
HGLOBAL LoadResource(HMODULE module, HRSRC resource);
void *LockResource(HGLOBAL data);
DWORD SizeofResource(HMODULE module, HRSRC resource);
int LoadStringA(HMODULE module, UINT id, char *buffer, int bufferSize);

// The system's code pages: the OEM (console) one and the ANSI (Windows) one.
UINT GetOEMCP();
UINT GetACP();

// The display: the screen's device context and the stock system font, asked
// for the character set of the font the system displays.
using HDC = void *;
using HGDIOBJ = void *;
using HWND = void *;
using BYTE = uint8_t;
constexpr int SYSTEM_FONT = 13;
struct TEXTMETRICA {
    LONG tmHeight;
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    BYTE tmFirstChar;
    BYTE tmLastChar;
    BYTE tmDefaultChar;
    BYTE tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
};
HDC GetDC(HWND window);
int ReleaseDC(HWND window, HDC dc);
HGDIOBJ GetStockObject(int object);
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
BOOL GetTextMetricsA(HDC dc, TEXTMETRICA *metrics);

// Character case in the ANSI code page.
char *CharLowerA(char *text);
char *CharUpperA(char *text);
int lstrcmpiA(const char *a, const char *b);

// File-system operations (deletion, renaming, directories, file times, the
// search path and directory enumeration), with Win32 semantics on every side.
constexpr DWORD ERROR_NO_MORE_FILES = 18;
constexpr DWORD MAX_PATH = 260;

struct SYSTEMTIME {
    uint16_t wYear;
    uint16_t wMonth;
    uint16_t wDayOfWeek;
    uint16_t wDay;
    uint16_t wHour;
    uint16_t wMinute;
    uint16_t wSecond;
    uint16_t wMilliseconds;
};

// One entry of a directory enumeration.
struct WIN32_FIND_DATAA {
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    DWORD dwReserved0;
    DWORD dwReserved1;
    char cFileName[MAX_PATH];
    char cAlternateFileName[14];
};

BOOL DeleteFileA(const char *name);
BOOL RemoveDirectoryA(const char *name);  // the current directory: ERROR_SHARING_VIOLATION
BOOL MoveFileA(const char *existingName, const char *newName);
BOOL CreateDirectoryA(const char *name, void *security);
BOOL SetFileTime(HANDLE file, const FILETIME *creation, const FILETIME *lastAccess,
                 const FILETIME *lastWrite);
DWORD SearchPathA(const char *path, const char *name, const char *extension, DWORD size,
                  char *buffer, char **filePart);
HANDLE FindFirstFileA(const char *pattern, WIN32_FIND_DATAA *data);
BOOL FindNextFileA(HANDLE find, WIN32_FIND_DATAA *data);
BOOL FindClose(HANDLE find);

// Times: file times in UTC, local time by the system's time zone.
void GetLocalTime(SYSTEMTIME *time);
BOOL FileTimeToLocalFileTime(const FILETIME *fileTime, FILETIME *localTime);
BOOL LocalFileTimeToFileTime(const FILETIME *localTime, FILETIME *fileTime);
BOOL FileTimeToSystemTime(const FILETIME *fileTime, SYSTEMTIME *systemTime);
BOOL SystemTimeToFileTime(const SYSTEMTIME *systemTime, FILETIME *fileTime);

// The text measures of a window, for fitting a text into it: the window's
// device context with the window's own font selected (GetDC, WM_GETFONT,
// SelectObject), its client width (GetClientRect) and the width of a text in
// that font (GetTextExtentPointA). On Windows the window is a window handle;
// elsewhere it is a KXTEXTWINDOW of the public header.
struct WindowText {
    HWND window;         // the window measured
    HDC dc;              // its device context while open
    HGDIOBJ formerFont;  // the context's font before the window's was selected
    BOOL fontSelected;   // whether formerFont must be put back
};
// Opens the measures; FALSE when the window has no device context.
BOOL OpenWindowText(HWND window, WindowText *text, LONG *clientWidth);
BOOL MeasureWindowText(WindowText *text, const char *chars, int length, LONG *width);
void CloseWindowText(WindowText *text);

}  // namespace kx::os
