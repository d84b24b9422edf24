// The kernel's part of a saved machine state: whether the program runs, the message not yet
// shown, the boot slot, the instruction count and the queued events.
#include "core/Kernel.h"

#include "core/Machine.h"

CKernel::SState CKernel::SaveState() const {
    SState state;
    state.running = running;
    state.pendingMessage = pendingMessage;
    state.bootSlot = bootSlot;
    state.instructionCount = instructionCount;
    state.events.assign(events.begin(), events.end());
    state.clockQueried = clockQueried;
    state.counterFrequency = counterFrequency;
    return state;
}

void CKernel::RestoreState(const SState& state) {
    running = state.running;
    pendingMessage = state.pendingMessage;
    // A stopped machine's state carries why it stopped as its message still to show.
    stopMessage = running ? std::string() : state.pendingMessage;
    bootSlot = state.bootSlot;
    instructionCount = state.instructionCount;
    events.assign(state.events.begin(), state.events.end());
    clockQueried = state.clockQueried;
    counterFrequency = state.counterFrequency;
    // The memory may have a new buffer: the next slice takes a fresh view of it anyway.
    if (memory)
        RefreshFastView();
}

void CKernel::AttachWithoutBoot() {
    if (machine && machine->memory)
        memory = machine->memory;
}
