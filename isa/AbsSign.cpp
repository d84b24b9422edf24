// ABS and SGN of I8 ... I64, F32 and F64: B = f(A), same type.
#include "isa/Handlers.h"
#include "isa/IntegerOps.h"

namespace isa {
namespace {

// Position among I8, I16, I32, I64, F32, F64 (the family's error numbers follow it).
template <typename T>
constexpr uint32_t SignedTypeIndex() {
    return kIsFloat<T> ? TenTypeIndex<T>() - 4 : TenTypeIndex<T>();
}

template <typename T>
T Absolute(T a) {
    // Floats: a negative value has its sign flipped; -0.0 and NaN pass unchanged.
    if constexpr (kIsFloat<T>)
        return a < 0 ? -a : a;
    else
        return a < 0 ? WrapNeg(a) : a; // the most negative value stays itself
}

template <typename T>
T Sign(T a) {
    if (a > 0)
        return T{1};
    if (a < 0)
        return T{-1};
    return T{0}; // zero of either sign and NaN give +0
}

template <typename T>
constexpr auto AbsSign =
    [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t which) {
        T a;
        if (!kernel.ReadOperand(a, modeA) ||
            !kernel.WriteOperand(which == 0 ? Absolute(a) : Sign(a), modeB))
            return MemoryFault(kernel);
        return false;
    };

} // namespace

// ABS and SGN never ran hot in the measured programs: fast forms only.
SDispatchEntry SelectAbsSignHandler(const SOpcodeInfo& info) {
    return ForTenTypes(info.type, [&]<typename T>(TypeTag<T>) -> SDispatchEntry {
        if constexpr (std::is_signed_v<T>)
            return Register<AbsSign<T>,
                            SForms{.parameters = 2, .error = 800 + SignedTypeIndex<T>()}>(info);
        else
            return {};
    });
}

} // namespace isa
