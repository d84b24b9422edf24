#include "isa/IsaRig.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(Jump, TargetIsRelativeToBASE) {
    CProgramBuilder program;
    program.Emit("JMP", {Dir(0x100)});
    CIsaRig rig(program);
    rig.SetBASE(0x1000);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.IP(), 0x1100u);
}

TEST(Jump, IndirectTargetAndImmediateTarget) {
    CProgramBuilder program;
    program.Emit("JMP", {Ind(kData)});
    CIsaRig rig(program);
    rig.Set<uint32_t>(kData, 0x345);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.IP(), 0x345u);

    // An immediate target consumes nothing and names the bytes behind the head.
    CProgramBuilder nop;
    nop.Emit("JMP", {ImmTarget()});
    CIsaRig rig2(nop);
    rig2.SetBASE(0x700);
    EXPECT_FALSE(rig2.Step());
    EXPECT_EQ(rig2.IP(), 2u);
}

TEST(Jump, ConditionsTestTheirWidthOnly) {
    struct {
        const char* mnemonic;
        uint64_t value;
        bool taken;
    } cases[] = {
        {"JZ.8", 0, true},
        {"JZ.8", 0xFF00, true}, // only the low byte counts
        {"JZ.8", 1, false},
        {"JZ.16", 0x10000, true},
        {"JZ.16", 0x8000, false},
        {"JZ.32", 0, true},
        {"JZ.32", 7, false},
        {"JZ.32", 0x100000000ull, true},
        {"JZ.64", 0x0100000000000000ull, false},
        {"JZ.64", 0, true},
        {"JNZ.8", 0, false},
        {"JNZ.8", 0x80, true},
        {"JNZ.16", 0xFF0000, false},
        {"JNZ.32", 0x80000000, true},
        {"JNZ.64", 0x8000000000000000ull, true},
        {"JNZ.64", 0, false},
    };
    for (const auto& c : cases) {
        CProgramBuilder program;
        program.Emit(c.mnemonic, {Dir(0x200), Dir(kData)});
        CIsaRig rig(program);
        rig.Set<uint64_t>(kData, c.value);
        EXPECT_FALSE(rig.Step());
        EXPECT_EQ(rig.IP(), c.taken ? 0x200u : 10u) << c.mnemonic << " " << c.value;
    }
}

TEST(Jump, ImmediateTestedValueIsConsumed) {
    CProgramBuilder program;
    program.Emit("JNZ.16", {Dir(0x200), Imm<uint16_t>(0)});
    CIsaRig rig(program);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.IP(), 8u);
}

TEST(Jump, UnresolvableOperandsStop) {
    struct {
        const char* mnemonic;
        SOperand target, tested;
        uint32_t ip;
    } cases[] = {
        {"JMP", NoOperand(), NoOperand(), 2},
        {"JZ.32", Dir(0x200), NoOperand(), 6},
        {"JZ.32", Ind(0xFFFF0), Imm<uint32_t>(0), 6}, // the pointer cannot be read
        {"JNZ.8", Dir(0x200), Dir(0x7FFFFC2C), 10},
    };
    for (const auto& c : cases) {
        CProgramBuilder program;
        program.Emit(c.mnemonic, {c.target, c.tested});
        CIsaRig rig(program);
        EXPECT_TRUE(rig.Step());
        EXPECT_EQ(rig.StopMessage(), "Memory error");
        EXPECT_EQ(rig.IP(), c.ip) << c.mnemonic;
    }
}

TEST(Jump, TargetOutsideMemoryFailsAtTheNextFetch) {
    CProgramBuilder program;
    program.Emit("JMP", {Dir(0x20000)});
    CIsaRig rig(program);
    EXPECT_FALSE(rig.Step());
    EXPECT_TRUE(rig.Running());
    EXPECT_TRUE(rig.Step());
    EXPECT_EQ(rig.StopMessage(), "Memory error");
}

