// A platform for fuzzing: everything a program can ask of its host, answered the same way
// on every run, so that an input always takes the same path.
#pragma once

#include "core/Platform.h"

#include <map>

class CFuzzPlatform : public CPlatform {
public:
    bool StartTimer(uint32_t id, uint32_t intervalMs) override {
        if (intervalMs == 0)
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
    void Beep(uint32_t, uint32_t) override {}
    bool GetPerformanceFrequency(uint64_t& frequency) override {
        frequency = 1000000;
        return true;
    }
    uint64_t GetPerformanceCounter() override { return counter += 1000; }
    uint32_t GetTickCount() override { return static_cast<uint32_t>(counter / 1000); }
    void GetKeyState(uint32_t virtualKey, bool& down, bool& toggled) override {
        down = (virtualKey & 1) != 0;
        toggled = (virtualKey & 2) != 0;
    }
    bool IsKeyDownNow(uint32_t virtualKey) override { return (virtualKey & 4) != 0; }
    SOSVersion GetOSVersion() override { return {6, 1, 7601, 2}; }
    void SetThreadPriority(EThreadPriority) override {}
    bool GetWheelScrollLines(uint32_t& lines) override {
        lines = 3;
        return true;
    }

    // The timers the program has running.
    std::map<uint32_t, uint32_t> timers;

private:
    uint64_t counter = 0;
};
