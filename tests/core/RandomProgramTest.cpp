// Properties of the machine under random valid programs: every instruction of the opcode
// map in random addressing modes, with operands that point into data memory, into the
// register block, at the edges of both and beyond them, and system calls with random
// parameters. Whatever such a program does:
//  - the machine touches no host memory but its data memory and register block (the
//    sanitizer build checks every access; here the memory keeps its buffer and size);
//  - a stopped machine stays stopped: no instruction runs, no register or memory byte
//    changes and no event is queued, however often slices run and events arrive.
#include "common/FakePlatform.h"
#include "common/WholeMachine.h"
#include "isa/OpcodeMap.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>

namespace {

constexpr uint32_t kRegisters = kRegisterBlockAddress;

class CRandomProgram {
public:
    CRandomProgram(uint32_t seed, uint32_t memorySize) : random(seed), memorySize(memorySize) {}

    std::vector<uint8_t> Build(size_t instructions) {
        for (size_t i = 0; i < instructions; ++i) {
            if (Chance(8))
                SystemCall();
            else
                Instruction();
        }
        // Data for the operands to find: random bytes with some pointers among them.
        for (int i = 0; i < 64; ++i)
            Value(Chance(3) ? Address() : static_cast<uint32_t>(random()), 4);
        return bytes;
    }

private:
    bool Chance(uint32_t oneIn) { return random() % oneIn == 0; }

    // An address as programs write them: mostly in data memory, sometimes in the register
    // block, at the last valid bytes, or just beyond either.
    uint32_t Address() {
        switch (random() % 8) {
        case 0:
            return kRegisters + random() % 44;
        case 1:
            return memorySize - 1 - random() % 8;
        case 2:
            return memorySize + random() % 8;
        case 3:
            return kRegisters + 44 + random() % 8;
        case 4:
            return static_cast<uint32_t>(-static_cast<int32_t>(random() % 64));
        default:
            return random() % memorySize;
        }
    }

    void Value(uint64_t value, uint32_t size) {
        for (uint32_t b = 0; b < size; ++b)
            bytes.push_back(static_cast<uint8_t>(value >> (8 * b)));
    }

    void Instruction() {
        uint32_t index;
        do {
            index = random() % kOpcodeEntries;
        } while (!GetOpcodeMap()[index].IsValid());
        const SOpcodeInfo& info = GetOpcodeMap()[index];
        uint32_t modes[3] = {};
        uint32_t headModes[3] = {};
        for (uint32_t i = 0; i < info.operandCount; ++i) {
            modes[i] = Chance(40) ? 0 : 1 + random() % 3;
            headModes[static_cast<size_t>(info.operands[i].mode)] = modes[i];
        }
        bytes.push_back(
            EncodeHead(index / kCodesPerCategory, headModes[0], headModes[1], headModes[2]));
        bytes.push_back(static_cast<uint8_t>(index % kCodesPerCategory));
        uint32_t blockCount = 0;
        for (uint32_t i = 0; i < info.operandCount; ++i) {
            const SOperandShape& shape = info.operands[i];
            if (modes[i] == 2 || modes[i] == 3) {
                Value(Address(), 4);
            } else if (modes[i] == 1 && i == 0 && info.operandCount > 1 &&
                       info.operands[1].kind == EOperandKind::Block) {
                blockCount = Chance(10) ? static_cast<uint32_t>(random()) : random() % 48;
                Value(blockCount, 4);
                blockCount = std::min<uint32_t>(blockCount, 48);
            } else if (modes[i] == 1) {
                const uint32_t size = OperandFieldSize(shape, 1, blockCount);
                for (uint32_t b = 0; b < size; ++b)
                    bytes.push_back(static_cast<uint8_t>(random()));
            }
        }
    }

    // MOV.32 #value, [register] for the parameters, then SYS.
    void SetRegister(uint32_t offset, uint32_t value) {
        const int32_t mov = FindOpcode("MOV.32");
        bytes.push_back(EncodeHead(0, 1, 2, 0));
        bytes.push_back(static_cast<uint8_t>(mov % kCodesPerCategory));
        Value(value, 4);
        Value(kRegisters + offset, 4);
    }
    void SystemCall() {
        const uint32_t group = 1 + random() % 7;
        const uint32_t function = random() % 14;
        SetRegister(0, group | function << 8 | (random() % 3) << 16 | (random() & 0xFF) << 24);
        for (uint32_t offset = 4; offset < 24; offset += 4)
            SetRegister(offset, Chance(2) ? Address() : random() % 700);
        const int32_t sys = FindOpcode("SYS");
        bytes.push_back(EncodeHead(0, 0, 0, 0));
        bytes.push_back(static_cast<uint8_t>(sys % kCodesPerCategory));
    }

