// EQ and NE of bit patterns, LT, GT, LE and GE of the ten types; the result is the byte 1
// or 0 in C. Every relation with a NaN is false.
#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"

namespace isa {
namespace {

template <typename T, typename Kernel>
bool Equality(Kernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t fieldC, uint32_t operation) {
    T a;
    T b;
    if (!kernel.ReadOperand(a, modeA) || !kernel.ReadOperand(b, modeB))
        return MemoryFault(kernel);
    const bool result = (a == b) == (operation == 0);
    return kernel.WriteOperand(static_cast<uint8_t>(result), fieldC) ? false : MemoryFault(kernel);
}

enum ERelation : uint32_t { kLess, kGreater, kLessOrEqual, kGreaterOrEqual };

template <typename T, typename Kernel>
bool Relation(Kernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t fieldC, uint32_t relation) {
    T a;
    T b;
    if (!kernel.ReadOperand(a, modeA) || !kernel.ReadOperand(b, modeB))
        return MemoryFault(kernel);
    bool result;
    switch (relation) {
    case kLess:
        result = a < b;
        break;
    case kGreater:
        result = a > b;
        break;
    case kLessOrEqual:
        result = a <= b;
        break;
    default:
        result = a >= b;
        break;
    }
    return kernel.WriteOperand(static_cast<uint8_t>(result), fieldC) ? false : MemoryFault(kernel);
}

template <typename T>
bool CheckedEquality(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t fieldC,
                     uint32_t operation) {
    if (operation > 1)
        return InternalError(kernel, 600 + WidthIndex<T>());
    return Equality<T>(kernel, modeA, modeB, fieldC, operation);
}

template <typename T>
bool CheckedRelation(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t fieldC,
                     uint32_t relation) {
    if (relation > kGreaterOrEqual)
        return InternalError(kernel, 700 + TenTypeIndex<T>());
    return Relation<T>(kernel, modeA, modeB, fieldC, relation);
}

} // namespace

SDispatchEntry SelectComparisonHandler(const SOpcodeInfo& info) {
    if (info.family == EFamily::Equality)
        return ForWidths(info.type, [&]<typename T>(TypeTag<T>) {
            return WithSpecialisedForms<&CheckedEquality<T>, &Equality<T, CFastAccess>,
                                        &Equality<T, CSpecialisedAccess>, 3, 2>(info.parameter);
        });
    if (info.family == EFamily::Relation)
        return ForTenTypes(info.type, [&]<typename T>(TypeTag<T>) {
            return WithSpecialisedForms<&CheckedRelation<T>, &Relation<T, CFastAccess>,
                                        &Relation<T, CSpecialisedAccess>, 3, kGreaterOrEqual + 1>(
                info.parameter);
        });
    return {};
}

} // namespace isa
