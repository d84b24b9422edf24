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
constexpr auto Push = [](OperandAccess auto& kernel, uint32_t modeA, uint32_t, uint32_t, uint32_t) {
    T value;
    if (!kernel.ReadOperand(value, modeA) || !kernel.WriteMemory(kernel.GetSP(), value))
        return MemoryFault(kernel);
    kernel.SetSP(kernel.GetSP() + sizeof(T));
    return false;
};

template <typename T>
constexpr auto Pop = [](OperandAccess auto& kernel, uint32_t modeA, uint32_t, uint32_t, uint32_t) {
    kernel.SetSP(kernel.GetSP() - sizeof(T));
    T value;
    if (!kernel.ReadMemory(kernel.GetSP(), value) || !kernel.WriteOperand(value, modeA))
        return MemoryFault(kernel);
    return false;
};

constexpr auto PushBlock = [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB, uint32_t,
                              uint32_t) {
    int32_t count;
    if (!kernel.ReadOperand(count, modeA))
        return MemoryFault(kernel);
    CBlockSource source;
    if (!source.Locate(kernel, count, modeB) ||
        !kernel.WriteBlock(kernel.GetSP(), source.Bytes(), count))
        return MemoryFault(kernel);
    kernel.SetSP(kernel.GetSP() + static_cast<uint32_t>(count));
    return false;
};

constexpr auto PopBlock = [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB, uint32_t,
                             uint32_t) {
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
};

constexpr auto PushRegisters = [](MachineAccess auto& kernel, uint32_t, uint32_t, uint32_t,
                                  uint32_t) {
    uint8_t registers[kGeneralRegisterBytes];
    CMemory& memory = kernel.GetMemory();
    if (!memory.ReadBlock(kRegisterBlockAddress, registers, kGeneralRegisterBytes, false) ||
        !memory.WriteBlock(kernel.GetSP(), registers, kGeneralRegisterBytes))
        return MemoryFault(kernel);
    kernel.SetSP(kernel.GetSP() + kGeneralRegisterBytes);
    return false;
};

constexpr auto PopRegisters = [](MachineAccess auto& kernel, uint32_t, uint32_t, uint32_t,
                                 uint32_t) {
    kernel.SetSP(kernel.GetSP() - kGeneralRegisterBytes);
    uint8_t registers[kGeneralRegisterBytes];
    CMemory& memory = kernel.GetMemory();
    if (!memory.ReadBlock(kernel.GetSP(), registers, kGeneralRegisterBytes, false) ||
        !memory.WriteBlock(kRegisterBlockAddress, registers, kGeneralRegisterBytes))
        return MemoryFault(kernel);
    return false;
};

} // namespace

// PUSH and PUSHB read their operand before they move SP; POP and POPB move SP first, and
// PUSHR and POPR name no operand, so they run on their fast forms.
SDispatchEntry SelectStackHandler(const SOpcodeInfo& info) {
    constexpr SForms kSpecialised{.specialised = kAllParameters};
    switch (info.family) {
    case EFamily::PushBlock:
        return Register<PushBlock, kSpecialised>(info);
    case EFamily::PopBlock:
        return Register<PopBlock>(info);
    case EFamily::PushRegisters:
        return Register<PushRegisters>(info);
    case EFamily::PopRegisters:
        return Register<PopRegisters>(info);
    case EFamily::Push:
        return ForWidths(info.type, [&]<typename T>(TypeTag<T>) {
            return Register<Push<T>, kSpecialised>(info);
        });
    case EFamily::Pop:
        return ForWidths(info.type, [&]<typename T>(TypeTag<T>) { return Register<Pop<T>>(info); });
    default:
        return {};
    }
}

} // namespace isa
