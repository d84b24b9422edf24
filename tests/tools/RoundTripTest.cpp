// The disassembler's output assembles back into the very bytes it came from: every opcode
// of the map in every combination of addressing modes, and arbitrary bytes.
#include "AssemblerTestHelpers.h"

#include "isa/OpcodeMap.h"
#include "tools/asm/Mnemonics.h"
#include "tools/dis/Disassembler.h"
#include "tools/dis/FloatText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

namespace {

std::string Disassemble(const std::vector<uint8_t>& bytes) {
    return CDisassembler(bytes).Run();
}

void ExpectRoundTrip(const std::vector<uint8_t>& bytes) {
    const std::string source = Disassemble(bytes);
    const SAssembly result = AssembleSource(source);
    ASSERT_TRUE(result.ok) << result.errors << "\n" << source;
    ASSERT_EQ(result.bytes.size(), bytes.size()) << source;
    for (size_t i = 0; i < bytes.size(); ++i)
        ASSERT_EQ(result.bytes[i], bytes[i]) << "first difference at " << i << "\n" << source;
}

// One instruction with the given modes and random field contents. Immediate block counts
// are kept small; a block needs an immediate count to have a known length.
bool EncodeInstance(uint32_t index, const uint32_t modes[3], std::mt19937& random,
                    std::vector<uint8_t>& out) {
    const SOpcodeInfo& info = GetOpcodeMap()[index];
    uint32_t headModes[3] = {0, 0, 0};
    uint32_t blockCount = 0;
    for (size_t i = 0; i < info.operandCount; ++i) {
        headModes[static_cast<size_t>(info.operands[i].mode)] = modes[i];
        if (info.operands[i].kind == EOperandKind::Block && modes[i] == 1 && modes[0] != 1)
            return false;
    }
    out.push_back(EncodeHead(index / kCodesPerCategory, headModes[0], headModes[1], headModes[2]));
    out.push_back(static_cast<uint8_t>(index % kCodesPerCategory));
    for (size_t i = 0; i < info.operandCount; ++i) {
        const SOperandShape& shape = info.operands[i];
        if (i == 0 && modes[0] == 1 && info.operandCount > 1 &&
            (info.operands[1].kind == EOperandKind::Block ||
             info.operands[info.operandCount - 1].kind == EOperandKind::Block)) {
            blockCount = random() % 6;
            for (int b = 0; b < 4; ++b)
                out.push_back(static_cast<uint8_t>(blockCount >> (8 * b)));
            continue;
        }
        const uint32_t size = OperandFieldSize(shape, modes[i], blockCount);
        for (uint32_t b = 0; b < size; ++b)
            out.push_back(static_cast<uint8_t>(random()));
    }
    return true;
}

TEST(RoundTrip, EveryOpcodeInEveryModeCombination) {
    std::mt19937 random(2024);
    size_t instructions = 0;
    std::vector<uint8_t> bytes;
    for (uint32_t index = 0; index < kOpcodeEntries; ++index) {
        const SOpcodeInfo& info = GetOpcodeMap()[index];
        if (!info.IsValid())
            continue;
        uint32_t combinations = 1;
        for (size_t i = 0; i < info.operandCount; ++i)
            combinations *= 4;
        for (uint32_t combination = 0; combination < combinations; ++combination) {
            const uint32_t modes[3] = {combination & 3, (combination >> 2) & 3,
                                       (combination >> 4) & 3};
            std::vector<uint8_t> one;
            if (!EncodeInstance(index, modes, random, one))
                continue;
            // Each instance decodes as the instruction it is, not as data.
            const std::string text = Disassemble(one);
            ASSERT_EQ(text.find(".byte"), std::string::npos) << text;
            ASSERT_NE(text.find(MnemonicOf(index)), std::string::npos) << text;
            bytes.insert(bytes.end(), one.begin(), one.end());
            ++instructions;
        }
    }
    EXPECT_GT(instructions, 10000u);
    ExpectRoundTrip(bytes);
}

TEST(RoundTrip, EncodingsWithoutASpellingBecomeData) {
    // NOP with mode bits set, a free code, category 3, a cut-off field, and an immediate
    // block whose count is not an immediate.
    const std::vector<uint8_t> bytes = Bytes(
        {0x3F, 0xFF, 0x00, 0x70, 0xC0, 0x00, 0x27, 0x37, 0x00, 0x00, 0x00, 0x00, 0x10, 0x35, 0x01});
    const std::string text = Disassemble(bytes);
    EXPECT_EQ(text.find("NOP"), std::string::npos) << text;
    EXPECT_EQ(text.find("MOVB"), std::string::npos) << text;
    ExpectRoundTrip(bytes);
}

TEST(RoundTrip, ArbitraryBytes) {
    std::mt19937 random(99);
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> bytes(random() % 300);
        for (uint8_t& b : bytes)
            b = static_cast<uint8_t>(random());
        ExpectRoundTrip(bytes);
    }
}

