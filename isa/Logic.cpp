// AND, OR, XOR and NOT of the widths 8 to 64.
#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"

namespace isa {
namespace {

enum EOperation : uint32_t { kAnd, kOr, kXor, kLastOperation = kXor };

template <typename T>
constexpr auto Logic = [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB,
                          uint32_t fieldC, uint32_t operation) {
    T a;
    T b;
    if (!kernel.ReadOperand(a, modeA) || !kernel.ReadOperand(b, modeB))
        return MemoryFault(kernel);
    const T result = operation == kAnd ? T(a & b) : operation == kOr ? T(a | b) : T(a ^ b);
    return kernel.WriteOperand(result, fieldC) ? false : MemoryFault(kernel);
};

template <typename T>
constexpr auto Not =
    [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t) {
        T a;
        if (!kernel.ReadOperand(a, modeA) || !kernel.WriteOperand(static_cast<T>(~a), modeB))
            return MemoryFault(kernel);
        return false;
    };

} // namespace

SDispatchEntry SelectLogicHandler(const SOpcodeInfo& info) {
    return ForWidths(info.type, [&]<typename T>(TypeTag<T>) -> SDispatchEntry {
        if (info.family == EFamily::Logic)
            return Register<Logic<T>, SForms{.parameters = kLastOperation + 1,
                                             .error = 400 + WidthIndex<T>(),
                                             .specialised = IfHotType<T>(kAllParameters)}>(info);
        if (info.family == EFamily::Not)
            return Register<Not<T>, SForms{.specialised = IfHotType<T>(kAllParameters)}>(info);
        return {};
    });
}

} // namespace isa
