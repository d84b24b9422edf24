// Shared pieces of the instruction handlers: how a body becomes its table entry and forms,
// the mapping from the opcode map's value types to C++ types, the numbers of the types inside
// their families, and the common ways a handler ends. Everything here is inline: handlers run
// for every instruction.
//
// Every body is written once, as a generic lambda over its access class (the contract is in
// isa/OperandAccess.h): with CKernel it is the exact handler that the dispatch table names;
// with CFastAccess (isa/FastAccess.h) the body of the fast forms, one per parameter, in which
// the parameter is a constant; with CSpecialisedAccess (isa/SpecialisedAccess.h) the body of
// the forms in which the addressing modes are constants too. A family registers each body
// once (Register).
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

// --- Instruction bodies and their forms ----------------------------------------------------
//
// A body is a generic lambda (access, mode A, mode B, field C, parameter) -> bool over its
// access class; Register<Body, SForms{...}> makes the table entry from it: the exact handler
// (CKernel), a fast form per parameter (CFastAccess) and, for the parameters that pay, forms
// specialised for the addressing modes (CSpecialisedAccess).

// The body on the fast path with its parameter fixed: a FastHandler. Everything it calls is
// inlined, so the parameter's switch folds away and operand access is direct.
template <auto Body, uint32_t Parameter>
[[gnu::flatten, gnu::noinline]] uint64_t RunFast(CKernel& kernel, uint32_t ip, uint32_t word,
                                                 uint32_t budget) {
    CFastAccess access(kernel, ip);
    const bool ended = Body(access, HeadModeA(word), HeadModeB(word), HeadFieldC(word), Parameter);
    return access.Finish(ended, budget);
}

// How a specialised form takes an operand: an immediate field of the operand's size, or a
// 4-byte address field that names the operand (direct) or a pointer to it (indirect).
enum EFieldKind : uint32_t { kNoField, kImmediateField, kDirectField, kIndirectField };

constexpr uint32_t ModeOf(EFieldKind kind) {
    return static_cast<uint32_t>(kind);
}
static_assert(ModeOf(kImmediateField) == kModeImmediate && ModeOf(kDirectField) == kModeDirect &&
              ModeOf(kIndirectField) == kModeIndirect);

// The field kinds of operands A, B and C.
struct SShape {
    EFieldKind a = kNoField;
    EFieldKind b = kNoField;
    EFieldKind c = kNoField;
};

// The shapes that get specialised forms, chosen by measurement: callgrind over the five
// benchmarks and the demo programs (the closing figures are in the project's notes). Nearly
// all that they run hot is direct and immediate operands, with a pointer now and then; an
// immediate destination (a write into the instruction stream) never. An instruction of n
// operands takes the first shape whose first n kinds are its own, so these eight also give
// every kind of a single operand and eight of the nine pairs. Every other shape runs the
// fast form, which is exact for any modes.
inline constexpr std::array<SShape, 8> kShapes = {
    {{kDirectField, kImmediateField, kDirectField},      // x = y op constant
     {kDirectField, kDirectField, kDirectField},         // x = y op z, MOV x y, JNZ target flag
     {kImmediateField, kDirectField, kDirectField},      // a constant count or value: FILL, MOVB
     {kIndirectField, kDirectField, kDirectField},       // reading through a pointer
     {kImmediateField, kIndirectField, kDirectField},    // storing a constant through a pointer
     {kIndirectField, kIndirectField, kDirectField},     // copying between pointers
     {kDirectField, kIndirectField, kDirectField},       // storing a variable through a pointer
     {kImmediateField, kImmediateField, kDirectField}}}; // PUSHB of a constant block

// The index in kShapes for the modes in the low six bits of a head byte, for an instruction
// of `operands` operands; kShapes.size() where none fits (or an operand is in mode 0, which
// can only fail: the fast form fails it exactly).
constexpr uint32_t FindShape(uint32_t modes, uint32_t operands) {
    const uint32_t kinds[3] = {HeadModeA(modes), HeadModeB(modes), HeadFieldC(modes)};
    for (uint32_t i = 0; i < operands; ++i)
        if (kinds[i] == kModeNone)
            return kShapes.size();
    for (uint32_t s = 0; s < kShapes.size(); ++s) {
        const EFieldKind shape[3] = {kShapes[s].a, kShapes[s].b, kShapes[s].c};
        bool fits = true;
        for (uint32_t i = 0; i < operands; ++i)
            fits = fits && ModeOf(shape[i]) == kinds[i];
        if (fits)
            return s;
    }
    return kShapes.size();
}

