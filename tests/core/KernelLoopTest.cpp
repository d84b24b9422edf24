#include "common/TestMachine.h"

#include <gtest/gtest.h>

namespace {

bool Nop(CKernel&, uint32_t, uint32_t, uint32_t, uint32_t) {
    return false;
}

SDispatchTable NopTable() {
    SDispatchTable table{};
    table.entries[255] = {&Nop, 0};
    return table;
}

std::vector<uint8_t> Nops(int count) {
    std::vector<uint8_t> program;
    for (int i = 0; i < count; ++i)
        program.insert(program.end(), {0x00, 0xFF});
    return program;
}

TEST(KernelLoopTest, FortyNopsRunAsThirtyTwoThenEightThenWhateverFollows) {
    CTestMachine m(NopTable(), Nops(40));
    ASSERT_TRUE(m.kernel.IsRunning());
    EXPECT_FALSE(m.Slice());
    EXPECT_EQ(m.memory.GetIP(), 64u);
    // Zero bytes follow the program: head 0x00 0x00 is the free code 0.
    EXPECT_TRUE(m.Slice());
    EXPECT_EQ(m.message, "Invalid opcode");
    EXPECT_EQ(m.memory.GetIP(), 82u);
    EXPECT_FALSE(m.kernel.IsRunning());
    EXPECT_TRUE(m.Slice());
    EXPECT_TRUE(m.message.empty());
}

TEST(KernelLoopTest, DecodeFailuresMoveIpPastWhatWasRead) {
    struct {
        std::vector<uint8_t> program;
        const char* message;
        uint32_t ip;
    } cases[] = {
        {{0x00, 0x70}, "Invalid opcode", 2},
        {{0xC0, 0xFF}, "Invalid opcode category", 2},
        {{0xFF, 0x00}, "Invalid opcode category", 2},
        {{0x40, 0x00}, "Invalid opcode", 2}, // category 1 code 0
    };
    for (const auto& c : cases) {
        CTestMachine m(NopTable(), c.program);
        EXPECT_TRUE(m.Slice());
        EXPECT_EQ(m.message, c.message);
        EXPECT_EQ(m.memory.GetIP(), c.ip);
    }
}

TEST(KernelLoopTest, FetchPastTheEndOfMemoryIsAMemoryError) {
    // 8 bytes of memory, 4 NOPs: the fifth head lies outside.
    CTestMachine m(NopTable(), Nops(4), "8");
    EXPECT_TRUE(m.Slice());
    EXPECT_EQ(m.message, "Memory error");
    EXPECT_EQ(m.memory.GetIP(), 9u);
}

TEST(KernelLoopTest, StoppedKernelDropsEventsAndHandsOutTheMessageOnce) {
    CTestMachine m(NopTable(), {0x00, 0x70});
    m.kernel.PostCharEvent('a');
    EXPECT_EQ(m.kernel.GetEventCount(), 1u);
    EXPECT_TRUE(m.Slice());
    EXPECT_EQ(m.kernel.GetEventCount(), 0u);
    m.kernel.PostCharEvent('b');
    EXPECT_EQ(m.kernel.GetEventCount(), 0u);
    EXPECT_TRUE(m.Slice());
    EXPECT_TRUE(m.message.empty());
}

} // namespace