TEST(Call, PushesTheAbsoluteReturnAddressAndReturnIgnoresBASE) {
    // 0: CALL 0x40 ; 6: (return lands here)
    // 0x40: MOV.32 #0x800 -> BASE ; RET
    CProgramBuilder program;
    program.Emit("CALL", {Dir(0x40)});
    const uint32_t returnAddress = program.Size();
    while (program.Size() < 0x40)
        program.Emit("NOP");
    program.Emit("MOV.32", {Imm<uint32_t>(0x800), Dir(kBASEAddress)});
    program.Emit("RET");
    CIsaRig rig(program);
    rig.SetSP(200);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.IP(), 0x40u);
    EXPECT_EQ(rig.SP(), 204u);
    EXPECT_EQ(rig.Get<uint32_t>(200), returnAddress);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.BASE(), 0x800u);
    // The stack is relative: with the new BASE the return address lies elsewhere.
    rig.Set<uint32_t>(200, returnAddress);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.SP(), 200u);
    EXPECT_EQ(rig.IP(), returnAddress);
}

TEST(Call, ConditionalCallsPushOnlyWhenTaken) {
    struct {
        const char* mnemonic;
        uint64_t value;
        bool taken;
    } cases[] = {
        {"CALLZ.8", 0, true},    {"CALLZ.16", 1, false},          {"CALLZ.64", 0, true},
        {"CALLNZ.32", 0, false}, {"CALLNZ.64", 1ull << 63, true},
    };
    for (const auto& c : cases) {
        CProgramBuilder program;
        program.Emit(c.mnemonic, {Dir(0x300), Dir(kData)});
        CIsaRig rig(program);
        rig.Set<uint64_t>(kData, c.value);
        rig.SetSP(0x2000);
        EXPECT_FALSE(rig.Step());
        EXPECT_EQ(rig.IP(), c.taken ? 0x300u : 10u) << c.mnemonic;
        EXPECT_EQ(rig.SP(), c.taken ? 0x2004u : 0x2000u) << c.mnemonic;
        EXPECT_EQ(rig.Get<uint32_t>(0x2000), c.taken ? 10u : 0u) << c.mnemonic;
    }
}

TEST(Call, FailedPushChangesNeitherSPNorIP) {
    CProgramBuilder program;
    program.Emit("CALL", {Dir(0x300)});
    CIsaRig rig(program);
    rig.SetSP(0x10000); // one past the end of memory
    EXPECT_TRUE(rig.Step());
    EXPECT_EQ(rig.StopMessage(), "Memory error");
    EXPECT_EQ(rig.SP(), 0x10000u);
    EXPECT_EQ(rig.IP(), 6u);
}

TEST(Return, ConditionsAndFailures) {
    struct {
        const char* mnemonic;
        SOperand tested;
        uint32_t sp;
        uint32_t ip, spAfter;
        const char* message;
    } cases[] = {
        {"RETZ.8", Imm<uint8_t>(1), 0x2004, 3, 0x2004, ""},
        {"RETZ.8", Imm<uint8_t>(0), 0x2004, 0x1234, 0x2000, ""},
        {"RETNZ.16", Imm<uint16_t>(0x100), 0x2004, 0x1234, 0x2000, ""},
        {"RETNZ.32", Imm<uint32_t>(0), 0x2004, 6, 0x2004, ""},
        {"RETZ.64", Imm<uint64_t>(0), 0x2004, 0x1234, 0x2000, ""},
        {"RETNZ.64", Imm<uint64_t>(0), 0x2004, 10, 0x2004, ""},
        {"RETZ.32", NoOperand(), 0x2004, 2, 0x2004, "Memory error"},
        // The popped address cannot be read: SP keeps the decremented value.
        {"RETZ.8", Imm<uint8_t>(0), 2, 3, 0xFFFFFFFE, "Memory error"},
    };
    for (const auto& c : cases) {
        CProgramBuilder program;
        program.Emit(c.mnemonic, {c.tested});
        CIsaRig rig(program);
        rig.Set<uint32_t>(0x2000, 0x1234);
        rig.SetSP(c.sp);
        EXPECT_EQ(rig.Step(), *c.message != 0) << c.mnemonic;
        EXPECT_EQ(rig.StopMessage(), c.message);
        EXPECT_EQ(rig.IP(), c.ip) << c.mnemonic;
        EXPECT_EQ(rig.SP(), c.spAfter) << c.mnemonic;
    }
}

