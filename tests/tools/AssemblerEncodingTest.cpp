// Instructions and data as the machine expects their bytes.
#include "AssemblerTestHelpers.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

struct SEncodingCase {
    const char* source;
    std::vector<uint8_t> bytes;
};

void PrintTo(const SEncodingCase& c, std::ostream* out) {
    *out << c.source;
}

class AssemblerEncoding : public testing::TestWithParam<SEncodingCase> {};

TEST_P(AssemblerEncoding, ProducesTheMachineBytes) {
    const SEncodingCase& c = GetParam();
    const SAssembly result = AssembleSource(c.source);
    ASSERT_TRUE(result.ok) << c.source << "\n" << result.errors;
    EXPECT_EQ(result.bytes, c.bytes) << c.source;
}

// Registers r0, r2, r4, r8: FC FF 7F behind the offset.
INSTANTIATE_TEST_SUITE_P(
    Instructions, AssemblerEncoding,
    testing::Values(
        SEncodingCase{"NOP", Bytes({0x00, 0xFF})},
        SEncodingCase{"SYS\nGETEVENT\nWAIT", Bytes({0x00, 0x6D, 0x00, 0x6E, 0x00, 0x6F})},
        SEncodingCase{"PUSHR\nPOPR\nRET", Bytes({0x00, 0x50, 0x00, 0x51, 0x00, 0x64})},
        SEncodingCase{"SKIP.8 #3", Bytes({0x10, 0xC8, 0x03})},
        SEncodingCase{"SKIP.32 0xFFFFFFFA", Bytes({0x10, 0xCA, 0xFA, 0xFF, 0xFF, 0xFF})},
        SEncodingCase{"MOV.8 #0x12, r2", Bytes({0x18, 0x33, 0x12, 0x02, 0xFC, 0xFF, 0x7F})},
        SEncodingCase{"MOV.8 'A', R0", Bytes({0x18, 0x33, 0x41, 0x00, 0xFC, 0xFF, 0x7F})},
        SEncodingCase{"MOV.32 [0x100], [[0x200]]",
                      Bytes({0x2C, 0x35, 0x00, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00})},
        SEncodingCase{"MOV.32 [r4], [[sp]]",
                      Bytes({0x2C, 0x35, 0x04, 0xFC, 0xFF, 0x7F, 0x20, 0xFC, 0xFF, 0x7F})},
        SEncodingCase{"MOV.32 none, base", Bytes({0x08, 0x35, 0x24, 0xFC, 0xFF, 0x7F})},
        SEncodingCase{"MOV.64 #-1, [0]", Bytes({0x18, 0x36, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
                                                0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00})},
        SEncodingCase{"MOV.64 #0xFFFFFFFFFFFFFFFF, [0]",
                      Bytes({0x18, 0x36, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
                             0x00, 0x00})},
        SEncodingCase{"ADD.I32 #1, #2, r4", Bytes({0x56, 0x03, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00,
                                                   0x00, 0x00, 0x04, 0xFC, 0xFF, 0x7F})},
        SEncodingCase{"ADD.U8 200, 100, [0x10]",
                      Bytes({0x56, 0x05, 0xC8, 0x64, 0x10, 0x00, 0x00, 0x00})},
        SEncodingCase{"SHL.8 #1, #3, r0", Bytes({0x56, 0x71, 0x01, 0x03, 0x00, 0xFC, 0xFF, 0x7F})},
        SEncodingCase{"INC.I32 [0x40]", Bytes({0x60, 0x49, 0x40, 0x00, 0x00, 0x00})},
        SEncodingCase{"CLR.32 #7", Bytes({0x10, 0x3A, 0x07, 0x00, 0x00, 0x00})},
        SEncodingCase{"JMP 0x100", Bytes({0x20, 0x52, 0x00, 0x01, 0x00, 0x00})},
        SEncodingCase{"JMP [0x100]", Bytes({0x20, 0x52, 0x00, 0x01, 0x00, 0x00})},
        SEncodingCase{"JMP #", Bytes({0x10, 0x52})},
        SEncodingCase{"JZ.32 0x10, r4",
                      Bytes({0x28, 0x55, 0x10, 0x00, 0x00, 0x00, 0x04, 0xFC, 0xFF, 0x7F})},
        SEncodingCase{"CALL [[sp]]", Bytes({0x30, 0x5B, 0x20, 0xFC, 0xFF, 0x7F})},
        SEncodingCase{"RETNZ.8 r2", Bytes({0x20, 0x69, 0x02, 0xFC, 0xFF, 0x7F})},
        SEncodingCase{"CVT.F64.F32 #1.5, r4", Bytes({0x18, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                                     0xF8, 0x3F, 0x04, 0xFC, 0xFF, 0x7F})},
        SEncodingCase{"CVT.F32.I32 #-2.5, r4",
                      Bytes({0x18, 0x15, 0x00, 0x00, 0x20, 0xC0, 0x04, 0xFC, 0xFF, 0x7F})},
        SEncodingCase{"cvt2.f32.i32 #-2.5, r4",
                      Bytes({0x18, 0x25, 0x00, 0x00, 0x20, 0xC0, 0x04, 0xFC, 0xFF, 0x7F})},
        SEncodingCase{"CVT2.F64.U64 r0, r8",
                      Bytes({0x28, 0x32, 0x00, 0xFC, 0xFF, 0x7F, 0x08, 0xFC, 0xFF, 0x7F})},
        SEncodingCase{"ADD.F32 #raw(0x7FC00001), #2, r0",
                      Bytes({0x56, 0x09, 0x01, 0x00, 0xC0, 0x7F, 0x00, 0x00, 0x00, 0x40, 0x00, 0xFC,
                             0xFF, 0x7F})},
        SEncodingCase{"MOVB #3, #\"abc\", [0x20]", Bytes({0x16, 0x37, 0x03, 0x00, 0x00, 0x00, 0x61,
                                                          0x62, 0x63, 0x20, 0x00, 0x00, 0x00})},
        SEncodingCase{
            "MOVB #, {1, \"b\", -1}, [0x20]",
            Bytes({0x16, 0x37, 0x03, 0x00, 0x00, 0x00, 0x01, 0x62, 0xFF, 0x20, 0x00, 0x00, 0x00})},
        SEncodingCase{"MOVB r4, [0x10], [[0x20]]",
                      Bytes({0x2B, 0x37, 0x04, 0xFC, 0xFF, 0x7F, 0x10, 0x00, 0x00, 0x00, 0x20, 0x00,
                             0x00, 0x00})},
        SEncodingCase{"FILL.16 #3, #0xABCD, [0x10]", Bytes({0x16, 0x3E, 0x03, 0x00, 0x00, 0x00,
                                                            0xCD, 0xAB, 0x10, 0x00, 0x00, 0x00})},
        SEncodingCase{"CLRB #4, [0x10]",
                      Bytes({0x18, 0x3C, 0x04, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00})},
        SEncodingCase{"SIN.F64 r0, r8",
                      Bytes({0xA8, 0x24, 0x00, 0xFC, 0xFF, 0x7F, 0x08, 0xFC, 0xFF, 0x7F})},
        SEncodingCase{"RND.U8 #10, #20, r2",
                      Bytes({0x96, 0x1D, 0x0A, 0x14, 0x02, 0xFC, 0xFF, 0x7F})},
        SEncodingCase{"LT.F32 #1, #2.5, r2", Bytes({0x56, 0x94, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00,
                                                    0x20, 0x40, 0x02, 0xFC, 0xFF, 0x7F})}));

