// fuzz-opcodes: one instruction of any of the 768 codes with any addressing modes and field
// C, its operand fields and the memory around it taken from the input.
//
// Input: the dispatch index (2 bytes), the mode bits of the head, flags, the instruction's
// address, the 44 register bytes, then the data memory (4 KiB, booted from slot 0). With
// flag bit 0 the stack pointer and BASE are folded into data memory, which keeps most
// operands reachable.
//
// Beyond the sanitizers it checks the instruction's length: whenever the instruction goes
// on without a jump and cannot have written IP itself, IP must have moved past exactly the
// operand fields that the opcode map gives it. The assembler and the disassembler are built
// from that map, so the handlers and the tools cannot drift apart unnoticed.
#include "FuzzInput.h"
#include "FuzzMachine.h"
#include "core/Kernel.h"
#include "core/Memory.h"
#include "isa/OpcodeMap.h"

#include <cstdio>
#include <cstring>
#include <optional>

namespace {

constexpr uint32_t kMemoryBytes = 4096;

bool ChangesFlow(EFamily family) {
    switch (family) {
    case EFamily::Invalid:
    case EFamily::Jump:
    case EFamily::Call:
    case EFamily::Return:
    case EFamily::Skip:
    case EFamily::SystemCall: // a disk read may land on the registers
    case EFamily::Wait:
        return true;
    default:
        return false;
    }
}

bool InRegisterBlock(uint32_t address) {
    return static_cast<int32_t>(address) >= static_cast<int32_t>(kRegisterBlockAddress);
}

uint32_t ModeOf(const SOperandShape& shape, uint32_t modeA, uint32_t modeB, uint32_t fieldC) {
    switch (shape.mode) {
    case EModeField::ModeA:
        return modeA;
    case EModeField::ModeB:
        return modeB;
    default:
        return fieldC;
    }
}

// Where IP must stand after the instruction at `ip`, when that can be told beforehand: no
// indirect operand, no direct operand in the register block, no immediate written back into
// the registers, no stack in the register block.
std::optional<uint32_t> ExpectedNextIP(const CMemory& memory, const SOpcodeInfo& info, uint32_t ip,
                                       uint32_t modeA, uint32_t modeB, uint32_t fieldC) {
    if (ChangesFlow(info.family) || InRegisterBlock(memory.GetSP()))
        return std::nullopt;
    uint32_t position = ip + 2;
    uint32_t blockCount = 0;
    for (uint32_t i = 0; i < info.operandCount; ++i) {
        const SOperandShape& shape = info.operands[i];
        const uint32_t mode = ModeOf(shape, modeA, modeB, fieldC);
        uint32_t field = 0;
        if (mode == kModeIndirect)
            return std::nullopt;
        if (mode == kModeDirect) {
            if (!memory.Read(position, field, true) || InRegisterBlock(field))
                return std::nullopt;
        }
        if (mode == kModeImmediate && shape.role != EOperandRole::Read &&
            InRegisterBlock(position - memory.GetBASE()))
            return std::nullopt;
        // The block instructions take their count from operand A.
        if (i == 0 && info.operands[1].kind == EOperandKind::Block) {
            const bool read = mode == kModeImmediate ? memory.Read(position, blockCount, true)
                                                     : memory.Read(field, blockCount, false);
            if (!read)
                return std::nullopt;
        }
        position += OperandFieldSize(shape, mode, blockCount);
    }
    return position;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CFuzzInput input(data, size);
    const uint32_t index = input.Take<uint16_t>() % kOpcodeEntries;
    const uint8_t modeBits = input.Byte();
    const uint8_t flags = input.Byte();
    const uint32_t ip = input.Take<uint16_t>() % (kMemoryBytes - 2);
    std::vector<uint8_t> registers = input.Bytes(kRegisterBlockSize);
    registers.resize(kRegisterBlockSize);
    std::vector<uint8_t> image = input.Bytes(kMemoryBytes);
    image.resize(kMemoryBytes);

    CFuzzMachine machine(image, "4k");
    if (!machine.IsComplete() || !machine.Kernel().IsRunning())
        FuzzFinding("the machine did not start");
    CKernel& kernel = machine.Kernel();
    CMemory& memory = machine.Memory();
    std::memcpy(memory.GetRegisters(), registers.data(), kRegisterBlockSize);
    if (flags & 1) {
        memory.SetSP(memory.GetSP() % kMemoryBytes);
        memory.SetBASE(memory.GetBASE() % kMemoryBytes);
    }
    memory.SetIP(ip);
    const uint32_t category = index / kCodesPerCategory;
    const uint32_t code = index % kCodesPerCategory;
    const uint32_t modeA = (modeBits >> 4) & 3;
    const uint32_t modeB = (modeBits >> 2) & 3;
    const uint32_t fieldC = modeBits & 3;
    memory.GetData()[ip] = EncodeHead(category, modeA, modeB, fieldC);
    memory.GetData()[ip + 1] = static_cast<uint8_t>(code);

    const SOpcodeInfo& info = GetOpcodeMap()[index];
    const std::optional<uint32_t> expected = ExpectedNextIP(memory, info, ip, modeA, modeB, fieldC);
    kernel.Step();
    if (expected && kernel.IsRunning() && kernel.GetIP() != *expected) {
        std::fprintf(stderr, "%s (index %u, modes %u %u %u): IP %u, expected %u\n",
                     info.mnemonic.c_str(), index, modeA, modeB, fieldC, kernel.GetIP(), *expected);
        FuzzFinding("an instruction consumed other fields than its opcode map entry gives");
    }
    // A few more instructions from wherever that one left IP.
    std::string message;
    for (int slice = 0; slice < 2 && kernel.IsRunning(); ++slice)
        kernel.RunSlice(message);
    return 0;
}
