#include "host/HostSystem.h"

#include <ctime>
#include <sys/utsname.h>
#include <unistd.h>

namespace {

uint64_t ClockNanoseconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<uint64_t>(now.tv_sec) * 1000000000u + static_cast<uint64_t>(now.tv_nsec);
}

// Reads the next decimal number of a release text such as "6.1.0-18-amd64".
uint32_t NextNumber(const char*& text) {
    while (*text && (*text < '0' || *text > '9'))
        ++text;
    uint32_t value = 0;
    while (*text >= '0' && *text <= '9')
        value = value * 10 + static_cast<uint32_t>(*text++ - '0');
    return value;
}

} // namespace

uint64_t MonotonicNanoseconds() {
    return ClockNanoseconds(CLOCK_MONOTONIC);
}

uint32_t MonotonicTickCount() {
    // The boot-time clock keeps counting during suspend, as a tick count does.
    return static_cast<uint32_t>(ClockNanoseconds(CLOCK_BOOTTIME) / 1000000u);
}

SOSVersion QueryOSVersion() {
    SOSVersion version;
    utsname names{};
    if (uname(&names) == 0) {
        const char* release = names.release;
        version.major = NextNumber(release);
        version.minor = NextNumber(release);
        version.build = NextNumber(release);
    }
    version.platformId = 2;
    return version;
}
