#include "isa/IsaRig.h"

#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr float kNaNf = std::numeric_limits<float>::quiet_NaN();

TEST(Arithmetic, IntegerResultsWrapInTheirWidth) {
    CheckBinaryCases({
        {"ADD.U8", 200, 100, 44},
        {"ADD.I8", Bits<int8_t>(127), 1, Bits<int8_t>(-128)},
        {"ADD.I32", Bits(INT32_MAX), 1, Bits(INT32_MIN)},
        {"ADD.I64", Bits(INT64_MAX), 1, Bits(INT64_MIN)},
        {"ADD.U64", ~0ull, 2, 1},
        {"SUB.I16", Bits<int16_t>(-32768), 1, 32767},
        {"SUB.U32", 0, 1, 0xFFFFFFFF},
        {"SUB.I64", Bits(INT64_MIN), 1, Bits(INT64_MAX)},
        // 65535 * 65535 overflows a host int if the operands are promoted carelessly.
        {"MUL.U16", 0xFFFF, 0xFFFF, 1},
        {"MUL.I16", Bits<int16_t>(-32768), Bits<int16_t>(-1), Bits<int16_t>(-32768)},
        {"MUL.I8", Bits<int8_t>(-128), Bits<int8_t>(-1), Bits<int8_t>(-128)},
        {"MUL.I32", Bits<int32_t>(-3), 7, Bits<int32_t>(-21)},
        {"MUL.U32", 0x10000, 0x10000, 0},
        {"MUL.I64", Bits(INT64_MAX), 2, Bits<int64_t>(-2)},
        {"MUL.U64", 0x100000000ull, 0x100000001ull, 0x100000000ull},
    });
}

TEST(Arithmetic, DivisionTruncatesAndNeverTraps) {
    CheckBinaryCases({
        {"DIV.I32", Bits<int32_t>(-7), 2, Bits<int32_t>(-3)},
        {"MOD.I32", Bits<int32_t>(-7), 3, Bits<int32_t>(-1)},
        {"MOD.I32", 7, Bits<int32_t>(-3), 1},
        {"DIV.U32", 0xFFFFFFF9, 2, 0x7FFFFFFC},
        {"DIV.U32", 0x80000000, 0xFFFFFFFF, 0}, // -1 is no special case when unsigned
        {"MOD.U8", 0xFF, 0x10, 0x0F},
        {"DIV.I16", Bits<int16_t>(-300), 7, Bits<int16_t>(-42)},
        {"MOD.I64", Bits<int64_t>(-1000000000007), 10, Bits<int64_t>(-7)},
        {"DIV.U64", ~0ull, 3, 0x5555555555555555ull},
        // The most negative value divided by -1 gives itself, its remainder 0.
        {"DIV.I8", Bits<int8_t>(-128), Bits<int8_t>(-1), Bits<int8_t>(-128)},
        {"MOD.I8", Bits<int8_t>(-128), Bits<int8_t>(-1), 0},
        {"DIV.I16", Bits<int16_t>(-32768), Bits<int16_t>(-1), Bits<int16_t>(-32768)},
        {"MOD.I16", Bits<int16_t>(-32768), Bits<int16_t>(-1), 0},
        {"DIV.I32", Bits(INT32_MIN), Bits<int32_t>(-1), Bits(INT32_MIN)},
        {"MOD.I32", Bits(INT32_MIN), Bits<int32_t>(-1), 0},
        {"DIV.I64", Bits(INT64_MIN), Bits<int64_t>(-1), Bits(INT64_MIN)},
        {"MOD.I64", Bits(INT64_MIN), Bits<int64_t>(-1), 0},
        {"DIV.I32", 9, Bits<int32_t>(-1), Bits<int32_t>(-9)},
    });
}

TEST(Arithmetic, DivisionByZeroGivesZeroInEveryType) {
    for (const char* type : {"I8", "I16", "I32", "I64", "U8", "U16", "U32", "U64"}) {
        for (const char* op : {"DIV.", "MOD."}) {
            const std::string mnemonic = std::string(op) + type;
            EXPECT_EQ(RunBits(mnemonic, {0x55, 0}), 0u) << mnemonic;
        }
    }
    // Either zero as divisor gives +0.0, never an infinity or a NaN.
    CheckBinaryCases({
        {"DIV.F64", Bits(1.0), Bits(-0.0), Bits(0.0)},
        {"DIV.F64", Bits(-1.0), Bits(0.0), Bits(0.0)},
        {"DIV.F32", Bits(1.0f), Bits(0.0f), Bits(0.0f)},
        {"MOD.F32", Bits(5.0f), Bits(-0.0f), Bits(0.0f)},
        {"MOD.F64", Bits(5.0), Bits(0.0), Bits(0.0)},
    });
}

