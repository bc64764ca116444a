// The edge between the exported C functions and the library's C++: no
// exception leaves an export. A failed allocation becomes 10 "Out of memory";
// anything else unexpected becomes 16 "Internal error".
#pragma once

#include <new>
#include <utility>

#include "core/errors.h"

namespace kx {

template <typename Result, typename Body>
Result Guarded(Result failure, Body &&body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (const std::bad_alloc &) {
        SetThreadError(err::kOutOfMemory);
    } catch (...) {
        SetThreadError(err::kInternal);
    }
    return failure;
}

}  // namespace kx
