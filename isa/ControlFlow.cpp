// Jumps, calls and returns with their conditions, SKIP, NOP, SYS, GETEVENT and WAIT.
#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"

namespace isa {
namespace {

constexpr uint32_t kLastCondition = 8;

template <typename T, typename Kernel>
bool ReadAndTest(Kernel& kernel, uint32_t mode, bool wantZero, bool& holds) {
    T value;
    if (!kernel.ReadOperand(value, mode))
        return false;
    holds = (value == 0) == wantZero;
    return true;
}

// Condition 0 always holds; 1 - 4 test a byte, word, dword or qword for zero, 5 - 8 for
// non-zero. The tested value is read (and its field consumed) only for a real condition.
template <typename Kernel>
bool TestCondition(Kernel& kernel, uint32_t condition, uint32_t mode, bool& holds) {
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
template <typename Kernel>
bool Jump(Kernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t condition) {
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
template <typename Kernel>
bool Call(Kernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t condition) {
    uint32_t target;
    bool holds;
    if (!kernel.GetOperandAddress(target, modeA, 0) ||
        !TestCondition(kernel, condition, modeB, holds))
        return MemoryFault(kernel);
    if (!holds)
        return false;
    if (!kernel.WriteMemory(kernel.GetSP(), kernel.GetIP()))
        return MemoryFault(kernel);
    kernel.SetSP(kernel.GetSP() + 4);
    kernel.SetIP(kernel.GetBASE() + target);
    return false;
}

template <typename Kernel>
bool Return(Kernel& kernel, uint32_t modeA, uint32_t, uint32_t, uint32_t condition) {
    bool holds;
    if (!TestCondition(kernel, condition, modeA, holds))
        return MemoryFault(kernel);
    if (!holds)
        return false;
    kernel.SetSP(kernel.GetSP() - 4);
    uint32_t address;
    if (!kernel.ReadMemory(kernel.GetSP(), address))
        return MemoryFault(kernel);
    kernel.SetIP(address);
    return false;
}

// The exact handlers check the condition number first; each family has its own message.
template <bool (*Body)(CKernel&, uint32_t, uint32_t, uint32_t, uint32_t), uint32_t Error>
bool CheckedCondition(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t fieldC,
                      uint32_t condition) {
    if (condition > kLastCondition)
        return InternalError(kernel, Error);
    return Body(kernel, modeA, modeB, fieldC, condition);
}

// The distance counts from the end of the instruction and wraps, so a large one goes back.
template <typename T, typename Kernel>
bool Skip(Kernel& kernel, uint32_t modeA, uint32_t, uint32_t, uint32_t) {
    T distance;
    if (!kernel.ReadOperand(distance, modeA))
        return MemoryFault(kernel);
    kernel.SetIP(kernel.GetIP() + distance);
    return false;
}

template <typename Kernel>
bool Nop(Kernel&, uint32_t, uint32_t, uint32_t, uint32_t) {
    return false;
}

template <typename Kernel>
bool SystemCall(Kernel& kernel, uint32_t, uint32_t, uint32_t, uint32_t) {
    return kernel.SystemCall();
}

template <typename Kernel>
bool GetEvent(Kernel& kernel, uint32_t, uint32_t, uint32_t, uint32_t) {
    return kernel.TakeEvent() ? false : MemoryFault(kernel);
}

// Ends the slice while no event waits; the machine keeps running.
template <typename Kernel>
bool Wait(Kernel& kernel, uint32_t, uint32_t, uint32_t, uint32_t) {
    return !kernel.HasEvents();
}

} // namespace

SDispatchEntry SelectControlHandler(const SOpcodeInfo& info) {
    constexpr uint32_t kConditions = kLastCondition + 1;
    const uint32_t parameter = info.parameter;
    switch (info.family) {
    case EFamily::Jump:
        return WithSpecialisedForms<&CheckedCondition<&Jump<CKernel>, 100>, &Jump<CFastAccess>,
                                    &Jump<CSpecialisedAccess>, 2, kConditions>(parameter);
    case EFamily::Call:
        return WithSpecialisedForms<&CheckedCondition<&Call<CKernel>, 101>, &Call<CFastAccess>,
                                    &Call<CSpecialisedAccess>, 2, kConditions>(parameter);
    case EFamily::Return:
        return WithFastForms<&CheckedCondition<&Return<CKernel>, 102>, &Return<CFastAccess>,
                             kConditions>(parameter);
    case EFamily::SystemCall:
        return WithFastForms<&SystemCall<CKernel>, &SystemCall<CFastAccess>>(parameter);
    case EFamily::GetEvent:
        return WithFastForms<&GetEvent<CKernel>, &GetEvent<CFastAccess>>(parameter);
    case EFamily::Wait:
        return WithFastForms<&Wait<CKernel>, &Wait<CFastAccess>>(parameter);
    case EFamily::Nop:
        return WithSpecialisedForms<&Nop<CKernel>, &Nop<CFastAccess>, &Nop<CSpecialisedAccess>, 0>(
            parameter);
    case EFamily::Skip:
        return ForWidths(info.type, [&]<typename T>(TypeTag<T>) -> SDispatchEntry {
            if constexpr (sizeof(T) <= 4)
                return WithSpecialisedForms<&Skip<T, CKernel>, &Skip<T, CFastAccess>,
                                            &Skip<T, CSpecialisedAccess>, 1>(parameter);
            else
                return {};
        });
    default:
        return {};
    }
}

} // namespace isa
