// INC, DEC and NEG: read-modify-write of operand A. A is read without consuming its field
// and written back through the same field, so an immediate A rewrites the instruction
// stream and execution continues right behind it.
#include "isa/Handlers.h"
#include "isa/IntegerOps.h"

#include <bit>

namespace isa {
namespace {

enum EOperation : uint32_t { kInc, kDec, kNeg };

template <typename T>
T Compute(uint32_t operation, T a) {
    if constexpr (kIsFloat<T>) {
        if (operation == kInc)
            return a + T{1};
        if (operation == kDec)
            return a - T{1};
        // The sign bit flips for every value: 0.0 becomes -0.0 and a NaN keeps its payload.
        using Bits = BitsOf<T>;
        return std::bit_cast<T>(
            static_cast<Bits>(std::bit_cast<Bits>(a) ^ (Bits{1} << (sizeof(T) * 8 - 1))));
    } else {
        if (operation == kInc)
            return WrapAdd(a, T{1});
        if (operation == kDec)
            return WrapSub(a, T{1});
        return WrapNeg(a);
    }
}

template <typename T>
constexpr auto IncDecNeg = [](OperandAccess auto& kernel, uint32_t modeA, uint32_t, uint32_t,
                              uint32_t operation) {
    T a;
    if (!kernel.ReadOperand(a, modeA, false) || !kernel.WriteOperand(Compute(operation, a), modeA))
        return MemoryFault(kernel);
    return false;
};

// No negation for the unsigned types.
template <typename T>
constexpr uint32_t kLastOperation = std::is_unsigned_v<T> ? kDec : kNeg;

} // namespace

// NEG never ran hot in the measured programs.
SDispatchEntry SelectIncDecNegHandler(const SOpcodeInfo& info) {
    return ForTenTypes(info.type, [&]<typename T>(TypeTag<T>) {
        return Register<IncDecNeg<T>,
                        SForms{.parameters = kLastOperation<T> + 1,
                               .error = 300 + TenTypeIndex<T>(),
                               .specialised = IfHotType<T>(ParametersOf(kInc, kDec))}>(info);
    });
}

} // namespace isa
