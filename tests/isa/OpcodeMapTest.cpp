#include "isa/OpcodeMap.h"

#include <gtest/gtest.h>

#include <set>

namespace {

struct SExpectedEntry {
    uint32_t category;
    uint32_t code;
    const char* mnemonic;
    EFamily family;
    uint32_t parameter;
    uint32_t operandCount;
};

// Spot checks at the edges of every family's code range.
const SExpectedEntry kExpected[] = {
    {0, 1, "CVT.F32.F64", EFamily::ConvertFloatToFloat, 0, 2},
    {0, 2, "CVT.F64.F32", EFamily::ConvertFloatToFloat, 0, 2},
    {0, 3, "CVT.I8.F32", EFamily::ConvertIntToFloat, 0, 2},
    {0, 10, "CVT.U64.F32", EFamily::ConvertIntToFloat, 7, 2},
    {0, 11, "CVT.I8.F64", EFamily::ConvertIntToFloat, 0, 2},
    {0, 18, "CVT.U64.F64", EFamily::ConvertIntToFloat, 7, 2},
    {0, 19, "CVT.F32.I8", EFamily::ConvertFloatToInt, 0, 2},
    {0, 26, "CVT.F32.U64", EFamily::ConvertFloatToInt, 7, 2},
    {0, 27, "CVT.F64.I8", EFamily::ConvertFloatToInt, 0, 2},
    {0, 34, "CVT.F64.U64", EFamily::ConvertFloatToInt, 7, 2},
    {0, 37, "CVT.F32.I32", EFamily::ConvertFloatToInt, 2, 2},
    {0, 50, "CVT.F64.U64", EFamily::ConvertFloatToInt, 7, 2},
    {0, 51, "MOV.8", EFamily::Move, 0, 2},
    {0, 54, "MOV.64", EFamily::Move, 0, 2},
    {0, 55, "MOVB", EFamily::MoveBlock, 0, 3},
    {0, 59, "CLR.64", EFamily::Clear, 0, 1},
    {0, 60, "CLRB", EFamily::ClearBlock, 0, 2},
    {0, 61, "FILL.8", EFamily::Fill, 0, 3},
    {0, 68, "SWAP.64", EFamily::Swap, 0, 2},
    {0, 69, "SWAPB", EFamily::SwapBlock, 0, 3},
    {0, 73, "PUSH.64", EFamily::Push, 0, 1},
    {0, 74, "PUSHB", EFamily::PushBlock, 0, 2},
    {0, 78, "POP.64", EFamily::Pop, 0, 1},
    {0, 79, "POPB", EFamily::PopBlock, 0, 2},
    {0, 80, "PUSHR", EFamily::PushRegisters, 0, 0},
    {0, 81, "POPR", EFamily::PopRegisters, 0, 0},
    {0, 82, "JMP", EFamily::Jump, 0, 1},
    {0, 83, "JZ.8", EFamily::Jump, 1, 2},
    {0, 90, "JNZ.64", EFamily::Jump, 8, 2},
    {0, 91, "CALL", EFamily::Call, 0, 1},
    {0, 96, "CALLNZ.8", EFamily::Call, 5, 2},
    {0, 100, "RET", EFamily::Return, 0, 0},
    {0, 104, "RETZ.64", EFamily::Return, 4, 1},
    {0, 105, "RETNZ.8", EFamily::Return, 5, 1},
    {0, 109, "SYS", EFamily::SystemCall, 0, 0},
    {0, 110, "GETEVENT", EFamily::GetEvent, 0, 0},
    {0, 111, "WAIT", EFamily::Wait, 0, 0},
    {0, 200, "SKIP.8", EFamily::Skip, 0, 1},
    {0, 202, "SKIP.32", EFamily::Skip, 0, 1},
    {0, 255, "NOP", EFamily::Nop, 0, 0},
    {1, 1, "ADD.I8", EFamily::Arithmetic, 0, 3},
    {1, 10, "ADD.F64", EFamily::Arithmetic, 0, 3},
    {1, 33, "DIV.I32", EFamily::Arithmetic, 3, 3},
    {1, 70, "MAX.F64", EFamily::Arithmetic, 6, 3},
    {1, 71, "INC.I8", EFamily::IncDecNeg, 0, 1},
    {1, 90, "DEC.F64", EFamily::IncDecNeg, 1, 1},
    {1, 94, "NEG.I64", EFamily::IncDecNeg, 2, 1},
    {1, 95, "NEG.F32", EFamily::IncDecNeg, 2, 1},
    {1, 96, "NEG.F64", EFamily::IncDecNeg, 2, 1},
    {1, 97, "AND.8", EFamily::Logic, 0, 3},
    {1, 108, "XOR.64", EFamily::Logic, 2, 3},
    {1, 112, "NOT.64", EFamily::Not, 0, 2},
    {1, 113, "SHL.8", EFamily::Shift, 0, 3},
    {1, 128, "ROR.64", EFamily::Shift, 3, 3},
    {1, 129, "LAND", EFamily::LogicalAnd, 0, 3},
    {1, 130, "LOR", EFamily::LogicalOr, 0, 3},
    {1, 131, "LNOT.8", EFamily::LogicalNot, 0, 2},
    {1, 132, "EQ.8", EFamily::Equality, 0, 3},
    {1, 139, "NE.64", EFamily::Equality, 1, 3},
    {1, 140, "LT.I8", EFamily::Relation, 0, 3},
    {1, 179, "GE.F64", EFamily::Relation, 3, 3},
    {1, 180, "LNOT.16", EFamily::LogicalTest, 0, 2},
    {1, 185, "BOOL.64", EFamily::LogicalTest, 1, 2},
    {2, 1, "ABS.I8", EFamily::AbsSign, 0, 2},
    {2, 6, "ABS.F64", EFamily::AbsSign, 0, 2},
    {2, 11, "SGN.I8", EFamily::AbsSign, 1, 2},
    {2, 16, "SGN.F64", EFamily::AbsSign, 1, 2},
    {2, 17, "ODD.I8", EFamily::Odd, 0, 2},
    {2, 24, "ODD.U64", EFamily::Odd, 0, 2},
    {2, 25, "RND.I8", EFamily::Random, 0, 3},
    {2, 34, "RND.F64", EFamily::Random, 0, 3},
    {2, 35, "SIN.F32", EFamily::MathFunction, 0, 2},
    {2, 36, "SIN.F64", EFamily::MathFunction, 0, 2},
    {2, 37, "COS.F32", EFamily::MathFunction, 1, 2},
    {2, 75, "FRAC.F32", EFamily::MathFunction, 20, 2},
    {2, 76, "FRAC.F64", EFamily::MathFunction, 20, 2},
    {2, 77, "POW.F32", EFamily::BinaryFunction, 0, 3},
    {2, 80, "ATAN2.F64", EFamily::BinaryFunction, 1, 3},
    {2, 82, "LOGB.F64", EFamily::BinaryFunction, 2, 3},
};

TEST(OpcodeMap, EntriesAtFamilyEdges) {
    for (const SExpectedEntry& e : kExpected) {
        SCOPED_TRACE(e.mnemonic);
        const SOpcodeInfo& info = GetOpcodeInfo(e.category, e.code);
        EXPECT_EQ(info.mnemonic, e.mnemonic);
        EXPECT_EQ(info.family, e.family);
        EXPECT_EQ(info.parameter, e.parameter);
        EXPECT_EQ(info.operandCount, e.operandCount);
    }
}

TEST(OpcodeMap, FreeCodesAreExactlyTheUnlistedOnes) {
    uint32_t valid = 0;
    for (const SOpcodeInfo& info : GetOpcodeMap())
        valid += info.IsValid() ? 1 : 0;
    EXPECT_EQ(valid, 768u - 390u);
    for (uint32_t code : {0u, 112u, 199u, 203u, 254u})
        EXPECT_FALSE(GetOpcodeInfo(0, code).IsValid()) << code;
    for (uint32_t code : {0u, 186u, 255u})
        EXPECT_FALSE(GetOpcodeInfo(1, code).IsValid()) << code;
    for (uint32_t code : {0u, 7u, 8u, 9u, 10u, 83u, 255u})
        EXPECT_FALSE(GetOpcodeInfo(2, code).IsValid()) << code;
}

TEST(OpcodeMap, PrimaryMnemonicsAreUniqueAndSecondConversionsRepeatThem) {
    std::set<std::string> seen;
    for (const SOpcodeInfo& info : GetOpcodeMap()) {
        if (info.IsValid() && info.primary) {
            EXPECT_TRUE(seen.insert(info.mnemonic).second) << info.mnemonic;
        }
    }
    for (uint32_t code = 35; code <= 50; ++code) {
        const SOpcodeInfo& second = GetOpcodeInfo(0, code);
        const SOpcodeInfo& first = GetOpcodeInfo(0, code - 16);
        EXPECT_FALSE(second.primary);
        EXPECT_TRUE(first.primary);
        EXPECT_EQ(second.mnemonic, first.mnemonic);
        EXPECT_EQ(second.parameter, first.parameter);
        EXPECT_EQ(second.type, first.type);
    }
}

TEST(OpcodeMap, FindOpcodeReturnsThePrimaryIndex) {
    EXPECT_EQ(FindOpcode("cvt.f32.i32"), 21);
    EXPECT_EQ(FindOpcode("ADD.I32"), 256 + 3);
    EXPECT_EQ(FindOpcode("FRAC.F64"), 512 + 76);
    EXPECT_EQ(FindOpcode("NEG.U8"), -1);
    EXPECT_EQ(FindOpcode(""), -1);
}

TEST(OpcodeMap, OperandShapesFollowTheStreamOrder) {
    const SOpcodeInfo& movb = GetOpcodeInfo(0, 55);
    EXPECT_EQ(movb.operands[0].kind, EOperandKind::Value);
    EXPECT_EQ(movb.operands[0].size, 4);
    EXPECT_EQ(movb.operands[1].kind, EOperandKind::Block);
    EXPECT_EQ(movb.operands[1].role, EOperandRole::Read);
    EXPECT_EQ(movb.operands[2].role, EOperandRole::Written);
    EXPECT_EQ(movb.operands[2].mode, EModeField::FieldC);

    const SOpcodeInfo& jz = GetOpcodeInfo(0, 85); // JZ.32
    EXPECT_EQ(jz.operands[0].kind, EOperandKind::Target);
    EXPECT_EQ(jz.operands[1].size, 4);
    EXPECT_EQ(jz.operands[1].mode, EModeField::ModeB);

    const SOpcodeInfo& shl = GetOpcodeInfo(1, 116); // SHL.64
    EXPECT_EQ(shl.operands[0].size, 8);
    EXPECT_EQ(shl.operands[1].size, 1);
    EXPECT_EQ(shl.operands[2].size, 8);

    const SOpcodeInfo& lt = GetOpcodeInfo(1, 149); // LT.F64
    EXPECT_EQ(lt.operands[0].type, EValueType::F64);
    EXPECT_EQ(lt.operands[2].size, 1);

    const SOpcodeInfo& cvt = GetOpcodeInfo(0, 14); // CVT.I64.F64
    EXPECT_EQ(cvt.operands[0].type, EValueType::I64);
    EXPECT_EQ(cvt.operands[1].type, EValueType::F64);

    EXPECT_EQ(GetOpcodeInfo(1, 75).operands[0].role, EOperandRole::ReadWrite); // INC.U8
}

TEST(OpcodeMap, FieldSizesPerMode) {
    const SOperandShape& qword = GetOpcodeInfo(0, 54).operands[0]; // MOV.64 A
    EXPECT_EQ(OperandFieldSize(qword, 0, 0), 0u);
    EXPECT_EQ(OperandFieldSize(qword, 1, 0), 8u);
    EXPECT_EQ(OperandFieldSize(qword, 2, 0), 4u);
    EXPECT_EQ(OperandFieldSize(qword, 3, 0), 4u);
    EXPECT_EQ(OperandFieldSize(GetOpcodeInfo(0, 55).operands[1], 1, 6), 6u);
    EXPECT_EQ(OperandFieldSize(GetOpcodeInfo(0, 82).operands[0], 1, 0), 0u);
    EXPECT_EQ(OperandFieldSize(GetOpcodeInfo(0, 82).operands[0], 2, 0), 4u);
}

TEST(OpcodeMap, HeadEncoding) {
    EXPECT_EQ(EncodeHead(0, 0, 0, 0), 0x00);
    EXPECT_EQ(EncodeHead(1, 1, 2, 3), 0x5B);
    EXPECT_EQ(EncodeHead(2, 3, 3, 3), 0xBF);
}

} // namespace
