// MOV, CLR, FILL and SWAP of one value width.
#include "isa/BlockAccess.h"
#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"

namespace isa {
namespace {

template <typename T>
bool Move(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t) {
    T value;
    if (!kernel.ReadOperand(value, modeA) || !kernel.WriteOperand(value, modeB))
        return MemoryFault(kernel);
    return false;
}

template <typename T>
bool Clear(CKernel& kernel, uint32_t modeA, uint32_t, uint32_t, uint32_t) {
    return kernel.WriteOperand(T{0}, modeA) ? false : MemoryFault(kernel);
}

// Writes the value count times from C's address on; each element is an ordinary relative
// write, so a fill stops with an error at the first element that is not writable and keeps
// the elements before it.
template <typename T>
bool Fill(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t fieldC, uint32_t) {
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
        for (int32_t i = 0; i < count; ++i)
            std::memcpy(bytes + static_cast<size_t>(i) * sizeof(T), &value, sizeof(T));
        return false;
    }
    for (int32_t i = 0; i < count; ++i) {
        if (!memory.Write(address + static_cast<uint32_t>(i) * sizeof(T), value))
            return MemoryFault(kernel);
    }
    return false;
}

// Exchanges two values; when they overlap partly, the second write wins in the shared bytes.
template <typename T>
bool Swap(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t) {
    uint32_t a;
    uint32_t b;
    T valueA;
    T valueB;
    CMemory& memory = kernel.GetMemory();
    if (!kernel.GetOperandAddress(a, modeA, sizeof(T)) ||
        !kernel.GetOperandAddress(b, modeB, sizeof(T)) || !memory.Read(a, valueA, false) ||
        !memory.Read(b, valueB, false) || !memory.Write(a, valueB) || !memory.Write(b, valueA))
        return MemoryFault(kernel);
    return false;
}

} // namespace

InstructionHandler SelectMoveHandler(EFamily family, EValueType type) {
    return ForWidths(type, [family]<typename T>(TypeTag<T>) -> InstructionHandler {
        switch (family) {
        case EFamily::Move:
            return &Move<T>;
        case EFamily::Clear:
            return &Clear<T>;
        case EFamily::Fill:
            return &Fill<T>;
        case EFamily::Swap:
            return &Swap<T>;
        default:
            return nullptr;
        }
    });
}

} // namespace isa
