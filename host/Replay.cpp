#include "host/Replay.h"

#include "core/Kernel.h"
#include "core/Machine.h"
#include "host/ExitSignals.h"
#include "host/HostGate.h"
#include "host/HostSystem.h"

#include <limits>

namespace {

// Slices between two looks at the clock.
constexpr uint32_t kSlicesPerLook = 4096;

} // namespace

SHeadlessRunResult RunReplay(CMachine& machine, CHostGate& gate, const SRecording& recording,
                             const SHeadlessRunSettings& settings, const TitleSink& onTitle) {
    SHeadlessRunResult result;
    CKernel& kernel = *machine.kernel;
    gate.SetKernel(&kernel);

    const uint64_t start = MonotonicNanoseconds();
    const uint64_t firstCount = kernel.GetInstructionCount();
    const uint64_t limit =
        settings.instructionLimit == 0 ? 0 : firstCount + settings.instructionLimit;
    const uint64_t deadline = settings.timeoutSeconds <= 0.0
                                  ? std::numeric_limits<uint64_t>::max()
                                  : start + static_cast<uint64_t>(settings.timeoutSeconds * 1e9);
    std::string lastMessage;
    auto finish = [&](EStopReason reason, std::string message = {}) {
        result.reason = reason;
        result.stopMessage = reason == EStopReason::MachineStopped ? lastMessage : message;
        result.instructions = kernel.GetInstructionCount() - firstCount;
        result.seconds = static_cast<double>(MonotonicNanoseconds() - start) * 1e-9;
        gate.SetKernel(nullptr);
        return result;
    };
    auto diverged = [&](const std::string& why) {
        return finish(EStopReason::Diverged, "at instruction " +
                                                 std::to_string(kernel.GetInstructionCount()) +
                                                 ": " + why);
    };

    bool waiting = recording.startsWaiting;
    size_t next = 0;
    std::string message;
    for (uint32_t slices = 0;; ++slices) {
        const uint64_t count = kernel.GetInstructionCount();
        // What the host did between the last slice and this one.
        for (; next < recording.items.size() && recording.items[next].stamp <= count; ++next) {
            const SRecordedItem& item = recording.items[next];
            if (item.stamp < count)
                return diverged("the recording has input from instruction " +
                                std::to_string(item.stamp) + " still to deliver");
            if (item.type == SRecordedItem::EType::Event)
                gate.DeliverEvent(item.event);
            else if (item.type == SRecordedItem::EType::Resume)
                waiting = false;
        }
        if (count >= recording.endCount) {
            if (count > recording.endCount)
                return diverged("the recording ended at instruction " +
                                std::to_string(recording.endCount));
            return finish(EStopReason::Replayed);
        }
        if (waiting)
            return diverged("the program waits, and the recording goes on at instruction " +
                            std::to_string(next < recording.items.size()
                                               ? recording.items[next].stamp
                                               : recording.endCount));
        waiting = kernel.RunSlice(message);
        if (!message.empty()) {
            lastMessage = message;
            if (onTitle)
                onTitle(message);
        }
        if (gate.HasDiverged())
            return diverged(gate.GetDivergence());
        if (!kernel.IsRunning())
            return finish(EStopReason::MachineStopped);
        if (limit != 0 && kernel.GetInstructionCount() >= limit)
            return finish(EStopReason::Steps);
        if (slices % kSlicesPerLook == 0) {
            if (IsExitRequested())
                return finish(EStopReason::ExitRequested);
            if (MonotonicNanoseconds() >= deadline)
                return finish(EStopReason::Timeout);
        }
    }
}
