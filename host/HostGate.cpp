#include "host/HostGate.h"

#include "core/Kernel.h"
#include "host/HeadlessPlatform.h"

#include <algorithm>

namespace {

const char* ValueName(EHostValue value) {
    switch (value) {
    case EHostValue::PerformanceFrequency:
        return "the counter frequency";
    case EHostValue::PerformanceCounter:
        return "the performance counter";
    case EHostValue::TickCount:
        return "the tick count";
    case EHostValue::KeyState:
        return "a key state";
    case EHostValue::KeyDownNow:
        return "a key held now";
    case EHostValue::OSVersion:
        return "the host version";
    case EHostValue::WheelScrollLines:
        return "the wheel setting";
    case EHostValue::StartTimer:
        return "a timer start";
    case EHostValue::StopTimer:
        return "a timer stop";
    case EHostValue::DeviceValue:
        return "a screen size or the mouse's place";
    }
    return "a host value";
}

} // namespace

void CHostGate::SetKernel(CKernel* current) {
    if (kernel)
        kernel->SetEventObserver(nullptr);
    kernel = current;
    if (!kernel)
        return;
    kernel->SetEventObserver([this](const CEvent& event) {
        if (mode == EMode::Replaying)
            return delivering;
        SRecordedItem item;
        item.type = SRecordedItem::EType::Event;
        item.stamp = Stamp();
        item.event = event;
        Note(item);
        return true;
    });
}

void CHostGate::Note(const SRecordedItem& item) {
    if (mode == EMode::Recording)
        recording.items.push_back(item);
    if (journal && mode != EMode::Replaying)
        journal(item);
}

void CHostGate::DeliverEvent(const CEvent& event) {
    if (!kernel)
        return;
    delivering = true;
    kernel->PostEvent(event);
    delivering = false;
}

void CHostGate::StartRecording(std::vector<uint8_t> startState, bool programWaits) {
    recording = SRecording();
    recording.startState = std::move(startState);
    recording.startsWaiting = programWaits;
    mode = EMode::Recording;
}

SRecording CHostGate::StopRecording() {
    recording.endCount = Stamp();
    mode = EMode::PassThrough;
    SRecording finished = std::move(recording);
    recording = SRecording();
    return finished;
}

void CHostGate::NoteResume() {
    if (mode != EMode::Recording)
        return;
    SRecordedItem item;
    item.type = SRecordedItem::EType::Resume;
    item.stamp = Stamp();
    recording.items.push_back(item);
}

void CHostGate::StartReplay(const std::vector<SRecordedItem>& items,
                            const std::vector<SHostTimer>& timers) {
    values.clear();
    for (const SRecordedItem& item : items) {
        if (item.type == SRecordedItem::EType::Value)
            values.push_back(item);
    }
    replayTimers.clear();
    for (const SHostTimer& timer : timers)
        replayTimers[timer.id] = timer.intervalMs;
    divergence.clear();
    if (mode != EMode::Replaying)
        modeBeforeReplay = mode;
    mode = EMode::Replaying;
}

void CHostGate::EndReplay() {
    if (mode != EMode::Replaying)
        return;
    mode = modeBeforeReplay;
    values.clear();
    replayTimers.clear();
    divergence.clear();
}

bool CHostGate::ProgramAsks() const {
    return kernel && kernel->IsExecuting();
}

uint64_t CHostGate::Stamp() const {
    return kernel ? kernel->GetInstructionCount() : 0;
}

template <typename TLive>
void CHostGate::Read(EHostValue value, uint64_t argument, bool hasArgument, uint64_t& a,
                     uint64_t& b, TLive live) {
    if (mode == EMode::Replaying && ProgramAsks()) {
        const bool matches = !values.empty() && values.front().value == value &&
                             (!hasArgument || values.front().a == argument);
        if (!matches) {
            // The first difference is the one worth reporting; the run goes on with
            // neutral answers until its host ends it.
            if (divergence.empty())
                divergence = std::string("the program read ") + ValueName(value) +
                             " where the recording has " +
                             (values.empty() ? "nothing more" : ValueName(values.front().value));
            a = argument;
            b = 0;
            return;
        }
        a = values.front().a;
        b = values.front().b;
        values.pop_front();
        return;
    }
    live(a, b);
    if ((mode == EMode::Recording || journal) && ProgramAsks()) {
        SRecordedItem item;
        item.type = SRecordedItem::EType::Value;
        item.stamp = Stamp();
        item.value = value;
        item.a = a;
        item.b = b;
        Note(item);
    }
}

bool CHostGate::ReplayTimer(uint32_t id, uint32_t intervalMs, bool start) {
    if (!start)
        return replayTimers.erase(id) > 0;
    replayTimers[id] = std::clamp(intervalMs, CHeadlessPlatform::kMinimumTimerInterval,
                                  CHeadlessPlatform::kMaximumTimerInterval);
    return true;
}

