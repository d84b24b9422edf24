#include "isa/OpcodeMap.h"

#include <cctype>
#include <vector>

namespace {

using Map = std::array<SOpcodeInfo, kOpcodeEntries>;

// --- Operand shapes (the mode field is filled in from the position) ---------------------

SOperandShape Value(EOperandRole role, EValueType type) {
    SOperandShape shape;
    shape.role = role;
    shape.kind = EOperandKind::Value;
    shape.type = type;
    shape.size = static_cast<uint8_t>(ValueTypeSize(type));
    return shape;
}
SOperandShape In(EValueType type) {
    return Value(EOperandRole::Read, type);
}
SOperandShape Out(EValueType type) {
    return Value(EOperandRole::Written, type);
}
SOperandShape InOut(EValueType type) {
    return Value(EOperandRole::ReadWrite, type);
}
// A block count: a dword taken as a signed number.
SOperandShape Count() {
    return In(EValueType::I32);
}
SOperandShape Block(EOperandRole role) {
    SOperandShape shape;
    shape.role = role;
    shape.kind = EOperandKind::Block;
    return shape;
}
SOperandShape Target() {
    SOperandShape shape;
    shape.role = EOperandRole::Address;
    shape.kind = EOperandKind::Target;
    shape.type = EValueType::U32;
    return shape;
}

// --- Names --------------------------------------------------------------------------------

std::string Dot(std::string_view operation, EValueType type) {
    std::string name(operation);
    name += '.';
    name += ValueTypeName(type);
    return name;
}
std::string Dot(std::string_view operation, EValueType first, EValueType second) {
    return Dot(operation, first) + "." + std::string(ValueTypeName(second));
}

// The bit-pattern width of a byte count.
EValueType WidthOf(uint32_t bytes) {
    switch (bytes) {
    case 1:
        return EValueType::B8;
    case 2:
        return EValueType::B16;
    case 4:
        return EValueType::B32;
    default:
        return EValueType::B64;
    }
}

class CBuilder {
public:
    explicit CBuilder(Map& map) : map(map) {}

