// Shared pieces of the instruction handlers: the mapping from the opcode map's value types to
// C++ types, the numbers of the types inside their families, and the common ways a handler
// ends. Everything here is inline: handlers run for every instruction.
//
// Every handler is written once, as a template over its access class (the contract is in
// isa/OperandAccess.h): with CKernel it is the exact handler that the dispatch table names;
// with CFastAccess (isa/FastAccess.h) the body of the fast forms, one per parameter, in which
// the parameter is a constant; with CSpecialisedAccess (isa/SpecialisedAccess.h) the body of
// the forms in which the addressing modes are constants too.
#pragma once

#include "core/Kernel.h"
#include "isa/FastAccess.h"
#include "isa/OpcodeMap.h"
#include "isa/OperandAccess.h"
#include "isa/SpecialisedAccess.h"

#include <array>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <utility>

namespace isa {

template <typename T>
using TypeTag = std::type_identity<T>;

// Stops the machine after a failed operand or memory access; the handler's result.
template <typename Kernel>
inline bool MemoryFault(Kernel& kernel) {
    kernel.MemoryError();
    return true;
}

// Stops the machine for a table parameter that the handler does not accept. Never reached
// through the opcode map; kept so that a damaged table cannot run an undefined variant.
[[gnu::cold]] inline bool InternalError(CKernel& kernel, uint32_t number) {
    kernel.Fail("Internal error [" + std::to_string(number) + "]");
    return true;
}

// The handler body on the fast path with its parameter fixed: a FastHandler. Everything it
// calls is inlined, so the parameter's switch folds away and operand access is direct.
template <auto Body, uint32_t Parameter>
[[gnu::flatten, gnu::noinline]] uint64_t RunFast(CKernel& kernel, uint32_t ip, uint32_t word,
                                                 uint32_t budget) {
    CFastAccess access(kernel, ip);
    const bool ended = Body(access, HeadModeA(word), HeadModeB(word), HeadFieldC(word), Parameter);
    return access.Finish(ended, budget);
}

// How a form specialised for addressing modes takes an operand: an immediate field of the
// operand's size, or a 4-byte address field that names the operand (direct) or a pointer to
// it (indirect).
enum EFieldKind : uint32_t { kNoField, kImmediateField, kDirectField, kIndirectField };

// The mode of an operand for the body: a constant.
template <EFieldKind Kind>
constexpr uint32_t ModeOf() {
    if constexpr (Kind == kImmediateField)
        return kModeImmediate;
    if constexpr (Kind == kDirectField)
        return kModeDirect;
    if constexpr (Kind == kIndirectField)
        return kModeIndirect;
    return kModeNone;
}

// The head word at ip, which lies in data memory.
[[gnu::always_inline]] inline uint32_t HeadWordAt(CKernel& kernel, uint32_t ip) {
    uint16_t word;
    std::memcpy(&word, kernel.GetFastView().data + ip, 2);
    return word;
}

// The handler body with its parameter and its field kinds fixed (see CSpecialisedAccess).
// Where an access gives up, the instruction runs again from its head on the fast form of
// FastBody.
template <auto Body, auto FastBody, uint32_t Parameter, EFieldKind A, EFieldKind B, EFieldKind C>
[[gnu::flatten]] uint64_t RunSpecialised(CKernel& kernel, uint32_t ip, uint32_t, uint32_t budget) {
    CSpecialisedAccess access(kernel, ip);
    const bool ended = Body(access, ModeOf<A>(), ModeOf<B>(), ModeOf<C>(), Parameter);
    if (access.GaveUp()) [[unlikely]] {
        // Nothing was written, so the head is still there: read again, it need not be held
        // in a host register all through the form.
        return RunFast<FastBody, Parameter>(kernel, ip, HeadWordAt(kernel, ip), budget);
    }
    return access.Finish(kernel, ended, budget);
}

constexpr EFieldKind FieldKindOf(uint32_t mode) {
    return mode == kModeImmediate ? kImmediateField
           : mode == kModeDirect  ? kDirectField
                                  : kIndirectField;
}

// The form for the modes in the low six bits of a head byte, for a body that takes the
// first `Operands` of them as addressing modes. An operand in mode 0 can only fail, and the
// fast form fails it exactly.
template <auto Body, auto FastBody, uint32_t Parameter, uint32_t Operands, uint32_t Modes>
constexpr FastHandler SpecialisedForm() {
    constexpr uint32_t a = HeadModeA(Modes);
    constexpr uint32_t b = HeadModeB(Modes);
    constexpr uint32_t c = HeadFieldC(Modes);
    if constexpr ((Operands >= 1 && a == kModeNone) || (Operands >= 2 && b == kModeNone) ||
                  (Operands >= 3 && c == kModeNone))
        return &RunFast<FastBody, Parameter>;
    else
        return &RunSpecialised < Body, FastBody, Parameter,
               Operands >= 1 ? FieldKindOf(a) : kNoField, Operands >= 2 ? FieldKindOf(b) : kNoField,
               Operands >= 3 ? FieldKindOf(c) : kNoField > ;
}

template <auto Body, auto FastBody, uint32_t Parameter, uint32_t Operands, uint32_t... Modes>
constexpr std::array<FastHandler, sizeof...(Modes)>
SpecialisedForms(std::integer_sequence<uint32_t, Modes...>) {
    return {SpecialisedForm<Body, FastBody, Parameter, Operands, Modes>()...};
}

template <auto Body, auto FastBody, uint32_t Parameter, uint32_t Operands>
inline constexpr std::array<FastHandler, 64>
    kSpecialisedForms = SpecialisedForms<Body, FastBody, Parameter, Operands>(
        std::make_integer_sequence<uint32_t, kHeadModeBits + 1>{});

template <InstructionHandler Handler, auto FastBody, uint32_t... Parameters>
SDispatchEntry EntryWithFastForms(uint32_t parameter,
                                  std::integer_sequence<uint32_t, Parameters...>) {
    static constexpr SFastForm forms[] = {
        {&RunFast<FastBody, Parameters>, Handler, Parameters, nullptr}...};
    return {Handler, parameter, parameter < sizeof...(Parameters) ? &forms[parameter] : nullptr};
}

template <InstructionHandler Handler, auto FastBody, auto SpecialisedBody, uint32_t Operands,
          uint32_t... Parameters>
SDispatchEntry EntryWithSpecialisedForms(uint32_t parameter,
                                         std::integer_sequence<uint32_t, Parameters...>) {
    static constexpr SFastForm forms[] = {
        {&RunFast<FastBody, Parameters>, Handler, Parameters,
         kSpecialisedForms<SpecialisedBody, FastBody, Parameters, Operands>.data()}...};
    return {Handler, parameter, parameter < sizeof...(Parameters) ? &forms[parameter] : nullptr};
}

// The table entry of `Handler` (the exact handler, which checks its parameter) with the fast
// forms of its body for the parameters 0 .. Count - 1. A handler without a parameter has
// Count 1: the opcode map gives such entries the parameter 0.
template <InstructionHandler Handler, auto FastBody, uint32_t Count = 1>
SDispatchEntry WithFastForms(uint32_t parameter) {
    return EntryWithFastForms<Handler, FastBody>(parameter,
                                                 std::make_integer_sequence<uint32_t, Count>{});
}

// The same, with forms specialised for the addressing modes of the first `Operands`
// operands, for a body that reads its operands before it has any effect (see
// CSpecialisedAccess).
template <InstructionHandler Handler, auto FastBody, auto SpecialisedBody, uint32_t Operands,
          uint32_t Count = 1>
SDispatchEntry WithSpecialisedForms(uint32_t parameter) {
    return EntryWithSpecialisedForms<Handler, FastBody, SpecialisedBody, Operands>(
        parameter, std::make_integer_sequence<uint32_t, Count>{});
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

// Calls visit(TypeTag<T>{}) with the C++ type of one of the ten types; an empty entry
// otherwise.
template <typename Visitor>
SDispatchEntry ForTenTypes(EValueType type, Visitor visit) {
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
        return {};
    }
}

// The integer types only (I8 ... U64); an empty entry otherwise.
template <typename Visitor>
SDispatchEntry ForIntegerTypes(EValueType type, Visitor visit) {
    if (type == EValueType::F32 || type == EValueType::F64)
        return {};
    return ForTenTypes(type, [&]<typename T>(TypeTag<T> tag) -> SDispatchEntry {
        if constexpr (std::is_integral_v<T>)
            return visit(tag);
        else
            return {};
    });
}

// F32 and F64 only; an empty entry otherwise.
template <typename Visitor>
SDispatchEntry ForFloatTypes(EValueType type, Visitor visit) {
    if (type == EValueType::F32)
        return visit(TypeTag<float>{});
    if (type == EValueType::F64)
        return visit(TypeTag<double>{});
    return {};
}

// A bit-pattern width (or an unsigned type) as the unsigned integer of that width.
template <typename Visitor>
SDispatchEntry ForWidths(EValueType type, Visitor visit) {
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
        return {};
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
