// Failures on demand, shared by both implementations of the operating-system
// layer: tests make the Nth allocation fail or the disk fill up (test_hooks.h).
#pragma once

#include "platform/platform.h"

namespace kx::os::faults {

// True when this allocation is the one a test asked to fail.
bool AllocationFails();

// How many of `length` bytes the disk still takes; takes them from the budget.
DWORD TakeDiskSpace(DWORD length);

// True while a test has volume queries fail.
bool VolumeQueryFails();

}  // namespace kx::os::faults
