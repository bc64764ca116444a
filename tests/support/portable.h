// What the tests need of the system beyond the library, the same on Linux and
// on Windows: environment variables, the time zone, UTC calendar conversions,
// file times and the read-only attribute.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>

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

// Whether the program runs under wine, which differs from Windows here and
// there (each test that meets such a place says which in one line).
bool UnderWine();

// For programs outside the test fixture: the drives C:, D:, X: and the share
// \\srv\shr (on X:'s directory). On Linux they are mapped to fresh directories
// below a temporary one (`top`); on Windows they must already be mapped as
// scripts/test-wine.sh maps them (KXTEST_MAPPED_DRIVES), else false. C: is
// then the current drive, at its root. MappedRoot is the system's path of a
// drive's root; ReleaseMappedDrives removes what Prepare made.
bool PrepareMappedDrives(std::string &top);
std::string MappedRoot(char letter);
void ReleaseMappedDrives(const std::string &top);

// The number of the process's open file descriptors (Linux) or handles (Windows).
int OpenHandleCount();

// Clears every write permission: the read-only attribute.
void MakeReadOnly(const std::filesystem::path &path);

}  // namespace kxtest