    void Define(uint32_t category, uint32_t code, std::string mnemonic, EFamily family,
                EValueType type, uint32_t parameter, const std::vector<SOperandShape>& operands,
                bool primary = true) {
        SOpcodeInfo& info = map[category * kCodesPerCategory + code];
        info.family = family;
        info.type = type;
        info.parameter = parameter;
        info.primary = primary;
        info.mnemonic = std::move(mnemonic);
        info.operandCount = 0;
        for (SOperandShape shape : operands) {
            shape.mode = static_cast<EModeField>(info.operandCount);
            info.operands[info.operandCount++] = shape;
        }
    }

private:
    Map& map;
};

// Conditional families of jumps, calls and returns: the plain form, then the zero tests and
// the non-zero tests of the four widths (conditions 1 - 4 and 5 - 8). Jumps and calls take
// a target before the tested value.
void DefineConditional(CBuilder& b, uint32_t firstCode, std::string_view plain,
                       std::string_view zero, std::string_view nonZero, EFamily family,
                       bool hasTarget) {
    std::vector<SOperandShape> operands;
    if (hasTarget)
        operands.push_back(Target());
    b.Define(0, firstCode, std::string(plain), family, EValueType::None, 0, operands);
    for (uint32_t i = 0; i < 4; ++i) {
        const EValueType width = kWidths[i];
        std::vector<SOperandShape> tested = operands;
        tested.push_back(In(width));
        b.Define(0, firstCode + 1 + i, Dot(zero, width), family, width, 1 + i, tested);
        b.Define(0, firstCode + 5 + i, Dot(nonZero, width), family, width, 5 + i, tested);
    }
}

void DefineCategory0(CBuilder& b) {
    using enum EValueType;
    b.Define(0, 1, "CVT.F32.F64", EFamily::ConvertFloatToFloat, F32, 0, {In(F32), Out(F64)});
    b.Define(0, 2, "CVT.F64.F32", EFamily::ConvertFloatToFloat, F64, 0, {In(F64), Out(F32)});
    for (uint32_t t = 0; t < 8; ++t) {
        const EValueType integer = kIntegerTypes[t];
        b.Define(0, 3 + t, Dot("CVT", integer, F32), EFamily::ConvertIntToFloat, F32, t,
                 {In(integer), Out(F32)});
        b.Define(0, 11 + t, Dot("CVT", integer, F64), EFamily::ConvertIntToFloat, F64, t,
                 {In(integer), Out(F64)});
        for (uint32_t copy = 0; copy < 2; ++copy) {
            const bool primary = copy == 0;
            b.Define(0, 19 + 16 * copy + t, Dot("CVT", F32, integer), EFamily::ConvertFloatToInt,
                     F32, t, {In(F32), Out(integer)}, primary);
            b.Define(0, 27 + 16 * copy + t, Dot("CVT", F64, integer), EFamily::ConvertFloatToInt,
                     F64, t, {In(F64), Out(integer)}, primary);
        }
    }
    for (uint32_t i = 0; i < 4; ++i) {
        const EValueType w = kWidths[i];
        b.Define(0, 51 + i, Dot("MOV", w), EFamily::Move, w, 0, {In(w), Out(w)});
        b.Define(0, 56 + i, Dot("CLR", w), EFamily::Clear, w, 0, {Out(w)});
        b.Define(0, 61 + i, Dot("FILL", w), EFamily::Fill, w, 0,
                 {Count(), In(w), Value(EOperandRole::Written, w)});
        b.Define(0, 65 + i, Dot("SWAP", w), EFamily::Swap, w, 0, {InOut(w), InOut(w)});
        b.Define(0, 70 + i, Dot("PUSH", w), EFamily::Push, w, 0, {In(w)});
        b.Define(0, 75 + i, Dot("POP", w), EFamily::Pop, w, 0, {Out(w)});
    }
    b.Define(0, 55, "MOVB", EFamily::MoveBlock, None, 0,
             {Count(), Block(EOperandRole::Read), Block(EOperandRole::Written)});
    b.Define(0, 60, "CLRB", EFamily::ClearBlock, None, 0, {Count(), Block(EOperandRole::Written)});
    b.Define(0, 69, "SWAPB", EFamily::SwapBlock, None, 0,
             {Count(), Block(EOperandRole::ReadWrite), Block(EOperandRole::ReadWrite)});
    b.Define(0, 74, "PUSHB", EFamily::PushBlock, None, 0, {Count(), Block(EOperandRole::Read)});
    b.Define(0, 79, "POPB", EFamily::PopBlock, None, 0, {Count(), Block(EOperandRole::Written)});
    b.Define(0, 80, "PUSHR", EFamily::PushRegisters, None, 0, {});
    b.Define(0, 81, "POPR", EFamily::PopRegisters, None, 0, {});

    DefineConditional(b, 82, "JMP", "JZ", "JNZ", EFamily::Jump, true);
    DefineConditional(b, 91, "CALL", "CALLZ", "CALLNZ", EFamily::Call, true);
    DefineConditional(b, 100, "RET", "RETZ", "RETNZ", EFamily::Return, false);

    b.Define(0, 109, "SYS", EFamily::SystemCall, None, 0, {});
    b.Define(0, 110, "GETEVENT", EFamily::GetEvent, None, 0, {});
    b.Define(0, 111, "WAIT", EFamily::Wait, None, 0, {});
    const std::array<EValueType, 3> distances = {U8, U16, U32};
    for (uint32_t i = 0; i < distances.size(); ++i)
        b.Define(0, 200 + i, Dot("SKIP", WidthOf(ValueTypeSize(distances[i]))), EFamily::Skip,
                 distances[i], 0, {In(distances[i])});
    b.Define(0, 255, "NOP", EFamily::Nop, None, 0, {});
}

void DefineCategory1(CBuilder& b) {
    using enum EValueType;
    static constexpr std::array<std::string_view, 7> arithmetic = {"ADD", "SUB", "MUL", "DIV",
                                                                   "MOD", "MIN", "MAX"};
    static constexpr std::array<std::string_view, 4> relations = {"LT", "GT", "LE", "GE"};
    for (uint32_t t = 0; t < kTenTypes.size(); ++t) {
        const EValueType type = kTenTypes[t];
        for (uint32_t op = 0; op < arithmetic.size(); ++op)
            b.Define(1, 1 + 10 * op + t, Dot(arithmetic[op], type), EFamily::Arithmetic, type, op,
                     {In(type), In(type), Out(type)});
        b.Define(1, 71 + t, Dot("INC", type), EFamily::IncDecNeg, type, 0, {InOut(type)});
        b.Define(1, 81 + t, Dot("DEC", type), EFamily::IncDecNeg, type, 1, {InOut(type)});
        for (uint32_t op = 0; op < relations.size(); ++op)
            b.Define(1, 140 + 10 * op + t, Dot(relations[op], type), EFamily::Relation, type, op,
                     {In(type), In(type), Out(B8)});
    }
    const std::array<EValueType, 6> negatable = {I8, I16, I32, I64, F32, F64};
    for (uint32_t i = 0; i < negatable.size(); ++i)
        b.Define(1, 91 + i, Dot("NEG", negatable[i]), EFamily::IncDecNeg, negatable[i], 2,
                 {InOut(negatable[i])});

    static constexpr std::array<std::string_view, 3> logic = {"AND", "OR", "XOR"};
    static constexpr std::array<std::string_view, 4> shifts = {"SHL", "SAR", "ROL", "ROR"};
    static constexpr std::array<std::string_view, 2> equality = {"EQ", "NE"};
    for (uint32_t i = 0; i < kWidths.size(); ++i) {
        const EValueType w = kWidths[i];
        for (uint32_t op = 0; op < logic.size(); ++op)
            b.Define(1, 97 + 4 * op + i, Dot(logic[op], w), EFamily::Logic, w, op,
                     {In(w), In(w), Out(w)});
        b.Define(1, 109 + i, Dot("NOT", w), EFamily::Not, w, 0, {In(w), Out(w)});
        for (uint32_t op = 0; op < shifts.size(); ++op)
            b.Define(1, 113 + 4 * op + i, Dot(shifts[op], w), EFamily::Shift, w, op,
                     {In(w), In(U8), Out(w)});
        for (uint32_t op = 0; op < equality.size(); ++op)
            b.Define(1, 132 + 4 * op + i, Dot(equality[op], w), EFamily::Equality, w, op,
                     {In(w), In(w), Out(B8)});
    }
    b.Define(1, 129, "LAND", EFamily::LogicalAnd, B8, 0, {In(B8), In(B8), Out(B8)});
    b.Define(1, 130, "LOR", EFamily::LogicalOr, B8, 0, {In(B8), In(B8), Out(B8)});
    b.Define(1, 131, "LNOT.8", EFamily::LogicalNot, B8, 0, {In(B8), Out(B8)});
    for (uint32_t i = 1; i < kWidths.size(); ++i) {
        const EValueType w = kWidths[i];
        b.Define(1, 179 + i, Dot("LNOT", w), EFamily::LogicalTest, w, 0, {In(w), Out(B8)});
        b.Define(1, 182 + i, Dot("BOOL", w), EFamily::LogicalTest, w, 1, {In(w), Out(B8)});
    }
}

void DefineCategory2(CBuilder& b) {
    using enum EValueType;
    const std::array<EValueType, 6> signedTypes = {I8, I16, I32, I64, F32, F64};
    for (uint32_t i = 0; i < signedTypes.size(); ++i) {
        const EValueType type = signedTypes[i];
        b.Define(2, 1 + i, Dot("ABS", type), EFamily::AbsSign, type, 0, {In(type), Out(type)});
        b.Define(2, 11 + i, Dot("SGN", type), EFamily::AbsSign, type, 1, {In(type), Out(type)});
    }
    for (uint32_t t = 0; t < kIntegerTypes.size(); ++t)
        b.Define(2, 17 + t, Dot("ODD", kIntegerTypes[t]), EFamily::Odd, kIntegerTypes[t], 0,
                 {In(kIntegerTypes[t]), Out(B8)});
    for (uint32_t t = 0; t < kTenTypes.size(); ++t)
        b.Define(2, 25 + t, Dot("RND", kTenTypes[t]), EFamily::Random, kTenTypes[t], 0,
                 {In(kTenTypes[t]), In(kTenTypes[t]), Out(kTenTypes[t])});

    static constexpr std::array<std::string_view, 21> functions = {
        "SIN",  "COS", "TAN",  "COT",   "ASIN", "ACOS",  "ATAN", "ACOT", "SINH",  "COSH", "TANH",
        "COTH", "EXP", "CEIL", "FLOOR", "SQRT", "LOG10", "LOG2", "LN",   "ROUND", "FRAC"};
    static constexpr std::array<std::string_view, 3> binary = {"POW", "ATAN2", "LOGB"};
    const std::array<EValueType, 2> floats = {F32, F64};
    for (uint32_t f = 0; f < floats.size(); ++f) {
        const EValueType type = floats[f];
        for (uint32_t p = 0; p < functions.size(); ++p)
            b.Define(2, 35 + 2 * p + f, Dot(functions[p], type), EFamily::MathFunction, type, p,
                     {In(type), Out(type)});
        for (uint32_t op = 0; op < binary.size(); ++op)
            b.Define(2, 77 + 2 * op + f, Dot(binary[op], type), EFamily::BinaryFunction, type, op,
                     {In(type), In(type), Out(type)});
    }
}

Map BuildMap() {
    Map map{};
    CBuilder builder(map);
    DefineCategory0(builder);
    DefineCategory1(builder);
    DefineCategory2(builder);
    return map;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

uint32_t ValueTypeSize(EValueType type) {
    switch (type) {
    case EValueType::I8:
    case EValueType::U8:
    case EValueType::B8:
        return 1;
    case EValueType::I16:
    case EValueType::U16:
    case EValueType::B16:
        return 2;
    case EValueType::I32:
    case EValueType::U32:
    case EValueType::F32:
    case EValueType::B32:
        return 4;
    case EValueType::I64:
    case EValueType::U64:
    case EValueType::F64:
    case EValueType::B64:
        return 8;
    case EValueType::None:
        break;
    }
    return 0;
}

std::string_view ValueTypeName(EValueType type) {
    static constexpr std::array<std::string_view, 15> names = {"I8",  "I16", "I32", "I64", "U8",
                                                               "U16", "U32", "U64", "F32", "F64",
                                                               "8",   "16",  "32",  "64",  ""};
    return names[static_cast<size_t>(type)];
}

bool IsFloatType(EValueType type) {
    return type == EValueType::F32 || type == EValueType::F64;
}

const std::array<SOpcodeInfo, kOpcodeEntries>& GetOpcodeMap() {
    static const Map map = BuildMap();
    return map;
}

int32_t FindOpcode(std::string_view mnemonic) {
    const Map& map = GetOpcodeMap();
    for (uint32_t i = 0; i < kOpcodeEntries; ++i)
        if (map[i].IsValid() && map[i].primary && EqualsIgnoringCase(map[i].mnemonic, mnemonic))
            return static_cast<int32_t>(i);
    return -1;
}

uint32_t OperandFieldSize(const SOperandShape& shape, uint32_t mode, uint32_t blockCount) {
    switch (mode) {
    case 1:
        if (shape.kind == EOperandKind::Block)
            return blockCount;
        return shape.kind == EOperandKind::Target ? 0 : shape.size;
    case 2:
    case 3:
        return 4;
    default:
        return 0;
    }
}
