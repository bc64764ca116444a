#include "support/portable.h"

#include <cctype>
#include <cstdlib>
#include <string>

#include "platform/platform.h"
#include "platform/test_hooks.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kxtest {

#ifdef _WIN32

namespace {

// 100-nanosecond intervals since 1601 for POSIX seconds.
FILETIME ToFileTime(std::time_t when) {
    uint64_t ticks = (static_cast<uint64_t>(when) + 11644473600ull) * 10000000ull;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace

bool UnderWine() {
    HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void SetEnv(const char *name, const char *value) {
    ::_putenv_s(name, value);
}
void UnsetEnv(const char *name) {
    ::_putenv_s(name, "");
}
bool UseTimeZone(const char *) {
    return false;
}
std::time_t UtcSeconds(std::tm calendar) {
    return ::_mkgmtime(&calendar);
}

bool SetFileTimes(const std::filesystem::path &path, std::time_t when) {
    HANDLE file =
        ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME time = ToFileTime(when);
    BOOL done = ::SetFileTime(file, nullptr, &time, &time);
    ::CloseHandle(file);
    return done != 0;
}

std::time_t LastWriteTime(const std::filesystem::path &path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    uint64_t ticks = (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                     data.ftLastWriteTime.dwLowDateTime;
    return static_cast<std::time_t>(ticks / 10000000ull - 11644473600ull);
}

bool PrepareMappedDrives(std::string &top) {
    top.clear();
    return std::getenv("KXTEST_MAPPED_DRIVES") != nullptr && ::SetCurrentDirectoryA("C:\\");
}

std::string MappedRoot(char letter) {
    return std::string(1, letter) + ":\\";
}
void ReleaseMappedDrives(const std::string &) {}

int OpenDescriptors() {
    DWORD count = 0;
    ::GetProcessHandleCount(::GetCurrentProcess(), &count);
    return static_cast<int>(count);
}

#else

namespace {
std::string mappedTop;  // the temporary directory that holds one directory per drive
}

bool UnderWine() {
    return false;
}
void SetEnv(const char *name, const char *value) {
    ::setenv(name, value, 1);
}
void UnsetEnv(const char *name) {
    ::unsetenv(name);
}

bool UseTimeZone(const char *zone) {
    if (zone != nullptr)
        ::setenv("TZ", zone, 1);
    else
        ::unsetenv("TZ");
    ::tzset();
    return true;
}

std::time_t UtcSeconds(std::tm calendar) {
    return ::timegm(&calendar);
}

bool SetFileTimes(const std::filesystem::path &path, std::time_t when) {
    struct timespec times[2] = {{when, 0}, {when, 0}};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

std::time_t LastWriteTime(const std::filesystem::path &path) {
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 ? info.st_mtime : -1;
}

bool PrepareMappedDrives(std::string &top) {
    namespace fs = std::filesystem;
    top = (fs::temp_directory_path() / ("kxfiles-drives-" + std::to_string(::getpid()))).string();
    for (const char *d : {"c", "d", "x"}) fs::create_directories(fs::path(top) / d);
    mappedTop = top;
    std::string description =
        "C:=" + top + "/c;D:=" + top + "/d;X:=" + top + "/x;\\\\srv\\shr=" + top + "/x";
    return kx::os::testing::ConfigureDrives(description) && kx::os::SetCurrentDirectoryA("C:\\");
}

std::string MappedRoot(char letter) {
    return mappedTop + "/" + static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
}

void ReleaseMappedDrives(const std::string &top) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    fs::current_path(fs::temp_directory_path(), ignored);
    for (const auto &entry : fs::recursive_directory_iterator(top, ignored))
        fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(top, ignored);
}

int OpenDescriptors() {
    int n = 0;
    if (DIR *dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir)) ++n;
        ::closedir(dir);
    }
    return n;
}

#endif

std::tm UtcCalendar(std::time_t seconds) {
    return *std::gmtime(&seconds);
}

void MakeReadOnly(const std::filesystem::path &path) {
    namespace fs = std::filesystem;
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

}  // namespace kxtest
