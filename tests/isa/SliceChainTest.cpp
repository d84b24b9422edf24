// How a slice runs as a chain of fast forms, each of which goes on with the next instruction
// itself: the instruction budget of a slice, instructions near and past the end of data
// memory (where the chain hands the head back to the slice loop), self-modifying code inside
// a chain, and block instructions whose range runs into the register block. Each program runs
// on the fast table, on a table where one instruction in the chain has only its exact
// handler, and on the exact handlers alone; all three must agree after every slice, and the
// tests check the outcome itself as well.
#include "common/DispatchTables.h"
#include "common/ProgramBuilder.h"
#include "common/TestMachine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kStart = 0x40;

uint32_t R(uint32_t number) {
    return kRegisterBlockAddress + 4 * number;
}

uint32_t Dword(const uint8_t* bytes) {
    uint32_t value;
    std::memcpy(&value, bytes, 4);
    return value;
}

// Everything a program or the host can observe after a slice.
struct SObserved {
    std::vector<uint8_t> data;
    std::vector<uint8_t> registers;
    bool running = false;
    uint64_t instructions = 0;
    std::string message;
    bool sliceResult = false;

    bool operator==(const SObserved&) const = default;
};

// The same program, memory and registers on three machines that differ in their tables.
class CTriplets {
public:
    CTriplets(const std::string& memorySize, uint32_t memoryBytes, const char* exactOnly)
        : size(memoryBytes) {
        machines.push_back(std::make_unique<CTestMachine>(GetDispatchTable(),
                                                          std::vector<uint8_t>{0}, memorySize));
        machines.push_back(std::make_unique<CTestMachine>(TableWithExactOnly(exactOnly),
                                                          std::vector<uint8_t>{0}, memorySize));
        machines.push_back(std::make_unique<CTestMachine>(ExactDispatchTable(),
                                                          std::vector<uint8_t>{0}, memorySize));
        for (auto& m : machines)
            std::memset(m->Data(), 0, size);
    }

    void Put(uint32_t address, const std::vector<uint8_t>& bytes) {
        for (auto& m : machines)
            std::memcpy(m->Data() + address, bytes.data(), bytes.size());
    }
    void SetRegister(uint32_t offset, uint32_t value) {
        for (auto& m : machines)
            std::memcpy(m->Registers() + offset, &value, 4);
    }

    // One slice on every machine; fails the test when they disagree. The fast machine's view.
    SObserved Slice() {
        std::vector<SObserved> seen;
        for (auto& m : machines) {
            SObserved s;
            s.sliceResult = m->kernel.RunSlice(s.message);
            s.data.assign(m->Data(), m->Data() + size + kSpareBytes);
            s.registers.assign(m->Registers(), m->Registers() + kRegisterBlockSize);
            s.running = m->kernel.IsRunning();
            s.instructions = m->kernel.GetInstructionCount();
            seen.push_back(std::move(s));
        }
        for (size_t i = 1; i < seen.size(); ++i) {
            EXPECT_TRUE(seen[0] == seen[i])
                << "machine " << i << " parts from the fast one: count " << seen[0].instructions
                << " / " << seen[i].instructions << ", message '" << seen[0].message << "' / '"
                << seen[i].message << "', IP " << Dword(&seen[0].registers[kRegisterIP]) << " / "
                << Dword(&seen[i].registers[kRegisterIP]);
        }
        return seen[0];
    }

private:
    uint32_t size;
    std::vector<std::unique_ptr<CTestMachine>> machines;
};

// A slice runs exactly 32 instructions, whatever mix of fast forms and exact handlers the
// chain goes through, and the next slice goes on where it stopped.
TEST(SliceChain, EverySliceRunsThirtyTwoInstructions) {
    struct {
        const char* exactOnly;
        bool withNop; // a third instruction in the loop
    } cases[] = {{"NOP", false}, {"NOP", true}, {"ADD.I32", true}, {"JMP", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.exactOnly) + (c.withNop ? " with NOP" : ""));
        CProgramBuilder program;
        program.Emit("ADD.I32", {Dir(R(0)), Imm<int32_t>(1), Dir(R(0))});
        if (c.withNop)
            program.Emit("NOP");
        program.Emit("JMP", {Dir(kStart)});
        const uint32_t perRound = c.withNop ? 3 : 2;
        CTriplets machines("4k", 4096, c.exactOnly);
        machines.Put(kStart, program.Bytes());
        machines.SetRegister(kRegisterIP, kStart);
        for (uint32_t slice = 1; slice <= 4; ++slice) {
            const SObserved s = machines.Slice();
            EXPECT_FALSE(s.sliceResult);
            EXPECT_TRUE(s.running);
            EXPECT_EQ(s.instructions, 32u * slice);
            // One ADD at the start of each round begun.
            EXPECT_EQ(Dword(&s.registers[0]), (32 * slice + perRound - 1) / perRound);
        }
    }
}

