// Times: Windows file times (100-nanosecond intervals since 1601-01-01, UTC),
// calendar times, and local time by the process's time zone (TZ). Local file
// times are file times shifted by the zone's offset at that moment, so that a
// time converted to local and back is the time it was.
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <sys/time.h>

#include "platform/posix/system_error.h"

namespace kx::os {
namespace {

using posix::Fail;

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kEpochDifference = 11644473600;  // seconds from 1601 to 1970
constexpr uint64_t kLargestFileTime = 0x7FFFFFFFFFFFFFFFull;

int64_t Ticks(const FILETIME &time) {
    return static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
}

FILETIME FromTicks(int64_t ticks) {
    uint64_t value = static_cast<uint64_t>(ticks);
    return FILETIME{static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

void CivilFromDays(int64_t days, int64_t &year, unsigned &month, unsigned &day) {
    days += 719468;
    int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    unsigned mp = (5 * dayOfYear + 2) / 153;
    day = dayOfYear - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<int64_t>(yearOfEra) + era * 400 + (month <= 2);
}

bool IsLeap(unsigned year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

unsigned DaysInMonth(unsigned year, unsigned month) {
    static const unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : kDays[month - 1];
}

// Makes the C library read TZ again when it has changed since the last call, so
// that a change of zone takes effect at once without reading the zone's files
// on every conversion.
void FollowZone() {
    static std::mutex lock;
    static std::optional<std::string> seen;  // TZ at the last reading; nullopt before the first
    static bool read = false;
    const char *zone = std::getenv("TZ");
    std::optional<std::string> now = zone != nullptr ? std::optional<std::string>(zone) : std::nullopt;
    std::lock_guard<std::mutex> guard(lock);
    if (read && seen == now) return;
    seen = now;
    read = true;
    ::tzset();
}

// The zone's offset from UTC, in seconds, at the UTC moment `seconds` (POSIX time).
int64_t ZoneOffsetAt(int64_t seconds) {
    time_t moment = static_cast<time_t>(seconds);
    struct tm local;
    if (::localtime_r(&moment, &local) == nullptr) return 0;
    return local.tm_gmtoff;
}

}  // namespace

BOOL FileTimeToSystemTime(const FILETIME *fileTime, SYSTEMTIME *systemTime) {
    if (fileTime == nullptr || systemTime == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    int64_t ticks = Ticks(*fileTime);
    if (ticks < 0) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    int64_t seconds = ticks / kTicksPerSecond;
    int64_t days = seconds / 86400 - kEpochDifference / 86400;
    int64_t inDay = seconds % 86400;
    int64_t year;
    unsigned month, day;
    CivilFromDays(days, year, month, day);
    systemTime->wYear = static_cast<uint16_t>(year);
    systemTime->wMonth = static_cast<uint16_t>(month);
    systemTime->wDayOfWeek = static_cast<uint16_t>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    systemTime->wDay = static_cast<uint16_t>(day);
    systemTime->wHour = static_cast<uint16_t>(inDay / 3600);
    systemTime->wMinute = static_cast<uint16_t>(inDay / 60 % 60);
    systemTime->wSecond = static_cast<uint16_t>(inDay % 60);
    systemTime->wMilliseconds = static_cast<uint16_t>(ticks / 10000 % 1000);
    return TRUE;
}

// As on Windows, the day of week is not looked at, and a field out of range
// (month 13, day 31 of April, hour 24) fails with ERROR_INVALID_PARAMETER.
BOOL SystemTimeToFileTime(const SYSTEMTIME *systemTime, FILETIME *fileTime) {
    if (systemTime == nullptr || fileTime == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    const SYSTEMTIME &t = *systemTime;
    if (t.wYear < 1601 || t.wYear > 30827 || t.wMonth < 1 || t.wMonth > 12 || t.wDay < 1 ||
        t.wDay > DaysInMonth(t.wYear, t.wMonth) || t.wHour > 23 || t.wMinute > 59 ||
        t.wSecond > 59 || t.wMilliseconds > 999)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    int64_t days = DaysFromCivil(t.wYear, t.wMonth, t.wDay) + kEpochDifference / 86400;
    int64_t seconds = days * 86400 + t.wHour * 3600 + t.wMinute * 60 + t.wSecond;
    *fileTime = FromTicks(seconds * kTicksPerSecond + t.wMilliseconds * 10000);
    return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME *fileTime, FILETIME *localTime) {
    if (fileTime == nullptr || localTime == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    FollowZone();
    int64_t ticks = Ticks(*fileTime);
    int64_t offset = ZoneOffsetAt(ticks / kTicksPerSecond - kEpochDifference);
    int64_t local = ticks + offset * kTicksPerSecond;
    if (local < 0 || static_cast<uint64_t>(local) > kLargestFileTime) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *localTime = FromTicks(local);
    return TRUE;
}

// The inverse: the UTC moment whose local time is the given one. A local time
// that the zone skips (a spring-forward gap) is taken with the offset before it.
BOOL LocalFileTimeToFileTime(const FILETIME *localTime, FILETIME *fileTime) {
    if (localTime == nullptr || fileTime == nullptr) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    FollowZone();
    int64_t local = Ticks(*localTime);
    int64_t localSeconds = local / kTicksPerSecond - kEpochDifference;
    int64_t offset = ZoneOffsetAt(localSeconds);
    int64_t refined = ZoneOffsetAt(localSeconds - offset);
    if (ZoneOffsetAt(localSeconds - refined) == refined) offset = refined;
    int64_t utc = local - offset * kTicksPerSecond;
    if (utc < 0 || static_cast<uint64_t>(utc) > kLargestFileTime) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *fileTime = FromTicks(utc);
    return TRUE;
}

void GetLocalTime(SYSTEMTIME *time) {
    if (time == nullptr) return;
    struct timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    FILETIME utc = FromTicks((static_cast<int64_t>(now.tv_sec) + kEpochDifference) * kTicksPerSecond +
                             now.tv_nsec / 100);
    FILETIME local;
    if (!FileTimeToLocalFileTime(&utc, &local)) local = utc;
    FileTimeToSystemTime(&local, time);
}

}  // namespace kx::os
