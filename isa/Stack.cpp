// PUSH, POP, PUSHB, POPB, PUSHR and POPR. The stack grows upward: a push writes at SP and
// then advances SP, a pop moves SP back first and then reads. A push moves SP only after its
// write succeeded; a pop keeps the moved SP even when its read or write fails.
#include "isa/BlockAccess.h"
#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"

namespace isa {
namespace {

constexpr int32_t kGeneralRegisterBytes = 32;

template <typename T>
bool Push(CKernel& kernel, uint32_t modeA, uint32_t, uint32_t, uint32_t) {
    T value;
    if (!kernel.ReadOperand(value, modeA) || !kernel.GetMemory().Write(kernel.GetSP(), value))
        return MemoryFault(kernel);
    kernel.SetSP(kernel.GetSP() + sizeof(T));
    return false;
}

template <typename T>
bool Pop(CKernel& kernel, uint32_t modeA, uint32_t, uint32_t, uint32_t) {
    kernel.SetSP(kernel.GetSP() - sizeof(T));
    T value;
    if (!kernel.GetMemory().Read(kernel.GetSP(), value, false) ||
        !kernel.WriteOperand(value, modeA))
        return MemoryFault(kernel);
    return false;
}

bool PushBlock(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t) {
    int32_t count;
    if (!kernel.ReadOperand(count, modeA))
        return MemoryFault(kernel);
    CBlockSource source;
    if (!source.Locate(kernel, count, modeB) ||
        !kernel.GetMemory().WriteBlock(kernel.GetSP(), source.Bytes(), count))
        return MemoryFault(kernel);
    kernel.SetSP(kernel.GetSP() + static_cast<uint32_t>(count));
    return false;
}

bool PopBlock(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t) {
    int32_t count;
    if (!kernel.ReadOperand(count, modeA))
        return MemoryFault(kernel);
    kernel.SetSP(kernel.GetSP() - static_cast<uint32_t>(count));
    CMemory& memory = kernel.GetMemory();
    CBlockSource source;
    if (!source.LocateAt(memory, kernel.GetSP(), count))
        return MemoryFault(kernel);
    uint32_t destination;
    if (!kernel.GetOperandAddress(destination, modeB, static_cast<uint32_t>(count)) ||
        !memory.WriteBlock(destination, source.Bytes(), count))
        return MemoryFault(kernel);
    return false;
}

bool PushRegisters(CKernel& kernel, uint32_t, uint32_t, uint32_t, uint32_t) {
    uint8_t registers[kGeneralRegisterBytes];
    CMemory& memory = kernel.GetMemory();
    if (!memory.ReadBlock(kRegisterBlockAddress, registers, kGeneralRegisterBytes, false) ||
        !memory.WriteBlock(kernel.GetSP(), registers, kGeneralRegisterBytes))
        return MemoryFault(kernel);
    kernel.SetSP(kernel.GetSP() + kGeneralRegisterBytes);
    return false;
}

bool PopRegisters(CKernel& kernel, uint32_t, uint32_t, uint32_t, uint32_t) {
    kernel.SetSP(kernel.GetSP() - kGeneralRegisterBytes);
    uint8_t registers[kGeneralRegisterBytes];
    CMemory& memory = kernel.GetMemory();
    if (!memory.ReadBlock(kernel.GetSP(), registers, kGeneralRegisterBytes, false) ||
        !memory.WriteBlock(kRegisterBlockAddress, registers, kGeneralRegisterBytes))
        return MemoryFault(kernel);
    return false;
}

} // namespace

InstructionHandler SelectStackHandler(EFamily family, EValueType type) {
    switch (family) {
    case EFamily::PushBlock:
        return &PushBlock;
    case EFamily::PopBlock:
        return &PopBlock;
    case EFamily::PushRegisters:
        return &PushRegisters;
    case EFamily::PopRegisters:
        return &PopRegisters;
    case EFamily::Push:
        return ForWidths(type,
                         []<typename T>(TypeTag<T>) -> InstructionHandler { return &Push<T>; });
    case EFamily::Pop:
        return ForWidths(type,
                         []<typename T>(TypeTag<T>) -> InstructionHandler { return &Pop<T>; });
    default:
        return nullptr;
    }
}

} // namespace isa