TEST(Skip, DistanceCountsFromTheEndOfTheInstruction) {
    CProgramBuilder program;
    program.Emit("SKIP.8", {Imm<uint8_t>(3)});
    CIsaRig rig(program);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.IP(), 6u);

    CProgramBuilder word;
    word.Emit("SKIP.16", {Dir(kData)});
    CIsaRig rig2(word);
    rig2.Set<uint16_t>(kData, 0xFFFF);
    EXPECT_FALSE(rig2.Step());
    EXPECT_EQ(rig2.IP(), 6u + 0xFFFF); // unsigned: a word never goes back
}

TEST(Skip, LargeDistanceWrapsBackwards) {
    // SKIP.32 #-6 lands on itself: a loop that never ends by itself.
    CProgramBuilder program;
    program.Emit("NOP");
    program.Emit("SKIP.32", {Imm<uint32_t>(0xFFFFFFFA)});
    CIsaRig rig(program);
    EXPECT_FALSE(rig.Step());
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.IP(), 2u);
    std::string message;
    EXPECT_FALSE(rig.Kernel().RunSlice(message));
    EXPECT_EQ(rig.IP(), 2u);
}

TEST(MachineControl, NopWaitAndGetEvent) {
    CProgramBuilder program;
    program.Emit("NOP");
    program.Emit("WAIT");
    program.Emit("GETEVENT");
    program.Emit("WAIT");
    program.Emit("GETEVENT");
    CIsaRig rig(program);
    rig.SetBytes(kRegisters, Bytes(8, 0xEE));
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.IP(), 2u);
    // With the queue empty WAIT ends the slice but the machine keeps running.
    EXPECT_TRUE(rig.Step());
    EXPECT_TRUE(rig.Running());
    EXPECT_EQ(rig.IP(), 4u);
    // GETEVENT with nothing queued writes only the group byte 0.
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.Bytes(kRegisters, 8), (Bytes{0, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}));
    rig.Kernel().PostCharEvent('a');
    EXPECT_FALSE(rig.Step()); // WAIT with an event queued goes on
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.Get<uint8_t>(kRegisters), CEvent::Char('a').GetGroup());
    EXPECT_NE(rig.Get<uint8_t>(kRegisters), 0);
    EXPECT_FALSE(rig.Kernel().HasEvents());
    EXPECT_EQ(rig.IP(), program.Size());
}

TEST(MachineControl, SystemCallReachesTheKernelServices) {
    // Group 1 function 1 answers the kernel version in the dword at 0x7FFFFC04.
    CProgramBuilder program;
    program.Emit("MOV.16", {Imm<uint16_t>(0x0101), Dir(kRegisters)});
    program.Emit("SYS");
    CIsaRig rig(program);
    rig.RunTo(program.Size());
    EXPECT_TRUE(rig.Running());
    EXPECT_EQ(rig.Get<uint32_t>(kRegisters + 4), 0x01000300u);
}

TEST(MachineControl, CountdownLoopRunsAcrossSlices) {
    // r0 = 50; loop: DEC.I32 r0; NE.32 r0, #0 -> r1; JNZ.8 loop, r1
    CProgramBuilder program;
    program.Emit("MOV.32", {Imm<int32_t>(50), Dir(kRegisters)});
    const uint32_t loop = program.Size();
    program.Emit("DEC.I32", {Dir(kRegisters)});
    program.Emit("NE.32", {Dir(kRegisters), Imm<uint32_t>(0), Dir(kRegisters + 4)});
    program.Emit("JNZ.8", {Dir(loop), Dir(kRegisters + 4)});
    const uint32_t end = program.Size();
    program.Emit("WAIT");
    CIsaRig rig(program);
    int slices = 0;
    std::string message;
    while (!rig.Kernel().RunSlice(message))
        ++slices;
    EXPECT_TRUE(rig.Running());
    EXPECT_EQ(rig.IP(), end + 2);
    EXPECT_EQ(rig.Get<int32_t>(kRegisters), 0);
    EXPECT_EQ(slices, (1 + 50 * 3) / 32); // every full slice of 32 returned false
}

} // namespace
