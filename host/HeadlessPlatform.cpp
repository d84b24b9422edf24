#include "host/HeadlessPlatform.h"

#include "core/Kernel.h"
#include "host/HostSystem.h"
#include "host/ThreadPriority.h"

#include <algorithm>
#include <limits>

namespace {
constexpr uint64_t kNanosecondsPerMillisecond = 1000000;
}

bool CHeadlessPlatform::StartTimer(uint32_t id, uint32_t intervalMs) {
    const uint32_t clamped = std::clamp(intervalMs, kMinimumTimerInterval, kMaximumTimerInterval);
    const uint64_t interval = uint64_t{clamped} * kNanosecondsPerMillisecond;
    timers[id] = {clamped, interval, MonotonicNanoseconds() + interval};
    return true;
}

bool CHeadlessPlatform::StopTimer(uint32_t id) {
    return timers.erase(id) > 0;
}

std::vector<SHostTimer> CHeadlessPlatform::GetRunningTimers() const {
    std::vector<SHostTimer> running;
    for (const auto& [id, timer] : timers)
        running.push_back({id, timer.intervalMs});
    return running;
}

void CHeadlessPlatform::Beep(uint32_t frequency, uint32_t durationMs) {
    beeps.push_back({MonotonicNanoseconds(), frequency, durationMs});
    if (beepHandler)
        beepHandler(frequency, durationMs);
}

bool CHeadlessPlatform::GetPerformanceFrequency(uint64_t& frequency) {
    frequency = 1000000000;
    return true;
}

uint64_t CHeadlessPlatform::GetPerformanceCounter() {
    return MonotonicNanoseconds();
}

uint32_t CHeadlessPlatform::GetTickCount() {
    return MonotonicTickCount();
}

void CHeadlessPlatform::GetKeyState(uint32_t virtualKey, bool& down, bool& toggled) {
    down = keysDown.count(virtualKey) > 0;
    toggled = keysToggled.count(virtualKey) > 0;
}

// Without a keyboard the state at this moment is the scripted one.
bool CHeadlessPlatform::IsKeyDownNow(uint32_t virtualKey) {
    return keysDown.count(virtualKey) > 0;
}

SOSVersion CHeadlessPlatform::GetOSVersion() {
    return QueryOSVersion();
}

void CHeadlessPlatform::SetThreadPriority(EThreadPriority priority) {
    ApplyThreadPriority(priority);
}

bool CHeadlessPlatform::GetWheelScrollLines(uint32_t& lines) {
    lines = 3;
    return true;
}

int CHeadlessPlatform::PostDueTimers(CKernel& kernel, uint64_t nowNs) {
    int posted = 0;
    for (auto& [id, timer] : timers) {
        if (timer.dueNs > nowNs)
            continue;
        kernel.PostTimerEvent(id);
        ++posted;
        // The next expiry keeps the timer's rhythm and lies in the future.
        const uint64_t periods = (nowNs - timer.dueNs) / timer.intervalNs + 1;
        timer.dueNs += periods * timer.intervalNs;
    }
    return posted;
}

uint64_t CHeadlessPlatform::NextTimerDue() const {
    uint64_t next = std::numeric_limits<uint64_t>::max();
    for (const auto& [id, timer] : timers)
        next = std::min(next, timer.dueNs);
    return next;
}

void CHeadlessPlatform::SetKeyDown(uint32_t virtualKey, bool down) {
    if (!down) {
        keysDown.erase(virtualKey);
        return;
    }
    // Every press flips the toggle state, as for the lock keys.
    if (keysDown.insert(virtualKey).second && !keysToggled.erase(virtualKey))
        keysToggled.insert(virtualKey);
}