INSTANTIATE_TEST_SUITE_P(
    Data, AssemblerEncoding,
    testing::Values(
        SEncodingCase{".byte 1, -1, 255, \"Hi\"", Bytes({0x01, 0xFF, 0xFF, 0x48, 0x69})},
        SEncodingCase{".db 'x', '\\n', '\\x7f', '\\\\'", Bytes({0x78, 0x0A, 0x7F, 0x5C})},
        SEncodingCase{".word 0x1234, -2", Bytes({0x34, 0x12, 0xFE, 0xFF})},
        SEncodingCase{".dword 0x12345678", Bytes({0x78, 0x56, 0x34, 0x12})},
        SEncodingCase{".qword -2", Bytes({0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
        SEncodingCase{".f32 1.0, 3", Bytes({0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x40, 0x40})},
        // The largest single in eight digits lies just above it and rounds down to it.
        SEncodingCase{".f32 3.4028235e38, -3.4028235e+38",
                      Bytes({0xFF, 0xFF, 0x7F, 0x7F, 0xFF, 0xFF, 0x7F, 0xFF})},
        SEncodingCase{".f64 -2.0", Bytes({0, 0, 0, 0, 0, 0, 0x00, 0xC0})},
        SEncodingCase{".f64 -0.0", Bytes({0, 0, 0, 0, 0, 0, 0x00, 0x80})},
        SEncodingCase{".f32 raw(0x7F800000), 1.5e-1 * 10",
                      Bytes({0x00, 0x00, 0x80, 0x7F, 0x00, 0x00, 0xC0, 0x3F})},
        SEncodingCase{".ascii \"a\\tb\"", Bytes({0x61, 0x09, 0x62})},
        SEncodingCase{".asciz \"€é\", \"\"", Bytes({0x80, 0xE9, 0x00, 0x00})},
        SEncodingCase{".fill 3, 0x1234, 2", Bytes({0x34, 0x12, 0x34, 0x12, 0x34, 0x12})},
        SEncodingCase{".fill 2", Bytes({0x00, 0x00})},
        SEncodingCase{".byte 1\n.align 4", Bytes({0x01, 0x00, 0x00, 0x00})},
        SEncodingCase{".byte 1\n.align 4, 0xCC\n.align 4", Bytes({0x01, 0xCC, 0xCC, 0xCC})},
        SEncodingCase{".byte 1\n.org 3\n.byte 2", Bytes({0x01, 0x00, 0x00, 0x02})},
        SEncodingCase{".dword 1 + 2 * 3, (1 + 2) * 3, 7 / 2, -7 / 2, -7 % 3",
                      Bytes({7, 0, 0,    0,    9,    0,    0,    0,    3,    0,
                             0, 0, 0xFD, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
        SEncodingCase{".byte 1 << 4 | 1, 0xF0 & 0x3C ^ 0x01, ~0 & 0xFF, 10 - 2 - 3, -16 >> 2",
                      Bytes({0x11, 0x31, 0xFF, 0x05, 0xFC})},
        SEncodingCase{".byte 1_000 / 10, 0b1010, 0o17, $ + 1", Bytes({100, 10, 15, 1})}));

TEST(Assembler, LabelsAreGlobalOrLocalToTheLastGlobalLabel) {
    const SAssembly result = AssembleSource("first:  JMP .done\n"
                                            ".done:  NOP\n"
                                            "second: JMP .done\n"
                                            ".done:  RET\n"
                                            "        .byte first.done, second.done\n");
    ASSERT_TRUE(result.ok) << result.errors;
    EXPECT_EQ(result.bytes, Bytes({0x20, 0x52, 0x06, 0, 0, 0, 0x00, 0xFF, 0x20, 0x52, 0x0E, 0, 0, 0,
                                   0x00, 0x64, 6, 14}));
}

TEST(Assembler, ConstantsAndForwardReferences) {
    const SAssembly result = AssembleSource("SIZE = end - start\n"
                                            "        .equ TWICE, SIZE * 2\n"
                                            "        .byte SIZE, TWICE, later\n"
                                            "start:  .fill 3\n"
                                            "end:\n"
                                            "later = $ + 0x10\n");
    ASSERT_TRUE(result.ok) << result.errors;
    EXPECT_EQ(result.bytes, Bytes({3, 6, 0x16, 0, 0, 0}));
}

TEST(Assembler, FillAndOrgMayDependOnLaterLabels) {
    const SAssembly result = AssembleSource("        .fill end - start, 0xAA\n"
                                            "start:  .byte 1, 2\n"
                                            "end:\n"
                                            "        .org start + 8\n"
                                            "        .byte 9\n");
    ASSERT_TRUE(result.ok) << result.errors;
    EXPECT_EQ(result.bytes, Bytes({0xAA, 0xAA, 1, 2, 0, 0, 0, 0, 0, 0, 9}));
}

TEST(Assembler, LayoutThatNeverSettlesIsAnError) {
    const SAssembly result = AssembleSource(".fill 1 - a\na:\n");
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.errors.find("do not settle"), std::string::npos) << result.errors;
}

// A fill is copied in doubling runs: every element must come out whole, however the count
// falls against the powers of two.
TEST(Assembler, FillRepeatsEachElementToTheLast) {
    const SAssembly result = AssembleSource("        .byte 0xEE\n"
                                            "        .fill 7, 0x0102, 2\n"
                                            "        .fill 1000003, 0x1122334455667788, 8\n"
                                            "        .byte 0xEE\n");
    ASSERT_TRUE(result.ok) << result.errors;
    ASSERT_EQ(result.bytes.size(), 1 + 7 * 2 + 1000003 * 8 + 1u);
    EXPECT_EQ(result.bytes.front(), 0xEE);
    EXPECT_EQ(result.bytes.back(), 0xEE);
    for (size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(result.bytes[1 + 2 * i], 0x02) << i;
        EXPECT_EQ(result.bytes[2 + 2 * i], 0x01) << i;
    }
    const uint8_t* elements = result.bytes.data() + 15;
    for (size_t i = 0; i < 1000003; ++i) {
        uint64_t element;
        std::memcpy(&element, elements + 8 * i, 8);
        ASSERT_EQ(element, 0x1122334455667788u) << i;
    }
}

// Each pass doubles the fill until the program outgrows the image limit, which is an error.
TEST(Assembler, FillThatDoublesEveryPassEndsAtTheSizeLimit) {
    const SAssembly result = AssembleSource("        .org start + 6\n"
                                            "        .fill a\n"
                                            "a:\n"
                                            "start:\n");
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.errors.find("2:15: error: the program grows beyond 256 MiB"),
              std::string::npos)
        << result.errors;
}

TEST(Assembler, IncludesFilesRelativeToTheIncludingFile) {
    const SAssembly result = AssembleSource("        .include \"lib/a.inc\"\n"
                                            "        .byte A_VALUE, B_VALUE\n"
                                            "        .incbin \"lib/data.bin\"\n",
                                            {{"lib/a.inc", "A_VALUE = 1\n.include \"b.inc\"\n"},
                                             {"lib/b.inc", "B_VALUE = 2\n"},
                                             {"lib/data.bin", std::string("\x07\x00\x08", 3)}});
    ASSERT_TRUE(result.ok) << result.errors;
    EXPECT_EQ(result.bytes, Bytes({1, 2, 7, 0, 8}));
}

TEST(Assembler, StandardIncludeIsBuiltIn) {
    const SAssembly result = AssembleSource(".include \"tarquil.inc\"\n"
                                            "MOV.16 #GROUP_SCREEN | SCREEN_REFRESH << 8, r0\n"
                                            ".dword REGISTER_BASE, VK_ESCAPE, COLOR_RED\n");
    ASSERT_TRUE(result.ok) << result.errors;
    EXPECT_EQ(result.bytes, Bytes({0x18, 0x34, 0x05, 0x04, 0x00, 0xFC, 0xFF, 0x7F, 0x24, 0xFC,
                                   0xFF, 0x7F, 0x1B, 0,    0,    0,    0xFF, 0,    0,    0}));
}

TEST(Assembler, ListingShowsAddressBytesAndSource) {
    const SAssembly result = AssembleSource("start:  NOP\n"
                                            "        .fill 40, 0x11\n"
                                            "        ; a comment\n"
                                            "        RET\n");
    ASSERT_TRUE(result.ok) << result.errors;
    EXPECT_NE(result.listing.find("00000000  00 FF"), std::string::npos) << result.listing;
    EXPECT_NE(result.listing.find("start:  NOP"), std::string::npos);
    EXPECT_NE(result.listing.find("11 11 11 11 11 11 11 11 ..."), std::string::npos);
    EXPECT_NE(result.listing.find("0000002A  00 64"), std::string::npos) << result.listing;
    EXPECT_NE(result.listing.find("; a comment"), std::string::npos);
}

} // namespace
