// A booted machine with the real dispatch table, for running instructions one at a time
// and looking at memory, registers and the stop message afterwards.
#pragma once

#include "common/ProgramBuilder.h"
#include "common/TestMachine.h"
#include "isa/Dispatch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

// Where tests keep their data: well behind any test program.
inline constexpr uint32_t kData = 0x1000;
inline constexpr uint32_t kRegisters = kRegisterBlockAddress;
inline constexpr uint32_t kSPAddress = kRegisterBlockAddress + kRegisterSP;
inline constexpr uint32_t kBASEAddress = kRegisterBlockAddress + kRegisterBASE;
inline constexpr uint32_t kIPAddress = kRegisterBlockAddress + kRegisterIP;

class CIsaRig {
public:
    explicit CIsaRig(const CProgramBuilder& program, const std::string& memorySize = "64k",
                     const SDispatchTable& table = GetDispatchTable())
        : machine(table, program.Bytes(), memorySize) {}

    // Executes one instruction; the handler's result.
    bool Step() { return machine.kernel.Step(); }
    // Executes until IP is `end`, the machine stops or `limit` instructions ran.
    void RunTo(uint32_t end, int limit = 10000) {
        for (int i = 0; i < limit && Running() && IP() != end; ++i)
            Step();
    }

    bool Running() const { return machine.kernel.IsRunning(); }
    // The stop message (empty while the machine runs).
    std::string StopMessage() {
        if (Running())
            return {};
        std::string message;
        machine.kernel.RunSlice(message);
        return message;
    }

    uint32_t IP() { return Memory().GetIP(); }
    uint32_t SP() { return Memory().GetSP(); }
    uint32_t BASE() { return Memory().GetBASE(); }
    void SetSP(uint32_t sp) { Memory().SetSP(sp); }
    void SetBASE(uint32_t base) { Memory().SetBASE(base); }

    // Relative accesses, as the program sees memory.
    template <typename T>
    T Get(uint32_t address) {
        T value{};
        EXPECT_TRUE(Memory().Read(address, value, false)) << std::hex << address;
        return value;
    }
    template <typename T>
    void Set(uint32_t address, T value) {
        EXPECT_TRUE(Memory().Write(address, value)) << std::hex << address;
    }
    std::vector<uint8_t> Bytes(uint32_t address, uint32_t count) {
        std::vector<uint8_t> bytes(count);
        EXPECT_TRUE(Memory().ReadBlock(address, bytes.data(), static_cast<int32_t>(count), false));
        return bytes;
    }
    void SetBytes(uint32_t address, const std::vector<uint8_t>& bytes) {
        EXPECT_TRUE(Memory().WriteBlock(address, bytes.data(), static_cast<int32_t>(bytes.size())));
    }

    CMemory& Memory() { return machine.memory; }
    CKernel& Kernel() { return machine.kernel; }

    CTestMachine machine;
};

// Bits of a value, to compare floats exactly (NaN and the sign of zero included).
template <typename T>
auto BitsOfValue(T value) {
    if constexpr (sizeof(T) == 4) {
        uint32_t bits;
        std::memcpy(&bits, &value, 4);
        return bits;
    } else {
        uint64_t bits;
        std::memcpy(&bits, &value, 8);
        return bits;
    }
}

// Runs "mnemonic A B C" with immediate A and B and a direct C in data memory; checks that
// the instruction completed and consumed exactly its encoding, and returns C.
template <typename Result, typename T>
Result RunBinary(std::string_view mnemonic, T a, T b) {
    CProgramBuilder program;
    program.Emit(mnemonic, {Imm(a), Imm(b), Dir(kData)});
    CIsaRig rig(program);
    EXPECT_FALSE(rig.Step()) << mnemonic << " " << rig.StopMessage();
    EXPECT_EQ(rig.IP(), program.Size()) << mnemonic;
    return rig.Get<Result>(kData);
}

// "mnemonic A B" with an immediate A and a direct B.
template <typename Result, typename T>
Result RunUnary(std::string_view mnemonic, T a) {
    CProgramBuilder program;
    program.Emit(mnemonic, {Imm(a), Dir(kData)});
    CIsaRig rig(program);
    EXPECT_FALSE(rig.Step()) << mnemonic << " " << rig.StopMessage();
    EXPECT_EQ(rig.IP(), program.Size()) << mnemonic;
    return rig.Get<Result>(kData);
}

// The bits of a value, zero-extended: table rows of every type in one column.
template <typename T>
uint64_t Bits(T value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof(T));
    return bits;
}

inline SOperand ImmBits(uint64_t bits, uint32_t size) {
    SOperand operand{1, std::vector<uint8_t>(size)};
    std::memcpy(operand.field.data(), &bits, size);
    return operand;
}

// Runs one instruction whose operands are all read immediates except the last, which is
// written to kData; operand sizes come from the opcode map. Returns the written bits.
inline uint64_t RunBits(std::string_view mnemonic, std::initializer_list<uint64_t> inputs) {
    const int32_t index = FindOpcode(mnemonic);
    EXPECT_GE(index, 0) << mnemonic;
    if (index < 0)
        return 0;
    const SOpcodeInfo& info = GetOpcodeMap()[static_cast<size_t>(index)];
    EXPECT_EQ(inputs.size() + 1, info.operandCount) << mnemonic;
    std::vector<SOperand> operands;
    size_t i = 0;
    for (uint64_t input : inputs)
        operands.push_back(ImmBits(input, info.operands[i++].size));
    operands.push_back(Dir(kData));
    CProgramBuilder program;
    if (operands.size() == 2)
        program.Emit(mnemonic, {operands[0], operands[1]});
    else
        program.Emit(mnemonic, {operands[0], operands[1], operands[2]});
    CIsaRig rig(program);
    const uint64_t poison = 0x5A5A5A5A5A5A5A5Aull;
    rig.Set(kData, poison);
    EXPECT_FALSE(rig.Step()) << mnemonic << " " << rig.StopMessage();
    EXPECT_EQ(rig.IP(), program.Size()) << mnemonic;
    const uint32_t size = info.operands[operands.size() - 1].size;
    const uint64_t written = rig.Get<uint64_t>(kData);
    // Bytes past the result's width must stay untouched.
    if (size < 8) {
        EXPECT_EQ(written >> (size * 8), poison >> (size * 8)) << mnemonic;
    }
    return size < 8 ? written & ((uint64_t{1} << (size * 8)) - 1) : written;
}

struct SBitsCase {
    const char* mnemonic;
    uint64_t a;
    uint64_t b;
    uint64_t expected;
};

// Binary rows (A, B -> C).
inline void CheckBinaryCases(std::initializer_list<SBitsCase> cases) {
    for (const SBitsCase& c : cases)
        EXPECT_EQ(RunBits(c.mnemonic, {c.a, c.b}), c.expected)
            << c.mnemonic << " " << std::hex << c.a << ", " << c.b;
}

struct SUnaryCase {
    const char* mnemonic;
    uint64_t a;
    uint64_t expected;
};

// Unary rows (A -> B).
inline void CheckUnaryCases(std::initializer_list<SUnaryCase> cases) {
    for (const SUnaryCase& c : cases)
        EXPECT_EQ(RunBits(c.mnemonic, {c.a}), c.expected) << c.mnemonic << " " << std::hex << c.a;
}
