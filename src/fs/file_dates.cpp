// Dates of open streams and of the clock, as FileDateTime records in local
// time, and the stored full name of a stream.
#include <cstring>

#include "core/boundary.h"
#include "core/handle.h"
#include "fs/fs.h"

namespace kx {
namespace {

// The system file handle behind a KXFILE: 11 for a null handle or one
// without a stream, 16 for a stream without a file handle.
ErrorCode StreamFile(KXFILE file, os::HANDLE &handle) {
    if (file == nullptr || file->stream == nullptr) return err::kInvalidHandle;
    handle = file->stream->file;
    if (handle == nullptr || handle == os::INVALID_HANDLE_VALUE) return err::kInternal;
    return err::kNone;
}

bool IsLeapYear(unsigned year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Whether the record names a moment that exists: month 1..12, a day of that
// month, hour 0..23, minute and second 0..59.
bool IsPossibleDate(const FileDateTime &date) {
    static const uint8_t kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (date.month < 1 || date.month > 12 || date.day < 1) return false;
    unsigned year = 1900u + date.year;
    unsigned days = date.month == 2 && IsLeapYear(year) ? 29u : kDays[date.month - 1];
    return date.day <= days && date.hour <= 23 && date.minute <= 59 && date.second <= 59;
}

}  // namespace

FileDateTime DateFromSystemTime(const os::SYSTEMTIME &time) {
    FileDateTime date;
    date.day = static_cast<uint8_t>(time.wDay);
    date.month = static_cast<uint8_t>(time.wMonth);
    date.year = static_cast<uint8_t>(time.wYear - 1900);  // years outside 1900..2155 wrap
    date.second = static_cast<uint8_t>(time.wSecond);
    date.minute = static_cast<uint8_t>(time.wMinute);
    date.hour = static_cast<uint8_t>(time.wHour);
    return date;
}

bool FileTimeToDate(const os::FILETIME &time, FileDateTime &date) {
    os::FILETIME local;
    os::SYSTEMTIME system;
    if (!os::FileTimeToLocalFileTime(&time, &local) || !os::FileTimeToSystemTime(&local, &system))
        return false;
    date = DateFromSystemTime(system);
    return true;
}

int CompareDates(const FileDateTime &a, const FileDateTime &b) {
    const uint8_t FileDateTime::*const kOrder[] = {&FileDateTime::year, &FileDateTime::month,
                                                   &FileDateTime::day, &FileDateTime::hour,
                                                   &FileDateTime::minute, &FileDateTime::second};
    for (auto field : kOrder)
        if (a.*field != b.*field) return static_cast<int>(a.*field) - static_cast<int>(b.*field);
    return 0;
}

}  // namespace kx

using namespace kx;

KXEXPORT int32_t KXAPI kxFileGetDate(KXFILE file, KXFILEDATETIME *date) {
    return Guarded<int32_t>(0, [&] {
        os::HANDLE handle = nullptr;
        ErrorCode code = StreamFile(file, handle);
        if (code != err::kNone) return Failed<int32_t>(code, 0);
        if (date == nullptr) return Failed<int32_t>(err::kMisc, 0);
        os::BY_HANDLE_FILE_INFORMATION info;
        if (!os::GetFileInformationByHandle(handle, &info) || !FileTimeToDate(info.ftLastWriteTime, *date))
            return Failed<int32_t>(LastSystemError(), 0);
        return 1;
    });
}

// An impossible date (month 13, day 0, 30 February, hour 24) is refused with 9
// before the file is touched: the system would refuse it too, and a caller
// should not find half of it applied.
KXEXPORT int32_t KXAPI kxFileSetDate(KXFILE file, const KXFILEDATETIME *date) {
    return Guarded<int32_t>(0, [&] {
        os::HANDLE handle = nullptr;
        ErrorCode code = StreamFile(file, handle);
        if (code != err::kNone) return Failed<int32_t>(code, 0);
        if (date == nullptr || !IsPossibleDate(*date)) return Failed<int32_t>(err::kMisc, 0);
        os::SYSTEMTIME system{};
        system.wYear = static_cast<uint16_t>(1900 + date->year);
        system.wMonth = date->month;
        system.wDay = date->day;
        system.wHour = date->hour;
        system.wMinute = date->minute;
        system.wSecond = date->second;
        os::FILETIME local, utc;
        if (!os::SystemTimeToFileTime(&system, &local) || !os::LocalFileTimeToFileTime(&local, &utc) ||
            !os::SetFileTime(handle, &utc, nullptr, &utc))
            return Failed<int32_t>(LastSystemError(), 0);
        return 1;
    });
}

KXEXPORT int32_t KXAPI kxFileCurrentDate(KXFILEDATETIME *date) {
    return Guarded<int32_t>(0, [&] {
        // The result is an ErrorCode: 0, or 9 when there is no record to fill.
        if (date == nullptr) return Failed<int32_t>(err::kMisc, err::kMisc);
        os::SYSTEMTIME now;
        os::GetLocalTime(&now);
        *date = DateFromSystemTime(now);
        return 0;  // the ErrorCode for no error
    });
}

KXEXPORT int32_t KXAPI kxFileGetFileName(KXFILE file, char *buffer) {
    return Guarded<int32_t>(0, [&] {
        if (file == nullptr) return Failed<int32_t>(err::kInvalidHandle, 0);
        // A handle without a stored name has none to give: 9, as for a null buffer.
        if (buffer == nullptr || file->fullName[0] == '\0') return Failed<int32_t>(err::kMisc, 0);
        const void *end = std::memchr(file->fullName, '\0', kPathBufferSize - 1);
        size_t length = end != nullptr ? static_cast<size_t>(static_cast<const char *>(end) - file->fullName)
                                       : kPathBufferSize - 1;
        std::memcpy(buffer, file->fullName, length);
        buffer[length] = '\0';
        return 1;
    });
}