    std::mt19937 random;
    uint32_t memorySize;
    std::vector<uint8_t> bytes;
};

// Every way the host reaches a machine between slices.
void PostOneOfEach(CKernel& kernel, uint32_t n) {
    kernel.PostActivityEvent(static_cast<EActivity>(n & 1));
    kernel.PostTimerEvent(n);
    kernel.PostKeyEvent(n & 1, 0x41);
    kernel.PostCharEvent('a' + n % 26);
    kernel.PostMouseMoveEvent(0, static_cast<int32_t>(n), 7);
    kernel.PostMouseButtonEvent(static_cast<EMouseButton>(n % 3 + 1),
                                static_cast<EMouseAction>(n % 3 + 1), 0, 1, 2);
    kernel.PostMouseWheelEvent(0, 1, 2, 1.5f);
    kernel.PostScreenEvent();
    kernel.PostDiskInsertedEvent(1);
    kernel.PostDiskEjectedEvent(1);
}

struct SSnapshot {
    std::array<uint8_t, kRegisterBlockSize> registers;
    std::vector<uint8_t> data;
    uint64_t instructions;

    static SSnapshot Of(CWholeMachine& machine) {
        SSnapshot s;
        CMemory& memory = machine.Memory();
        std::memcpy(s.registers.data(), memory.GetRegisters(), kRegisterBlockSize);
        s.data.assign(memory.GetData(), memory.GetData() + memory.GetSize());
        s.instructions = machine.Kernel().GetInstructionCount();
        return s;
    }
    bool operator==(const SSnapshot&) const = default;
};

class RandomProgramTest : public testing::TestWithParam<uint32_t> {};

} // namespace

TEST_P(RandomProgramTest, MemoryStaysItsOwnAndAStoppedMachineStaysStopped) {
    const uint32_t memorySizes[] = {4096, 2001, 65536};
    size_t stopped = 0;
    for (uint32_t round = 0; round < 40; ++round) {
        const uint32_t seed = GetParam() * 1000 + round;
        const uint32_t memorySize = memorySizes[round % 3];
        const std::vector<uint8_t> program = CRandomProgram(seed, memorySize).Build(48);
        CFakePlatform platform;
        CWholeMachine machine(platform, program, std::to_string(memorySize));
        ASSERT_TRUE(machine.IsComplete());
        CKernel& kernel = machine.Kernel();
        CMemory& memory = machine.Memory();
        const uint8_t* buffer = memory.GetData();
        std::string message;
        // The first slice hands out the message of a failed boot.
        for (uint32_t slice = 0; slice < 64 && (slice == 0 || kernel.IsRunning()); ++slice) {
            if (slice % 4 == 0)
                PostOneOfEach(kernel, slice);
            kernel.RunSlice(message);
            ASSERT_EQ(memory.GetData(), buffer) << "seed " << seed;
            ASSERT_EQ(memory.GetSize(), static_cast<int32_t>(memorySize)) << "seed " << seed;
            ASSERT_LE(kernel.GetEventCount(), kEventQueueCapacity);
        }
        if (kernel.IsRunning())
            continue;
        ++stopped;
        const SSnapshot before = SSnapshot::Of(machine);
        for (uint32_t slice = 0; slice < 8; ++slice) {
            PostOneOfEach(kernel, slice);
            EXPECT_TRUE(kernel.RunSlice(message)) << "seed " << seed;
            EXPECT_EQ(message, "") << "seed " << seed;
            EXPECT_FALSE(kernel.IsRunning());
            EXPECT_FALSE(kernel.HasEvents()) << "seed " << seed;
        }
        EXPECT_TRUE(SSnapshot::Of(machine) == before) << "seed " << seed;
    }
    // Random programs mostly run into an error soon; the property was really exercised.
    EXPECT_GT(stopped, 20u);
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomProgramTest, testing::Range(1u, 9u));
