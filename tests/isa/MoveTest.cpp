#include "isa/IsaRig.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(Move, CopiesExactlyItsWidth) {
    CheckUnaryCases({
        {"MOV.8", 0xAB, 0xAB},
        {"MOV.16", 0xABCD, 0xABCD},
        {"MOV.32", 0x89ABCDEF, 0x89ABCDEF},
        {"MOV.64", 0x0123456789ABCDEFull, 0x0123456789ABCDEFull},
    });
}

TEST(Move, IndirectSourceAndRegisterDestination) {
    CProgramBuilder program;
    program.Emit("MOV.32", {Ind(kData), Dir(kRegisters + 8)});
    CIsaRig rig(program);
    rig.Set<uint32_t>(kData, kData + 0x10);
    rig.Set<uint32_t>(kData + 0x10, 0xCAFEF00D);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.Get<uint32_t>(kRegisters + 8), 0xCAFEF00Du);
    EXPECT_EQ(rig.IP(), 10u);
}

TEST(Move, WriteToBASEChangesLaterRelativeAccesses) {
    CProgramBuilder program;
    program.Emit("MOV.32", {Imm<uint32_t>(0x100), Dir(kBASEAddress)});
    program.Emit("MOV.8", {Imm<uint8_t>(7), Dir(0x20)});
    CIsaRig rig(program);
    rig.RunTo(program.Size());
    EXPECT_EQ(rig.Memory().GetData()[0x120], 7);
    EXPECT_EQ(rig.Memory().GetData()[0x20], 0);
}

TEST(Clear, ClearsExactlyItsWidth) {
    for (const auto& [mnemonic, width] :
         {std::pair{"CLR.8", 1u}, {"CLR.16", 2u}, {"CLR.32", 4u}, {"CLR.64", 8u}}) {
        CProgramBuilder program;
        program.Emit(mnemonic, {Dir(kData)});
        CIsaRig rig(program);
        rig.SetBytes(kData, Bytes(10, 0xEE));
        EXPECT_FALSE(rig.Step());
        Bytes expected(10, 0xEE);
        std::fill_n(expected.begin(), width, 0);
        EXPECT_EQ(rig.Bytes(kData, 10), expected) << mnemonic;
    }
}

TEST(Fill, WritesTheValueCountTimes) {
    struct {
        int32_t count;
        Bytes expected;
    } cases[] = {
        {3, {0xCD, 0xAB, 0xCD, 0xAB, 0xCD, 0xAB, 0xEE}},
        {1, {0xCD, 0xAB, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE}},
        {0, Bytes(7, 0xEE)},
        {-1, Bytes(7, 0xEE)},
        {INT32_MIN, Bytes(7, 0xEE)},
    };
    for (const auto& c : cases) {
        CProgramBuilder program;
        program.Emit("FILL.16", {Imm(c.count), Imm<uint16_t>(0xABCD), Dir(kData)});
        CIsaRig rig(program);
        rig.SetBytes(kData, Bytes(7, 0xEE));
        EXPECT_FALSE(rig.Step()) << c.count;
        EXPECT_EQ(rig.IP(), program.Size());
        EXPECT_EQ(rig.Bytes(kData, 7), c.expected) << c.count;
    }
}

TEST(Fill, StopsAtTheFirstElementOutsideMemoryKeepingEarlierOnes) {
    CProgramBuilder program;
    program.Emit("FILL.32", {Imm<int32_t>(INT32_MAX), Imm<uint32_t>(0x01020304), Dir(0xFFF0)});
    CIsaRig rig(program); // 64k of memory
    EXPECT_TRUE(rig.Step());
    EXPECT_EQ(rig.StopMessage(), "Memory error");
    EXPECT_EQ(rig.Get<uint32_t>(0xFFFC), 0x01020304u);
    EXPECT_EQ(rig.Get<uint32_t>(0xFFF0), 0x01020304u);
}

TEST(Fill, LastElementMayStartOnTheLastByte) {
    // Each element is checked on its first byte only, as any single value is.
    CProgramBuilder program;
    program.Emit("FILL.32", {Imm<int32_t>(2), Imm<uint32_t>(0xA1A2A3A4), Dir(0xFFFB)});
    CIsaRig rig(program);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.Get<uint8_t>(0xFFFF), 0xA4);
    EXPECT_EQ(rig.Get<uint8_t>(0xFFFE), 0xA1);
}

