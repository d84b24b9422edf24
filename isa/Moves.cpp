// MOV, CLR, FILL and SWAP of one value width.
#include "isa/BlockAccess.h"
#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"

namespace isa {
namespace {

template <typename T>
constexpr auto Move =
    [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t) {
        T value;
        if (!kernel.ReadOperand(value, modeA) || !kernel.WriteOperand(value, modeB))
            return MemoryFault(kernel);
        return false;
    };

template <typename T>
constexpr auto Clear =
    [](OperandAccess auto& kernel, uint32_t modeA, uint32_t, uint32_t, uint32_t) {
        return kernel.WriteOperand(T{0}, modeA) ? false : MemoryFault(kernel);
    };

// Writes the value count times from C's address on; each element is an ordinary relative
// write, so a fill stops with an error at the first element that is not writable and keeps
// the elements before it.
template <typename T>
constexpr auto Fill =
    [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB, uint32_t fieldC, uint32_t) {
        int32_t count;
        T value;
        uint32_t address;
        if (!kernel.ReadOperand(count, modeA) || !kernel.ReadOperand(value, modeB) ||
            !kernel.GetOperandAddress(address, fieldC, sizeof(T)))
            return MemoryFault(kernel);
        if (count <= 0)
            return false;
        if (uint8_t* bytes = kernel.LocateContiguous(address, int64_t{count} * sizeof(T))) {
            FillPattern(bytes, value, count);
            return false;
        }
        for (int32_t i = 0; i < count; ++i) {
            if (!kernel.WriteMemory(address + static_cast<uint32_t>(i) * sizeof(T), value))
                return MemoryFault(kernel);
        }
        return false;
    };

// Exchanges two values; when they overlap partly, the second write wins in the shared bytes.
template <typename T>
constexpr auto Swap =
    [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t) {
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
    };

} // namespace

SDispatchEntry SelectMoveHandler(const SOpcodeInfo& info) {
    return ForWidths(info.type, [&]<typename T>(TypeTag<T>) -> SDispatchEntry {
        constexpr SForms kSpecialised{.specialised = kAllParameters};
        switch (info.family) {
        case EFamily::Move:
            return Register<Move<T>, kSpecialised>(info);
        case EFamily::Clear:
            return Register<Clear<T>, kSpecialised>(info);
        case EFamily::Fill:
            return Register<Fill<T>, kSpecialised>(info);
        case EFamily::Swap:
            return Register<Swap<T>>(info);
        default:
            return {};
        }
    });
}

} // namespace isa
