// Shared pieces of the instruction handlers: the mapping from the opcode map's value types to
// C++ types, the numbers of the types inside their families, and the common ways a handler
// ends. Everything here is inline: handlers run for every instruction.
#pragma once

#include "core/Kernel.h"
#include "isa/OpcodeMap.h"

#include <concepts>
#include <cstdint>
#include <string>
#include <type_traits>

namespace isa {

template <typename T>
using TypeTag = std::type_identity<T>;

// Stops the machine after a failed operand or memory access; the handler's result.
inline bool MemoryFault(CKernel& kernel) {
    kernel.MemoryError();
    return true;
}

// Stops the machine for a table parameter that the handler does not accept. Never reached
// through the opcode map; kept so that a damaged table cannot run an undefined variant.
[[gnu::cold]] inline bool InternalError(CKernel& kernel, uint32_t number) {
    kernel.Fail("Internal error [" + std::to_string(number) + "]");
    return true;
}

template <typename T>
inline constexpr bool kIsFloat = std::is_floating_point_v<T>;

// Position of a type in the ten-type order I8 ... U64, F32, F64.
template <typename T>
constexpr uint32_t TenTypeIndex() {
    if constexpr (std::is_same_v<T, float>)
        return 8;
    else if constexpr (std::is_same_v<T, double>)
        return 9;
    else {
        constexpr uint32_t widthIndex = sizeof(T) == 1   ? 0
                                        : sizeof(T) == 2 ? 1
                                        : sizeof(T) == 4 ? 2
                                                         : 3;
        return std::is_signed_v<T> ? widthIndex : 4 + widthIndex;
    }
}

// Position of a width in the order 8, 16, 32, 64.
template <typename T>
constexpr uint32_t WidthIndex() {
    return sizeof(T) == 1 ? 0 : sizeof(T) == 2 ? 1 : sizeof(T) == 4 ? 2 : 3;
}

// The unsigned integer in which integer arithmetic of a type wraps without promotion
// surprises (a uint16_t product would otherwise be computed in a signed int).
template <typename T>
using WrapType = std::conditional_t<sizeof(T) <= 4, uint32_t, uint64_t>;

// Integer of the same width, for bit patterns.
template <typename T>
using BitsOf =
    std::conditional_t<sizeof(T) == 1, uint8_t,
                       std::conditional_t<sizeof(T) == 2, uint16_t,
                                          std::conditional_t<sizeof(T) == 4, uint32_t, uint64_t>>>;
template <typename T>
using SignedBitsOf = std::make_signed_t<BitsOf<T>>;

// Calls visit(TypeTag<T>{}) with the C++ type of one of the ten types; null otherwise.
template <typename Visitor>
InstructionHandler ForTenTypes(EValueType type, Visitor visit) {
    switch (type) {
    case EValueType::I8:
        return visit(TypeTag<int8_t>{});
    case EValueType::I16:
        return visit(TypeTag<int16_t>{});
    case EValueType::I32:
        return visit(TypeTag<int32_t>{});
    case EValueType::I64:
        return visit(TypeTag<int64_t>{});
    case EValueType::U8:
        return visit(TypeTag<uint8_t>{});
    case EValueType::U16:
        return visit(TypeTag<uint16_t>{});
    case EValueType::U32:
        return visit(TypeTag<uint32_t>{});
    case EValueType::U64:
        return visit(TypeTag<uint64_t>{});
    case EValueType::F32:
        return visit(TypeTag<float>{});
    case EValueType::F64:
        return visit(TypeTag<double>{});
    default:
        return nullptr;
    }
}

// The integer types only (I8 ... U64); null otherwise.
template <typename Visitor>
InstructionHandler ForIntegerTypes(EValueType type, Visitor visit) {
    if (type == EValueType::F32 || type == EValueType::F64)
        return nullptr;
    return ForTenTypes(type, [&]<typename T>(TypeTag<T> tag) -> InstructionHandler {
        if constexpr (std::is_integral_v<T>)
            return visit(tag);
        else
            return nullptr;
    });
}

// F32 and F64 only; null otherwise.
template <typename Visitor>
InstructionHandler ForFloatTypes(EValueType type, Visitor visit) {
    if (type == EValueType::F32)
        return visit(TypeTag<float>{});
    if (type == EValueType::F64)
        return visit(TypeTag<double>{});
    return nullptr;
}

// A bit-pattern width (or an unsigned type) as the unsigned integer of that width.
template <typename Visitor>
InstructionHandler ForWidths(EValueType type, Visitor visit) {
    switch (ValueTypeSize(type)) {
    case 1:
        return visit(TypeTag<uint8_t>{});
    case 2:
        return visit(TypeTag<uint16_t>{});
    case 4:
        return visit(TypeTag<uint32_t>{});
    case 8:
        return visit(TypeTag<uint64_t>{});
    default:
        return nullptr;
    }
}

// Truncates toward zero into a signed 64-bit integer. A NaN, an infinity or a value whose
// truncation does not fit gives the most negative value, as the machine's conversion unit
// reports an invalid result.
inline int64_t TruncateToInt64(double value) {
    // -2^63 is representable and fits; 2^63 is the first value that does not.
    if (value >= -9223372036854775808.0 && value < 9223372036854775808.0)
        return static_cast<int64_t>(value);
    return INT64_MIN;
}

} // namespace isa
