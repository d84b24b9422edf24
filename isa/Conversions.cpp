// CVT: conversions between the floating-point types and from and to the integer types.
#include "isa/Handlers.h"
#include "isa/InstructionSupport.h"

#include <limits>

namespace isa {
namespace {

// Narrowing to F32 and the math results rely on IEEE rounding: a value beyond the float
// range becomes an infinity rather than something undefined.
static_assert(std::numeric_limits<float>::is_iec559 && std::numeric_limits<double>::is_iec559);

// CVT.F32.F64 widens exactly; CVT.F64.F32 rounds to nearest, ties to even (overflowing
// values become infinities).
template <typename From, typename To>
constexpr auto ConvertFloat = [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB,
                                 uint32_t, uint32_t) {
    From value;
    if (!kernel.ReadOperand(value, modeA) || !kernel.WriteOperand(static_cast<To>(value), modeB))
        return MemoryFault(kernel);
    return false;
};

template <typename Integer, typename Float, typename Kernel>
bool ConvertFrom(Kernel& kernel, uint32_t modeA, uint32_t modeB) {
    Integer value;
    if (!kernel.ReadOperand(value, modeA) || !kernel.WriteOperand(static_cast<Float>(value), modeB))
        return MemoryFault(kernel);
    return false;
}

constexpr uint32_t kIntegerTypeCount = 8;

// Integer to float; the parameter is the source type 0 - 7 (I8 ... U64).
template <typename Float>
constexpr auto ConvertIntToFloat =
    [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t type) {
        switch (type) {
        case 0:
            return ConvertFrom<int8_t, Float>(kernel, modeA, modeB);
        case 1:
            return ConvertFrom<int16_t, Float>(kernel, modeA, modeB);
        case 2:
            return ConvertFrom<int32_t, Float>(kernel, modeA, modeB);
        case 3:
            return ConvertFrom<int64_t, Float>(kernel, modeA, modeB);
        case 4:
            return ConvertFrom<uint8_t, Float>(kernel, modeA, modeB);
        case 5:
            return ConvertFrom<uint16_t, Float>(kernel, modeA, modeB);
        case 6:
            return ConvertFrom<uint32_t, Float>(kernel, modeA, modeB);
        default:
            return ConvertFrom<uint64_t, Float>(kernel, modeA, modeB);
        }
    };

// Float to integer; the parameter is the target type 0 - 7. The value is truncated into a
// signed 64-bit integer and its low bytes are kept, so the signed and the unsigned target of
// one width store the same bytes.
template <typename Float>
constexpr auto ConvertFloatToInt =
    [](OperandAccess auto& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t type) {
        Float value;
        if (!kernel.ReadOperand(value, modeA))
            return MemoryFault(kernel);
        const uint64_t bits = static_cast<uint64_t>(TruncateToInt64(static_cast<double>(value)));
        bool written;
        switch (type & 3) {
        case 0:
            written = kernel.WriteOperand(static_cast<uint8_t>(bits), modeB);
            break;
        case 1:
            written = kernel.WriteOperand(static_cast<uint16_t>(bits), modeB);
            break;
        case 2:
            written = kernel.WriteOperand(static_cast<uint32_t>(bits), modeB);
            break;
        default:
            written = kernel.WriteOperand(bits, modeB);
            break;
        }
        return written ? false : MemoryFault(kernel);
    };

} // namespace

// Of the integer types, those that programs compute in (kHotType) convert on specialised forms.
SDispatchEntry SelectConversionHandler(const SOpcodeInfo& info) {
    constexpr uint32_t kHotIntegers = ParametersOf(0, 2, 4, 6); // I8, I32, U8, U32
    switch (info.family) {
    case EFamily::ConvertFloatToFloat:
        if (info.type == EValueType::F32)
            return Register<ConvertFloat<float, double>, SForms{.specialised = kAllParameters}>(
                info);
        if (info.type == EValueType::F64)
            return Register<ConvertFloat<double, float>, SForms{.specialised = kAllParameters}>(
                info);
        return {};
    case EFamily::ConvertIntToFloat:
        return ForFloatTypes(info.type, [&]<typename F>(TypeTag<F>) {
            return Register<ConvertIntToFloat<F>,
                            SForms{.parameters = kIntegerTypeCount,
                                   .error = std::is_same_v<F, float> ? 1u : 2u,
                                   .specialised = kHotIntegers}>(info);
        });
    case EFamily::ConvertFloatToInt:
        return ForFloatTypes(info.type, [&]<typename F>(TypeTag<F>) {
            return Register<ConvertFloatToInt<F>,
                            SForms{.parameters = kIntegerTypeCount,
                                   .error = std::is_same_v<F, float> ? 3u : 4u,
                                   .specialised = kHotIntegers}>(info);
        });
    default:
        return {};
    }
}

} // namespace isa
