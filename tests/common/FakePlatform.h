// A platform for tests: timers, keys and clocks are plain values the test sets and reads.
#pragma once

#include "core/Platform.h"

#include <map>
#include <vector>

class CFakePlatform : public CPlatform {
public:
    bool StartTimer(uint32_t id, uint32_t intervalMs) override {
        if (!acceptTimers)
            return false;
        timers[id] = intervalMs;
        return true;
    }
    bool StopTimer(uint32_t id) override { return timers.erase(id) > 0; }
    std::vector<SHostTimer> GetRunningTimers() const override {
        std::vector<SHostTimer> running;
        for (const auto& [id, interval] : timers)
            running.push_back({id, interval});
        return running;
    }
    void Beep(uint32_t frequency, uint32_t durationMs) override {
        beeps.push_back({frequency, durationMs});
    }
    bool GetPerformanceFrequency(uint64_t& frequency) override {
        frequency = counterFrequency;
        return counterFrequency != 0;
    }
    uint64_t GetPerformanceCounter() override { return counter; }
    uint32_t GetTickCount() override { return tickCount; }
    void GetKeyState(uint32_t virtualKey, bool& down, bool& toggled) override {
        down = keysDown.count(virtualKey) > 0;
        toggled = keysToggled.count(virtualKey) > 0;
    }
    bool IsKeyDownNow(uint32_t virtualKey) override { return keysDownNow.count(virtualKey) > 0; }
    SOSVersion GetOSVersion() override { return osVersion; }
    void SetThreadPriority(EThreadPriority priority) override { threadPriority = priority; }
    bool GetWheelScrollLines(uint32_t& lines) override {
        lines = wheelLines;
        return wheelLinesKnown;
    }

    bool acceptTimers = true;
    std::map<uint32_t, uint32_t> timers;
    struct SBeep {
        uint32_t frequency;
        uint32_t durationMs;
    };
    std::vector<SBeep> beeps;
    uint64_t counterFrequency = 1000000;
    uint64_t counter = 0;
    uint32_t tickCount = 0;
    std::map<uint32_t, bool> keysDown, keysToggled, keysDownNow;
    SOSVersion osVersion{6, 1, 7601, 2};
    EThreadPriority threadPriority = EThreadPriority::Normal;
    uint32_t wheelLines = 3;
    bool wheelLinesKnown = true;
};
