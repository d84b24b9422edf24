// The one-argument math functions of F32 and F64: B = f(A), parameter p = 0 ... 20.
// The transcendental functions keep their intermediate results in extended precision and
// round once, to the instruction's type, when stored; the formulas that define a function
// (COT, ACOT, COTH, LOG2, ROUND, FRAC) are followed as written. The square root is the
// IEEE square root of the type itself: rounding an extended root to the type again would
// miss the correctly rounded result now and then. Domain errors are no machine errors:
// they store whatever NaN or infinity the function gives.
#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"

#include <cmath>

namespace isa {
namespace {

enum EFunction : uint32_t {
    kSin,
    kCos,
    kTan,
    kCot,
    kAsin,
    kAcos,
    kAtan,
    kAcot,
    kSinh,
    kCosh,
    kTanh,
    kCoth,
    kExp,
    kCeil,
    kFloor,
    kSqrt,
    kLog10,
    kLog2,
    kLn,
    kRound,
    kFrac,
    kLastFunction = kFrac
};

using Extended = long double;

// pi/2 of the instruction's type: for F32 the float nearest to it.
template <typename T>
constexpr T kHalfPi = static_cast<T>(1.5707963267948966);

// cot(x) as -tan(x + pi/2), the sum taken in the instruction's type.
template <typename T>
Extended Cotangent(T x) {
    const T shifted = x + kHalfPi<T>;
    return -std::tan(static_cast<Extended>(shifted));
}

// (e^x + e^-x) / (e^x - e^-x); for F32 e^-x is rounded to F32 before the sum and difference.
template <typename T>
Extended HyperbolicCotangent(T x) {
    const Extended up = std::exp(static_cast<Extended>(x));
    Extended down = std::exp(-static_cast<Extended>(x));
    if constexpr (std::is_same_v<T, float>)
        down = static_cast<float>(down);
    return (up + down) / (up - down);
}

template <typename T>
T Compute(uint32_t function, T x) {
    const Extended e = x;
    switch (function) {
    case kSin:
        return static_cast<T>(std::sin(e));
    case kCos:
        return static_cast<T>(std::cos(e));
    case kTan:
        return static_cast<T>(std::tan(e));
    case kCot:
        return static_cast<T>(Cotangent(x));
    case kAsin:
        return static_cast<T>(std::asin(e));
    case kAcos:
        return static_cast<T>(std::acos(e));
    case kAtan:
        return static_cast<T>(std::atan(e));
    case kAcot:
        return static_cast<T>(static_cast<Extended>(kHalfPi<T>) - std::atan(e));
    case kSinh:
        return static_cast<T>(std::sinh(e));
    case kCosh:
        return static_cast<T>(std::cosh(e));
    case kTanh:
        return static_cast<T>(std::tanh(e));
    case kCoth:
        return static_cast<T>(HyperbolicCotangent(x));
    case kExp:
        return static_cast<T>(std::exp(e));
    case kCeil:
        return static_cast<T>(std::ceil(static_cast<double>(x)));
    case kFloor:
        return static_cast<T>(std::floor(static_cast<double>(x)));
    case kSqrt:
        return std::sqrt(x);
    case kLog10:
        return static_cast<T>(std::log10(e));
    case kLog2:
        return static_cast<T>(std::log(e) / std::log(Extended{2.0}));
    case kLn:
        return static_cast<T>(std::log(e));
    case kRound: {
        // The sum is rounded to the type before floor: 2.5 gives 3, -2.5 gives -2.
        const T sum = x + T{0.5};
        return static_cast<T>(std::floor(static_cast<double>(sum)));
    }
    default: // kFrac: -1.25 gives 0.75
        return x - static_cast<T>(std::floor(static_cast<double>(x)));
    }
}

template <typename T>
constexpr auto MathFunction =
    [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t function) {
        T x;
        if (!kernel.ReadOperand(x, modeA) || !kernel.WriteOperand(Compute(function, x), modeB))
            return MemoryFault(kernel);
        return false;
    };

} // namespace

// The function itself costs many times what its operands do: fast forms only.
SDispatchEntry SelectMathFunctionHandler(const SOpcodeInfo& info) {
    return ForFloatTypes(info.type, [&]<typename T>(TypeTag<T>) {
        return Register<MathFunction<T>, SForms{.parameters = kLastFunction + 1,
                                                .error = std::is_same_v<T, float> ? 800u : 801u}>(
            info);
    });
}

} // namespace isa
