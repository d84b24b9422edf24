// The services the machine asks of its host. The window program implements them with the
// window system; the headless runner and the tests implement them without one. Values that
// programs can see keep the meaning they have on the original platform (virtual-key codes,
// tick counts in milliseconds).
#pragma once

#include <cstdint>
#include <vector>

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

// Values of devices that depend on the host (see CPlatform::PassDeviceValue).
enum class EDeviceValue : uint32_t {
    ScreenCellSize = 1,
    ScreenPixelScale,
    ScreenCapacity,
    MousePosition
};

// A host timer that runs, with the interval it was started with (after the host's clamping).
struct SHostTimer {
    uint32_t id = 0;
    uint32_t intervalMs = 0;
};

class CPlatform {
public:
    virtual ~CPlatform() = default;

    // Host timers: each expiry posts a timer event with `id` to the current machine.
    // Starting an id that runs already restarts it with the new interval.
    virtual bool StartTimer(uint32_t id, uint32_t intervalMs) = 0;
    virtual bool StopTimer(uint32_t id) = 0;
    // The timers running now, by identifier (saved machine states carry them).
    virtual std::vector<SHostTimer> GetRunningTimers() const = 0;

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

    // A value that a device worked out from the host's state and hands to the program (the
    // screen's cell size, pixel scale and capacity follow the window; the mouse's place is
    // where the host last moved it). Hosts pass it on as it
    // is; a host that records a session notes it, one that replays answers the recorded one.
    virtual uint64_t PassDeviceValue(EDeviceValue kind, uint64_t value) {
        (void)kind;
        return value;
    }
};
