#include "host/RunLoop.h"

#include "common/ControlTable.h"
#include "common/TestMachine.h"

#include <gtest/gtest.h>

using namespace testhelpers;

namespace {

// NOP x 40, WAIT, then an invalid opcode.
std::vector<uint8_t> BusyThenWait() {
    std::vector<uint8_t> program;
    for (int i = 0; i < 40; ++i)
        program.insert(program.end(), {0x00, kCodeNop});
    program.insert(program.end(), {0x00, kCodeWait, 0x00, kCodeSys});
    return program;
}

} // namespace

TEST(RunLoopTest, WithoutAMachineTheHostWaits) {
    CRunLoop loop;
    EXPECT_TRUE(loop.ShouldWait());
    loop.Wake();
    EXPECT_TRUE(loop.ShouldWait());
    EXPECT_EQ(loop.RunBurst(10, 0, nullptr).slices, 0u);
}

TEST(RunLoopTest, BurstsEndWhenTheProgramWaitsAndWakeRunsAgain) {
    CTestMachine m(ControlTable(), BusyThenWait());
    CRunLoop loop;
    loop.SetKernel(&m.kernel);
    EXPECT_FALSE(loop.ShouldWait());

    // The budget ends the first burst while the program is busy.
    CRunLoop::SBurst burst = loop.RunBurst(1, 0, nullptr);
    EXPECT_EQ(burst.slices, 1u);
    EXPECT_FALSE(loop.ShouldWait());
    EXPECT_EQ(m.kernel.GetInstructionCount(), 32u);

    burst = loop.RunBurst(100, 0, nullptr);
    EXPECT_EQ(burst.slices, 1u);
    EXPECT_TRUE(loop.ShouldWait());
    EXPECT_TRUE(loop.IsProgramWaiting());
    EXPECT_EQ(m.kernel.GetInstructionCount(), 41u);

    // A message for the host runs the next slice: WAIT goes on, the SYS of group 0 is
    // answered with 0, and the zero bytes behind it are an invalid opcode.
    m.kernel.PostCharEvent('x');
    EXPECT_FALSE(loop.IsProgramWaiting());
    loop.Wake();
    std::vector<std::string> messages;
    burst = loop.RunBurst(100, 0, [&](const std::string& text) { messages.push_back(text); });
    EXPECT_TRUE(loop.ShouldWait());
    EXPECT_FALSE(m.kernel.IsRunning());
    EXPECT_EQ(messages, std::vector<std::string>{"Invalid opcode"});
}

TEST(RunLoopTest, InstructionLimitEndsTheBurstAfterTheSliceThatReachesIt) {
    CTestMachine m(ControlTable(), BusyThenWait());
    CRunLoop loop;
    loop.SetKernel(&m.kernel);
    const CRunLoop::SBurst burst = loop.RunBurst(100, 20, nullptr);
    EXPECT_TRUE(burst.limitReached);
    EXPECT_EQ(burst.slices, 1u);
    EXPECT_EQ(m.kernel.GetInstructionCount(), 32u);
}
