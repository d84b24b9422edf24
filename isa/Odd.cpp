// ODD: the byte 1 when the remainder of A divided by 2 is 1. For the signed types the
// remainder takes the sign of A, so a negative odd value gives 0.
#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"

namespace isa {
namespace {

template <typename T>
constexpr auto Odd =
    [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t) {
        T a;
        if (!kernel.ReadOperand(a, modeA) ||
            !kernel.WriteOperand(static_cast<uint8_t>(a % 2 == 1), modeB))
            return MemoryFault(kernel);
        return false;
    };

} // namespace

// ODD never ran hot in the measured programs: fast forms only.
SDispatchEntry SelectOddHandler(const SOpcodeInfo& info) {
    return ForIntegerTypes(info.type,
                           [&]<typename T>(TypeTag<T>) { return Register<Odd<T>>(info); });
}

} // namespace isa
