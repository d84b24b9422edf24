// The services the machine asks of its host. The window program implements them with the
// window system; the headless runner and the tests implement them without one. Values that
// programs can see keep the meaning they have on the original platform (virtual-key codes,
// tick counts in milliseconds).
#pragma once

#include <cstdint>

struct SOSVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t build = 0;
    uint32_t platformId = 0;
};

// Thread priorities of the machine's thread, from idle to time critical.
enum class EThreadPriority {
    Idle,
    Lowest,
    BelowNormal,
    Normal,
    AboveNormal,
    Highest,
    TimeCritical
};

class CPlatform {
public:
    virtual ~CPlatform() = default;

    // Host timers: each expiry posts a timer event with `id` to the current machine.
    // Starting an id that runs already restarts it with the new interval.
    virtual bool StartTimer(uint32_t id, uint32_t intervalMs) = 0;
    virtual bool StopTimer(uint32_t id) = 0;

    // Sounds a tone without blocking the machine.
    virtual void Beep(uint32_t frequency, uint32_t durationMs) = 0;

    // High-resolution counter; false when the host has none.
    virtual bool GetPerformanceFrequency(uint64_t& frequency) = 0;
    virtual uint64_t GetPerformanceCounter() = 0;
    // Milliseconds since some fixed moment, wrapping at 2^32.
    virtual uint32_t GetTickCount() = 0;

    // Key state as of the input messages handled so far (down, toggled), and at this moment.
    virtual void GetKeyState(uint32_t virtualKey, bool& down, bool& toggled) = 0;
    virtual bool IsKeyDownNow(uint32_t virtualKey) = 0;

    virtual SOSVersion GetOSVersion() = 0;
    virtual void SetThreadPriority(EThreadPriority priority) = 0;
    // The wheel-scroll-lines setting; false when it cannot be read.
    virtual bool GetWheelScrollLines(uint32_t& lines) = 0;
};
