// The platform of a host without a window: timers on the real clock that post their events
// when the host's loop asks for them, key state as the host's scripted input leaves it, the
// monotonic clock, and beeps kept as a list for whoever renders the sound.
#pragma once

#include "core/Platform.h"

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <vector>

class CKernel;

class CHeadlessPlatform : public CPlatform {
public:
    // Host timers fire no more often than every 10 milliseconds, like window timers.
    static constexpr uint32_t kMinimumTimerInterval = 10;
    static constexpr uint32_t kMaximumTimerInterval = 0x7FFFFFFF;

    struct SBeep {
        uint64_t startNs; // monotonic time of the call
        uint32_t frequency;
        uint32_t durationMs;
    };

    bool StartTimer(uint32_t id, uint32_t intervalMs) override;
    bool StopTimer(uint32_t id) override;
    std::vector<SHostTimer> GetRunningTimers() const override;
    void Beep(uint32_t frequency, uint32_t durationMs) override;
    bool GetPerformanceFrequency(uint64_t& frequency) override;
    uint64_t GetPerformanceCounter() override;
    uint32_t GetTickCount() override;
    void GetKeyState(uint32_t virtualKey, bool& down, bool& toggled) override;
    bool IsKeyDownNow(uint32_t virtualKey) override;
    SOSVersion GetOSVersion() override;
    void SetThreadPriority(EThreadPriority priority) override;
    bool GetWheelScrollLines(uint32_t& lines) override;

    // --- The host's side ----------------------------------------------------------------
    bool HasTimers() const { return !timers.empty(); }
    // Posts one timer event for each timer whose time has come (missed periods are not
    // made up, as a window receives one timer message however late it looks). Returns how
    // many were posted.
    int PostDueTimers(CKernel& kernel, uint64_t nowNs);
    // Monotonic time of the next expiry; only meaningful while HasTimers().
    uint64_t NextTimerDue() const;

    // Records a key going down or up, as the window procedure's messages would.
    void SetKeyDown(uint32_t virtualKey, bool down);

    // Where beeps sound (the host's audio, when it has one); every beep is also recorded.
    using BeepHandler = std::function<void(uint32_t frequency, uint32_t durationMs)>;
    void SetBeepHandler(BeepHandler handler) { beepHandler = std::move(handler); }
    const std::vector<SBeep>& GetBeeps() const { return beeps; }

private:
    struct STimer {
        uint32_t intervalMs;
        uint64_t intervalNs;
        uint64_t dueNs;
    };
    std::map<uint32_t, STimer> timers;
    std::set<uint32_t> keysDown;
    std::set<uint32_t> keysToggled;
    std::vector<SBeep> beeps;
    BeepHandler beepHandler;
};
