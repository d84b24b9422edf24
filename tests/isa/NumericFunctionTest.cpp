#include "core/Random.h"
#include "isa/IsaRig.h"

#include <bit>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kPi = std::numbers::pi;

double F64(const std::string& mnemonic, double a) {
    return std::bit_cast<double>(RunBits(mnemonic, {Bits(a)}));
}
float F32(const std::string& mnemonic, float a) {
    return std::bit_cast<float>(static_cast<uint32_t>(RunBits(mnemonic, {Bits(a)})));
}
double F64(const std::string& mnemonic, double a, double b) {
    return std::bit_cast<double>(RunBits(mnemonic, {Bits(a), Bits(b)}));
}
float F32(const std::string& mnemonic, float a, float b) {
    return std::bit_cast<float>(static_cast<uint32_t>(RunBits(mnemonic, {Bits(a), Bits(b)})));
}

TEST(AbsSign, IntegersAndFloats) {
    CheckUnaryCases({
        {"ABS.I8", 0x80, 0x80},
        {"ABS.I8", 0xFB, 5},
        {"ABS.I16", 0x8001, 0x7FFF},
        {"ABS.I32", 7, 7},
        {"ABS.I64", Bits(INT64_MIN), Bits(INT64_MIN)},
        {"ABS.F32", Bits(-0.0f), Bits(-0.0f)},
        {"ABS.F64", Bits(-2.5), Bits(2.5)},
        {"ABS.F64", 0xFFF8000000000000ull, 0xFFF8000000000000ull}, // a negative NaN passes
        {"SGN.I32", Bits<int32_t>(-7), 0xFFFFFFFF},
        {"SGN.I8", 5, 1},
        {"SGN.I16", 0, 0},
        {"SGN.I64", Bits(INT64_MIN), ~0ull},
        {"SGN.F32", Bits(-0.0f), Bits(0.0f)},
        {"SGN.F32", Bits(1e-40f), Bits(1.0f)},
        {"SGN.F64", Bits(kNaN), Bits(0.0)},
        {"SGN.F64", Bits(-kInf), Bits(-1.0)},
    });
}

TEST(Odd, SignedRemainderKeepsTheSign) {
    CheckUnaryCases({
        {"ODD.I16", 5, 1},
        {"ODD.I16", Bits<int16_t>(-5), 0},
        {"ODD.U16", 0xFFFB, 1},
        {"ODD.I8", 0xFD, 0},
        {"ODD.U8", 0xFD, 1},
        {"ODD.I32", 2, 0},
        {"ODD.U32", 0xFFFFFFFF, 1},
        {"ODD.I64", Bits(INT64_MIN), 0},
        {"ODD.I64", Bits<int64_t>(-1), 0},
        {"ODD.U64", 0x8000000000000001ull, 1},
    });
}

// The generator's first number after a seed, computed independently of the library.
int32_t FirstRandom(uint32_t seed) {
    return static_cast<int32_t>(((seed * 214013u + 2531011u) >> 16) & 0x7FFF);
}
// A seed whose first number is r.
uint32_t SeedGiving(int32_t r) {
    uint32_t seed = 0;
    while (FirstRandom(seed) != r)
        ++seed;
    return seed;
}

TEST(Random, ExactValuesFromTheFormula) {
    struct {
        const char* mnemonic;
        uint64_t a, b;
        int32_t r;
        uint64_t expected;
    } cases[] = {
        {"RND.U8", 10, 20, 0, 10},
        {"RND.U8", 10, 20, 32767, 20},
        {"RND.U8", 10, 20, 32766, 19},
        {"RND.I8", Bits<int8_t>(-100), 100, 16384, 0},
        {"RND.U8", 200, 10, 32767, 10}, // A > B counts down for the small types
        {"RND.I16", Bits<int16_t>(-32768), 32767, 32767, 32767},
        {"RND.U16", 0, 0xFFFF, 32767, 0xFFFF},
        // U32 with A > B wraps upward through 0 to B.
        {"RND.U32", 0xFFFFFFF0, 0x10, 32767, 0x10},
        {"RND.U32", 0xFFFFFFF0, 0x10, 16384, 0},
        // I32 bounds further apart than the largest value: the span wraps to -1.
        {"RND.I32", Bits(INT32_MIN), Bits(INT32_MAX), 32767, Bits(INT32_MAX)},
        {"RND.I32", Bits(INT32_MIN), Bits(INT32_MAX), 100, Bits(INT32_MIN)},
        {"RND.I64", Bits<int64_t>(-1000), 1000, 32767, 1000},
        {"RND.U64", 5, 5, 12345, 5},
        {"RND.F64", Bits(1.0), Bits(2.0), 32767, Bits(2.0)},
        {"RND.F64", Bits(1.0), Bits(2.0), 0, Bits(1.0)},
        {"RND.F32", Bits(-1.0f), Bits(1.0f), 32767, Bits(1.0f)},
    };
    for (const auto& c : cases) {
        SeedRandom(SeedGiving(c.r));
        EXPECT_EQ(RunBits(c.mnemonic, {c.a, c.b}), c.expected) << c.mnemonic << " r=" << c.r;
    }
}

