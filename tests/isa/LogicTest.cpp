#include "isa/IsaRig.h"

#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr float kNaNf = std::numeric_limits<float>::quiet_NaN();

TEST(Logic, BitwiseOperationsOfEveryWidth) {
    CheckBinaryCases({
        {"AND.8", 0xF0, 0x3C, 0x30},
        {"OR.16", 0xF000, 0x000F, 0xF00F},
        {"XOR.32", 0xFFFF0000, 0xF0F0F0F0, 0x0F0FF0F0},
        {"AND.64", ~0ull, 0x8000000000000001ull, 0x8000000000000001ull},
        {"XOR.64", 0x0123456789ABCDEFull, ~0ull, 0xFEDCBA9876543210ull},
        {"OR.8", 0x01, 0x80, 0x81},
    });
    CheckUnaryCases({
        {"NOT.8", 0x0F, 0xF0},
        {"NOT.16", 0, 0xFFFF},
        {"NOT.32", 0x80000000, 0x7FFFFFFF},
        {"NOT.64", 0, ~0ull},
    });
}

TEST(Shift, AmountsFollowTheShifterRules) {
    CheckBinaryCases({
        {"SHL.8", 1, 7, 0x80},
        {"SHL.8", 1, 8, 0},
        {"SHL.8", 1, 31, 0},
        {"SHL.8", 1, 33, 2}, // modulo 32
        {"SHL.16", 0x8001, 1, 0x0002},
        {"SHL.32", 1, 31, 0x80000000},
        {"SHL.32", 1, 32, 1},
        {"SHL.32", 3, 255, 0x80000000}, // 255 mod 32 = 31
        {"SHL.64", 1, 63, 0x8000000000000000ull},
        {"SHL.64", 1, 64, 0},
        {"SHL.64", 1, 200, 0},
        {"SAR.8", 0x80, 1, 0xC0},
        {"SAR.8", 0x80, 8, 0xFF},
        {"SAR.8", 0x40, 8, 0},
        {"SAR.8", 0x80, 32, 0x80}, // 32 mod 32 = 0
        {"SAR.16", 0x8000, 15, 0xFFFF},
        {"SAR.32", 0x80000000, 31, 0xFFFFFFFF},
        {"SAR.32", 0x40000000, 30, 1},
        {"SAR.64", 0x8000000000000000ull, 64, ~0ull},
        {"SAR.64", 0x4000000000000000ull, 255, 0},
        {"SAR.64", 0x8000000000000000ull, 63, ~0ull},
    });
}

TEST(Shift, RotationsFillFromTheSignBit) {
    CheckBinaryCases({
        {"ROL.8", 0x41, 3, 0x0A},
        {"ROL.8", 0x81, 3, 0xFC},
        {"ROL.8", 0x81, 0, 0xFF},
        {"ROL.8", 0x01, 0, 0x01},
        {"ROL.8", 0x41, 10, 0x00}, // both parts shift everything out
        {"ROL.16", 0x4001, 4, 0x0014},
        {"ROR.32", 0x00000001, 1, 0x80000000},
        {"ROR.32", 0x80000000, 1, 0xC0000000},
        {"ROR.32", 0x12345678, 0, 0x12345678}, // the left part shifts by 32 mod 32 = 0
        {"ROR.8", 0x03, 1, 0x81},
        {"ROL.64", 0x4000000000000001ull, 4, 0x0000000000000014ull},
        {"ROL.64", 0x8000000000000001ull, 0, ~0ull},
        {"ROR.64", 0x1, 1, 0x8000000000000000ull},
        {"ROR.64", 0x1, 64, 0x1}, // left part by 0, right part by 64
        {"ROR.64", 0x8000000000000000ull, 64, ~0ull},
    });
}

TEST(Boolean, BytesAreTrueWhenNotZero) {
    CheckBinaryCases({
        {"LAND", 2, 4, 1},
        {"LAND", 2, 0, 0},
        {"LAND", 0, 0, 0},
        {"LOR", 0, 0x80, 1},
        {"LOR", 0, 0, 0},
    });
    CheckUnaryCases({
        {"LNOT.8", 0, 1},
        {"LNOT.8", 0x10, 0},
        {"LNOT.16", 0x100, 0},
        {"LNOT.16", 0, 1},
        {"LNOT.32", 0x100, 0},
        {"LNOT.32", 0x10000, 0},
        {"LNOT.64", 1ull << 40, 0},
        {"LNOT.64", 0, 1},
        {"BOOL.16", 0x8000, 1},
        {"BOOL.16", 0, 0},
        {"BOOL.32", 0x80000000, 1},
        {"BOOL.64", 1ull << 40, 1},
        {"BOOL.64", 0, 0},
    });
}

TEST(Comparison, EqualityComparesBitPatterns) {
    CheckBinaryCases({
        {"EQ.8", 0x12, 0x12, 1},
        {"EQ.16", 0x1234, 0x1235, 0},
        {"EQ.32", 0x80000000, 0x80000000, 1},
        {"EQ.64", 1, 1ull << 32 | 1, 0},
        {"NE.8", 1, 2, 1},
        {"NE.64", ~0ull, ~0ull, 0},
        // A NaN pattern equals itself; +0.0 and -0.0 differ as patterns.
        {"EQ.64", Bits(kNaN), Bits(kNaN), 1},
        {"EQ.32", Bits(0.0f), Bits(-0.0f), 0},
    });
}

TEST(Comparison, RelationsBySignednessAndIEEE) {
    CheckBinaryCases({
        {"LT.I8", 0xFF, 1, 1},
        {"LT.U8", 0xFF, 1, 0},
        {"GT.I16", 0x8000, 0x7FFF, 0},
        {"GT.U16", 0x8000, 0x7FFF, 1},
        {"LE.I32", 5, 5, 1},
        {"GE.U32", 4, 5, 0},
        {"LT.I64", Bits(INT64_MIN), 0, 1},
        {"GE.U64", ~0ull, 0, 1},
        {"LT.F32", Bits(-1.0f), Bits(0.5f), 1},
        {"LE.F64", Bits(-0.0), Bits(0.0), 1},
        {"GT.F64", Bits(1e300), Bits(-1e300), 1},
        {"GE.F32", Bits(kNaNf), Bits(0.0f), 0},
    });
    // Every relation with a NaN is false.
    for (const char* relation : {"LT", "GT", "LE", "GE"}) {
        const std::string f64 = std::string(relation) + ".F64";
        EXPECT_EQ(RunBits(f64, {Bits(kNaN), Bits(1.0)}), 0u) << f64;
        EXPECT_EQ(RunBits(f64, {Bits(1.0), Bits(kNaN)}), 0u) << f64;
        const std::string f32 = std::string(relation) + ".F32";
        EXPECT_EQ(RunBits(f32, {Bits(kNaNf), Bits(kNaNf)}), 0u) << f32;
    }
}

TEST(Comparison, ResultIsOneByteWhereverItGoes) {
    CProgramBuilder program;
    program.Emit("LT.I32", {Imm<int32_t>(-1), Imm<int32_t>(0), Dir(kRegisters + 5)});
    CIsaRig rig(program);
    rig.Set<uint32_t>(kRegisters + 4, 0xFFFFFFFF);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.Get<uint32_t>(kRegisters + 4), 0xFFFF01FFu);
}

} // namespace
