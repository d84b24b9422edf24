// EQ and NE of bit patterns, LT, GT, LE and GE of the ten types; the result is the byte 1
// or 0 in C. Every relation with a NaN is false.
#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"

namespace isa {
namespace {

template <typename T>
constexpr auto Equality = [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB,
                             uint32_t fieldC, uint32_t operation) {
    T a;
    T b;
    if (!kernel.ReadOperand(a, modeA) || !kernel.ReadOperand(b, modeB))
        return MemoryFault(kernel);
    const bool result = (a == b) == (operation == 0);
    return kernel.WriteOperand(static_cast<uint8_t>(result), fieldC) ? false : MemoryFault(kernel);
};

enum ERelation : uint32_t { kLess, kGreater, kLessOrEqual, kGreaterOrEqual };

template <typename T>
constexpr auto Relation = [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB,
                             uint32_t fieldC, uint32_t relation) {
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
};

} // namespace

SDispatchEntry SelectComparisonHandler(const SOpcodeInfo& info) {
    if (info.family == EFamily::Equality)
        return ForWidths(info.type, [&]<typename T>(TypeTag<T>) {
            return Register<Equality<T>, SForms{.parameters = 2,
                                                .error = 600 + WidthIndex<T>(),
                                                .specialised = IfHotType<T>(kAllParameters)}>(info);
        });
    if (info.family == EFamily::Relation)
        return ForTenTypes(info.type, [&]<typename T>(TypeTag<T>) {
            return Register<Relation<T>, SForms{.parameters = kGreaterOrEqual + 1,
                                                .error = 700 + TenTypeIndex<T>(),
                                                .specialised = IfHotType<T>(kAllParameters)}>(info);
        });
    return {};
}

} // namespace isa
