// Debugging from the command line, end to end: the symbol file of tarquil-asm, the
// runner's debugging options and a tarquil-dbg session driven by a script, on the example
// program of docs/debugging.md.
#include "ProgramTestHelpers.h"
#include "common/FileTestHelpers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace programtests;

namespace {

class DebuggingTest : public testing::Test {
protected:
    void SetUp() override {
        std::ifstream file(SourceDir() + "/docs/examples/sum.asm");
        std::ostringstream text;
        text << file.rdbuf();
        source = text.str();
    }

    // Assembles the source (with each first text replaced by the second) into sum.disk and
    // sum.sym.
    std::string Assemble(const std::vector<std::pair<std::string, std::string>>& edits = {}) {
        std::string text = source;
        for (const auto& [from, to] : edits)
            text.replace(text.find(from), from.size(), to);
        std::ofstream(dir.path + "/sum.asm", std::ios::binary) << text;
        const SCommandResult result = RunProgram(Tool("tarquil-asm"), {dir.path + "/sum.asm"});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        return dir.path + "/sum.disk";
    }
    uint32_t Label(const std::string& name) {
        return static_cast<uint32_t>(SymbolOf(dir.path + "/sum.asm", name).value_or(0));
    }
    static std::string Hex8(uint32_t value) {
        char text[16];
        std::snprintf(text, sizeof text, "0x%08x", value);
        return text;
    }

