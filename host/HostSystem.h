// The Linux services behind the platform interface that every front end needs alike:
// clocks and the system's version.
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
