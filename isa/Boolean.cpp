// LAND, LOR, LNOT and BOOL: values taken as true when they are not 0; the result is the
// byte 1 or 0.
#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"

namespace isa {
namespace {

template <bool IsAnd>
bool Combine(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t fieldC, uint32_t) {
    uint8_t a;
    uint8_t b;
    if (!kernel.ReadOperand(a, modeA) || !kernel.ReadOperand(b, modeB))
        return MemoryFault(kernel);
    const bool result = IsAnd ? (a != 0 && b != 0) : (a != 0 || b != 0);
    return kernel.WriteOperand(static_cast<uint8_t>(result), fieldC) ? false : MemoryFault(kernel);
}

template <typename T>
bool WriteTest(CKernel& kernel, uint32_t modeA, uint32_t modeB, bool wantZero) {
    T a;
    if (!kernel.ReadOperand(a, modeA) ||
        !kernel.WriteOperand(static_cast<uint8_t>((a == 0) == wantZero), modeB))
        return MemoryFault(kernel);
    return false;
}

bool LogicalNot(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t) {
    return WriteTest<uint8_t>(kernel, modeA, modeB, true);
}

// Parameter 0 LNOT, 1 BOOL, for the widths 16, 32 and 64.
template <typename T>
bool LogicalTest(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t which) {
    if (which > 1)
        return InternalError(kernel, 800 + WidthIndex<T>() - 1);
    return WriteTest<T>(kernel, modeA, modeB, which == 0);
}

} // namespace

InstructionHandler SelectBooleanHandler(EFamily family, EValueType type) {
    switch (family) {
    case EFamily::LogicalAnd:
        return &Combine<true>;
    case EFamily::LogicalOr:
        return &Combine<false>;
    case EFamily::LogicalNot:
        return &LogicalNot;
    case EFamily::LogicalTest:
        return ForWidths(type, []<typename T>(TypeTag<T>) -> InstructionHandler {
            if constexpr (sizeof(T) > 1)
                return &LogicalTest<T>;
            else
                return nullptr;
        });
    default:
        return nullptr;
    }
}

} // namespace isa
