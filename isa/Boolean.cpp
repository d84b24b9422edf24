// LAND, LOR, LNOT and BOOL: values taken as true when they are not 0; the result is the
// byte 1 or 0.
#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"

namespace isa {
namespace {

template <bool IsAnd>
constexpr auto Combine = [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB,
                            uint32_t fieldC, uint32_t) {
    uint8_t a;
    uint8_t b;
    if (!kernel.ReadOperand(a, modeA) || !kernel.ReadOperand(b, modeB))
        return MemoryFault(kernel);
    const bool result = IsAnd ? (a != 0 && b != 0) : (a != 0 || b != 0);
    return kernel.WriteOperand(static_cast<uint8_t>(result), fieldC) ? false : MemoryFault(kernel);
};

// Parameter 0 LNOT, 1 BOOL. LNOT.8 is the same operation with the parameter 0.
template <typename T>
constexpr auto LogicalTest =
    [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t which) {
        T a;
        if (!kernel.ReadOperand(a, modeA) ||
            !kernel.WriteOperand(static_cast<uint8_t>((a == 0) == (which == 0)), modeB))
            return MemoryFault(kernel);
        return false;
    };

constexpr auto LogicalNot = [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB,
                               uint32_t fieldC, uint32_t) {
    return LogicalTest<uint8_t>(kernel, modeA, modeB, fieldC, 0);
};

} // namespace

SDispatchEntry SelectBooleanHandler(const SOpcodeInfo& info) {
    constexpr SForms kSpecialised{.specialised = kAllParameters};
    switch (info.family) {
    case EFamily::LogicalAnd:
        return Register<Combine<true>, kSpecialised>(info);
    case EFamily::LogicalOr:
        return Register<Combine<false>, kSpecialised>(info);
    case EFamily::LogicalNot:
        return Register<LogicalNot, kSpecialised>(info);
    case EFamily::LogicalTest:
        return ForWidths(info.type, [&]<typename T>(TypeTag<T>) -> SDispatchEntry {
            if constexpr (sizeof(T) > 1)
                return Register<LogicalTest<T>,
                                SForms{.parameters = 2,
                                       .error = 800 + WidthIndex<T>() - 1,
                                       .specialised = IfHotType<T>(kAllParameters)}>(info);
            else
                return {};
        });
    default:
        return {};
    }
}

} // namespace isa