TEST(Random, ResultsStayBetweenTheBounds) {
    SeedRandom(12345);
    for (int i = 0; i < 200; ++i) {
        const uint64_t u8 = RunBits("RND.U8", {10, 20});
        EXPECT_TRUE(u8 >= 10 && u8 <= 20) << u8;
        const int64_t i64 = static_cast<int64_t>(RunBits("RND.I64", {Bits<int64_t>(-7), 7}));
        EXPECT_TRUE(i64 >= -7 && i64 <= 7) << i64;
        const double f = std::bit_cast<double>(RunBits("RND.F64", {Bits(0.25), Bits(0.5)}));
        EXPECT_TRUE(f >= 0.25 && f <= 0.5) << f;
        EXPECT_EQ(RunBits("RND.I16", {Bits<int16_t>(-3), Bits<int16_t>(-3)}), Bits<int16_t>(-3));
    }
}

TEST(MathFunction, TrigonometryAndItsFormulas) {
    EXPECT_DOUBLE_EQ(F64("SIN.F64", 0.5), std::sin(0.5));
    EXPECT_DOUBLE_EQ(F64("COS.F64", 2.0), std::cos(2.0));
    EXPECT_DOUBLE_EQ(F64("TAN.F64", 1.0), std::tan(1.0));
    EXPECT_FLOAT_EQ(F32("SIN.F32", 0.5f), std::sin(0.5f));
    EXPECT_NEAR(F64("COT.F64", 0.5), 1.0 / std::tan(0.5), 1e-15);
    EXPECT_NEAR(F32("COT.F32", 0.5f), 1.0f / std::tan(0.5f), 1e-5f);
    EXPECT_DOUBLE_EQ(F64("ASIN.F64", 1.0), kPi / 2);
    EXPECT_DOUBLE_EQ(F64("ACOS.F64", -1.0), kPi);
    EXPECT_DOUBLE_EQ(F64("ATAN.F64", 1.0), kPi / 4);
    EXPECT_DOUBLE_EQ(F64("ACOT.F64", 1.0), kPi / 4);
    EXPECT_FLOAT_EQ(F32("ACOT.F32", 0.0f), 1.5707963705062866f);
    EXPECT_TRUE(std::isnan(F64("ASIN.F64", 2.0)));
}

