// Error codes, their messages, and each thread's last error.
#pragma once

#include <cstdint>

namespace kx {

// A library error number; string N of the module's string table is its message.
using ErrorCode = int16_t;

namespace err {
constexpr ErrorCode kNone = 0;                     // "No file error has occurred"
constexpr ErrorCode kAccessDenied = 1;             // "Access denied"
constexpr ErrorCode kFileExists = 2;               // "File already exists"
constexpr ErrorCode kInvalidDrive = 3;             // "Invalid drive name"
constexpr ErrorCode kSystemInvalidHandle = 4;      // "Invalid file handle" (from the system)
constexpr ErrorCode kInvalidFileName = 5;          // "Invalid file name"
constexpr ErrorCode kInvalidPath = 6;              // "Invalid path name"
constexpr ErrorCode kSharingViolation = 7;         // "Access sharing violation"
constexpr ErrorCode kTooManyFiles = 8;             // "Too many files"
constexpr ErrorCode kMisc = 9;                     // "Misc file error"
constexpr ErrorCode kOutOfMemory = 10;             // "Out of memory"
constexpr ErrorCode kInvalidHandle = 11;           // "Invalid file handle" (the library's check)
constexpr ErrorCode kDiskFull = 12;                // "Out of disk space"
constexpr ErrorCode kConflictingCompression = 13;  // "Conflicting compression options enabled"
constexpr ErrorCode kCannotInsert = 14;            // "Unable to insert data into file stream"
constexpr ErrorCode kInsertTooLarge = 15;          // "Trying to insert too much data into file stream"
constexpr ErrorCode kInternal = 16;                // "Internal error (0x0001)"
constexpr ErrorCode kRecordTooLong = 17;           // "Transfer aborted--record longer than 32767 bytes"
constexpr ErrorCode kNameTooLong = 18;             // "File name too long"
constexpr ErrorCode kExtensionTooLong = 19;        // "File extension longer than 3 characters"
constexpr ErrorCode kRemoveCurrentDirectory = 20;  // "Trying to remove current directory"
constexpr ErrorCode kDeviceNotReady = 21;          // "Device not ready"
}  // namespace err

// Makes `code` the calling thread's last error. When no record can be
// allocated for a thread that has none, nothing is recorded.
void SetThreadError(ErrorCode code);

// The calling thread's last error; 0 when it has never had one.
ErrorCode GetThreadError();

// The ErrorCode for a Win32 error number; 9 for a number without a row.
ErrorCode MapSystemError(uint32_t win32Error);

// The thread's last system error, mapped.
ErrorCode LastSystemError();

}  // namespace kx
