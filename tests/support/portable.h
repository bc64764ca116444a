// What the tests need of the system beyond the library, alike on Linux and
// Windows: environment, time zone, UTC calendar, file times, read-only files.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>

namespace kxtest {

void SetEnv(const char *name, const char *value);
void UnsetEnv(const char *name);

// Makes the library's local time a POSIX zone ("EST5"; null: none set) for
// this process. Only the POSIX layer reads it: on Windows this returns false.
bool UseTimeZone(const char *zone);

std::time_t UtcSeconds(std::tm calendar);  // timegm
std::tm UtcCalendar(std::time_t seconds);  // gmtime

// Sets a file's last-access and last-write times; reads its last-write time.
bool SetFileTimes(const std::filesystem::path &path, std::time_t when);
std::time_t LastWriteTime(const std::filesystem::path &path);

// Whether the program runs under wine, which differs from Windows here and there.
bool UnderWine();

// For programs outside the fixture: C:, D:, X: and \\srv\shr (on X:'s
// directory), mapped below `top` on Linux, or already mapped by
// scripts/test-wine.sh on Windows (else false); C:\ is then current.
bool PrepareMappedDrives(std::string &top);
std::string MappedRoot(char letter);  // the system's path of a drive's root
void ReleaseMappedDrives(const std::string &top);

// The process's open file descriptors (Linux) or handles (Windows; wine counts none).
int OpenDescriptors();

// Clears every write permission: the read-only attribute.
void MakeReadOnly(const std::filesystem::path &path);

}  // namespace kxtest
