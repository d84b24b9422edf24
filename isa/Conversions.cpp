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
template <typename From, typename To, typename Kernel>
bool ConvertFloat(Kernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t) {
    From value;
    if (!kernel.ReadOperand(value, modeA) || !kernel.WriteOperand(static_cast<To>(value), modeB))
        return MemoryFault(kernel);
    return false;
}

template <typename Integer, typename Float, typename Kernel>
bool ConvertFrom(Kernel& kernel, uint32_t modeA, uint32_t modeB) {
    Integer value;
    if (!kernel.ReadOperand(value, modeA) || !kernel.WriteOperand(static_cast<Float>(value), modeB))
        return MemoryFault(kernel);
    return false;
}

constexpr uint32_t kIntegerTypeCount = 8;

// Integer to float; the parameter is the source type 0 - 7 (I8 ... U64).
template <typename Float, typename Kernel>
bool ConvertIntToFloat(Kernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t type) {
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
}

template <typename Float>
bool CheckedConvertIntToFloat(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t fieldC,
                              uint32_t type) {
    if (type >= kIntegerTypeCount)
        return InternalError(kernel, std::is_same_v<Float, float> ? 1 : 2);
    return ConvertIntToFloat<Float>(kernel, modeA, modeB, fieldC, type);
}

// Float to integer; the parameter is the target type 0 - 7. The value is truncated into a
// signed 64-bit integer and its low bytes are kept, so the signed and the unsigned target of
// one width store the same bytes.
template <typename Float, typename Kernel>
bool ConvertFloatToInt(Kernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t, uint32_t type) {
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
}

template <typename Float>
bool CheckedConvertFloatToInt(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t fieldC,
                              uint32_t type) {
    if (type >= kIntegerTypeCount)
        return InternalError(kernel, std::is_same_v<Float, float> ? 3 : 4);
    return ConvertFloatToInt<Float>(kernel, modeA, modeB, fieldC, type);
}

} // namespace

SDispatchEntry SelectConversionHandler(const SOpcodeInfo& info) {
    switch (info.family) {
    case EFamily::ConvertFloatToFloat:
        if (info.type == EValueType::F32)
            return WithSpecialisedForms<&ConvertFloat<float, double, CKernel>,
                                        &ConvertFloat<float, double, CFastAccess>,
                                        &ConvertFloat<float, double, CSpecialisedAccess>, 2>(
                info.parameter);
        if (info.type == EValueType::F64)
            return WithSpecialisedForms<&ConvertFloat<double, float, CKernel>,
                                        &ConvertFloat<double, float, CFastAccess>,
                                        &ConvertFloat<double, float, CSpecialisedAccess>, 2>(
                info.parameter);
        return {};
    case EFamily::ConvertIntToFloat:
        return ForFloatTypes(info.type, [&]<typename F>(TypeTag<F>) {
            return WithSpecialisedForms<
                &CheckedConvertIntToFloat<F>, &ConvertIntToFloat<F, CFastAccess>,
                &ConvertIntToFloat<F, CSpecialisedAccess>, 2, kIntegerTypeCount>(info.parameter);
        });
    case EFamily::ConvertFloatToInt:
        return ForFloatTypes(info.type, [&]<typename F>(TypeTag<F>) {
            return WithSpecialisedForms<
                &CheckedConvertFloatToInt<F>, &ConvertFloatToInt<F, CFastAccess>,
                &ConvertFloatToInt<F, CSpecialisedAccess>, 2, kIntegerTypeCount>(info.parameter);
        });
    default:
        return {};
    }
}

} // namespace isa
