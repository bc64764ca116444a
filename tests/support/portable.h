// What the tests need of the system beyond the library, the same on Linux and
// on Windows: environment variables, the time zone, UTC calendar conversions,
// file times and the read-only attribute.
#pragma once

#include <ctime>
#include <filesystem>

namespace kxtest {

void SetEnv(const char *name, const char *value);
void UnsetEnv(const char *name);

// Makes the library's local time the given POSIX zone ("UTC0", "EST5") for
// this process. Only the POSIX layer reads the zone from the environment; on
// Windows the zone is the system's (the wine run sets it to UTC) and this
// returns false.
bool UseTimeZone(const char *zone);

std::time_t UtcSeconds(std::tm calendar);  // timegm
std::tm UtcCalendar(std::time_t seconds);  // gmtime

// Sets a file's last-access and last-write times; reads its last-write time.
bool SetFileTimes(const std::filesystem::path &path, std::time_t when);
std::time_t LastWriteTime(const std::filesystem::path &path);

// Clears every write permission: the read-only attribute.
void MakeReadOnly(const std::filesystem::path &path);

}  // namespace kxtest
