#include "debug/ReadWatch.h"

#include "core/Kernel.h"
#include "debug/Debugger.h"
#include "debug/MachineBytes.h"

#include <cstring>

void CReadWatch::Clear() {
    ranges.clear();
    anyRead = false;
}

void CReadWatch::Add(const uint8_t* bytes, uint32_t length, int id) {
    const auto begin = reinterpret_cast<uintptr_t>(bytes);
    ranges.push_back({begin, begin + length, id, false});
}

bool CReadWatch::WasRead(int id) const {
    for (const SRange& range : ranges)
        if (range.id == id && range.read)
            return true;
    return false;
}

void CReadWatch::BytesRead(const uint8_t* bytes, uint32_t count) {
    const auto begin = reinterpret_cast<uintptr_t>(bytes);
    const uintptr_t end = begin + count;
    for (SRange& range : ranges) {
        if (begin < range.end && end > range.begin) {
            range.read = true;
            anyRead = true;
        }
    }
}

uint64_t CReadWatch::Step(CKernel& kernel, uint32_t ip) {
    for (SRange& range : ranges)
        range.read = false;
    anyRead = false;
    CMemory& memory = kernel.GetMemory();
    memory.SetReadObserver(this);
    uint64_t result;
    if (const uint8_t* head = MachineBytes(memory, ip, 2)) {
        // The head's handler with nothing after it: the exact path's operand access.
        uint16_t word;
        std::memcpy(&word, head, 2);
        result = CKernel::RunHandler(kernel, ip, word, 0);
    } else {
        result = kernel.StepAt(ip); // the head cannot be read: the machine fails there
    }
    memory.SetReadObserver(nullptr);
    return result;
}

// --- The debugger's side -------------------------------------------------------------------

const char* WatchKindName(EWatchKind kind) {
    switch (kind) {
    case EWatchKind::Read:
        return "read";
    case EWatchKind::Access:
        return "access";
    case EWatchKind::Write:
        break;
    }
    return "write";
}

bool CDebugger::WatchesReads() const {
    for (const SWatchpoint& watchpoint : watchpoints)
        if (watchpoint.enabled && watchpoint.kind != EWatchKind::Write)
            return true;
    return false;
}

void CDebugger::BindReadWatch() {
    readWatch.Clear();
    for (const SWatchpoint& watchpoint : watchpoints)
        if (watchpoint.enabled && watchpoint.live && watchpoint.kind != EWatchKind::Write)
            readWatch.Add(watchpoint.live, watchpoint.length, watchpoint.id);
}

uint64_t CDebugger::StepOne(uint32_t ip) {
    return readWatch.IsActive() ? readWatch.Step(kernel, ip) : kernel.StepAt(ip);
}

// The read watchpoints that the last step read, counted (an access watchpoint whose bytes the
// step also changed is counted with the changes); the first one's number, or 0.
int CDebugger::TakeReadHits(bool countHits) {
    int first = 0;
    for (SWatchpoint& watchpoint : watchpoints) {
        if (!watchpoint.enabled || watchpoint.kind == EWatchKind::Write ||
            !readWatch.WasRead(watchpoint.id))
            continue;
        const bool changed =
            watchpoint.kind == EWatchKind::Access && watchpoint.live &&
            std::memcmp(watchpoint.live, watchpoint.bytes.data(), watchpoint.length) != 0;
        if (countHits && !changed)
            ++watchpoint.hits;
        if (first == 0)
            first = watchpoint.id;
    }
    return first;
}

// After the instruction at `head`, which changed watched bytes or not: a stop when it read or
// changed them. Changed bytes are reported before read ones.
bool CDebugger::WatchHitAfter(uint32_t head, bool changed) {
    const int read = readWatch.AnyRead() ? TakeReadHits(true) : 0;
    const int written = changed ? TakeWatchChanges(true) : 0;
    if (read == 0 && written == 0)
        return false;
    Stop(EDebugStop::Watch, head, written != 0 ? written : read);
    lastStop.read = written == 0;
    return true;
}
