// LAND, LOR, LNOT and BOOL: values taken as true when they are not 0; the result is the
// byte 1 or 0.
#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"

namespace isa {
namespace {

template <bool IsAnd, typename Kernel>
bool Combine(Kernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t fieldC, uint32_t) {
    uint8_t a;
    uint8_t b;
    if (!kernel.ReadOperand(a, modeA) || !kernel.ReadOperand(b, modeB))
        return MemoryFault(kernel);
    const bool result = IsAnd ? (a != 0 && b != 0) : (a != 0 || b != 0);
    return kernel.WriteOperand(static_cast<uint8_t>(result), fieldC) ? false : MemoryFault(kernel);
}

// Parameter 0 LNOT, 1 BOOL. LNOT.8 is the same operation with the parameter 0.
template <typename T, typename Kernel>
bool LogicalTest(Kernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t which) {
    T a;
    if (!kernel.ReadOperand(a, modeA) ||
        !kernel.WriteOperand(static_cast<uint8_t>((a == 0) == (which == 0)), modeB))
        return MemoryFault(kernel);
    return false;
}

bool LogicalNot(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t fieldC, uint32_t) {
    return LogicalTest<uint8_t>(kernel, modeA, modeB, fieldC, 0);
}

// The widths 16, 32 and 64.
template <typename T>
bool CheckedLogicalTest(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t fieldC,
                        uint32_t which) {
    if (which > 1)
        return InternalError(kernel, 800 + WidthIndex<T>() - 1);
    return LogicalTest<T>(kernel, modeA, modeB, fieldC, which);
}

} // namespace

SDispatchEntry SelectBooleanHandler(const SOpcodeInfo& info) {
    switch (info.family) {
    case EFamily::LogicalAnd:
        return WithSpecialisedForms<&Combine<true, CKernel>, &Combine<true, CFastAccess>,
                                    &Combine<true, CSpecialisedAccess>, 3>(info.parameter);
    case EFamily::LogicalOr:
        return WithSpecialisedForms<&Combine<false, CKernel>, &Combine<false, CFastAccess>,
                                    &Combine<false, CSpecialisedAccess>, 3>(info.parameter);
    case EFamily::LogicalNot:
        return WithSpecialisedForms<&LogicalNot, &LogicalTest<uint8_t, CFastAccess>,
                                    &LogicalTest<uint8_t, CSpecialisedAccess>, 2>(info.parameter);
    case EFamily::LogicalTest:
        return ForWidths(info.type, [&]<typename T>(TypeTag<T>) -> SDispatchEntry {
            if constexpr (sizeof(T) > 1)
                return WithSpecialisedForms<&CheckedLogicalTest<T>, &LogicalTest<T, CFastAccess>,
                                            &LogicalTest<T, CSpecialisedAccess>, 2, 2>(
                    info.parameter);
            else
                return {};
        });
    default:
        return {};
    }
}

} // namespace isa