// The head word at ip, which lies in data memory.
[[gnu::always_inline]] inline uint32_t HeadWordAt(CKernel& kernel, uint32_t ip) {
    uint16_t word;
    std::memcpy(&word, kernel.GetFastView().data + ip, 2);
    return word;
}

// The body with its parameter and its operands' field kinds fixed (see CSpecialisedAccess).
// Where an access gives up, the instruction runs again from its head on the fast form.
template <auto Body, uint32_t Parameter, SShape Shape>
[[gnu::flatten]] uint64_t RunSpecialised(CKernel& kernel, uint32_t ip, uint32_t, uint32_t budget) {
    CSpecialisedAccess access(kernel, ip);
    const bool ended = Body(access, ModeOf(Shape.a), ModeOf(Shape.b), ModeOf(Shape.c), Parameter);
    if (access.GaveUp()) [[unlikely]] {
        // Nothing was written, so the head is still there: read again, it need not be held
        // in a host register all through the form.
        return RunFast<Body, Parameter>(kernel, ip, HeadWordAt(kernel, ip), budget);
    }
    return access.Finish(kernel, ended, budget);
}

template <auto Body, uint32_t Parameter, size_t... Shapes>
constexpr std::array<FastHandler, kShapes.size()> SpecialisedForms(std::index_sequence<Shapes...>) {
    return {&RunSpecialised<Body, Parameter, kShapes[Shapes]>...};
}

template <auto Body, uint32_t Parameter>
inline constexpr std::array<FastHandler, kShapes.size()> kSpecialisedForms =
    SpecialisedForms<Body, Parameter>(std::make_index_sequence<kShapes.size()>{});

// What a registration says about its body besides the body itself.
struct SForms {
    // The body takes the parameters 0 .. parameters - 1 (1: a body without a parameter,
    // which the opcode map gives 0).
    uint32_t parameters = 1;
    // The number of the internal error for any other parameter; 0: the body takes any.
    uint32_t error = 0;
    // The parameters (bit p: parameter p) that get forms specialised for the shapes above:
    // only for a body that reads its operands before it has any effect (CSpecialisedAccess)
    // and only where it pays (see ParametersWhere and the families).
    uint32_t specialised = 0;
};

inline constexpr uint32_t kAllParameters = ~uint32_t{0};

// The set of the parameters listed, for SForms::specialised.
template <typename... Parameters>
constexpr uint32_t ParametersOf(Parameters... parameters) {
    return ((uint32_t{1} << parameters) | ... | 0u);
}

// The exact handler: the body on CKernel, after the parameter check.
template <auto Body, SForms Forms>
bool RunExact(CKernel& kernel, uint32_t modeA, uint32_t modeB, uint32_t fieldC,
              uint32_t parameter) {
    if (Forms.error != 0 && parameter >= Forms.parameters)
        return InternalError(kernel, Forms.error);
    return Body(kernel, modeA, modeB, fieldC, parameter);
}

template <auto Body, SForms Forms, uint32_t Parameter>
constexpr SFastForm FastFormOf() {
    const FastHandler* byShape = nullptr;
    if constexpr ((Forms.specialised >> Parameter & 1) != 0)
        byShape = kSpecialisedForms<Body, Parameter>.data();
    return {&RunFast<Body, Parameter>, &RunExact<Body, Forms>, Parameter, byShape};
}

template <auto Body, SForms Forms, uint32_t... Parameters>
SDispatchEntry EntryOf(uint32_t parameter, std::integer_sequence<uint32_t, Parameters...>) {
    static constexpr SFastForm forms[] = {FastFormOf<Body, Forms, Parameters>()...};
    return {&RunExact<Body, Forms>, parameter,
            parameter < sizeof...(Parameters) ? &forms[parameter] : nullptr};
}

// The table entry of an opcode-map entry whose instruction is `Body`.
template <auto Body, SForms Forms = SForms{}>
SDispatchEntry Register(const SOpcodeInfo& info) {
    return EntryOf<Body, Forms>(info.parameter,
                                std::make_integer_sequence<uint32_t, Forms.parameters>{});
}

template <typename T>
inline constexpr bool kIsFloat = std::is_floating_point_v<T>;

// The types that programs compute in, measured as kShapes was: 8- and 32-bit integers and
// the floats. Bodies of the 16- and 64-bit integers run on their fast forms.
template <typename T>
inline constexpr bool kHotType = sizeof(T) == 1 || sizeof(T) == 4 || kIsFloat<T>;

// SForms::specialised for a body of type T: `parameters` for a hot type, none otherwise.
template <typename T>
constexpr uint32_t IfHotType(uint32_t parameters) {
    return kHotType<T> ? parameters : 0;
}

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
