// Times and dates in the short forms of the user's international settings,
// read afresh from the [intl] section of the profile on every call; nothing
// is cached. The text is built here, not by the system.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/boundary.h"
#include "kxfiles.h"
#include "platform/platform.h"

namespace {

constexpr const char *kSection = "intl";
constexpr size_t kTimeLimit = 31;  // the time text never exceeds 31 characters

std::string ProfileString(const char *key, const char *fallback, kx::os::DWORD room) {
    char buffer[32] = "";
    kx::os::GetProfileStringA(kSection, key, fallback, buffer, room);
    return buffer;
}

// A value of 10 or more as its first two decimal digits; below 10 one digit,
// after a '0' when the element asks for one.
std::string TwoDigits(unsigned value, bool leadingZero) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%u", value);
    if (value >= 10) return std::string(digits, 2);
    return leadingZero ? std::string("0") + digits : std::string(digits);
}

// Copies at most `limit` characters (none for a negative limit) and the
// terminator; returns how many were copied.
int32_t Deliver(const std::string &text, char *buffer, long limit) {
    if (buffer == nullptr) return 0;
    size_t count = limit > 0 ? std::min(text.size(), static_cast<size_t>(limit)) : 0;
    std::memcpy(buffer, text.data(), count);
    buffer[count] = '\0';
    return static_cast<int32_t>(count);
}

// The text up to the first terminator: an empty separator ends the text there.
std::string Joined(const std::string &first, const std::string &separator, const std::string &rest) {
    if (separator.empty()) return first;
    return first + separator[0] + rest;
}

int32_t TimeString(uint8_t hour, uint8_t minute, char *buffer, int16_t maxLength) {
    bool twentyFour = kx::os::GetProfileIntA(kSection, "iTime", 0) == 1;
    std::string separator = ProfileString("sTime", ":", 4);
    bool leadingZero = kx::os::GetProfileIntA(kSection, "iTLZero", 0) != 0;
    std::string morning = ProfileString("s1159", "AM", 12);
    std::string evening = ProfileString("s2359", twentyFour ? "" : "PM", 12);

    unsigned shown = hour;
    std::string designator = evening;
    if (!twentyFour) {
        if (hour > 12) shown = hour - 12u;  // midnight shows as 0, noon as 12
        designator = hour < 12 ? morning : evening;
    }
    std::string rest = TwoDigits(minute, true);
    if (!designator.empty()) rest += " " + designator;
    std::string text = Joined(TwoDigits(shown, leadingZero), separator, rest);
    long limit = std::min<long>(maxLength, static_cast<long>(kTimeLimit));
    return Deliver(text, buffer, limit);
}

int32_t DateString(uint8_t year, uint8_t month, uint8_t day, char *buffer, int16_t maxLength) {
    std::string separator = ProfileString("sDate", "/", 6);
    std::string format = ProfileString("sShortDate", "", 16);
    if (format.empty()) format = "M/d/yy";
    size_t days = 0, months = 0, years = 0;
    for (char c : format) {
        days += c == 'd';
        months += c == 'M';
        years += c == 'y';
    }
    std::string d = TwoDigits(day, days == 2);
    std::string m = TwoDigits(month, months == 2);
    std::string y = years == 4 ? std::to_string(1900u + year)
                               : std::to_string(year >= 100 ? year - 100u : year);
    std::string text;
    switch (format[0]) {
        case 'd': text = Joined(d, separator, Joined(m, separator, y)); break;
        case 'M': text = Joined(m, separator, Joined(d, separator, y)); break;
        case 'y': text = Joined(y, separator, Joined(m, separator, d)); break;
        default: break;  // another order is not known: an empty text
    }
    return Deliver(text, buffer, maxLength);
}

}  // namespace

KXEXPORT int32_t KXAPI kxFileBuildIntlTimeStrShortFormat(uint8_t hour, uint8_t minute, char *buffer,
                                                         int16_t maxLength) {
    return kx::Guarded<int32_t>(0, [&] {
        if (buffer == nullptr) return kx::Failed<int32_t>(kx::err::kMisc, 0);
        return TimeString(hour, minute, buffer, maxLength);
    });
}

KXEXPORT int32_t KXAPI kxFileBuildIntlDateStrShortFormat(uint8_t year, uint8_t month, uint8_t day,
                                                         char *buffer, int16_t maxLength) {
    return kx::Guarded<int32_t>(0, [&] {
        if (buffer == nullptr) return kx::Failed<int32_t>(kx::err::kMisc, 0);
        return DateString(year, month, day, buffer, maxLength);
    });
}
