#include "host/HeadlessRun.h"

#include "core/Kernel.h"
#include "core/Machine.h"
#include "host/ExitSignals.h"
#include "host/HeadlessPlatform.h"
#include "host/HostSystem.h"
#include "host/RunLoop.h"
#include "support/TextFunctions.h"

#include <algorithm>
#include <limits>

namespace {

// Slices between two looks at the clock: about a millisecond of a busy program.
constexpr uint32_t kSlicesPerBurst = 4096;
constexpr uint64_t kNoDeadline = std::numeric_limits<uint64_t>::max();

uint64_t DeadlineAfter(uint64_t start, double seconds) {
    if (seconds <= 0.0)
        return kNoDeadline;
    const double nanoseconds = seconds * 1e9;
    if (nanoseconds >= static_cast<double>(kNoDeadline - start))
        return kNoDeadline;
    return start + static_cast<uint64_t>(nanoseconds);
}

} // namespace

SHeadlessRunResult RunHeadless(CMachine& machine, CHeadlessPlatform& platform,
                               const SHeadlessRunSettings& settings, const TitleSink& onTitle) {
    SHeadlessRunResult result;
    CKernel& kernel = *machine.kernel;
    CRunLoop loop;
    loop.SetKernel(&kernel);
    loop.SetSliceRunner(settings.runSlice);
    std::string lastMessage;
    const CRunLoop::MessageSink sink = [&](const std::string& message) {
        lastMessage = message;
        if (onTitle)
            onTitle(message);
    };

    const uint64_t start = MonotonicNanoseconds();
    const uint64_t deadline = DeadlineAfter(start, settings.timeoutSeconds);
    const uint64_t firstCount = kernel.GetInstructionCount();
    const uint64_t limit =
        settings.instructionLimit == 0 ? 0 : firstCount + settings.instructionLimit;
    auto finish = [&](EStopReason reason) {
        result.reason = reason;
        if (reason == EStopReason::MachineStopped)
            result.stopMessage = lastMessage;
        result.instructions = kernel.GetInstructionCount() - firstCount;
        result.seconds = static_cast<double>(MonotonicNanoseconds() - start) * 1e-9;
        return result;
    };

    uint64_t lastDelivery = firstCount;
    auto deliverNext = [&] {
        DeliverScriptedInput(settings.keys[result.keysDelivered++], machine, platform);
        lastDelivery = kernel.GetInstructionCount();
        loop.Wake();
    };
    auto inputLeft = [&] { return result.keysDelivered < settings.keys.size(); };
    // The count at which the next item is due whether or not the program waits; 0: none.
    auto nextTimedDelivery = [&]() -> uint64_t {
        return settings.keyEvery != 0 && inputLeft() ? lastDelivery + settings.keyEvery : 0;
    };

    for (;;) {
        // A waiting program runs again only after a message woke it.
        if (!loop.ShouldWait()) {
            const uint64_t timed = nextTimedDelivery();
            const uint64_t burstLimit =
                timed == 0 ? limit : (limit == 0 ? timed : std::min(limit, timed));
            loop.RunBurst(kSlicesPerBurst, burstLimit, sink);
            if (!kernel.IsRunning())
                return finish(EStopReason::MachineStopped);
            if (settings.isPaused && settings.isPaused())
                return finish(EStopReason::Paused);
            if (limit != 0 && kernel.GetInstructionCount() >= limit)
                return finish(EStopReason::Steps);
            if (timed != 0 && kernel.GetInstructionCount() >= timed)
                deliverNext();
        }
        // A signal asked the program to close: the host stops the machine the orderly way.
        if (IsExitRequested())
            return finish(EStopReason::ExitRequested);
        const uint64_t now = MonotonicNanoseconds();
        // A timer message wakes a waiting program like any other window message.
        if (platform.PostDueTimers(kernel, now) > 0)
            loop.Wake();
        if (now >= deadline)
            return finish(EStopReason::Timeout);
        if (!loop.ShouldWait())
            continue;
        if (kernel.HasEvents()) {
            loop.Wake();
        } else if (inputLeft()) {
            deliverNext();
        } else if (!platform.HasTimers()) {
            return finish(EStopReason::Idle);
        } else {
            SleepUntilOrExitRequest(std::min(platform.NextTimerDue(), deadline));
        }
    }
}

std::string DescribeStop(const SHeadlessRunResult& result) {
    switch (result.reason) {
    case EStopReason::MachineStopped:
        return TitleText(result.stopMessage);
    case EStopReason::Idle:
        return "idle";
    case EStopReason::Steps:
        return "steps";
    case EStopReason::Timeout:
        return "timeout";
    case EStopReason::ExitRequested:
        return "exit requested";
    case EStopReason::Paused:
        return "paused";
    case EStopReason::Replayed:
        return "replayed";
    case EStopReason::Diverged:
        return "diverged";
    }
    return {};
}

std::string TitleText(const std::string& message) {
    return qm::CodePageToUtf8(message.substr(0, message.find('\0')));
}
