// The machine's vocabulary: one descriptive entry for each of the 768 dispatch indices
// (category * 256 + code). The assembler, the disassembler and the dispatch table are all
// derived from this one table, so they cannot disagree about an instruction.
#pragma once

#include "abi/Encoding.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr uint32_t kOpcodeCategories = 3;
inline constexpr uint32_t kCodesPerCategory = 256;
inline constexpr uint32_t kOpcodeEntries = kOpcodeCategories * kCodesPerCategory;

// Value types. The first ten follow the machine's ten-type order, so the index of an integer
// type is also the type number that the conversions take as their parameter. The bit-pattern
// widths carry no sign meaning.
enum class EValueType : uint8_t {
    I8,
    I16,
    I32,
    I64,
    U8,
    U16,
    U32,
    U64,
    F32,
    F64,
    B8,
    B16,
    B32,
    B64,
    None
};

inline constexpr std::array<EValueType, 10> kTenTypes = {
    EValueType::I8,  EValueType::I16, EValueType::I32, EValueType::I64, EValueType::U8,
    EValueType::U16, EValueType::U32, EValueType::U64, EValueType::F32, EValueType::F64};
inline constexpr std::array<EValueType, 8> kIntegerTypes = {
    EValueType::I8, EValueType::I16, EValueType::I32, EValueType::I64,
    EValueType::U8, EValueType::U16, EValueType::U32, EValueType::U64};
inline constexpr std::array<EValueType, 4> kWidths = {EValueType::B8, EValueType::B16,
                                                      EValueType::B32, EValueType::B64};

// Bytes of a value of the type (0 for None).
uint32_t ValueTypeSize(EValueType type);
// The suffix as mnemonics write it: "I8" ... "F64", "8" ... "64"; empty for None.
std::string_view ValueTypeName(EValueType type);
bool IsFloatType(EValueType type);

// One handler family each. The dispatch table picks the handler from (family, type).
enum class EFamily : uint8_t {
    Invalid,
    // Category 0
    ConvertFloatToFloat, // type: source (F32 widens, F64 narrows)
    ConvertIntToFloat,   // type: target float; parameter: source integer type 0 - 7
    ConvertFloatToInt,   // type: source float; parameter: target integer type 0 - 7
    Move,                // type: width
    MoveBlock,
    Clear, // type: width
    ClearBlock,
    Fill, // type: width
    Swap, // type: width
    SwapBlock,
    Push, // type: width
    PushBlock,
    Pop, // type: width
    PopBlock,
    PushRegisters,
    PopRegisters,
    Jump,   // parameter: condition 0 - 8
    Call,   // parameter: condition 0 - 8
    Return, // parameter: condition 0 - 8
    SystemCall,
    GetEvent,
    Wait,
    Skip, // type: U8, U16 or U32 (the distance)
    Nop,
    // Category 1
    Arithmetic,  // type: T; parameter 0 ADD ... 6 MAX
    IncDecNeg,   // type: T; parameter 0 INC, 1 DEC, 2 NEG
    Logic,       // type: width; parameter 0 AND, 1 OR, 2 XOR
    Not,         // type: width
    Shift,       // type: width; parameter 0 SHL, 1 SAR, 2 ROL, 3 ROR
    LogicalAnd,  // LAND
    LogicalOr,   // LOR
    LogicalNot,  // LNOT.8
    LogicalTest, // type: width 16 - 64; parameter 0 LNOT, 1 BOOL
    Equality,    // type: width; parameter 0 EQ, 1 NE
    Relation,    // type: T; parameter 0 LT, 1 GT, 2 LE, 3 GE
    // Category 2
    AbsSign,        // type: I8 ... I64, F32, F64; parameter 0 ABS, 1 SGN
    Odd,            // type: integer
    Random,         // type: T
    MathFunction,   // type: F32 or F64; parameter p 0 - 20
    BinaryFunction, // type: F32 or F64; parameter 0 POW, 1 ATAN2, 2 LOGB
};

// What an instruction does with an operand.
enum class EOperandRole : uint8_t {
    Read,      // read with the advance flag set
    Written,   // resolved with GetOperandAddress, then written
    ReadWrite, // read in place, then resolved and written back (INC, SWAP)
    Address,   // resolved only; its bytes are not touched (jump and call targets)
};

// How big the operand is, and so how many bytes an immediate field carries.
enum class EOperandKind : uint8_t {
    Value,  // `size` bytes (1, 2, 4 or 8)
    Block,  // as many bytes as the count that operand A gives
    Target, // size 0: an immediate consumes nothing and names the bytes after the head
};

struct SOperandShape {
    EOperandRole role = EOperandRole::Read;
    EOperandKind kind = EOperandKind::Value;
    EValueType type = EValueType::None; // how the value is to be read (None for blocks)
    uint8_t size = 0;                   // bytes for Value; 0 for Block and Target
    EModeField mode = EModeField::ModeA;
};

struct SOpcodeInfo {
    EFamily family = EFamily::Invalid;
    EValueType type = EValueType::None; // the type or width the family's handler is made for
    uint32_t parameter = 0;
    // False for the second entries of a code (the conversions at category 0 codes 35 - 50),
    // which share their mnemonic with the primary code; an assembler emits the primary one.
    bool primary = true;
    std::string mnemonic; // empty for a free code
    uint8_t operandCount = 0;
    std::array<SOperandShape, 3> operands{};

    bool IsValid() const { return family != EFamily::Invalid; }
};

// The whole map, index = category * 256 + code; built once.
const std::array<SOpcodeInfo, kOpcodeEntries>& GetOpcodeMap();
inline const SOpcodeInfo& GetOpcodeInfo(uint32_t category, uint32_t code) {
    return GetOpcodeMap()[category * kCodesPerCategory + code];
}

// The index (category * 256 + code) of the primary entry with this mnemonic, compared
// without regard to case, or -1.
int32_t FindOpcode(std::string_view mnemonic);

// The bytes an operand field takes in the stream for a mode (blockCount for block operands).
uint32_t OperandFieldSize(const SOperandShape& shape, uint32_t mode, uint32_t blockCount);