bool CHostGate::StartTimer(uint32_t id, uint32_t intervalMs) {
    if (mode == EMode::Replaying && !ProgramAsks())
        return ReplayTimer(id, intervalMs, true);
    uint64_t a = 0;
    uint64_t b = 0;
    const uint64_t argument = id | uint64_t{intervalMs} << 32;
    Read(EHostValue::StartTimer, argument, true, a, b, [&](uint64_t& outA, uint64_t& outB) {
        outA = argument;
        outB = host.StartTimer(id, intervalMs) ? 1 : 0;
    });
    if (mode == EMode::Replaying && b != 0)
        ReplayTimer(id, intervalMs, true);
    return b != 0;
}

bool CHostGate::StopTimer(uint32_t id) {
    if (mode == EMode::Replaying && !ProgramAsks())
        return ReplayTimer(id, 0, false);
    uint64_t a = 0;
    uint64_t b = 0;
    Read(EHostValue::StopTimer, id, true, a, b, [&](uint64_t& outA, uint64_t& outB) {
        outA = id;
        outB = host.StopTimer(id) ? 1 : 0;
    });
    if (mode == EMode::Replaying)
        ReplayTimer(id, 0, false);
    return b != 0;
}

std::vector<SHostTimer> CHostGate::GetRunningTimers() const {
    if (mode != EMode::Replaying)
        return host.GetRunningTimers();
    std::vector<SHostTimer> running;
    for (const auto& [id, interval] : replayTimers)
        running.push_back({id, interval});
    return running;
}

void CHostGate::Beep(uint32_t frequency, uint32_t durationMs) {
    host.Beep(frequency, durationMs);
}

bool CHostGate::GetPerformanceFrequency(uint64_t& frequency) {
    uint64_t answered = 0;
    uint64_t value = 0;
    Read(EHostValue::PerformanceFrequency, 0, false, answered, value,
         [&](uint64_t& a, uint64_t& b) { a = host.GetPerformanceFrequency(b) ? 1 : 0; });
    frequency = value;
    return answered != 0;
}

uint64_t CHostGate::GetPerformanceCounter() {
    uint64_t counter = 0;
    uint64_t unused = 0;
    Read(EHostValue::PerformanceCounter, 0, false, counter, unused,
         [&](uint64_t& a, uint64_t&) { a = host.GetPerformanceCounter(); });
    return counter;
}

uint32_t CHostGate::GetTickCount() {
    uint64_t ticks = 0;
    uint64_t unused = 0;
    Read(EHostValue::TickCount, 0, false, ticks, unused,
         [&](uint64_t& a, uint64_t&) { a = host.GetTickCount(); });
    return static_cast<uint32_t>(ticks);
}

void CHostGate::GetKeyState(uint32_t virtualKey, bool& down, bool& toggled) {
    uint64_t key = 0;
    uint64_t flags = 0;
    Read(EHostValue::KeyState, virtualKey, true, key, flags, [&](uint64_t& a, uint64_t& b) {
        bool isDown = false;
        bool isToggled = false;
        host.GetKeyState(virtualKey, isDown, isToggled);
        a = virtualKey;
        b = (isDown ? 1 : 0) | (isToggled ? 2 : 0);
    });
    down = (flags & 1) != 0;
    toggled = (flags & 2) != 0;
}

bool CHostGate::IsKeyDownNow(uint32_t virtualKey) {
    uint64_t key = 0;
    uint64_t down = 0;
    Read(EHostValue::KeyDownNow, virtualKey, true, key, down, [&](uint64_t& a, uint64_t& b) {
        a = virtualKey;
        b = host.IsKeyDownNow(virtualKey) ? 1 : 0;
    });
    return down != 0;
}

SOSVersion CHostGate::GetOSVersion() {
    uint64_t first = 0;
    uint64_t second = 0;
    Read(EHostValue::OSVersion, 0, false, first, second, [&](uint64_t& a, uint64_t& b) {
        const SOSVersion v = host.GetOSVersion();
        a = v.major | uint64_t{v.minor} << 32;
        b = v.build | uint64_t{v.platformId} << 32;
    });
    return {static_cast<uint32_t>(first), static_cast<uint32_t>(first >> 32),
            static_cast<uint32_t>(second), static_cast<uint32_t>(second >> 32)};
}

void CHostGate::SetThreadPriority(EThreadPriority priority) {
    host.SetThreadPriority(priority);
}

bool CHostGate::GetWheelScrollLines(uint32_t& lines) {
    uint64_t answered = 0;
    uint64_t value = 0;
    Read(EHostValue::WheelScrollLines, 0, false, answered, value, [&](uint64_t& a, uint64_t& b) {
        uint32_t hostLines = 0;
        a = host.GetWheelScrollLines(hostLines) ? 1 : 0;
        b = hostLines;
    });
    lines = static_cast<uint32_t>(value);
    return answered != 0;
}

uint64_t CHostGate::PassDeviceValue(EDeviceValue kind, uint64_t value) {
    uint64_t which = 0;
    uint64_t passed = 0;
    Read(EHostValue::DeviceValue, static_cast<uint64_t>(kind), true, which, passed,
         [&](uint64_t& a, uint64_t& b) {
             a = static_cast<uint64_t>(kind);
             b = host.PassDeviceValue(kind, value);
         });
    return passed;
}
