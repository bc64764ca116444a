// The edge between the exported C functions and the library's C++.
//
// The library's error convention: the functions below the exports return an
// ErrorCode (err::kNone on success) and never record one; each export records
// the code of its failure once, here, as the calling thread's last error. An
// export that fails therefore always leaves a code other than 0; a 0 that is
// an answer (no directory part, no more entries, a name that is not valid for
// a predicate) is not a failure and records nothing.
//
// No exception leaves an export: a failed allocation becomes 10 "Out of
// memory"; anything else unexpected becomes 16 "Internal error".
#pragma once

#include <new>
#include <utility>

#include "core/errors.h"

namespace kx {

// Records `code` as the last error and gives the export's `failure` result.
template <typename Result>
Result Failed(ErrorCode code, Result failure) {
    SetThreadError(code);
    return failure;
}

// The 1/0 result of an export whose work gave `code`; a failure is recorded.
inline int32_t ExportResult(ErrorCode code) { return code == err::kNone ? 1 : Failed<int32_t>(code, 0); }

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