// An instruction that ends the slice counts, and the ones behind it do not run.
TEST(SliceChain, AnEndedSliceCountsTheInstructionsBegun) {
    CProgramBuilder program;
    for (int i = 0; i < 5; ++i)
        program.Emit("ADD.I32", {Dir(R(0)), Imm<int32_t>(1), Dir(R(0))});
    program.Emit("WAIT");
    program.Emit("ADD.I32", {Dir(R(1)), Imm<int32_t>(1), Dir(R(1))});
    CTriplets machines("4k", 4096, "WAIT");
    machines.Put(kStart, program.Bytes());
    machines.SetRegister(kRegisterIP, kStart);
    const SObserved s = machines.Slice();
    EXPECT_TRUE(s.sliceResult);
    EXPECT_EQ(s.instructions, 6u);
    EXPECT_EQ(Dword(&s.registers[0]), 5u);
    EXPECT_EQ(Dword(&s.registers[4]), 0u);
}

// The last bytes of data memory: a loop that lies there runs on, slice after slice, and an
// instruction whose fields run past the end fails where the exact handler fails.
TEST(SliceChain, InstructionsAtTheEndOfDataMemory) {
    CProgramBuilder add;
    add.Emit("ADD.I32", {Dir(R(0)), Imm<int32_t>(1), Dir(R(0))});
    const uint32_t addSize = add.Size(); // 14 bytes

    {
        SCOPED_TRACE("a loop in the last 20 bytes");
        const uint32_t at = 256 - addSize - 6;
        CProgramBuilder loop;
        loop.Emit("ADD.I32", {Dir(R(0)), Imm<int32_t>(1), Dir(R(0))}).Emit("JMP", {Dir(at)});
        ASSERT_EQ(at + loop.Size(), 256u);
        CTriplets machines("256", 256, "JMP");
        machines.Put(at, loop.Bytes());
        machines.SetRegister(kRegisterIP, at);
        for (uint32_t slice = 1; slice <= 3; ++slice) {
            const SObserved s = machines.Slice();
            EXPECT_TRUE(s.running);
            EXPECT_EQ(s.instructions, 32u * slice);
            EXPECT_EQ(Dword(&s.registers[0]), 16u * slice);
        }
    }
    {
        SCOPED_TRACE("a chain that runs into the end");
        // Three ADDs; the destination field of the third starts at 256, outside.
        const uint32_t at = 256 - 3 * addSize + 4;
        CTriplets machines("256", 256, "ADD.I32");
        for (uint32_t i = 0; i < 3; ++i)
            machines.Put(at + i * addSize, add.Bytes());
        machines.SetRegister(kRegisterIP, at);
        const SObserved s = machines.Slice();
        EXPECT_TRUE(s.sliceResult);
        EXPECT_FALSE(s.running);
        EXPECT_EQ(s.message, "Memory error");
        EXPECT_EQ(s.instructions, 3u);
        EXPECT_EQ(Dword(&s.registers[0]), 2u);
        EXPECT_EQ(Dword(&s.registers[kRegisterIP]), 256u); // behind the two fields read
    }
    {
        SCOPED_TRACE("a head on the last byte");
        CProgramBuilder jump;
        jump.Emit("JMP", {Dir(255)});
        CTriplets machines("256", 256, "JMP");
        machines.Put(kStart, jump.Bytes());
        machines.SetRegister(kRegisterIP, kStart);
        const SObserved s = machines.Slice();
        EXPECT_EQ(s.message, "Memory error");
        EXPECT_EQ(s.instructions, 2u);
        EXPECT_EQ(Dword(&s.registers[kRegisterIP]), 257u); // moved before each head read
    }
}

