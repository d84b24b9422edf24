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
constexpr auto Jump = [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB, uint32_t,
                         uint32_t condition) {
    uint32_t target;
    bool holds;
    if (!kernel.GetOperandAddress(target, modeA, 0) ||
        !TestCondition(kernel, condition, modeB, holds))
        return MemoryFault(kernel);
    if (holds)
        kernel.SetIP(kernel.GetBASE() + target);
    return false;
};

// The return address is the absolute IP of the next instruction, so a return lands right
// even when BASE changed in between.
constexpr auto Call = [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB, uint32_t,
                         uint32_t condition) {
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
};

constexpr auto Return = [](OperandAccess auto& kernel, uint32_t modeA, uint32_t, uint32_t,
                           uint32_t condition) {
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
};

// The distance counts from the end of the instruction and wraps, so a large one goes back.
template <typename T>
constexpr auto Skip = [](OperandAccess auto& kernel, uint32_t modeA, uint32_t, uint32_t, uint32_t) {
    T distance;
    if (!kernel.ReadOperand(distance, modeA))
        return MemoryFault(kernel);
    kernel.SetIP(kernel.GetIP() + distance);
    return false;
};

constexpr auto Nop = [](auto&, uint32_t, uint32_t, uint32_t, uint32_t) { return false; };

constexpr auto SystemCall = [](MachineAccess auto& kernel, uint32_t, uint32_t, uint32_t, uint32_t) {
    return kernel.SystemCall();
};

constexpr auto GetEvent = [](MachineAccess auto& kernel, uint32_t, uint32_t, uint32_t, uint32_t) {
    return kernel.TakeEvent() ? false : MemoryFault(kernel);
};

// Ends the slice while no event waits; the machine keeps running.
constexpr auto Wait = [](MachineAccess auto& kernel, uint32_t, uint32_t, uint32_t, uint32_t) {
    return !kernel.HasEvents();
};

} // namespace

// Jumps and calls run hot in the measured programs; RET moves SP before its last read, so it
// cannot be specialised, and the others are rare.
SDispatchEntry SelectControlHandler(const SOpcodeInfo& info) {
    constexpr uint32_t kConditions = kLastCondition + 1;
    switch (info.family) {
    case EFamily::Jump:
        return Register<
            Jump, SForms{.parameters = kConditions, .error = 100, .specialised = kAllParameters}>(
            info);
    case EFamily::Call:
        return Register<
            Call, SForms{.parameters = kConditions, .error = 101, .specialised = kAllParameters}>(
            info);
    case EFamily::Return:
        return Register<Return, SForms{.parameters = kConditions, .error = 102}>(info);
    case EFamily::SystemCall:
        return Register<SystemCall>(info);
    case EFamily::GetEvent:
        return Register<GetEvent>(info);
    case EFamily::Wait:
        return Register<Wait>(info);
    case EFamily::Nop:
        return Register<Nop>(info);
    case EFamily::Skip:
        return ForWidths(info.type, [&]<typename T>(TypeTag<T>) -> SDispatchEntry {
            if constexpr (sizeof(T) <= 4)
                return Register<Skip<T>>(info);
            else
                return {};
        });
    default:
        return {};
    }
}

} // namespace isa
