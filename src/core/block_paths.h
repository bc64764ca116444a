// Whether the layers take their block paths: runs of bytes that need
// no work read from and written into the stream's buffer at once. They give
// the same bytes as the value-at-a-time paths; tests switch them off to
// compare the two. Not part of the exported interface.
#pragma once

namespace kx {

namespace detail {
inline bool blockPaths = true;
}  // namespace detail

inline bool BlockPaths() { return detail::blockPaths; }

namespace testing {
// Off: every value goes through the value-at-a-time paths. Not thread-safe:
// for tests only, between transfers.
inline void SetBlockPaths(bool on) { detail::blockPaths = on; }
}  // namespace testing

}  // namespace kx