    testhelpers::CTemporaryDirectory dir;
    std::string source;
};

TEST_F(DebuggingTest, RunnerNamesTheFaultBreaksAtLabelsWatchesAndTraces) {
    const std::string disk = Assemble();
    const std::string next = Hex8(Label("next"));

    // The fault: the failing instruction's head and its source line, found by NAME.sym.
    SCommandResult run = RunProgram(Tool("tarquil-run"), {disk, "--trace", "2"});
    const std::vector<std::string> lines = run.Lines();
    ASSERT_GE(lines.size(), 5u) << run.out;
    // The pointer runs off the end of memory in the round's second load.
    const std::string fault = Hex8(Label("next") + 28);
    EXPECT_EQ(lines[lines.size() - 5],
              "trace: " + Hex8(Label("next") + 14) + " ADD.I32     r8, #4, r8");
    EXPECT_EQ(lines[lines.size() - 4], "trace: " + fault + " ADD.I32     [[r8]], r4, r4");
    EXPECT_EQ(lines[lines.size() - 3], "fault: " + fault + " ADD.I32     [[r8]], r4, r4");
    EXPECT_EQ(lines[lines.size() - 2], "source: " + dir.path + "/sum.asm:10");
    EXPECT_EQ(lines.back(), "stop: Memory error");

    // A break at a label: IP is there, the run ends well.
    run = RunProgram(Tool("tarquil-run"), {disk, "--break", "next", "--regs"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    ASSERT_EQ(run.Lines().size(), 2u) << run.out;
    EXPECT_EQ(run.Lines()[0], "stop: break " + next);
    char ip[16];
    std::snprintf(ip, sizeof ip, "%02x%02x%02x%02x", Label("next") & 0xFF,
                  Label("next") >> 8 & 0xFF, 0, 0);
    EXPECT_EQ(run.Lines()[1].substr(6 + 80), ip);

    // With the bug fixed: the watch on the result stops right behind its writer.
    const std::string fixed = Assemble({{"COUNT = 7", "COUNT = 8"}, {"5, 6, 7", "5, 6, 7, 8"}});
    run = RunProgram(Tool("tarquil-run"),
                     {fixed, "--symbols", dir.path + "/sum.sym", "--watch", "result:4", "--dump",
                      std::to_string(Label("result")) + ":4"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(run.HasLine("stop: watch " + Hex8(Label("next") + 80))) << run.out;
    EXPECT_TRUE(run.HasLine("mem " + std::to_string(Label("result")) + ": 24000000")) << run.out;

    // Places that are not there are usage errors.
    run = RunProgram(Tool("tarquil-run"), {fixed, "--break", "nowhere"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("nowhere"), std::string::npos) << run.err;
}

TEST_F(DebuggingTest, ConsoleSessionFindsAndPatchesTheBug) {
    const std::string disk = Assemble();
    const std::string script = dir.path + "/session.txt";
    std::ofstream(script) << "break next if r12 == 1\n"
                             "run\n"
                             "rwatch result:4\n"
                             "print r12\n"
                             "bt\n"
                             "next\nnext\nnext\nnext\nnext\n"
                             "print r12.i32\n"
                             "x table 8\n"
                             "watch result:4\n"
                             "delete\n"
                             "set r12 = 0\n"
                             "continue\n"
                             "info\n"
                             "print [result].32\n"
                             "trace 2\n"
                             "regs\n"
                             "disas next 2\n"
                             "quit\n";
    const SCommandResult run = RunProgram(
        "/bin/sh", {"-c", "exec \"$0\" \"$1\" < \"$2\"", Tool("tarquil-dbg"), disk, script});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string next = Hex8(Label("next"));
    const std::string& out = run.out;
    for (const std::string& expected : std::vector<std::string>{
             "breakpoint 1 at " + next + " (next)",
             "breakpoint 1 at " + next,
             "(tdb) r12 = 1 (0x1)",
             "(tdb) #0  " + next + " in next  (" + dir.path + "/sum.asm:8)",
             "(tdb) r12.i32 = -1 (0xffffffffffffffff)",
             "(tdb) " + Hex8(Label("table")) + ": 01 00 00 00 02 00 00 00",
             // The last round reads the dword behind the table: the sum.
             "(tdb) watchpoint 1 at " + Hex8(Label("result")) + ", 4 bytes, read",
             "(tdb) watchpoint 1: " + Hex8(Label("result")) + " read by " +
                 Hex8(Label("next") + 28) + " ADD.I32     [[r8]], r4, r4",
             "(tdb) watchpoint 2 at " + Hex8(Label("result")) + ", 4 bytes\n",
             "(tdb) watchpoint 2: " + Hex8(Label("result")) + " changed by " +
                 Hex8(Label("next") + 80) + " MOV.32      r4, [0x" +
                 [&] {
                     char t[16];
                     std::snprintf(t, sizeof t, "%X", Label("result"));
                     return std::string(t);
                 }() +
                 "]",
             "(tdb) watchpoint 1 at " + Hex8(Label("result")) + ", 4 bytes, read, hit 1\n" +
                 "watchpoint 2 at " + Hex8(Label("result")) + ", 4 bytes, write, hit 1\n",
             "(tdb) [result].32 = 28 (0x1c)",
         })
        EXPECT_NE(out.find(expected), std::string::npos) << expected << "\n" << out;
}

// Back from the failure: the last write of the pointer that the failing load used, found by
// going back with a watchpoint on it; a breakpoint found going back; and forward again from
// there, the same failure at the same instruction.
TEST_F(DebuggingTest, ConsoleGoesBackFromTheFailureToTheWriteOfTheBadPointer) {
    const std::string disk = Assemble();
    const std::string script = dir.path + "/back.txt";
    std::ofstream(script) << "run\n"
                             "watch 0x7ffffc08:4\n"
                             "rc\n"
                             "print r8\n"
                             "reverse-step\n"
                             "print r8\n"
                             "break next\n"
                             "reverse-continue\n"
                             "info\n"
                             "delete\n"
                             "unwatch 1\n"
                             "step\nstep\nstep\nstep\n"
                             "quit\n";
    const SCommandResult run = RunProgram(
        "/bin/sh", {"-c", "exec \"$0\" \"$1\" < \"$2\"", Tool("tarquil-dbg"), disk, script});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::string next = Hex8(Label("next"));
    const std::string write = Hex8(Label("next") + 14) + "  ADD.I32     r8, #4, r8";
    const std::string load = Hex8(Label("next") + 28) + " ADD.I32     [[r8]], r4, r4";
    const std::string& out = run.out;
    size_t at = 0;
    for (const std::string& expected : std::vector<std::string>{
             "fault: " + load,
             "(tdb) watchpoint 1: 0x7ffffc08 changed by " + Hex8(Label("next") + 14) +
                 " ADD.I32     r8, #4, r8",
             "(tdb) r8 = 1048578 (0x100002)",
             "(tdb) => " + write,
             "(tdb) r8 = 1048574 (0xffffe)",
             "(tdb) breakpoint 1 at " + next + "\n=> " + next + "  next: ",
             "history: back to instruction 0, ",
             ", in the past\n",
             "(tdb) => " + write,
             "(tdb) title: Memory error\nfault: " + load,
             "stopped: Memory error",
         }) {
        const size_t found = out.find(expected, at);
        EXPECT_NE(found, std::string::npos) << expected << "\n" << out;
        if (found != std::string::npos)
            at = found + expected.size();
    }
}

} // namespace
