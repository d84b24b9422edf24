// POW, ATAN2 and LOGB of F32 and F64: C = f(A, B).
#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"

#include <cmath>

namespace isa {
namespace {

enum EFunction : uint32_t { kPow, kAtan2, kLogB, kLastFunction = kLogB };

using Extended = long double;

template <typename T>
T Compute(uint32_t function, T a, T b) {
    switch (function) {
    case kPow:
        return static_cast<T>(std::pow(static_cast<double>(a), static_cast<double>(b)));
    case kAtan2:
        // The angle of (B, A): the quadrant follows the signs of both.
        return static_cast<T>(std::atan2(static_cast<double>(a), static_cast<double>(b)));
    default:
        // The logarithm of B to the base A; base 1 gives +0.
        if (a == T{1})
            return T{0};
        return static_cast<T>(std::log(static_cast<Extended>(b)) /
                              std::log(static_cast<Extended>(a)));
    }
}

template <typename T>
constexpr auto BinaryFunction = [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB,
                                   uint32_t fieldC, uint32_t function) {
    T a;
    T b;
    if (!kernel.ReadOperand(a, modeA) || !kernel.ReadOperand(b, modeB) ||
        !kernel.WriteOperand(Compute(function, a, b), fieldC))
        return MemoryFault(kernel);
    return false;
};

} // namespace

// The function itself costs many times what its operands do: fast forms only.
SDispatchEntry SelectBinaryFunctionHandler(const SOpcodeInfo& info) {
    return ForFloatTypes(info.type, [&]<typename T>(TypeTag<T>) {
        return Register<BinaryFunction<T>, SForms{.parameters = kLastFunction + 1,
                                                  .error = std::is_same_v<T, float> ? 900u : 901u}>(
            info);
    });
}

} // namespace isa