// An instruction that rewrites a later one in the same chain: the later one runs as written.
TEST(SliceChain, SelfModifyingCodeInsideAChain) {
    CProgramBuilder add;
    add.Emit("ADD.I32", {Dir(R(0)), Imm<int32_t>(1), Dir(R(0))}).Emit("WAIT");
    const int32_t addIndex = FindOpcode("ADD.I32");
    const int32_t subIndex = FindOpcode("SUB.I32");
    ASSERT_EQ(addIndex / kCodesPerCategory, subIndex / kCodesPerCategory);
    const uint8_t subCode = static_cast<uint8_t>(subIndex % kCodesPerCategory);
    // The ADD follows the rewriting instruction: 10 bytes of MOV.32, 7 of MOV.8.
    struct {
        const char* name;
        CProgramBuilder rewrite;
        uint32_t addAt;
        uint32_t r0;
    } cases[] = {
        {"the immediate operand",
         CProgramBuilder().Emit("MOV.32", {Imm<uint32_t>(5), Dir(kStart + 10 + 6)}), kStart + 10,
         5},
        {"the code byte", CProgramBuilder().Emit("MOV.8", {Imm<uint8_t>(subCode), Dir(kStart + 8)}),
         kStart + 7, 0xFFFFFFFFu},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(kStart + c.rewrite.Size(), c.addAt);
        CTriplets machines("4k", 4096, "ADD.I32");
        machines.Put(kStart, c.rewrite.Bytes());
        machines.Put(c.addAt, add.Bytes());
        machines.SetRegister(kRegisterIP, kStart);
        const SObserved s = machines.Slice();
        EXPECT_EQ(s.instructions, 3u);
        EXPECT_EQ(Dword(&s.registers[0]), c.r0);
    }

    SCOPED_TRACE("an increment of its own immediate operand, in a loop");
    CProgramBuilder loop;
    loop.Emit("INC.U32", {Imm<uint32_t>(0)}).Emit("JMP", {Dir(kStart)});
    CTriplets machines("4k", 4096, "INC.U32");
    machines.Put(kStart, loop.Bytes());
    machines.SetRegister(kRegisterIP, kStart);
    for (uint32_t slice = 1; slice <= 2; ++slice) {
        const SObserved s = machines.Slice();
        EXPECT_EQ(Dword(&s.data[kStart + 2]), 16u * slice);
    }
}

// Block instructions whose range runs from data addresses into the register block. A block
// takes the area of its first byte, so with BASE set to reach data memory from just below
// the register block the whole block lands in data memory; FILL resolves each element on its
// own, so its last elements land in the registers. A block over BASE and IP moves IP.
TEST(SliceChain, BlocksAcrossTheRegisterBlockBoundary) {
    constexpr uint32_t kBelowRegisters = kRegisterBlockAddress - 8;
    constexpr uint32_t kWrappingBase = 0x80000410u; // kBelowRegisters + BASE = 8
    const std::vector<uint8_t> block = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    CProgramBuilder add;
    add.Emit("ADD.I32", {Dir(R(0)), Imm<int32_t>(7), Dir(R(0))}).Emit("WAIT");
    std::vector<uint8_t> baseAndIp(8, 0);
    const uint32_t target = 0x200;
    std::memcpy(baseAndIp.data() + 4, &target, 4);

    const std::vector<uint8_t> eleven(16, 0x11);
    const std::vector<uint8_t> elevenRegisters(8, 0x11);
    std::vector<uint8_t> halfFilled(16, 0x11);
    std::fill(halfFilled.begin(), halfFilled.begin() + 8, 0xAB);
    struct {
        const char* name;
        CProgramBuilder program;
        uint32_t base;
        const char* message;
        std::vector<uint8_t> dataAt8;   // the 16 data bytes from 8 on
        std::vector<uint8_t> registers; // the first 8 register bytes
    } cases[] = {
        {"FILL",
         CProgramBuilder().Emit("FILL.8",
                                {Imm<int32_t>(16), Imm<uint8_t>(0xAB), Dir(kBelowRegisters)}),
         kWrappingBase, "", halfFilled, std::vector<uint8_t>(8, 0xAB)},
        {"MOVB",
         CProgramBuilder().Emit("MOVB", {Imm<int32_t>(16), ImmBlock(block), Dir(kBelowRegisters)}),
         kWrappingBase, "", block, elevenRegisters},
        {"MOVB outside data memory",
         CProgramBuilder().Emit("MOVB", {Imm<int32_t>(16), ImmBlock(block), Dir(kBelowRegisters)}),
         0, "Memory error", eleven, elevenRegisters},
        {"CLRB", CProgramBuilder().Emit("CLRB", {Imm<int32_t>(16), Dir(kBelowRegisters)}),
         kWrappingBase, "", std::vector<uint8_t>(16, 0), elevenRegisters},
        {"MOVB over BASE and IP",
         CProgramBuilder().Emit("MOVB", {Imm<int32_t>(8), ImmBlock(baseAndIp), Dir(R(9))}), 0, "",
         eleven, std::vector<uint8_t>{0x18, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11}},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        CTriplets machines("4k", 4096, "MOVB");
        machines.Put(8, eleven);
        machines.Put(kStart, c.program.Emit("WAIT").Bytes());
        machines.Put(target, add.Bytes());
        for (uint32_t offset = 0; offset < 8; offset += 4)
            machines.SetRegister(offset, 0x11111111u);
        machines.SetRegister(kRegisterBASE, c.base);
        machines.SetRegister(kRegisterIP, kStart);
        const SObserved s = machines.Slice();
        EXPECT_EQ(s.message, c.message);
        EXPECT_EQ(std::vector<uint8_t>(s.data.begin() + 8, s.data.begin() + 24), c.dataAt8);
        EXPECT_EQ(std::vector<uint8_t>(s.registers.begin(), s.registers.begin() + 8), c.registers);
    }
}

} // namespace
