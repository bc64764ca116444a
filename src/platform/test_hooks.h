// Controls of the operating-system layer for tests: which drives exist, and
// failures on demand (the Nth allocation, a disk that fills up). Not part of the
// exported interface.
#pragma once

#include <cstdint>
#include <string>

namespace kx::os::testing {

// Replaces the drive table with the given description, in the syntax of
// KXFILES_DRIVES; an empty text restores the default (C: is "/"). Returns false,
// leaving the table unchanged, when the text cannot be parsed.
bool ConfigureDrives(const std::string &description);

// The allocation that comes `n` allocations from now fails (1: the next one);
// 0 switches the failure off. Returns the number of allocations made since the
// last call, so a test can size its fault loop.
uint64_t FailAllocation(uint64_t n);

// From now on the file system accepts at most `bytes` more bytes of writes;
// writes beyond that are short. A negative value removes the limit.
void SetDiskSpace(int64_t bytes);

// While on, every volume query (GetVolumeInformationA) fails, as it does for a
// share whose server does not answer it.
void FailVolumeQueries(bool fail);

}  // namespace kx::os::testing
