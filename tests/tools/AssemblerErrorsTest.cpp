// Broken source: every error is located, several are reported per run, and no input makes
// the assembler crash or hang.
#include "AssemblerTestHelpers.h"

#include <gtest/gtest.h>

#include <random>

namespace {

struct SErrorCase {
    const char* source;
    const char* location; // "line:column"
    const char* message;  // a part of the message
};

void PrintTo(const SErrorCase& c, std::ostream* out) {
    *out << c.source;
}

class AssemblerError : public testing::TestWithParam<SErrorCase> {};

TEST_P(AssemblerError, IsReportedAtItsPlace) {
    const SErrorCase& c = GetParam();
    const SAssembly result = AssembleSource(c.source);
    EXPECT_FALSE(result.ok);
    const std::string expected = std::string("test.asm:") + c.location + ": error: ";
    EXPECT_NE(result.errors.find(expected), std::string::npos) << c.source << "\n---\n"
                                                               << result.errors;
    EXPECT_NE(result.errors.find(c.message), std::string::npos) << c.source << "\n---\n"
                                                                << result.errors;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AssemblerError,
    testing::Values(
        SErrorCase{"  MOV.8 #300, r0", "1:9", "does not fit in 1 byte"},
        SErrorCase{"  MOV.16 #-32769, r0", "1:10", "does not fit in 2 bytes"},
        SErrorCase{"  ADD #1, r4, r8", "1:3", "ADD.I8"},
        SErrorCase{"  FROB", "1:3", "unknown instruction \"FROB\""},
        SErrorCase{"  MOV.32 #1, counter\ncounter: .dword 0", "1:14", "this operand is written"},
        SErrorCase{"  JMP nowhere", "1:7", "undefined symbol \"nowhere\""},
        SErrorCase{"x: NOP\nx: NOP", "2:1", "already defined at test.asm:1"},
        SErrorCase{"  .byte 1.5", "1:9", "floating-point value where an integer"},
        SErrorCase{"  NOP\n  .org 1", "2:8", "cannot move back"},
        SErrorCase{"  \"text\"", "1:3", "expected a label, a directive or an instruction"},
        SErrorCase{"  MOV.32 #1", "1:3", "takes 2 operands, not 1"},
        SErrorCase{"  NOP r0", "1:3", "takes 0 operands, not 1"},
        SErrorCase{"  .include \"missing.inc\"", "1:12", "cannot find include file"},
        SErrorCase{"  .incbin \"missing.bin\"", "1:11", "cannot find binary file"},
        SErrorCase{"  .include missing.inc", "1:12", "one file name in double quotes"},
        SErrorCase{"  .dword 1 / 0", "1:12", "division by zero"},
        SErrorCase{"  .dword 1 % (2 - 2)", "1:12", "remainder of division by zero"},
        SErrorCase{"  .dword 1 << 64", "1:12", "shift count 64"},
        SErrorCase{"  MOV.32 [1, r4", "1:16", "bracket is not closed"},
        SErrorCase{"  MOV.32 1], r4", "1:11", "without its opening bracket"},
        SErrorCase{"  MOV.32 [[1] + 2], r4", "1:10", "needs \"]]\""},
        SErrorCase{"  .f32 1e39", "1:8", "out of the range of F32"},
        // The first decimal that would round to infinity rather than to the largest single.
        SErrorCase{"  .f32 -3.4028236e38", "1:8", "out of the range of F32"},
        SErrorCase{"  .word \"ab\"", "1:9", "strings go into .byte"},
        SErrorCase{"r4: NOP", "1:1", "reserved"}, SErrorCase{"none = 3", "1:1", "reserved"},
        SErrorCase{"  MOVB #3, #\"ab\", [0]", "1:8", "count 3 differs from the 2 bytes"},
        SErrorCase{"  MOVB [0], #\"ab\", [0]", "1:13", "count as an immediate"},
        SErrorCase{"  MOVB #2, [0], #", "1:17", "needs a value"},
        SErrorCase{"  MOV.8 #, r0", "1:9", "needs a value"},
        SErrorCase{"  JMP #5", "1:7", "immediate target has no value"},
        SErrorCase{"  MOVB #2, 5, [0]", "1:12", "block operand needs"},
        SErrorCase{"  .ascii \"\\q\"", "1:11", "unknown escape"},
        SErrorCase{"  .ascii \"open", "1:10", "closing quote"},
        SErrorCase{"  .byte 'ab'", "1:9", "more than one character"},
        SErrorCase{"  .byte ''", "1:9", "empty character literal"},
        SErrorCase{"  .ascii \"\xE2\x82\"", "1:11", "invalid UTF-8"},
        SErrorCase{"  .ascii \"\xE2\x84\xA2\xE2\x98\x83\"", "1:12", "U+2603"},
        SErrorCase{"  .byte 0x1G", "1:12", "invalid digit"},
        SErrorCase{"  .qword 0x1_0000_0000_0000_0000", "1:10", "does not fit in 64 bits"},
        SErrorCase{"  .byte 1 @ 2", "1:11", "unexpected character \"@\""},
        SErrorCase{"  .frob 1", "1:3", "unknown directive"},
        SErrorCase{"  .byte", "1:8", "without values"},
        SErrorCase{"  .byte 1 2", "1:11", "unexpected \"2\""},
        SErrorCase{"  .fill -1", "1:9", "count of 0 or more"},
        SErrorCase{"  .fill 1, 0, 3", "1:9", "element size of 1, 2, 4 or 8"},
        SErrorCase{"  .align 0", "1:10", "alignment from 1"},
        SErrorCase{"  .fill 0x7FFFFFFF", "1:9", "grows beyond 256 MiB"},
        SErrorCase{"  .org 0xFFFFFFFF", "1:8", "grows beyond 256 MiB"},
        SErrorCase{"  MOV.32 [1.5], r4", "1:10", "address must be an integer"},
        SErrorCase{"  JMP 0x1_0000_0000", "1:7", "does not fit in 32 bits"},
        SErrorCase{"  .byte raw(1.5)", "1:9", "raw(...) takes an integer"},
        SErrorCase{"  .byte raw(1) + 1", "1:16", "no arithmetic"},
        SErrorCase{"  .dword 3 & 1.5", "1:12", "needs integer operands"},
        SErrorCase{"  .dword (1 + 2", "1:16", "missing \")\""},
        SErrorCase{"  .dword 1 +", "1:13", "expression expected"},
        SErrorCase{"  .equ 5, 1", "1:8", ".equ needs a name"},
        SErrorCase{"x.: NOP", "1:2", "cannot end with"},
        SErrorCase{"Y = Z\nZ = Y\n  .byte Z", "1:5", "\"Z\" has no value"},
        SErrorCase{"X = X + 1\n  .byte X", "1:5", "\"X\" has no value"}));

TEST(AssemblerErrors, SeveralErrorsInOneRunInSourceOrder) {
    const SAssembly result = AssembleSource("  FROB\n"
                                            "  .byte 300\n"
                                            "  .ascii \"\\q\"\n"
                                            "  JMP nowhere\n");
    EXPECT_FALSE(result.ok);
    const size_t first = result.errors.find("test.asm:1:3:");
    const size_t second = result.errors.find("test.asm:2:9:");
    const size_t third = result.errors.find("test.asm:3:11:");
    const size_t fourth = result.errors.find("test.asm:4:7:");
    ASSERT_NE(first, std::string::npos) << result.errors;
    ASSERT_NE(second, std::string::npos) << result.errors;
    ASSERT_NE(third, std::string::npos) << result.errors;
    ASSERT_NE(fourth, std::string::npos) << result.errors;
    EXPECT_LT(first, second);
    EXPECT_LT(second, third);
    EXPECT_LT(third, fourth);
}

TEST(AssemblerErrors, FailedStatementKeepsTheLayoutOfTheRest) {
    // The bad value still takes its byte, so the label behind it is where the programmer
    // expects it and no second error follows.
    const SAssembly result = AssembleSource("  .byte 300, 1\nend: .byte end\n");
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'), 1) << result.errors;
}

TEST(AssemblerErrors, ErrorsInIncludedFilesNameThatFile) {
    const SAssembly result =
        AssembleSource("  NOP\n  .include \"bad.inc\"\n", {{"bad.inc", "\n  .byte 256\n"}});
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.errors.find("bad.inc:2:9: error:"), std::string::npos) << result.errors;
}

