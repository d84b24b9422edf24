#include "isa/IsaRig.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(Stack, PushWritesAtSPThenAdvancesAndPopReverses) {
    CProgramBuilder program;
    program.Emit("PUSH.8", {Imm<uint8_t>(0x12)});
    program.Emit("POP.8", {Dir(kRegisters + 3)});
    CIsaRig rig(program);
    rig.SetSP(100);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.Get<uint8_t>(100), 0x12);
    EXPECT_EQ(rig.SP(), 101u);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.Get<uint8_t>(kRegisters + 3), 0x12);
    EXPECT_EQ(rig.SP(), 100u);
    EXPECT_EQ(rig.IP(), program.Size());
}

TEST(Stack, EveryWidthMovesSPByItsSize) {
    struct {
        const char* push;
        const char* pop;
        uint32_t size;
    } widths[] = {{"PUSH.8", "POP.8", 1},
                  {"PUSH.16", "POP.16", 2},
                  {"PUSH.32", "POP.32", 4},
                  {"PUSH.64", "POP.64", 8}};
    for (const auto& w : widths) {
        CProgramBuilder program;
        program.Emit(w.push, {Dir(kData)});
        program.Emit(w.pop, {Dir(kData + 0x10)});
        CIsaRig rig(program);
        rig.Set<uint64_t>(kData, 0x1122334455667788ull);
        rig.SetSP(0x2000);
        EXPECT_FALSE(rig.Step());
        EXPECT_EQ(rig.SP(), 0x2000 + w.size);
        EXPECT_EQ(rig.Bytes(0x2000, w.size), rig.Bytes(kData, w.size));
        EXPECT_FALSE(rig.Step());
        EXPECT_EQ(rig.SP(), 0x2000u);
        EXPECT_EQ(rig.Bytes(kData + 0x10, w.size), rig.Bytes(kData, w.size)) << w.pop;
        EXPECT_EQ(rig.Get<uint8_t>(kData + 0x10 + w.size), 0) << w.pop;
    }
}

TEST(Stack, PushMovesSPOnlyAfterItsWriteSucceeded) {
    CProgramBuilder program;
    program.Emit("PUSH.32", {Imm<uint32_t>(5)});
    CIsaRig rig(program);
    rig.SetSP(0x10000); // one past the end of memory
    EXPECT_TRUE(rig.Step());
    EXPECT_EQ(rig.StopMessage(), "Memory error");
    EXPECT_EQ(rig.SP(), 0x10000u);
}

TEST(Stack, PopKeepsTheMovedSPWhenItFails) {
    struct {
        uint32_t sp;
        SOperand destination;
        uint32_t spAfter;
    } cases[] = {
        {2, Dir(kData), 0xFFFFFFFEu},   // the read below address 0 fails
        {0x2004, NoOperand(), 0x2000u}, // the write fails
    };
    for (const auto& c : cases) {
        CProgramBuilder program;
        program.Emit("POP.32", {c.destination});
        CIsaRig rig(program);
        rig.SetSP(c.sp);
        EXPECT_TRUE(rig.Step());
        EXPECT_EQ(rig.StopMessage(), "Memory error");
        EXPECT_EQ(rig.SP(), c.spAfter);
    }
}

TEST(Stack, PopIntoSPItselfLeavesThePoppedValue) {
    CProgramBuilder program;
    program.Emit("POP.32", {Dir(kSPAddress)});
    CIsaRig rig(program);
    rig.Set<uint32_t>(0x2000, 0x1234);
    rig.SetSP(0x2004);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.SP(), 0x1234u);
}

TEST(Stack, StackMayLieInTheRegisterBlock) {
    CProgramBuilder program;
    program.Emit("PUSH.16", {Imm<uint16_t>(0xBEEF)});
    CIsaRig rig(program);
    rig.SetSP(kRegisters + 6);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.Get<uint16_t>(kRegisters + 6), 0xBEEF);
    EXPECT_EQ(rig.SP(), kRegisters + 8);
}