TEST(Arithmetic, FloatingPoint) {
    CheckBinaryCases({
        {"ADD.F32", Bits(0.1f), Bits(0.2f), Bits(0.1f + 0.2f)},
        {"ADD.F64", Bits(0.1), Bits(0.2), Bits(0.1 + 0.2)},
        {"SUB.F64", Bits(1.0), Bits(1e-17), Bits(1.0)},
        {"MUL.F32", Bits(1e30f), Bits(1e30f), Bits(std::numeric_limits<float>::infinity())},
        {"DIV.F64", Bits(1.0), Bits(3.0), Bits(1.0 / 3.0)},
        {"DIV.F32", Bits(-6.0f), Bits(4.0f), Bits(-1.5f)},
        {"MOD.F32", Bits(7.5f), Bits(2.0f), Bits(1.5f)},
        {"MOD.F64", Bits(-7.5), Bits(2.0), Bits(-1.5)},
    });
}

TEST(Arithmetic, MinAndMaxCompareByTypeAndTakeBWhenTheComparisonIsFalse) {
    CheckBinaryCases({
        {"MIN.I8", Bits<int8_t>(-1), 1, Bits<int8_t>(-1)},
        {"MIN.U8", 0xFF, 1, 1},
        {"MAX.I16", Bits<int16_t>(-5), Bits<int16_t>(-7), Bits<int16_t>(-5)},
        {"MAX.U32", 0x80000000, 5, 0x80000000},
        {"MIN.I64", Bits(INT64_MIN), Bits(INT64_MAX), Bits(INT64_MIN)},
        {"MAX.U64", 1, ~0ull, ~0ull},
        {"MIN.F64", Bits(kNaN), Bits(2.0), Bits(2.0)},
        {"MIN.F64", Bits(2.0), Bits(kNaN), Bits(kNaN)},
        {"MAX.F32", Bits(kNaNf), Bits(2.0f), Bits(2.0f)},
        {"MAX.F32", Bits(2.0f), Bits(kNaNf), Bits(kNaNf)},
        {"MIN.F64", Bits(0.0), Bits(-0.0), Bits(-0.0)},
        {"MIN.F64", Bits(-0.0), Bits(0.0), Bits(0.0)},
        {"MAX.F32", Bits(-1.5f), Bits(-2.5f), Bits(-1.5f)},
    });
}

TEST(Arithmetic, OperandsComeFromEveryModeAndBASEAppliesToData) {
    // ADD.I32 [direct], [indirect] -> immediate-free destination through a pointer.
    CProgramBuilder program;
    program.Emit("ADD.I32", {Dir(0x100), Ind(0x104), Ind(0x108)});
    CIsaRig rig(program);
    rig.SetBASE(0x2000);
    rig.Set<int32_t>(0x100, 40);
    rig.Set<uint32_t>(0x104, 0x200); // pointer to B
    rig.Set<int32_t>(0x200, 2);
    rig.Set<uint32_t>(0x108, kRegisters + 4); // pointer into the register block
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.Get<int32_t>(kRegisters + 4), 42);
    EXPECT_EQ(rig.IP(), program.Size());
    EXPECT_EQ(rig.Memory().GetData()[0x2100], 40); // the data really lay behind BASE
}

TEST(Arithmetic, ResultToIPRedirectsExecution) {
    CProgramBuilder program;
    program.Emit("ADD.U32", {Imm<uint32_t>(0x30), Imm<uint32_t>(0x10), Dir(kIPAddress)});
    CIsaRig rig(program);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.IP(), 0x40u);
}