TEST(RoundTrip, AssembledProgramDisassemblesToTheSameProgram) {
    const SAssembly program = AssembleSource(".include \"tarquil.inc\"\n"
                                             "start:  MOV.8 #GROUP_SCREEN, r0\n"
                                             ".loop:  GETEVENT\n"
                                             "        JZ.8 .wait, r0\n"
                                             "        CALL handle\n"
                                             "        JMP .loop\n"
                                             ".wait:  WAIT\n"
                                             "        JMP .loop\n"
                                             "handle: RETNZ.8 r1\n"
                                             "        RET\n");
    ASSERT_TRUE(program.ok) << program.errors;
    const std::string text = Disassemble(program.bytes);
    EXPECT_NE(text.find("L_0007:"), std::string::npos) << text;
    EXPECT_NE(text.find("JMP         L_0007"), std::string::npos) << text;
    EXPECT_NE(text.find("MOV.8       #0x5, r0"), std::string::npos) << text;
    ExpectRoundTrip(program.bytes);
}

// A float's text, assembled into a place of its width, gives back the float's bits.
template <typename Bits>
void ExpectAssemblesBack(const std::string& directive, Bits bits, const std::string& text) {
    const SAssembly result = AssembleSource(directive + " " + text);
    ASSERT_TRUE(result.ok) << text << result.errors;
    Bits back;
    std::memcpy(&back, result.bytes.data(), sizeof back);
    EXPECT_EQ(back, bits) << text;
}

TEST(FloatText, ReadsBackToTheSameBits) {
    const std::vector<double> doubles = {0.0,    -0.0,
                                         1.0,    -2.5,
                                         0.1,    1e300,
                                         5e-324, 1.0 / 3,
                                         1e16,   123456789012345678.0,
                                         -1e-7,  4503599627370497.0};
    for (double d : doubles) {
        uint64_t bits;
        std::memcpy(&bits, &d, sizeof bits);
        ExpectAssemblesBack(".f64", bits, FormatF64(bits));
    }
    EXPECT_EQ(FormatF64(0x3FF8000000000000ull), "1.5");
    EXPECT_EQ(FormatF64(0x4014000000000000ull), "5.0");
    EXPECT_EQ(FormatF64(0x8000000000000000ull), "-0.0");
    EXPECT_EQ(FormatF64(0x7FF0000000000000ull), "raw(0x7FF0000000000000)");
    EXPECT_EQ(FormatF32(0x3DCCCCCDu), "0.1");
    EXPECT_EQ(FormatF32(0x7FC00001u), "raw(0x7FC00001)");

    // The extremes of the single range go through the assembler itself: its rounding of a
    // decimal is what the shortest text must survive.
    for (uint32_t bits : {0x7F7FFFFFu, 0xFF7FFFFFu, 0x00800000u, 0x00000001u, 0x80000001u})
        ExpectAssemblesBack(".f32", bits, FormatF32(bits));

    std::mt19937 random(5);
    for (int i = 0; i < 20000; ++i) {
        const uint32_t bits = static_cast<uint32_t>(random());
        const std::string text = FormatF32(bits);
        if (text.rfind("raw(", 0) == 0)
            continue;
        const float back = static_cast<float>(std::strtod(text.c_str(), nullptr));
        uint32_t backBits;
        std::memcpy(&backBits, &back, sizeof backBits);
        ASSERT_EQ(backBits, bits) << text;
    }
}

} // namespace