TEST(Fill, ElementsRunOnFromDataIntoTheRegisterBlock) {
    // With this BASE the relative addresses just below 0x7FFFFC00 name the last data bytes,
    // and the next element is the first general register.
    const uint32_t start = kRegisters - 8;
    CProgramBuilder program;
    program.Emit("FILL.32", {Imm<int32_t>(4), Imm<uint32_t>(0x55667788), Dir(start)});
    CIsaRig rig(program);
    rig.SetBASE(0x10000 - 8 - start);
    EXPECT_FALSE(rig.Step()) << rig.StopMessage();
    const uint8_t* data = rig.Memory().GetData();
    EXPECT_EQ(data[0xFFF8], 0x88);
    EXPECT_EQ(data[0xFFFF], 0x55);
    EXPECT_EQ(rig.Get<uint32_t>(kRegisters), 0x55667788u);
    EXPECT_EQ(rig.Get<uint32_t>(kRegisters + 4), 0x55667788u);
}

TEST(Swap, ExchangesTwoRegisters) {
    CProgramBuilder program;
    program.Emit("SWAP.32", {Dir(kRegisters), Dir(kRegisters + 4)});
    CIsaRig rig(program);
    rig.Set<uint32_t>(kRegisters, 111);
    rig.Set<uint32_t>(kRegisters + 4, 222);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.Get<uint32_t>(kRegisters), 222u);
    EXPECT_EQ(rig.Get<uint32_t>(kRegisters + 4), 111u);
    EXPECT_EQ(rig.IP(), 10u);
}

TEST(Swap, PartialOverlapLetsTheSecondWriteWin) {
    CProgramBuilder program;
    program.Emit("SWAP.16", {Dir(kData), Dir(kData + 1)});
    CIsaRig rig(program);
    rig.SetBytes(kData, {0x11, 0x22, 0x33});
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.Bytes(kData, 3), (Bytes{0x22, 0x11, 0x22}));
}

TEST(Swap, SixtyFourBitsAndAFailingSecondOperand) {
    CProgramBuilder program;
    program.Emit("SWAP.64", {Dir(kData), Dir(kData + 8)});
    program.Emit("SWAP.64", {Dir(kData), NoOperand()});
    CIsaRig rig(program);
    rig.Set<uint64_t>(kData, 1);
    rig.Set<uint64_t>(kData + 8, 0x8000000000000000ull);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.Get<uint64_t>(kData), 0x8000000000000000ull);
    EXPECT_EQ(rig.Get<uint64_t>(kData + 8), 1u);
    EXPECT_TRUE(rig.Step());
    EXPECT_EQ(rig.StopMessage(), "Memory error");
    EXPECT_EQ(rig.Get<uint64_t>(kData), 0x8000000000000000ull);
}

TEST(MoveBlock, CopiesFromEveryKindOfSource) {
    CProgramBuilder program;
    program.Emit("MOVB", {Imm<int32_t>(5), ImmBlock({1, 2, 3, 4, 5}), Dir(kData)});
    program.Emit("MOVB", {Imm<int32_t>(3), Dir(kData + 1), Ind(kData + 0x20)});
    CIsaRig rig(program);
    rig.Set<uint32_t>(kData + 0x20, kData + 0x40);
    rig.RunTo(program.Size());
    EXPECT_TRUE(rig.Running());
    EXPECT_EQ(rig.Bytes(kData, 6), (Bytes{1, 2, 3, 4, 5, 0}));
    EXPECT_EQ(rig.Bytes(kData + 0x40, 4), (Bytes{2, 3, 4, 0}));
}

TEST(MoveBlock, OverlappingRangesCopyTheSourceAsItWas) {
    for (int32_t shift : {2, -2}) {
        CProgramBuilder program;
        program.Emit("MOVB", {Imm<int32_t>(6), Dir(kData + 4), Dir(kData + 4 + shift)});
        CIsaRig rig(program);
        rig.SetBytes(kData + 4, {1, 2, 3, 4, 5, 6});
        EXPECT_FALSE(rig.Step());
        EXPECT_EQ(rig.Bytes(kData + 4 + shift, 6), (Bytes{1, 2, 3, 4, 5, 6})) << shift;
    }
}

TEST(MoveBlock, RegisterBlockSourceIsTakenBeforeTheDestinationMovesIP) {
    // The copied IP is the one behind B's field (10), not the one behind C's (14).
    CProgramBuilder program;
    program.Emit("MOVB", {Imm<int32_t>(44), Dir(kRegisters), Dir(kData)});
    CIsaRig rig(program);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.Get<uint32_t>(kData + kRegisterIP), 10u);
    EXPECT_EQ(rig.IP(), 14u);
}

