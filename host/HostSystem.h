// The Linux services behind the platform interface that every front end needs alike:
// clocks, the system's version, the priority of the machine's thread.
#pragma once

#include "core/Platform.h"

#include <cstdint>

// Nanoseconds of the monotonic clock.
uint64_t MonotonicNanoseconds();
// Milliseconds of the monotonic clock (time since boot), wrapping at 2^32 like a tick count.
uint32_t MonotonicTickCount();

// The kernel release as major.minor.build; the platform identifier is the one of the
// modern family of the original platform (2), which programs test for.
SOSVersion QueryOSVersion();

// Sets the nice value of the calling thread for a priority level; a change the system
// refuses (raising without the right to) is ignored.
void SetCurrentThreadPriority(EThreadPriority priority);
// The nice value used for a priority level.
int NiceValueFor(EThreadPriority priority);
