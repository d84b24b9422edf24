// MOV, CLR, FILL and SWAP of one value width.
#include "isa/BlockAccess.h"
#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"

namespace isa {
namespace {

template <typename T, typename Kernel>
bool Move(Kernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t) {
    T value;
    if (!kernel.ReadOperand(value, modeA) || !kernel.WriteOperand(value, modeB))
        return MemoryFault(kernel);
    return false;
}

template <typename T, typename Kernel>
bool Clear(Kernel& kernel, uint32_t modeA, uint32_t, uint32_t, uint32_t) {
    return kernel.WriteOperand(T{0}, modeA) ? false : MemoryFault(kernel);
}

// Writes the value count times from C's address on; each element is an ordinary relative
// write, so a fill stops with an error at the first element that is not writable and keeps
// the elements before it.
template <typename T, typename Kernel>
bool Fill(Kernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t fieldC, uint32_t) {
    int32_t count;
    T value;
    uint32_t address;
    if (!kernel.ReadOperand(count, modeA) || !kernel.ReadOperand(value, modeB) ||
        !kernel.GetOperandAddress(address, fieldC, sizeof(T)))
        return MemoryFault(kernel);
    if (count <= 0)
        return false;
    CMemory& memory = kernel.GetMemory();
    if (uint8_t* bytes = ContiguousRange(memory, address, int64_t{count} * sizeof(T))) {
        FillPattern(bytes, value, count);
        return false;
    }
    for (int32_t i = 0; i < count; ++i) {
        if (!memory.Write(address + static_cast<uint32_t>(i) * sizeof(T), value))
            return MemoryFault(kernel);
    }
    return false;
}

// Exchanges two values; when they overlap partly, the second write wins in the shared bytes.
template <typename T, typename Kernel>
bool Swap(Kernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t) {
    uint32_t a;
    uint32_t b;
    T valueA;
    T valueB;
    if (!kernel.GetOperandAddress(a, modeA, sizeof(T)) ||
        !kernel.GetOperandAddress(b, modeB, sizeof(T)) || !kernel.ReadMemory(a, valueA) ||
        !kernel.ReadMemory(b, valueB) || !kernel.WriteMemory(a, valueB) ||
        !kernel.WriteMemory(b, valueA))
        return MemoryFault(kernel);
    return false;
}

} // namespace

SDispatchEntry SelectMoveHandler(const SOpcodeInfo& info) {
    return ForWidths(info.type, [&]<typename T>(TypeTag<T>) -> SDispatchEntry {
        switch (info.family) {
        case EFamily::Move:
            return WithSpecialisedForms<&Move<T, CKernel>, &Move<T, CFastAccess>,
                                        &Move<T, CSpecialisedAccess>, 2>(info.parameter);
        case EFamily::Clear:
            return WithSpecialisedForms<&Clear<T, CKernel>, &Clear<T, CFastAccess>,
                                        &Clear<T, CSpecialisedAccess>, 1>(info.parameter);
        case EFamily::Fill:
            return WithFastForms<&Fill<T, CKernel>, &Fill<T, CFastAccess>>(info.parameter);
        case EFamily::Swap:
            return WithFastForms<&Swap<T, CKernel>, &Swap<T, CFastAccess>>(info.parameter);
        default:
            return {};
        }
    });
}

} // namespace isa
