// CDebugger going backwards: the machine's history (debug/MachineHistory.h) restores a
// snapshot, and the debugger runs forward from it to the wanted instruction.
#include "debug/Debugger.h"

#include "core/Kernel.h"
#include "debug/MachineHistory.h"

#include <algorithm>

void CDebugger::KeepHistory(CMachine& machine, CHostGate& gate, size_t budgetBytes,
                            uint64_t interval) {
    history = std::make_unique<CMachineHistory>(machine, gate, budgetBytes, interval);
}

void CDebugger::DropHistory() {
    history.reset();
}

SHistoryFigures CDebugger::GetHistoryFigures() const {
    return history ? history->GetFigures() : SHistoryFigures{};
}

bool CDebugger::IsInPast() const {
    return history && history->IsInPast();
}

bool CDebugger::CanGoBack(std::string& error) const {
    if (!history)
        error = "the debugger keeps no history of this machine";
    else if (!paused)
        error = "the machine runs; pause it first";
    else if (kernel.GetInstructionCount() <= history->GetOldestCount())
        error = "the history reaches no further back";
    else
        return true;
    return false;
}

bool CDebugger::StepBack(std::string& error) {
    if (!CanGoBack(error))
        return false;
    const uint64_t target = kernel.GetInstructionCount() - 1;
    history->RestoreAtOrBefore(target);
    Land(target);
    Stop(EDebugStop::Step, kernel.GetIP());
    return true;
}

bool CDebugger::ReverseContinue(std::string& error) {
    if (!CanGoBack(error))
        return false;
    const uint64_t now = kernel.GetInstructionCount();
    // From the snapshot before now backwards, one stretch between two snapshots at a time,
    // until a stretch has a hit; the last hit of that stretch is the one.
    uint64_t end = now;
    uint64_t from = history->RestoreAtOrBefore(now - 1);
    for (;;) {
        std::vector<SPastHit> hits;
        ReplayTo(end, &hits);
        std::erase_if(hits, [now](const SPastHit& hit) { return hit.count >= now; });
        if (!hits.empty()) {
            const SPastHit hit = hits.back();
            history->RestoreAtOrBefore(hit.count);
            Land(hit.count);
            Stop(hit.kind, hit.address, hit.id);
            lastStop.read = hit.read;
            return true;
        }
        uint64_t previous = 0;
        if (!history->PreviousSnapshot(from, previous))
            break;
        end = from;
        from = history->RestoreAtOrBefore(previous);
    }
    Land(history->RestoreAtOrBefore(history->GetOldestCount()));
    Stop(EDebugStop::Oldest, kernel.GetIP());
    return true;
}

// After a snapshot was restored: runs to `target` and pauses there, with the events due at
// that instruction queued and the watchpoints taking the bytes as they are there.
void CDebugger::Land(uint64_t target) {
    ReplayTo(target, nullptr);
    history->DeliverDue();
    faultReported = !kernel.IsRunning();
    mode = EMode::Run;
    callDepth = 0;
    RefreshWatchpoints();
}

// Runs the restored machine forward to the instruction count `target`, with the host's
// part from the history. With `hits`, every breakpoint reached (its condition holding) and
// every change of watched bytes on the way is noted, ignore counts left aside; nothing
// stops the run. Slices are cut at the noted events, so that each arrives at its count.
void CDebugger::ReplayTo(uint64_t target, std::vector<SPastHit>* hits) {
    std::string message;
    if (hits) {
        RefreshWatchpoints();
        BindWatchWords();
    }
    while (kernel.IsRunning() && kernel.GetInstructionCount() < target) {
        history->DeliverDue();
        const uint64_t count = kernel.GetInstructionCount();
        const uint64_t bound = std::min(target, history->NextStop());
        if (!hits && bound - count >= kInstructionsPerSlice) {
            kernel.RunSlice(message);
            continue;
        }
        kernel.BeginSteppedSlice();
        uint32_t ip = kernel.GetIP();
        uint32_t executed = 0;
        bool ended = false;
        while (!ended && executed < kInstructionsPerSlice && count + executed < bound) {
            if (hits && enabledBreakpoints > 0) {
                kernel.SetIP(ip);
                if (const int id = BreakpointAt(ip))
                    hits->push_back({count + executed, EDebugStop::Break, ip, id});
            }
            const uint32_t head = ip;
            const uint64_t result = hits ? StepOne(ip) : kernel.StepAt(ip);
            ++executed;
            ip = static_cast<uint32_t>(result);
            if (!kernel.IsRunning())
                break;
            if (hits && enabledWatchpoints > 0) {
                const int read = readWatch.AnyRead() ? TakeReadHits(false) : 0;
                const int written = WatchpointsChanged() ? TakeWatchChanges(false) : 0;
                if (read != 0 || written != 0) {
                    hits->push_back({count + executed, EDebugStop::Watch, head,
                                     written != 0 ? written : read, written == 0});
                    BindWatchWords();
                }
            }
            ended = (result & kSliceEnds) != 0;
        }
        kernel.EndSteppedSlice(ip, executed, ended, message);
    }
}

// The first enabled breakpoint at ip whose condition holds (or cannot be evaluated); 0: none.
int CDebugger::BreakpointAt(uint32_t ip) const {
    for (const SBreakpoint& breakpoint : breakpoints) {
        if (!breakpoint.enabled || breakpoint.address != ip)
            continue;
        SDebugValue value;
        std::string error;
        if (breakpoint.condition.IsEmpty() ||
            !breakpoint.condition.Evaluate(GetMemory(), symbols, value, error) || value.IsTrue())
            return breakpoint.id;
    }
    return 0;
}

// A slice of the machine's past, run by the front end (continue, step and the rest after
// going back): as in the present, but cut at the next noted event or at the present, and
// never waiting, since the host did not keep the program waiting anywhere before the present.
bool CDebugger::PastSlice(std::string& message) {
    history->DeliverDue();
    const uint64_t left = history->NextStop() - kernel.GetInstructionCount();
    bool result;
    if (!NeedsChecks() && left >= kInstructionsPerSlice) {
        result = kernel.RunSlice(message);
    } else {
        sliceBudget = static_cast<uint32_t>(std::min<uint64_t>(left, kInstructionsPerSlice));
        result = RunCheckedSlice(message);
        sliceBudget = kInstructionsPerSlice;
    }
    // The machine pauses with the events due here queued, as it had them.
    history->DeliverDue();
    if (history->ReachPresent())
        return result;
    return paused;
}
