// PUSH, POP, PUSHB, POPB, PUSHR and POPR. The stack grows upward: a push writes at SP and
// then advances SP, a pop moves SP back first and then reads. A push moves SP only after its
// write succeeded; a pop keeps the moved SP even when its read or write fails.
#include "isa/BlockAccess.h"
#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"

namespace isa {
namespace {

constexpr int32_t kGeneralRegisterBytes = 32;

template <typename T, typename Kernel>
bool Push(Kernel& kernel, uint32_t modeA, uint32_t, uint32_t, uint32_t) {
    T value;
    if (!kernel.ReadOperand(value, modeA) || !kernel.WriteMemory(kernel.GetSP(), value))
        return MemoryFault(kernel);
    kernel.SetSP(kernel.GetSP() + sizeof(T));
    return false;
}

template <typename T, typename Kernel>
bool Pop(Kernel& kernel, uint32_t modeA, uint32_t, uint32_t, uint32_t) {
    kernel.SetSP(kernel.GetSP() - sizeof(T));
    T value;
    if (!kernel.ReadMemory(kernel.GetSP(), value) || !kernel.WriteOperand(value, modeA))
        return MemoryFault(kernel);
    return false;
}

template <typename Kernel>
bool PushBlock(Kernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t) {
    int32_t count;
    if (!kernel.ReadOperand(count, modeA))
        return MemoryFault(kernel);
    CBlockSource source;
    if (!source.Locate(kernel, count, modeB) ||
        !kernel.WriteBlock(kernel.GetSP(), source.Bytes(), count))
        return MemoryFault(kernel);
    kernel.SetSP(kernel.GetSP() + static_cast<uint32_t>(count));
    return false;
}

template <typename Kernel>
bool PopBlock(Kernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t) {
    int32_t count;
    if (!kernel.ReadOperand(count, modeA))
        return MemoryFault(kernel);
    kernel.SetSP(kernel.GetSP() - static_cast<uint32_t>(count));
    CBlockSource source;
    if (!source.LocateAt(kernel, kernel.GetSP(), count))
        return MemoryFault(kernel);
    uint32_t destination;
    if (!kernel.GetOperandAddress(destination, modeB, static_cast<uint32_t>(count)) ||
        !kernel.WriteBlock(destination, source.Bytes(), count))
        return MemoryFault(kernel);
    return false;
}

template <typename Kernel>
bool PushRegisters(Kernel& kernel, uint32_t, uint32_t, uint32_t, uint32_t) {
    uint8_t registers[kGeneralRegisterBytes];
    CMemory& memory = kernel.GetMemory();
    if (!memory.ReadBlock(kRegisterBlockAddress, registers, kGeneralRegisterBytes, false) ||
        !memory.WriteBlock(kernel.GetSP(), registers, kGeneralRegisterBytes))
        return MemoryFault(kernel);
    kernel.SetSP(kernel.GetSP() + kGeneralRegisterBytes);
    return false;
}

template <typename Kernel>
bool PopRegisters(Kernel& kernel, uint32_t, uint32_t, uint32_t, uint32_t) {
    kernel.SetSP(kernel.GetSP() - kGeneralRegisterBytes);
    uint8_t registers[kGeneralRegisterBytes];
    CMemory& memory = kernel.GetMemory();
    if (!memory.ReadBlock(kernel.GetSP(), registers, kGeneralRegisterBytes, false) ||
        !memory.WriteBlock(kRegisterBlockAddress, registers, kGeneralRegisterBytes))
        return MemoryFault(kernel);
    return false;
}

} // namespace

SDispatchEntry SelectStackHandler(const SOpcodeInfo& info) {
    const uint32_t parameter = info.parameter;
    switch (info.family) {
    case EFamily::PushBlock:
        return WithFastForms<&PushBlock<CKernel>, &PushBlock<CFastAccess>>(parameter);
    case EFamily::PopBlock:
        return WithFastForms<&PopBlock<CKernel>, &PopBlock<CFastAccess>>(parameter);
    case EFamily::PushRegisters:
        return WithFastForms<&PushRegisters<CKernel>, &PushRegisters<CFastAccess>>(parameter);
    case EFamily::PopRegisters:
        return WithFastForms<&PopRegisters<CKernel>, &PopRegisters<CFastAccess>>(parameter);
    case EFamily::Push:
        return ForWidths(info.type, [&]<typename T>(TypeTag<T>) {
            return WithSpecialisedForms<&Push<T, CKernel>, &Push<T, CFastAccess>,
                                        &Push<T, CSpecialisedAccess>, 1>(parameter);
        });
    case EFamily::Pop:
        return ForWidths(info.type, [&]<typename T>(TypeTag<T>) {
            return WithFastForms<&Pop<T, CKernel>, &Pop<T, CFastAccess>>(parameter);
        });
    default:
        return {};
    }
}

} // namespace isa
