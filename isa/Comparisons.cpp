// EQ and NE of bit patterns, LT, GT, LE and GE of the ten types; the result is the byte 1
// or 0 in C. Every relation with a NaN is false.
#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"

namespace isa {
namespace {

template <typename T>
bool Equality(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t fieldC,
              uint32_t operation) {
    if (operation > 1)
        return InternalError(kernel, 600 + WidthIndex<T>());
    T a;
    T b;
    if (!kernel.ReadOperand(a, modeA) || !kernel.ReadOperand(b, modeB))
        return MemoryFault(kernel);
    const bool result = (a == b) == (operation == 0);
    return kernel.WriteOperand(static_cast<uint8_t>(result), fieldC) ? false : MemoryFault(kernel);
}

enum ERelation : uint32_t { kLess, kGreater, kLessOrEqual, kGreaterOrEqual };

template <typename T>
bool Relation(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t fieldC, uint32_t relation) {
    if (relation > kGreaterOrEqual)
        return InternalError(kernel, 700 + TenTypeIndex<T>());
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

} // namespace

InstructionHandler SelectComparisonHandler(EFamily family, EValueType type) {
    if (family == EFamily::Equality)
        return ForWidths(type,
                         []<typename T>(TypeTag<T>) -> InstructionHandler { return &Equality<T>; });
    if (family == EFamily::Relation)
        return ForTenTypes(
            type, []<typename T>(TypeTag<T>) -> InstructionHandler { return &Relation<T>; });
    return nullptr;
}

} // namespace isa