TEST(Stack, PushBlockAndPopBlockKeepTheOrder) {
    CProgramBuilder program;
    program.Emit("PUSHB", {Imm<int32_t>(6), ImmBlock({1, 2, 3, 4, 5, 6})});
    program.Emit("POPB", {Imm<int32_t>(6), Dir(kData)});
    CIsaRig rig(program);
    rig.SetSP(0x3000);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.SP(), 0x3006u);
    EXPECT_EQ(rig.Bytes(0x3000, 6), (Bytes{1, 2, 3, 4, 5, 6}));
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.SP(), 0x3000u);
    EXPECT_EQ(rig.Bytes(kData, 7), (Bytes{1, 2, 3, 4, 5, 6, 0}));
    EXPECT_EQ(rig.IP(), program.Size());
}

TEST(Stack, BlockCountsBelowOneStop) {
    for (const char* mnemonic : {"PUSHB", "POPB"}) {
        for (int32_t count : {0, -4}) {
            CProgramBuilder program;
            program.Emit(mnemonic, {Imm(count), Dir(kData)});
            CIsaRig rig(program);
            rig.SetSP(0x3000);
            EXPECT_TRUE(rig.Step());
            EXPECT_EQ(rig.StopMessage(), "Memory error") << mnemonic << count;
        }
    }
}

TEST(Stack, HugePushBlockFailsWithoutMovingSP) {
    CProgramBuilder program;
    program.Emit("PUSHB", {Imm<int32_t>(INT32_MAX), Dir(0)});
    CIsaRig rig(program);
    rig.SetSP(0x3000);
    EXPECT_TRUE(rig.Step());
    EXPECT_EQ(rig.StopMessage(), "Memory error");
    EXPECT_EQ(rig.SP(), 0x3000u);
    EXPECT_EQ(rig.IP(), 10u);
}

TEST(Stack, PopBlockFromTheRegisterBlockIsTakenBeforeIPMoves) {
    // The stack top holds IP's bytes; resolving the destination then moves IP.
    CProgramBuilder program;
    program.Emit("POPB", {Imm<int32_t>(4), Dir(kData)});
    CIsaRig rig(program);
    rig.SetSP(kIPAddress + 4);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.Get<uint32_t>(kData), 6u); // IP behind the count
    EXPECT_EQ(rig.SP(), kIPAddress);
    EXPECT_EQ(rig.IP(), 10u);
}

TEST(Stack, PushAllAndPopAllRestoreTheGeneralRegisters) {
    CProgramBuilder program;
    program.Emit("PUSHR");
    program.Emit("FILL.8", {Imm<int32_t>(32), Imm<uint8_t>(0), Dir(kRegisters)});
    program.Emit("POPR");
    const uint32_t end = program.Size();
    CIsaRig rig(program);
    Bytes registers(32);
    for (size_t i = 0; i < registers.size(); ++i)
        registers[i] = static_cast<uint8_t>(0xC0 + i);
    rig.SetBytes(kRegisters, registers);
    rig.SetSP(0x4000);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.SP(), 0x4020u);
    EXPECT_EQ(rig.Bytes(0x4000, 32), registers);
    rig.SetBASE(0); // POPR must leave BASE and IP alone
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.Get<uint32_t>(kRegisters), 0u);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.Bytes(kRegisters, 32), registers);
    EXPECT_EQ(rig.SP(), 0x4000u);
    EXPECT_EQ(rig.IP(), end);
    EXPECT_EQ(rig.BASE(), 0u);
}

TEST(Stack, PushAllOverlappingTheRegistersCopiesThemAsTheyWere) {
    CProgramBuilder program;
    program.Emit("PUSHR");
    CIsaRig rig(program);
    Bytes registers(32);
    for (size_t i = 0; i < registers.size(); ++i)
        registers[i] = static_cast<uint8_t>(i + 1);
    rig.SetBytes(kRegisters, registers);
    // 32 bytes from offset 4 reach over SP itself: the copy is taken first, its last four
    // bytes become SP, and only then SP advances.
    rig.SetSP(kRegisters + 4);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.Bytes(kRegisters + 4, 28), Bytes(registers.begin(), registers.begin() + 28));
    EXPECT_EQ(rig.SP(), 0x201F1E1Du + 32);
}

TEST(Stack, PopAllBelowMemoryFailsWithSPMoved) {
    CProgramBuilder program;
    program.Emit("POPR");
    CIsaRig rig(program);
    rig.SetSP(16);
    EXPECT_TRUE(rig.Step());
    EXPECT_EQ(rig.StopMessage(), "Memory error");
    EXPECT_EQ(rig.SP(), static_cast<uint32_t>(-16));
}

} // namespace