TEST(MathFunction, HyperbolicExponentialAndLogarithms) {
    EXPECT_DOUBLE_EQ(F64("SINH.F64", 1.0), std::sinh(1.0));
    EXPECT_DOUBLE_EQ(F64("COSH.F64", 1.0), std::cosh(1.0));
    EXPECT_DOUBLE_EQ(F64("TANH.F64", -0.5), std::tanh(-0.5));
    EXPECT_DOUBLE_EQ(F64("COTH.F64", 1.0), std::cosh(1.0) / std::sinh(1.0));
    EXPECT_FLOAT_EQ(F32("COTH.F32", 2.0f), static_cast<float>(std::cosh(2.0) / std::sinh(2.0)));
    EXPECT_DOUBLE_EQ(F64("EXP.F64", 1.0), std::numbers::e);
    EXPECT_FLOAT_EQ(F32("EXP.F32", -2.0f), std::exp(-2.0f));
    EXPECT_EQ(F64("LOG10.F64", 1000.0), 3.0);
    EXPECT_EQ(F64("LOG2.F64", 8.0), 3.0);
    EXPECT_EQ(F32("LOG2.F32", 1024.0f), 10.0f);
    EXPECT_DOUBLE_EQ(F64("LN.F64", std::numbers::e), 1.0);
    EXPECT_EQ(F32("LN.F32", 0.0f), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(F64("SQRT.F64", 2.0), std::sqrt(2.0));
    EXPECT_TRUE(std::isnan(F64("LN.F64", -1.0)));
}

// Runs SQRT of the type on every value in one program and returns the stored results.
template <typename T>
std::vector<T> SquareRoots(const std::vector<T>& values) {
    constexpr uint32_t kResults = 0x80000;
    CProgramBuilder program;
    for (size_t i = 0; i < values.size(); ++i)
        program.Emit(sizeof(T) == 4 ? "SQRT.F32" : "SQRT.F64",
                     {Imm(values[i]), Dir(kResults + static_cast<uint32_t>(i * sizeof(T)))});
    CIsaRig rig(program, "1m");
    rig.RunTo(program.Size(), static_cast<int>(values.size()) + 1);
    EXPECT_EQ(rig.IP(), program.Size());
    std::vector<T> results;
    for (size_t i = 0; i < values.size(); ++i)
        results.push_back(rig.Get<T>(kResults + static_cast<uint32_t>(i * sizeof(T))));
    return results;
}

// Positive finite values of every magnitude, subnormals included, from their bit patterns.
template <typename T, typename Bits>
std::vector<T> PositiveValues(size_t count) {
    std::mt19937_64 generator(15);
    std::vector<T> values;
    while (values.size() < count) {
        const T value =
            std::bit_cast<T>(static_cast<Bits>(generator() >> 1 >> (64 - 8 * sizeof(T))));
        if (std::isfinite(value))
            values.push_back(value);
    }
    return values;
}

TEST(MathFunction, SquareRootsAreCorrectlyRounded) {
    // Rounding a 64-bit-mantissa root to a double again gives ...D76 here.
    EXPECT_EQ(RunBits("SQRT.F64", {0x35C0A855F0E3F90Bull}), 0x3AD716739C082D75ull);

    // Singles: the root r is correctly rounded when the squares of the midpoints to its
    // neighbours enclose x; in double precision all of that is exact.
    const std::vector<float> singles = PositiveValues<float, uint32_t>(3000);
    const std::vector<float> singleRoots = SquareRoots(singles);
    for (size_t i = 0; i < singles.size(); ++i) {
        const double r = singleRoots[i];
        const double below = (r + std::nextafter(singleRoots[i], 0.0f)) / 2;
        const double above = (r + std::nextafter(singleRoots[i], INFINITY)) / 2;
        const double x = singles[i];
        EXPECT_TRUE(below * below < x && x < above * above) << std::hexfloat << singles[i];
    }
    // Doubles: the same as the processor's IEEE square root, bit for bit.
    const std::vector<double> doubles = PositiveValues<double, uint64_t>(3000);
    const std::vector<double> doubleRoots = SquareRoots(doubles);
    for (size_t i = 0; i < doubles.size(); ++i)
        EXPECT_EQ(Bits(doubleRoots[i]), Bits(std::sqrt(doubles[i]))) << std::hexfloat << doubles[i];
    // Signed zeros and the ends of the range.
    EXPECT_EQ(Bits(F64("SQRT.F64", -0.0)), Bits(-0.0));
    EXPECT_EQ(Bits(F32("SQRT.F32", -0.0f)), Bits(-0.0f));
    EXPECT_EQ(F64("SQRT.F64", kInf), kInf);
    EXPECT_EQ(F32("SQRT.F32", 0x1p-149f), 0x1.6a09e6p-75f);
}

TEST(MathFunction, DomainErrorsStoreNaNAndTheMachineRuns) {
    CProgramBuilder program;
    program.Emit("SQRT.F64", {Imm(-1.0), Dir(kData)});
    program.Emit("NOP");
    CIsaRig rig(program);
    rig.RunTo(program.Size());
    EXPECT_TRUE(rig.Running());
    EXPECT_TRUE(std::isnan(rig.Get<double>(kData)));
}

TEST(MathFunction, RoundingFamily) {
    EXPECT_EQ(Bits(F64("ROUND.F64", 0.49999)), Bits(0.0));
    EXPECT_EQ(Bits(F64("ROUND.F64", -0.5)), Bits(0.0));
    EXPECT_EQ(F64("ROUND.F64", 2.5), 3.0);
    EXPECT_EQ(F64("ROUND.F64", -2.5), -2.0);
    // The sum x + 0.5 is rounded to the instruction's type before the floor.
    EXPECT_EQ(F32("ROUND.F32", 0.49999997f), 1.0f);
    EXPECT_EQ(F64("ROUND.F64", 0.49999999999999994), 1.0);
    EXPECT_EQ(F32("CEIL.F32", -1.5f), -1.0f);
    EXPECT_EQ(F64("CEIL.F64", 1.25), 2.0);
    EXPECT_EQ(F64("FLOOR.F64", -1.5), -2.0);
    EXPECT_EQ(F32("FLOOR.F32", 16777215.0f), 16777215.0f);
    EXPECT_EQ(F32("FRAC.F32", 3.75f), 0.75f);
    EXPECT_EQ(F64("FRAC.F64", -1.25), 0.75);
}

TEST(BinaryFunction, PowerArctangentAndLogarithmToABase) {
    EXPECT_EQ(F32("POW.F32", 2.0f, 10.0f), 1024.0f);
    EXPECT_DOUBLE_EQ(F64("POW.F64", 2.0, 0.5), std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(F64("ATAN2.F64", 1.0, -1.0), 3 * kPi / 4);
    EXPECT_FLOAT_EQ(F32("ATAN2.F32", -1.0f, -1.0f), static_cast<float>(-3 * kPi / 4));
    EXPECT_EQ(F64("LOGB.F64", 2.0, 8.0), 3.0);
    EXPECT_EQ(F32("LOGB.F32", 10.0f, 1000.0f), 3.0f);
    for (double b : {0.0, 5.0, -1.0, kNaN})
        EXPECT_EQ(Bits(F64("LOGB.F64", 1.0, b)), Bits(0.0)) << b;
}

} // namespace
