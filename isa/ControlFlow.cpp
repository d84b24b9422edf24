// Jumps, calls and returns with their conditions, SKIP, NOP, SYS, GETEVENT and WAIT.
#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"

namespace isa {
namespace {

constexpr uint32_t kLastCondition = 8;

template <typename T>
bool ReadAndTest(CKernel& kernel, uint32_t mode, bool wantZero, bool& holds) {
    T value;
    if (!kernel.ReadOperand(value, mode))
        return false;
    holds = (value == 0) == wantZero;
    return true;
}

// Condition 0 always holds; 1 - 4 test a byte, word, dword or qword for zero, 5 - 8 for
// non-zero. The tested value is read (and its field consumed) only for a real condition.
bool TestCondition(CKernel& kernel, uint32_t condition, uint32_t mode, bool& holds) {
    if (condition == 0) {
        holds = true;
        return true;
    }
    const bool wantZero = condition <= 4;
    switch ((condition - 1) & 3) {
    case 0:
        return ReadAndTest<uint8_t>(kernel, mode, wantZero, holds);
    case 1:
        return ReadAndTest<uint16_t>(kernel, mode, wantZero, holds);
    case 2:
        return ReadAndTest<uint32_t>(kernel, mode, wantZero, holds);
    default:
        return ReadAndTest<uint64_t>(kernel, mode, wantZero, holds);
    }
}

// A target is resolved like a destination of size 0: an immediate target consumes nothing
// and names the bytes right behind the head.
bool Jump(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t condition) {
    if (condition > kLastCondition)
        return InternalError(kernel, 100);
    uint32_t target;
    bool holds;
    if (!kernel.GetOperandAddress(target, modeA, 0) ||
        !TestCondition(kernel, condition, modeB, holds))
        return MemoryFault(kernel);
    if (holds)
        kernel.SetIP(kernel.GetBASE() + target);
    return false;
}

// The return address is the absolute IP of the next instruction, so a return lands right
// even when BASE changed in between.
bool Call(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t condition) {
    if (condition > kLastCondition)
        return InternalError(kernel, 101);
    uint32_t target;
    bool holds;
    if (!kernel.GetOperandAddress(target, modeA, 0) ||
        !TestCondition(kernel, condition, modeB, holds))
        return MemoryFault(kernel);
    if (!holds)
        return false;
    if (!kernel.GetMemory().WriteDword(kernel.GetSP(), kernel.GetIP()))
        return MemoryFault(kernel);
    kernel.SetSP(kernel.GetSP() + 4);
    kernel.SetIP(kernel.GetBASE() + target);
    return false;
}

bool Return(CKernel& kernel, uint32_t modeA, uint32_t, uint32_t, uint32_t condition) {
    if (condition > kLastCondition)
        return InternalError(kernel, 102);
    bool holds;
    if (!TestCondition(kernel, condition, modeA, holds))
        return MemoryFault(kernel);
    if (!holds)
        return false;
    kernel.SetSP(kernel.GetSP() - 4);
    uint32_t address;
    if (!kernel.GetMemory().ReadDword(kernel.GetSP(), address, false))
        return MemoryFault(kernel);
    kernel.SetIP(address);
    return false;
}

// The distance counts from the end of the instruction and wraps, so a large one goes back.
template <typename T>
bool Skip(CKernel& kernel, uint32_t modeA, uint32_t, uint32_t, uint32_t) {
    T distance;
    if (!kernel.ReadOperand(distance, modeA))
        return MemoryFault(kernel);
    kernel.SetIP(kernel.GetIP() + distance);
    return false;
}

bool Nop(CKernel&, uint32_t, uint32_t, uint32_t, uint32_t) {
    return false;
}

bool SystemCall(CKernel& kernel, uint32_t, uint32_t, uint32_t, uint32_t) {
    return kernel.SystemCall();
}

bool GetEvent(CKernel& kernel, uint32_t, uint32_t, uint32_t, uint32_t) {
    return kernel.TakeEvent() ? false : MemoryFault(kernel);
}

// Ends the slice while no event waits; the machine keeps running.
bool Wait(CKernel& kernel, uint32_t, uint32_t, uint32_t, uint32_t) {
    return !kernel.HasEvents();
}

} // namespace

InstructionHandler SelectControlHandler(EFamily family, EValueType type) {
    switch (family) {
    case EFamily::Jump:
        return &Jump;
    case EFamily::Call:
        return &Call;
    case EFamily::Return:
        return &Return;
    case EFamily::SystemCall:
        return &SystemCall;
    case EFamily::GetEvent:
        return &GetEvent;
    case EFamily::Wait:
        return &Wait;
    case EFamily::Nop:
        return &Nop;
    case EFamily::Skip:
        return ForWidths(type, []<typename T>(TypeTag<T>) -> InstructionHandler {
            if constexpr (sizeof(T) <= 4)
                return &Skip<T>;
            else
                return nullptr;
        });
    default:
        return nullptr;
    }
}

} // namespace isa