TEST(MoveBlock, BadCountsAndRangesStopWithoutTouchingMemory) {
    struct {
        int32_t count;
        uint32_t source;
        uint32_t destination;
    } cases[] = {
        {0, kData, kData + 0x100},
        {-1, kData, kData + 0x100},
        {INT32_MAX, kData, kData + 0x100}, // far beyond memory: refused, nothing allocated
        {0x100, 0xFF80, kData + 0x100},    // source runs past the end
        {0x100, kData, 0xFF80},            // destination runs past the end
        {8, kRegisters + 40, kData + 0x100},
    };
    for (const auto& c : cases) {
        CProgramBuilder program;
        program.Emit("MOVB", {Imm(c.count), Dir(c.source), Dir(c.destination)});
        CIsaRig rig(program);
        rig.SetBytes(kData, Bytes(8, 0x77));
        EXPECT_TRUE(rig.Step()) << c.count;
        EXPECT_EQ(rig.StopMessage(), "Memory error");
        EXPECT_EQ(rig.Get<uint64_t>(kData + 0x100), 0u);
        EXPECT_EQ(rig.Get<uint64_t>(0xFF80), 0u);
    }
}

TEST(ClearBlock, ClearsTheRangeOrNothing) {
    struct {
        int32_t count;
        uint32_t address;
        bool ok;
    } cases[] = {
        {3, kData + 1, true},
        {0, kData + 1, false},
        {-5, kData + 1, false},
        {0x10000, kData, false},
    };
    for (const auto& c : cases) {
        CProgramBuilder program;
        program.Emit("CLRB", {Imm(c.count), Dir(c.address)});
        CIsaRig rig(program);
        rig.SetBytes(kData, Bytes(6, 0x99));
        EXPECT_EQ(rig.Step(), !c.ok) << c.count;
        EXPECT_EQ(rig.Bytes(kData, 6), c.ok ? (Bytes{0x99, 0, 0, 0, 0x99, 0x99}) : Bytes(6, 0x99));
        EXPECT_EQ(rig.IP(), program.Size());
    }
}

TEST(SwapBlock, RefusesOverlapAndExchangesSeparateBlocks) {
    struct {
        int32_t count;
        uint32_t b, c;
        const char* message;
    } cases[] = {
        {4, 10, 12, "Memory overlap"},
        {4, 12, 10, "Memory overlap"},
        {4, 10, 10, "Memory overlap"},
        {0, 10, 10, "Memory overlap"},
        {4, 10, 14, ""},
        {4, 14, 10, ""},
        {0, 10, 12, ""},
        {-3, 10, 11, ""},
    };
    for (const auto& c : cases) {
        CProgramBuilder program;
        program.Emit("SWAPB", {Imm(c.count), Dir(kData + c.b), Dir(kData + c.c)});
        CIsaRig rig(program);
        Bytes before(24);
        for (size_t i = 0; i < before.size(); ++i)
            before[i] = static_cast<uint8_t>(i);
        rig.SetBytes(kData, before);
        const bool stopped = rig.Step();
        EXPECT_EQ(stopped, *c.message != 0);
        EXPECT_EQ(rig.StopMessage(), c.message);
        Bytes expected = before;
        if (!stopped && c.count > 0)
            std::swap_ranges(expected.begin() + c.b, expected.begin() + c.b + c.count,
                             expected.begin() + c.c);
        EXPECT_EQ(rig.Bytes(kData, 24), expected) << c.b << " " << c.c;
    }
}

TEST(SwapBlock, ExchangesByteByByteUpToTheFirstInaccessibleByte) {
    CProgramBuilder program;
    program.Emit("SWAPB", {Imm<int32_t>(4), Dir(0xFFFE), Dir(kData)});
    CIsaRig rig(program);
    rig.SetBytes(0xFFFE, {0xA1, 0xA2});
    rig.SetBytes(kData, {1, 2, 3, 4});
    EXPECT_TRUE(rig.Step());
    EXPECT_EQ(rig.StopMessage(), "Memory error");
    EXPECT_EQ(rig.Bytes(0xFFFE, 2), (Bytes{1, 2}));
    EXPECT_EQ(rig.Bytes(kData, 4), (Bytes{0xA1, 0xA2, 3, 4}));
}

TEST(SwapBlock, ImmediateBlocksAreExchangedInTheStream) {
    CProgramBuilder program;
    program.Emit("SWAPB", {Imm<int32_t>(2), ImmBlock({1, 2}), ImmBlock({3, 4})});
    CIsaRig rig(program);
    EXPECT_FALSE(rig.Step());
    EXPECT_EQ(rig.IP(), 10u);
    EXPECT_EQ(rig.Bytes(6, 4), (Bytes{3, 4, 1, 2}));
}

} // namespace
