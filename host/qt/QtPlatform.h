// The platform services of the window program: host timers of the main window, key state
// as the window's key messages left it, the monotonic clock and the desktop's wheel
// setting.
#pragma once

#include "core/Platform.h"

#include <cstdint>
#include <functional>
#include <set>

class CHostTimers;

class CQtPlatform : public CPlatform {
public:
    using BeepSink = std::function<void(uint32_t frequency, uint32_t durationMs)>;

    explicit CQtPlatform(CHostTimers& timers);

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

    // --- The window's side ------------------------------------------------------------
    // A key went down or up in the window. Every press flips the key's toggle, as Caps
    // Lock's light does.
    void KeyChanged(uint32_t virtualKey, bool down);
    // The window lost the keyboard: no key counts as held any more.
    void ReleaseAllKeys();
    // Where beeps go (the desktop's bell until the sound output is installed).
    void SetBeepSink(BeepSink sink) { beepSink = std::move(sink); }

private:
    CHostTimers& timers;
    std::set<uint32_t> keysDown;
    std::set<uint32_t> keysToggled;
    BeepSink beepSink;
};