TEST(AssemblerErrors, AFileThatCannotBeReadIsTheOneErrorReported) {
    // The subroutines the program calls live in the missing file, included at the end; a
    // bad value elsewhere waits for the next run.
    std::string source;
    for (int i = 0; i < 60; ++i)
        source += "  CALL routine" + std::to_string(i) + "\n";
    source += "  .byte 300\n  .include \"routines.inc\"\n  .incbin \"picture.bin\"\n";
    const SAssembly result = AssembleSource(source);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.errors, "test.asm:62:12: error: cannot find include file \"routines.inc\"\n"
                             "test.asm:63:11: error: cannot find binary file \"picture.bin\"\n");
    EXPECT_TRUE(result.bytes.empty());
}

TEST(AssemblerErrors, IncludeCyclesAreRefused) {
    const SAssembly result =
        AssembleSource(".include \"a.inc\"\n",
                       {{"a.inc", ".include \"b.inc\"\n"}, {"b.inc", ".include \"a.inc\"\n"}});
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.errors.find("b.inc:1:10: error: \"a.inc\" includes itself"), std::string::npos)
        << result.errors;
}

TEST(AssemblerErrors, TooManyErrorsStopTheReport) {
    std::string source;
    for (int i = 0; i < 500; ++i)
        source += "  FROB\n";
    const SAssembly result = AssembleSource(source);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.errors.find("too many errors"), std::string::npos);
    EXPECT_LE(std::count(result.errors.begin(), result.errors.end(), '\n'), 102);
}

