// ADD, SUB, MUL, DIV, MOD, MIN and MAX of the ten types: C = A op B.
#include "isa/Handlers.h"
#include "isa/IntegerOps.h"

#include <cmath>

namespace isa {
namespace {

enum EOperation : uint32_t { kAdd, kSub, kMul, kDiv, kMod, kMin, kMax, kLastOperation = kMax };

template <typename T>
T Compute(uint32_t operation, T a, T b) {
    switch (operation) {
    case kAdd:
        if constexpr (kIsFloat<T>)
            return a + b;
        else
            return WrapAdd(a, b);
    case kSub:
        if constexpr (kIsFloat<T>)
            return a - b;
        else
            return WrapSub(a, b);
    case kMul:
        if constexpr (kIsFloat<T>)
            return a * b;
        else
            return WrapMul(a, b);
    case kDiv:
        // Division by either zero gives +0.0, not an infinity.
        if constexpr (kIsFloat<T>)
            return b == 0 ? T{0} : a / b;
        else
            return SafeDiv(a, b);
    case kMod:
        if constexpr (kIsFloat<T>)
            return b == 0 ? T{0} : std::fmod(a, b);
        else
            return SafeMod(a, b);
    case kMin:
        // B whenever the comparison is false: a NaN in A yields B, a NaN in B yields the NaN.
        return a < b ? a : b;
    default:
        return a > b ? a : b;
    }
}

template <typename T>
constexpr auto Arithmetic = [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB,
                               uint32_t fieldC, uint32_t operation) {
    T a;
    T b;
    if (!kernel.ReadOperand(a, modeA) || !kernel.ReadOperand(b, modeB) ||
        !kernel.WriteOperand(Compute(operation, a, b), fieldC))
        return MemoryFault(kernel);
    return false;
};

} // namespace

// MIN and MAX never ran hot in the measured programs.
SDispatchEntry SelectArithmeticHandler(const SOpcodeInfo& info) {
    return ForTenTypes(info.type, [&]<typename T>(TypeTag<T>) {
        return Register<Arithmetic<T>, SForms{.parameters = kLastOperation + 1,
                                              .error = 200 + TenTypeIndex<T>(),
                                              .specialised = IfHotType<T>(ParametersOf(
                                                  kAdd, kSub, kMul, kDiv, kMod))}>(info);
    });
}

} // namespace isa
