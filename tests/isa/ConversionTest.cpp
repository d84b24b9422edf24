#include "isa/IsaRig.h"

#include <limits>

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr uint64_t kInvalid = 0x8000000000000000ull;

TEST(Conversion, BetweenTheFloatTypes) {
    CheckUnaryCases({
        {"CVT.F32.F64", Bits(0.1f), Bits(static_cast<double>(0.1f))},
        {"CVT.F32.F64", Bits(-0.0f), Bits(-0.0)},
        {"CVT.F64.F32", Bits(1e300), Bits(std::numeric_limits<float>::infinity())},
        {"CVT.F64.F32", Bits(-1e300), Bits(-std::numeric_limits<float>::infinity())},
        {"CVT.F64.F32", Bits(0.1), Bits(0.1f)},
        // 1 + 2^-24 lies halfway between two floats: ties go to even.
        {"CVT.F64.F32", Bits(1.0 + 0x1p-24), Bits(1.0f)},
        {"CVT.F64.F32", Bits(1.0 + 0x1p-24 + 0x1p-40), Bits(1.0f + 0x1p-23f)},
    });
}

TEST(Conversion, IntegerToFloatTakesTheSourceSign) {
    CheckUnaryCases({
        {"CVT.I8.F32", 0xFF, Bits(-1.0f)},
        {"CVT.U8.F32", 0xFF, Bits(255.0f)},
        {"CVT.I16.F64", 0x8000, Bits(-32768.0)},
        {"CVT.U16.F64", 0x8000, Bits(32768.0)},
        {"CVT.I32.F64", 0xFFFFFFFF, Bits(-1.0)},
        {"CVT.U32.F64", 0xFFFFFFFF, Bits(4294967295.0)},
        {"CVT.U32.F32", 0xFFFFFFFF, Bits(4294967296.0f)},
        {"CVT.I64.F64", Bits(INT64_MIN), Bits(-9223372036854775808.0)},
        {"CVT.U64.F64", 0x8000000000000000ull, Bits(9223372036854775808.0)},
        {"CVT.U64.F32", ~0ull, Bits(18446744073709551616.0f)},
        {"CVT.I64.F32", 16777217, Bits(16777216.0f)},
    });
}

TEST(Conversion, FloatToIntegerTruncatesAndKeepsTheLowBytes) {
    CheckUnaryCases({
        {"CVT.F64.U32", Bits(3000000000.0), 0xB2D05E00},
        {"CVT.F64.I32", Bits(3000000000.0), 0xB2D05E00},
        {"CVT.F64.U8", Bits(-1.5), 0xFF},
        {"CVT.F64.I8", Bits(300.7), 0x2C},
        {"CVT.F32.I16", Bits(-2.9f), 0xFFFE},
        {"CVT.F32.I64", Bits(-2.9f), Bits<int64_t>(-2)},
        {"CVT.F64.I64", Bits(-9223372036854775808.0), kInvalid},
        {"CVT.F64.I64", Bits(9223372036854774784.0), 0x7FFFFFFFFFFFFC00ull},
        {"CVT.F32.U16", Bits(65535.9f), 0xFFFF},
    });
}

TEST(Conversion, UnrepresentableValuesGiveTheInvalidInteger) {
    // NaN, infinities and values beyond the signed 64-bit range all become 2^63, whose low
    // 1, 2 and 4 bytes are 0.
    for (uint64_t value : {Bits(kNaN), Bits(kInf), Bits(-kInf), Bits(1e19), Bits(-1e19),
                           Bits(9223372036854775808.0)}) {
        EXPECT_EQ(RunBits("CVT.F64.U64", {value}), kInvalid) << std::hex << value;
        EXPECT_EQ(RunBits("CVT.F64.I64", {value}), kInvalid) << std::hex << value;
        EXPECT_EQ(RunBits("CVT.F64.I32", {value}), 0u) << std::hex << value;
        EXPECT_EQ(RunBits("CVT.F64.U16", {value}), 0u) << std::hex << value;
        EXPECT_EQ(RunBits("CVT.F64.U8", {value}), 0u) << std::hex << value;
    }
    EXPECT_EQ(RunBits("CVT.F32.U64", {Bits(std::numeric_limits<float>::quiet_NaN())}), kInvalid);
    EXPECT_EQ(RunBits("CVT.F32.I64", {Bits(1e19f)}), kInvalid);
    EXPECT_EQ(RunBits("CVT.F32.I32", {Bits(-std::numeric_limits<float>::infinity())}), 0u);
}

TEST(Conversion, SecondEntriesConvertLikeTheFirst) {
    for (uint32_t code = 35; code <= 50; ++code) {
        for (double value : {-1.5, 300.7, 3000000000.0, 1e19, -0.0}) {
            const bool fromF32 = code <= 42;
            std::vector<uint8_t> results[2];
            for (uint32_t entry = 0; entry < 2; ++entry) {
                CProgramBuilder program;
                const uint32_t actual = entry == 0 ? code : code - 16;
                if (fromF32)
                    program.EmitCode(0, actual, {Imm(static_cast<float>(value)), Dir(kData)});
                else
                    program.EmitCode(0, actual, {Imm(value), Dir(kData)});
                CIsaRig rig(program);
                rig.Set<uint64_t>(kData, 0x1111111111111111ull);
                EXPECT_FALSE(rig.Step());
                EXPECT_EQ(rig.IP(), program.Size());
                results[entry] = rig.Bytes(kData, 8);
            }
            EXPECT_EQ(results[0], results[1]) << "code " << code << " value " << value;
        }
    }
}

TEST(Conversion, FailedWriteStopsTheMachine) {
    CProgramBuilder program;
    program.Emit("CVT.F64.I32", {Imm(1.0), NoOperand()});
    CIsaRig rig(program);
    EXPECT_TRUE(rig.Step());
    EXPECT_EQ(rig.StopMessage(), "Memory error");
    EXPECT_EQ(rig.IP(), 10u);
}

} // namespace
