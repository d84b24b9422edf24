#include "host/RunLoop.h"

#include "core/Kernel.h"

void CRunLoop::SetKernel(CKernel* current) {
    kernel = current;
    waiting = false;
}

CRunLoop::SBurst CRunLoop::RunBurst(uint32_t maxSlices, uint64_t instructionLimit,
                                    const MessageSink& onMessage) {
    SBurst burst;
    if (!kernel) {
        waiting = true;
        return burst;
    }
    while (burst.slices < maxSlices) {
        waiting = sliceRunner ? sliceRunner(message) : kernel->RunSlice(message);
        ++burst.slices;
        if (!message.empty() && onMessage)
            onMessage(message);
        if (instructionLimit != 0 && kernel->GetInstructionCount() >= instructionLimit) {
            burst.limitReached = true;
            break;
        }
        if (waiting)
            break;
    }
    return burst;
}

bool CRunLoop::IsProgramWaiting() const {
    return kernel && waiting && kernel->IsRunning() && !kernel->HasEvents();
}