// Every file includes two others under new names, so no cycle is seen and the includes
// nested 32 deep would expand to billions of lines: the line limit ends the run.
TEST(AssemblerErrors, IncludesThatMultiplyStopAtTheLineLimit) {
    SAssemblerOptions options;
    options.maxLines = 5000;
    options.reader = [](const std::string&, std::string& text) {
        text.clear();
        for (int i = 0; i < 200; ++i)
            text += "  NOP\n";
        text += "  .include \"a/x.inc\"\n  .include \"b/x.inc\"\n";
        return true;
    };
    CAssembler assembler(options);
    EXPECT_FALSE(assembler.AssembleText("bomb.asm", "  .include \"x.inc\"\n"));
    const std::string errors = assembler.GetDiagnostics().Format();
    EXPECT_NE(errors.find("error: the source is too large (more than 5000 lines with includes)"),
              std::string::npos)
        << errors;
}

TEST(AssemblerErrors, TheImageLimitIsAnOption) {
    SAssemblerOptions options;
    options.maxImageSize = 1024 * 1024;
    CAssembler fits(options);
    EXPECT_TRUE(fits.AssembleText("fits.asm", "  .fill 0x80000, 0, 2\n"));
    EXPECT_EQ(fits.GetImage().size(), 1024u * 1024);
    CAssembler beyond(options);
    EXPECT_FALSE(beyond.AssembleText("beyond.asm", "  .fill 0x80000, 0, 2\n  .byte 1\n"));
    const std::string errors = beyond.GetDiagnostics().Format();
    EXPECT_NE(errors.find("beyond.asm:2:9: error: the program grows beyond 1 MiB"),
              std::string::npos)
        << errors;
}

TEST(AssemblerErrors, DeepNestingIsAnErrorNotACrash) {
    const std::string deep = "  .byte " + std::string(100000, '(') + "1" + std::string(100000, ')');
    const SAssembly parens = AssembleSource(deep);
    EXPECT_FALSE(parens.ok);
    EXPECT_NE(parens.errors.find("nested too deeply"), std::string::npos);

    const SAssembly unary = AssembleSource("  .byte " + std::string(100000, '-') + "1");
    EXPECT_FALSE(unary.ok);

    std::string chain = "  .dword 0";
    for (int i = 0; i < 100000; ++i)
        chain += "+1";
    const SAssembly sum = AssembleSource(chain);
    ASSERT_TRUE(sum.ok) << sum.errors;
    EXPECT_EQ(sum.bytes, Bytes({0xA0, 0x86, 0x01, 0x00}));
}

// Lines built from the language's own pieces, shuffled: they must only ever produce
// errors or bytes.
TEST(AssemblerErrors, RandomSourceNeverCrashes) {
    const std::vector<std::string> pieces = {
        "MOV.32", "ADD.F64", "MOVB",   "JMP",        "CALLZ.8", "SKIP.8", "NOP",  "CVT2.F32.I8",
        ".byte",  ".fill",   ".org",   ".align",     ".f32",    ".asciz", ".equ", ".include",
        "label:", ".local:", ".local", "label",      "#",       "[",      "]",    "[[",
        "]]",     "{",       "}",      "(",          ")",       ",",      "r4",   "sp",
        "none",   "1",       "-1",     "0xFFFFFFFF", "1.5",     "raw(",   "$",    "+",
        "-",      "*",       "/",      "%",          "<<",      ">>",     "&",    "|",
        "^",      "~",       "=",      "\"ab\"",     "'c'",     ";",      ":",    "\"",
        "\\",     "\t",      "X = 3",  "1e308"};
    std::mt19937 random(12345);
    for (int round = 0; round < 300; ++round) {
        std::string source;
        for (int line = 0; line < 20; ++line) {
            const int count = static_cast<int>(random() % 8);
            for (int i = 0; i < count; ++i)
                source += pieces[random() % pieces.size()] + " ";
            source += "\n";
        }
        const SAssembly result = AssembleSource(source, {{"x.inc", source}});
        if (!result.ok) {
            EXPECT_NE(result.errors.find("error:"), std::string::npos) << source;
        }
    }
}

TEST(AssemblerErrors, RandomBytesNeverCrash) {
    std::mt19937 random(777);
    for (int round = 0; round < 200; ++round) {
        std::string source(static_cast<size_t>(random() % 400), '\0');
        for (char& c : source)
            c = static_cast<char>(random());
        const SAssembly result = AssembleSource(source);
        if (!result.ok) {
            EXPECT_FALSE(result.errors.empty());
        }
    }
}

} // namespace
