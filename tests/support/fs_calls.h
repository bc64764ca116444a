// Outcomes of the library's file-system calls, for the tests of fs/ and names/.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>

#include "kxfiles.h"

namespace kxtest {

using Outcome = std::pair<int32_t, int32_t>;  // a call's result and the last error it left

template <typename Call>
Outcome Called(Call call) {
    kxFileErrorClear();
    int32_t result = call();
    return {result, kxFileErrorVal()};
}

inline Outcome Delete(const char *name) {
    return Called([&] { return kxFileDelete(name); });
}

inline Outcome Rename(const char *from, const char *to) {
    return Called([&] { return kxFileRename(from, to); });
}

// A date's fields in the record's order: day, month, year, second, minute, hour.
inline std::array<int, 6> Fields(const KXFILEDATETIME &d) {
    return {d.day, d.month, d.year, d.second, d.minute, d.hour};
}

inline std::string FullName(const char *name) {
    char out[260] = "";
    if (kxFileGetFullName(name, out)) return out;
    return "(failed, error " + std::to_string(kxFileErrorVal()) + ")";
}

}  // namespace kxtest