TEST(Arithmetic, FailedReadWritesNothingAndStops) {
    struct {
        SOperand a, b, c;
        uint32_t ip;
    } cases[] = {
        // B is mode 0: A's field is consumed, nothing is written.
        {Imm<int32_t>(1), NoOperand(), Dir(kData), 6},
        // A names an address past the end of memory (64k).
        {Dir(0x10000), Imm<int32_t>(1), Dir(kData), 6},
        // C points outside memory and registers.
        {Imm<int32_t>(1), Imm<int32_t>(2), Dir(kRegisters + 44), 14},
    };
    for (const auto& c : cases) {
        CProgramBuilder program;
        program.Emit("ADD.I32", {c.a, c.b, c.c});
        CIsaRig rig(program);
        rig.Set<int32_t>(kData, 77);
        EXPECT_TRUE(rig.Step());
        EXPECT_EQ(rig.StopMessage(), "Memory error");
        EXPECT_EQ(rig.IP(), c.ip);
        EXPECT_EQ(rig.Get<int32_t>(kData), 77);
    }
}

// INC, DEC, NEG on a value in data memory.
uint64_t RunInPlace(const std::string& mnemonic, uint64_t value) {
    CProgramBuilder program;
    program.Emit(mnemonic, {Dir(kData)});
    CIsaRig rig(program);
    rig.Set(kData, value);
    EXPECT_FALSE(rig.Step()) << mnemonic;
    EXPECT_EQ(rig.IP(), program.Size());
    const uint32_t size =
        GetOpcodeMap()[static_cast<size_t>(FindOpcode(mnemonic))].operands[0].size;
    const uint64_t result = rig.Get<uint64_t>(kData);
    return size < 8 ? result & ((uint64_t{1} << (size * 8)) - 1) : result;
}

TEST(IncDecNeg, ValuesInPlace) {
    struct {
        const char* mnemonic;
        uint64_t value;
        uint64_t expected;
    } cases[] = {
        {"INC.U16", 0xFFFF, 0},
        {"INC.I8", 0x7F, 0x80},
        {"INC.I64", Bits(INT64_MAX), Bits(INT64_MIN)},
        {"DEC.U32", 0, 0xFFFFFFFF},
        {"DEC.I64", Bits(INT64_MIN), Bits(INT64_MAX)},
        {"INC.F32", Bits(1.5f), Bits(2.5f)},
        {"DEC.F64", Bits(0.5), Bits(-0.5)},
        {"INC.F32", Bits(16777216.0f), Bits(16777216.0f)}, // rounded to F32
        {"NEG.I32", 5, Bits<int32_t>(-5)},
        {"NEG.I8", 0x80, 0x80},
        {"NEG.I16", 1, 0xFFFF},
        {"NEG.I64", Bits(INT64_MIN), Bits(INT64_MIN)},
        {"NEG.F32", Bits(0.0f), Bits(-0.0f)},
        {"NEG.F64", Bits(-2.5), Bits(2.5)},
        {"NEG.F64", 0x7FF8000000000001ull, 0xFFF8000000000001ull}, // a NaN keeps its payload
    };
    for (const auto& c : cases)
        EXPECT_EQ(RunInPlace(c.mnemonic, c.value), c.expected) << c.mnemonic;
}

TEST(IncDecNeg, ImmediateOperandRewritesTheInstructionStream) {
    // INC.U8 #0xFF ; INC.I32 #41 ; then the rewritten bytes are read back by MOV.
    CProgramBuilder program;
    program.Emit("INC.U8", {Imm<uint8_t>(0xFF)});
    program.Emit("INC.I32", {Imm<int32_t>(41)});
    program.Emit("NEG.F64", {Imm(1.0)});
    const uint32_t end = program.Size();
    CIsaRig rig(program);
    rig.SetBASE(0x400); // the write is relative but lands on the absolute field
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.IP(), 3u);
    EXPECT_EQ(rig.Memory().GetData()[2], 0);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.IP(), 9u);
    int32_t rewritten;
    std::memcpy(&rewritten, rig.Memory().GetData() + 5, 4);
    EXPECT_EQ(rewritten, 42);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.IP(), end);
    double negated;
    std::memcpy(&negated, rig.Memory().GetData() + 11, 8);
    EXPECT_EQ(negated, -1.0);
}

TEST(IncDecNeg, IncrementOfIPRegisterSkipsAByte) {
    // INC.U32 [IP]: the value is read while IP stands right behind the head (2); resolving
    // the destination then consumes the field, and the write stores 2 + 1 over it.
    CProgramBuilder program;
    program.Emit("INC.U32", {Dir(kIPAddress)});
    CIsaRig rig(program);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.IP(), 3u);
}

} // namespace
